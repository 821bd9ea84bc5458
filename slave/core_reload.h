// What the reload signal does to the running slave, one step after the
// other, in this order:
//   1. the trace file is reopened by its path (after a rotation done by
//      others), its notice heading the new file;
//   2. the reloadable settings sections, from one reading of the settings
//      file, replaced together or not at all ([Faults]).
// The steps that follow add themselves behind the first. Each step may
// leave notice lines for standard output and error lines for standard
// error. A reload never ends the program.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarvik {

class TraceOutputs;

struct ReloadReport {
    std::vector<std::string> notices;  // whole lines, "## HH:MM:SS ..."
    std::vector<std::string> errors;   // texts for standard error, old settings kept
};

class CoreReload {
public:
    using Step = std::function<void(ReloadReport& report)>;

    explicit CoreReload(TraceOutputs& outputs);

    // Adds a step behind those already there.
    void Add(Step step) { steps_.push_back(std::move(step)); }

    // Runs every step in order.
    ReloadReport Run() const;

private:
    std::vector<Step> steps_;
};

}  // namespace tarvik
