#include "ui/trend_chart.h"

#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarvik {
namespace {

// 1, 2 or 5 times a power of ten, near a fifth of `span`: the axis ends
// on whole steps, a little wider than the samples.
double NiceStep(double span) {
    const double raw = span / 5.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / power;
    return power * (fraction < 1.5 ? 1.0 : fraction < 3.0 ? 2.0 : fraction < 7.0 ? 5.0 : 10.0);
}

struct AxisFit {
    double low;
    double high;
    int ticks;
};

// The value axis for samples from `low` to `high`: a little margin, then
// out to whole steps; the bare range where that would overflow.
AxisFit FitAxis(double low, double high) {
    const double margin = low == high ? std::max(1.0, std::fabs(low) * 0.01) : (high - low) * 0.05;
    const double step = NiceStep(high - low + 2 * margin);
    const double niceLow = std::floor((low - margin) / step) * step;
    const double niceHigh = std::ceil((high + margin) / step) * step;
    const double ticks = std::round((niceHigh - niceLow) / step) + 1;
    if (!std::isfinite(niceLow) || !std::isfinite(niceHigh) || !(ticks >= 2 && ticks <= 12))
        return {low, low == high ? low + 1.0 : high, 5};
    return {niceLow, niceHigh, static_cast<int>(ticks)};
}

}  // namespace

// Given the chart from the start: one set later would leave the view's
// default chart behind, released and never deleted.
TrendChart::TrendChart(QWidget* parent) : QChartView(new QChart(), parent) {
    QChart* chart = this->chart();
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));

    timeAxis_ = new QValueAxis(chart);
    timeAxis_->setRange(-kTrendSpanMs / 1000.0, 0.0);
    timeAxis_->setTickCount(7);  // every 10 s
    timeAxis_->setLabelFormat(QStringLiteral("%.0f"));
    timeAxis_->setTitleText(QStringLiteral("Time (s)"));
    chart->addAxis(timeAxis_, Qt::AlignBottom);

    valueAxis_ = new QValueAxis(chart);
    valueAxis_->setRange(0.0, 1.0);
    // Counters of 64 bits and floats near 0 alike.
    valueAxis_->setLabelFormat(QStringLiteral("%g"));
    chart->addAxis(valueAxis_, Qt::AlignLeft);

    // No antialiasing: the lines are drawn again every 100 ms, on the event
    // loop that serves the masters too.
}

TrendChart::Track* TrendChart::Find(int key) {
    const auto found =
        std::find_if(lines_.begin(), lines_.end(), [key](const Track& l) { return l.key == key; });
    return found == lines_.end() ? nullptr : &*found;
}

QLineSeries* TrendChart::Line(int key) const {
    for (const auto& line : lines_)
        if (line.key == key) return line.series;
    return nullptr;
}

void TrendChart::AddLine(int key, const QString& name) {
    if (Find(key) != nullptr) return;
    auto* series = new QLineSeries();
    series->setName(name);
    chart()->addSeries(series);
    series->attachAxis(timeAxis_);
    series->attachAxis(valueAxis_);
    lines_.push_back({key, series, {}});
}

void TrendChart::RemoveLine(int key) {
    const auto found =
        std::find_if(lines_.begin(), lines_.end(), [key](const Track& l) { return l.key == key; });
    if (found == lines_.end()) return;
    chart()->removeSeries(found->series);
    delete found->series;
    lines_.erase(found);
}

void TrendChart::RemoveAll() {
    for (Track& line : lines_) {
        chart()->removeSeries(line.series);
        delete line.series;
    }
    lines_.clear();
}

void TrendChart::Sample(int key, int64_t atMs, double value) {
    Track* line = Find(key);
    if (line == nullptr || !std::isfinite(value)) return;
    line->samples.push_back({atMs, value});
    // The cap holds even when the clock ticks faster than every 100 ms.
    while (line->samples.size() > kTrendSamples) line->samples.pop_front();
}

void TrendChart::Redraw(int64_t nowMs) {
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    QList<QPointF> points;
    for (Track& line : lines_) {
        while (!line.samples.empty() && line.samples.front().atMs < nowMs - kTrendSpanMs)
            line.samples.pop_front();
        points.clear();
        points.reserve(static_cast<qsizetype>(line.samples.size()));
        for (const Point& sample : line.samples) {
            points.append(QPointF(static_cast<double>(sample.atMs - nowMs) / 1000.0, sample.value));
            low = std::min(low, sample.value);
            high = std::max(high, sample.value);
        }
        // One replace is one repaint, where appending and removing would be two.
        line.series->replace(points);
    }
    const AxisFit fit = low > high ? AxisFit{0.0, 1.0, 6} : FitAxis(low, high);
    // A range that still holds the samples snugly stays: the labels do not
    // jump on every tick of a moving value.
    const double shownLow = valueAxis_->min();
    const double shownHigh = valueAxis_->max();
    if (low >= shownLow && high <= shownHigh && fit.high - fit.low >= (shownHigh - shownLow) / 2)
        return;
    valueAxis_->setRange(fit.low, fit.high);
    valueAxis_->setTickCount(fit.ticks);
}

}  // namespace tarvik
