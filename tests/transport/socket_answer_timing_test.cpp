// When the answers a control sends reach the master: together once the
// arrival's handler returns, at once when sent outside a handler, and
// before the connection's close.
#include <poll.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/transport/qt_test_support.h"
#include "transport/winsock_control.h"

namespace tarvik {
namespace {

using nettest::Bytes;
using nettest::Hex;
using nettest::RawMaster;
using nettest::WaitUntil;

struct ServedMaster {
    WinsockControl listener{SocketProtocol::Tcp};
    WinsockControl data{SocketProtocol::Tcp};
    RawMaster master;

    bool Connect() {
        QObject::connect(&listener, &WinsockControl::ConnectionRequest,
                         [this](int32_t id) { data.Accept(id); });
        return listener.SetLocalPort(0) && listener.Listen() &&
               master.Connect(static_cast<quint16>(listener.LocalPort())) &&
               WaitUntil([this] { return data.State() == kSocketConnected; });
    }

    int MasterFd() { return static_cast<int>(master.Socket().socketDescriptor()); }

    // Bytes the system holds for the master, looked at without the event loop.
    std::size_t WaitingForMaster() {
        char buffer[4096];
        const ssize_t n = ::recv(MasterFd(), buffer, sizeof buffer, MSG_PEEK | MSG_DONTWAIT);
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }
};

Packet Answer(int n) { return Bytes("00 00 00 00 00 03 01 06") + static_cast<char>(n); }

TEST(SocketAnswerTiming, AnswersToOneArrivalLeaveTogetherWhenItsHandlerReturns) {
    ServedMaster m;
    ASSERT_TRUE(m.Connect());
    std::vector<std::size_t> onTheWire;
    int64_t held = -1;
    QObject::connect(&m.data, &WinsockControl::DataArrival, [&](int32_t) {
        m.data.GetData();
        for (int n = 0; n < 16; ++n) {
            EXPECT_TRUE(m.data.SendData(Answer(n)));
            onTheWire.push_back(m.WaitingForMaster());
        }
        held = m.data.BytesToWrite();
    });

    m.master.Send(Bytes("01"));
    const Packet answers = m.master.Read(16 * 9);
    ASSERT_EQ(onTheWire.size(), 16u);
    for (const std::size_t bytes : onTheWire) EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(held, 16 * 9);
    Packet expected;
    for (int n = 0; n < 16; ++n) expected += Answer(n);
    EXPECT_EQ(Hex(answers), Hex(expected));
    EXPECT_EQ(m.data.BytesToWrite(), 0);
}

TEST(SocketAnswerTiming, AnswerSentOutsideAHandlerNeedsNoPassOfTheEventLoop) {
    ServedMaster m;
    ASSERT_TRUE(m.Connect());
    ASSERT_TRUE(m.data.SendData(Answer(7)));
    // Wait on the master's socket itself: the event loop does not run.
    pollfd readable{m.MasterFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 2000), 1);
    EXPECT_EQ(m.WaitingForMaster(), 9u);
    EXPECT_EQ(Hex(m.master.Read(9)), Hex(Answer(7)));
}

TEST(SocketAnswerTiming, AnswersGoOutBeforeTheCloseTheirHandlerMakes) {
    ServedMaster m;
    ASSERT_TRUE(m.Connect());
    QObject::connect(&m.data, &WinsockControl::DataArrival, [&](int32_t) {
        m.data.GetData();
        m.data.SendData(Answer(1));
        m.data.SendData(Answer(2));
        m.data.Close();
    });
    m.master.Send(Bytes("01"));
    EXPECT_EQ(Hex(m.master.Read(18)), Hex(Answer(1) + Answer(2)));
    EXPECT_TRUE(m.master.WaitClosed());
    EXPECT_EQ(m.data.State(), kSocketClosed);
    EXPECT_EQ(m.data.BytesToWrite(), 0);
}

TEST(SocketAnswerTiming, ArrivalsInARowAreEachAnsweredInOrder) {
    ServedMaster m;
    ASSERT_TRUE(m.Connect());
    int arrivals = 0;
    QObject::connect(&m.data, &WinsockControl::DataArrival, [&](int32_t) {
        for (const char byte : m.data.GetData()) m.data.SendData(Answer(static_cast<unsigned char>(byte)));
        ++arrivals;
    });
    for (int n = 0; n < 50; ++n) {
        m.master.Send(Packet(1, static_cast<char>(n)));
        ASSERT_EQ(Hex(m.master.Read(9)), Hex(Answer(n))) << "request " << n;
    }
    EXPECT_EQ(arrivals, 50);
}

}  // namespace
}  // namespace tarvik
