// What the engine needs from the rest of the system. The window implements
// these in the program; tests implement them to drive the engine alone.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/mbap_header.h"
#include "engine/packet.h"

namespace tarvik {

// The operator's option controls. Read at the moment a value is needed and
// never cached, so a click takes effect at the next frame.
class OperatorOptions {
public:
    virtual ~OperatorOptions() = default;
    virtual bool ShowRawData() const = 0;   // "Show raw data"
    virtual bool ShowReads() const = 0;     // "Show reads"
    virtual bool DontAnswer() const = 0;    // "Don't answer"
    virtual bool DelayAnswer() const = 0;   // "Delay answer"
    virtual std::string DelayText() const = 0;  // text beside "Delay answer"
};

// How bytes handed to the trace are shown.
enum class HexForm : uint8_t {
    Bytes,  // "XX " per byte: the raw dumps and most answers' data
    Words,  // "XXXX" per big-endian word, no blank: function 4's values
};

// Appends `bytes` in `form`; of Words, a last odd byte is left out.
inline void AppendHex(std::string& out, std::string_view bytes, HexForm form) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    if (form == HexForm::Bytes) {
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            out.push_back(kDigits[byte >> 4]);
            out.push_back(kDigits[byte & 0xF]);
            out.push_back(' ');
        }
        return;
    }
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        for (const char c : {bytes[i], bytes[i + 1]}) {
            const auto byte = static_cast<unsigned char>(c);
            out.push_back(kDigits[byte >> 4]);
            out.push_back(kDigits[byte & 0xF]);
        }
    }
}

// The text of one register of a multiple register write, after the
// request line's identifier: "Registervalue <number>, value <hex4>".
inline void AppendRegisterValueText(std::string& out, int64_t number, int32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    // Made by the hundred per write: no temporary strings.
    char decimal[24];
    const auto end = std::to_chars(decimal, decimal + sizeof decimal, number).ptr;
    out += "Registervalue ";
    out.append(decimal, static_cast<std::size_t>(end - decimal));
    out += ", value ";
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kDigits[(value >> shift) & 0xF]);
}

// The writers of the debug trace. The first three take finished texts; the
// others hand over the raw material of texts that are long or many, so a
// trace that keeps records can leave the text to whoever shows it. Their
// defaults write the same lines through the first three.
class TraceWriter {
public:
    virtual ~TraceWriter() = default;
    // mark is "<-" (received) or "->" (sent).
    virtual void TraceRaw(std::string_view mark, const Packet& packet) = 0;
    virtual void TraceRequest(const MbapHeader& header, std::string_view text) = 0;
    virtual void TraceAnswer(const MbapHeader& header, std::string_view text) = 0;

    // An answer line of `text` followed by `bytes` in `form`.
    virtual void TraceAnswerHex(const MbapHeader& header, std::string_view text,
                                std::string_view bytes, HexForm form) {
        std::string line(text);
        AppendHex(line, bytes, form);
        TraceAnswer(header, line);
    }
    // One request line per big-endian word of `values`, numbered on from
    // `firstNumber` (AppendRegisterValueText).
    virtual void TraceRegisterValues(const MbapHeader& header, int64_t firstNumber,
                                     std::string_view values) {
        std::string line;
        for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
            line.clear();
            AppendRegisterValueText(line, firstNumber + static_cast<int64_t>(i / 2),
                                    256 * static_cast<unsigned char>(values[i]) +
                                        static_cast<unsigned char>(values[i + 1]));
            TraceRequest(header, line);
        }
    }
};

// Where each answer goes: assembled, then sent at once or queued.
class AnswerDispatch {
public:
    virtual ~AnswerDispatch() = default;
    virtual void DispatchAnswer(const MbapHeader& header, int functionByte,
                                const Packet& answerData, bool viewDebugData) = 0;
};

// Brings the status-bar panels up to date (compare-and-write).
class StatusRefresh {
public:
    virtual ~StatusRefresh() = default;
    virtual void RefreshStatusBar() = 0;
};

// Uniform numbers in [0, 1) for the registers past the tables.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual double NextUniform() = 0;
};

}  // namespace tarvik
