// Operator options held as plain values: the headless face's options for the
// whole run, taken from the settings file, and the tests' options.
#pragma once

#include <string>

#include "engine/ports.h"

namespace tarvik {

struct FixedOptions final : OperatorOptions {
    // The values the window's controls start with.
    bool showRawData = true;
    bool showReads = true;
    bool dontAnswer = false;
    bool delayAnswer = false;
    std::string delayText = "200";

    bool ShowRawData() const override { return showRawData; }
    bool ShowReads() const override { return showReads; }
    bool DontAnswer() const override { return dontAnswer; }
    bool DelayAnswer() const override { return delayAnswer; }
    std::string DelayText() const override { return delayText; }
};

}  // namespace tarvik
