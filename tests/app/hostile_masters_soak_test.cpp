// Points broken and hostile TCP masters at the real program for a bounded time,
// then checks that a well-behaved master is served exactly and that the
// program holds no more descriptors than before. Seconds per phase come from
// TARVIK_SOAK_SECONDS (default 4), so a longer soak is the same test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <thread>

#include "testkit/raw_master.h"
#include "tests/support/program_process.h"

namespace tarvik::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::chrono::seconds PhaseLength() {
    const char* text = std::getenv("TARVIK_SOAK_SECONDS");
    return std::chrono::seconds(text ? std::max(1, std::atoi(text)) : 4);
}

// A request of a random function (served, ignored or unsupported) with random
// fields, well formed as far as its length field goes.
Packet RandomBytes(std::mt19937& rng, std::size_t n) {
    Packet out(n, '\0');
    for (char& c : out) c = static_cast<char>(rng());
    return out;
}

Packet RandomFrame(std::mt19937& rng, int transaction) {
    static const int functions[] = {1, 2, 3, 4, 5, 6, 15, 16, 7, 0, 43, 255};
    const int function = functions[rng() % std::size(functions)];
    const int quantity = static_cast<int>(rng() % 140);
    Packet pdu = ByteOf(function) + PutWord(static_cast<int>(rng() % 2100)) + PutWord(quantity);
    if (function == 16 || function == 15)
        pdu += ByteOf(2 * quantity) + RandomBytes(rng, 2 * quantity);
    return Frame(transaction, static_cast<int>(rng() % 256), pdu);
}

// Takes whatever answers are waiting, so the program's writes never back up.
void Drain(TcpMaster& master) { master.ReceiveBytes(1 << 20, 1ms); }

void WellBehavedMasterIsServedExactly(int port) {
    TcpMaster master;
    ASSERT_TRUE(master.Connect(port));
    const Packet values = Bytes("00 0A 00 14 FF FF");
    const std::pair<Packet, const char*> exchanges[] = {
        {WriteMultipleRequest(1, 100, values),
         "00 01 00 00 00 0D 01 10 00 64 00 03 06 00 0A 00 14 FF FF"},
        {ReadRequest(2, 3, 100, 3), "00 02 00 00 00 09 01 03 06 00 0A 00 14 FF FF"},
        // Only the operator changes input registers: still all 0.
        {ReadRequest(5, 4, 0, 2), "00 05 00 00 00 07 01 04 04 00 00 00 00"},
        // An ignored function, then an unsupported one; a refused quantity.
        {ReadRequest(6, 1, 0, 8) + ReadRequest(7, 7, 0, 0), "00 07 00 00 00 03 01 81 02"},
        {ReadRequest(8, 3, 0, 128), "00 08 00 00 00 03 01 83 03"},
    };
    for (const auto& [request, answer] : exchanges) {
        SCOPED_TRACE(HexOf(request));
        ASSERT_TRUE(master.Send(request));
        EXPECT_EQ(master.ReceiveFrame(), Bytes(answer));
    }
}

int SettledDescriptors(ProgramProcess& program, int expected) {
    const auto until = Clock::now() + 10s;
    int now = program.OpenDescriptors();
    while (now != expected && Clock::now() < until) {
        std::this_thread::sleep_for(50ms);
        now = program.OpenDescriptors();
    }
    return now;
}

TEST(HostileMasters, TcpSoakLeavesTheProgramServingAndItsDescriptorsFlat) {
    const int port = PickFreeTcpPort();
    ProgramProcess program(TARVIK_PROGRAM, ServerIni(port), Headless({"--quiet"}));
    ASSERT_TRUE(program.WaitUntilListening(port, 30s));
    // The probe connection of the wait above may still be open in the program.
    std::this_thread::sleep_for(300ms);
    const int descriptorsBefore = program.OpenDescriptors();

    std::mt19937 rng(20261206);
    const auto phase = PhaseLength();

    // Random bytes, each burst on a connection of its own.
    for (auto until = Clock::now() + phase; Clock::now() < until;) {
        TcpMaster m;
        ASSERT_TRUE(m.Connect(port));
        for (int i = 0; i < 8; ++i) {
            const Packet junk = RandomBytes(rng, 1 + rng() % 600);
            ASSERT_TRUE(m.Send(junk));
            Drain(m);
        }
    }

    // Random well-formed frames of every function.
    {
        TcpMaster m;
        ASSERT_TRUE(m.Connect(port));
        int transaction = 0;
        for (auto until = Clock::now() + phase; Clock::now() < until;) {
            Packet batch;
            for (int i = 0; i < 50; ++i) batch += RandomFrame(rng, ++transaction);
            ASSERT_TRUE(m.Send(batch));
            Drain(m);
        }
    }

    // Frames cut at every byte boundary: answered once, and exactly.
    {
        TcpMaster m;
        ASSERT_TRUE(m.Connect(port));
        const Packet frame = WriteMultipleRequest(9, 200, Bytes("12 34 56 78"));
        for (std::size_t cut = 1; cut < frame.size(); ++cut) {
            ASSERT_TRUE(m.Send(frame.substr(0, cut)));
            std::this_thread::sleep_for(2ms);
            ASSERT_TRUE(m.Send(frame.substr(cut)));
            EXPECT_EQ(m.ReceiveFrame(), frame) << "cut at " << cut;
        }
    }

    // Hundreds of connect and disconnect cycles, some leaving half a frame
    // or a length field that never completes.
    for (int i = 0; i < 300; ++i) {
        TcpMaster m;
        ASSERT_TRUE(m.Connect(port));
        if (i % 3 == 0) m.Send(ReadRequest(i, 3, 0, 1).substr(0, 5));
        if (i % 3 == 1) m.Send(Bytes("00 01 00 00 FF FF 01 03") + RandomBytes(rng, rng() % 4000));
    }

    ASSERT_TRUE(program.Running()) << "the program died during the soak";
    WellBehavedMasterIsServedExactly(port);

    // The served master's connection was closed; let the program notice.
    EXPECT_EQ(SettledDescriptors(program, descriptorsBefore), descriptorsBefore);
    EXPECT_EQ(program.Terminate(20s), 0);
}

}  // namespace
}  // namespace tarvik::testing
