// TarvikSlave: creates the one window, runs its start-up and the event loop.
// Exit status 0 when the operator closes the window, 1 when no port opened.
#include <QApplication>
#include <QMessageBox>

#include "app/termination_signals.h"
#include "config/settings_file.h"
#include "ui/slave_program.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(tarvik::kProgramName);
    QApplication::setFont(tarvik::WindowFont());
    tarvik::TerminationSignals termination;

    tarvik::SlaveProgram program(
        tarvik::AppFolderOf(QCoreApplication::applicationFilePath().toStdString()));
    const tarvik::StartOutcome outcome = program.Form_Load();

    if (outcome == tarvik::StartOutcome::AllSocketsBusy) {
        const auto box = tarvik::MakeAllSocketsBusyBox(nullptr);
        // A signal presses OK, as the operator would.
        QObject::connect(&termination, &tarvik::TerminationSignals::Requested, box.get(),
                         &QMessageBox::accept);
        box->exec();
        return 1;
    }

    QObject::connect(&termination, &tarvik::TerminationSignals::Requested, &program.Window(),
                     &QWidget::close);
    program.Window().show();
    return application.exec();
}
