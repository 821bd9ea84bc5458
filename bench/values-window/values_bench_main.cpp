// tarvik_values_bench: what one refresh of the Values window takes of the
// event loop. N points of every type, each moved by a sine generator on the
// core's 100 ms tick, the first three charted; once the chart holds its
// full 60 s, every refresh is timed: its timer event, then everything the
// loop delivers to the window (update requests, paints, the chart scene's
// own events) until the next refresh. Prints median, 99th percentile and
// largest of both, in milliseconds.
//
//   tarvik_values_bench [POINTS [FILL_SECONDS [MEASURE_SECONDS]]]   (50 60 20)
//
// Runs on whatever display Qt finds (QT_QPA_PLATFORM=offscreen, or Xvfb).
#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/generators_section.h"
#include "config/points_section.h"
#include "engine/clock_random.h"
#include "slave/core_values.h"
#include "ui/values_window.h"
#include "ui/window_controls.h"

namespace {

using namespace tarvik;

constexpr const char* kTypes[] = {"int16",   "uint16", "int32",  "uint32",
                                  "float32", "int64",  "uint64", "float64"};

ValueSections BenchSections(int count) {
    std::string points = "[Points]\n";
    std::string generators = "[Generators]\n";
    for (int i = 0; i < count; ++i) {
        const std::string name = "P" + std::to_string(i);
        const std::string type = kTypes[i % 8];
        points += name + "=holding," + std::to_string(4 * i) + "," + type + "\n";
        // Every value moves on every tick: the table repaints all its values.
        const bool unsignedType = type.front() == 'u';
        generators += name + "=sine " + (unsignedType ? "1000 500 " : "0 500 ") +
                      std::to_string(5 + i % 20) + "s\n";
    }
    ValueSections sections;
    sections.points = ParsePointsSection(ReadSectionLinesFromText(points, "Points"), {});
    sections.generators = ParseGeneratorsSection(ReadSectionLinesFromText(generators, "Generators"),
                                                 sections.points.points);
    return sections;
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[at];
}

// Times the outermost events: a refresh tick, and the window's work after it.
class TimedApplication final : public QApplication {
public:
    using QApplication::QApplication;

    // Null before the window goes.
    void Watch(const ValuesWindow* window) { window_ = window; }
    void Reset() {
        ticks_.clear();
        totals_.clear();
    }

    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_ > 0 || window_ == nullptr) return QApplication::notify(receiver, event);
        // Told apart before delivery: a receiver may delete itself in it.
        const bool tick = receiver == &window_->RefreshTimer() && event->type() == QEvent::Timer;
        const bool ofWindow = OfWindow(receiver);
        ++depth_;
        QElapsedTimer clock;
        clock.start();
        const bool result = QApplication::notify(receiver, event);
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        --depth_;
        if (tick) {
            ticks_.push_back(ms);
            totals_.push_back(ms);
        } else if (ofWindow && !totals_.empty()) {
            totals_.back() += ms;
        }
        return result;
    }

    const std::vector<double>& Ticks() const { return ticks_; }
    const std::vector<double>& Totals() const { return totals_; }

private:
    bool OfWindow(const QObject* object) const {
        if (object == window_->windowHandle()) return true;
        for (; object != nullptr; object = object->parent())
            if (object == window_) return true;
        return false;
    }

    const ValuesWindow* window_ = nullptr;
    int depth_ = 0;
    std::vector<double> ticks_;
    std::vector<double> totals_;
};

}  // namespace

int main(int argc, char* argv[]) {
    const int points = argc > 1 ? std::atoi(argv[1]) : 50;
    const int fillSeconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const int measureSeconds = argc > 3 ? std::atoi(argv[3]) : 20;
    if (points < 1 || points > 500 || fillSeconds < 0 || measureSeconds < 1) {
        std::fprintf(stderr,
                     "usage: tarvik_values_bench [POINTS [FILL_SECONDS [MEASURE_SECONDS]]]\n");
        return 2;
    }

    TimedApplication app(argc, argv);
    QApplication::setFont(WindowFont());
    CoreValues values;
    values.Take(BenchSections(points));
    UnitTables units;
    ClockSeededRandom random(1);
    values.Update(units, random);

    QTimer generators;
    generators.setTimerType(Qt::PreciseTimer);
    QObject::connect(&generators, &QTimer::timeout, [&] { values.Update(units, random); });
    generators.start(kValuesTickMs);

    ValuesWindow window(values, units);
    window.resize(800, 600);
    window.show();
    app.Watch(&window);

    QTimer::singleShot(fillSeconds * 1000, [&] { app.Reset(); });
    QTimer::singleShot((fillSeconds + measureSeconds) * 1000, [&] { QApplication::quit(); });
    QApplication::exec();
    app.Watch(nullptr);

    // The last tick may lack the paints that were still to come.
    std::vector<double> totals = app.Totals();
    if (!totals.empty()) totals.pop_back();
    std::printf("platform %s, %d points, 3 charted, chart filled for %d s, %zu refreshes timed\n",
                qPrintable(QGuiApplication::platformName()), points, fillSeconds, totals.size());
    std::printf("refresh tick alone: median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                Percentile(app.Ticks(), 0.5), Percentile(app.Ticks(), 0.99),
                Percentile(app.Ticks(), 1.0));
    std::printf("tick with its paints: median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                Percentile(totals, 0.5), Percentile(totals, 0.99), Percentile(totals, 1.0));
    return 0;
}
