// The socket control on real sockets on 127.0.0.1.
#include <QTcpServer>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/transport/qt_test_support.h"
#include "transport/winsock_control.h"

namespace tarvik {
namespace {

using nettest::Bytes;
using nettest::RawMaster;
using nettest::WaitUntil;

// A listener whose every request is accepted onto `data`, closing the
// connection in use first, as the connection manager does.
struct AcceptingPair {
    WinsockControl listener{SocketProtocol::Tcp};
    WinsockControl data{SocketProtocol::Tcp};
    int requests = 0;

    AcceptingPair() {
        QObject::connect(&listener, &WinsockControl::ConnectionRequest, [this](int32_t id) {
            ++requests;
            if (data.State() != kSocketClosed) data.Close();
            data.Accept(id);
        });
    }
    bool Listen() { return listener.SetLocalPort(0) && listener.Listen(); }
    quint16 Port() const { return static_cast<quint16>(listener.LocalPort()); }
};

// What a control raised, in order.
struct EventLog {
    std::vector<std::string> events;
    Packet received;

    void Watch(WinsockControl& control, bool takeData = true) {
        QObject::connect(&control, &WinsockControl::ConnectEvent, [this] { events.push_back("connect"); });
        QObject::connect(&control, &WinsockControl::CloseEvent, [this] { events.push_back("close"); });
        QObject::connect(&control, &WinsockControl::Error,
                         [this](int, const QString&) { events.push_back("error"); });
        QObject::connect(&control, &WinsockControl::DataArrival, [this, &control, takeData](int32_t) {
            events.push_back("data");
            if (takeData) received += control.GetData();
        });
    }
    int Count(const std::string& name) const {
        int n = 0;
        for (const auto& e : events) n += e == name ? 1 : 0;
        return n;
    }
};

TEST(SocketControlPorts, PortZeroReadsBackThePortTheSystemChose) {
    WinsockControl listener(SocketProtocol::Tcp);
    ASSERT_TRUE(listener.SetLocalPort(0));
    ASSERT_TRUE(listener.Listen());
    EXPECT_EQ(listener.State(), kSocketListening);
    EXPECT_GT(listener.LocalPort(), 0);
    RawMaster master;
    EXPECT_TRUE(master.Connect(static_cast<quint16>(listener.LocalPort())));

    WinsockControl udp(SocketProtocol::Udp);
    ASSERT_TRUE(udp.SetLocalPort(0));
    ASSERT_TRUE(udp.Bind());
    EXPECT_EQ(udp.State(), kSocketOpen);
    EXPECT_GT(udp.LocalPort(), 0);
}

TEST(SocketControlPorts, PortInUseFailsAtOnceAndTheControlOpensAnotherPort) {
    QTcpServer tcpHolder;
    ASSERT_TRUE(tcpHolder.listen(QHostAddress::AnyIPv4, 0));
    WinsockControl listener(SocketProtocol::Tcp);
    ASSERT_TRUE(listener.SetLocalPort(tcpHolder.serverPort()));
    EXPECT_FALSE(listener.Listen());
    EXPECT_EQ(listener.State(), kSocketClosed);
    ASSERT_TRUE(listener.SetLocalPort(0));
    EXPECT_TRUE(listener.Listen());
    EXPECT_NE(listener.LocalPort(), tcpHolder.serverPort());

    // Held by another program's socket on the loopback address alone.
    QUdpSocket udpHolder;
    ASSERT_TRUE(udpHolder.bind(QHostAddress::LocalHost, 0));
    WinsockControl udp(SocketProtocol::Udp);
    ASSERT_TRUE(udp.SetLocalPort(udpHolder.localPort()));
    EXPECT_FALSE(udp.Bind());
    EXPECT_EQ(udp.State(), kSocketClosed);
    ASSERT_TRUE(udp.SetLocalPort(0));
    EXPECT_TRUE(udp.Bind());

    // Nor may a second emulator share a port with the first.
    WinsockControl second(SocketProtocol::Udp);
    ASSERT_TRUE(second.SetLocalPort(udp.LocalPort()));
    EXPECT_FALSE(second.Bind());
    WinsockControl secondListener(SocketProtocol::Tcp);
    ASSERT_TRUE(secondListener.SetLocalPort(listener.LocalPort()));
    EXPECT_FALSE(secondListener.Listen());
}

TEST(SocketControlPorts, PortsOutsideTheRangeOrWhileOpenAreRefused) {
    WinsockControl listener(SocketProtocol::Tcp);
    EXPECT_FALSE(listener.SetLocalPort(-1));
    EXPECT_FALSE(listener.SetLocalPort(65536));
    ASSERT_TRUE(listener.SetLocalPort(0));
    ASSERT_TRUE(listener.Listen());
    EXPECT_FALSE(listener.SetLocalPort(1502));
    EXPECT_FALSE(listener.Listen());
    listener.Close();
    EXPECT_EQ(listener.State(), kSocketClosed);
    EXPECT_TRUE(listener.SetLocalPort(0));
}

TEST(SocketControlAccept, AcceptedConnectionShowsThePeerAndCarriesBothWays) {
    AcceptingPair pair;
    ASSERT_TRUE(pair.Listen());
    EventLog log;
    log.Watch(pair.data);
    RawMaster master;
    ASSERT_TRUE(master.Connect(pair.Port()));
    ASSERT_TRUE(WaitUntil([&] { return pair.data.State() == kSocketConnected; }));
    EXPECT_EQ(pair.data.RemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(pair.data.RemotePort(), master.LocalPort());
    EXPECT_EQ(pair.listener.State(), kSocketListening);

    master.Send(Bytes("01 02 03"));
    ASSERT_TRUE(WaitUntil([&] { return log.received.size() == 3; }));
    EXPECT_EQ(log.received, Bytes("01 02 03"));
    EXPECT_TRUE(pair.data.SendData(Bytes("0A 0B")));
    EXPECT_EQ(master.Read(2), Bytes("0A 0B"));
    EXPECT_EQ(log.Count("connect"), 0);  // accepting is not connecting out
}

TEST(SocketControlAccept, UnknownRequestIsRefusedAndTheControlStaysClosed) {
    WinsockControl data(SocketProtocol::Tcp);
    EXPECT_FALSE(data.Accept(-1));
    EXPECT_FALSE(data.Accept(0));          // not a socket
    EXPECT_FALSE(data.Accept(1 << 20));    // not open
    EXPECT_EQ(data.State(), kSocketClosed);
    EXPECT_FALSE(data.SendData(Bytes("00")));
}

TEST(SocketControlEvents, ProgramCloseRaisesNoCloseEvent) {
    AcceptingPair pair;
    ASSERT_TRUE(pair.Listen());
    EventLog log;
    log.Watch(pair.data);
    RawMaster master;
    ASSERT_TRUE(master.Connect(pair.Port()));
    ASSERT_TRUE(WaitUntil([&] { return pair.data.State() == kSocketConnected; }));
    pair.data.Close();
    EXPECT_EQ(pair.data.State(), kSocketClosed);
    ASSERT_TRUE(master.WaitClosed());
    master.TakeArrived();
    EXPECT_EQ(log.Count("close"), 0);
    EXPECT_EQ(log.Count("error"), 0);
}

TEST(SocketControlEvents, PeerCloseComesAfterTheLastBytesItSent) {
    AcceptingPair pair;
    ASSERT_TRUE(pair.Listen());
    EventLog log;
    log.Watch(pair.data);
    int stateAtClose = -1;
    QObject::connect(&pair.data, &WinsockControl::CloseEvent,
                     [&] { stateAtClose = pair.data.State(); });
    RawMaster master;
    ASSERT_TRUE(master.Connect(pair.Port()));
    ASSERT_TRUE(WaitUntil([&] { return pair.data.State() == kSocketConnected; }));
    master.Send(Bytes("11 22 33 44"));
    master.Socket().disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("close") == 1; }));
    EXPECT_EQ(log.received, Bytes("11 22 33 44"));
    EXPECT_EQ(log.events.back(), "close");
    EXPECT_EQ(stateAtClose, kSocketPeerClosing);
    EXPECT_EQ(log.Count("error"), 0);
}

