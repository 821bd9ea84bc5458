// Fault rules in the built program, headless, against masters on real
// sockets: what each action and each when puts on the wire, what reaches the
// registers, the trace lines, --seed, SIGHUP and a bad section.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <regex>
#include <thread>

#include "testkit/raw_master.h"
#include "tests/support/program_process.h"

namespace tarvik::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kQuiet = 300ms;  // long enough to tell silence from a slow answer

std::string FaultsIni(int port, const std::string& faults, const std::string& ports = "") {
    return ServerIni(ports.empty() ? std::to_string(port) + "=Main\r\n" : ports) + "[Faults]\r\n" +
           faults;
}

Packet Exception(int transaction, int unit, int functionByte, int code) {
    Packet pdu;
    pdu.push_back(static_cast<char>(functionByte));
    pdu.push_back(static_cast<char>(code));
    return Frame(transaction, unit, pdu);
}

struct Started {
    Started(const std::string& ini, int port, std::vector<std::string> args = {})
        : program(TARVIK_PROGRAM, ini, Headless(std::move(args))) {
        EXPECT_TRUE(program.WaitUntilListening(port, 30s)) << program.Stderr();
        EXPECT_TRUE(master.Connect(port));
    }
    ProgramProcess program;
    TcpMaster master;
};

// Each rule on its own function or unit, so one program shows them all.
TEST(FaultRulesProgram, EachActionAndWhenOnTheWireAndInTheTrace) {
    const int port = PickFreeTcpPort();
    Started s(FaultsIni(port,
                        "Busy=*,3,100-199,exception 06\r\n"
                        "Guard=*,6,10,exception 01\r\n"
                        "First=*,5,*,exception 04\r\n"
                        "Second=*,5,*,silent\r\n"
                        "Quiet=2,*,*,silent\r\n"
                        "Third=*,4,*,exception 0b,every 3\r\n"
                        "Never=*,15,*,silent,chance 0\r\n"),
              port);
    TcpMaster& m = s.master;
    // Overlap: 98..99 misses 100-199, 99..100 touches it.
    ASSERT_TRUE(m.Send(ReadRequest(1, 3, 98, 2)));
    EXPECT_EQ(m.ReceiveFrame(), Frame(1, 1, Bytes("03 04 00 00 00 00")));
    ASSERT_TRUE(m.Send(ReadRequest(2, 3, 99, 2)));
    EXPECT_EQ(m.ReceiveFrame(), Exception(2, 1, 0x83, 0x06));
    // A refused write leaves the register as it was.
    ASSERT_TRUE(m.Send(WriteSingleRequest(3, 10, 77)));
    EXPECT_EQ(m.ReceiveFrame(), Exception(3, 1, 0x86, 0x01));
    ASSERT_TRUE(m.Send(ReadRequest(4, 3, 10, 1)));
    EXPECT_EQ(m.ReceiveFrame(), Frame(4, 1, Bytes("03 02 00 00")));
    // The first rule that fires decides.
    ASSERT_TRUE(m.Send(Frame(5, 1, Bytes("05 00 01 FF 00"))));
    EXPECT_EQ(m.ReceiveFrame(), Exception(5, 1, 0x85, 0x04));
    // A rule per unit: unit 2 is silent, unit 1 answered.
    ASSERT_TRUE(m.Send(WriteSingleRequest(6, 11, 5, 2)));
    EXPECT_EQ(m.ReceiveFrame(kQuiet), std::nullopt);
    ASSERT_TRUE(m.Send(WriteSingleRequest(7, 11, 5, 1)));
    EXPECT_EQ(m.ReceiveFrame(), WriteSingleRequest(7, 11, 5, 1));
    // Every third matching request.
    for (int i = 1; i <= 6; ++i) {
        ASSERT_TRUE(m.Send(ReadRequest(10 + i, 4, 0, 1)));
        const auto answer = m.ReceiveFrame();
        ASSERT_TRUE(answer);
        EXPECT_EQ(static_cast<unsigned char>((*answer)[7]), i % 3 == 0 ? 0x84 : 0x04) << i;
    }
    // chance 0 never fires.
    ASSERT_TRUE(m.Send(Frame(20, 1, Bytes("0F 00 00 00 01 01 01"))));
    EXPECT_EQ(m.ReceiveFrame(), Frame(20, 1, Bytes("0F 00 00 00 01")));
    m.Close();
    EXPECT_EQ(s.program.Terminate(20s), 0);

    const std::string out = s.program.Stdout();
    EXPECT_NE(out.find("## "), std::string::npos);
    const std::regex notice(
        "## \\d\\d:\\d\\d:\\d\\d Fault rules: Busy, Guard, First, Second, Quiet, Third, Never\n");
    EXPECT_TRUE(std::regex_search(out, notice)) << out;
    for (const char* lines : {
             "<- 0002 Read Holding Registers 99, count 2\n\\d\\d:\\d\\d:\\d\\d <- 0002 Fault Busy: "
             "exception 06\n\\d\\d:\\d\\d:\\d\\d -> Raw: 00 02 00 00 00 03 01 83 06 \n",
             "<- 0003 Write Holding Register 10, value 004D\n\\d\\d:\\d\\d:\\d\\d <- 0003 Fault "
             "Guard: exception 01\n",
             "<- 0006 Fault Quiet: silent\n\\d\\d:\\d\\d:\\d\\d <- Raw: 00 07",
             "<- 000D Fault Third: exception 0B\n",
         }) {
        EXPECT_TRUE(std::regex_search(out, std::regex(lines))) << lines << "\n" << out;
    }
    EXPECT_EQ(out.find("Fault Second"), std::string::npos);
    EXPECT_EQ(out.find("Fault Never"), std::string::npos);
}

