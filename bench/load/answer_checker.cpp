#include "bench/load/answer_checker.h"

#include <cstddef>

namespace tarvik::bench {
namespace {

constexpr std::size_t kHeaderSize = 7;  // up to and including the unit byte
constexpr std::size_t kFunctionAt = 7;
constexpr std::size_t kShortWriteSize = 12;

int Byte(std::string_view frame, std::size_t at) { return static_cast<unsigned char>(frame[at]); }
int Word(std::string_view frame, std::size_t at) {
    return 256 * Byte(frame, at) + Byte(frame, at + 1);
}

AnswerFault CheckRead(std::string_view request, std::string_view answer,
                      std::span<const int32_t> knownValues) {
    const int quantity = Word(request, 10);
    const std::size_t dataBytes = 2 * static_cast<std::size_t>(quantity);
    if (answer.size() < 9) return AnswerFault::Size;
    if (Byte(answer, 8) != static_cast<int>(dataBytes & 0xFF)) return AnswerFault::ByteCount;
    if (answer.size() != 9 + dataBytes) return AnswerFault::Size;
    for (std::size_t i = 0; i < knownValues.size() && i < static_cast<std::size_t>(quantity); ++i) {
        if (knownValues[i] >= 0 && Word(answer, 9 + 2 * i) != knownValues[i])
            return AnswerFault::Values;
    }
    return AnswerFault::None;
}

// The answer past the header must equal the request past the header.
AnswerFault CheckFullEcho(std::string_view request, std::string_view answer) {
    if (answer.size() != request.size()) return AnswerFault::Size;
    return answer.substr(kHeaderSize) == request.substr(kHeaderSize) ? AnswerFault::None
                                                                     : AnswerFault::Echo;
}

AnswerFault CheckMultipleWrite(std::string_view request, std::string_view answer) {
    if (answer.size() == request.size()) return CheckFullEcho(request, answer);
    if (answer.size() != kShortWriteSize) return AnswerFault::Size;
    // Start address and quantity, nothing more.
    return answer.substr(8, 4) == request.substr(8, 4) ? AnswerFault::None : AnswerFault::Echo;
}

}  // namespace

std::string_view FaultName(AnswerFault fault) {
    switch (fault) {
        case AnswerFault::None: return "none";
        case AnswerFault::TransactionId: return "transaction identifier";
        case AnswerFault::ProtocolId: return "protocol identifier";
        case AnswerFault::UnitId: return "unit identifier";
        case AnswerFault::FunctionByte: return "function byte";
        case AnswerFault::Size: return "size";
        case AnswerFault::ByteCount: return "byte count";
        case AnswerFault::Values: return "values";
        case AnswerFault::Echo: return "echo";
    }
    return "unknown";
}

AnswerFault CheckAnswer(std::string_view request, std::string_view answer,
                        std::span<const int32_t> knownValues) {
    // The header and the function byte are needed to say anything more.
    if (answer.size() < kHeaderSize + 1) return AnswerFault::Size;
    if (static_cast<std::size_t>(Word(answer, 4)) + 6 != answer.size()) return AnswerFault::Size;
    if (Word(answer, 0) != Word(request, 0)) return AnswerFault::TransactionId;
    if (Word(answer, 2) != Word(request, 2)) return AnswerFault::ProtocolId;
    if (Byte(answer, 6) != Byte(request, 6)) return AnswerFault::UnitId;
    const int function = Byte(request, kFunctionAt);
    if (Byte(answer, kFunctionAt) != function) return AnswerFault::FunctionByte;

    switch (function) {
        case 3:
        case 4: return CheckRead(request, answer, knownValues);
        case 16: return CheckMultipleWrite(request, answer);
        default: return CheckFullEcho(request, answer);  // 6 echoes its request
    }
}

}  // namespace tarvik::bench
