// What the debug list's delegate draws: only the columns in view, each at
// its column's place, however long the line.
#include <QFontDatabase>
#include <QListView>
#include <QPaintEngine>
#include <QPaintDevice>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "ui/debug_list_model.h"
#include "ui/trace_model.h"

namespace tarvik {
namespace {

TEST(VisibleColumnsTest, OnlyTheCellsTouchingTheVisibleStretchAreDrawn) {
    // Cells 10 wide from x = 5: column c covers [5 + 10c, 15 + 10c).
    ColumnSpan span = VisibleColumns(5, 10, 1000, 0, 100);
    EXPECT_EQ(span.First, 0u);
    EXPECT_EQ(span.End, 10u);  // column 9 covers [95, 105): still touches 99

    span = VisibleColumns(5, 10, 1000, 47, 61);  // scrolled into the middle
    EXPECT_EQ(span.First, 4u);
    EXPECT_EQ(span.End, 6u);

    span = VisibleColumns(-99995, 10, 20000, 0, 300);  // scrolled 10000 columns right
    EXPECT_EQ(span.First, 9999u);  // [-5, 5): its right half is in view
    EXPECT_EQ(span.End, 10030u);

    span = VisibleColumns(5, 10, 3, 0, 300);  // a line shorter than the view
    EXPECT_EQ(span.First, 0u);
    EXPECT_EQ(span.End, 3u);

    EXPECT_TRUE(VisibleColumns(5, 10, 3, 100, 300).Empty());  // scrolled past its end
    EXPECT_TRUE(VisibleColumns(500, 10, 3, 0, 300).Empty());  // starts right of the view
    EXPECT_TRUE(VisibleColumns(5, 10, 0, 0, 300).Empty());    // the empty line
    EXPECT_TRUE(VisibleColumns(5, 10, 50, 40, 40).Empty());   // nothing visible
}

// A paint device that keeps every piece of text drawn on it, with its place.
class TextRecorder final : public QPaintDevice {
public:
    struct Piece {
        double x;
        QString text;
    };

    std::vector<Piece> pieces;

    QPaintEngine* paintEngine() const override { return engine_.get(); }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
            case PdmWidth: return 100000;
            case PdmHeight: return 100;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY: return 96;
            case PdmDevicePixelRatio: return 1;
            case PdmDevicePixelRatioScaled: return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
            case PdmDepth: return 32;
            case PdmNumColors: return 0;
            default: return 100;
        }
    }

private:
    class Engine final : public QPaintEngine {
    public:
        explicit Engine(TextRecorder& owner) : QPaintEngine(AllFeatures), owner_(owner) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF& p, const QTextItem& item) override {
            owner_.pieces.push_back({p.x(), item.text()});
        }
        Type type() const override { return User; }

    private:
        TextRecorder& owner_;
    };

    std::unique_ptr<Engine> engine_ = std::make_unique<Engine>(*this);
};

class DebugLinePaintTest : public ::testing::Test {
protected:
    DebugLinePaintTest() {
        font_.setPixelSize(9);
        view_.setModel(&model_);
        view_.setItemDelegate(&delegate_);
        view_.setFont(font_);
        view_.resize(300, 120);
    }

    void SetUp() override {
        view_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));
    }

    // Writes a request line with `text` and brings the rows up to it.
    void Write(const std::string& text) {
        model_.TraceRequest(MbapHeader{}, text);
        model_.Sync();
    }

    // Paints row 0 as the view would with the line's start `scrolled`
    // pixels left of the viewport; returns the text drawn, in order of place,
    // and the place of its first character.
    std::pair<std::string, double> PaintRow(int scrolled) {
        const double cell = delegate_.CellWidth(font_);
        QStyleOptionViewItem option;
        option.initFrom(&view_);
        option.widget = &view_;
        option.font = font_;
        option.rect = QRect(-scrolled, 0, 1 << 22, 14);
        TextRecorder recorder;
        {
            QPainter painter(&recorder);
            delegate_.paint(&painter, option, model_.index(0, 0));
        }
        std::sort(recorder.pieces.begin(), recorder.pieces.end(),
                  [](const auto& a, const auto& b) { return a.x < b.x; });
        std::string drawn;
        for (const auto& piece : recorder.pieces) drawn += piece.text.toStdString();
        const double first = recorder.pieces.empty() ? NAN : recorder.pieces.front().x;
        EXPECT_GT(cell, 0.0);
        return {drawn, first};
    }

    QFont font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    TraceModel trace_{[] { return std::string("14:03:27"); }};
    DebugListModel model_{trace_};
    DebugLineDelegate delegate_{model_};
    QListView view_;
};

TEST_F(DebugLinePaintTest, ALineThatFitsIsDrawnWhole) {
    Write("Read Holding Registers 0, count 2");
    const auto [drawn, x] = PaintRow(0);
    EXPECT_EQ(drawn, "14:03:27 <- 0000 Read Holding Registers 0, count 2");
    EXPECT_LT(x, 10.0);
}

TEST_F(DebugLinePaintTest, ADumpOf64KiBCostsOnlyTheColumnsInView) {
    model_.TraceRaw("<-", Packet(65536, '\xAB'));
    model_.Sync();
    const std::string line(model_.LineText(0));
    ASSERT_EQ(line.size(), 8 + 1 + 2 + 6 + 3 * 65536u);
    const double cell = delegate_.CellWidth(font_);
    const std::size_t inView = static_cast<std::size_t>(view_.viewport()->width() / cell) + 2;

    const auto [start, startX] = PaintRow(0);
    EXPECT_LE(start.size(), inView);
    EXPECT_EQ(start, line.substr(0, start.size()));

    // Scrolled right by 100000 columns: the columns there, at their place.
    const int scrolled = static_cast<int>(std::lround(100000 * cell));
    const auto [middle, middleX] = PaintRow(scrolled);
    ASSERT_FALSE(middle.empty());
    EXPECT_LE(middle.size(), inView);
    const double lineLeft = startX;  // where column 0 sits unscrolled
    const auto column = static_cast<std::size_t>(std::lround((middleX + scrolled - lineLeft) / cell));
    EXPECT_LE(middleX, 0.5);
    EXPECT_GT(middleX, -cell - 0.5);
    EXPECT_EQ(middle, line.substr(column, middle.size()));
}

TEST_F(DebugLinePaintTest, ScrolledPastTheEndDrawsNoText) {
    Write("short");
    const auto [drawn, x] = PaintRow(5000);
    EXPECT_EQ(drawn, "");
}

TEST_F(DebugLinePaintTest, RowsAreOneLineHighAndAsWideAsTheLongestLine) {
    Write("a");
    QStyleOptionViewItem option;
    option.initFrom(&view_);
    option.widget = &view_;
    option.font = font_;
    const QSize shortRows = delegate_.sizeHint(option, model_.index(0, 0));
    Write(std::string(5000, 'x'));
    const QSize longRows = delegate_.sizeHint(option, model_.index(0, 0));  // any row: uniform
    const double cell = delegate_.CellWidth(font_);
    EXPECT_EQ(longRows.height(), shortRows.height());
    EXPECT_LT(shortRows.height(), 2 * QFontMetrics(font_).height());
    EXPECT_NEAR(longRows.width() - shortRows.width(), cell * (5000 - 1), 2.0);
}

}  // namespace
}  // namespace tarvik
