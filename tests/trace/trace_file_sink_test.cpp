// The trace file on a real file system: refused unless a regular file,
// whole lines only when a write is cut short, written on once there is room,
// and turned over only while it is still the file at its path.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "testkit/temp_folder.h"
#include "trace/line_sinks.h"

namespace tarvik {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string TextOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file-size limit on this process (SIGXFSZ ignored meanwhile) cuts a write
// short and then fails the rest, as a full disk does. What the writer makes
// of a failed write is the line writer's tests'.
TEST(TraceFileSink, WriteCutShortKeepsWholeLinesAndWritesOnOnceThereIsRoom) {
    testing::TempFolder folder;
    const fs::path file = fs::path(folder.Path()) / "trace.txt";
    std::string error;
    auto sink = TraceFileSink::Open(file.string(), 0, error);
    ASSERT_TRUE(sink) << error;
    const std::string lines = "line 1 of the trace\nline 2 of the trace\nline 3 of the trace\n";
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 50;  // inside the third line
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const SinkWrite cut = sink->Write(lines);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(cut.kept, 40u);
    EXPECT_EQ(cut.error, "File too large");
    EXPECT_EQ(TextOf(file), lines.substr(0, 40)) << "no cut line stays behind";

    const SinkWrite rest = sink->Write(lines.substr(40));
    EXPECT_EQ(rest.error, "");
    EXPECT_EQ(TextOf(file), lines);
}

TEST(TraceFileSink, AnythingButARegularFileIsRefusedWithoutWaiting) {
    testing::TempFolder folder;
    const fs::path fifo = fs::path(folder.Path()) / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    fs::create_symlink(fifo, fs::path(folder.Path()) / "link-to-fifo");
    for (const fs::path& path : {fifo, fs::path(folder.Path()) / "link-to-fifo",
                                 fs::path("/dev/null"), fs::path(folder.Path())}) {
        SCOPED_TRACE(path.string());
        std::string error;
        EXPECT_EQ(TraceFileSink::Open(path.string(), 0, error), nullptr);
        EXPECT_EQ(error, "not a regular file");
    }
    std::string error;
    EXPECT_EQ(TraceFileSink::Open((fs::path(folder.Path()) / "none" / "t.txt").string(), 0, error),
              nullptr);
    EXPECT_EQ(error, "No such file or directory");
}

// Each case: lines of 10 bytes against a limit of 25, after `meddle` has
// done at the path what another program would.
TEST(TraceFileSink, TurnsOverOnlyTheFileStillAtItsPath) {
    const struct {
        const char* what;
        uint64_t maxBytes;
        std::function<void(const fs::path&)> meddle;
        std::string atPath, previous, moved;
    } cases[] = {
        {"ours, turned over", 25, nullptr, "line 4...\n", "line 1...\nline 2...\nline 3...\n", ""},
        {"no limit of our own", 0, nullptr, "line 1...\nline 2...\nline 3...\nline 4...\n", "", ""},
        {"renamed to PATH.1, a new one created", 25,
         [](const fs::path& p) {
             fs::rename(p, p.string() + ".1");
             std::ofstream(p).flush();
         },
         "line 4...\n", "line 1...\nline 2...\nline 3...\n", ""},
        {"deleted", 25, [](const fs::path& p) { fs::remove(p); }, "line 4...\n", "", ""},
        {"renamed elsewhere", 25, [](const fs::path& p) { fs::rename(p, p.string() + ".old"); },
         "line 4...\n", "", "line 1...\nline 2...\nline 3...\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::TempFolder folder;
        const fs::path path = fs::path(folder.Path()) / "t.txt";
        std::string error;
        auto sink = TraceFileSink::Open(path.string(), c.maxBytes, error);
        ASSERT_TRUE(sink) << error;
        EXPECT_TRUE(sink->Write("line 1...\n").error.empty());
        if (c.meddle) c.meddle(path);
        EXPECT_TRUE(sink->Write("line 2...\nline 3...\n").error.empty());
        const SinkWrite last = sink->Write("line 4...\n");
        EXPECT_TRUE(last.error.empty()) << last.error;
        EXPECT_EQ(last.kept, 10u);
        EXPECT_EQ(TextOf(path), c.atPath);
        EXPECT_EQ(TextOf(path.string() + ".1"), c.previous);
        EXPECT_EQ(TextOf(path.string() + ".old"), c.moved);
    }
}

}  // namespace
}  // namespace tarvik
