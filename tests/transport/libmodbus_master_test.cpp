// libmodbus as a real third-party master against the headless host. The
// library blocks, so each session runs on a thread of its own while the
// test's thread runs the host's event loop; the host is only looked at
// before the session starts and after it ended.
#include <modbus/modbus.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <future>
#include <vector>

#include "tests/transport/qt_test_support.h"
#include "transport/headless_host.h"

namespace tarvik {
namespace {

using nettest::WaitUntil;
using Clock = std::chrono::steady_clock;

constexpr int kSessionLimitMs = 30000;

// One libmodbus call: its result, errno when it failed, how long it took.
struct Call {
    int rc = 0;
    int error = 0;
    long long ms = 0;
    std::vector<uint16_t> words;
};

template <typename F>
Call Timed(F&& call) {
    Call result;
    const auto start = Clock::now();
    errno = 0;
    result.rc = call(result);
    result.error = result.rc < 0 ? errno : 0;
    result.ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    return result;
}

struct Connection {
    modbus_t* ctx = nullptr;
    bool connected = false;

    explicit Connection(int port) : ctx(modbus_new_tcp("127.0.0.1", port)) {
        if (ctx == nullptr) return;
        modbus_set_response_timeout(ctx, 2, 0);
        connected = modbus_connect(ctx) == 0;
    }
    ~Connection() {
        if (ctx == nullptr) return;
        modbus_close(ctx);
        modbus_free(ctx);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Call ReadHolding(int start, int count) {
        return Timed([&](Call& c) {
            c.words.assign(static_cast<std::size_t>(count), 0);
            return modbus_read_registers(ctx, start, count, c.words.data());
        });
    }
    Call ReadInput(int start, int count) {
        return Timed([&](Call& c) {
            c.words.assign(static_cast<std::size_t>(count), 0);
            return modbus_read_input_registers(ctx, start, count, c.words.data());
        });
    }
};

template <typename Session>
auto RunBeside(Session session) {
    auto done = std::async(std::launch::async, std::move(session));
    const bool finished = WaitUntil(
        [&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        kSessionLimitMs);
    EXPECT_TRUE(finished) << "the libmodbus session did not end";
    return done.get();
}

struct LibmodbusFixture : ::testing::Test {
    HeadlessHost host{HostRole::Server({"0=Test"})};
    int Port() const { return host.Opening().Port; }
};

TEST_F(LibmodbusFixture, ReadsAndWritesRegistersAndWritesCoils) {
    auto& tables = host.engine.Registers();
    tables.HoldingRegisters[0] = 10;
    tables.HoldingRegisters[1] = 20;
    tables.HoldingRegisters[2] = 65535;
    tables.InputRegisters[100] = 0x1234;
    tables.InputRegisters[101] = 0xABCD;
    struct Result {
        bool connected;
        Call holding, input, single, coil, coils, readBack;
    };
    const Result r = RunBeside([port = Port()] {
        Connection master(port);
        Result result{master.connected, {}, {}, {}, {}, {}, {}};
        if (!master.connected) return result;
        result.holding = master.ReadHolding(0, 3);
        result.input = master.ReadInput(100, 2);
        result.single = Timed([&](Call&) { return modbus_write_register(master.ctx, 7, 0x1234); });
        result.coil = Timed([&](Call&) { return modbus_write_bit(master.ctx, 3, 1); });
        const uint8_t bits[10] = {1, 0, 1, 0, 1, 0, 1, 0, 1, 1};
        result.coils = Timed([&](Call&) { return modbus_write_bits(master.ctx, 0, 10, bits); });
        result.readBack = master.ReadHolding(7, 1);
        return result;
    });
    ASSERT_TRUE(r.connected);
    EXPECT_EQ(r.holding.rc, 3);
    EXPECT_EQ(r.holding.words, (std::vector<uint16_t>{10, 20, 65535}));
    EXPECT_EQ(r.input.rc, 2);
    EXPECT_EQ(r.input.words, (std::vector<uint16_t>{0x1234, 0xABCD}));
    EXPECT_EQ(r.single.rc, 1);
    EXPECT_EQ(r.coil.rc, 1);
    EXPECT_EQ(r.coils.rc, 10);
    EXPECT_EQ(r.readBack.words, std::vector<uint16_t>{0x1234});
    EXPECT_EQ(tables.HoldingRegisters[7], 0x1234);
}

TEST_F(LibmodbusFixture, UnsupportedFunctionFailsAtOnceAndTheNextRequestWorks) {
    host.engine.Registers().HoldingRegisters[4] = 44;
    struct Result {
        bool connected;
        Call unsupported, next;
    };
    const Result r = RunBeside([port = Port()] {
        Connection master(port);
        Result result{master.connected, {}, {}};
        if (!master.connected) return result;
        // Report Server ID (17): answered with function byte 81, code 02.
        result.unsupported = Timed([&](Call&) {
            uint8_t id[MODBUS_MAX_PDU_LENGTH];
            return modbus_report_slave_id(master.ctx, sizeof id, id);
        });
        result.next = master.ReadHolding(4, 1);
        return result;
    });
    ASSERT_TRUE(r.connected);
    EXPECT_EQ(r.unsupported.rc, -1);
    // 81 does not name function 17, so the library calls it a bad exception.
    EXPECT_EQ(r.unsupported.error, EMBBADEXC);
    EXPECT_LT(r.unsupported.ms, 1000);  // refused, not timed out
    EXPECT_EQ(r.next.rc, 1);
    EXPECT_EQ(r.next.words, std::vector<uint16_t>{44});
}

// Our answer to Write Multiple Registers echoes the whole request, longer
// than the answer the library reads; the rest has to be flushed before the
// next call on the same connection.
TEST_F(LibmodbusFixture, WriteMultipleRegistersThenFlushReadsTheValuesBack) {
    struct Result {
        bool connected;
        Call write;
        int flushed;
        Call readBack;
    };
    const Result r = RunBeside([port = Port()] {
        Connection master(port);
        Result result{master.connected, {}, 0, {}};
        if (!master.connected) return result;
        const uint16_t values[3] = {1, 2, 0xFFFF};
        result.write = Timed([&](Call&) { return modbus_write_registers(master.ctx, 20, 3, values); });
        result.flushed = modbus_flush(master.ctx);
        result.readBack = master.ReadHolding(20, 3);
        return result;
    });
    ASSERT_TRUE(r.connected);
    EXPECT_EQ(r.write.rc, 3);
    EXPECT_EQ(r.flushed, 7);  // byte count and three values: the echo's surplus
    EXPECT_EQ(r.readBack.rc, 3);
    EXPECT_EQ(r.readBack.words, (std::vector<uint16_t>{1, 2, 0xFFFF}));
}

}  // namespace
}  // namespace tarvik
