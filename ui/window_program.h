// The window program: the core shown in the operator window.
#pragma once

#include <string>
#include <vector>

#include "slave/start_plan.h"

namespace tarvik {

// Runs until the operator closes the window (status 0) or SIGINT/SIGTERM
// closes it; SIGHUP reopens the trace file. Status 1 after "All sockets are
// busy!" (pressed or ended by a signal); 0 when a signal ends any other
// start-up box; status 2 when no display can be opened.
int RunWindow(const StartPlan& plan, const std::vector<std::string>& args);

}  // namespace tarvik
