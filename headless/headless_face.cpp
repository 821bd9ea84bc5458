#include "headless/headless_face.h"

#include <cstdio>

#include "config/units_section.h"
#include "engine/text_forms.h"
#include "slave/trace_outputs.h"

namespace tarvik {
namespace {

const char* OnOff(bool on) { return on ? "on" : "off"; }

constexpr int kValuesNoticeMs = 1000;

}  // namespace

HeadlessFace::HeadlessFace(const StartupSettings& settings, const FixedOptions& options,
                           const HeadlessSettings& output)
    : options_(options),
      core_(settings, options_.Snapshot(), *this),
      out_(core_.Outputs().AddDescriptor(output.outputFd, "standard output", !output.quiet)) {
    if (!output.values) return;
    valuesWanted_ = true;
    valuesNotice_.setInterval(kValuesNoticeMs);
    QObject::connect(&valuesNotice_, &QTimer::timeout, &core_, [this] { NoticeValues(); });
}

StartOutcome HeadlessFace::Start() {
    const CoreStart start = core_.Start();
    if (start.outcome == StartOutcome::AllSocketsBusy) return start.outcome;
    Notice(RoleText(core_));
    Notice(OptionsText(options_));
    if (const StartupSettings& settings = core_.Settings(); settings.UnitsServed.any()) {
        Notice("Units: " + UnitsNotice(UnitsSettings{settings.UnitsServed, settings.UnitsAbsent}));
    }
    if (core_.Faults().Present()) Notice(FaultRulesNotice(core_.Faults().Rules()));
    // From here on every change of the connection panel is told; the first
    // text was written during the start above.
    started_ = true;
    Notice(panels_[kConnectionPanel - 1]);
    if (valuesWanted_) valuesNotice_.start();
    return start.outcome;
}

void HeadlessFace::Notice(std::string_view text) { out_.Add(NoticeLine(text)); }

void HeadlessFace::NoticeValues() {
    // Points may come or go with a reload: asked each time.
    const std::string text = core_.Values().ValuesText(core_.Units());
    if (!text.empty()) Notice("Values: " + text);
}

void HeadlessFace::Reload() {
    const ReloadReport report = core_.Reload();
    for (const std::string& line : report.notices) out_.Add(line);
    for (const std::string& line : report.errors) std::fprintf(stderr, "%s\n", line.c_str());
}

void HeadlessFace::SetPanelText(int panel, std::string_view text) {
    if (panel < 1 || panel > kPanelCount) return;
    panels_[panel - 1] = std::string(text);
    // The counters change with every packet: they are not printed.
    if (panel == kConnectionPanel && started_) Notice(text);
}

void HeadlessFace::SetPanelNumber(int panel, int32_t value) {
    if (panel >= 1 && panel <= kPanelCount) counters_[panel - 1] = value;
}

std::string RoleText(const SlaveCore& core) {
    const StartupSettings& settings = core.Settings();
    if (!settings.SocketServer) {
        return "Role: TCP client of " + settings.RemoteHost + ":" + Decimal(settings.RemotePort);
    }
    const SocketSet& sockets = core.Sockets();
    if (sockets.listener.State() == SocketState::Closed && !core.UdpMode()) {
        return "Role: TCP server, no port opened";
    }
    return std::string("Role: ") + (core.UdpMode() ? "UDP" : "TCP server") + " on port " +
           Decimal(sockets.listener.LocalPort());
}

std::string OptionsText(const FixedOptions& options) {
    return std::string("Options: Show raw data ") + OnOff(options.showRawData) + ", Show reads " +
           OnOff(options.showReads) + ", Don't answer " + OnOff(options.dontAnswer) +
           ", Delay answer " + OnOff(options.delayAnswer) + " (" + options.delayText + " msec)";
}

}  // namespace tarvik