// The write is applied at once, the answer waits; a master that replaces the
// first one meanwhile does not get the first one's answer.
TEST(FaultRulesProgram, DelayAnswersLateAndOnlyToItsOwnMaster) {
    const int port = PickFreeTcpPort();
    Started s(FaultsIni(port, "Slow=*,16,*,delay 600\r\n"), port);
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(s.master.Send(WriteMultipleRequest(1, 20, Bytes("12 34"))));
    // Taken in before the next master replaces this one.
    ASSERT_TRUE(s.program.WaitForStdout("Fault Slow: delay 600", 5s)) << s.program.Stdout();
    TcpMaster second;
    ASSERT_TRUE(second.Connect(port));
    ASSERT_TRUE(second.Send(ReadRequest(2, 3, 20, 1)));
    EXPECT_EQ(second.ReceiveFrame(), Frame(2, 1, Bytes("03 02 12 34")));
    EXPECT_EQ(second.ReceiveFrame(1s), std::nullopt);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 600ms);

    // Alone, the answer comes, not before its time.
    TcpMaster third;
    ASSERT_TRUE(third.Connect(port));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(third.Send(WriteMultipleRequest(3, 30, Bytes("00 01"))));
    const auto answer = third.ReceiveFrame(5s);
    ASSERT_TRUE(answer);
    EXPECT_EQ(static_cast<unsigned char>((*answer)[7]), 16);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 500ms);
}

TEST(FaultRulesProgram, CloseSendsEarlierAnswersOfTheArrivalThenEnds) {
    const int port = PickFreeTcpPort();
    Started s(FaultsIni(port, "Drop=*,6,*,close\r\n"), port);
    ASSERT_TRUE(s.master.Send(ReadRequest(1, 3, 0, 1) + WriteSingleRequest(2, 5, 9) +
                              ReadRequest(3, 3, 0, 1)));
    EXPECT_EQ(s.master.ReceiveFrame(), Frame(1, 1, Bytes("03 02 00 00")));
    // Then the end of the stream and nothing more.
    EXPECT_EQ(s.master.ReceiveBytes(1, 2s), Packet());
    TcpMaster next;
    ASSERT_TRUE(next.Connect(port));
    ASSERT_TRUE(next.Send(ReadRequest(4, 3, 5, 1)));
    EXPECT_EQ(next.ReceiveFrame(), Frame(4, 1, Bytes("03 02 00 00")));
    EXPECT_TRUE(s.program.WaitForStdout("Fault Drop: close", 5s));
}

TEST(FaultRulesProgram, OverUdpCloseIsSilentAndExceptionsAnswer) {
    const int port = PickFreeUdpPort();
    ProgramProcess program(TARVIK_PROGRAM,
                           FaultsIni(port, "Drop=*,6,*,close\r\nBusy=*,3,*,exception 06\r\n",
                                     std::to_string(port) + "=Main,U\r\n"),
                           Headless());
    ASSERT_TRUE(program.WaitForStdout("## ", 30s));
    UdpMaster master;
    ASSERT_TRUE(master.SendTo(port, WriteSingleRequest(1, 5, 9) + ReadRequest(2, 3, 0, 1)));
    EXPECT_EQ(master.Receive(), Exception(2, 1, 0x83, 0x06));
    EXPECT_EQ(master.Receive(kQuiet), std::nullopt);
}