TEST(SocketControlEvents, ConnectWithoutHostOrPortReportsErrorFromTheEventLoop) {
    struct Case {
        const char* host;
        int32_t port;
    };
    for (const Case c : {Case{"", 502}, Case{"127.0.0.1", 0}, Case{"", 0}}) {
        SCOPED_TRACE(std::string("host '") + c.host + "' port " + std::to_string(c.port));
        WinsockControl data(SocketProtocol::Tcp);
        EventLog log;
        log.Watch(data);
        data.SetRemoteHost(c.host);
        data.SetRemotePort(c.port);
        EXPECT_TRUE(data.Connect());
        EXPECT_TRUE(log.events.empty());  // nothing raised inside the call
        ASSERT_TRUE(WaitUntil([&] { return log.Count("error") == 1; }));
        EXPECT_EQ(data.State(), kSocketError);
        EXPECT_FALSE(data.Connect());  // still failed until closed
        data.Close();
        EXPECT_EQ(data.State(), kSocketClosed);
        EXPECT_TRUE(data.Connect());
        ASSERT_TRUE(WaitUntil([&] { return log.Count("error") == 2; }));
    }
}

TEST(SocketControlEvents, RefusedConnectionReportsError) {
    WinsockControl data(SocketProtocol::Tcp);
    EventLog log;
    log.Watch(data);
    data.SetRemoteHost("127.0.0.1");
    data.SetRemotePort(nettest::UnusedTcpPort());
    ASSERT_TRUE(data.Connect());
    ASSERT_TRUE(WaitUntil([&] { return log.Count("error") == 1; }));
    EXPECT_EQ(data.State(), kSocketError);
    EXPECT_EQ(log.Count("connect"), 0);
    EXPECT_EQ(log.Count("close"), 0);
}

