#include "ui/debug_list_model.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <cmath>

namespace tarvik {
namespace {

constexpr double kFallbackRefreshHz = 60.0;
// Far wider than any dump (64 KiB gives 196608 characters), and still well
// inside what a widget's coordinates can hold.
constexpr double kMaxRowWidth = 1 << 24;

int64_t SelectedSerial(const TraceModel& trace) {
    const int row = trace.SelectedRow();
    return row < 0 ? -1 : static_cast<int64_t>(trace.FirstSerial()) + row;
}

}  // namespace

int ScreenFrameIntervalMs() {
    double hz = kFallbackRefreshHz;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        if (screen->refreshRate() >= 1.0) hz = screen->refreshRate();
    }
    return std::max(1, static_cast<int>(std::lround(1000.0 / hz)));
}

DebugListModel::DebugListModel(TraceModel& trace, QObject* parent)
    : QAbstractListModel(parent),
      trace_(trace),
      shownFirst_(trace.FirstSerial()),
      shownCount_(static_cast<int>(trace.LineCount())),
      shownRevision_(trace.Revision()),
      writerSelectedSerial_(SelectedSerial(trace)) {
    frameTimer_.setSingleShot(true);
    frameTimer_.setInterval(ScreenFrameIntervalMs());
    connect(&frameTimer_, &QTimer::timeout, this, &DebugListModel::Sync);
    trace_.AddListener(*this);
}

DebugListModel::~DebugListModel() { trace_.RemoveListener(*this); }

int DebugListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownCount_;
}

QVariant DebugListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const std::string_view line = LineText(index.row());
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

bool DebugListModel::TraceRow(int row, std::size_t& at) const {
    if (row < 0 || row >= shownCount_) return false;
    // Lines never change once written, so a row maps to its line by serial
    // even while the trace has moved on ahead of the rows.
    const uint64_t serial = shownFirst_ + static_cast<uint64_t>(row);
    if (serial < trace_.FirstSerial()) return false;
    const uint64_t fromFirst = serial - trace_.FirstSerial();
    if (fromFirst >= trace_.LineCount()) return false;
    at = static_cast<std::size_t>(fromFirst);
    return true;
}

std::string_view DebugListModel::LineText(int row) const {
    std::size_t at = 0;
    if (!TraceRow(row, at)) return {};
    lineText_ = trace_.Line(at);
    return lineText_;
}

std::size_t DebugListModel::LineLength(int row) const {
    std::size_t at = 0;
    return TraceRow(row, at) ? trace_.LineLength(at) : 0;
}

std::string DebugListModel::LinePart(int row, std::size_t first, std::size_t end) const {
    std::size_t at = 0;
    return TraceRow(row, at) ? trace_.LinePart(at, first, end) : std::string();
}

void DebugListModel::Clear() { trace_.Clear(); }

void DebugListModel::ScheduleSync() {
    if (!frameTimer_.isActive()) frameTimer_.start();
}

void DebugListModel::Sync() {
    frameTimer_.stop();
    if (trace_.Revision() == shownRevision_) return;

    const uint64_t first = trace_.FirstSerial();
    const uint64_t end = first + trace_.LineCount();
    const uint64_t shownEnd = shownFirst_ + static_cast<uint64_t>(shownCount_);

    if (first < shownFirst_ || end < shownEnd) {
        // The numbering went back: nothing shown can be trusted.
        beginResetModel();
        shownFirst_ = first;
        shownCount_ = static_cast<int>(end - first);
        endResetModel();
    } else {
        const int dropped = static_cast<int>(
            std::min<uint64_t>(first - shownFirst_, static_cast<uint64_t>(shownCount_)));
        if (dropped > 0) {
            beginRemoveRows(QModelIndex(), 0, dropped - 1);
            shownFirst_ += static_cast<uint64_t>(dropped);
            shownCount_ -= dropped;
            endRemoveRows();
        }
        // Lines that came and went between two syncs are never shown.
        if (shownCount_ == 0) shownFirst_ = first;
        const uint64_t added = end - (shownFirst_ + static_cast<uint64_t>(shownCount_));
        if (added > 0) {
            beginInsertRows(QModelIndex(), shownCount_, shownCount_ + static_cast<int>(added) - 1);
            shownCount_ += static_cast<int>(added);
            endInsertRows();
        }
    }
    shownRevision_ = trace_.Revision();
    longestLine_ = 0;
    for (int row = 0; row < shownCount_; ++row) {
        longestLine_ = std::max(longestLine_, LineLength(row));
    }

    // The writers only ever select a new line. When the trace drops its
    // selection (the line was trimmed or cleared) the row is gone from the
    // view as well, and a line the operator picked stays picked.
    const int64_t selected = SelectedSerial(trace_);
    if (selected != writerSelectedSerial_) {
        writerSelectedSerial_ = selected;
        if (selected >= 0) emit writerSelectionMoved(trace_.SelectedRow());
    }
}

