// The built program serving several units behind one port, over real
// sockets: each unit's own registers, what an absent unit gets, UDP, the
// registers file in both forms, the trace lines and a bad [Units] section.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "testkit/raw_master.h"
#include "testkit/request_frames.h"
#include "tests/support/program_process.h"

namespace tarvik::testing {
namespace {

using namespace std::chrono_literals;

std::string UnitsIni(int port, const std::string& units, const std::string& more = "") {
    return ServerIni(port, more + "[Units]\r\n" + units);
}

// Standard output with the times shown as "T".
std::vector<std::string> ShownLines(const std::string& text) {
    const std::regex time("^(## )?\\d\\d:\\d\\d:\\d\\d ");
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(std::regex_replace(line, time, "$1T "));
    }
    return lines;
}

bool Holds(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(UnitsProgram, ServedUnitsKeepTheirOwnRegistersAndTheTraceNamesThem) {
    const int port = PickFreeTcpPort();
    ProgramProcess program(TARVIK_PROGRAM,
                           UnitsIni(port, "Served=1-2, 5\r\n", "[Options]\r\nShowRawData=0\r\n"));
    ASSERT_TRUE(program.WaitUntilListening(port, 30s)) << program.Stderr();
    TcpMaster master;
    ASSERT_TRUE(master.Connect(port));

    ASSERT_TRUE(master.Send(WriteSingleRequest(1, 7, 0x1111, 1)));
    EXPECT_EQ(master.ReceiveFrame(), WriteSingleRequest(1, 7, 0x1111, 1));
    const std::vector<int32_t> values{0x2222, 0x2223};
    ASSERT_TRUE(master.Send(WriteValuesRequest(2, 7, values, 2)));
    EXPECT_EQ(master.ReceiveFrame(), WriteValuesRequest(2, 7, values, 2));
    for (const auto& [unit, answer] :
         {std::pair{1, "03 04 11 11 00 00"}, {2, "03 04 22 22 22 23"}, {5, "03 04 00 00 00 00"}}) {
        SCOPED_TRACE(unit);
        ASSERT_TRUE(master.Send(ReadRequest(3, 3, 7, 2, unit)));
        EXPECT_EQ(master.ReceiveFrame(), Frame(3, unit, Bytes(answer)));
    }
    // Unit 9 is not served: its write is answered 0B and lands nowhere.
    ASSERT_TRUE(master.Send(WriteValuesRequest(4, 7, values, 9)));
    EXPECT_EQ(master.ReceiveFrame(), Frame(4, 9, Bytes("90 0B")));
    ASSERT_TRUE(master.Send(ReadRequest(5, 3, 7, 1, 1)));
    EXPECT_EQ(master.ReceiveFrame(), Frame(5, 1, Bytes("03 02 11 11")));
    ASSERT_TRUE(program.WaitForStdout("Read Holding Registers 7, count 1, unit 1", 5s));

    const std::vector<std::string> lines = ShownLines(program.Stdout());
    EXPECT_EQ(lines.at(2), "## T Units: 1-2, 5 (others: exception 0B)") << program.Stdout();
    for (const char* line :
         {"T <- 0001 Write Holding Register 7, value 1111, unit 1",
          "T <- 0002 Write Holding Registers 7, length 2, unit 2",
          "T <- 0002 Registervalue 40007, value 2222",
          "T -> 0002 0000 Write Holding Registers 7, length 2",
          "T <- 0003 Read Holding Registers 7, count 2, unit 5", "T <- 0004 Unit 9 not served"}) {
        EXPECT_TRUE(Holds(lines, line)) << line << "\n" << program.Stdout();
    }
    EXPECT_EQ(program.Terminate(20s), 0);
}

TEST(UnitsProgram, AbsentUnitGetsWhatAbsentSaysOverTcpAndUdp) {
    const struct {
        const char* absent;
        const char* answer;  // nullptr: none
    } cases[] = {{"", "86 0B"}, {"0a", "86 0A"}, {"Silent", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.absent);
        const int port = PickFreeTcpPort();
        ProgramProcess program(
            TARVIK_PROGRAM, UnitsIni(port, std::string("Served=3\r\nAbsent=") + c.absent + "\r\n"));
        ASSERT_TRUE(program.WaitUntilListening(port, 30s)) << program.Stderr();
        TcpMaster master;
        ASSERT_TRUE(master.Connect(port));
        ASSERT_TRUE(master.Send(WriteSingleRequest(1, 0, 77, 4)));
        if (c.answer == nullptr) {
            EXPECT_EQ(master.ReceiveFrame(500ms), std::nullopt);
        } else {
            EXPECT_EQ(master.ReceiveFrame(), Frame(1, 4, Bytes(c.answer)));
        }
        // The served unit answers next, its register untouched by the write.
        ASSERT_TRUE(master.Send(ReadRequest(2, 3, 0, 1, 3)));
        EXPECT_EQ(master.ReceiveFrame(), Frame(2, 3, Bytes("03 02 00 00")));
        EXPECT_EQ(program.Terminate(20s), 0);
    }

    const int port = PickFreeUdpPort();
    ProgramProcess udp(TARVIK_PROGRAM, ServerIni(std::to_string(port) + "=Main,U\r\n",
                                                 "[Units]\r\nServed=1,2\r\n"));
    ASSERT_TRUE(udp.WaitForStdout("Units: 1-2", 30s)) << udp.Stderr();
    UdpMaster master;
    ASSERT_TRUE(master.SendTo(port, WriteSingleRequest(1, 4, 0xBEEF, 2)));
    EXPECT_EQ(master.Receive(), WriteSingleRequest(1, 4, 0xBEEF, 2));
    ASSERT_TRUE(master.SendTo(port, ReadRequest(2, 3, 4, 1, 1)));
    EXPECT_EQ(master.Receive(), Frame(2, 1, Bytes("03 02 00 00")));
    ASSERT_TRUE(master.SendTo(port, ReadRequest(3, 3, 4, 1, 2)));
    EXPECT_EQ(master.Receive(), Frame(3, 2, Bytes("03 02 BE EF")));
    ASSERT_TRUE(master.SendTo(port, ReadRequest(4, 4, 4, 1, 7)));
    EXPECT_EQ(master.Receive(), Frame(4, 7, Bytes("84 0B")));
    EXPECT_EQ(udp.Terminate(20s), 0);
}

// The registers file at start: the unit form to each unit, today's form to
// every unit; a unit not served, or the unit form without [Units], refused
// with status 2 and the reason.
TEST(UnitsProgram, RegistersFileInBothFormsAndRefusals) {
    const int port = PickFreeTcpPort();
    const auto withFile = [](const std::string& text) {
        Launch launch = Headless({"--registers", "regs.csv"});
        launch.prepare = [text](const std::string& folder) {
            std::ofstream(folder + "/regs.csv") << text;
        };
        return launch;
    };
    {
        ProgramProcess program(
            TARVIK_PROGRAM, UnitsIni(port, "Served=1,2\r\n"),
            withFile("unit,table,index,value\n1,holding,0,11\n2,holding,0,22\n2,input,1,5\n"));
        ASSERT_TRUE(program.WaitUntilListening(port, 30s)) << program.Stderr();
        TcpMaster master;
        ASSERT_TRUE(master.Connect(port));
        ASSERT_TRUE(master.Send(ReadRequest(1, 3, 0, 1, 1)));
        EXPECT_EQ(master.ReceiveFrame(), Frame(1, 1, Bytes("03 02 00 0B")));
        ASSERT_TRUE(master.Send(ReadRequest(2, 3, 0, 1, 2)));
        EXPECT_EQ(master.ReceiveFrame(), Frame(2, 2, Bytes("03 02 00 16")));
        ASSERT_TRUE(master.Send(ReadRequest(3, 4, 1, 1, 2)));
        EXPECT_EQ(master.ReceiveFrame(), Frame(3, 2, Bytes("04 02 00 05")));
        EXPECT_EQ(program.Terminate(20s), 0);
    }
    {
        ProgramProcess program(TARVIK_PROGRAM, UnitsIni(port, "Served=1,2\r\n"),
                               withFile("table,index,value\nholding,3,99\n"));
        ASSERT_TRUE(program.WaitUntilListening(port, 30s)) << program.Stderr();
        TcpMaster master;
        ASSERT_TRUE(master.Connect(port));
        for (int unit : {1, 2}) {
            ASSERT_TRUE(master.Send(ReadRequest(unit, 3, 3, 1, unit)));
            EXPECT_EQ(master.ReceiveFrame(), Frame(unit, unit, Bytes("03 02 00 63")));
        }
        EXPECT_EQ(program.Terminate(20s), 0);
    }
    const struct {
        const char* what;
        std::string ini;
        std::string file;
        const char* says;
    } refused[] = {
        {"unit not served", UnitsIni(port, "Served=1,2\r\n"),
         "unit,table,index,value\n1,holding,0,1\n3,holding,0,1\n", "line 3"},
        {"unit form without units", ServerIni(port), "unit,table,index,value\n1,holding,0,1\n",
         "unit,table,index,value"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        ProgramProcess program(TARVIK_PROGRAM, c.ini, withFile(c.file));
        EXPECT_EQ(program.WaitForExit(30s), 2);
        EXPECT_NE(program.Stderr().find("Cannot load registers: "), std::string::npos);
        EXPECT_NE(program.Stderr().find(c.says), std::string::npos) << program.Stderr();
    }
}

// A bad section: the headless program ends with status 2 and the one line;
// the window says the same on standard error and waits on its message box.
TEST(UnitsProgram, BadUnitsSectionIsASettingsError) {
    const int port = PickFreeTcpPort();
    const struct {
        std::string units;
        const char* line;
    } cases[] = {
        {"Served=3-1\r\n", "Settings error: [Units] Served=3-1: range 3-1 runs backwards\n"},
        {"Served=1,256\r\n", "Settings error: [Units] Served=1,256: unit id 256 is past 255\n"},
        {"Absent=maybe\r\n", "Settings error: [Units] Absent=maybe: expected 0B, 0A or silent\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ProgramProcess program(TARVIK_PROGRAM, UnitsIni(port, c.units));
        EXPECT_EQ(program.WaitForExit(30s), 2);
        EXPECT_EQ(program.Stderr(), c.line);
        EXPECT_EQ(program.Stdout(), "");
    }

    Launch offscreen;
    offscreen.display = Launch::Display::Offscreen;
    ProgramProcess window(TARVIK_PROGRAM, UnitsIni(port, "Served=3-1\r\n"), offscreen);
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (window.Stderr().find("Settings error") == std::string::npos &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(20ms);
    EXPECT_NE(window.Stderr().find(cases[0].line), std::string::npos) << window.Stderr();
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(window.Running()) << "the window waits on its message";
    // The box's OK pressed by the signal, then the program ends as asked.
    EXPECT_EQ(window.Terminate(20s), 0);
}

}  // namespace
}  // namespace tarvik::testing
