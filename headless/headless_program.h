// The headless program: the core on a QCoreApplication, no display needed.
#pragma once

#include <string>
#include <vector>

#include "headless/headless_face.h"
#include "slave/start_plan.h"

namespace tarvik {

// Runs until SIGINT or SIGTERM (status 0); SIGHUP reopens the trace file
// and never ends it. "All sockets are busy!" goes to
// standard error with status 1; a registers file that cannot be loaded
// gives status 2.
// `output.outputFd` is ignored: standard output it is.
int RunHeadless(const StartPlan& plan, const HeadlessSettings& output,
                const std::vector<std::string>& args);

}  // namespace tarvik
