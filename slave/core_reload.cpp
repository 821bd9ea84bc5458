#include "slave/core_reload.h"

#include "slave/trace_outputs.h"

namespace tarvik {

CoreReload::CoreReload(TraceOutputs& outputs) {
    // First, so that the notices of the later steps land after the reopen
    // notice, and nothing of this reload is written into the old file.
    steps_.push_back([&outputs](ReloadReport& report) {
        std::string notice = outputs.ReopenTraceFile();
        if (!notice.empty()) report.notices.push_back(std::move(notice));
    });
}

ReloadReport CoreReload::Run() const {
    ReloadReport report;
    for (const Step& step : steps_) step(report);
    return report;
}

}  // namespace tarvik
