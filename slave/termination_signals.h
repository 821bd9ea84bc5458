// SIGTERM and SIGINT turned into an ordinary event of the event loop, so that
// a script ends the program the way the operator would. The handler is
// installed at the very start of the program; a signal that comes before
// the event loop runs is remembered and acted on once it can be.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tarvik {

// Installs the handler; call once, first thing in main.
void InstallTerminationHandler();
// True once SIGTERM or SIGINT has come.
bool TerminationRequested();

class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    // Raises Requested from the event loop for every signal, those that came
    // before it was made included.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void Requested();

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tarvik