// Which of 40 requests a 50 % rule refuses, as a string of 0 and 1.
std::string ChancePattern(const std::string& seed) {
    const int port = PickFreeTcpPort();
    Started s(
        FaultsIni(port, "Coin=*,3,*,exception 06,chance 50\r\nAll=*,4,*,silent,chance 100\r\n"),
        port, {"--seed", seed});
    std::string pattern;
    for (int i = 0; i < 40; ++i) {
        if (!s.master.Send(ReadRequest(i, 3, 0, 1))) return "send failed";
        const auto answer = s.master.ReceiveFrame();
        if (!answer) return "no answer";
        pattern += static_cast<unsigned char>((*answer)[7]) == 0x83 ? '1' : '0';
    }
    if (!s.master.Send(ReadRequest(99, 4, 0, 1))) return "send failed";
    if (s.master.ReceiveFrame(kQuiet)) pattern += " chance 100 answered";
    return pattern;
}

TEST(FaultRulesProgram, SeedRepeatsChanceRunToRun) {
    const std::string first = ChancePattern("42");
    EXPECT_EQ(ChancePattern("42"), first);
    EXPECT_NE(first.find('0'), std::string::npos) << first;
    EXPECT_NE(first.find('1'), std::string::npos) << first;
    EXPECT_NE(ChancePattern("43"), first);
}

TEST(FaultRulesProgram, SighupReplacesTheRulesAndABadReloadKeepsThem) {
    const int port = PickFreeTcpPort();
    Started s(FaultsIni(port, "Busy=*,3,*,exception 06\r\n"), port);
    const std::string ini = s.program.Folder() + "/TarvikSlave.ini";
    std::ofstream(ini, std::ios::trunc) << FaultsIni(port, "Odd=*,4,*,exception 0A,every 2\r\n");
    s.program.Signal(SIGHUP);
    ASSERT_TRUE(s.program.WaitForStdout("Fault rules reloaded: 1", 5s)) << s.program.Stdout();
    ASSERT_TRUE(s.master.Send(ReadRequest(1, 3, 0, 1)));
    EXPECT_EQ(s.master.ReceiveFrame(), Frame(1, 1, Bytes("03 02 00 00")));
    ASSERT_TRUE(s.master.Send(ReadRequest(2, 4, 0, 1)));
    EXPECT_EQ(static_cast<unsigned char>(s.master.ReceiveFrame().value_or("")[7]), 0x04);
    ASSERT_TRUE(s.master.Send(ReadRequest(3, 4, 0, 1)));
    EXPECT_EQ(s.master.ReceiveFrame(), Exception(3, 1, 0x84, 0x0A));

    std::ofstream(ini, std::ios::trunc) << FaultsIni(port, "Bad=*,4,*,explode\r\n");
    s.program.Signal(SIGHUP);
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (s.program.Stderr().find("Settings error") == std::string::npos &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(20ms);
    EXPECT_NE(s.program.Stderr().find("Settings error: [Faults] Bad=*,4,*,explode: "),
              std::string::npos)
        << s.program.Stderr();
    // The old rule and its count go on.
    ASSERT_TRUE(s.master.Send(ReadRequest(4, 4, 0, 1)));
    EXPECT_EQ(static_cast<unsigned char>(s.master.ReceiveFrame().value_or("")[7]), 0x04);
    ASSERT_TRUE(s.master.Send(ReadRequest(5, 4, 0, 1)));
    EXPECT_EQ(s.master.ReceiveFrame(), Exception(5, 1, 0x84, 0x0A));
    EXPECT_EQ(s.program.Stdout().find("Fault rules reloaded: 1\n",
                                      s.program.Stdout().find("Fault rules reloaded: 1") + 1),
              std::string::npos);
}

TEST(FaultRulesProgram, ABadLineEndsWithStatusTwo) {
    for (const char* line : {"Busy=*,3,*,exception 00", "Busy=*,3,*", "Busy=*,3,*,silent,every 0",
                             "A=*,*,*,silent\r\na=*,*,*,close"}) {
        SCOPED_TRACE(line);
        ProgramProcess program(TARVIK_PROGRAM,
                               FaultsIni(PickFreeTcpPort(), line + std::string("\r\n")));
        EXPECT_EQ(program.WaitForExit(20s), 2);
        EXPECT_EQ(program.Stderr().rfind("Settings error: [Faults] ", 0), 0u) << program.Stderr();
        EXPECT_EQ(program.Stdout(), "");
    }
}

TEST(FaultRulesProgram, ASeedThatIsNoWholeNumberEndsWithStatusTwo) {
    for (const char* seed : {"-1", "0x10", "1.5", "99999999999999999999"}) {
        SCOPED_TRACE(seed);
        ProgramProcess program(TARVIK_PROGRAM, ServerIni(PickFreeTcpPort()),
                               Headless({"--seed", seed}));
        EXPECT_EQ(program.WaitForExit(20s), 2);
        EXPECT_EQ(program.Stderr().rfind(std::string("Bad --seed '") + seed + "'", 0), 0u)
            << program.Stderr();
    }
}

}  // namespace
}  // namespace tarvik::testing
