#include "slave/status_panels.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace tarvik {
namespace {

constexpr SocketState kConnected = SocketState::Connected;
constexpr SocketState kClosed = SocketState::Closed;

class RecordingPanels final : public StatusPanels {
public:
    std::string PanelText(int panel) const override {
        const auto it = texts.find(panel);
        return it == texts.end() ? std::string() : it->second;
    }
    void SetPanelText(int panel, std::string_view text) override {
        texts[panel] = std::string(text);
        writes.push_back(panel);
    }
    std::map<int, std::string> texts{{kReceivedPanel, "0"}, {kSentPanel, "0"}};
    std::vector<int> writes;
};

struct FakeSource final : StatusSource {
    SocketState DataState() const override { return state; }
    std::string DataRemoteHostIP() const override { return remoteIP; }
    std::string DataRemoteHost() const override { return remoteHost; }
    int32_t DataRemotePort() const override { return remotePort; }
    int32_t ListenLocalPort() const override { return localPort; }
    bool SocketServer() const override { return server; }
    int32_t PacketsReceived() const override { return received; }
    int32_t PacketsSent() const override { return sent; }

    SocketState state = kClosed;
    std::string remoteIP, remoteHost;
    int32_t remotePort = 0, localPort = 0, received = 0, sent = 0;
    bool server = false;
};

class RefreshStatusBarTest : public ::testing::Test {
protected:
    void Refresh() { RefreshStatusBar(panels, source, last); }
    std::string Connection() { return panels.texts[kConnectionPanel]; }

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
    source.state = kConnected;
    Refresh();
    EXPECT_EQ(Connection(), "Connected to 192.0.2.5:502");
}

TEST_F(RefreshStatusBarTest, CountersAreWrittenOnlyWhenTheirValueDiffers) {
    last = static_cast<int16_t>(kClosed);
    source.received = 3;
    Refresh();
    EXPECT_EQ(panels.texts[kReceivedPanel], "3");
    EXPECT_EQ(panels.writes, std::vector<int>{kReceivedPanel});
    Refresh();
    EXPECT_EQ(panels.writes.size(), 1u);

    source.received = 0;
    source.sent = 12;
    Refresh();
    EXPECT_EQ(panels.texts[kReceivedPanel], "0");
    EXPECT_EQ(panels.texts[kSentPanel], "12");
    EXPECT_EQ(panels.writes.size(), 3u);

    // An empty or non-numeric text counts as 0.
    panels.texts[kReceivedPanel] = "";
    panels.texts[kSentPanel] = "n/a";
    source.sent = 0;
    Refresh();
    EXPECT_EQ(panels.writes.size(), 3u);
}

TEST(PanelNumberTest, ReadsTheLeadingNumberWithoutOverflow) {
    EXPECT_EQ(PanelNumber(""), 0);
    EXPECT_EQ(PanelNumber("abc"), 0);
    EXPECT_EQ(PanelNumber("  7 packets"), 7);
    EXPECT_EQ(PanelNumber("-3"), -3);
    EXPECT_EQ(PanelNumber("2147483647"), 2147483647);
    EXPECT_GT(PanelNumber("99999999999999999999999999999"), 2147483647);
}

}  // namespace
}  // namespace tarvik
