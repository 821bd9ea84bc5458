// The program without a window: the same core, its options fixed for the
// whole run, its trace and its own notices on standard output.
//
// Standard output carries, in order, every trace line exactly as the debug
// list shows it (unless quiet), and the program's notices, each beginning
// with "## " and the time: the start-up lines (role, port or remote host,
// the operator options, the served units when [Units] names any), every
// text the status bar's connection panel would show, counts of trace lines
// lost while standard output could not keep up or failed, and the reload
// signal's notices, and with --values every point's value once a second.
#pragma once

#include <QTimer>

#include <string>

#include "config/startup_settings.h"
#include "slave/fixed_options.h"
#include "slave/slave_core.h"
#include "slave/status_panels.h"

namespace tarvik {

class LineWriter;

struct HeadlessSettings {
    bool quiet = false;   // trace lines off standard output
    int outputFd = 1;     // standard output
    bool values = false;  // "Values: ..." every second while there are points
};

class HeadlessFace final : private StatusPanels {
public:
    HeadlessFace(const StartupSettings& settings, const FixedOptions& options,
                 const HeadlessSettings& output);
    HeadlessFace(const HeadlessFace&) = delete;
    HeadlessFace& operator=(const HeadlessFace&) = delete;

    // Opens the port and writes the start-up notices. The caller ends the
    // program on AllSocketsBusy.
    StartOutcome Start();

    SlaveCore& Core() { return core_; }
    // Writes one notice line in its place among the trace lines.
    void Notice(std::string_view text);
    // The reload signal: the core's reload, its notices on standard output
    // and its errors on standard error.
    void Reload();

private:
    void SetPanelText(int panel, std::string_view text) override;
    // The counters are not printed: no text is made for them per packet.
    void SetPanelNumber(int panel, int32_t value) override;

    // "Values: Flow=50.0 Level=333", nothing without points.
    void NoticeValues();

    FixedOptions options_;
    std::string panels_[kPanelCount];
    int32_t counters_[kPanelCount] = {};
    bool started_ = false;
    SlaveCore core_;
    LineWriter& out_;
    bool valuesWanted_ = false;
    QTimer valuesNotice_;
};

// The start-up notice texts for a core's settings and options.
std::string RoleText(const SlaveCore& core);
std::string OptionsText(const FixedOptions& options);

}  // namespace tarvik
