// The program where the world around it misbehaves (a full disk is the trace
// tests' own, as is a FIFO in the trace file's place): standard output
// closed, logrotate moving the file, a message box nobody answers, a bind address of
// any kind. The slave keeps answering and the trace keeps every line or
// counts it.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "testkit/raw_master.h"
#include "tests/support/program_process.h"

namespace tarvik::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Every line of a trace file whole: empty, dated, or the reopen notice,
// which is timed as on standard output (a raw line may be long: no regular
// expression on all of it).
void ExpectWholeLines(const std::string& text) {
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    const std::regex dated("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d ");
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        if (line.find(" Trace file reopened: ") == 11) continue;
        const std::string head = line.substr(line.rfind("## ", 0) == 0 ? 3 : 0, 20);
        ASSERT_TRUE(std::regex_match(head, dated)) << line.substr(0, 80);
    }
}

TEST(HostileEnvironment, ClosedStandardOutputFailsAloneAndTheSlaveAnswersOn) {
    const int port = PickFreeTcpPort();
    Launch launch = Headless({"--trace-file", "t.txt"});
    launch.stdoutClosed = true;
    ProgramProcess program(TARVIK_PROGRAM, ServerIni(port), launch);
    ASSERT_TRUE(program.WaitUntilListening(port, 30s)) << program.Stderr();
    for (int connection = 0; connection < 2; ++connection) {
        TcpMaster master;
        ASSERT_TRUE(master.Connect(port));
        ServeBatch(master, 50);
    }
    EXPECT_EQ(program.Terminate(20s), 0);
    EXPECT_EQ(program.Stderr(),
              "Trace output standard output failed: Broken pipe; lines are counted until it "
              "recovers\n");
    EXPECT_EQ(Count(FileText(fs::path(program.Folder()) / "t.txt"), "Read Holding Registers"), 200u)
        << "the trace file does not share standard output's fate";
}

// logrotate's default: the file renamed to PATH.1 and a new one created.
void RotateAway(const fs::path& file) {
    fs::rename(file, file.string() + ".1");
    std::ofstream(file).flush();
}

TEST(HostileEnvironment, RotationByOthersKeepsEveryLineWhereItWasWritten) {
    const int port = PickFreeTcpPort();
    for (const bool hangUp : {true, false}) {
        SCOPED_TRACE(hangUp ? "SIGHUP after the rotation" : "no signal, our own turn-over due");
        // --quiet: the trace goes to the file alone; a relative path is taken
        // from the settings file's folder.
        ProgramProcess program(TARVIK_PROGRAM,
                               ServerIni(port, "[Options]\r\nTraceFileMaxMB=" +
                                                   std::string(hangUp ? "0" : "1") + "\r\n"),
                               Headless({"--quiet", "--trace-file", "trace.txt"}));
        ASSERT_TRUE(program.WaitUntilListening(port, 30s));
        const fs::path file = fs::path(program.Folder()) / "trace.txt";
        TcpMaster master;
        ASSERT_TRUE(master.Connect(port));
        ServeBatch(master, 10);
        ASSERT_TRUE(WaitFor([&] { return Count(FileText(file), "Read Holding") == 20; }));
        RotateAway(file);
        if (hangUp) {
            program.Signal(SIGHUP);
            ASSERT_TRUE(program.WaitForStdout("Trace file reopened: ", 20s));
            ServeBatch(master, 10);
        } else {
            // Past 1 MiB: the file it holds is full, but no longer at the path.
            ServeBatch(master, 6000, 4);
        }
        EXPECT_EQ(program.Terminate(20s), 0);

        const std::string moved = FileText(file.string() + ".1"), now = FileText(file);
        ExpectWholeLines(moved);
        ExpectWholeLines(now);
        EXPECT_EQ(Count(moved, "Read Holding"), 20u) << "nothing overwritten";
        EXPECT_EQ(Count(program.Stdout(), "Raw:"), 0u) << "--quiet keeps the trace off";
        if (hangUp) {
            const std::string notice = "Trace file reopened: " + file.string();
            const std::regex heading("^## \\d\\d:\\d\\d:\\d\\d " + notice + "\n");
            EXPECT_TRUE(std::regex_search(now, heading)) << now.substr(0, 200);
            EXPECT_EQ(Count(program.Stdout(), notice), 1u);
            EXPECT_EQ(Count(now, "Read Holding"), 20u);
            EXPECT_EQ(Count(moved, "Read Input"), 0u);
        } else {
            EXPECT_GE(moved.size(), 1u << 20);
            EXPECT_LT(moved.size(), (1u << 20) + 200)
                << "turned over at the first line end past it";
            EXPECT_EQ(Count(moved + now, "Read Input"), 12000u);
            EXPECT_FALSE(fs::exists(file.string() + ".1.1"));
        }
    }
}

// The window's start-up boxes wait for OK; SIGTERM ends the program instead.
TEST(HostileEnvironment, SigtermEndsTheWindowWhileAStartUpBoxIsShown) {
    const int taken = PickFreeTcpPort(), free = PickFreeTcpPort();
    ProgramProcess holder(TARVIK_PROGRAM, ServerIni(taken));
    ASSERT_TRUE(holder.WaitUntilListening(taken, 30s));
    const struct {
        const char* box;
        std::string ini;
        int status;
    } cases[] = {
        {"cannot load registers", ServerIni(free, "[Options]\r\nRegistersFile=bad.csv\r\n"), 0},
        {"All sockets are busy!", ServerIni(taken), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        Launch offscreen;
        offscreen.display = Launch::Display::Offscreen;
        offscreen.prepare = [](const std::string& folder) {
            std::ofstream(folder + "/bad.csv") << "table,index,value\nholding,6,70000\n";
        };
        ProgramProcess window(TARVIK_PROGRAM, c.ini, offscreen);
        std::this_thread::sleep_for(1500ms);
        ASSERT_TRUE(window.Running()) << "the box must wait for OK";
        TcpMaster master;
        EXPECT_FALSE(master.Connect(free)) << "no port opens while the box is up";
        EXPECT_EQ(window.Terminate(20s), c.status);
    }
}

TEST(HostileEnvironment, BindAddressIsTriedAsItIsAndOnlyARealFailureIsReported) {
    const struct {
        const char* address;
        const char* connectTo;  // nullptr: no port may open
        std::string stderrText;
    } cases[] = {
        {"127.0.0.2", "127.0.0.2", ""},  // not an interface's address, yet local
        // TEST-NET-1: never an address of this machine.
        {"192.0.2.1", nullptr,
         "BindAddress=192.0.2.1: no port can open on it: Cannot assign requested address\n"
         "All sockets are busy!\n"},
        {"pump.local", nullptr,
         "BindAddress=pump.local is not an IPv4 address: no port can open\n"
         "All sockets are busy!\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        const int port = PickFreeTcpPort();
        ProgramProcess program(TARVIK_PROGRAM,
                               ServerIni(port, "BindAddress=" + std::string(c.address) + "\r\n"));
        if (c.connectTo == nullptr) {
            EXPECT_EQ(program.WaitForExit(30s), 1);
        } else {
            ASSERT_TRUE(WaitFor([&] { return TcpMaster().Connect(port, c.connectTo); }));
            TcpMaster master;
            ASSERT_TRUE(master.Connect(port, c.connectTo));
            ServeBatch(master, 1);
            EXPECT_EQ(program.Terminate(20s), 0);
        }
        EXPECT_EQ(program.Stderr(), c.stderrText);
    }
}

}  // namespace
}  // namespace tarvik::testing
