// The load generator against the floor over loopback: both ends together.
#include "bench/floor/floor_server.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
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

TEST(LoadAgainstFloor, PipelinedTcpReadsOfPrimedRegistersAreAllRight) {
    RunningFloor floor;
    const LoadOptions options{.port = floor.Port(),
                              .shape = {3, 2000, 100, 1},
                              .connections = 2,
                              .depth = 16,
                              .count = 3000,
                              .seconds = 20};
    const PrimeResult primed = PrimeHoldingRegisters(options);
    ASSERT_EQ(primed.error, "");
    ASSERT_EQ(primed.knownValues.size(), 100u);
    EXPECT_EQ(primed.knownValues[47], PrimedValue(2047));
    EXPECT_EQ(primed.knownValues[48], -1);

    const LoadResult result = RunLoad(options, primed.knownValues);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.sent, 3000u);
    EXPECT_EQ(result.ok, 3000u);
    EXPECT_EQ(result.wrong + result.missing, 0u);
    EXPECT_EQ(result.latency.Count(), 3000u);
}

}  // namespace
}  // namespace tarvik::bench
