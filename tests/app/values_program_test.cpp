// Points with generators in the built program, headless, against a master on
// a real socket: what each kind puts in the registers over time, a master's
// write overwritten, units, --values, SIGHUP and bad sections.
#include <gtest/gtest.h>

#include <bit>
#include <csignal>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include "testkit/raw_master.h"
#include "testkit/request_frames.h"
#include "tests/support/program_process.h"

namespace tarvik::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string ValuesIni(int port, const std::string& sections) {
    return ServerIni(port, "[Options]\r\nShowRawData=0\r\n" + sections);
}

struct Started {
    Started(const std::string& ini, int port, std::vector<std::string> args = {})
        : program(TARVIK_PROGRAM, ini, Headless(std::move(args))) {
        EXPECT_TRUE(program.WaitUntilListening(port, 30s)) << program.Stderr();
        EXPECT_TRUE(master.Connect(port));
    }
    // `count` registers of `function` (3 or 4) from `start`; empty on failure.
    std::vector<uint16_t> Read(int function, int start, int count, int unit = 1) {
        if (!master.Send(ReadRequest(++transaction, function, start, count, unit))) return {};
        const auto frame = master.ReceiveFrame();
        if (!frame || frame->size() != 9u + 2u * static_cast<std::size_t>(count)) return {};
        std::vector<uint16_t> words;
        for (int i = 0; i < count; ++i) {
            const auto high = static_cast<unsigned char>((*frame)[9 + 2 * i]);
            const auto low = static_cast<unsigned char>((*frame)[10 + 2 * i]);
            words.push_back(static_cast<uint16_t>(high << 8 | low));
        }
        return words;
    }
    int ReadOne(int function, int start, int unit = 1) {
        const auto words = Read(function, start, 1, unit);
        return words.empty() ? -1 : words[0];
    }
    ProgramProcess program;
    TcpMaster master;
    int transaction = 0;
};

