// The window's status bar: five panels (connection, received, sent, date,
// time). The date and time panels keep themselves current; the other three
// are written through StatusPanels by the status-bar refresh.
//
// The counters change with every packet, thousands of times a second under
// load, and every text and repaint costs far more than the packet. A
// counter's number is kept as it comes; its text is made and painted at once
// when the counters were last shown a screen frame ago or more, otherwise at
// the end of that frame: at most once a frame, never more than a frame
// behind.
#pragma once

#include <QElapsedTimer>
#include <QStatusBar>
#include <QTimer>
#include <array>
#include <cstdint>

#include "slave/status_panels.h"

class QLabel;

namespace tarvik {

class StatusBarWidget final : public QStatusBar, public StatusPanels {
    Q_OBJECT
public:
    explicit StatusBarWidget(QWidget* parent = nullptr);

    void SetPanelText(int panel, std::string_view text) override;
    void SetPanelNumber(int panel, int32_t value) override;

    // Panel 1..5, nullptr for any other number.
    QLabel* Panel(int panel) const;

    // The latest socket trouble, under the connection panel's hint.
    void ShowSocketError(const QString& text);

    // `text` in the connection panel for `ms` milliseconds; what the core
    // writes there meanwhile is shown once the time is up.
    void ShowForAWhile(const QString& text, int ms);

    // Rewrites the date and time panels where the clock has moved on; run by
    // the bar's own one-second timer.
    void UpdateClock();

    // Shows the counters kept since they were last shown.
    void RepaintCounters();

private:
    void ShowCounter(int panel);

    std::array<QLabel*, kPanelCount> panels_{};
    QTimer clockTimer_;
    // When the counters were last repainted, on clock_.
    QElapsedTimer clock_;
    int64_t countersPaintedAtMs_ = 0;
    // The received and sent counts, as last set.
    std::array<int32_t, 2> counts_{};
    int frameMs_ = 0;
    // Runs while the counters wait for the end of the frame.
    QTimer counterFrame_;
    // Runs while ShowForAWhile's text covers the connection panel's own.
    QTimer coverTimer_;
    QString connectionText_;
};

}  // namespace tarvik
