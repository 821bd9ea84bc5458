#include "slave/core_reload.h"

#include "slave/trace_outputs.h"

namespace tarvik {

CoreReload::CoreReload(TraceOutputs& outputs) {
    // First, so that the notices of the later steps land after the reopen
    // notice, and nothing of this reload is written into the old file.
    steps_.push_back([&outputs](std::vector<std::string>& notices) {
        std::string notice = outputs.ReopenTraceFile();
        if (!notice.empty()) notices.push_back(std::move(notice));
    });
}

std::vector<std::string> CoreReload::Run() const {
    std::vector<std::string> notices;
    for (const Step& step : steps_) step(notices);
    return notices;
}

}  // namespace tarvik
