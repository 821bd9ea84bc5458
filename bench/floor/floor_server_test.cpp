// The load generator against the floor over loopback: both ends together.
#include "bench/floor/floor_server.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

#include "bench/load/load_run.h"
#include "bench/load/register_priming.h"

namespace tarvik::bench {
namespace {

// A floor serving on its own thread until the test is done with it.
class RunningFloor {
public:
    RunningFloor() {
        std::string error;
        server_ = FloorServer::Open(0, error);
        if (!server_) throw std::runtime_error(error);
        stop_ = eventfd(0, EFD_CLOEXEC);
        thread_ = std::thread([this] {
            server_->Serve(std::chrono::steady_clock::now() + std::chrono::seconds(60), stop_);
        });
    }
    ~RunningFloor() {
        const uint64_t one = 1;
        if (write(stop_, &one, sizeof one) != sizeof one) std::abort();
        thread_.join();
        close(stop_);
    }
    int Port() const { return server_->Port(); }

private:
    std::unique_ptr<FloorServer> server_;
    int stop_ = -1;
    std::thread thread_;
};

LoadOptions Options(int port, Transport transport, RequestShape shape, int depth, uint64_t count) {
    LoadOptions options;
    options.port = port;
    options.transport = transport;
    options.shape = shape;
    options.depth = depth;
    options.count = count;
    options.seconds = 20;
    return options;
}

TEST(LoadAgainstFloor, PipelinedTcpReadsOfPrimedRegistersAreAllRight) {
    RunningFloor floor;
    LoadOptions options = Options(floor.Port(), Transport::Tcp, {3, 2000, 100, 1}, 16, 3000);
    options.connections = 2;
    const PrimeResult primed = PrimeHoldingRegisters(options);
    ASSERT_EQ(primed.error, "");
    ASSERT_EQ(primed.knownValues.size(), 100u);
    EXPECT_EQ(primed.knownValues[47], PrimedValue(2047));
    EXPECT_EQ(primed.knownValues[48], -1);

    const LoadResult result = RunLoad(options, primed.knownValues);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.sent, 3000u);
    EXPECT_EQ(result.ok, 3000u);
    EXPECT_EQ(result.wrong, 0u);
    EXPECT_EQ(result.missing, 0u);
    EXPECT_EQ(result.latency.Count(), 3000u);
}

TEST(LoadAgainstFloor, BatchedWritesWaitForTheWholeBatchAndAreAllRight) {
    RunningFloor floor;
    LoadOptions options = Options(floor.Port(), Transport::Tcp, {16, 0, 100, 1}, 16, 1000);
    options.batch = true;
    const LoadResult result = RunLoad(options, {});
    EXPECT_EQ(result.ok, 1000u);
    EXPECT_EQ(result.wrong + result.missing, 0u);
}

TEST(LoadAgainstFloor, ReadsCheckedAgainstValuesTheTableDoesNotHoldAreWrong) {
    RunningFloor floor;
    const LoadOptions options = Options(floor.Port(), Transport::Tcp, {3, 0, 10, 1}, 4, 200);
    // Never primed: the floor's table holds zeros.
    const LoadResult result = RunLoad(options, PrimedReadValues(options.shape));
    EXPECT_EQ(result.ok, 0u);
    EXPECT_EQ(result.wrong, 200u);
    ASSERT_FALSE(result.faults.empty());
    EXPECT_NE(result.faults[0].find("values"), std::string::npos);
}

TEST(LoadAgainstFloor, UdpWritesAreEchoedAndLandInTheTable) {
    RunningFloor floor;
    const LoadOptions options = Options(floor.Port(), Transport::Udp, {16, 0, 100, 1}, 8, 2000);
    const LoadResult result = RunLoad(options, {});
    EXPECT_EQ(result.ok, 2000u);
    EXPECT_EQ(result.wrong, 0u);
    EXPECT_EQ(result.missing, 0u);

    // A single write then shows up in a read over TCP.
    const LoadResult write = RunLoad(Options(floor.Port(), Transport::Tcp, {6, 3, 1, 1}, 1, 1), {});
    EXPECT_EQ(write.ok, 1u);
    const std::vector<int32_t> expected = {WrittenValue(3, 0)};
    const LoadResult read = RunLoad(Options(floor.Port(), Transport::Tcp, {3, 3, 1, 1}, 1, 1), expected);
    EXPECT_EQ(read.ok, 1u);
}

TEST(LoadAgainstFloor, ExceptionAnswersCountAsWrong) {
    RunningFloor floor;
    // 128 registers do not fit a byte count: the floor answers 83 03.
    const LoadResult result = RunLoad(Options(floor.Port(), Transport::Tcp, {3, 0, 128, 1}, 2, 50), {});
    EXPECT_EQ(result.ok, 0u);
    EXPECT_EQ(result.wrong, 50u);
    EXPECT_EQ(result.missing, 0u);
}

TEST(LoadAgainstSilence, UnansweredDatagramsCountAsMissingAndTheRunStops) {
    const int silent = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t size = sizeof address;
    getsockname(silent, reinterpret_cast<sockaddr*>(&address), &size);

    LoadOptions options = Options(ntohs(address.sin_port), Transport::Udp, {3, 0, 10, 1}, 2, 6);
    options.timeoutMs = 30;
    options.seconds = 5;
    const auto before = std::chrono::steady_clock::now();
    const LoadResult result = RunLoad(options, {});
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    EXPECT_EQ(result.sent, 6u);
    EXPECT_EQ(result.ok, 0u);
    EXPECT_EQ(result.missing, 6u);
    close(silent);
}

TEST(LoadAgainstSilence, TheWallClockBoundEndsARunThatNeverGetsAnswers) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    socklen_t size = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);

    LoadOptions options = Options(ntohs(address.sin_port), Transport::Tcp, {3, 0, 10, 1}, 4, 1000);
    options.seconds = 0.3;
    options.timeoutMs = 60000;
    const LoadResult result = RunLoad(options, {});
    EXPECT_GE(result.seconds, 0.3);
    EXPECT_LT(result.seconds, 2.0);
    EXPECT_EQ(result.sent, 4u);
    EXPECT_EQ(result.missing, 4u);
    close(listener);
}

}  // namespace
}  // namespace tarvik::bench