TEST(SocketControlEvents, ConnectByNameGoesOverIPv4) {
    QTcpServer master;
    ASSERT_TRUE(master.listen(QHostAddress::LocalHost, 0));  // 127.0.0.1 only
    WinsockControl data(SocketProtocol::Tcp);
    EventLog log;
    log.Watch(data);
    data.SetRemoteHost("localhost");
    data.SetRemotePort(master.serverPort());
    ASSERT_TRUE(data.Connect());
    ASSERT_TRUE(WaitUntil([&] { return log.Count("connect") == 1 || log.Count("error") == 1; }));
    ASSERT_EQ(log.Count("connect"), 1);
    EXPECT_EQ(data.State(), kSocketConnected);
    EXPECT_EQ(data.RemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(data.RemotePort(), master.serverPort());
    EXPECT_EQ(data.RemoteHost(), "localhost");  // as configured
}

// The connection is replaced from inside the arrival that its own close
// brought; its close must never be raised on the connection after it.
TEST(SocketControlReplacement, ReplacedConnectionsCloseAndBytesNeverReachTheNewOne) {
    QTcpServer master;
    ASSERT_TRUE(master.listen(QHostAddress::LocalHost, 0));
    std::vector<QTcpSocket*> peers;
    QObject::connect(&master, &QTcpServer::newConnection,
                     [&] { peers.push_back(master.nextPendingConnection()); });

    WinsockControl data(SocketProtocol::Tcp);
    data.SetRemoteHost("127.0.0.1");
    data.SetRemotePort(master.serverPort());
    EventLog log;
    log.Watch(data, false);
    int arrivals = 0;
    bool replaced = false;
    Packet afterReplacement;
    QObject::connect(&data, &WinsockControl::DataArrival, [&](int32_t) {
        ++arrivals;
        if (replaced) {
            afterReplacement += data.GetData();
        } else if (arrivals == 2) {  // the first is left unread on purpose
            replaced = true;
            data.Close();
            data.Connect();
        }
    });

    ASSERT_TRUE(data.Connect());
    ASSERT_TRUE(WaitUntil([&] { return peers.size() == 1 && data.State() == kSocketConnected; }));
    peers[0]->write("old");
    peers[0]->disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return peers.size() == 2 && data.State() == kSocketConnected; }));
    EXPECT_TRUE(replaced);
    peers[1]->write("new");
    ASSERT_TRUE(WaitUntil([&] { return afterReplacement.size() >= 3; }));
    EXPECT_EQ(afterReplacement, "new");
    EXPECT_EQ(log.Count("close"), 0);
    EXPECT_EQ(log.Count("error"), 0);
    EXPECT_EQ(data.State(), kSocketConnected);
}

