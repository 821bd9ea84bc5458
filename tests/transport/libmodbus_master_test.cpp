// libmodbus as a real third-party master against the core (units and fault
// rules answer with the same frames, whose bytes the engine tests pin). The library
// blocks, so the session runs on a thread of its own while the test's thread
// runs the core's event loop; the core is only looked at before the session
// starts and after it ended.
#include <modbus/modbus.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <future>
#include <vector>

#include "testkit/qt/event_waits.h"
#include "tests/support/core_rig.h"
#include "tests/transport/qt_test_support.h"

namespace tarvik::testing {
namespace {

// What each call of the session returned.
struct Session {
    bool connected = false;
    int holding = 0, input = 0, single = 0, coils = 0, unsupported = 0, unsupportedErrno = 0;
    long long unsupportedMs = 0;
    int multiple = 0, readAtOnce = 0, readAfterFlush = 0;
    std::vector<uint16_t> holdingWords{0, 0, 0}, inputWords{0, 0}, readBackWords{0, 0, 0, 0};
};

Session RunSession(int port) {
    Session s;
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
    if (ctx == nullptr) return s;
    modbus_set_response_timeout(ctx, 1, 0);
    s.connected = modbus_connect(ctx) == 0;
    if (s.connected) {
        s.holding = modbus_read_registers(ctx, 0, 3, s.holdingWords.data());
        s.input = modbus_read_input_registers(ctx, 100, 2, s.inputWords.data());
        s.single = modbus_write_register(ctx, 7, 0x1234);
        const uint8_t bits[10] = {1, 0, 1, 0, 1, 0, 1, 0, 1, 1};
        s.coils = modbus_write_bits(ctx, 0, 10, bits);
        // Report Server ID (17): answered with function byte 81, code 02.
        uint8_t id[MODBUS_MAX_PDU_LENGTH];
        const auto start = std::chrono::steady_clock::now();
        s.unsupported = modbus_report_slave_id(ctx, sizeof id, id);
        s.unsupportedErrno = errno;
        s.unsupportedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count();
        // The full echo of Write Multiple Registers is longer than the answer
        // the library reads: the surplus stands in front of the next answer
        // until it is flushed.
        const uint16_t values[3] = {1, 2, 0xFFFF};
        s.multiple = modbus_write_registers(ctx, 20, 3, values);
        s.readAtOnce = modbus_read_registers(ctx, 19, 4, s.readBackWords.data());
        modbus_flush(ctx);
        s.readAfterFlush = modbus_read_registers(ctx, 19, 4, s.readBackWords.data());
    }
    modbus_close(ctx);
    modbus_free(ctx);
    return s;
}

// With StandardWriteAnswer=1 a write of several registers can be followed
// at once by a read; without the key the flush is needed first.
TEST(LibmodbusMaster, ReadsWritesIsRefusedAtOnceAndWritesSeveralWithEitherAnswer) {
    for (const bool standard : {false, true}) {
        SCOPED_TRACE(standard ? "StandardWriteAnswer=1" : "no key");
        StartupSettings settings = ServerSettings({"0=Test"});
        settings.StandardWriteAnswer = standard;
        CoreRig rig(settings);
        auto& tables = rig.core.Registers();
        tables.HoldingRegisters[0] = 10;
        tables.HoldingRegisters[1] = 20;
        tables.HoldingRegisters[2] = 65535;
        tables.InputRegisters[100] = 0x1234;
        tables.InputRegisters[101] = 0xABCD;
        auto done = std::async(std::launch::async, RunSession, rig.Port());
        ASSERT_TRUE(test::WaitUntil(
            [&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            30000))
            << "the libmodbus session did not end";
        const Session s = done.get();

        ASSERT_TRUE(s.connected);
        EXPECT_EQ(s.holding, 3);
        EXPECT_EQ(s.holdingWords, (std::vector<uint16_t>{10, 20, 65535}));
        EXPECT_EQ(s.input, 2);
        EXPECT_EQ(s.inputWords, (std::vector<uint16_t>{0x1234, 0xABCD}));
        EXPECT_EQ(s.single, 1);
        EXPECT_EQ(s.coils, 10);
        EXPECT_EQ(s.unsupported, -1);
        // 81 does not name function 17, so the library calls it a bad exception.
        EXPECT_EQ(s.unsupportedErrno, EMBBADEXC);
        EXPECT_LT(s.unsupportedMs, 1000);  // refused, not timed out
        EXPECT_EQ(s.multiple, 3);
        EXPECT_EQ(s.readAtOnce, standard ? 4 : -1);
        EXPECT_EQ(s.readAfterFlush, 4);
        EXPECT_EQ(s.readBackWords, (std::vector<uint16_t>{0, 1, 2, 0xFFFF}));
        EXPECT_EQ(tables.HoldingRegisters[7], 0x1234);
    }
}

}  // namespace
}  // namespace tarvik::testing
