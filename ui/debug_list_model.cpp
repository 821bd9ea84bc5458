#include "ui/debug_list_model.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace tarvik {
namespace {

constexpr double kFallbackRefreshHz = 60.0;

int FrameInterval() {
    double hz = kFallbackRefreshHz;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        if (screen->refreshRate() >= 1.0) hz = screen->refreshRate();
    }
    return std::max(1, static_cast<int>(std::lround(1000.0 / hz)));
}

int64_t SelectedSerial(const TraceModel& trace) {
    const int row = trace.SelectedRow();
    return row < 0 ? -1 : static_cast<int64_t>(trace.FirstSerial()) + row;
}

}  // namespace

DebugListModel::DebugListModel(TraceModel& trace, QObject* parent)
    : QAbstractListModel(parent),
      trace_(trace),
      shownFirst_(trace.FirstSerial()),
      shownCount_(static_cast<int>(trace.LineCount())),
      shownRevision_(trace.Revision()),
      writerSelectedSerial_(SelectedSerial(trace)) {
    frameTimer_.setSingleShot(true);
    frameTimer_.setInterval(FrameInterval());
    connect(&frameTimer_, &QTimer::timeout, this, &DebugListModel::Sync);
}

int DebugListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownCount_;
}

QVariant DebugListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= shownCount_) {
        return {};
    }
    // Lines never change once written, so a row maps to its line by serial
    // even while the trace has moved on ahead of the rows.
    const uint64_t serial = shownFirst_ + static_cast<uint64_t>(index.row());
    if (serial < trace_.FirstSerial()) return QString();
    const uint64_t at = serial - trace_.FirstSerial();
    if (at >= trace_.LineCount()) return QString();
    const std::string& line = trace_.Line(static_cast<std::size_t>(at));
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

void DebugListModel::TraceRaw(std::string_view mark, const Packet& packet) {
    trace_.TraceRaw(mark, packet);
    ScheduleSync();
}

void DebugListModel::TraceRequest(const MbapHeader& header, std::string_view text) {
    trace_.TraceRequest(header, text);
    ScheduleSync();
}

void DebugListModel::TraceAnswer(const MbapHeader& header, std::string_view text) {
    trace_.TraceAnswer(header, text);
    ScheduleSync();
}

void DebugListModel::Clear() {
    trace_.Clear();
    ScheduleSync();
}

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
            beginInsertRows(QModelIndex(), shownCount_,
                            shownCount_ + static_cast<int>(added) - 1);
            shownCount_ += static_cast<int>(added);
            endInsertRows();
        }
    }
    shownRevision_ = trace_.Revision();

    // The writers only ever select a new line. When the trace drops its
    // selection (the line was trimmed or cleared) the row is gone from the
    // view as well, and a line the operator picked stays picked.
    const int64_t selected = SelectedSerial(trace_);
    if (selected != writerSelectedSerial_) {
        writerSelectedSerial_ = selected;
        if (selected >= 0) emit writerSelectionMoved(trace_.SelectedRow());
    }
}

}  // namespace tarvik
