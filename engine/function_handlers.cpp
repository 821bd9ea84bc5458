#include "engine/function_handlers.h"

#include <string>

#include "engine/clock_random.h"
#include "engine/fixed_answers.h"
#include "engine/text_forms.h"

namespace tarvik {
namespace {

constexpr int kExceptionBit = 128;
constexpr int kUnsupportedFunctionByte = 129;
constexpr char kIllegalAddress = '\x02';
constexpr char kIllegalValue = '\x03';
// The byte count is one byte: 2 x 127 is the most registers it can announce.
constexpr int32_t kMaxReadQuantity = 127;
// PDU bytes 1..4 carry address and quantity (or value) for every function.
constexpr std::size_t kMinPduSize = 5;
constexpr std::size_t kWriteValuesOffset = 6;
constexpr std::string_view kRegisterLinePrefix = "Registervalue ";

bool LacksAddressFields(const Packet& pdu) {
    return pdu.size() < kMinPduSize;
}

// A frame too short for its function changes nothing and says so.
void AnswerFrameTooShort(HandlerContext& ctx, const MbapHeader& header, int functionCode) {
    ctx.trace.TraceRequest(header, "Frame too short, function " + Decimal(functionCode));
    ctx.dispatch.DispatchAnswer(header, functionCode + kExceptionBit, Packet(1, kIllegalValue),
                                ctx.options.ShowRawData());
}

std::string ByteDumpText(const Packet& data) {
    std::string text;
    text.reserve(data.size() * 3);
    for (unsigned char byte : data) AppendHex2Blank(text, byte);
    return text;
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

std::string RangeText(const char* name, int32_t start, const char* label, int32_t quantity) {
    return std::string(name) + Decimal(start) + label + Decimal(quantity);
}

}  // namespace

void ReadHoldingRegisters(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu) {
    if (LacksAddressFields(pdu)) return AnswerFrameTooShort(ctx, header, 3);
    const int32_t start = GetWord(pdu, 1);
    const int32_t quantity = GetWord(pdu, 3);
    if (ctx.options.ShowReads()) {
        ctx.trace.TraceRequest(header, RangeText("Read Holding Registers ", start, ", count ", quantity));
    }

    int functionByte = 3;
    Packet data;
    if (ctx.simulatePAT) {
        if (auto canned = FindFixedAnswer(start, quantity)) {
            data.assign(canned->data(), canned->size());
        } else {
            functionByte = 3 | kExceptionBit;
            data.assign(1, kIllegalAddress);
        }
    } else if (quantity > kMaxReadQuantity) {
        functionByte = 3 + kExceptionBit;
        data.assign(1, kIllegalValue);
    } else {
        data = RegisterReadData(ctx.tables.HoldingRegisters, ctx.random, start, quantity);
    }

    ctx.dispatch.DispatchAnswer(header, functionByte, data, ctx.options.ShowReads());
    if (ctx.options.ShowReads()) {
        ctx.trace.TraceAnswer(header, "Read Holding Registers " + Decimal(start) + ", data " +
                                          ByteDumpText(data));
    }
}

void ReadInputRegisters(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu) {
    if (LacksAddressFields(pdu)) return AnswerFrameTooShort(ctx, header, 4);
    const int32_t start = GetWord(pdu, 1);
    const int32_t quantity = GetWord(pdu, 3);
    if (ctx.options.ShowReads()) {
        ctx.trace.TraceRequest(header, RangeText("Read Input Registers ", start, ", count ", quantity));
    }

    if (quantity > kMaxReadQuantity) {
        const Packet data(1, kIllegalValue);
        ctx.dispatch.DispatchAnswer(header, 4 + kExceptionBit, data, ctx.options.ShowRawData());
        ctx.trace.TraceAnswer(header, "Read Input Registers " + Decimal(start) + ", data " +
                                          ByteDumpText(data));
        return;
    }

    const Packet data = RegisterReadData(ctx.tables.InputRegisters, ctx.random, start, quantity);
    ctx.dispatch.DispatchAnswer(header, 4, data, ctx.options.ShowRawData());
    std::string text = "Read Input Registers " + Decimal(start) + ", data ";
    text.reserve(text.size() + 4 * static_cast<std::size_t>(quantity));
    for (int32_t i = 0; i < quantity; ++i) {
        text += Hex4(GetWord(data, 1 + 2 * static_cast<std::size_t>(i)));
    }
    ctx.trace.TraceAnswer(header, text);
}

void WriteSingleCoil(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu) {
    if (LacksAddressFields(pdu)) return AnswerFrameTooShort(ctx, header, 5);
    const int32_t address = GetWord(pdu, 1);
    const int32_t value = GetWord(pdu, 3);
    ctx.trace.TraceRequest(header, "Write single coil " + Decimal(address) + ", value " + Hex4(value));
    ctx.dispatch.DispatchAnswer(header, 5, pdu.substr(1), ctx.options.ShowRawData());
    ctx.trace.TraceAnswer(header, "Write single coil response");
}

void WriteSingleRegister(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu) {
    if (LacksAddressFields(pdu)) return AnswerFrameTooShort(ctx, header, 6);
    const int32_t address = GetWord(pdu, 1);
    const int32_t value = GetWord(pdu, 3);
    // Past the table the write is ignored but still answered as done.
    if (address < kRegisterCount) ctx.tables.HoldingRegisters[static_cast<std::size_t>(address)] = value;
    ctx.trace.TraceRequest(header, "Write Holding Register " + Decimal(address) + ", value " + Hex4(value));
    ctx.dispatch.DispatchAnswer(header, 6, pdu.substr(1), ctx.options.ShowRawData());
}

void WriteMultipleCoils(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu) {
    if (LacksAddressFields(pdu)) return AnswerFrameTooShort(ctx, header, 15);
    const std::string text = RangeText("Write Coils ", GetWord(pdu, 1), ", length ", GetWord(pdu, 3));
    ctx.trace.TraceRequest(header, text);
    ctx.dispatch.DispatchAnswer(header, 15, pdu.substr(1, 4), ctx.options.ShowRawData());
    ctx.trace.TraceAnswer(header, text);
}

void WriteMultipleRegisters(HandlerContext& ctx, const MbapHeader& header, const Packet& pdu) {
    if (LacksAddressFields(pdu)) return AnswerFrameTooShort(ctx, header, 16);
    const int32_t start = GetWord(pdu, 1);
    const int32_t quantity = GetWord(pdu, 3);
    const std::string text = RangeText("Write Holding Registers ", start, ", length ", quantity);
    ctx.trace.TraceRequest(header, text);

    if (start + quantity > kRegisterCount) {
        ctx.dispatch.DispatchAnswer(header, kUnsupportedFunctionByte, Packet(1, kIllegalAddress),
                                    ctx.options.ShowRawData());
        ctx.trace.TraceAnswer(header, text);
        return;
    }
    // All values must be there before any is stored: a cut frame writes nothing.
    // The byte count at PDU byte 5 is not used, so quantity 0 needs nothing more.
    if (quantity > 0 && pdu.size() < kWriteValuesOffset + 2 * static_cast<std::size_t>(quantity)) {
        return AnswerFrameTooShort(ctx, header, 16);
    }
    // One buffer for every register's line: a write of 100 registers writes 100.
    std::string line(kRegisterLinePrefix);
    line.reserve(64);
    for (int32_t i = 0; i < quantity; ++i) {
        const int32_t value = GetWord(pdu, kWriteValuesOffset + 2 * static_cast<std::size_t>(i));
        ctx.tables.HoldingRegisters[static_cast<std::size_t>(start + i)] = value;
        line.resize(kRegisterLinePrefix.size());
        line += Decimal(40000 + start + i);
        line += ", value ";
        line += Hex4(value);
        ctx.trace.TraceRequest(header, line);
    }
    ctx.dispatch.DispatchAnswer(header, 16, pdu.substr(1), ctx.options.ShowRawData());
    ctx.trace.TraceAnswer(header, text);
}

void AnswerUnsupportedFunction(HandlerContext& ctx, const MbapHeader& header) {
    ctx.dispatch.DispatchAnswer(header, kUnsupportedFunctionByte, Packet(1, kIllegalAddress),
                                ctx.options.ShowRawData());
}

}  // namespace tarvik
