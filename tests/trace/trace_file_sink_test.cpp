// The trace file on a real file system: refused unless a regular file,
// whole lines only when the disk fills, written again once space returns,
// and turned over only while it is still the file at its path.
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <regex>
#include <thread>

#include "trace/line_sinks.h"

namespace tarvik {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct TempFolder {
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "tarvik-sink-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

std::string TextOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A disk that fills at about 64 KiB and gets its space back on demand: a
// tmpfs of that size where this process may mount one (as root), otherwise
// a file-size limit on this process (SIGXFSZ ignored meanwhile), which a
// write meets the same way, cut short and then failing.
class SmallDisk {
public:
    static constexpr std::size_t kBytes = 64 * 1024;

    explicit SmallDisk(const fs::path& folder) : mountPoint_(folder / "disk") {
        fs::create_directory(mountPoint_);
        mounted_ = ::mount("tmpfs", mountPoint_.c_str(), "tmpfs", 0, "size=64k") == 0;
        if (mounted_) return;
        ::getrlimit(RLIMIT_FSIZE, &before_);
        rlimit limit = before_;
        limit.rlim_cur = kBytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~SmallDisk() {
        if (mounted_) {
            ::umount2(mountPoint_.c_str(), MNT_DETACH);
        } else {
            ::setrlimit(RLIMIT_FSIZE, &before_);
            std::signal(SIGXFSZ, previousHandler_);
        }
    }
    void GiveSpaceBack() {
        if (mounted_) {
            ::mount("tmpfs", mountPoint_.c_str(), "tmpfs", MS_REMOUNT, "size=1m");
        } else {
            ::setrlimit(RLIMIT_FSIZE, &before_);
        }
    }
    const fs::path& Path() const { return mountPoint_; }
    bool Mounted() const { return mounted_; }

private:
    fs::path mountPoint_;
    bool mounted_ = false;
    rlimit before_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

TEST(TraceFileSink, FullDiskKeepsWholeLinesCountsTheRestAndWritesAgainOnceSpaceReturns) {
    TempFolder folder;
    SmallDisk disk(folder.path);
    std::cout << (disk.Mounted() ? "a 64 KiB tmpfs\n" : "a 64 KiB file-size limit\n");
    const fs::path file = disk.Path() / "trace.txt";
    std::string error;
    auto sink = TraceFileSink::Open(file.string(), 0, error);
    ASSERT_TRUE(sink) << error;

    std::mutex mutex;
    std::vector<std::string> reports;
    LineWriter writer(
        std::move(sink), [](uint64_t count) { return "## " + std::to_string(count) + " lost"; },
        LineWriter::kDefaultQueueBytes, {},
        WriterRecovery{[&](const std::string& line) {
                           std::lock_guard lock(mutex);
                           reports.push_back(line);
                       },
                       100ms});
    const auto reportCount = [&] {
        std::lock_guard lock(mutex);
        return reports.size();
    };
    // 100 KiB of 40-byte lines, in batches that each cross a line of the limit.
    int next = 0;
    const auto lines = [&](int count) {
        for (int i = 0; i < count; ++i, ++next) {
            char line[64];
            std::snprintf(line, sizeof line, "line %06d of the trace, to be kept whole", next);
            writer.Add(std::string(line).substr(0, 39));
        }
        writer.Flush();
    };
    for (int batch = 0; batch < 25; ++batch) lines(97);
    for (int i = 0; i < 250 && reportCount() == 0; ++i) std::this_thread::sleep_for(20ms);
    ASSERT_EQ(reportCount(), 1u);
    const std::string reason = disk.Mounted() ? "No space left on device" : "File too large";
    EXPECT_EQ(reports[0], "Trace output " + file.string() + " failed: " + reason +
                              "; lines are counted until it recovers");
    const std::string full = TextOf(file);
    ASSERT_FALSE(full.empty());
    EXPECT_EQ(full.back(), '\n') << "no cut line stays behind";
    EXPECT_EQ(full.size() % 40, 0u);

    disk.GiveSpaceBack();
    for (int i = 0; i < 250 && reportCount() < 2; ++i) std::this_thread::sleep_for(20ms);
    lines(3);
    writer.Close(5s);
    ASSERT_EQ(reportCount(), 2u);
    const uint64_t lost = writer.LostLines();
    EXPECT_EQ(reports[1], "Trace output " + file.string() + " recovered: " + std::to_string(lost) +
                              " lines lost");
    const std::string after = TextOf(file);
    ASSERT_EQ(after.substr(0, full.size()), full);
    const std::string told = "## " + std::to_string(lost) + " lost\n";
    EXPECT_EQ(after.substr(full.size(), told.size()), told) << "the count comes first";
    // Every line written or counted, none twice.
    EXPECT_EQ(full.size() / 40 + lost + 3, static_cast<uint64_t>(next));
    EXPECT_EQ(after.substr(after.size() - 40, 11), "line 002427");
}

TEST(TraceFileSink, AnythingButARegularFileIsRefusedWithoutWaiting) {
    TempFolder folder;
    const fs::path fifo = folder.path / "fifo";
    const fs::path socket = folder.path / "socket";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un at{};
    at.sun_family = AF_UNIX;
    std::snprintf(at.sun_path, sizeof at.sun_path, "%s", socket.c_str());
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    fs::create_symlink(fifo, folder.path / "link-to-fifo");
    for (const fs::path& path :
         {fifo, socket, folder.path / "link-to-fifo", fs::path("/dev/null"), folder.path}) {
        SCOPED_TRACE(path.string());
        std::string error;
        EXPECT_EQ(TraceFileSink::Open(path.string(), 0, error), nullptr);
        EXPECT_EQ(error, "not a regular file");
    }
    ::close(listening);
    std::string error;
    EXPECT_EQ(TraceFileSink::Open((folder.path / "none" / "t.txt").string(), 0, error), nullptr);
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
        TempFolder folder;
        const fs::path path = folder.path / "t.txt";
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
