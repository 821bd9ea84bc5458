#include "bench/floor/floor_answers.h"

namespace tarvik::bench {
namespace {

constexpr std::size_t kHeaderSize = 7;  // through the unit identifier
constexpr std::size_t kBeforeUnit = 6;  // a frame is 6 + Length bytes
constexpr int kExceptionBit = 128;
constexpr int kUnsupportedFunctionByte = 129;
constexpr char kIllegalAddress = 2;
constexpr char kIllegalValue = 3;
constexpr int kMaxReadQuantity = 127;   // the byte count is one byte
constexpr std::size_t kMinPduSize = 5;  // function, address, quantity or value
constexpr std::size_t kWriteValuesAt = 6;

int Byte(std::string_view bytes, std::size_t at) { return static_cast<unsigned char>(bytes[at]); }
int Word(std::string_view bytes, std::size_t at) {
    return 256 * Byte(bytes, at) + Byte(bytes, at + 1);
}

uint8_t RandomByte(uint64_t& state) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<uint8_t>(state >> 56);
}

// Writes the answer header with a length to be filled in by Finish.
std::size_t Begin(Packet& out, std::string_view frame, int functionByte) {
    const std::size_t at = out.size();
    out.append(frame.substr(0, 4));  // transaction and protocol identifiers
    out.append(2, '\0');
    out.push_back(frame[6]);
    out.push_back(static_cast<char>(functionByte));
    return at;
}

void Finish(Packet& out, std::size_t at) {
    const std::size_t length = out.size() - at - kBeforeUnit;
    out[at + 4] = static_cast<char>((length >> 8) & 0xFF);
    out[at + 5] = static_cast<char>(length & 0xFF);
}

void AnswerException(Packet& out, std::string_view frame, int functionByte, char code) {
    const std::size_t at = Begin(out, frame, functionByte);
    out.push_back(code);
    Finish(out, at);
}

void AnswerEcho(Packet& out, std::string_view frame, int function, std::string_view echoed) {
    const std::size_t at = Begin(out, frame, function);
    out.append(echoed);
    Finish(out, at);
}

void AnswerRead(FloorRegisters& registers, Packet& out, std::string_view frame,
                std::string_view pdu) {
    const int function = Byte(pdu, 0);
    const int start = Word(pdu, 1);
    const int quantity = Word(pdu, 3);
    if (quantity > kMaxReadQuantity) {
        return AnswerException(out, frame, function + kExceptionBit, kIllegalValue);
    }

    const auto& table = function == 3 ? registers.holding : registers.input;
    const std::size_t at = Begin(out, frame, function);
    out.push_back(static_cast<char>(2 * quantity));
    for (int address = start; address < start + quantity; ++address) {
        if (address < kFloorTableSize) {
            AppendWord(out, table[static_cast<std::size_t>(address)]);
        } else {
            out.push_back(static_cast<char>(RandomByte(registers.randomState)));
            out.push_back(static_cast<char>(RandomByte(registers.randomState)));
        }
    }
    Finish(out, at);
}

void AnswerMultipleWrite(FloorRegisters& registers, Packet& out, std::string_view frame,
                         std::string_view pdu) {
    const int start = Word(pdu, 1);
    const int quantity = Word(pdu, 3);
    if (start + quantity > kFloorTableSize) {
        return AnswerException(out, frame, kUnsupportedFunctionByte, kIllegalAddress);
    }
    // Every value must be there before any is stored.
    if (quantity > 0 && pdu.size() < kWriteValuesAt + 2 * static_cast<std::size_t>(quantity)) {
        return AnswerException(out, frame, 16 + kExceptionBit, kIllegalValue);
    }
    for (int i = 0; i < quantity; ++i) {
        registers.holding[static_cast<std::size_t>(start + i)] =
            static_cast<uint16_t>(Word(pdu, kWriteValuesAt + 2 * static_cast<std::size_t>(i)));
    }
    AnswerEcho(out, frame, 16, pdu.substr(1));
}

void AnswerFrame(FloorRegisters& registers, std::string_view frame, Packet& out) {
    const std::string_view pdu = frame.substr(kHeaderSize);
    const int function = Byte(pdu, 0);
    const bool served = function == 3 || function == 4 || function == 5 || function == 6 ||
                        function == 15 || function == 16;
    if (served && pdu.size() < kMinPduSize) {
        return AnswerException(out, frame, function + kExceptionBit, kIllegalValue);
    }
    switch (function) {
        case 1:
        case 2: return;  // never answered
        case 3:
        case 4: return AnswerRead(registers, out, frame, pdu);
        case 5: return AnswerEcho(out, frame, 5, pdu.substr(1));
        case 6: {
            const int address = Word(pdu, 1);
            // Past the table the write is ignored but answered as done.
            if (address < kFloorTableSize) {
                registers.holding[static_cast<std::size_t>(address)] =
                    static_cast<uint16_t>(Word(pdu, 3));
            }
            return AnswerEcho(out, frame, 6, pdu.substr(1));
        }
        case 15: return AnswerEcho(out, frame, 15, pdu.substr(1, 4));
        case 16: return AnswerMultipleWrite(registers, out, frame, pdu);
        default: return AnswerException(out, frame, kUnsupportedFunctionByte, kIllegalAddress);
    }
}

}  // namespace

std::size_t AnswerFrames(FloorRegisters& registers, std::string_view stream, Packet& out,
                         std::vector<std::size_t>* answerEnds) {
    std::size_t offset = 0;
    while (stream.size() - offset >= kHeaderSize) {
        const std::size_t frameSize =
            kBeforeUnit + static_cast<std::size_t>(Word(stream, offset + 4));
        if (stream.size() - offset < frameSize) break;
        // Length 0 or 1 leaves no function code: dropped unanswered.
        if (frameSize > kHeaderSize) {
            const std::size_t before = out.size();
            AnswerFrame(registers, stream.substr(offset, frameSize), out);
            if (answerEnds && out.size() != before) answerEnds->push_back(out.size());
        }
        offset += frameSize;
    }
    return offset;
}

}  // namespace tarvik::bench
