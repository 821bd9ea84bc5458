// The built program as a user starts it: headless, with no display, its
// trace and notices on standard output, served to masters on the network and
// ended the ways a script ends it. The window program appears only where a
// display matters.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "testkit/raw_master.h"
#include "tests/support/program_process.h"

namespace tarvik::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(HeadlessProgram, ServesAMasterTracesOnStandardOutputAndOnlySigtermEndsIt) {
    const int port = PickFreeTcpPort();
    ProgramProcess program(TARVIK_PROGRAM, ServerIni(port));
    ASSERT_TRUE(program.WaitUntilListening(port, 30s)) << program.Stderr();

    TcpMaster master;
    ASSERT_TRUE(master.Connect(port));
    ASSERT_TRUE(master.Send(WriteSingleRequest(1, 7, 1234)));
    EXPECT_EQ(master.ReceiveFrame(), WriteSingleRequest(1, 7, 1234));
    ASSERT_TRUE(master.Send(ReadRequest(2, 3, 6, 2)));
    EXPECT_EQ(master.ReceiveFrame(), Frame(2, 1, Bytes("03 04 00 00 04 D2")));
    master.Close();
    // Listening after the start, after the probe, after the master.
    ASSERT_TRUE(WaitFor([&] { return Count(program.Stdout(), "Listening at port") == 3; }, 5s))
        << program.Stdout();
    // Signals other than TERM and INT neither end it nor add a line.
    for (const int number : {SIGHUP, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, SIGXFSZ}) {
        program.Signal(number);
        std::this_thread::sleep_for(100ms);
        ASSERT_TRUE(program.Running()) << number;
    }
    EXPECT_EQ(program.Terminate(20s), 0);
    EXPECT_EQ(program.Stderr(), "");

    // Notices start with "## " and the time, trace lines with the time; the
    // empty line after every answer line stays. The wait for the port above
    // was a connection too: its notices come first. Times and the masters'
    // ports vary: shown as "T" and "P".
    const std::regex time("^(## )?\\d\\d:\\d\\d:\\d\\d "), peer("127\\.0\\.0\\.1:\\d+");
    std::vector<std::string> shown;
    for (const std::string& line : Lines(program.Stdout()))
        shown.push_back(
            std::regex_replace(std::regex_replace(line, time, "$1T "), peer, "127.0.0.1:P"));
    const std::string p = std::to_string(port);
    const std::vector<std::string> expected{
        "## T Role: TCP server on port " + p,
        "## T Options: Show raw data on, Show reads on, Don't answer off, Delay answer off (200 "
        "msec)",
        "## T Listening at port " + p,
        "## T Connected to 127.0.0.1:P",  // the probe
        "## T Listening at port " + p,
        "## T Connected to 127.0.0.1:P",  // the master
        "T <- Raw: 00 01 00 00 00 06 01 06 00 07 04 D2 ",
        "T <- 0001 Write Holding Register 7, value 04D2",  // function 6 writes no answer line
        "T -> Raw: 00 01 00 00 00 06 01 06 00 07 04 D2 ",
        "T <- Raw: 00 02 00 00 00 06 01 03 00 06 00 02 ",
        "T <- 0002 Read Holding Registers 6, count 2",
        "T -> Raw: 00 02 00 00 00 07 01 03 04 00 00 04 D2 ",
        "T -> 0002 0000 Read Holding Registers 6, data 04 00 00 04 D2 ",
        "",
        "## T Listening at port " + p,
    };
    EXPECT_EQ(shown, expected);
}

