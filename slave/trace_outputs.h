// Where the trace goes besides the debug list: a trace file, and for the
// headless face standard output. Each destination has its own writer
// thread, which makes the lines of the trace entries it is handed. What the
// event loop gathers is handed over kHandOverDelay after the loop first
// waited with it: requests arriving one by one wake a writer at most once
// per that delay, not once per request (a batch that grows large is handed
// over at once, see LineWriter).
#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "trace/line_writer.h"
#include "trace/trace_model.h"
#include "trace/trace_streams.h"

namespace tarvik {

// Lines of the program's own, told apart from trace lines by this prefix:
// every trace line is empty or begins with a digit of its time.
inline constexpr char kNoticePrefix[] = "## ";

// "## HH:MM:SS text", the time read now.
std::string NoticeLine(std::string_view text);

class TraceOutputs final : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kHandOverDelay{10};

    explicit TraceOutputs(TraceModel& trace, QObject* parent = nullptr);
    // Lines still queued are abandoned after at most a second.
    ~TraceOutputs() override;

    // Appends every trace line, dated, to the regular file at `path`, which
    // turns over to PATH.1 at `maxBytes` (0: never). False, with `error`
    // saying why, when it cannot be opened or is no regular file. A write
    // that fails later is one line on standard error, and the file is tried
    // again until it takes lines again.
    bool AddTraceFile(const std::string& path, uint64_t maxBytes, std::string& error);

    // A writer to a descriptor the program does not own (standard output),
    // `name` naming it on standard error; with `traceLines`, every trace
    // line goes to it as the list shows it. Notices written to it keep their
    // place among the trace lines.
    LineWriter& AddDescriptor(int fd, const std::string& name, bool traceLines);

    // Has the trace file opened again by its path (after it was rotated by
    // someone else), the notice line "## HH:MM:SS Trace file reopened: PATH"
    // heading it; the notice, or empty when there is no trace file.
    std::string ReopenTraceFile();

    // Hands every gathered batch to its writer now.
    void FlushAll();
    // Flushes, then waits at most `grace` for the writers to finish.
    void CloseAll(std::chrono::milliseconds grace);

private:
    struct Output {
        std::unique_ptr<LineWriter> writer;
        std::unique_ptr<TraceStream> stream;
        std::string traceFile;  // the path, for the trace file
    };
    void Add(Output output);
    // When the loop is about to wait: hands over later what waits now.
    void ArmHandOver();

    TraceModel& trace_;
    std::vector<Output> outputs_;
    QTimer handOver_;
};

}  // namespace tarvik
