// The trace as a stream: every entry the writers produce, in order, handed
// to a LineWriter, whose thread makes the lines (for standard output as the
// list shows them, for a trace file with the date in front: see EntryForm).
#pragma once

#include "trace/line_writer.h"
#include "trace/trace_model.h"

namespace tarvik {

class TraceStream final : public TraceListener {
public:
    explicit TraceStream(LineWriter& writer) : writer_(writer) {}

    void TraceRecorded(const TraceEntry& entry) override { writer_.AddEntry(entry); }

private:
    LineWriter& writer_;
};

}  // namespace tarvik
