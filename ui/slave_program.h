// The whole program around its one window: the window, the three timers,
// the sockets, answer sending, the engine and the connection manager, and
// the start-up that ties them together from the settings file.
#pragma once

#include <QTimer>

#include <memory>
#include <string>

#include "dispatch/answer_dispatcher.h"
#include "engine/clock_random.h"
#include "engine/slave_engine.h"
#include "transport/connection_manager.h"
#include "transport/socket_set.h"
#include "ui/main_window.h"
#include "ui/trace_model.h"

class QMessageBox;

namespace tarvik {

inline constexpr char kWindowTitle[] = "Tarvik Slave Emulator";
inline constexpr char kProgramName[] = "TarvikSlave";
inline constexpr char kAllSocketsBusy[] = "All sockets are busy!";

enum class StartOutcome {
    Running,          // a port opened, or client mode
    NoPortOpened,     // an entry without a port stopped the attempts: runs with no port
    AllSocketsBusy,   // the list was used up: show the message, then end
};

class SlaveProgram {
public:
    // Creates the window with every control, the sockets and the timers;
    // `appFolder` is where TarvikSlave.ini is read from (ends in "/").
    explicit SlaveProgram(std::string appFolder);
    ~SlaveProgram();
    SlaveProgram(const SlaveProgram&) = delete;
    SlaveProgram& operator=(const SlaveProgram&) = delete;

    // The start-up, once: seed, settings, role, port, caption, first status.
    // Does not show the window and does not run the event loop.
    StartOutcome Form_Load();

    TarvikSlave_Main& Window() { return window_; }
    SocketSet& Sockets() { return sockets_; }
    AnswerDispatcher& Dispatcher() { return dispatcher_; }
    // Exist once Form_Load has run.
    SlaveEngine& Engine() { return *engine_; }
    ConnectionManager& Manager() { return *manager_; }
    TraceModel& Trace() { return trace_; }
    const std::string& AppFolder() const { return appFolder_; }

    QTimer Timer_Send;
    QTimer Timer_ReConnect;

private:
    std::string appFolder_;
    TraceModel trace_;
    TarvikSlave_Main window_;
    std::unique_ptr<ClockSeededRandom> random_;
    SocketSet sockets_;
    AnswerDispatcher dispatcher_;
    std::unique_ptr<SlaveEngine> engine_;
    std::unique_ptr<ConnectionManager> manager_;
};

// The one message the operator ever gets: a warning with a single OK,
// titled with the program's name. The caller shows it (exec or open).
std::unique_ptr<QMessageBox> MakeAllSocketsBusyBox(QWidget* parent);

}  // namespace tarvik
