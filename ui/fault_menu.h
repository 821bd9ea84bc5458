// The fault rules in the window: the "F&aults" menu after "&File", one
// checkable entry per rule (unchecking switches it off at once, checking it
// again starts its every-count afresh), and the amber status-bar panel
// "N fault rules on" left of the packet counters, hidden while none is on.
// Nothing of it exists while the settings file has no [Faults].
#pragma once

#include <QObject>

class QLabel;
class QMenu;
class QMainWindow;

namespace tarvik {

class CoreFaults;
class StatusBarWidget;

class FaultMenu final : public QObject {
    Q_OBJECT
public:
    FaultMenu(QMainWindow& window, StatusBarWidget& statusBar, CoreFaults& faults);

    // Builds the menu and panel again from the rules (after a reload: every
    // rule on); removes both when the section is gone.
    void Rebuild();

    QMenu* Menu() const { return menu_; }
    QLabel* Panel() const { return panel_; }

private:
    void ShowCount();

    QMainWindow& window_;
    StatusBarWidget& statusBar_;
    CoreFaults& faults_;
    QMenu* menu_ = nullptr;
    QLabel* panel_ = nullptr;
};

}  // namespace tarvik
