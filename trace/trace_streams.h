// The trace as a stream of lines: every line the writers produce, in order,
// handed to a LineWriter — for standard output as the list shows it, for a
// trace file with the date in front, because the list shows only the time.
#pragma once

#include <string_view>

#include "trace/line_writer.h"
#include "trace/trace_model.h"

namespace tarvik {

class TraceStream final : public TraceListener {
public:
    enum class Dated { No, Yes };
    TraceStream(LineWriter& writer, Dated dated) : writer_(writer), dated_(dated) {}

    void TraceLine(std::string_view date, std::string_view line) override;

private:
    LineWriter& writer_;
    Dated dated_;
};

}  // namespace tarvik
