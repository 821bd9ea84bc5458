// The listener, the data connection and the UDP endpoint on real sockets on
// 127.0.0.1, and the descriptor-level reads and writes beneath them.
#include <QTcpServer>
#include <QUdpSocket>

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "testkit/qt/qt_master.h"
#include "tests/transport/qt_test_support.h"
#include "transport/raw_socket.h"
#include "transport/socket_limits.h"
#include "transport/tcp_connection.h"
#include "transport/tcp_listener.h"
#include "transport/udp_endpoint.h"

namespace tarvik::testing {
namespace {

using test::WaitUntil;

// `held` is taken by another program; `open` is Listen or Bind, which say
// why they failed.
template <class Socket>
void ExpectPortInUseFailsAtOnceAndAnotherOpens(
    quint16 held, std::optional<SocketError> (Socket::*open)(const QHostAddress&)) {
    const QHostAddress any(QHostAddress::AnyIPv4);
    Socket socket;
    ASSERT_TRUE(held > 0 && socket.SetLocalPort(held));
    const std::optional<SocketError> inUse = (socket.*open)(any);
    ASSERT_TRUE(inUse.has_value());
    EXPECT_EQ(inUse->what, SocketError::What::OpenFailed);
    EXPECT_FALSE(inUse->text.empty());
    EXPECT_EQ(socket.State(), SocketState::Closed);
    ASSERT_TRUE(socket.SetLocalPort(0) && !(socket.*open)(any));
    EXPECT_NE(socket.LocalPort(), held);
    // Nor may a second emulator share a port with the first.
    Socket second;
    ASSERT_TRUE(second.SetLocalPort(socket.LocalPort()));
    EXPECT_TRUE((second.*open)(any).has_value());
}

TEST(SocketPorts, PortInUseFailsAtOnceAndTheSocketOpensAnotherPort) {
    QTcpServer tcpHolder;
    QUdpSocket udpHolder;  // on the loopback address alone
    ASSERT_TRUE(tcpHolder.listen(QHostAddress::AnyIPv4, 0) &&
                udpHolder.bind(QHostAddress::LocalHost, 0));
    ExpectPortInUseFailsAtOnceAndAnotherOpens(tcpHolder.serverPort(), &TcpListener::Listen);
    ExpectPortInUseFailsAtOnceAndAnotherOpens(udpHolder.localPort(), &UdpEndpoint::Bind);
}

TEST(ConnectionEvents, ConnectWithoutHostOrPortReportsErrorFromTheEventLoop) {
    for (const auto& [host, port] :
         {std::pair{"", 502}, std::pair{"127.0.0.1", 0}, std::pair{"", 0}}) {
        SCOPED_TRACE(std::string("host '") + host + "' port " + std::to_string(port));
        TcpConnection data;
        int errors = 0;
        QObject::connect(&data, &TcpConnection::Failed, [&](const SocketError&) { ++errors; });
        data.SetRemoteHost(host);
        data.SetRemotePort(port);
        EXPECT_TRUE(data.Connect());
        EXPECT_EQ(errors, 0);  // nothing raised inside the call
        ASSERT_TRUE(WaitUntil([&] { return errors == 1; }));
        EXPECT_EQ(data.State(), SocketState::Error);
        EXPECT_FALSE(data.Connect());  // still failed until closed
        data.Close();
        EXPECT_EQ(data.State(), SocketState::Closed);
        EXPECT_TRUE(data.Connect());
        ASSERT_TRUE(WaitUntil([&] { return errors == 2; }));
    }
}

// The connection is replaced from inside the arrival that its own close
// brought; its close must never be raised on the connection after it.
TEST(ConnectionReplacement, ReplacedConnectionsCloseAndBytesNeverReachTheNewOne) {
    QTcpServer master;
    ASSERT_TRUE(master.listen(QHostAddress::LocalHost, 0));
    std::vector<QTcpSocket*> peers;
    QObject::connect(&master, &QTcpServer::newConnection,
                     [&] { peers.push_back(master.nextPendingConnection()); });

    TcpConnection data;
    data.SetRemoteHost("127.0.0.1");
    data.SetRemotePort(master.serverPort());
    int closesOrErrors = 0;
    QObject::connect(&data, &TcpConnection::CloseEvent, [&] { ++closesOrErrors; });
    QObject::connect(&data, &TcpConnection::Failed, [&](const SocketError&) { ++closesOrErrors; });
    int arrivals = 0;
    bool replaced = false;
    Packet afterReplacement;
    data.OnDataArrival([&] {
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
    ASSERT_TRUE(
        WaitUntil([&] { return peers.size() == 1 && data.State() == SocketState::Connected; }));
    const uint64_t firstSerial = data.Serial();
    peers[0]->write("old");
    peers[0]->disconnectFromHost();
    ASSERT_TRUE(
        WaitUntil([&] { return peers.size() == 2 && data.State() == SocketState::Connected; }));
    EXPECT_TRUE(replaced);
    EXPECT_GT(data.Serial(), firstSerial);
    peers[1]->write("new");
    ASSERT_TRUE(WaitUntil([&] { return afterReplacement.size() >= 3; }));
    EXPECT_EQ(afterReplacement, "new");
    EXPECT_EQ(closesOrErrors, 0);
    EXPECT_EQ(data.State(), SocketState::Connected);
}

TEST(ConnectionData, GetDataHandsOutAtMost64KiBAndTheRestRaisesTheNextArrival) {
    TcpListener listener;
    TcpConnection data;
    QObject::connect(&listener, &TcpListener::ConnectionRequest,
                     [&] { data.Accept(listener.TakeOffered()); });
    ASSERT_TRUE(listener.SetLocalPort(0) && !listener.Listen());
    QtMaster master;
    ASSERT_TRUE(master.Connect(listener.LocalPort()));
    std::vector<std::size_t> sizes;
    Packet received;
    data.OnDataArrival([&] {
        const Packet chunk(data.GetData());
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

// The descriptor-level reads and writes of the data connection, on socket
// pairs: what each outcome of recv and send turns into.
struct Pair {
    int ours = -1;
    int peer = -1;
    Pair() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        ours = fds[0];
        peer = fds[1];
        EXPECT_TRUE(PrepareStream(ours));
    }
    ~Pair() {
        CloseHandle(ours);
        CloseHandle(peer);
    }
    Pair(const Pair&) = delete;
    Pair& operator=(const Pair&) = delete;
};

TEST(RawStream, ReceiveOnceTellsBytesEmptyAndTheEnd) {
    Pair pair;
    char buffer[8];
    // Nothing there: no error and no end, so no event is raised.
    StreamIo io = ReceiveOnce(pair.ours, buffer, sizeof buffer);
    EXPECT_EQ(io.bytes, 0u);
    EXPECT_EQ(io.error, 0);
    EXPECT_FALSE(io.peerClosed);

    // More than the buffer: one call takes what fits, the rest waits.
    ASSERT_EQ(::write(pair.peer, "0123456789", 10), 10);
    io = ReceiveOnce(pair.ours, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, io.bytes), "01234567");
    io = ReceiveOnce(pair.ours, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, io.bytes), "89");

    // A full inbox asks for nothing and must not read as the peer's end.
    io = ReceiveOnce(pair.ours, buffer, 0);
    EXPECT_FALSE(io.peerClosed);

    ::shutdown(pair.peer, SHUT_WR);
    io = ReceiveOnce(pair.ours, buffer, sizeof buffer);
    EXPECT_EQ(io.bytes, 0u);
    EXPECT_EQ(io.error, 0);
    EXPECT_TRUE(io.peerClosed);
}

TEST(RawStream, SendSomeStopsWhenFullAndReportsABrokenPeer) {
    Pair pair;
    const std::string block(1 << 16, 'x');
    std::size_t total = 0;
    StreamIo io;
    // Never blocks: a peer that does not read fills the buffers, then the
    // send reports what it took and no error.
    for (int i = 0; i < 1000; ++i) {
        io = SendSome(pair.ours, block.data(), block.size());
        total += io.bytes;
        if (io.bytes < block.size()) break;
    }
    EXPECT_LT(io.bytes, block.size());
    EXPECT_EQ(io.error, 0);
    EXPECT_GT(total, 0u);

    // A closed peer is an error, not SIGPIPE (which would end the test).
    CloseHandle(pair.peer);
    pair.peer = -1;
    io = SendSome(pair.ours, "ab", 2);
    EXPECT_EQ(io.bytes, 0u);
    EXPECT_EQ(io.error, EPIPE);
}

TEST(RawStream, PrepareStreamRefusesWhatIsNoStreamSocket) {
    const int datagram = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(datagram, 0);
    EXPECT_FALSE(PrepareStream(datagram));
    CloseHandle(datagram);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    EXPECT_FALSE(PrepareStream(pipeEnds[0]));
    CloseHandle(pipeEnds[0]);
    CloseHandle(pipeEnds[1]);
    EXPECT_FALSE(PrepareStream(-1));
}

}  // namespace
}  // namespace tarvik::testing
