// Bounded waits on the Qt event loop, shared by every test that runs one.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

namespace tarvik::test {

// Upper bound of every wait; events normally come within milliseconds.
inline constexpr int kWaitMs = 5000;

// Runs the event loop until `done` holds or `ms` pass; true if it held.
inline bool WaitUntil(const std::function<bool()>& done, int ms = kWaitMs) {
    if (done()) return true;
    const QDeadlineTimer deadline(ms);
    QTimer wake;  // lets the deadline be seen when no event comes
    wake.start(5);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (done()) return true;
    }
    return done();
}

// Runs the event loop for `ms`, for checks that something does NOT happen.
inline void RunEventsFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace tarvik::test
