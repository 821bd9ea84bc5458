// Byte strings in which frames are received, answered and queued, and the
// big-endian field access the engine and dispatch use on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvik {

// One char per byte (0..255); positions count from 0.
using Packet = std::string;

// Value 0..255 of the byte at `pos`; `pos` must lie inside the packet.
inline int GetByte(const Packet& packet, std::size_t pos) {
    return static_cast<unsigned char>(packet[pos]);
}

// One-byte packet of a value 0..255.
inline Packet ByteOf(int value) { return Packet(1, static_cast<char>(value & 0xFF)); }

// Big-endian word at `pos`, 0..65535; both bytes must lie inside the packet.
inline int32_t GetWord(const Packet& packet, std::size_t pos) {
    return 256 * GetByte(packet, pos) + GetByte(packet, pos + 1);
}

// Writes the two bytes of a value 0..65535 at `to`, high byte first;
// returns the end.
inline char* WriteWord(char* to, int32_t value) {
    to[0] = static_cast<char>((value / 256) & 0xFF);
    to[1] = static_cast<char>(value & 0xFF);
    return to + 2;
}

// Two bytes of a value 0..65535, high byte first.
inline Packet PutWord(int32_t value) {
    Packet word(2, '\0');
    WriteWord(word.data(), value);
    return word;
}

// Appends PutWord(value) without a temporary.
inline void AppendWord(Packet& packet, int32_t value) {
    char word[2];
    packet.append(word, static_cast<std::size_t>(WriteWord(word, value) - word));
}

}  // namespace tarvik
