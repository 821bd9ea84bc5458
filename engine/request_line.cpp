#include "engine/request_line.h"

#include "engine/function_codes.h"
#include "engine/text_forms.h"

namespace tarvik {
namespace {

// PDU bytes 1..4 carry address and quantity (or value) for every function.
constexpr std::size_t kMinPduSize = 5;

int32_t WordAt(std::string_view bytes, std::size_t at) {
    return 256 * static_cast<unsigned char>(bytes[at]) + static_cast<unsigned char>(bytes[at + 1]);
}

}  // namespace

ShortText& ShortText::Hex4(int32_t value) {
    char digits[4];
    return *this << std::string_view(digits,
                                     static_cast<std::size_t>(PutHex4(digits, value) - digits));
}

ShortText RangeText(std::string_view name, int32_t start, std::string_view label,
                    int32_t quantity) {
    ShortText text;
    text << name << start << label << quantity;
    return text;
}

ShortText FrameTooShortText(int function) {
    ShortText text;
    text << "Frame too short, function " << int64_t{function};
    return text;
}

std::optional<ShortText> RequestLineOf(const OperatorOptions& options, std::string_view pdu) {
    if (pdu.empty()) return std::nullopt;
    const int function = static_cast<unsigned char>(pdu[0]);
    const bool read = function == CodeOf(FunctionCode::ReadHoldingRegisters) ||
                      function == CodeOf(FunctionCode::ReadInputRegisters);
    const bool write = function == CodeOf(FunctionCode::WriteSingleCoil) ||
                       function == CodeOf(FunctionCode::WriteSingleRegister) ||
                       function == CodeOf(FunctionCode::WriteMultipleCoils) ||
                       function == CodeOf(FunctionCode::WriteMultipleRegisters);
    if (!read && !write) return std::nullopt;
    if (pdu.size() < kMinPduSize) return FrameTooShortText(function);
    if (read && !options.showReads) return std::nullopt;
    const int32_t first = WordAt(pdu, 1);
    const int32_t second = WordAt(pdu, 3);
    ShortText text;
    switch (static_cast<FunctionCode>(function)) {
        case FunctionCode::ReadHoldingRegisters:
            return RangeText("Read Holding Registers ", first, ", count ", second);
        case FunctionCode::ReadInputRegisters:
            return RangeText("Read Input Registers ", first, ", count ", second);
        case FunctionCode::WriteSingleCoil:
            text << "Write single coil " << int64_t{first} << ", value ";
            return text.Hex4(second);
        case FunctionCode::WriteSingleRegister:
            text << "Write Holding Register " << int64_t{first} << ", value ";
            return text.Hex4(second);
        case FunctionCode::WriteMultipleCoils:
            return RangeText("Write Coils ", first, ", length ", second);
        default: return RangeText("Write Holding Registers ", first, ", length ", second);
    }
}

}  // namespace tarvik
