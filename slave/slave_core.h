// The whole slave, whatever shows it: the engine with its register tables,
// answer sending with the delayed-answer queue, the three sockets and the
// connection manager, the send and reconnect ticks, the trace and the status
// panels' rules. Built from the start-up settings; a face (the window, or
// the headless program) gives it the operator options (again whenever they
// change) and the panels to write, and shows what it reports.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/startup_settings.h"
#include "dispatch/answer_dispatcher.h"
#include "engine/clock_random.h"
#include "engine/operator_options.h"
#include "engine/slave_engine.h"
#include "slave/core_faults.h"
#include "slave/core_reload.h"
#include "slave/core_values.h"
#include "slave/status_panels.h"
#include "slave/trace_outputs.h"
#include "trace/trace_model.h"
#include "transport/connection_manager.h"
#include "transport/socket_set.h"

namespace tarvik {

enum class StartOutcome {
    Running,         // a port opened, or client mode
    NoPortOpened,    // an entry without a port stopped the attempts: runs with no port
    AllSocketsBusy,  // the list was used up: say so, then end
};

struct CoreStart {
    StartOutcome outcome = StartOutcome::Running;
    // "Tarvik Slave Emulator", with " - <entry title> (<port>)" once a port opened.
    std::string caption;
};

class SlaveCore final : public QObject {
    Q_OBJECT
public:
    // Seeds the random source and builds every part; the ticks run from now
    // on and are handled once the event loop runs. `panels` must outlive
    // the core.
    SlaveCore(const StartupSettings& settings, const OperatorOptions& options, StatusPanels& panels,
              TraceModel::Clock clock = SystemTraceStamp);
    ~SlaveCore() override;
    SlaveCore(const SlaveCore&) = delete;
    SlaveCore& operator=(const SlaveCore&) = delete;

    // The start-up's socket step, once: opens the first local port of the
    // list in server mode, then writes the first status panels.
    CoreStart Start();

    // Appends every trace line, dated, to `path` (nothing when empty); a
    // file that cannot be opened leaves a line in StartWarnings and the
    // program goes on without it.
    void StartTraceFile(const std::string& path, uint64_t maxBytes);

    // Lines for standard error that start-up left (a trace file that cannot
    // be opened, a BindAddress on which no port can open).
    const std::vector<std::string>& StartWarnings() const { return startWarnings_; }

    // The operator options from the next frame on.
    void SetOptions(const OperatorOptions& options) { engine_.SetOptions(options); }
    const OperatorOptions& Options() const { return engine_.Options(); }

    // The reload signal's work, in its fixed order (see CoreReload); the
    // notice lines for a face that shows notices, the errors for all.
    ReloadReport Reload() { return reload_.Run(); }

    // The random source from `seed` instead of the clock: runs repeat.
    void Seed(uint64_t seed) { random_ = ClockSeededRandom(seed); }

    // The fault rules read at start, and the settings file a reload reads
    // them from again (none: a reload leaves them).
    void UseFaults(const FaultsSection& section, const std::string& settingsPath);
    CoreFaults& Faults() { return faults_; }
    // The typed points and their generators read at start; a reload
    // replaces them with the fault rules. With generators, a 100 ms tick
    // writes their values; without, there is no tick.
    void UseValues(const ValueSections& sections);
    CoreValues& Values() { return values_; }

    const StartupSettings& Settings() const { return settings_; }
    TraceModel& Trace() { return trace_; }
    TraceOutputs& Outputs() { return outputs_; }
    // Units off: the one pair; units on: the lowest served unit's.
    RegisterTables& Registers() { return engine_.Registers(); }
    UnitTables& Units() { return engine_.Units(); }
    SlaveEngine& Engine() { return engine_; }
    AnswerDispatcher& Dispatcher() { return dispatcher_; }
    SocketSet& Sockets() { return sockets_; }
    const SocketSet& Sockets() const { return sockets_; }
    // True when the local port was opened as UDP.
    bool UdpMode() const { return manager_.UdpMode(); }
    // The 100 ms tick of the delayed answers, for probes that time it.
    const QTimer& SendTickTimer() const { return sendTick_; }

    // Brings the panels up to date: each is written only when what it shows
    // has changed. The core calls it once after every event that changed
    // something; nothing else does.
    void RefreshStatusBar();

    // The window's background colour (BBGGRR); kColourUnset before the first tick.
    int32_t ConnectionColour() const { return manager_.ConnectionColour(); }

signals:
    void ConnectionColourChanged(int32_t colour);
    // A socket reported trouble; the face shows it.
    void SocketFailed(const SocketError& error);
    // A reload replaced the fault rules.
    void FaultRulesReplaced();
    // A reload replaced the points and their generators.
    void ValuesReplaced();

private:
    StatusView CurrentStatus() const;
    void ReportSocketError(const SocketError& error);
    // Starts or stops the generators' tick; with generators, writes their
    // values for t = 0 at once.
    void RestartValues();

    StartupSettings settings_;
    std::vector<std::string> startWarnings_;
    StatusPanels& panels_;
    StatusPanelWriter panelWriter_;
    std::optional<SocketError> lastError_;  // told last, until a connection is made
    TraceModel trace_;
    TraceOutputs outputs_{trace_};
    CoreReload reload_{outputs_};
    ClockSeededRandom random_;
    SocketSet sockets_;
    AnswerDispatcher dispatcher_;
    SlaveEngine engine_;
    CoreFaults faults_{engine_.Faults()};
    CoreValues values_;
    std::string settingsPath_;
    ConnectionManager manager_;
    QTimer sendTick_;
    QTimer reconnectTick_;
    QTimer valuesTick_;
};

}  // namespace tarvik
