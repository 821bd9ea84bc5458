// The status-bar counters under a flood of packets: their text is current
// after every write, while the screen repaints them at most once a frame.
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <string>

#include "tests/ui/window_test_app.h"
#include "ui/debug_list_model.h"
#include "ui/status_bar_widget.h"
#include "ui/twips.h"

namespace tarvik {
namespace {

using test::RunEventsFor;
using test::WaitFor;

// Counts the events of one type a widget receives.
class EventCounter final : public QObject {
public:
    EventCounter(QObject& watched, QEvent::Type type) : type_(type) { watched.installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_) ++count;
        return false;
    }

private:
    QEvent::Type type_;
};

class StatusBarRepaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        bar.resize(600, bar.height());
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
        RunEventsFor(50);
    }

    StatusBarWidget bar;
};

TEST_F(StatusBarRepaintTest, FloodOfCountsIsCurrentAtOnceAndRepaintedAtMostOnceAFrame) {
    // Counts of the length the flood will have are on screen already.
    bar.SetPanelText(kReceivedPanel, "100000");
    bar.SetPanelText(kSentPanel, "100000");
    RunEventsFor(3 * ScreenFrameIntervalMs());
    EventCounter received(*bar.Panel(kReceivedPanel), QEvent::Paint);
    EventCounter sent(*bar.Panel(kSentPanel), QEvent::Paint);
    EventCounter barLayouts(bar, QEvent::LayoutRequest);

    // Packets as they come from the event loop, one arrival per pass.
    QElapsedTimer clock;
    clock.start();
    int count = 100000;
    while (clock.elapsed() < 300 && count < 500000) {
        ++count;
        bar.SetPanelText(kReceivedPanel, std::to_string(count));
        bar.SetPanelText(kSentPanel, std::to_string(count));
        ASSERT_EQ(bar.Panel(kReceivedPanel)->text().toStdString(), std::to_string(count));
        ASSERT_EQ(bar.PanelText(kSentPanel), std::to_string(count));
        QCoreApplication::processEvents();
    }
    const qint64 elapsed = clock.elapsed();
    RunEventsFor(3 * ScreenFrameIntervalMs());
    ASSERT_GT(count - 100000, 1000) << "too few writes to tell";

    const int frames = static_cast<int>(elapsed / ScreenFrameIntervalMs()) + 3;
    EXPECT_LE(received.count, frames);
    EXPECT_LE(sent.count, frames);
    EXPECT_GE(received.count, 1);
    // The last count reached the screen: nothing is left held back.
    EXPECT_TRUE(bar.Panel(kReceivedPanel)->updatesEnabled());
    EXPECT_TRUE(bar.Panel(kSentPanel)->updatesEnabled());
    // Counts of one length never make the bar lay itself out again.
    EXPECT_EQ(barLayouts.count, 0);
}

TEST_F(StatusBarRepaintTest, LongCountWidensItsPanelAndAShortOneGoesBackToTheDesignedWidth) {
    QLabel& sent = *bar.Panel(kSentPanel);
    bar.SetPanelText(kSentPanel, "2147483647");
    const int textWidth = sent.fontMetrics().horizontalAdvance(sent.text());
    ASSERT_GT(textWidth, Px(400));
    ASSERT_TRUE(WaitFor([&] { return sent.width() >= textWidth; })) << sent.width();

    bar.SetPanelText(kSentPanel, "0");
    ASSERT_TRUE(WaitFor([&] { return sent.width() == Px(400); })) << sent.width();
    EXPECT_EQ(sent.minimumWidth(), Px(400));
    EXPECT_EQ(bar.PanelText(kSentPanel), "0");
}

TEST_F(StatusBarRepaintTest, ConnectionTextIsShownAtOnceWhateverTheCounters) {
    bar.SetPanelText(kReceivedPanel, "5");
    bar.SetPanelText(kReceivedPanel, "6");  // held back for the frame
    bar.SetPanelText(kConnectionPanel, "Connected to 127.0.0.1:40001");
    EXPECT_EQ(bar.Panel(kConnectionPanel)->text(), "Connected to 127.0.0.1:40001");
    EXPECT_TRUE(bar.Panel(kConnectionPanel)->updatesEnabled());
}

}  // namespace
}  // namespace tarvik
