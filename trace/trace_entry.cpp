#include "trace/trace_entry.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace tarvik {
namespace {

constexpr std::string_view kRawLabel = " Raw: ";
constexpr std::string_view kReceived = " <- ";
constexpr std::string_view kSent = " -> ";
constexpr std::size_t kHex4 = 4;

void AppendHex4(std::string& out, int32_t value) {
    char digits[4];
    out.append(digits, static_cast<std::size_t>(PutHex4(digits, value) - digits));
}

std::size_t DecimalWidth(int64_t value) {
    std::size_t width = 1;
    for (; value >= 10; value /= 10) ++width;
    return width;
}

std::size_t SignedWidth(int64_t value) {
    if (value >= 0) return DecimalWidth(value);
    return 1 + DecimalWidth(value == INT64_MIN ? INT64_MAX : -value);
}

int32_t WordAt(std::string_view bytes, std::size_t word) {
    return 256 * static_cast<unsigned char>(bytes[2 * word]) +
           static_cast<unsigned char>(bytes[2 * word + 1]);
}

// Width of the shown form of one unit of bytes, and the bytes in a unit.
std::size_t UnitWidth(HexForm form) { return form == HexForm::Bytes ? 3 : 4; }
std::size_t UnitBytes(HexForm form) { return form == HexForm::Bytes ? 1 : 2; }

// Whether line `index` ends in the entry's bytes shown in hex.
bool HasHexTail(const TraceEntry& entry, std::size_t index) {
    switch (entry.kind) {
        case TraceKind::Raw:
        case TraceKind::Request: return true;
        case TraceKind::Answer: return index == 0;
        default: return false;
    }
}

std::size_t HexTailLength(const TraceEntry& entry) {
    return entry.bytes.size() / UnitBytes(entry.form) * UnitWidth(entry.form);
}

// The line up to its hex tail; the whole line when it has none.
void AppendHead(const TraceEntry& entry, std::size_t index, std::string_view time,
                std::string& out) {
    switch (entry.kind) {
        case TraceKind::Blank: return;
        case TraceKind::Raw:
            out += time;
            out += ' ';
            out += entry.text;
            out += kRawLabel;
            return;
        case TraceKind::Request:
            out += time;
            out += kReceived;
            AppendHex4(out, entry.transaction);
            out += ' ';
            out += entry.text;
            return;
        case TraceKind::Answer:
            if (index > 0) return;  // the empty line behind every answer
            out += time;
            out += kSent;
            AppendHex4(out, entry.transaction);
            out += ' ';
            AppendHex4(out, entry.protocol);
            out += ' ';
            out += entry.text;
            return;
        case TraceKind::RegisterValues:
            out += time;
            out += kReceived;
            AppendHex4(out, entry.transaction);
            out += ' ';
            AppendRegisterValueText(out, entry.firstNumber + static_cast<int64_t>(index),
                                    WordAt(entry.bytes, index));
            return;
    }
}

std::size_t HeadLength(const TraceEntry& entry, std::size_t index, std::size_t timeLength) {
    switch (entry.kind) {
        case TraceKind::Blank: return 0;
        case TraceKind::Raw: return timeLength + 1 + entry.text.size() + kRawLabel.size();
        case TraceKind::Request:
            return timeLength + kReceived.size() + kHex4 + 1 + entry.text.size();
        case TraceKind::Answer:
            if (index > 0) return 0;
            return timeLength + kSent.size() + kHex4 + 1 + kHex4 + 1 + entry.text.size();
        case TraceKind::RegisterValues: {
            constexpr std::size_t kFixed =
                std::string_view("Registervalue , value ").size() + kHex4;
            return timeLength + kReceived.size() + kHex4 + 1 + kFixed +
                   DecimalWidth(entry.firstNumber + static_cast<int64_t>(index));
        }
    }
    return 0;
}

// The fixed part of an encoded entry; the text and the bytes follow it.
struct Encoded {
    uint8_t kind;
    uint8_t form;
    int32_t transaction;
    int32_t protocol;
    int64_t firstNumber;
    int64_t second;
    uint32_t textSize;
    uint32_t bytesSize;
};

}  // namespace

std::size_t TraceEntry::LineCount() const {
    switch (kind) {
        case TraceKind::Answer: return 2;
        case TraceKind::RegisterValues: return bytes.size() / 2;
        default: return 1;
    }
}

void AppendEntryLine(const TraceEntry& entry, std::size_t index, std::string_view time,
                     std::string& out) {
    AppendHead(entry, index, time, out);
    if (HasHexTail(entry, index)) AppendHex(out, entry.bytes, entry.form);
}

std::size_t EntryLineLength(const TraceEntry& entry, std::size_t index, std::size_t timeLength) {
    return HeadLength(entry, index, timeLength) +
           (HasHexTail(entry, index) ? HexTailLength(entry) : 0);
}

