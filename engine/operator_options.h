// The operator's options as one value: the face makes a new one whenever a
// control changes (the delay text read once, then), and the engine reads
// this copy for every frame instead of asking a widget.
#pragma once

#include <cstdint>

namespace tarvik {

struct OperatorOptions {
    bool showRawData = true;   // "Show raw data"
    bool showReads = true;     // "Show reads"
    bool dontAnswer = false;   // "Don't answer"
    bool delayAnswer = false;  // "Delay answer"
    // The text beside "Delay answer" as milliseconds (its leading number,
    // rounded half to even; 0 for a text without one).
    int32_t delayMs = 200;

    friend bool operator==(const OperatorOptions&, const OperatorOptions&) = default;
};

}  // namespace tarvik
