// Shared pieces of the window tests: a wait on an event with a bound, and a
// window wired to its own tables and trace.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

#include "engine/register_tables.h"
#include "ui/main_window.h"
#include "ui/trace_model.h"

namespace tarvik::test {

// Runs the event loop until `done` holds or `limitMs` passes; true if it held.
inline bool WaitFor(const std::function<bool()>& done, int limitMs = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Runs the event loop for `ms`, for checks that something does NOT happen.
inline void RunEventsFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct WiredWindow {
    TraceModel trace{[] { return std::string("14:03:27"); }};
    RegisterTables tables;
    TarvikSlave_Main window{trace};

    WiredWindow() { window.AttachRegisters(tables); }
};

}  // namespace tarvik::test
