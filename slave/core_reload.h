// What the reload signal does to the running slave, one step after the
// other, in this order:
//   1. the trace file is reopened by its path (after a rotation done by
//      others), its notice heading the new file;
//   2. the reloadable settings sections, from one reading of the settings
//      file, replaced together or not at all (none yet).
// The steps that follow add themselves behind the first. Each step may
// leave notice lines for standard output. A reload never ends the program.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarvik {

class TraceOutputs;

class CoreReload {
public:
    // A step appends its whole notice lines ("## HH:MM:SS ...") in order.
    using Step = std::function<void(std::vector<std::string>& notices)>;

    explicit CoreReload(TraceOutputs& outputs);

    // Runs every step in order; their notice lines, in order.
    std::vector<std::string> Run() const;

private:
    std::vector<Step> steps_;
};

}  // namespace tarvik
