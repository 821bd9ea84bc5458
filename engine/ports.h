// What the engine needs from the rest of the system. A face gives the
// operator options (the window's check boxes, or fixed values headless); the
// core gives the rest; tests implement them to drive the engine alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/mbap_header.h"
#include "engine/packet.h"
#include "engine/text_forms.h"

namespace tarvik {

// The operator's option controls. Read at the moment a value is needed and
// never cached, so a click takes effect at the next frame.
class OperatorOptions {
public:
    virtual ~OperatorOptions() = default;
    virtual bool ShowRawData() const = 0;       // "Show raw data"
    virtual bool ShowReads() const = 0;         // "Show reads"
    virtual bool DontAnswer() const = 0;        // "Don't answer"
    virtual bool DelayAnswer() const = 0;       // "Delay answer"
    virtual std::string DelayText() const = 0;  // text beside "Delay answer"
};

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
