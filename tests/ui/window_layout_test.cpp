#include <gtest/gtest.h>
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QListView>

#include "tests/ui/window_test_app.h"
#include "ui/twips.h"

namespace tarvik {
namespace {

// The debug list fills the inner area below the holding frame; growing the
// window grows only the list.
using WindowLayoutTest = test::WindowTest;

TEST_F(WindowLayoutTest, DebugListFillsTheLowerPartAndAloneGrowsWithTheWindow) {
    MainWindow& m = w.window;
    // 1944 + 1416 + 50 = 3410 from the top, 6108 - 252 - 3410 = 2446 high.
    EXPECT_EQ(m.DebugListView()->geometry(), QRect(Px(72), Px(3410), Px(7692), Px(2446)));

    const QRect frame2 = m.HoldingListFrame()->geometry();
    const QRect delay = m.DelayAnswerBox()->geometry();
    const QRect before = m.DebugListView()->geometry();
    m.resize(m.width(), m.height() + Px(1000));
    ASSERT_TRUE(test::WaitUntil([&] { return m.DebugListView()->height() != before.height(); }));

    const QRect after = m.DebugListView()->geometry();
    EXPECT_EQ(after.height(), before.height() + Px(1000));
    EXPECT_EQ(after.top(), before.top());
    EXPECT_EQ(after.width(), before.width());
    EXPECT_EQ(m.HoldingListFrame()->geometry(), frame2);
    EXPECT_EQ(m.DelayAnswerBox()->geometry(), delay);
}

// The options that change how the emulator answers are drawn amber while they
// are checked, and as before once cleared; the others never are.
TEST_F(WindowLayoutTest, DontAnswerAndDelayAnswerShowAmberWhileChecked) {
    MainWindow& m = w.window;
    // Far right of the box: past its indicator and its caption.
    const auto colour = [](QCheckBox* box) {
        const QImage image = box->grab().toImage();
        return image.pixelColor(image.width() - 2, image.height() / 2);
    };
    const QColor amber(255, 191, 0);
    for (QCheckBox* box : {m.DontAnswerBox(), m.DelayAnswerBox()}) {
        SCOPED_TRACE(box->text().toStdString());
        const QColor plain = colour(box);
        EXPECT_NE(plain, amber);
        box->click();
        EXPECT_EQ(colour(box), amber);
        box->click();
        EXPECT_EQ(colour(box), plain);
    }
    m.ShowRawBox()->click();
    EXPECT_NE(colour(m.ShowRawBox()), amber);
}

}  // namespace
}  // namespace tarvik
