#include "engine/function_handlers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>
#include <string_view>

#include "engine/clock_random.h"
#include "engine/fixed_answers.h"
#include "engine/function_codes.h"
#include "engine/request_line.h"
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

int ByteAt(std::string_view bytes, std::size_t at) { return static_cast<unsigned char>(bytes[at]); }

int32_t WordAt(std::string_view bytes, std::size_t at) {
    return 256 * ByteAt(bytes, at) + ByteAt(bytes, at + 1);
}

bool LacksAddressFields(std::string_view pdu) { return pdu.size() < kMinPduSize; }

// The answer leaves now, or after the operator's delay while "Delay answer"
// is checked.
void FinishAnswer(HandlerContext& ctx, bool viewDebugData) {
    const bool delayed = ctx.options.delayAnswer;
    ctx.out.EndAnswer(ctx.route, delayed ? Departure::Delayed : Departure::Now,
                      delayed ? ctx.options.delayMs : 0, viewDebugData);
}

void Answer(HandlerContext& ctx, const MbapHeader& header, int functionByte, std::string_view data,
            bool viewDebugData) {
    ctx.out.BeginAnswer(header, functionByte).append(data);
    FinishAnswer(ctx, viewDebugData);
}

void AnswerException(HandlerContext& ctx, const MbapHeader& header, int functionByte,
                     ExceptionCode code, bool viewDebugData) {
    ctx.out.BeginAnswer(header, functionByte).push_back(static_cast<char>(code));
    FinishAnswer(ctx, viewDebugData);
}

void TraceRequest(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu) {
    if (const auto line = RequestLineOf(ctx.options, pdu)) TraceRequestLine(ctx, header, *line);
}

// A frame too short for its function changes nothing and says so: before
// its address fields, or (function 16) in its values.
void AnswerFrameTooShort(HandlerContext& ctx, const MbapHeader& header, FunctionCode code) {
    TraceRequestLine(ctx, header, FrameTooShortText(CodeOf(code)));
    AnswerException(ctx, header, ExceptionByteOf(code), ExceptionCode::IllegalDataValue,
                    ctx.options.showRawData);
}

// Byte count, then two bytes per register; registers past the table are random.
void AppendRegisterReadData(std::string& out, const RegisterTable& table, RandomSource& random,
                            int32_t start, int32_t quantity) {
    // Sized once and filled through a pointer: no capacity check per byte.
    const std::size_t at = out.size();
    out.resize(at + 1 + 2 * static_cast<std::size_t>(quantity));
    char* to = out.data() + at;
    *to++ = static_cast<char>(2 * quantity);
    for (int32_t i = 0; i < quantity; ++i) {
        const int32_t address = start + i;
        if (address >= kRegisterCount) {
            *to++ = static_cast<char>(RandomByte(random));
            *to++ = static_cast<char>(RandomByte(random));
        } else {
            to = WriteWord(to, table[static_cast<std::size_t>(address)]);
        }
    }
}

// "<name><start>, data ": the answer line of a read, before its data.
ShortText DataText(std::string_view name, int32_t start) {
    ShortText text;
    text << name << start << ", data ";
    return text;
}

}  // namespace

void TraceRequestLine(HandlerContext& ctx, const MbapHeader& header, std::string_view text) {
    if (ctx.units == nullptr) return ctx.out.Trace(StepKind::Request, header, text);
    ShortText line;
    line << text << ", unit " << int64_t{header.UnitIdentifier};
    ctx.out.Trace(StepKind::Request, header, line);
}

void ReadHoldingRegisters(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu) {
    if (LacksAddressFields(pdu))
        return AnswerFrameTooShort(ctx, header, FunctionCode::ReadHoldingRegisters);
    const int32_t start = WordAt(pdu, 1);
    const int32_t quantity = WordAt(pdu, 3);
    const bool shown = ctx.options.showReads;
    TraceRequest(ctx, header, pdu);

    if (ctx.simulatePAT) {
        if (auto canned = FindFixedAnswer(start, quantity)) {
            Answer(ctx, header, CodeOf(FunctionCode::ReadHoldingRegisters), *canned, shown);
        } else {
            AnswerException(ctx, header, ExceptionByteOf(FunctionCode::ReadHoldingRegisters),
                            ExceptionCode::IllegalDataAddress, shown);
        }
    } else if (quantity > kMaxReadQuantity) {
        AnswerException(ctx, header, ExceptionByteOf(FunctionCode::ReadHoldingRegisters),
                        ExceptionCode::IllegalDataValue, shown);
    } else {
        AppendRegisterReadData(
            ctx.out.BeginAnswer(header, CodeOf(FunctionCode::ReadHoldingRegisters)),
            ctx.tables->HoldingRegisters, ctx.random, start, quantity);
        FinishAnswer(ctx, shown);
    }
    if (shown) {
        ctx.out.TraceAnswerData(header, DataText("Read Holding Registers ", start), HexForm::Bytes);
    }
}

