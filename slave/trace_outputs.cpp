#include "slave/trace_outputs.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

#include <unistd.h>

#include "trace/line_sinks.h"

namespace tarvik {

std::string NoticeLine(std::string_view text) {
    std::string line = kNoticePrefix;
    line += SystemTraceStamp().time;
    line += ' ';
    line += text;
    return line;
}

namespace {

std::string LostLinesNotice(uint64_t count) {
    return NoticeLine(std::to_string(count) + " trace lines lost");
}

// One write per line, so lines of two threads never mix; standard error
// that fails too has nobody left to tell.
void ToStandardError(const std::string& line) {
    const std::string whole = line + '\n';
    [[maybe_unused]] const ssize_t ignored = ::write(2, whole.data(), whole.size());
}

}  // namespace

TraceOutputs::TraceOutputs(TraceModel& trace, QObject* parent) : QObject(parent), trace_(trace) {
    handOver_.setSingleShot(true);
    handOver_.setInterval(kHandOverDelay);
    connect(&handOver_, &QTimer::timeout, this, &TraceOutputs::FlushAll);
}

TraceOutputs::~TraceOutputs() { CloseAll(std::chrono::milliseconds(1000)); }

bool TraceOutputs::AddTraceFile(const std::string& path, uint64_t maxBytes, std::string& error) {
    auto sink = TraceFileSink::Open(path, maxBytes, error);
    if (!sink) return false;
    Output output;
    output.traceFile = path;
    output.writer = std::make_unique<LineWriter>(
        std::move(sink),
        [](uint64_t count) {
            const TraceStamp stamp = SystemTraceStamp();
            return std::string(kNoticePrefix) + stamp.date + ' ' + stamp.time + ' ' +
                   std::to_string(count) + " trace lines lost";
        },
        LineWriter::kDefaultQueueBytes, EntryForm{trace_.TimeClock(), true},
        WriterRecovery{ToStandardError});
    output.stream = std::make_unique<TraceStream>(*output.writer);
    Add(std::move(output));
    return true;
}

LineWriter& TraceOutputs::AddDescriptor(int fd, const std::string& name, bool traceLines) {
    Output output;
    output.writer = std::make_unique<LineWriter>(
        std::make_unique<DescriptorSink>(fd, name), LostLinesNotice, LineWriter::kDefaultQueueBytes,
        EntryForm{trace_.TimeClock(), false}, WriterRecovery{ToStandardError});
    if (traceLines) output.stream = std::make_unique<TraceStream>(*output.writer);
    LineWriter& writer = *output.writer;
    Add(std::move(output));
    return writer;
}

std::string TraceOutputs::ReopenTraceFile() {
    for (Output& output : outputs_) {
        if (output.traceFile.empty()) continue;
        const std::string notice = NoticeLine("Trace file reopened: " + output.traceFile);
        // Queued behind the lines before it: they stay in the file they were
        // meant for, and the notice heads the new one.
        output.writer->Reopen(notice);
        return notice;
    }
    return {};
}

void TraceOutputs::Add(Output output) {
    if (outputs_.empty()) {
        // Looked at once per pass of the event loop, when it is about to wait.
        if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
            connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                    &TraceOutputs::ArmHandOver);
        }
    }
    if (output.stream) trace_.AddListener(*output.stream);
    outputs_.push_back(std::move(output));
}

void TraceOutputs::ArmHandOver() {
    if (handOver_.isActive()) return;
    for (const Output& output : outputs_) {
        if (output.writer->Pending()) {
            handOver_.start();
            return;
        }
    }
}

void TraceOutputs::FlushAll() {
    handOver_.stop();
    for (Output& output : outputs_) output.writer->Flush();
}

void TraceOutputs::CloseAll(std::chrono::milliseconds grace) {
    const auto deadline = std::chrono::steady_clock::now() + grace;
    for (Output& output : outputs_) {
        if (output.stream) trace_.RemoveListener(*output.stream);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        output.writer->Close(std::max(left, std::chrono::milliseconds(0)));
    }
}

}  // namespace tarvik
