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
#include <memory>

#include "ui/debug_list_model.h"
#include "ui/trace_model.h"

namespace tarvik {
namespace {

TEST(VisibleColumnsTest, OnlyTheCellsTouchingTheVisibleStretchAreDrawn) {
    // Cells 10 wide from x = left: column c covers [left + 10c, left + 10 + 10c).
    struct Case {
        double left;
        std::size_t length;
        double from, to;
        std::size_t first, end;  // first == end: nothing drawn
    } const cases[] = {
        {5, 1000, 0, 100, 0, 10},             // column 9 covers [95, 105): still touches 99
        {5, 1000, 47, 61, 4, 6},              // scrolled into the middle
        {-99995, 20000, 0, 300, 9999, 10030}, // 10000 columns right; [-5, 5) half in view
        {5, 3, 0, 300, 0, 3},                 // a line shorter than the view
        {5, 3, 100, 300, 0, 0},               // scrolled past its end
        {500, 3, 0, 300, 0, 0},               // starts right of the view
        {5, 0, 0, 300, 0, 0},                 // the empty line
        {5, 50, 40, 40, 0, 0},                // nothing visible
    };
    for (const Case& c : cases) {
        const ColumnSpan span = VisibleColumns(c.left, 10, c.length, c.from, c.to);
        if (c.first == c.end) {
            EXPECT_TRUE(span.Empty()) << c.left << " " << c.from;
        } else {
            EXPECT_EQ(span.First, c.first) << c.left << " " << c.from;
            EXPECT_EQ(span.End, c.end) << c.left << " " << c.from;
        }
    }
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
            case PdmDevicePixelRatio: return 1;
            case PdmDevicePixelRatioScaled: return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
            case PdmDepth: return 32;
            case PdmNumColors: return 0;
            default: return 96;  // dots per inch
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

}  // namespace
}  // namespace tarvik
