// What a request to a unit that is not served gets, when units are served.
#pragma once

#include <cstdint>

namespace tarvik {

enum class AbsentAnswer {
    GatewayTargetFailed,     // exception 0B, the default
    GatewayPathUnavailable,  // exception 0A
    Silent,                  // no answer at all
};

// The exception answer's one data byte; 0 for Silent, which sends nothing.
inline constexpr uint8_t ExceptionCodeOf(AbsentAnswer answer) {
    switch (answer) {
        case AbsentAnswer::GatewayTargetFailed: return 0x0B;
        case AbsentAnswer::GatewayPathUnavailable: return 0x0A;
        case AbsentAnswer::Silent: return 0;
    }
    return 0;
}

}  // namespace tarvik
