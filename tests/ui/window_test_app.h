// Shared pieces of the window tests: a window wired to its own tables and trace.
#pragma once

#include "engine/register_tables.h"
#include "tests/support/event_waits.h"
#include "ui/main_window.h"
#include "ui/trace_model.h"

namespace tarvik::test {

struct WiredWindow {
    TraceModel trace{[] { return std::string("14:03:27"); }};
    RegisterTables tables;
    TarvikSlave_Main window{trace};

    WiredWindow() { window.AttachRegisters(tables); }
};

}  // namespace tarvik::test