bool WaitForStderr(const ProgramProcess& program, const std::string& text,
                   std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    while (program.Stderr().find(text) == std::string::npos) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

TEST(ValuesProgram, EachKindMovesOnTheClockAsAMasterSeesIt) {
    const int port = PickFreeTcpPort();
    Started s(ValuesIni(port,
                        "[Points]\r\n"
                        "Level=holding,0,uint16\r\n"
                        "Count=holding,10,uint32,CDAB\r\n"
                        "Stage=holding,20,int16\r\n"
                        "Noise=input,30,int16\r\n"
                        "Wave=holding,40,float32\r\n"
                        "[Generators]\r\n"
                        "Level=ramp 0 6000 60s\r\n"
                        "Count=counter 1 100ms\r\n"
                        "Stage=steps 10 20 30 300ms\r\n"
                        "Noise=random -5 5 100ms\r\n"
                        "Wave=sine 50 20 1s\r\n"),
              port);

    // The ramp climbs 100 a second; the 100 ms tick and the reads' own time
    // allow some slack either way.
    const auto first = Clock::now();
    const int before = s.ReadOne(3, 0);
    std::this_thread::sleep_for(1500ms);
    const int after = s.ReadOne(3, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - first).count();
    ASSERT_GE(before, 0);
    EXPECT_NEAR(after - before, 100.0 * seconds, 40.0) << before << " " << after;

    uint32_t lastCount = 0;
    int lastStage = 0;
    std::string stages;
    std::set<int> noises;
    float low = 1e9f;
    float high = -1e9f;
    for (int i = 0; i < 40; ++i) {
        const auto count = s.Read(3, 10, 2);
        ASSERT_EQ(count.size(), 2u);
        const uint32_t counted = uint32_t{count[1]} << 16 | count[0];  // low word first
        EXPECT_GE(counted, lastCount);
        lastCount = counted;

        const int stage = s.ReadOne(3, 20);
        if (stage != lastStage) stages += std::to_string(stage) + " ";
        lastStage = stage;

        const int noise = static_cast<int16_t>(s.ReadOne(4, 30));
        EXPECT_GE(noise, -5);
        EXPECT_LE(noise, 5);
        noises.insert(noise);

        const auto wave = s.Read(3, 40, 2);
        ASSERT_EQ(wave.size(), 2u);
        const float value = std::bit_cast<float>(uint32_t{wave[0]} << 16 | wave[1]);
        EXPECT_GE(value, 30.0f - 1e-3f);
        EXPECT_LE(value, 70.0f + 1e-3f);
        low = std::min(low, value);
        high = std::max(high, value);
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_GT(lastCount, 20u);
    // Changes only ever step forward, round and round.
    EXPECT_TRUE(std::regex_match(stages, std::regex("(10 |20 |30 )?(10 20 30 |20 30 10 |30 10 20 )+"
                                                    "(10 |10 20 |20 |20 30 |30 |30 10 )?")))
        << stages;
    EXPECT_GE(noises.size(), 3u);
    EXPECT_GT(high - low, 10.0f);
}

TEST(ValuesProgram, AMastersWriteLastsUntilTheNextUpdate) {
    const int port = PickFreeTcpPort();
    Started s(ValuesIni(port,
                        "[Points]\r\nHeld=holding,5,uint16\r\nFree=holding,6,uint16\r\n"
                        "[Generators]\r\nHeld=steps 7 1m\r\n"),
              port);
    const std::vector<int32_t> written{99, 98};
    ASSERT_TRUE(s.master.Send(WriteValuesRequest(1, 5, written)));
    ASSERT_TRUE(s.master.ReceiveFrame());
    std::this_thread::sleep_for(300ms);
    // The generated point is back, the point without a generator keeps the write.
    EXPECT_EQ(s.Read(3, 5, 2), (std::vector<uint16_t>{7, 98}));
}

TEST(ValuesProgram, APointLivesInItsUnitsTables) {
    const int port = PickFreeTcpPort();
    Started s(ValuesIni(port,
                        "[Units]\r\nServed=1,3\r\n"
                        "[Points]\r\nFirst=holding,0,int16\r\nThird=holding,0,int16,ABCD,3\r\n"
                        "[Generators]\r\nFirst=steps -2 1m\r\nThird=steps 4 1m\r\n"),
              port);
    EXPECT_EQ(s.ReadOne(3, 0, 1), 0xFFFE);
    EXPECT_EQ(s.ReadOne(3, 0, 3), 4);
}

TEST(ValuesProgram, ValuesOptionWritesEveryPointOnceASecond) {
    const int port = PickFreeTcpPort();
    Started s(ValuesIni(port,
                        "[Points]\r\nFlow=holding,10,float32,CDAB\r\nLevel=input,20,uint16\r\n"
                        "Big=holding,30,float64\r\nNeg=holding,40,int16\r\n"
                        "[Generators]\r\nFlow=steps 50 1m\r\nBig=steps 0.1 1m\r\n"
                        "Neg=steps -3.5 1m\r\n"),
              port, {"--values"});
    ASSERT_TRUE(s.program.WaitForStdout("Values: ", 5s)) << s.program.Stdout();
    std::this_thread::sleep_for(1200ms);
    const std::string out = s.program.Stdout();
    const std::string line = "Values: Flow=50.0 Level=0 Big=0.1 Neg=-4\n";
    const std::regex notice("## \\d\\d:\\d\\d:\\d\\d " + line);
    EXPECT_GE(
        std::distance(std::sregex_iterator(out.begin(), out.end(), notice), std::sregex_iterator()),
        2)
        << out;
}

TEST(ValuesProgram, NoValuesLineWithoutPointsOrWithoutTheOption) {
    const int withoutPoints = PickFreeTcpPort();
    Started bare(ServerIni(withoutPoints), withoutPoints, {"--values"});
    const int withoutOption = PickFreeTcpPort();
    Started quiet(ValuesIni(withoutOption, "[Points]\r\nA=holding,0,uint16\r\n"), withoutOption);
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(bare.program.Stdout().find("Values"), std::string::npos);
    EXPECT_EQ(quiet.program.Stdout().find("Values"), std::string::npos);
}

TEST(ValuesProgram, SighupReplacesFaultsPointsAndGeneratorsTogether) {
    const int port = PickFreeTcpPort();
    Started s(ValuesIni(port,
                        "[Faults]\r\nBusy=*,4,*,exception 06\r\n"
                        "[Points]\r\nCount=holding,0,uint16\r\n"
                        "[Generators]\r\nCount=counter 1 100ms\r\n"),
              port);
    const std::string ini = s.program.Folder() + "/TarvikSlave.ini";
    std::this_thread::sleep_for(600ms);
    ASSERT_GE(s.ReadOne(3, 0), 4);

    std::ofstream(ini, std::ios::trunc)
        << ValuesIni(port,
                     "[Faults]\r\n"
                     "[Points]\r\nCount=holding,0,uint16\r\nFixed=holding,1,uint16\r\n"
                     "[Generators]\r\nCount=counter 1 1m\r\nFixed=steps 8 1m\r\n");
    s.program.Signal(SIGHUP);
    ASSERT_TRUE(s.program.WaitForStdout("Points reloaded", 5s)) << s.program.Stdout();
    const std::regex notices(
        "## \\d\\d:\\d\\d:\\d\\d Fault rules reloaded: 0\n## \\d\\d:\\d\\d:\\d\\d Points "
        "reloaded: 2, generators: 2\n");
    const std::string out = s.program.Stdout();
    EXPECT_TRUE(std::regex_search(out, notices)) << out;
    // The counter started again at 0; the new point is written; no fault.
    EXPECT_EQ(s.Read(3, 0, 2), (std::vector<uint16_t>{0, 8}));
    EXPECT_EQ(s.ReadOne(4, 0), 0);

    // One bad line keeps all three sections as they were.
    std::ofstream(ini, std::ios::trunc)
        << ValuesIni(port,
                     "[Faults]\r\nBusy=*,4,*,exception 06\r\n"
                     "[Points]\r\nCount=holding,0,uint16\r\nFixed=holding,1,uint16\r\n"
                     "[Generators]\r\nFixed=steps 9 1m\r\nCount=ramp 5 1 1s\r\n");
    s.program.Signal(SIGHUP);
    EXPECT_TRUE(WaitForStderr(s.program, "Settings error: [Generators] Count=ramp 5 1 1s: ", 5s))
        << s.program.Stderr();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(s.Read(3, 0, 2), (std::vector<uint16_t>{0, 8}));
    EXPECT_EQ(s.ReadOne(4, 0), 0);
    const std::string later = s.program.Stdout();
    EXPECT_EQ(later.find("Points reloaded", later.find("Points reloaded") + 1), std::string::npos);
}

TEST(ValuesProgram, ReloadWithoutPointsBeforeOrAfterSaysNothingOfThem) {
    const int port = PickFreeTcpPort();
    Started s(ValuesIni(port, "[Faults]\r\n"), port);
    s.program.Signal(SIGHUP);
    ASSERT_TRUE(s.program.WaitForStdout("Fault rules reloaded: 0", 5s)) << s.program.Stdout();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(s.program.Stdout().find("Points reloaded"), std::string::npos);
}

TEST(ValuesProgram, ABadLineEndsWithStatusTwo) {
    const struct {
        const char* sections;
        const char* error;
    } cases[] = {
        {"[Points]\r\nA=holding,2047,uint32\r\n", "[Points] A=holding,2047,uint32: "},
        {"[Points]\r\nA=holding,0,int24\r\n", "[Points] A=holding,0,int24: "},
        {"[Points]\r\nA=holding,0,int16,CDAB\r\n", "[Points] A=holding,0,int16,CDAB: "},
        {"[Points]\r\nA=holding,0,int16\r\na=input,0,int16\r\n", "[Points] a=input,0,int16: "},
        {"[Points]\r\nA=holding,0,int16,ABCD,1\r\n", "[Points] A=holding,0,int16,ABCD,1: "},
        {"[Points]\r\nA=holding,0,int16\r\n[Generators]\r\nB=steps 1 1s\r\n",
         "[Generators] B=steps 1 1s: "},
        {"[Points]\r\nA=holding,0,int16\r\n[Generators]\r\nA=wobble 1 1s\r\n",
         "[Generators] A=wobble 1 1s: "},
        {"[Points]\r\nA=holding,0,int16\r\n[Generators]\r\nA=ramp 1 1s\r\n",
         "[Generators] A=ramp 1 1s: "},
        {"[Points]\r\nA=holding,0,int16\r\n[Generators]\r\nA=counter 1 0s\r\n",
         "[Generators] A=counter 1 0s: "},
        {"[Points]\r\nA=holding,0,int16\r\n[Generators]\r\nA=random 5 1 1s\r\n",
         "[Generators] A=random 5 1 1s: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sections);
        ProgramProcess program(TARVIK_PROGRAM, ValuesIni(PickFreeTcpPort(), c.sections));
        EXPECT_EQ(program.WaitForExit(20s), 2);
        EXPECT_EQ(program.Stderr().rfind(std::string("Settings error: ") + c.error, 0), 0u)
            << program.Stderr();
        EXPECT_EQ(program.Stdout(), "");
    }
}

}  // namespace
}  // namespace tarvik::testing
