// What the engine needs from the rest of the system. The window implements
// these in the program; tests implement them to drive the engine alone.
#pragma once

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

// The three writers of the debug trace.
class TraceWriter {
public:
    virtual ~TraceWriter() = default;
    // mark is "<-" (received) or "->" (sent).
    virtual void TraceRaw(std::string_view mark, const Packet& packet) = 0;
    virtual void TraceRequest(const MbapHeader& header, std::string_view text) = 0;
    virtual void TraceAnswer(const MbapHeader& header, std::string_view text) = 0;
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