void ReadInputRegisters(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu) {
    if (LacksAddressFields(pdu))
        return AnswerFrameTooShort(ctx, header, FunctionCode::ReadInputRegisters);
    const int32_t start = WordAt(pdu, 1);
    const int32_t quantity = WordAt(pdu, 3);
    TraceRequest(ctx, header, pdu);

    if (quantity > kMaxReadQuantity) {
        AnswerException(ctx, header, ExceptionByteOf(FunctionCode::ReadInputRegisters),
                        ExceptionCode::IllegalDataValue, ctx.options.showRawData);
        ctx.out.TraceAnswerData(header, DataText("Read Input Registers ", start), HexForm::Bytes);
        return;
    }

    AppendRegisterReadData(ctx.out.BeginAnswer(header, CodeOf(FunctionCode::ReadInputRegisters)),
                           ctx.tables->InputRegisters, ctx.random, start, quantity);
    FinishAnswer(ctx, ctx.options.showRawData);
    // The values without the byte count, four digits each.
    ctx.out.TraceAnswerData(header, DataText("Read Input Registers ", start), HexForm::Words, 1);
}

void WriteSingleCoil(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu) {
    if (LacksAddressFields(pdu))
        return AnswerFrameTooShort(ctx, header, FunctionCode::WriteSingleCoil);
    TraceRequest(ctx, header, pdu);
    Answer(ctx, header, CodeOf(FunctionCode::WriteSingleCoil), pdu.substr(1),
           ctx.options.showRawData);
    ctx.out.Trace(StepKind::Answer, header, "Write single coil response");
}

void WriteSingleRegister(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu) {
    if (LacksAddressFields(pdu))
        return AnswerFrameTooShort(ctx, header, FunctionCode::WriteSingleRegister);
    const int32_t address = WordAt(pdu, 1);
    const int32_t value = WordAt(pdu, 3);
    // Past the table the write is ignored but still answered as done.
    if (address < kRegisterCount)
        ctx.tables->HoldingRegisters[static_cast<std::size_t>(address)] = value;
    TraceRequest(ctx, header, pdu);
    Answer(ctx, header, CodeOf(FunctionCode::WriteSingleRegister), pdu.substr(1),
           ctx.options.showRawData);
}

void WriteMultipleCoils(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu) {
    if (LacksAddressFields(pdu))
        return AnswerFrameTooShort(ctx, header, FunctionCode::WriteMultipleCoils);
    TraceRequest(ctx, header, pdu);
    Answer(ctx, header, CodeOf(FunctionCode::WriteMultipleCoils), pdu.substr(1, kAddressFieldsSize),
           ctx.options.showRawData);
    ctx.out.Trace(StepKind::Answer, header,
                  RangeText("Write Coils ", WordAt(pdu, 1), ", length ", WordAt(pdu, 3)));
}

void WriteMultipleRegisters(HandlerContext& ctx, const MbapHeader& header, std::string_view pdu) {
    if (LacksAddressFields(pdu))
        return AnswerFrameTooShort(ctx, header, FunctionCode::WriteMultipleRegisters);
    const int32_t start = WordAt(pdu, 1);
    const int32_t quantity = WordAt(pdu, 3);
    const ShortText text = RangeText("Write Holding Registers ", start, ", length ", quantity);
    TraceRequest(ctx, header, pdu);

    if (start + quantity > kRegisterCount) {
        AnswerException(ctx, header, kUnsupportedFunctionByte, ExceptionCode::IllegalDataAddress,
                        ctx.options.showRawData);
        ctx.out.Trace(StepKind::Answer, header, text);
        return;
    }
    // All values must be there before any is stored: a cut frame writes nothing.
    // The byte count at PDU byte 5 is not used, so quantity 0 needs nothing more.
    const std::size_t valueBytes = 2 * static_cast<std::size_t>(quantity);
    if (quantity > 0 && pdu.size() < kWriteValuesOffset + valueBytes) {
        return AnswerFrameTooShort(ctx, header, FunctionCode::WriteMultipleRegisters);
    }
    for (int32_t i = 0; i < quantity; ++i) {
        const int32_t value = WordAt(pdu, kWriteValuesOffset + 2 * static_cast<std::size_t>(i));
        ctx.tables->HoldingRegisters[static_cast<std::size_t>(start + i)] = value;
    }
    // One request line per register written, whatever the options say; the
    // trace is handed the values, not 100 lines of text.
    if (quantity > 0) {
        ctx.out.Trace(StepKind::RegisterValues, header, {},
                      pdu.substr(kWriteValuesOffset, valueBytes), HexForm::Bytes,
                      kFirstRegisterNumber + start);
    }
    // The standard answer names the range only; the echo repeats every value.
    Answer(ctx, header, CodeOf(FunctionCode::WriteMultipleRegisters),
           ctx.standardWriteAnswer ? pdu.substr(1, kAddressFieldsSize) : pdu.substr(1),
           ctx.options.showRawData);
    ctx.out.Trace(StepKind::Answer, header, text);
}

void AnswerExceptionByte(HandlerContext& ctx, const MbapHeader& header, int functionByte,
                         uint8_t code, bool viewDebugData) {
    ctx.out.BeginAnswer(header, functionByte).push_back(static_cast<char>(code));
    FinishAnswer(ctx, viewDebugData);
}

void AnswerUnsupportedFunction(HandlerContext& ctx, const MbapHeader& header) {
    AnswerException(ctx, header, kUnsupportedFunctionByte, ExceptionCode::IllegalDataAddress,
                    ctx.options.showRawData);
}

}  // namespace tarvik
