// A socket notifier that calls one function when its descriptor is ready.
// QSocketNotifier raises two signals for every readiness; on the data path
// that happens for every request, so the event is taken here directly and
// no signal is raised.
#pragma once

#include <QEvent>
#include <QSocketNotifier>

#include <functional>

namespace tarvik {

class DescriptorNotifier final : public QSocketNotifier {
public:
    DescriptorNotifier(qintptr descriptor, Type type, QObject* parent, std::function<void()> ready)
        : QSocketNotifier(descriptor, type, parent), ready_(std::move(ready)) {}

    // Stops calling: for a notifier whose own event may be running while
    // its owner lets go of it.
    void Forget() {
        setEnabled(false);
        forgotten_ = true;
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::SockAct) return QSocketNotifier::event(event);
        if (!forgotten_) ready_();
        return true;
    }

private:
    std::function<void()> ready_;
    bool forgotten_ = false;
};

}  // namespace tarvik
