// The Values window's trend: one line per charted point over the last
// 60 s, the time axis in seconds before now, the value axis fitted to the
// samples shown, a legend naming each line. Lines are keyed by the caller
// (the table's row) and keep at most kTrendSamples samples each.
#pragma once

#include <QChartView>

#include <cstdint>
#include <deque>
#include <vector>

class QLineSeries;
class QValueAxis;

namespace tarvik {

inline constexpr int kTrendSpanMs = 60'000;
inline constexpr std::size_t kTrendSamples = 600;

class TrendChart final : public QChartView {
    Q_OBJECT
public:
    explicit TrendChart(QWidget* parent = nullptr);

    // A line named `name` for `key`, empty until sampled; nothing when the
    // key has one already.
    void AddLine(int key, const QString& name);
    void RemoveLine(int key);
    void RemoveAll();

    // One value of the key's line taken at `atMs` (a steady clock, times
    // rising); NaN and infinities are left out, as no axis holds them.
    void Sample(int key, int64_t atMs, double value);
    // The lines as they stand at `nowMs`: samples older than the span
    // dropped, the value axis fitted.
    void Redraw(int64_t nowMs);

    // The line of `key`, or null.
    QLineSeries* Line(int key) const;
    std::size_t LineCount() const { return lines_.size(); }
    QValueAxis* ValueAxis() const { return valueAxis_; }

private:
    struct Point {
        int64_t atMs;
        double value;
    };
    struct Track {
        int key;
        QLineSeries* series;
        std::deque<Point> samples;
    };

    Track* Find(int key);

    QValueAxis* timeAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
    std::vector<Track> lines_;
};

}  // namespace tarvik
