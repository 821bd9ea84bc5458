// The socket control on real sockets on 127.0.0.1.
#include <QTcpServer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/transport/qt_test_support.h"
#include "transport/winsock_control.h"

namespace tarvik {
namespace {

using nettest::RawMaster;
using nettest::WaitUntil;

TEST(SocketControlPorts, PortInUseFailsAtOnceAndTheControlOpensAnotherPort) {
    for (const SocketProtocol protocol : {SocketProtocol::Tcp, SocketProtocol::Udp}) {
        const bool tcp = protocol == SocketProtocol::Tcp;
        SCOPED_TRACE(tcp ? "tcp" : "udp");
        const auto open = [tcp](WinsockControl& c) { return tcp ? c.Listen() : c.Bind(); };
        // Held by another program; the UDP one on the loopback address alone.
        QTcpServer tcpHolder;
        QUdpSocket udpHolder;
        const quint16 held = tcp ? (tcpHolder.listen(QHostAddress::AnyIPv4, 0), tcpHolder.serverPort())
                                 : (udpHolder.bind(QHostAddress::LocalHost, 0), udpHolder.localPort());
        ASSERT_GT(held, 0);
        WinsockControl control(protocol);
        ASSERT_TRUE(control.SetLocalPort(held));
        EXPECT_FALSE(open(control));
        EXPECT_EQ(control.State(), kSocketClosed);
        ASSERT_TRUE(control.SetLocalPort(0));
        ASSERT_TRUE(open(control));
        EXPECT_NE(control.LocalPort(), held);
        // Nor may a second emulator share a port with the first.
        WinsockControl second(protocol);
        ASSERT_TRUE(second.SetLocalPort(control.LocalPort()));
        EXPECT_FALSE(open(second));
    }
}

TEST(SocketControlEvents, ConnectWithoutHostOrPortReportsErrorFromTheEventLoop) {
    for (const auto& [host, port] : {std::pair{"", 502}, std::pair{"127.0.0.1", 0}, std::pair{"", 0}}) {
        SCOPED_TRACE(std::string("host '") + host + "' port " + std::to_string(port));
        WinsockControl data(SocketProtocol::Tcp);
        int errors = 0;
        QObject::connect(&data, &WinsockControl::Error, [&](int, const QString&) { ++errors; });
        data.SetRemoteHost(host);
        data.SetRemotePort(port);
        EXPECT_TRUE(data.Connect());
        EXPECT_EQ(errors, 0);  // nothing raised inside the call
        ASSERT_TRUE(WaitUntil([&] { return errors == 1; }));
        EXPECT_EQ(data.State(), kSocketError);
        EXPECT_FALSE(data.Connect());  // still failed until closed
        data.Close();
        EXPECT_EQ(data.State(), kSocketClosed);
        EXPECT_TRUE(data.Connect());
        ASSERT_TRUE(WaitUntil([&] { return errors == 2; }));
    }
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
    int closesOrErrors = 0;
    QObject::connect(&data, &WinsockControl::CloseEvent, [&] { ++closesOrErrors; });
    QObject::connect(&data, &WinsockControl::Error, [&](int, const QString&) { ++closesOrErrors; });
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
    EXPECT_EQ(closesOrErrors, 0);
    EXPECT_EQ(data.State(), kSocketConnected);
}

TEST(SocketControlData, GetDataHandsOutAtMost64KiBAndTheRestRaisesTheNextArrival) {
    WinsockControl listener(SocketProtocol::Tcp);
    WinsockControl data(SocketProtocol::Tcp);
    QObject::connect(&listener, &WinsockControl::ConnectionRequest, [&](int32_t id) { data.Accept(id); });
    ASSERT_TRUE(listener.SetLocalPort(0) && listener.Listen());
    RawMaster master;
    ASSERT_TRUE(master.Connect(static_cast<quint16>(listener.LocalPort())));
    std::vector<std::size_t> sizes;
    Packet received;
    QObject::connect(&data, &WinsockControl::DataArrival, [&](int32_t) {
        const Packet chunk = data.GetData();
        sizes.push_back(chunk.size());
        received += chunk;
    });
    Packet flood(300000, '\0');
    for (std::size_t i = 0; i < flood.size(); ++i) flood[i] = static_cast<char>(i * 7 % 251);
    master.Send(flood);
    ASSERT_TRUE(WaitUntil([&] { return received.size() >= flood.size(); }));
    EXPECT_EQ(received, flood);
    EXPECT_GE(sizes.size(), 5u);
    for (const std::size_t size : sizes) EXPECT_LE(size, kMaxGetDataBytes);
}

}  // namespace
}  // namespace tarvik
