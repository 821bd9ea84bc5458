// The descriptor-level reads and writes of the data connection, on socket
// pairs: what each outcome of recv and send turns into.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "transport/raw_socket.h"

namespace tarvik {
namespace {

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
}  // namespace tarvik
