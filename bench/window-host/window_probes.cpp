#include "bench/window-host/window_probes.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QMetaEnum>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "ui/debug_list_model.h"
#include "ui/status_bar_widget.h"
#include "ui/window_face.h"

namespace tarvik::bench {
namespace {

std::string EventName(const char* className, QEvent::Type type) {
    const char* name = QMetaEnum::fromType<QEvent::Type>().valueToKey(type);
    return std::string(className) + "/" +
           (name != nullptr ? name : std::to_string(static_cast<int>(type)));
}

uint64_t ResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toULongLong();
    }
    return 0;
}

uint64_t OpenDescriptors() {
    // Less the one this listing itself holds open.
    const auto count =
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
    return count > 0 ? static_cast<uint64_t>(count - 1) : 0;
}

}  // namespace

TimedApplication::TimedApplication(int& argc, char** argv) : QApplication(argc, argv) {
    clock_.start();
}

void TimedApplication::StartMeasuring(const QWidget* listViewport,
                                      const std::vector<const QWidget*>& statusPanels) {
    listViewport_ = listViewport;
    statusPanels_ = statusPanels;
    maxEventMs_ = 0.0;
    maxEventWhat_.clear();
    paints_.Reset();
    listPaints_.Reset();
    listPaintMaxMs_ = 0.0;
    listPaintTotalMs_ = 0.0;
    statusPaints_ = 0;
    paintsByWidget_.clear();
    timeByEvent_.clear();
    measuring_ = true;
}

bool TimedApplication::notify(QObject* receiver, QEvent* event) {
    if (!measuring_) return QApplication::notify(receiver, event);
    // Read before delivery: the handler may delete the event or the receiver
    // (a deferred delete does), and both are only compared by address after.
    const QEvent::Type type = event->type();
    const char* className = receiver->metaObject()->className();
    const bool outermost = depth_ == 0;
    if (outermost) ++eventSerial_;
    const double start = NowMs();
    ++depth_;
    const bool result = QApplication::notify(receiver, event);
    --depth_;
    const double end = NowMs();
    if (type == QEvent::Paint) {
        paints_.Add(end);
        ++paintsByWidget_[std::string(className) + ":" + receiver->objectName().toStdString()];
        if (receiver == listViewport_) {
            listPaints_.Add(end);
            listPaintMaxMs_ = std::max(listPaintMaxMs_, end - start);
            listPaintTotalMs_ += end - start;
        }
        for (const QWidget* panel : statusPanels_) {
            if (receiver == panel) ++statusPaints_;
        }
    }
    if (outermost) {
        EventTime& spent = timeByEvent_[{className, static_cast<int>(type)}];
        spent.totalMs += end - start;
        ++spent.count;
        if (end - start > 1.0) ++spent.overOneMs;
    }
    if (outermost && end - start > maxEventMs_) {
        maxEventMs_ = end - start;
        maxEventWhat_ = EventName(className, type);
    }
    return result;
}

std::string TimedApplication::PaintedMost(std::size_t count) const {
    std::vector<std::pair<uint64_t, std::string>> ranked;
    for (const auto& [name, paints] : paintsByWidget_) ranked.emplace_back(paints, name);
    std::sort(ranked.begin(), ranked.end(), std::greater<>());
    std::string text;
    for (std::size_t i = 0; i < ranked.size() && i < count; ++i) {
        if (!text.empty()) text += ' ';
        text += ranked[i].second + "=" + std::to_string(ranked[i].first);
    }
    return text;
}

std::string TimedApplication::BusiestEvents(std::size_t count) const {
    std::vector<std::pair<double, std::string>> ranked;
    for (const auto& [what, spent] : timeByEvent_) {
        char figures[96];
        std::snprintf(figures, sizeof figures, "=%.0f ms (%llu, %llu over 1 ms)", spent.totalMs,
                      static_cast<unsigned long long>(spent.count),
                      static_cast<unsigned long long>(spent.overOneMs));
        ranked.emplace_back(
            spent.totalMs, EventName(what.first, static_cast<QEvent::Type>(what.second)) + figures);
    }
    std::sort(ranked.begin(), ranked.end(), std::greater<>());
    std::string text;
    for (std::size_t i = 0; i < ranked.size() && i < count; ++i) {
        if (!text.empty()) text += "; ";
        text += ranked[i].second;
    }
    return text;
}

