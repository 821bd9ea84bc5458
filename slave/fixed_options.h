// Operator options held as the text a user wrote: the headless face's options
// for the whole run, taken from the settings file, and the values the
// window's controls start with.
#pragma once

#include <string>
#include <string_view>

#include "config/text_helpers.h"
#include "engine/operator_options.h"

namespace tarvik {

struct FixedOptions {
    bool showRawData = true;
    bool showReads = true;
    bool dontAnswer = false;
    bool delayAnswer = false;
    std::string delayText = "200";

    OperatorOptions Snapshot() const {
        return OperatorOptions{showRawData, showReads, dontAnswer, delayAnswer,
                               DelayMsOf(delayText)};
    }
};

}  // namespace tarvik
