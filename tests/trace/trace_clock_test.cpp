// The clock's texts: each reading keeps its own whatever is shown after it,
// on the same thread or another.
#include "trace/trace_clock.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace tarvik {
namespace {

std::string Formatted(std::time_t second, const char* form) {
    std::tm local{};
    localtime_r(&second, &local);
    char text[32];
    std::strftime(text, sizeof text, form, &local);
    return text;
}

TEST(TraceClock, SystemReadingsShownOneAfterAnotherKeepTheirOwnTexts) {
    const TraceClock clock;
    // A day and a second apart: every field of both texts differs.
    const std::time_t first = 1'700'000'000;
    const std::time_t second = first + 86'400 + 3'661;
    const TraceStamp& a = clock.Show(first);
    const TraceStamp& b = clock.Show(second);
    TraceStamp fromOtherThread;
    std::thread([&] { fromOtherThread = clock.Show(first + 1); }).join();
    const TraceStamp& c = clock.Show(first);

    EXPECT_EQ(a.time, Formatted(first, "%H:%M:%S"));
    EXPECT_EQ(a.date, Formatted(first, "%Y-%m-%d"));
    EXPECT_EQ(b.time, Formatted(second, "%H:%M:%S"));
    EXPECT_EQ(b.date, Formatted(second, "%Y-%m-%d"));
    EXPECT_EQ(c.time, a.time);
    EXPECT_EQ(fromOtherThread.time, Formatted(first + 1, "%H:%M:%S"));
}

}  // namespace
}  // namespace tarvik
