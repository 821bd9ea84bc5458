#include "slave/status_panels.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/core_rig.h"

namespace tarvik::testing {
namespace {

struct StatusPanelWriterTest : ::testing::Test {
    void Refresh() { writer.Refresh(panels, view); }
    std::string Connection() { return panels.PanelText(kConnectionPanel); }

    RecordingPanels panels;
    StatusView view;
    StatusPanelWriter writer;
};

TEST_F(StatusPanelWriterTest, ClientShowsConfiguredHostUntilConnected) {
    Refresh();
    EXPECT_EQ(Connection(), "Trying to connect to :0");

    view.remoteHost = "plc.example";
    view.remoteHostIP = "192.0.2.5";
    view.remotePort = 502;
    Refresh();
    EXPECT_EQ(Connection(), "Trying to connect to plc.example:502");
    view.state = SocketState::Connected;
    Refresh();
    EXPECT_EQ(Connection(), "Connected to 192.0.2.5:502");
}

// The listener keeps the port of the last entry tried (or 0 before any):
// a server without an open port must not claim to listen on it.
TEST_F(StatusPanelWriterTest, ServerWithoutAnOpenPortSaysSo) {
    view.socketServer = true;
    for (const int32_t port : {0, 502}) {
        view.localPort = port;
        Refresh();
        EXPECT_EQ(Connection(), "No port open");
    }
    view.portOpen = true;
    Refresh();
    EXPECT_EQ(Connection(), "Listening at port 502");
}

TEST_F(StatusPanelWriterTest, EachPanelIsWrittenOnlyWhenWhatItShowsDiffers) {
    Refresh();
    EXPECT_EQ(panels.writes, (std::vector<int>{kReceivedPanel, kSentPanel, kConnectionPanel}));
    panels.writes.clear();
    Refresh();
    EXPECT_TRUE(panels.writes.empty());

    view.packetsReceived = 3;
    Refresh();
    EXPECT_EQ(panels.PanelText(kReceivedPanel), "3");
    EXPECT_EQ(panels.writes, std::vector<int>{kReceivedPanel});

    view.packetsReceived = 0;
    view.packetsSent = 12;
    Refresh();
    EXPECT_EQ(panels.PanelText(kReceivedPanel), "0");
    EXPECT_EQ(panels.PanelText(kSentPanel), "12");
    EXPECT_EQ(panels.writes.size(), 3u);

    // Forgotten (a new start), every panel is written again.
    writer.Forget();
    Refresh();
    EXPECT_EQ(panels.writes.size(), 6u);
}

}  // namespace
}  // namespace tarvik::testing
