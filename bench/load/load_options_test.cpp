#include "bench/load/load_options.h"

#include <gtest/gtest.h>

#include "bench/load/loopback_socket.h"

namespace tarvik::bench {
namespace {

TEST(LoadTarget, RefusesEveryHostOutsideLoopback) {
    for (const char* host : {"10.0.0.1", "192.168.1.10", "8.8.8.8", "128.0.0.1", "0.0.0.0",
                             "example.com", "", "127.0.0.1.example.com", "::1", "127.1"}) {
        const ParsedOptions parsed = ParseLoadOptions({"--host", host, "--port", "1502"});
        EXPECT_FALSE(parsed.options) << host;
        EXPECT_NE(parsed.error.find("127.0.0.0/8"), std::string::npos) << host;
    }
    for (const char* host : {"127.0.0.1", "127.255.3.4", "localhost"}) {
        EXPECT_TRUE(ParseLoadOptions({"--host", host}).options) << host;
    }
    EXPECT_EQ(NumericHost("localhost"), "127.0.0.1");

    // The socket layer refuses on its own too.
    LoadOptions options;
    options.host = "10.1.2.3";
    std::string error;
    EXPECT_EQ(ConnectToTarget(options, error), -1);
    EXPECT_NE(error.find("127.0.0.0/8"), std::string::npos);
}

}  // namespace
}  // namespace tarvik::bench
