#include "ui/fault_menu.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "slave/core_faults.h"
#include "ui/status_bar_widget.h"
#include "ui/window_controls.h"

namespace tarvik {

FaultMenu::FaultMenu(QMainWindow& window, StatusBarWidget& statusBar, CoreFaults& faults)
    : QObject(&window), window_(window), statusBar_(statusBar), faults_(faults) {
    Rebuild();
}

void FaultMenu::Rebuild() {
    delete menu_;
    menu_ = nullptr;
    if (!faults_.Present()) {
        if (panel_ != nullptr) panel_->hide();
        return;
    }
    QMenuBar& bar = *window_.menuBar();
    menu_ = new QMenu(QStringLiteral("F&aults"), &bar);
    menu_->setObjectName(QStringLiteral("Menu_Faults"));
    menu_->setFont(WindowFont());
    // Right after "&File", the first menu.
    const QList<QAction*> menus = bar.actions();
    if (menus.size() > 1) {
        bar.insertMenu(menus[1], menu_);
    } else {
        bar.addMenu(menu_);
    }

    FaultRules& rules = faults_.Rules();
    if (rules.Empty()) {
        menu_->addAction(QStringLiteral("(no fault rules)"))->setEnabled(false);
    }
    for (std::size_t i = 0; i < rules.Size(); ++i) {
        // Rule names and values come from the settings file: no "&" shortcuts.
        QString text = QString::fromStdString(rules.Rules()[i].DisplayText());
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* entry = menu_->addAction(text);
        entry->setCheckable(true);
        entry->setChecked(rules.Enabled(i));
        connect(entry, &QAction::toggled, this, [this, i](bool on) {
            faults_.Rules().SetEnabled(i, on);
            ShowCount();
        });
    }

    if (panel_ == nullptr) {
        panel_ = new QLabel(&statusBar_);
        panel_->setObjectName(QStringLiteral("Panel(FaultRules)"));
        panel_->setTextFormat(Qt::PlainText);
        panel_->setAlignment(Qt::AlignCenter);
        panel_->setStyleSheet(QStringLiteral("QLabel { background-color: %1; color: %2; }")
                                  .arg(WarningBackground().name(), WarningText().name()));
        // The first permanent widget, left of the packet counters: the bar
        // counts its one normal widget (the connection panel) first.
        statusBar_.insertPermanentWidget(1, panel_, 0);
    }
    ShowCount();
}

void FaultMenu::ShowCount() {
    if (panel_ == nullptr) return;
    const std::size_t on = faults_.Present() ? faults_.Rules().EnabledCount() : 0;
    panel_->setText(QStringLiteral("%1 fault rules on").arg(on));
    panel_->setVisible(on > 0);
}

}  // namespace tarvik
