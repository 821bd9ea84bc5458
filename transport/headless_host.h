// The whole slave without a window: sockets, answer sending, the engine and
// the connection manager on the application's event loop, with the
// operator options at their start values and settable in code.
#pragma once

#include <QTimer>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "dispatch/answer_dispatcher.h"
#include "engine/clock_random.h"
#include "engine/ports.h"
#include "engine/slave_engine.h"
#include "transport/connection_manager.h"
#include "transport/socket_set.h"
#include "ui/trace_model.h"

namespace tarvik {

// What start-up would have read from the settings file.
struct HostRole {
    bool SocketServer = false;
    std::string LocalPorts;  // server: the list lines, each ended by a NUL
    std::string RemoteHost;  // client: where to connect
    int32_t RemotePort = 0;
    bool SimulatePAT = false;

    static HostRole Server(std::initializer_list<std::string_view> localPortLines);
    static HostRole Client(std::string remoteHost, int32_t remotePort);
};

// The option check boxes and the delay text, as the window starts them.
struct HeadlessOptions final : OperatorOptions {
    bool showRawData = true;
    bool showReads = true;
    bool dontAnswer = false;
    bool delayAnswer = false;
    std::string delayText = "200";

    bool ShowRawData() const override { return showRawData; }
    bool ShowReads() const override { return showReads; }
    bool DontAnswer() const override { return dontAnswer; }
    bool DelayAnswer() const override { return delayAnswer; }
    std::string DelayText() const override { return delayText; }
};

// No status bar: refreshes are only counted.
struct CountingStatusRefresh final : StatusRefresh {
    int calls = 0;
    void RefreshStatusBar() override { ++calls; }
};

class HeadlessHost {
public:
    // Opens the local port in server mode and starts both timers; the event
    // loop does the rest.
    explicit HeadlessHost(const HostRole& role);
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    // What opening the local port gave (server mode; ListUsedUp in client mode).
    const LocalPortOutcome& Opening() const { return opening_; }

    // Members in the order they depend on each other.
    TraceModel trace;
    HeadlessOptions options;
    CountingStatusRefresh status;
    ClockSeededRandom random;
    SocketSet sockets;
    AnswerDispatcher dispatcher;
    SlaveEngine engine;
    ConnectionManager manager;
    QTimer Timer_Send;
    QTimer Timer_ReConnect;

private:
    LocalPortOutcome opening_;
};

}  // namespace tarvik
