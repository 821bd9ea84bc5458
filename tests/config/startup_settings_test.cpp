#include "config/startup_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "temp_folder.h"

namespace tarvik {
namespace {

using namespace std::string_literals;

class StartupSettingsTest : public ::testing::Test {
protected:
    StartupSettings ReadWith(const std::string& content) {
        folder_.Write(kSettingsFileName, content);
        return ReadStartupSettings(settings_);
    }

    testing::TempFolder folder_;
    SettingsFile settings_{folder_.Path()};
};

TEST_F(StartupSettingsTest, ReadsAServerFileWithWindowsOrLinuxLineEnds) {
    for (const char* eol : {"\r\n", "\n"}) {
        SCOPED_TRACE(::testing::PrintToString(std::string(eol)));
        const std::string n = eol;
        const StartupSettings s = ReadWith(
            "[General]" + n + "SocketServer=1" + n + "RemoteHost=10.0.0.5" + n +
            "RemotePort=1502.5abc" + n + "SimulatePAT=1" + n + n + "[LocalPorts]" + n +
            "502=Main" + n + "; 600=old" + n + "503" + n + "504=Test,U" + n);
        EXPECT_TRUE(s.SocketServer);
        EXPECT_EQ(s.RemoteHost, "10.0.0.5");
        EXPECT_EQ(s.RemotePort, 1502);  // leading number, halves to even
        EXPECT_TRUE(s.SimulatePAT);
        EXPECT_EQ(s.LocalPorts, "502=Main\0" "503\0" "504=Test,U\0"s);
    }
}

TEST_F(StartupSettingsTest, FlagsNeedExactlyOneAndClientModeSkipsThePortList) {
    for (const char* value : {"0", "01", "true", "1.0", ""}) {
        SCOPED_TRACE(value);
        const StartupSettings s = ReadWith("[General]\r\nSocketServer="s + value +
                                           "\r\nSimulatePAT=" + value +
                                           "\r\n[LocalPorts]\r\n502\r\n");
        EXPECT_FALSE(s.SocketServer);
        EXPECT_FALSE(s.SimulatePAT);
        EXPECT_EQ(s.LocalPorts, "");
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
