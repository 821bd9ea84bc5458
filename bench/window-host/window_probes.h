// What the window host measures while the program serves: every event the
// loop delivers is timed (through the application's notify), paints are
// counted by widget, and a 10 ms probe timer shows how late the loop came
// back to it.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <map>
#include <string>
#include <vector>

#include "bench/window-host/loop_figures.h"

namespace tarvik {
class WindowFace;
}

namespace tarvik::bench {

inline constexpr int kProbePeriodMs = 10;

class TimedApplication final : public QApplication {
public:
    TimedApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Figures start afresh from now on.
    void StartMeasuring(const QWidget* listViewport,
                        const std::vector<const QWidget*>& statusPanels);
    bool Measuring() const { return measuring_; }
    double NowMs() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e6; }
    // Number of the outermost event now being delivered.
    uint64_t EventSerial() const { return eventSerial_; }

    double MaxEventMs() const { return maxEventMs_; }
    const std::string& MaxEventWhat() const { return maxEventWhat_; }
    const PerSecondPeak& Paints() const { return paints_; }
    const PerSecondPeak& ListPaints() const { return listPaints_; }
    double ListPaintMaxMs() const { return listPaintMaxMs_; }
    double ListPaintTotalMs() const { return listPaintTotalMs_; }
    uint64_t StatusPaints() const { return statusPaints_; }
    // The most painted widgets, "Class:objectName=count", most first.
    std::string PaintedMost(std::size_t count) const;
    // Where the loop's time went: the outermost events that took longest in
    // all, "Class/Event=total ms (count, over 1 ms)", most first.
    std::string BusiestEvents(std::size_t count) const;

private:
    bool measuring_ = false;
    QElapsedTimer clock_;
    int depth_ = 0;
    uint64_t eventSerial_ = 0;
    double maxEventMs_ = 0.0;
    std::string maxEventWhat_;
    PerSecondPeak paints_;
    PerSecondPeak listPaints_;
    double listPaintMaxMs_ = 0.0;
    double listPaintTotalMs_ = 0.0;
    uint64_t statusPaints_ = 0;
    std::map<std::string, uint64_t> paintsByWidget_;
    struct EventTime {
        double totalMs = 0.0;
        uint64_t count = 0;
        uint64_t overOneMs = 0;
    };
    std::map<std::pair<const char*, int>, EventTime> timeByEvent_;
    const QWidget* listViewport_ = nullptr;
    std::vector<const QWidget*> statusPanels_;
};

// The probes on one running program: the loop's lateness, Timer_Send's
// ticks, the debug list's syncs and the status bar's freshness.
class WindowProbes final : public QObject {
public:
    WindowProbes(TimedApplication& app, WindowFace& program);

    void Start();
    // The figures as one line of JSON.
    std::string Report(const std::string& proto, bool trace) const;

private:
    void ProbeTick();
    void SendTick();
    void ListChanged();

    TimedApplication& app_;
    WindowFace& program_;
    QTimer probe_;
    double startedMs_ = 0.0;
    double lastProbeMs_ = -1.0;
    double lastSendMs_ = -1.0;
    TickGaps loopGaps_{kProbePeriodMs};
    TickGaps sendGaps_{100};
    PerSecondPeak listSyncs_;
    uint64_t lastSyncEvent_ = 0;
    Staleness received_;
    Staleness sent_;
};

}  // namespace tarvik::bench
