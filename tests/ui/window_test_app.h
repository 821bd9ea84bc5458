// Shared pieces of the window tests: a window wired to its own tables and trace.
#pragma once

#include "engine/register_tables.h"
#include "tests/support/event_waits.h"
#include "trace/trace_model.h"
#include "ui/main_window.h"

namespace tarvik::test {

struct WiredWindow {
    TraceModel trace{[] { return std::string("14:03:27"); }};
    RegisterTables tables;
    MainWindow window;

    WiredWindow() {
        window.AttachTrace(trace);
        window.AttachRegisters(tables);
    }
    ~WiredWindow() { window.DetachTrace(); }
};

}  // namespace tarvik::test