WindowProbes::WindowProbes(TimedApplication& app, WindowFace& program)
    : app_(app), program_(program) {
    probe_.setTimerType(Qt::PreciseTimer);
    probe_.setInterval(kProbePeriodMs);
    connect(&probe_, &QTimer::timeout, this, &WindowProbes::ProbeTick);
    connect(&program_.Core().SendTickTimer(), &QTimer::timeout, this, &WindowProbes::SendTick);
    QAbstractItemModel* list = program_.Window().DebugList();
    connect(list, &QAbstractItemModel::rowsInserted, this, &WindowProbes::ListChanged);
    connect(list, &QAbstractItemModel::rowsRemoved, this, &WindowProbes::ListChanged);
    connect(list, &QAbstractItemModel::modelReset, this, &WindowProbes::ListChanged);
}

void WindowProbes::Start() {
    StatusBarWidget& bar = *program_.Window().StatusBar();
    app_.StartMeasuring(
        program_.Window().DebugListView()->viewport(),
        {bar.Panel(kConnectionPanel), bar.Panel(kReceivedPanel), bar.Panel(kSentPanel)});
    startedMs_ = app_.NowMs();
    lastProbeMs_ = startedMs_;
    lastSendMs_ = -1.0;
    loopGaps_.Reset();
    sendGaps_.Reset();
    listSyncs_.Reset();
    received_.Reset();
    sent_.Reset();
    probe_.start();
}

void WindowProbes::ProbeTick() {
    const double now = app_.NowMs();
    loopGaps_.Add(now - lastProbeMs_);
    lastProbeMs_ = now;

    // The counters on screen against the counters themselves.
    StatusBarWidget& bar = *program_.Window().StatusBar();
    received_.Observe(now, bar.Panel(kReceivedPanel)->text().toLongLong(),
                      program_.Core().Engine().PacketsReceived());
    sent_.Observe(now, bar.Panel(kSentPanel)->text().toLongLong(),
                  program_.Core().Dispatcher().PacketsSent());
}

void WindowProbes::SendTick() {
    if (!app_.Measuring()) return;
    const double now = app_.NowMs();
    if (lastSendMs_ >= 0.0) sendGaps_.Add(now - lastSendMs_);
    lastSendMs_ = now;
}

void WindowProbes::ListChanged() {
    if (!app_.Measuring()) return;
    // One sync removes and inserts rows inside one event: count it once.
    if (app_.EventSerial() == lastSyncEvent_) return;
    lastSyncEvent_ = app_.EventSerial();
    listSyncs_.Add(app_.NowMs());
}

std::string WindowProbes::Report(const std::string& proto, bool trace) const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    JsonLine line;
    line.Add("host", "window")
        .Add("proto", proto)
        .Add("trace", trace ? "on" : "off")
        .Add("platform", QGuiApplication::platformName().toStdString())
        .Add("screen_hz", screen != nullptr ? screen->refreshRate() : 0.0)
        .Add("measured_s", (app_.NowMs() - startedMs_) / 1000.0)
        .Add("loop_ticks", loopGaps_.Count())
        .Add("stall_ms_max", loopGaps_.MaxLateMs())
        .Add("stall_ms_p99", loopGaps_.LateP99Ms())
        .Add("stalls_over_50ms", loopGaps_.CountLateOver(50.0))
        .Add("event_ms_max", app_.MaxEventMs())
        .Add("event_max", app_.MaxEventWhat())
        .Add("send_ticks", sendGaps_.Count())
        .Add("send_tick_ms_min", sendGaps_.MinGapMs())
        .Add("send_tick_ms_max", sendGaps_.MaxGapMs())
        .Add("send_ticks_late_over_50ms", sendGaps_.CountLateOver(50.0))
        .Add("list_syncs", listSyncs_.Total())
        .Add("list_syncs_per_s_max", listSyncs_.Peak())
        .Add("list_paints", app_.ListPaints().Total())
        .Add("list_paints_per_s_max", app_.ListPaints().Peak())
        .Add("list_paint_ms_max", app_.ListPaintMaxMs())
        .Add("list_paint_ms_total", app_.ListPaintTotalMs())
        .Add("status_paints", app_.StatusPaints())
        .Add("paints_per_s_max", app_.Paints().Peak())
        .Add("painted_most", app_.PaintedMost(4))
        .Add("busiest_events", app_.BusiestEvents(5))
        .Add("status_stale_ms_max", std::max(received_.MaxStaleMs(), sent_.MaxStaleMs()))
        .Add("rss_kib", ResidentKiB())
        .Add("fds", OpenDescriptors());
    return line.Text();
}

}  // namespace tarvik::bench
