#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/ui/window_test_app.h"
#include "ui/status_bar_widget.h"
#include "ui/twips.h"

namespace tarvik {
namespace {

using test::WaitFor;
using test::WiredWindow;

// Place inside the parent, in twips, rounded to pixels as the window does.
void ExpectAt(const QWidget* widget, int left, int top, int width, int height) {
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->geometry(), QRect(Px(left), Px(top), Px(width), Px(height)))
        << widget->objectName().toStdString();
}

class WindowLayoutTest : public ::testing::Test {
protected:
    void ShowAndWait() {
        w.window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    }
    QWidget* Inner() { return w.window.centralWidget(); }
    int InnerHeight() { return Inner()->height() + w.window.StatusBar()->height(); }

    WiredWindow w;
};

TEST_F(WindowLayoutTest, ControlsOpenAtTheirDesignedPlaces) {
    const TarvikSlave_Main& m = w.window;
    ExpectAt(m.Frame(1), 60, 60, 4995, 915);
    ExpectAt(m.Frame(0), 60, 1020, 4995, 915);
    ExpectAt(m.Frame(2), 72, 1944, 4980, 1416);
    ExpectAt(m.VScroll_Input(), 4680, 120, 255, 735);
    ExpectAt(m.VScroll_Holding(), 4680, 120, 255, 735);
    ExpectAt(m.Check_HoldingRegister(0), 4140, 570, 195, 195);
    ExpectAt(m.Check_HoldingRegister(3), 3420, 570, 195, 195);
    ExpectAt(m.Check_HoldingRegister(4), 3060, 570, 195, 195);
    ExpectAt(m.Check_InputRegister(15), 180, 570, 195, 195);
    ExpectAt(m.Label(3), 180, 330, 915, 195);
    ExpectAt(m.Label(0), 3420, 330, 915, 195);
    ExpectAt(m.List_Holding(), 180, 252, 4656, 1020);
    ExpectAt(m.Check_Delay(), 5160, 120, 2004, 216);
    ExpectAt(m.Text_Delay(), 5400, 396, 915, 285);
    ExpectAt(m.Label(8), 6444, 468, 876, 156);
    ExpectAt(m.Check_ShowReads(), 5148, 1296, 1716, 216);

    EXPECT_EQ(m.Check_InputRegister(0)->parentWidget(), m.Frame(1));
    EXPECT_EQ(m.List_Holding()->parentWidget(), m.Frame(2));
}

TEST_F(WindowLayoutTest, ControlsOpenWithTheirCaptionsAndStartValues) {
    TarvikSlave_Main& m = w.window;
    EXPECT_EQ(m.windowTitle(), "Tarvik Slave Emulator");
    EXPECT_EQ(m.Frame(0)->title(), "Holding register 0 (Citect address 40001)");
    EXPECT_EQ(m.Frame(1)->title(), "Input register 0 (Citect address 30001)");
    EXPECT_EQ(m.Frame(2)->title(), "Holding registers (Citect address 40xxx)");
    EXPECT_EQ(m.Label(3)->text(), "b15-b12");
    EXPECT_EQ(m.Label(7)->text(), "b3-b0");
    EXPECT_EQ(m.Label(8)->text(), "msec");
    EXPECT_EQ(m.Menu_File()->title(), "&File");
    EXPECT_EQ(m.Menu_File_ClearDebugList()->text(), "&Clear Debug List");
    EXPECT_EQ(m.findChild<QCheckBox*>("Check_HoldingRegister(15)"), m.Check_HoldingRegister(15));
    EXPECT_EQ(m.VScroll_Holding()->maximum(), 511);
    EXPECT_EQ(m.VScroll_Input()->pageStep(), 1);

    // The options, as the engine reads them, follow the controls live.
    const OperatorOptions& options = m;
    EXPECT_TRUE(options.ShowRawData() && options.ShowReads());
    EXPECT_FALSE(options.DontAnswer() || options.DelayAnswer());
    EXPECT_EQ(options.DelayText(), "200");
    m.Check_ShowRaw()->setChecked(false);
    m.Check_Answer()->setChecked(true);
    m.Check_Delay()->setChecked(true);
    m.Text_Delay()->setText("1500 ms");
    EXPECT_FALSE(options.ShowRawData());
    EXPECT_TRUE(options.DontAnswer() && options.DelayAnswer());
    EXPECT_EQ(options.DelayText(), "1500 ms");
}

TEST_F(WindowLayoutTest, InnerAreaOpensAtDesignedSizeAndDebugListFillsItsLowerPart) {
    ShowAndWait();
    EXPECT_EQ(Inner()->width(), Px(7692));
    EXPECT_EQ(InnerHeight(), Px(6108));
    const StatusBarWidget* bar = w.window.StatusBar();
    EXPECT_EQ(bar->y() - Inner()->y(), Px(5856));
    EXPECT_EQ(bar->height(), Px(252));
    // 1944 + 1416 + 50 = 3410 from the top, 6108 - 252 - 3410 = 2446 high,
    // the inner width wide, left edge unmoved.
    ExpectAt(w.window.List_Debug(), 72, 3410, 7692, 2446);
}

TEST_F(WindowLayoutTest, GrowingTheWindowGrowsOnlyTheDebugList) {
    ShowAndWait();
    const QRect frame2 = w.window.Frame(2)->geometry();
    const QRect delay = w.window.Check_Delay()->geometry();
    const QRect before = w.window.List_Debug()->geometry();

    w.window.resize(w.window.width(), w.window.height() + Px(1000));
    ASSERT_TRUE(WaitFor([&] { return w.window.List_Debug()->height() != before.height(); }));

    const QRect after = w.window.List_Debug()->geometry();
    EXPECT_EQ(after.height(), before.height() + Px(1000));
    EXPECT_EQ(after.top(), before.top());
    EXPECT_EQ(after.width(), before.width());
    EXPECT_EQ(w.window.Frame(2)->geometry(), frame2);
    EXPECT_EQ(w.window.Check_Delay()->geometry(), delay);
}

TEST_F(WindowLayoutTest, TooSmallWindowKeepsTheDebugListHeight) {
    ShowAndWait();
    const QRect before = w.window.List_Debug()->geometry();
    w.window.resize(w.window.width(), w.window.menuBar()->height() + Px(3000));
    ASSERT_TRUE(WaitFor([&] { return InnerHeight() < Px(3410); }));
    const QRect after = w.window.List_Debug()->geometry();
    EXPECT_EQ(after.height(), before.height());
    EXPECT_EQ(after.top(), before.top());
}

TEST_F(WindowLayoutTest, MinimiseAndRestoreLeaveTheLayoutAsItWas) {
    ShowAndWait();
    QList<QRect> before;
    const auto children = w.window.findChildren<QWidget*>();
    for (const QWidget* child : children) before.append(child->geometry());

    w.window.showMinimized();
    QCoreApplication::processEvents();
    w.window.showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));

    for (qsizetype i = 0; i < children.size(); ++i) {
        EXPECT_EQ(children[i]->geometry(), before[i]) << children[i]->objectName().toStdString();
    }
    ExpectAt(w.window.List_Debug(), 72, 3410, 7692, 2446);
}

