// The debug trace as a Qt list model. The writers go through this object,
// which forwards each line to the TraceModel and arms a one-frame timer; the
// rows follow the TraceModel at most once per screen frame, so a flood of
// traffic costs one repaint per frame, not one per line.
#pragma once

#include <QAbstractListModel>
#include <QTimer>
#include <cstdint>

#include "engine/ports.h"
#include "ui/trace_model.h"

namespace tarvik {

class DebugListModel final : public QAbstractListModel, public TraceWriter {
    Q_OBJECT
public:
    explicit DebugListModel(TraceModel& trace, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void TraceRaw(std::string_view mark, const Packet& packet) override;
    void TraceRequest(const MbapHeader& header, std::string_view text) override;
    void TraceAnswer(const MbapHeader& header, std::string_view text) override;

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
    void ScheduleSync();

    TraceModel& trace_;
    QTimer frameTimer_;
    // Rows shown hold the lines with serials shownFirst_ .. shownFirst_ + shownCount_ - 1.
    uint64_t shownFirst_ = 0;
    int shownCount_ = 0;
    uint64_t shownRevision_ = 0;
    // Serial of the line the writers last selected; -1 when none.
    int64_t writerSelectedSerial_ = -1;
};

}  // namespace tarvik
