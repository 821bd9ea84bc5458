// Looking into a headless host's trace from the transport tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/trace_model.h"

namespace tarvik::nettest {

inline int CountTraceLines(const TraceModel& trace, std::string_view fragment) {
    int count = 0;
    for (std::size_t row = 0; row < trace.LineCount(); ++row)
        count += trace.Line(row).find(fragment) != std::string::npos ? 1 : 0;
    return count;
}

// The lines without their time of day, in order: "<- Raw: 00 01 ...".
inline std::vector<std::string> TraceWithoutTimes(const TraceModel& trace) {
    std::vector<std::string> lines;
    for (std::size_t row = 0; row < trace.LineCount(); ++row) {
        const std::string& line = trace.Line(row);
        const std::size_t blank = line.find(' ');
        lines.push_back(blank == std::string::npos ? line : line.substr(blank + 1));
    }
    return lines;
}

}  // namespace tarvik::nettest
