// Points with generators in the built program, headless: the tick on the
// program's clock writes each point in its own unit's tables, --values prints
// them, and SIGHUP replaces faults, points and generators together or not at
// all. What each generator computes is the engine tests' own.
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

std::string ValuesIni(int port, const std::string& sections) {
    return ServerIni(port, "[Options]\r\nShowRawData=0\r\n" + sections);
}

struct Started {
    Started(const std::string& sections, std::vector<std::string> args = {})
        : port(PickFreeTcpPort()),
          program(TARVIK_PROGRAM, ValuesIni(port, sections), Headless(std::move(args))) {
        EXPECT_TRUE(program.WaitUntilListening(port, 30s)) << program.Stderr();
        EXPECT_TRUE(master.Connect(port));
    }
    // Register `start` of `function` (3 or 4) in `unit`; -1 on failure.
    int Read(int function, int start, int unit = 1) {
        if (!master.Send(ReadRequest(++transaction, function, start, 1, unit))) return -1;
        const auto frame = master.ReceiveFrame();
        return frame && frame->size() == 11u ? GetWord(*frame, 9) : -1;
    }
    int port;
    ProgramProcess program;
    TcpMaster master;
    int transaction = 0;
};

TEST(ValuesProgram, TickWritesEachPointInItsUnitAndValuesPrintsThemEverySecond) {
    Started s(
        "[Units]\r\nServed=1,3\r\n"
        "[Points]\r\nCount=holding,0,uint16\r\nThird=holding,0,int16,ABCD,3\r\n"
        "Flow=holding,10,float32,CDAB\r\n"
        "[Generators]\r\nCount=counter 1 100ms\r\nThird=steps -2 1m\r\nFlow=steps 50 1m\r\n",
        {"--values"});
    // A counter of 1 per 100 ms counts about 10 a second on the program's clock.
    const int before = s.Read(3, 0);
    std::this_thread::sleep_for(1000ms);
    const int after = s.Read(3, 0);
    ASSERT_GE(before, 0);
    EXPECT_NEAR(after - before, 10, 4) << before << " " << after;
    EXPECT_EQ(s.Read(3, 0, 3), 0xFFFE);

    ASSERT_TRUE(s.program.WaitForStdout("Values: ", 5s)) << s.program.Stdout();
    std::this_thread::sleep_for(1200ms);
    const std::string out = s.program.Stdout();
    const std::regex notice("## \\d\\d:\\d\\d:\\d\\d Values: Count=\\d+ Third=-2 Flow=50.0\n");
    EXPECT_GE(
        std::distance(std::sregex_iterator(out.begin(), out.end(), notice), std::sregex_iterator()),
        2)
        << out;
}

TEST(ValuesProgram, SighupReplacesFaultsPointsAndGeneratorsTogether) {
    Started s(
        "[Faults]\r\nBusy=*,4,*,exception 06\r\n"
        "[Points]\r\nCount=holding,0,uint16\r\n"
        "[Generators]\r\nCount=counter 1 100ms\r\n");
    const std::string ini = s.program.Folder() + "/TarvikSlave.ini";
    ASSERT_TRUE(WaitFor([&] { return s.Read(3, 0) >= 4; }, 5s));

    std::ofstream(ini, std::ios::trunc)
        << ValuesIni(s.port,
                     "[Faults]\r\n"
                     "[Points]\r\nCount=holding,0,uint16\r\nFixed=holding,1,uint16\r\n"
                     "[Generators]\r\nCount=counter 1 1m\r\nFixed=steps 8 1m\r\n");
    s.program.Signal(SIGHUP);
    ASSERT_TRUE(s.program.WaitForStdout("Points reloaded", 5s)) << s.program.Stdout();
    const std::regex notices(
        "## \\d\\d:\\d\\d:\\d\\d Fault rules reloaded: 0\n## \\d\\d:\\d\\d:\\d\\d Points "
        "reloaded: 2, generators: 2\n");
    EXPECT_TRUE(std::regex_search(s.program.Stdout(), notices)) << s.program.Stdout();
    // The counter started again at 0; the new point is written; no fault.
    const auto state = [&] { return std::vector<int>{s.Read(3, 0), s.Read(3, 1), s.Read(4, 0)}; };
    EXPECT_EQ(state(), (std::vector<int>{0, 8, 0}));

    // One bad line keeps all three sections as they were.
    std::ofstream(ini, std::ios::trunc)
        << ValuesIni(s.port,
                     "[Faults]\r\nBusy=*,4,*,exception 06\r\n"
                     "[Points]\r\nCount=holding,0,uint16\r\nFixed=holding,1,uint16\r\n"
                     "[Generators]\r\nFixed=steps 9 1m\r\nCount=ramp 5 1 1s\r\n");
    s.program.Signal(SIGHUP);
    EXPECT_TRUE(WaitFor([&] {
        return s.program.Stderr().find("Settings error: [Generators] Count=ramp 5 1 1s: ") !=
               std::string::npos;
    })) << s.program.Stderr();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(state(), (std::vector<int>{0, 8, 0}));
    EXPECT_EQ(Count(s.program.Stdout(), "Points reloaded"), 1u);
    EXPECT_EQ(Count(s.program.Stdout(), "Values"), 0u) << "no --values, no values line";
}

TEST(ValuesProgram, WithoutPointsNeitherAValuesLineNorAPointsNotice) {
    Started s("[Faults]\r\n", {"--values"});
    s.program.Signal(SIGHUP);
    ASSERT_TRUE(s.program.WaitForStdout("Fault rules reloaded: 0", 5s)) << s.program.Stdout();
    std::this_thread::sleep_for(1200ms);
    EXPECT_EQ(Count(s.program.Stdout(), "Points reloaded"), 0u);
    EXPECT_EQ(Count(s.program.Stdout(), "Values"), 0u);
}

// Each refusal reason is the section parsers' own; here only that a bad line
// of either section ends start-up with status 2 and its line.
TEST(ValuesProgram, ABadLineEndsWithStatusTwo) {
    for (const char* sections :
         {"[Points]\r\nA=holding,0,int24\r\n",
          "[Points]\r\nA=holding,0,int16\r\n[Generators]\r\nB=steps 1 1s\r\n"}) {
        SCOPED_TRACE(sections);
        ProgramProcess program(TARVIK_PROGRAM, ValuesIni(PickFreeTcpPort(), sections));
        EXPECT_EQ(program.WaitForExit(20s), 2);
        EXPECT_EQ(Lines(program.Stderr()).size(), 1u) << program.Stderr();
        EXPECT_EQ(program.Stderr().rfind("Settings error: [", 0), 0u) << program.Stderr();
        EXPECT_EQ(program.Stdout(), "");
    }
}

}  // namespace
}  // namespace tarvik::testing
