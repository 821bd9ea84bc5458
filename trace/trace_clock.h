// The trace's clock. An entry keeps only the second it was written in; the
// "HH:MM:SS" and "YYYY-MM-DD" texts are made when something shows the entry
// (the debug list, a writer thread), and at most once a second per thread.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

namespace tarvik {

// The texts of one reading of the clock: the time of day each timed line
// begins with, and its date, which a trace file adds because the list shows
// only the time.
struct TraceStamp {
    TraceStamp(std::string timeText = {}, std::string dateText = {})
        : time(std::move(timeText)), date(std::move(dateText)) {}
    std::string time;  // "HH:MM:SS", 24-hour form whatever the locale says
    std::string date;  // "YYYY-MM-DD"
};

// The local time now.
TraceStamp SystemTraceStamp();

class TraceClock {
public:
    // The system clock, shown in local time.
    TraceClock() = default;
    // SystemTraceStamp is the system clock. Any other reader's readings are
    // shown as it gave them: fixed texts for tests and benches. Each distinct
    // reading is kept for as long as the clock, so such a reader should give
    // few.
    TraceClock(TraceStamp (*read)());
    template <class Read>
    requires(std::is_invocable_r_v<TraceStamp, Read&> &&
             !std::is_same_v<std::remove_cvref_t<Read>, TraceClock>) TraceClock(Read read)
        : texts_(TextReader(std::function<TraceStamp()>(std::move(read)))) {}

    // The reading to keep with an entry written now.
    std::time_t Now() const;
    // The texts of `reading`, from any thread. A copy: both texts fit the
    // string's own storage, so this costs no allocation, and a caller that
    // shows a run of entries asks again only when the second changes.
    TraceStamp Show(std::time_t reading) const;

private:
    struct Texts;
    static std::shared_ptr<Texts> TextReader(std::function<TraceStamp()> read);

    std::shared_ptr<Texts> texts_;  // null: the system clock
};

}  // namespace tarvik
