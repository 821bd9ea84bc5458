#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/ui/window_test_app.h"
#include "ui/status_bar_widget.h"
#include "ui/twips.h"

namespace tarvik {
namespace {

TEST(StatusBarWidgetTest, PanelsCarryHintsWidthsAlignmentAndStartTexts) {
    StatusBarWidget bar;
    const char* hints[] = {"Connection state", "Received packets", "Sent packets", "", ""};
    const int minTwips[] = {1440, 400, 400, 800, 800};
    for (int p = 1; p <= 5; ++p) {
        const QLabel* panel = bar.Panel(p);
        EXPECT_EQ(panel->toolTip(), hints[p - 1]);
        EXPECT_EQ(panel->minimumWidth(), Px(minTwips[p - 1]));
        EXPECT_EQ(panel->alignment() & Qt::AlignHorizontal_Mask,
                  p == 1 ? Qt::AlignLeft : Qt::AlignHCenter);
    }
    EXPECT_EQ(bar.PanelText(1), "");
    EXPECT_EQ(bar.PanelText(2), "0");
    EXPECT_EQ(bar.PanelText(3), "0");
    bar.SetPanelText(6, "ignored");
    EXPECT_EQ(bar.PanelText(6), "");

    // Host names come from a file: shown as typed, never as markup.
    bar.SetPanelText(1, "Trying to connect to <b>x</b>:0");
    EXPECT_EQ(bar.Panel(1)->textFormat(), Qt::PlainText);
}

TEST(StatusBarWidgetTest, DateAndTimePanelsFollowTheSystemClock) {
    StatusBarWidget bar;
    const QDate today = QDate::currentDate();
    const QString date = bar.Panel(kDatePanel)->text();
    EXPECT_TRUE(date == QLocale::system().toString(today, QLocale::ShortFormat) ||
                date == QLocale::system().toString(today.addDays(-1), QLocale::ShortFormat));
    bar.Panel(kTimePanel)->setText("stale");
    bar.UpdateClock();
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d$").match(bar.Panel(kTimePanel)->text()).hasMatch());
}

TEST(StatusBarWidgetTest, ConnectionPanelTakesTheWidthTheOthersLeave) {
    test::WiredWindow w;
    w.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    const QLabel* connection = w.window.StatusBar()->Panel(1);
    const int before = connection->width();
    EXPECT_GT(before, Px(1440));
    w.window.resize(w.window.width() + 80, w.window.height());
    ASSERT_TRUE(test::WaitFor([&] { return connection->width() >= before + 80; }));
}

struct ServerSource final : StatusSource {
    int DataState() const override { return state; }
    std::string DataRemoteHostIP() const override { return "127.0.0.1"; }
    std::string DataRemoteHost() const override { return ""; }
    int32_t DataRemotePort() const override { return 40001; }
    int32_t ListenLocalPort() const override { return 1502; }
    bool SocketServer() const override { return true; }
    int32_t PacketsReceived() const override { return received; }
    int32_t PacketsSent() const override { return 0; }
    int state = 2;
    int32_t received = 0;
};

TEST(WindowStatusRefreshTest, WindowRefreshesItsBarOnceASourceIsAttached) {
    test::WiredWindow w;
    StatusRefresh& refresh = w.window;
    refresh.RefreshStatusBar();
    EXPECT_EQ(w.window.StatusBar()->PanelText(1), "");

    ServerSource source;
    w.window.AttachStatusSource(source);
    w.window.SetLastSocketState(kNoSocketStateShown);
    refresh.RefreshStatusBar();
    EXPECT_EQ(w.window.StatusBar()->PanelText(1), "Listening at port 1502");
    EXPECT_EQ(w.window.LastSocketState(), 2);

    source.state = 7;
    source.received = 3;
    refresh.RefreshStatusBar();
    EXPECT_EQ(w.window.StatusBar()->PanelText(1), "Connected to 127.0.0.1:40001");
    EXPECT_EQ(w.window.StatusBar()->PanelText(2), "3");
}

}  // namespace
}  // namespace tarvik
