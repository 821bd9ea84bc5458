#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <stdlib.h>

#include "bench/window-host/host_options.h"
#include "bench/window-host/loop_figures.h"
#include "config/startup_settings.h"
#include "config/text_helpers.h"

namespace tarvik::bench {
namespace {

ParsedHostOptions Parse(std::vector<std::string> args) { return ParseHostOptions(args); }

TEST(WindowHostOptionsTest, TheRunLoadLineIsUnderstood) {
    const auto parsed = Parse({"--port", "15020", "--proto", "udp", "--trace", "off"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->port, 15020);
    EXPECT_TRUE(parsed.options->udp);
    EXPECT_FALSE(parsed.options->trace);
    // Without a bound of its own the host still ends by itself.
    EXPECT_GT(parsed.options->seconds, 0.0);
    EXPECT_LE(parsed.options->seconds, kMaxHostSeconds);

    const auto defaults = Parse({});
    ASSERT_TRUE(defaults.options);
    EXPECT_EQ(defaults.options->port, 0);
    EXPECT_FALSE(defaults.options->udp);
    EXPECT_TRUE(defaults.options->trace);

    const auto bounded = Parse({"--seconds", "2.5", "--settle-ms", "0"});
    ASSERT_TRUE(bounded.options);
    EXPECT_DOUBLE_EQ(bounded.options->seconds, 2.5);
    EXPECT_EQ(bounded.options->settleMs, 0);
    EXPECT_TRUE(Parse({"--help"}).help);
}

TEST(WindowHostOptionsTest, BadLinesAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {"--port", "65536"}, {"--port", "-1"},     {"--port", "15x"},    {"--port", ""},
        {"--port"},          {"--proto", "sctp"},  {"--trace", "yes"},   {"--seconds", "0"},
        {"--seconds", "-3"}, {"--seconds", "1e9"}, {"--seconds", "nan"}, {"--seconds", "90000"},
        {"--settle-ms", "60001"}, {"--verbose"},   {"15020"},
    };
    for (const auto& args : bad) {
        const auto parsed = Parse(args);
        EXPECT_FALSE(parsed.options) << args.front();
        EXPECT_FALSE(parsed.error.empty()) << args.front();
    }
}

// The settings text as the program itself reads it back.
StartupSettings ReadBack(const std::string& text) {
    std::string folder = (std::filesystem::temp_directory_path() / "tarvik_host_XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return {};
    folder += "/";
    std::ofstream(folder + "TarvikSlave.ini", std::ios::binary) << text;
    const StartupSettings settings = ReadStartupSettings(SettingsFile(folder));
    std::filesystem::remove_all(folder);
    return settings;
}

TEST(WindowHostOptionsTest, SettingsFileServesExactlyTheOnePortAsked) {
    HostOptions tcp;
    tcp.port = 15020;
    const StartupSettings server = ReadBack(BenchSettingsText(tcp));
    EXPECT_TRUE(server.SocketServer);
    EXPECT_FALSE(server.SimulatePAT);
    const PortEntry first = ParsePortEntry(GetField(server.LocalPorts, 0, '\0'));
    EXPECT_EQ(first.Port, 15020);
    EXPECT_FALSE(first.IsUdp());
    EXPECT_EQ(GetField(server.LocalPorts, 1, '\0'), "");

    HostOptions udp;
    udp.port = 0;
    udp.udp = true;
    const StartupSettings datagrams = ReadBack(BenchSettingsText(udp));
    const PortEntry entry = ParsePortEntry(GetField(datagrams.LocalPorts, 0, '\0'));
    EXPECT_EQ(entry.PortText, "0");
    EXPECT_TRUE(entry.IsUdp());
}

TEST(LoopFiguresTest, TickGapsCountOnlyWhatCameLateBeyondThePeriod) {
    TickGaps gaps(10.0);
    EXPECT_EQ(gaps.MaxLateMs(), 0.0);
    EXPECT_EQ(gaps.LateP99Ms(), 0.0);
    for (int i = 0; i < 98; ++i) gaps.Add(10.0);
    gaps.Add(8.0);    // early: not late at all
    gaps.Add(75.0);   // one stall of 65 ms
    EXPECT_EQ(gaps.Count(), 100u);
    EXPECT_DOUBLE_EQ(gaps.MinGapMs(), 8.0);
    EXPECT_DOUBLE_EQ(gaps.MaxGapMs(), 75.0);
    EXPECT_DOUBLE_EQ(gaps.MaxLateMs(), 65.0);
    EXPECT_EQ(gaps.CountLateOver(50.0), 1u);
    EXPECT_EQ(gaps.CountLateOver(65.0), 0u);
    // One tick in a hundred is the 1% the p99 leaves out.
    EXPECT_DOUBLE_EQ(gaps.LateP99Ms(), 0.0);
    gaps.Add(30.0);
    EXPECT_DOUBLE_EQ(gaps.LateP99Ms(), 20.0);
    gaps.Reset();
    EXPECT_EQ(gaps.Count(), 0u);
}

TEST(LoopFiguresTest, PerSecondPeakFindsTheBusiestWholeSecond) {
    PerSecondPeak paints;
    for (int i = 0; i < 60; ++i) paints.Add(i * 16.0);         // second 0: 60 (last at 944)
    for (int i = 0; i < 70; ++i) paints.Add(1000.0 + i * 5);   // second 1: 70
    paints.Add(5000.0);
    EXPECT_EQ(paints.Total(), 131u);
    EXPECT_EQ(paints.Peak(), 70u);
}

TEST(LoopFiguresTest, CounterDisplayOneFrameBehindAFloodIsCurrent) {
    Staleness received;
    // The counter climbs 100 per look; the display shows a value from
    // between the last two looks.
    for (int look = 1; look <= 100; ++look) received.Observe(look * 10.0, look * 100 - 50, look * 100);
    EXPECT_DOUBLE_EQ(received.MaxStaleMs(), 0.0);
}

TEST(LoopFiguresTest, CounterDisplayLeftBehindIsStaleSinceTheCounterPassedIt) {
    Staleness received;
    received.Observe(0, 0, 0);
    received.Observe(10, 5, 10);      // passed 5 on the way to 10: right
    received.Observe(20, 5, 20);      // stale since 10
    received.Observe(1210, 5, 900);
    EXPECT_DOUBLE_EQ(received.MaxStaleMs(), 1200.0);
    received.Observe(1220, 900, 900);
    received.Observe(1230, 900, 0);   // a new connection zeroes the counter
    received.Observe(1240, 900, 3);   // and the display still shows the old count
    received.Observe(1540, 900, 40);
    EXPECT_DOUBLE_EQ(received.MaxStaleMs(), 1200.0);
    received.Observe(2740, 900, 50);
    EXPECT_DOUBLE_EQ(received.MaxStaleMs(), 1510.0);
}

TEST(LoopFiguresTest, JsonLineKeepsOrderAndEscapesText) {
    JsonLine line;
    line.Add("n", uint64_t{42}).Add("ms", 1.25).Add("whole", 3.0).Add("what", "Q\"x\\y\n");
    EXPECT_EQ(line.Text(), R"({"n":42,"ms":1.250,"whole":3,"what":"Q\"x\\y\u000a"})");
    JsonLine odd;
    odd.Add("inf", std::numeric_limits<double>::infinity());
    EXPECT_EQ(odd.Text(), R"({"inf":null})");
}

}  // namespace
}  // namespace tarvik::bench
