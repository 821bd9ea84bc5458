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

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
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
    void Reset() { *figures_ = {}; }

    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_ > 0 || window_ == nullptr) return QApplication::notify(receiver, event);
        // Told apart before delivery: a receiver may delete itself in it.
        const bool tick = receiver == &window_->RefreshTimer() && event->type() == QEvent::Timer;
        const bool ofWindow = OfWindow(receiver);
        ++depth_;
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = ThreadCpuMs();
        const bool result = QApplication::notify(receiver, event);
        const double wall = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        const double cpu = ThreadCpuMs() - cpuStart;
        --depth_;
        Figures& f = *figures_;
        if (tick) {
            f.tickWall.push_back(wall);
            f.tickCpu.push_back(cpu);
            f.totalWall.push_back(wall);
            f.totalCpu.push_back(cpu);
        } else if (ofWindow && !f.totalWall.empty()) {
            f.totalWall.back() += wall;
            f.totalCpu.back() += cpu;
        }
        return result;
    }

    // Per refresh, in ms: wall clock, and the CPU time of this thread (what
    // the refresh cost, without the time other processes took the core).
    struct Figures {
        std::vector<double> tickWall, tickCpu, totalWall, totalCpu;
    };
    const Figures& Measured() const { return *figures_; }

private:
    bool OfWindow(const QObject* object) const {
        if (object == window_->windowHandle()) return true;
        for (; object != nullptr; object = object->parent())
            if (object == window_) return true;
        return false;
    }

    static double ThreadCpuMs() {
        timespec now{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    }

    const ValuesWindow* window_ = nullptr;
    int depth_ = 0;
    std::unique_ptr<Figures> figures_ = std::make_unique<Figures>();
};

void PrintFigures(const char* what, const std::vector<double>& ms) {
    std::printf("%-30s median %.2f ms, p99 %.2f ms, max %.2f ms\n", what, Percentile(ms, 0.5),
                Percentile(ms, 0.99), Percentile(ms, 1.0));
}

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
    TimedApplication::Figures f = app.Measured();
    if (!f.totalWall.empty()) {
        f.totalWall.pop_back();
        f.totalCpu.pop_back();
    }
    std::printf("platform %s, %d points, 3 charted, chart filled for %d s, %zu refreshes timed\n",
                qPrintable(QGuiApplication::platformName()), points, fillSeconds,
                f.totalWall.size());
    PrintFigures("refresh tick, wall:", f.tickWall);
    PrintFigures("refresh tick, CPU:", f.tickCpu);
    PrintFigures("tick with its paints, wall:", f.totalWall);
    PrintFigures("tick with its paints, CPU:", f.totalCpu);
    return 0;
}
