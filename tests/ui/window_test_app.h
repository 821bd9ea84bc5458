// Shared pieces of the window tests: the one QApplication, and a window wired
// to its own tables and trace, shown on the (offscreen) screen.
#pragma once

#include <QApplication>
#include <QTest>

#include "engine/register_tables.h"
#include "testkit/qt/event_waits.h"
#include "tests/support/qt_application.h"
#include "trace/trace_model.h"
#include "ui/main_window.h"

namespace tarvik::test {

inline ::testing::Environment* const kApplication = UseApplication<QApplication>();

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

struct WindowTest : ::testing::Test {
    void SetUp() override {
        w.window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    }
    WiredWindow w;
};

}  // namespace tarvik::test
