// The signals the program takes over first thing in main.
//
// SIGTERM and SIGINT end it the way the operator would; SIGHUP, its one
// reload signal (logrotate's postrotate, systemctl reload), asks for a
// reload. Both become ordinary events of the event loop: the handler only
// notes them, and one that comes before the loop runs is acted on once it
// can be. A closed pipe (SIGPIPE) or a file-size limit (SIGXFSZ) is left to
// the failing write, which the trace outputs count and survive; SIGUSR1,
// SIGUSR2 and SIGALRM mean nothing here. Those five are ignored.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tarvik {

// Installs the handlers and the ignored dispositions; call once, first
// thing in main.
void InstallSignalHandlers();
// True once SIGTERM or SIGINT has come.
bool TerminationRequested();

class ProgramSignals final : public QObject {
    Q_OBJECT
public:
    // Raises its signals from the event loop for every signal, those that
    // came before it was made included.
    explicit ProgramSignals(QObject* parent = nullptr);
    ~ProgramSignals() override;

signals:
    void EndRequested();     // SIGTERM, SIGINT
    void ReloadRequested();  // SIGHUP; several at once are one

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tarvik
