#include "ui/start_up_boxes.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>

#include "slave/program_signals.h"

namespace tarvik {

StartUpBoxes::StartUpBoxes(ProgramSignals& programSignals) {
    // Whichever box is up, since start-up shows them from several places.
    connection_ = QObject::connect(&programSignals, &ProgramSignals::EndRequested, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QDialog*>(widget);
            if (box != nullptr && box->isVisible()) box->accept();
        }
    });
}

StartUpBoxes::~StartUpBoxes() { QObject::disconnect(connection_); }

}  // namespace tarvik
