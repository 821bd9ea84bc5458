// The debug trace as a Qt list model. Every change of the TraceModel arms a
// one-frame timer; the rows follow the TraceModel at most once per screen
// frame, so a flood of traffic costs one repaint per frame, not one per line.
// A row's text is made only when it is painted or asked for.
#pragma once

#include <QAbstractItemDelegate>
#include <QAbstractListModel>
#include <QFont>
#include <QTimer>
#include <cstdint>
#include <string>
#include <string_view>

#include "trace/trace_model.h"

namespace tarvik {

// One frame of the primary screen, in whole milliseconds: no display of the
// window changes more often than this.
int ScreenFrameIntervalMs();

class DebugListModel final : public QAbstractListModel, private TraceListener {
    Q_OBJECT
public:
    explicit DebugListModel(TraceModel& trace, QObject* parent = nullptr);
    ~DebugListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The line a row shows, made now; empty outside the rows. The view holds
    // until the next call.
    std::string_view LineText(int row) const;
    // Its length, without making it; 0 outside the rows.
    std::size_t LineLength(int row) const;
    // Its columns [first, end), making only those.
    std::string LinePart(int row, std::size_t first, std::size_t end) const;
    // Length of the longest line among the rows, in characters.
    std::size_t LongestLineLength() const { return longestLine_; }

    // Empties the trace ("&Clear Debug List").
    void Clear();

    // Brings the rows up to the TraceModel now, with incremental row
    // removals and insertions; the frame timer calls it after a change.
    void Sync();

    // Delay between a change and the sync that shows it: one screen frame.
    int FrameIntervalMs() const { return frameTimer_.interval(); }

signals:
    // The writers selected the line at `row`; the view selects it and
    // scrolls it into sight.
    void writerSelectionMoved(int row);

private:
    void TraceRecorded(const TraceEntry&) override {}
    // The trace's row of a shown row, when the trace still holds its line.
    bool TraceRow(int row, std::size_t& at) const;
    void TraceChanged() override { ScheduleSync(); }
    void ScheduleSync();

    TraceModel& trace_;
    QTimer frameTimer_;
    // Rows shown hold the lines with serials shownFirst_ .. shownFirst_ + shownCount_ - 1.
    uint64_t shownFirst_ = 0;
    int shownCount_ = 0;
    uint64_t shownRevision_ = 0;
    std::size_t longestLine_ = 0;
    // Serial of the line the writers last selected; -1 when none.
    int64_t writerSelectedSerial_ = -1;
    mutable std::string lineText_;  // LineText's last line
};

// Columns [First, End) of a line that fall inside a visible stretch.
struct ColumnSpan {
    std::size_t First = 0;
    std::size_t End = 0;
    bool Empty() const { return End <= First; }
};

// The columns of a line of `length` characters, its first cell starting at
// `lineLeft` with cells `cell` wide, that touch [visibleLeft, visibleRight).
ColumnSpan VisibleColumns(double lineLeft, double cell, std::size_t length, double visibleLeft,
                          double visibleRight);

// Paints the debug list's rows. Every character takes one cell of the same
// width, so the columns in view follow from the scroll position alone, and
// only they are drawn: a dump line of 64 KiB costs a repaint no more than a
// line that fits the list. The row's width is that of the longest line, for
// the horizontal scroll bar.
class DebugLineDelegate final : public QAbstractItemDelegate {
    Q_OBJECT
public:
    explicit DebugLineDelegate(const DebugListModel& model, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Width of one character cell in `font`.
    double CellWidth(const QFont& font) const { return MetricsFor(font).cell; }

private:
    struct Metrics {
        double cell = 0.0;        // the widest printable ASCII character
        bool fixedPitch = false;  // every printable ASCII character is that wide
        double ascent = 0.0;
        double height = 0.0;
    };
    const Metrics& MetricsFor(const QFont& font) const;

    const DebugListModel& model_;
    mutable QFont metricsFont_;
    mutable Metrics metrics_;
    mutable bool haveMetrics_ = false;
};

}  // namespace tarvik
