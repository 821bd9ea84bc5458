// While start-up shows a message box (a registers file that cannot be
// loaded, "All sockets are busy!"), SIGTERM and SIGINT press its OK, as the
// operator would; the caller then ends the program instead of going on.
#pragma once

#include <QMetaObject>

namespace tarvik {

class ProgramSignals;

class StartUpBoxes {
public:
    explicit StartUpBoxes(ProgramSignals& programSignals);
    ~StartUpBoxes();
    StartUpBoxes(const StartUpBoxes&) = delete;
    StartUpBoxes& operator=(const StartUpBoxes&) = delete;

private:
    QMetaObject::Connection connection_;
};

}  // namespace tarvik
