#include "bench/load/load_options.h"

#include <gtest/gtest.h>

#include "bench/load/load_report.h"
#include "bench/load/loopback_socket.h"

namespace tarvik::bench {
namespace {

ParsedOptions Parse(std::vector<std::string> args) { return ParseLoadOptions(args); }

TEST(LoadTarget, RefusesEveryHostOutsideLoopback) {
    for (const char* host : {"10.0.0.1", "192.168.1.10", "8.8.8.8", "128.0.0.1", "0.0.0.0",
                             "example.com", "", "127.0.0.1.example.com", "::1", "127.1"}) {
        const ParsedOptions parsed = Parse({"--host", host, "--port", "1502"});
        EXPECT_FALSE(parsed.options) << host;
        EXPECT_NE(parsed.error.find("127.0.0.0/8"), std::string::npos) << host;
    }
}

TEST(LoadTarget, AcceptsLoopbackAddressesAndLocalhost) {
    for (const char* host : {"127.0.0.1", "127.255.3.4", "localhost"}) {
        EXPECT_TRUE(Parse({"--host", host}).options) << host;
    }
    EXPECT_EQ(NumericHost("localhost"), "127.0.0.1");
}

TEST(LoadTarget, SocketLayerRefusesOutsideLoopbackOnItsOwn) {
    LoadOptions options;
    options.host = "10.1.2.3";
    std::string error;
    EXPECT_EQ(ConnectToTarget(options, error), -1);
    EXPECT_NE(error.find("127.0.0.0/8"), std::string::npos);
}

TEST(LoadOptions, DefaultsAreBoundedInCountAndTime) {
    const ParsedOptions parsed = Parse({});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->count, 10000u);
    EXPECT_DOUBLE_EQ(parsed.options->seconds, 10.0);
    EXPECT_EQ(parsed.options->depth, 1);
}

TEST(LoadOptions, ReadsAFullCommandLine) {
    const ParsedOptions parsed =
        Parse({"--port", "15020", "--proto", "udp", "--fn", "16", "--qty", "100", "--start", "7",
               "--unit", "9", "--conns", "4", "--depth", "16", "--count", "500", "--seconds", "2.5",
               "--timeout-ms", "250", "--no-prime", "--batch"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const LoadOptions& o = *parsed.options;
    EXPECT_EQ(o.port, 15020);
    EXPECT_EQ(o.transport, Transport::Udp);
    EXPECT_EQ(o.shape.function, 16);
    EXPECT_EQ(o.shape.quantity, 100);
    EXPECT_EQ(o.shape.start, 7);
    EXPECT_EQ(o.shape.unit, 9);
    EXPECT_EQ(o.connections, 4);
    EXPECT_EQ(o.depth, 16);
    EXPECT_EQ(o.count, 500u);
    EXPECT_DOUBLE_EQ(o.seconds, 2.5);
    EXPECT_EQ(o.timeoutMs, 250);
    EXPECT_FALSE(o.prime);
    EXPECT_TRUE(o.batch);
}

TEST(LoadOptions, RefusesUnboundedOrMalformedValues) {
    const std::vector<std::vector<std::string>> lines = {
        {"--count", "0"},        {"--count", "100000001"}, {"--seconds", "0"},
        {"--seconds", "901"},    {"--seconds", "nan"},     {"--seconds", "inf"},
        {"--seconds", "1s"},     {"--conns", "0"},         {"--conns", "65"},
        {"--depth", "257"},      {"--port", "0"},          {"--port", "70000"},
        {"--qty", "0"},          {"--qty", "12x"},         {"--proto", "sctp"},
        {"--fn", "5"},           {"--fn", "16", "--qty", "124"},
        {"--start", "65530", "--qty", "10"},               {"--depth"},
        {"--bogus", "1"},
    };
    for (const auto& line : lines) {
        const ParsedOptions parsed = Parse(line);
        EXPECT_FALSE(parsed.options) << line[0] << (line.size() > 1 ? " " + line[1] : "");
        EXPECT_FALSE(parsed.error.empty());
    }
}

TEST(LoadOptions, SingleRegisterWriteAlwaysHasQuantityOne) {
    const ParsedOptions parsed = Parse({"--fn", "6", "--qty", "50"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->shape.quantity, 1);
}

TEST(LoadReport, PrintsOneJsonLineWithEveryFigure) {
    LoadOptions options;
    options.port = 1502;
    options.depth = 16;
    LoadResult result;
    result.ok = 1000;
    result.wrong = 2;
    result.missing = 3;
    result.seconds = 0.5;
    for (int i = 0; i < 99; ++i) result.latency.Record(40);
    result.latency.Record(900);
    EXPECT_EQ(FormatReport(options, result),
              "{\"target\":\"127.0.0.1:1502\",\"proto\":\"tcp\",\"fn\":3,\"qty\":10,\"conns\":1,"
              "\"depth\":16,\"refill\":\"window\",\"ok\":1000,\"wrong\":2,\"missing\":3,\"seconds\":0.500,\"rps\":2000.0,"
              "\"p50_us\":40,\"p99_us\":40,\"max_us\":900}");
}

}  // namespace
}  // namespace tarvik::bench