TEST(SocketControlData, GetDataHandsOutAtMost64KiBAndTheRestRaisesTheNextArrival) {
    AcceptingPair pair;
    ASSERT_TRUE(pair.Listen());
    std::vector<std::size_t> sizes;
    Packet received;
    QObject::connect(&pair.data, &WinsockControl::DataArrival, [&](int32_t) {
        const Packet chunk = pair.data.GetData();
        sizes.push_back(chunk.size());
        received += chunk;
    });
    RawMaster master;
    ASSERT_TRUE(master.Connect(pair.Port()));
    Packet flood(300000, '\0');
    for (std::size_t i = 0; i < flood.size(); ++i) flood[i] = static_cast<char>(i * 7 % 251);
    master.Send(flood);
    ASSERT_TRUE(WaitUntil([&] { return received.size() >= flood.size(); }));
    EXPECT_EQ(received, flood);
    EXPECT_GE(sizes.size(), 5u);
    for (const std::size_t size : sizes) EXPECT_LE(size, kMaxGetDataBytes);
}

TEST(SocketControlData, SendingWithoutConnectionOrAddressIsRefused) {
    WinsockControl tcp(SocketProtocol::Tcp);
    EXPECT_FALSE(tcp.SendData(Bytes("01")));

    WinsockControl udp(SocketProtocol::Udp);
    udp.SetRemoteHost("127.0.0.1");
    udp.SetRemotePort(9);
    EXPECT_FALSE(udp.SendData(Bytes("01")));  // not bound
    ASSERT_TRUE(udp.SetLocalPort(0));
    ASSERT_TRUE(udp.Bind());
    udp.SetRemoteHost("not an address");
    EXPECT_FALSE(udp.SendData(Bytes("01")));
    udp.SetRemoteHost("127.0.0.1");
    udp.SetRemotePort(0);
    EXPECT_FALSE(udp.SendData(Bytes("01")));
}

TEST(SocketControlUdp, ArrivalNamesItsSenderAndAnswersGoBackToIt) {
    WinsockControl udp(SocketProtocol::Udp);
    ASSERT_TRUE(udp.SetLocalPort(0));
    ASSERT_TRUE(udp.Bind());
    QUdpSocket sender;
    ASSERT_TRUE(sender.bind(QHostAddress::LocalHost, 0));
    Packet got;
    QObject::connect(&udp, &WinsockControl::DataArrival, [&](int32_t) { got = udp.GetData(); });
    sender.writeDatagram("ping", QHostAddress::LocalHost, static_cast<quint16>(udp.LocalPort()));
    ASSERT_TRUE(WaitUntil([&] { return !got.empty(); }));
    EXPECT_EQ(got, "ping");
    EXPECT_EQ(udp.RemoteHostIP(), "127.0.0.1");
    EXPECT_EQ(udp.RemotePort(), sender.localPort());

    udp.SetRemoteHost(udp.RemoteHostIP());
    ASSERT_TRUE(udp.SendData("pong"));
    ASSERT_TRUE(WaitUntil([&] { return sender.hasPendingDatagrams(); }));
    EXPECT_EQ(sender.receiveDatagram().data(), QByteArray("pong"));
}

}  // namespace
}  // namespace tarvik