void AppendEntryLinePart(const TraceEntry& entry, std::size_t index, std::string_view time,
                         std::size_t first, std::size_t end, std::string& out) {
    std::string head;
    AppendHead(entry, index, time, head);
    const std::size_t tail = HasHexTail(entry, index) ? HexTailLength(entry) : 0;
    end = std::min(end, head.size() + tail);
    if (first >= end) return;
    if (first < head.size()) out.append(head, first, std::min(end, head.size()) - first);
    if (end <= head.size()) return;
    // Only the units of the tail that reach into [first, end) are made.
    const std::size_t width = UnitWidth(entry.form);
    const std::size_t unitBytes = UnitBytes(entry.form);
    const std::size_t from = std::max(first, head.size()) - head.size();
    const std::size_t to = end - head.size();
    const std::size_t firstUnit = from / width;
    const std::size_t endUnit = (to + width - 1) / width;
    std::string units;
    AppendHex(units, entry.bytes.substr(firstUnit * unitBytes, (endUnit - firstUnit) * unitBytes),
              entry.form);
    out.append(units, from - firstUnit * width, to - from);
}

namespace {

void PutText(char*& to, std::string_view text) {
    std::memcpy(to, text.data(), text.size());
    to += text.size();
}

// A write of many registers is one entry of as many lines, which differ only
// in the register's number and value: the part before the number is made
// once, and every line is written through a pointer into room made once.
void AppendRegisterValueLines(const TraceEntry& entry, const TraceStamp& stamp, bool dated,
                              std::string& out) {
    constexpr std::string_view kName = "Registervalue ";
    constexpr std::string_view kValue = ", value ";
    const std::size_t lines = entry.LineCount();
    if (lines == 0) return;
    std::string head;
    if (dated) {
        head += stamp.date;
        head += ' ';
    }
    head += stamp.time;
    head += kReceived;
    AppendHex4(head, entry.transaction);
    head += ' ';
    head += kName;
    const int64_t last = entry.firstNumber + static_cast<int64_t>(lines - 1);
    // The widest number of the run (its first or its last) bounds every
    // line; the room left over is given back at the end.
    const std::size_t widest = head.size() +
                               std::max(SignedWidth(entry.firstNumber), SignedWidth(last)) +
                               kValue.size() + kHex4 + 1;
    const std::size_t at = out.size();
    out.resize(at + lines * widest);
    char* to = out.data() + at;
    char* const limit = out.data() + out.size();
    for (std::size_t index = 0; index < lines; ++index) {
        PutText(to, head);
        to = std::to_chars(to, limit, entry.firstNumber + static_cast<int64_t>(index)).ptr;
        PutText(to, kValue);
        to = PutHex4(to, WordAt(entry.bytes, index));
        *to++ = '\n';
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

}  // namespace

void AppendEntryLines(const TraceEntry& entry, const TraceStamp& stamp, bool dated,
                      std::string& out) {
    if (entry.kind == TraceKind::RegisterValues) {
        AppendRegisterValueLines(entry, stamp, dated, out);
        return;
    }
    const std::size_t lines = entry.LineCount();
    for (std::size_t index = 0; index < lines; ++index) {
        const bool empty =
            entry.kind == TraceKind::Blank || (entry.kind == TraceKind::Answer && index > 0);
        if (dated && !empty) {
            out += stamp.date;
            out += ' ';
        }
        AppendEntryLine(entry, index, stamp.time, out);
        out += '\n';
    }
}

void EncodeEntry(const TraceEntry& entry, std::string& out) {
    Encoded fixed{};
    fixed.kind = static_cast<uint8_t>(entry.kind);
    fixed.form = static_cast<uint8_t>(entry.form);
    fixed.transaction = entry.transaction;
    fixed.protocol = entry.protocol;
    fixed.firstNumber = entry.firstNumber;
    fixed.second = static_cast<int64_t>(entry.second);
    fixed.textSize = static_cast<uint32_t>(entry.text.size());
    fixed.bytesSize = static_cast<uint32_t>(entry.bytes.size());
    out.append(reinterpret_cast<const char*>(&fixed), sizeof fixed);
    out += entry.text;
    out += entry.bytes;
}

bool DecodeEntry(std::string_view& in, TraceEntry& entry) {
    Encoded fixed;
    if (in.size() < sizeof fixed) return false;
    std::memcpy(&fixed, in.data(), sizeof fixed);
    const std::size_t size = sizeof fixed + std::size_t{fixed.textSize} + fixed.bytesSize;
    if (in.size() < size) return false;
    entry.kind = static_cast<TraceKind>(fixed.kind);
    entry.form = static_cast<HexForm>(fixed.form);
    entry.transaction = fixed.transaction;
    entry.protocol = fixed.protocol;
    entry.firstNumber = fixed.firstNumber;
    entry.second = static_cast<std::time_t>(fixed.second);
    entry.text = in.substr(sizeof fixed, fixed.textSize);
    entry.bytes = in.substr(sizeof fixed + fixed.textSize, fixed.bytesSize);
    in.remove_prefix(size);
    return true;
}

}  // namespace tarvik