TEST_F(WindowLayoutTest, CheckBoxCaptionsFitTheirBoxesAtTheWindowFont) {
    EXPECT_EQ(w.window.font().pixelSize(), 9);
    for (QCheckBox* box : {w.window.Check_Delay(), w.window.Check_Answer(),
                           w.window.Check_ShowRaw(), w.window.Check_ShowReads()}) {
        EXPECT_LE(box->sizeHint().width(), box->width() + 2) << box->text().toStdString();
    }
    const QLabel* unit = w.window.Label(8);
    EXPECT_LE(unit->fontMetrics().horizontalAdvance(unit->text()), unit->width());
}

QColor PixelAt(const QImage& image, const QWidget* widget, const QWidget* window, QPoint inWidget) {
    return image.pixelColor(widget->mapTo(window, inWidget));
}

TEST_F(WindowLayoutTest, BackColorPaintsOnlyTheGapsBetweenControls) {
    ShowAndWait();
    TarvikSlave_Main& m = w.window;
    m.SetBackColor(kBackColorRed);
    EXPECT_EQ(m.BackColor(), kBackColorRed);
    QImage shot = m.grab().toImage();

    // The gap between the input pane and the options column.
    const QPoint gap(Px(5100), Px(600));
    EXPECT_EQ(PixelAt(shot, Inner(), &m, gap), QColor(Qt::red));
    // Inside the frame, the label, the list and the status bar: their own colours.
    EXPECT_NE(PixelAt(shot, m.Frame(2), &m, QPoint(Px(100), Px(1350))), QColor(Qt::red));
    EXPECT_NE(PixelAt(shot, m.Label(8), &m, QPoint(1, 1)), QColor(Qt::red));
    EXPECT_NE(PixelAt(shot, m.List_Debug(), &m, QPoint(20, 20)), QColor(Qt::red));
    EXPECT_NE(PixelAt(shot, m.StatusBar(), &m, QPoint(m.StatusBar()->width() / 2, 8)),
              QColor(Qt::red));
    EXPECT_NE(PixelAt(shot, m.menuBar(), &m, QPoint(m.menuBar()->width() - 5, 3)),
              QColor(Qt::red));

    m.SetBackColor(kBackColorGreen);
    shot = m.grab().toImage();
    EXPECT_EQ(PixelAt(shot, Inner(), &m, gap), QColor(0, 255, 0));
    EXPECT_NE(PixelAt(shot, m.Check_ShowRaw(), &m, QPoint(m.Check_ShowRaw()->width() - 2, 2)),
              QColor(0, 255, 0));

    m.SetBackColor(0x123456);  // blue, green, red bytes
    EXPECT_EQ(Inner()->palette().color(QPalette::Window), QColor(0x56, 0x34, 0x12));
}

}  // namespace
}  // namespace tarvik
