// SIGTERM and SIGINT turned into an ordinary event of the event loop, so that
// a script ends the program the way the operator would.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tarvik {

class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void Requested();

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tarvik
