// The window's status bar: five panels (connection, received, sent, date,
// time). The date and time panels keep themselves current; the other three
// are written through StatusPanels by the status-bar refresh.
#pragma once

#include <QStatusBar>
#include <QTimer>
#include <array>

#include "ui/status_bar_logic.h"

class QLabel;

namespace tarvik {

class StatusBarWidget final : public QStatusBar, public StatusPanels {
    Q_OBJECT
public:
    explicit StatusBarWidget(QWidget* parent = nullptr);

    std::string PanelText(int panel) const override;
    void SetPanelText(int panel, std::string_view text) override;

    // Panel 1..5, nullptr for any other number.
    QLabel* Panel(int panel) const;

    // Rewrites the date and time panels where the clock has moved on; run by
    // the bar's own one-second timer.
    void UpdateClock();

private:
    std::array<QLabel*, kPanelCount> panels_{};
    QTimer clockTimer_;
};

}  // namespace tarvik
