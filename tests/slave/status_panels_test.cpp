#include "slave/status_panels.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/core_rig.h"

namespace tarvik::testing {
namespace {

struct FakeSource final : StatusSource {
    SocketState DataState() const override { return state; }
    std::string DataRemoteHostIP() const override { return remoteIP; }
    std::string DataRemoteHost() const override { return remoteHost; }
    int32_t DataRemotePort() const override { return remotePort; }
    int32_t ListenLocalPort() const override { return localPort; }
    bool SocketServer() const override { return server; }
    int32_t PacketsReceived() const override { return received; }
    int32_t PacketsSent() const override { return sent; }

    SocketState state = SocketState::Closed;
    std::string remoteIP, remoteHost;
    int32_t remotePort = 0, localPort = 0, received = 0, sent = 0;
    bool server = false;
};

struct RefreshStatusBarTest : ::testing::Test {
    void Refresh() { RefreshStatusBar(panels, source, last); }
    std::string Connection() { return panels.PanelText(kConnectionPanel); }

    RecordingPanels panels;
    FakeSource source;
    int16_t last = kNoSocketStateShown;
};

TEST_F(RefreshStatusBarTest, ClientShowsConfiguredHostUntilConnected) {
    Refresh();
    EXPECT_EQ(Connection(), "Trying to connect to :0");

    source.remoteHost = "plc.example";
    source.remoteIP = "192.0.2.5";
    source.remotePort = 502;
    last = kNoSocketStateShown;
    Refresh();
    EXPECT_EQ(Connection(), "Trying to connect to plc.example:502");
    source.state = SocketState::Connected;
    Refresh();
    EXPECT_EQ(Connection(), "Connected to 192.0.2.5:502");
}

TEST_F(RefreshStatusBarTest, CountersAreWrittenOnlyWhenTheirValueDiffers) {
    last = static_cast<int16_t>(SocketState::Closed);
    source.received = 3;
    Refresh();
    EXPECT_EQ(panels.PanelText(kReceivedPanel), "3");
    EXPECT_EQ(panels.writes, std::vector<int>{kReceivedPanel});
    Refresh();
    EXPECT_EQ(panels.writes.size(), 1u);

    source.received = 0;
    source.sent = 12;
    Refresh();
    EXPECT_EQ(panels.PanelText(kReceivedPanel), "0");
    EXPECT_EQ(panels.PanelText(kSentPanel), "12");
    EXPECT_EQ(panels.writes.size(), 3u);

    // An empty or non-numeric text counts as 0.
    panels.texts[kReceivedPanel - 1] = "";
    panels.texts[kSentPanel - 1] = "n/a";
    source.sent = 0;
    Refresh();
    EXPECT_EQ(panels.writes.size(), 3u);
}

TEST(PanelNumberTest, ReadsTheLeadingNumberWithoutOverflow) {
    const std::pair<const char*, int64_t> cases[] = {
        {"", 0}, {"abc", 0}, {"  7 packets", 7}, {"-3", -3}, {"2147483647", 2147483647}};
    for (const auto& [text, number] : cases) EXPECT_EQ(PanelNumber(text), number) << text;
    EXPECT_GT(PanelNumber("99999999999999999999999999999"), 2147483647);
}

}  // namespace
}  // namespace tarvik::testing
