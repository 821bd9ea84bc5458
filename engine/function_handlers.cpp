#include "engine/function_handlers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>
#include <string_view>

#include "engine/clock_random.h"
#include "engine/fixed_answers.h"
#include "engine/function_codes.h"
#include "engine/text_forms.h"

namespace tarvik {
namespace {

// The byte count is one byte: 2 x 127 is the most registers it can announce.
constexpr int32_t kMaxReadQuantity = 127;
// PDU bytes 1..4 carry address and quantity (or value) for every function.
constexpr std::size_t kMinPduSize = 5;
constexpr std::size_t kAddressFieldsSize = 4;
constexpr std::size_t kWriteValuesOffset = 6;
// Register numbers in the trace count from 40000, as masters show them.
constexpr int64_t kFirstRegisterNumber = 40000;

bool LacksAddressFields(const Packet& pdu) { return pdu.size() < kMinPduSize; }

Packet ExceptionData(ExceptionCode code) { return Packet(1, static_cast<char>(code)); }

// A frame too short for its function changes nothing and says so.
void AnswerFrameTooShort(HandlerContext& ctx, const MbapHeader& header, FunctionCode code) {
    ctx.trace.TraceRequest(header, "Frame too short, function " + Decimal(CodeOf(code)));
    ctx.dispatch.DispatchAnswer(header, ExceptionByteOf(code),
                                ExceptionData(ExceptionCode::IllegalDataValue),
                                ctx.options.ShowRawData());
}

// Byte count, then two bytes per register; registers past the table are random.
Packet RegisterReadData(const RegisterTable& table, RandomSource& random, int32_t start,
                        int32_t quantity) {
    Packet data;
    data.reserve(1 + 2 * static_cast<std::size_t>(quantity));
    data.push_back(static_cast<char>(2 * quantity));
    for (int32_t i = 0; i < quantity; ++i) {
        const int32_t address = start + i;
        if (address >= kRegisterCount) {
            data.push_back(static_cast<char>(RandomByte(random)));
            data.push_back(static_cast<char>(RandomByte(random)));
        } else {
            AppendWord(data, table[static_cast<std::size_t>(address)]);
        }
    }
    return data;
}

// A short trace text made on the stack, so the texts of every frame cost no
// allocation; the trace copies what it keeps.
class ShortText {
public:
    ShortText& operator<<(std::string_view part) {
        const std::size_t take = std::min(part.size(), text_.size() - size_);
        part.copy(text_.data() + size_, take);
        size_ += take;
        return *this;
    }
    ShortText& operator<<(int64_t number) {
        const auto result =
            std::to_chars(text_.data() + size_, text_.data() + text_.size(), number);
        if (result.ec == std::errc()) size_ = static_cast<std::size_t>(result.ptr - text_.data());
        return *this;
    }
    operator std::string_view() const { return {text_.data(), size_}; }

private:
    std::array<char, 96> text_{};
    std::size_t size_ = 0;
};

ShortText RangeText(std::string_view name, int32_t start, std::string_view label,
                    int32_t quantity) {
    ShortText text;
    text << name << start << label << quantity;
    return text;
}

// "<name><start>, data ": the answer line of a read, before its data.
ShortText DataText(std::string_view name, int32_t start) {
    ShortText text;
    text << name << start << ", data ";
    return text;
}

}  // namespace

void ReadHoldingRegisters(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu) {
    if (LacksAddressFields(pdu))
        return AnswerFrameTooShort(ctx, header, FunctionCode::ReadHoldingRegisters);
    const int32_t start = GetWord(pdu, 1);
    const int32_t quantity = GetWord(pdu, 3);
    if (ctx.options.ShowReads()) {
        ctx.trace.TraceRequest(header,
                               RangeText("Read Holding Registers ", start, ", count ", quantity));
    }

    int functionByte = CodeOf(FunctionCode::ReadHoldingRegisters);
    Packet data;
    if (ctx.simulatePAT) {
        if (auto canned = FindFixedAnswer(start, quantity)) {
            data.assign(canned->data(), canned->size());
        } else {
            functionByte = ExceptionByteOf(FunctionCode::ReadHoldingRegisters);
            data = ExceptionData(ExceptionCode::IllegalDataAddress);
        }
    } else if (quantity > kMaxReadQuantity) {
        functionByte = ExceptionByteOf(FunctionCode::ReadHoldingRegisters);
        data = ExceptionData(ExceptionCode::IllegalDataValue);
    } else {
        data = RegisterReadData(ctx.tables.HoldingRegisters, ctx.random, start, quantity);
    }

    ctx.dispatch.DispatchAnswer(header, functionByte, data, ctx.options.ShowReads());
    if (ctx.options.ShowReads()) {
        ctx.trace.TraceAnswerHex(header, DataText("Read Holding Registers ", start), data,
                                 HexForm::Bytes);
    }
}

void ReadInputRegisters(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu) {
    if (LacksAddressFields(pdu))
        return AnswerFrameTooShort(ctx, header, FunctionCode::ReadInputRegisters);
    const int32_t start = GetWord(pdu, 1);
    const int32_t quantity = GetWord(pdu, 3);
    if (ctx.options.ShowReads()) {
        ctx.trace.TraceRequest(header,
                               RangeText("Read Input Registers ", start, ", count ", quantity));
    }

    if (quantity > kMaxReadQuantity) {
        const Packet data = ExceptionData(ExceptionCode::IllegalDataValue);
        ctx.dispatch.DispatchAnswer(header, ExceptionByteOf(FunctionCode::ReadInputRegisters), data,
                                    ctx.options.ShowRawData());
        ctx.trace.TraceAnswerHex(header, DataText("Read Input Registers ", start), data,
                                 HexForm::Bytes);
        return;
    }

    const Packet data = RegisterReadData(ctx.tables.InputRegisters, ctx.random, start, quantity);
    ctx.dispatch.DispatchAnswer(header, CodeOf(FunctionCode::ReadInputRegisters), data,
                                ctx.options.ShowRawData());
    // The values without the byte count, four digits each.
    ctx.trace.TraceAnswerHex(header, DataText("Read Input Registers ", start),
                             std::string_view(data).substr(1), HexForm::Words);
}

void WriteSingleCoil(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu) {
    if (LacksAddressFields(pdu))
        return AnswerFrameTooShort(ctx, header, FunctionCode::WriteSingleCoil);
    const int32_t address = GetWord(pdu, 1);
    const int32_t value = GetWord(pdu, 3);
    ctx.trace.TraceRequest(header,
                           "Write single coil " + Decimal(address) + ", value " + Hex4(value));
    ctx.dispatch.DispatchAnswer(header, CodeOf(FunctionCode::WriteSingleCoil), pdu.substr(1),
                                ctx.options.ShowRawData());
    ctx.trace.TraceAnswer(header, "Write single coil response");
}

void WriteSingleRegister(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu) {
    if (LacksAddressFields(pdu))
        return AnswerFrameTooShort(ctx, header, FunctionCode::WriteSingleRegister);
    const int32_t address = GetWord(pdu, 1);
    const int32_t value = GetWord(pdu, 3);
    // Past the table the write is ignored but still answered as done.
    if (address < kRegisterCount)
        ctx.tables.HoldingRegisters[static_cast<std::size_t>(address)] = value;
    ctx.trace.TraceRequest(header,
                           "Write Holding Register " + Decimal(address) + ", value " + Hex4(value));
    ctx.dispatch.DispatchAnswer(header, CodeOf(FunctionCode::WriteSingleRegister), pdu.substr(1),
                                ctx.options.ShowRawData());
}

void WriteMultipleCoils(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu) {
    if (LacksAddressFields(pdu))
        return AnswerFrameTooShort(ctx, header, FunctionCode::WriteMultipleCoils);
    const ShortText text = RangeText("Write Coils ", GetWord(pdu, 1), ", length ", GetWord(pdu, 3));
    ctx.trace.TraceRequest(header, text);
    ctx.dispatch.DispatchAnswer(header, CodeOf(FunctionCode::WriteMultipleCoils),
                                pdu.substr(1, kAddressFieldsSize), ctx.options.ShowRawData());
    ctx.trace.TraceAnswer(header, text);
}

void WriteMultipleRegisters(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu) {
    if (LacksAddressFields(pdu))
        return AnswerFrameTooShort(ctx, header, FunctionCode::WriteMultipleRegisters);
    const int32_t start = GetWord(pdu, 1);
    const int32_t quantity = GetWord(pdu, 3);
    const ShortText text = RangeText("Write Holding Registers ", start, ", length ", quantity);
    ctx.trace.TraceRequest(header, text);

    if (start + quantity > kRegisterCount) {
        ctx.dispatch.DispatchAnswer(header, kUnsupportedFunctionByte,
                                    ExceptionData(ExceptionCode::IllegalDataAddress),
                                    ctx.options.ShowRawData());
        ctx.trace.TraceAnswer(header, text);
        return;
    }
    // All values must be there before any is stored: a cut frame writes nothing.
    // The byte count at PDU byte 5 is not used, so quantity 0 needs nothing more.
    if (quantity > 0 && pdu.size() < kWriteValuesOffset + 2 * static_cast<std::size_t>(quantity)) {
        return AnswerFrameTooShort(ctx, header, FunctionCode::WriteMultipleRegisters);
    }
    for (int32_t i = 0; i < quantity; ++i) {
        const int32_t value = GetWord(pdu, kWriteValuesOffset + 2 * static_cast<std::size_t>(i));
        ctx.tables.HoldingRegisters[static_cast<std::size_t>(start + i)] = value;
    }
    // One request line per register written, whatever the options say; the
    // trace is handed the values, not 100 lines of text.
    if (quantity > 0) {
        ctx.trace.TraceRegisterValues(
            header, kFirstRegisterNumber + start,
            std::string_view(pdu).substr(kWriteValuesOffset,
                                         2 * static_cast<std::size_t>(quantity)));
    }
    // The standard answer names the range only; the echo repeats every value.
    const Packet answer =
        ctx.standardWriteAnswer ? pdu.substr(1, kAddressFieldsSize) : pdu.substr(1);
    ctx.dispatch.DispatchAnswer(header, CodeOf(FunctionCode::WriteMultipleRegisters), answer,
                                ctx.options.ShowRawData());
    ctx.trace.TraceAnswer(header, text);
}

void AnswerUnsupportedFunction(HandlerContext& ctx, const MbapHeader& header) {
    ctx.dispatch.DispatchAnswer(header, kUnsupportedFunctionByte,
                                ExceptionData(ExceptionCode::IllegalDataAddress),
                                ctx.options.ShowRawData());
}

}  // namespace tarvik