// Where the program ends by itself: its status, and standard error says why.
TEST(HeadlessProgram, EndsByItselfWithItsStatusAndSaysWhy) {
    const int taken = PickFreeTcpPort(), free = PickFreeTcpPort();
    ProgramProcess holder(TARVIK_PROGRAM, ServerIni(taken));  // another emulator on the port
    ASSERT_TRUE(holder.WaitUntilListening(taken, 30s));
    Launch badRegisters =
        Headless({"--registers", "bad.csv"});  // the command line wins over the file
    badRegisters.prepare = [](const std::string& folder) {
        std::ofstream(folder + "/bad.csv") << "table,index,value\nholding,6,70000\n";
    };
    const struct {
        const char* what;
        std::string ini;
        Launch launch;
        int status;
        std::vector<std::string> says;
        std::size_t lines = 1;  // of standard error; 0: any number
    } cases[] = {
        {"all ports taken", ServerIni(taken), Headless(), 1, {"All sockets are busy!\n"}},
        // Qt's own lines may come first.
        {"window without a display", ServerIni(free), Launch{}, 2, {"no display", "--headless"}, 0},
        {"--config unreadable",
         ServerIni(free),
         Headless({"--config", "/nonexistent/x.ini"}),
         2,
         {"/nonexistent/x.ini"}},
        {"unknown option", ServerIni(free), Headless({"--bogus"}), 2, {"Usage:"}, 0},
        {"bad registers file",
         ServerIni(free, "[Options]\r\nRegistersFile=regs.csv\r\n"),
         badRegisters,
         2,
         {"line 2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramProcess program(TARVIK_PROGRAM, c.ini, c.launch);
        EXPECT_EQ(program.WaitForExit(30s), c.status);
        const std::string said = program.Stderr();
        for (const std::string& part : c.says) {
            EXPECT_NE(said.find(part), std::string::npos) << said;
        }
        EXPECT_TRUE(c.lines == 0 || Lines(said).size() == c.lines) << said;
    }
}

TEST(HeadlessProgram, OptionsSectionGivesTheStartValues) {
    const int port = PickFreeTcpPort();
    // A size that does not read is told, and the program goes on.
    ProgramProcess program(TARVIK_PROGRAM,
                           ServerIni(port,
                                     "[Options]\r\nDontAnswer=1\r\nShowRawData=0\r\n"
                                     "TraceFileMaxMB=64M\r\n"));
    ASSERT_TRUE(program.WaitUntilListening(port, 30s));
    EXPECT_EQ(program.Stderr(),
              "Settings error: [Options] TraceFileMaxMB=64M: not a whole "
              "number of MiB (using 64)\n");
    TcpMaster master;
    ASSERT_TRUE(master.Connect(port));
    ASSERT_TRUE(master.Send(ReadRequest(1, 3, 0, 1)));
    EXPECT_EQ(master.ReceiveFrame(800ms), std::nullopt) << "held while Don't answer is on";
    EXPECT_NE(program.Stdout().find("Options: Show raw data off, Show reads on, Don't answer on"),
              std::string::npos)
        << program.Stdout();
}

// --config names the settings file, and a relative RegistersFile is taken
// from its folder and loaded before the port opens.
TEST(HeadlessProgram, VersionAndConfigNamesTheSettingsFile) {
    const int port = PickFreeTcpPort();
    Launch version;
    version.args = {"--version"};
    ProgramProcess probe(TARVIK_PROGRAM, "", version);
    ASSERT_EQ(probe.WaitForExit(10s), 0);
    EXPECT_EQ(probe.Stdout(), "TarvikSlave 0.2.0\n");

    const fs::path own = fs::path(probe.Folder()) / "own.ini";
    std::ofstream(own) << ServerIni(port, "[Options]\r\nRegistersFile=regs.csv\r\n");
    std::ofstream(fs::path(probe.Folder()) / "regs.csv")
        << "table,index,value\r\nholding,6,1234\r\ninput,0,65535\r\n";
    // The empty file beside the program opens no port: --config must win.
    ProgramProcess program(TARVIK_PROGRAM, "", Headless({"--config", own.string()}));
    ASSERT_TRUE(program.WaitUntilListening(port, 30s)) << program.Stderr();
    TcpMaster master;
    ASSERT_TRUE(master.Connect(port));
    ASSERT_TRUE(master.Send(ReadRequest(1, 3, 6, 1) + ReadRequest(2, 4, 0, 1)));
    EXPECT_EQ(master.ReceiveFrame(), Frame(1, 1, Bytes("03 02 04 D2")));
    EXPECT_EQ(master.ReceiveFrame(), Frame(2, 1, Bytes("04 02 FF FF")));
    EXPECT_EQ(program.Terminate(20s), 0);
}

// A FIFO in the place of the settings file (a blocking open would hang):
// start-up finishes with the defaults (client mode) and one line. The other
// kinds of file are the small-file reader's tests.
TEST(HeadlessProgram, SettingsFileThatIsNoPlainFileGivesTheDefaultsAndOneLine) {
    Launch launch = Headless();
    launch.prepare = [](const std::string& folder) {
        const fs::path ini = fs::path(folder) / "TarvikSlave.ini";
        fs::remove(ini);
        ::mkfifo(ini.c_str(), 0644);
    };
    ProgramProcess program(TARVIK_PROGRAM, "", launch);
    ASSERT_TRUE(program.WaitForStdout("## ", 30s)) << program.Stderr();
    EXPECT_NE(program.Stdout().find("Role: TCP client of :0"), std::string::npos);
    EXPECT_EQ(Lines(program.Stderr()).size(), 1u) << program.Stderr();
    EXPECT_NE(program.Stderr().find("TarvikSlave.ini"), std::string::npos);
    EXPECT_EQ(program.Terminate(20s), 0);
}

// A client whose master is not there tries again every 100 ms; the refusal
// is said once on standard error, not at every try.
TEST(HeadlessProgram, ClientTellsARefusedConnectionOnceOnStandardError) {
    const int port = PickFreeTcpPort();  // nothing listens there
    ProgramProcess program(TARVIK_PROGRAM,
                           "[General]\r\nSocketServer=0\r\nRemoteHost=127.0.0.1\r\n"
                           "RemotePort=" +
                               std::to_string(port) + "\r\n");
    ASSERT_TRUE(program.WaitForStdout("Trying to connect to 127.0.0.1", 30s)) << program.Stderr();
    WaitFor([&] { return !program.Stderr().empty(); }, 10s);
    std::this_thread::sleep_for(500ms);  // five more tries
    EXPECT_EQ(Lines(program.Stderr()),
              (std::vector<std::string>{"Socket error: Connection refused"}));
    EXPECT_EQ(program.Terminate(20s), 0);
}

TEST(HeadlessProgram, SigtermDuringStartUpEndsWithZero) {
    // Blocked until the program takes the signals over first thing in main:
    // the signal is then delivered during start-up, before any event loop.
    Launch launch = Headless();
    launch.blockTermination = true;
    ProgramProcess program(TARVIK_PROGRAM, ServerIni(PickFreeTcpPort()), launch);
    EXPECT_EQ(program.Terminate(20s), 0);
    EXPECT_EQ(program.Stdout(), "") << "ended before it served";
}

TEST(HeadlessProgram, StandardOutputNobodyReadsNeverStallsTheAnswers) {
    const int port = PickFreeTcpPort();
    Launch launch = Headless();
    launch.stdoutUnread = true;
    ProgramProcess program(TARVIK_PROGRAM, ServerIni(port), launch);
    ASSERT_TRUE(program.WaitUntilListening(port, 30s));
    TcpMaster master;
    ASSERT_TRUE(master.Connect(port));
    // Far more trace than a pipe holds (64 KiB) or the queue takes (8 MiB).
    for (int round = 0; round < 5; ++round) ServeBatch(master, 5000);
    master.Close();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(program.Terminate(20s), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s)
        << "queued lines abandoned within a second";
}

}  // namespace
}  // namespace tarvik::testing
