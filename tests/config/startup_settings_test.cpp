#include "config/startup_settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "config/start_options.h"
#include "temp_folder.h"

namespace tarvik {
namespace {

using namespace std::string_literals;

class StartupSettingsTest : public ::testing::Test {
protected:
    StartupSettings ReadWith(const std::string& content) {
        folder_.Write(kSettingsFileName, content);
        return ReadStartupSettings(SettingsFile(folder_.Path()));
    }
    StartOptions OptionsWith(const std::string& content) {
        folder_.Write(kSettingsFileName, content);
        return ReadStartOptions(SettingsFile(folder_.Path()));
    }

    testing::TempFolder folder_;
};

TEST_F(StartupSettingsTest, ReadsAServerFileWithWindowsOrLinuxLineEnds) {
    for (const char* eol : {"\r\n", "\n"}) {
        SCOPED_TRACE(::testing::PrintToString(std::string(eol)));
        const std::string n = eol;
        const StartupSettings s = ReadWith(
            "[General]" + n + "SocketServer=1" + n + "RemoteHost=10.0.0.5" + n +
            "RemotePort=1502.5abc" + n + "SimulatePAT=1" + n + "StandardWriteAnswer=1" + n +
            "BindAddress = 127.0.0.1" + n + n + "[LocalPorts]" + n +
            "502=Main" + n + "; 600=old" + n + "503" + n + "504=Test,U" + n);
        EXPECT_TRUE(s.SocketServer);
        EXPECT_EQ(s.RemoteHost, "10.0.0.5");
        EXPECT_EQ(s.RemotePort, 1502);  // leading number, halves to even
        EXPECT_TRUE(s.SimulatePAT);
        EXPECT_TRUE(s.StandardWriteAnswer);
        EXPECT_EQ(s.BindAddress, "127.0.0.1");
        EXPECT_EQ(s.LocalPorts, "502=Main\0" "503\0" "504=Test,U\0"s);
    }
}

TEST_F(StartupSettingsTest, FlagsNeedExactlyOneAndClientModeSkipsThePortList) {
    for (const char* value : {"0", "01", "true", "1.0", ""}) {
        SCOPED_TRACE(value);
        const StartupSettings s = ReadWith("[General]\r\nSocketServer="s + value +
                                           "\r\nSimulatePAT=" + value +
                                           "\r\nStandardWriteAnswer=" + value +
                                           "\r\n[LocalPorts]\r\n502\r\n");
        EXPECT_FALSE(s.SocketServer);
        EXPECT_FALSE(s.SimulatePAT);
        EXPECT_FALSE(s.StandardWriteAnswer);
        EXPECT_EQ(s.LocalPorts, "");
    }
}

TEST_F(StartupSettingsTest, OptionsGiveStartValuesAndKeepTheWindowsOtherwise) {
    struct Case {
        std::string lines;
        std::function<void(StartOptions&)> expect;
    } const cases[] = {
        {"DontAnswer=1\nDelayAnswer=1\nShowRawData=0\nShowReads=0", [](StartOptions& o) {
             o.DontAnswer = o.DelayAnswer = true;
             o.ShowRawData = o.ShowReads = false;
         }},
        // only exactly 1 or 0 (after the reader's trimming and unquoting) counts
        {"DontAnswer=true\nDelayAnswer=01\nShowRawData=\nShowReads=no", [](StartOptions&) {}},
        {"dontanswer = \"1\"\nSHOWREADS=' 0'", [](StartOptions& o) { o.DontAnswer = true; }},
        // any delay text that is present, the empty one too, cut to 2047
        {"DelayText=", [](StartOptions& o) { o.DelayText = ""; }},
        {"DelayText= 1e3 ms ", [](StartOptions& o) { o.DelayText = "1e3 ms"; }},
        {"DelayText=" + std::string(3000, '9'),
         [](StartOptions& o) { o.DelayText = std::string(2047, '9'); }},
        {"TraceFile=trace.log\nRegistersFile=/srv/plant.csv\nTraceFileMaxMB=1",
         [](StartOptions& o) {
             o.TraceFile = "trace.log";
             o.RegistersFile = "/srv/plant.csv";
             o.TraceFileMaxMB = 1;
         }},
        {"TraceFileMaxMB=0128", [](StartOptions& o) { o.TraceFileMaxMB = 128; }},
        {"TraceFileMaxMB=2147483647", [](StartOptions& o) { o.TraceFileMaxMB = 2147483647; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.substr(0, 80));
        StartOptions wanted;
        c.expect(wanted);
        const StartOptions o = OptionsWith("[General]\nDontAnswer=1\n[Options]\n" + c.lines + "\n");
        EXPECT_EQ(o.ShowRawData, wanted.ShowRawData);
        EXPECT_EQ(o.ShowReads, wanted.ShowReads);
        EXPECT_EQ(o.DontAnswer, wanted.DontAnswer);
        EXPECT_EQ(o.DelayAnswer, wanted.DelayAnswer);
        EXPECT_EQ(o.DelayText, wanted.DelayText);
        EXPECT_EQ(o.TraceFile, wanted.TraceFile);
        EXPECT_EQ(o.TraceFileMaxMB, wanted.TraceFileMaxMB);
        EXPECT_EQ(o.RegistersFile, wanted.RegistersFile);
    }
    for (const char* size : {"0", "-5", "+5", "1.5", "6 4", "", "2147483648", "big"}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(OptionsWith("[Options]\nTraceFileMaxMB="s + size).TraceFileMaxMB, 64);
    }
}

TEST(ParsePortEntry, CutsPortTitleAndFlag) {
    struct Case {
        const char* line;
        const char* portText;
        int32_t port;
        const char* title;
        bool udp;
    } const cases[] = {
        {"503", "503", 503, "", false},
        {"504=Test,U", "504", 504, "Test,U", true},
        {"  505 =  Spare , u  ", "505", 505, "Spare , u", true},
        {"\t506", "\t506", 506, "", false},  // only blanks are trimmed
        {"507=a=b,U", "507", 507, "a", false},
        {"508=x,UDP", "508", 508, "x,UDP", false},
        {"509=,U", "509", 509, ",U", true},
        {"510,U", "510,U", 510, "", false},
        {"  =Title", "", 0, "Title", false},
        {"502.5=x", "502.5", 502, "x", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const PortEntry e = ParsePortEntry(c.line);
        EXPECT_EQ(e.PortText, c.portText);
        EXPECT_EQ(e.Port, c.port);
        EXPECT_EQ(e.Title, c.title);
        EXPECT_EQ(e.IsUdp(), c.udp);
    }
    EXPECT_EQ(ParsePortEntry("505=Spare, u ").Flag, "U");
}

}  // namespace
}  // namespace tarvik