ColumnSpan VisibleColumns(double lineLeft, double cell, std::size_t length, double visibleLeft,
                          double visibleRight) {
    if (length == 0 || cell <= 0.0 || visibleRight <= visibleLeft) return {};
    const double lineRight = lineLeft + cell * static_cast<double>(length);
    if (visibleRight <= lineLeft || visibleLeft >= lineRight) return {};
    const double first = std::max(0.0, std::floor((visibleLeft - lineLeft) / cell));
    const double end = std::ceil((visibleRight - lineLeft) / cell);
    ColumnSpan span;
    span.First = static_cast<std::size_t>(first);
    span.End = std::min(length, static_cast<std::size_t>(std::max(end, 0.0)));
    return span;
}

DebugLineDelegate::DebugLineDelegate(const DebugListModel& model, QObject* parent)
    : QAbstractItemDelegate(parent), model_(model) {}

const DebugLineDelegate::Metrics& DebugLineDelegate::MetricsFor(const QFont& font) const {
    if (haveMetrics_ && font == metricsFont_) return metrics_;
    const QFontMetricsF fm(font);
    double widest = 0.0;
    double narrowest = 0.0;
    for (char c = ' '; c <= '~'; ++c) {
        const double advance = fm.horizontalAdvance(QLatin1Char(c));
        widest = c == ' ' ? advance : std::max(widest, advance);
        narrowest = c == ' ' ? advance : std::min(narrowest, advance);
    }
    metrics_.cell = std::max(widest, 1.0);
    metrics_.fixedPitch = widest == narrowest;
    metrics_.ascent = fm.ascent();
    metrics_.height = fm.height();
    metricsFont_ = font;
    haveMetrics_ = true;
    return metrics_;
}

namespace {

int TextMargin(const QStyle& style, const QWidget* widget) {
    return style.pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}

QPalette::ColorGroup GroupOf(const QStyleOptionViewItem& option) {
    if (!(option.state & QStyle::State_Enabled)) return QPalette::Disabled;
    return option.state & QStyle::State_Active ? QPalette::Normal : QPalette::Inactive;
}

}  // namespace

void DebugLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QWidget* widget = option.widget;
    const QStyle& style = widget != nullptr ? *widget->style() : *QApplication::style();
    // Selection and hover background, as the style draws them for any item.
    style.drawPrimitive(QStyle::PE_PanelItemViewItem, &option, painter, widget);

    // What can be seen of the row: the part inside the list's viewport and
    // inside what this paint redraws.
    QRect inView = option.rect;
    if (const auto* view = qobject_cast<const QAbstractScrollArea*>(widget)) {
        inView &= view->viewport()->rect();
    }
    QRect visible = inView;
    if (painter->hasClipping()) visible &= painter->clipBoundingRect().toAlignedRect();

    const Metrics& m = MetricsFor(option.font);
    const double left = option.rect.left() + TextMargin(style, widget);
    const ColumnSpan span = VisibleColumns(left, m.cell, model_.LineLength(index.row()),
                                           visible.left(), visible.left() + visible.width());
    if (!span.Empty()) {
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        painter->setFont(option.font);
        painter->setPen(option.palette.color(
            GroupOf(option), selected ? QPalette::HighlightedText : QPalette::Text));
        const double baseline =
            option.rect.top() + (option.rect.height() - m.height) / 2 + m.ascent;
        const std::string cut = model_.LinePart(index.row(), span.First, span.End);
        if (m.fixedPitch) {
            painter->drawText(QPointF(left + m.cell * static_cast<double>(span.First), baseline),
                              QString::fromUtf8(cut.data(), static_cast<qsizetype>(cut.size())));
        } else {
            // A font without fixed pitch still keeps to the cells, one
            // character at a time.
            double x = left + m.cell * static_cast<double>(span.First);
            for (const char c : cut) {
                painter->drawText(QPointF(x, baseline), QString(QLatin1Char(c)));
                x += m.cell;
            }
        }
        painter->restore();
    }

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = inView;
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = option.palette.color(
            GroupOf(option),
            option.state & QStyle::State_Selected ? QPalette::Highlight : QPalette::Base);
        style.drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
}

QSize DebugLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    // The list has uniform rows; their width is that of the longest line.
    const QStyle& style =
        option.widget != nullptr ? *option.widget->style() : *QApplication::style();
    const Metrics& m = MetricsFor(option.font);
    const double width =
        std::min(kMaxRowWidth, 2.0 * TextMargin(style, option.widget) +
                                   m.cell * static_cast<double>(model_.LongestLineLength()));
    return QSize(static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(m.height)) + 2);
}

}  // namespace tarvik
