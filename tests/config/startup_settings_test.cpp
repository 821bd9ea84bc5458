// What start-up takes from the settings file: the General keys, the port
// list and its entries, the start values of the operator options, and the
// leading number a delay or port text is read as.
#include "config/startup_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "config/start_options.h"
#include "config/text_helpers.h"
#include "temp_folder.h"

namespace tarvik {
namespace {

using namespace std::string_literals;
using testing::SettingsOf;

// The flags need exactly "1"; the port list is read in server mode only.
TEST(ReadStartupSettings, ReadsTheGeneralKeysAndInServerModeThePortList) {
    for (const char* value : {"1", "0", "01", "true", "1.0", ""}) {
        SCOPED_TRACE(value);
        const bool on = value == "1"s;
        const StartupSettings s = ReadStartupSettings(
            SettingsOf("[General]\nSocketServer="s + value + "\nSimulatePAT=" + value +
                       "\nStandardWriteAnswer=" + value +
                       "\nRemoteHost=10.0.0.5\nRemotePort=1502.5abc\nBindAddress = 127.0.0.1\n\n"
                       "[LocalPorts]\n502=Main\n; 600=old\n503\n504=Test,U\n"));
        EXPECT_EQ(s.SocketServer, on);
        EXPECT_EQ(s.SimulatePAT, on);
        EXPECT_EQ(s.StandardWriteAnswer, on);
        std::vector<PortEntry> entries;
        if (on) {
            entries = {{"502", 502, "Main", ""}, {"503", 503, "", ""}, {"504", 504, "Test,U", "U"}};
        }
        EXPECT_EQ(s.LocalPorts, entries);
        EXPECT_EQ(s.RemoteHost, "10.0.0.5");
        EXPECT_EQ(s.RemotePort, 1502);  // leading number, halves to even
        EXPECT_EQ(s.BindAddress, "127.0.0.1");
    }
}

auto Fields(const StartOptions& o) {
    return std::tuple(o.ShowRawData, o.ShowReads, o.DontAnswer, o.DelayAnswer, o.DelayText,
                      o.TraceFile, o.TraceFileMaxMB, o.RegistersFile);
}

// Each row changes the window's own start values as it expects; a key in
// General is not an option.
TEST(ReadStartOptions, GiveStartValuesAndKeepTheWindowsOtherwise) {
    const struct {
        std::string lines;
        void (*expect)(StartOptions&);
    } cases[] = {
        {"DontAnswer=1\nDelayAnswer=1\nShowRawData=0\nShowReads=0",
         [](StartOptions& o) {
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
        // No turn-over of its own, for logrotate.
        {"TraceFileMaxMB=0", [](StartOptions& o) { o.TraceFileMaxMB = 0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines.substr(0, 80));
        StartOptions wanted;
        c.expect(wanted);
        const StartOptions read =
            ReadStartOptions(SettingsOf("[General]\nDontAnswer=1\n[Options]\n" + c.lines + "\n"));
        EXPECT_EQ(Fields(read), Fields(wanted));
        EXPECT_TRUE(read.Warnings.empty());
    }
}

// A size that does not read keeps the default, and says so once.
TEST(ReadStartOptions, BadTraceFileSizeFallsBackWithAWarning) {
    for (const char* size : {"-5", "+5", "1.5", "6 4", "", "2147483648", "big", "64MB"}) {
        SCOPED_TRACE(size);
        const StartOptions read =
            ReadStartOptions(SettingsOf("[Options]\nTraceFileMaxMB="s + size));
        EXPECT_EQ(read.TraceFileMaxMB, 64);
        EXPECT_EQ(read.Warnings,
                  std::vector<std::string>{"Settings error: [Options] TraceFileMaxMB="s + size +
                                           ": not a whole number of MiB (using 64)"});
    }
    EXPECT_TRUE(ReadStartOptions(SettingsOf("[Options]\nShowReads=0\n")).Warnings.empty());
}

TEST(ParsePortEntry, CutsPortTitleAndFlag) {
    const struct {
        const char *line, *portText;
        int32_t port;
        const char* title;
        bool udp;
    } cases[] = {
        {"503", "503", 503, "", false},
        {"504=Test,U", "504", 504, "Test,U", true},
        {"  505 =  Spare , u  ", "505", 505, "Spare , u", true},
        {"\t506", "\t506", 506, "", false},  // only blanks are trimmed
        {"507=a=b,U", "507", 507, "a", false},
        {"508=x,UDP", "508", 508, "x,UDP", false},
        {"509=,U", "509", 509, ",U", true},
        {"510,U", "510,U", 510, "", false},
        {"511==b,U", "511", 511, "", false},  // an empty field counts
        {"  =Title", "", 0, "Title", false},
        {"503.5=x", "503.5", 504, "x", false},  // a half to the even neighbour
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const PortEntry e = ParsePortEntry(c.line);
        EXPECT_EQ(std::tuple(e.PortText, e.Port, e.Title, e.IsUdp()),
                  std::tuple(std::string(c.portText), c.port, std::string(c.title), c.udp));
    }
    EXPECT_EQ(ParsePortEntry("505=Spare, u ").Flag, "U");
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

// The rounded column is what a delay or a port becomes.
TEST(LeadingNumber, ReadsDelayAndPortTextsAndRoundsHalfToEvenWithinTheRange) {
    struct Case {
        std::string text;
        double number;
        int32_t rounded;
    } const cases[] = {
        {"-50", -50, -50},
        {"abc", 0, 0},
        {"", 0, 0},
        {"1e3", 1000, 1000},
        {"&H64", 100, 100},
        {"150ms", 150, 150},
        {"12.5", 12.5, 12},
        {"13.5", 13.5, 14},
        {"1D2", 100, 100},
        {"&O17", 15, 15},
        {"+7", 7, 7},
        {".5", 0.5, 0},
        {"-0.5", -0.5, 0},
        {"-2.5", -2.5, -2},
        {"2.4999", 2.4999, 2},
        // blanks, tabs and line feeds vanish anywhere; other controls stop
        {" \t5\n0 2 ", 502, 502},
        {"& H 6 4", 100, 100},
        {"5\r02", 5, 5},
        {"5\0"
         "02"s,
         5, 5},
        // the first character that cannot continue the number ends it
        {"1.2.3", 1.2, 1},
        {"1e3.5", 1000, 1000},
        {"1e+", 1, 1},
        {"--5", 0, 0},
        {"&H", 0, 0},
        {"&O78", 7, 7},
        {"&X12", 0, 0},
        // beyond the 32-bit range the whole number clamps
        {"2147483647.5", 2147483647.5, kMax},
        {"2147483648", 2147483648.0, kMax},
        {"-2147483649", -2147483649.0, kMin},
        {"1e999", kInf, kMax},
        {"-1e999", -kInf, kMin},
        {"0e999999", 0, 0},
        {"1" + std::string(400, '0') + "e-10", kInf, kMax},
        {"0." + std::string(400, '0') + "1e405", 1e4, 10000},
        {"&H" + std::string(300, 'F'), kInf, kMax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text.substr(0, 40)));
        EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.number);
        EXPECT_EQ(RoundHalfEvenToInt32(LeadingNumber(c.text)), c.rounded);
    }
    EXPECT_EQ(RoundHalfEvenToInt32(std::nan("")), 0);
}

}  // namespace
}  // namespace tarvik
