#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>

#include "config/settings_file.h"
#include "config/small_file.h"
#include "config/startup_settings.h"
#include "temp_folder.h"

namespace tarvik {
namespace {

using namespace std::string_literals;

class SectionReaderTest : public ::testing::Test {
protected:
    // What the caller keeps: the first `count` characters of a buffer of
    // maxLength blanks.
    std::string Section(int32_t maxLength = 10240) {
        buffer_.assign(static_cast<std::size_t>(maxLength), ' ');
        count_ = SettingsFile(folder_.Path()).ReadSection("LocalPorts", buffer_, maxLength);
        EXPECT_EQ(buffer_.size(), static_cast<std::size_t>(maxLength));
        return buffer_.substr(0, static_cast<std::size_t>(count_));
    }
    std::string SectionOf(const std::string& content, int32_t maxLength = 10240) {
        folder_.Write(kSettingsFileName, content);
        return Section(maxLength);
    }

    testing::TempFolder folder_;
    std::string buffer_;
    int32_t count_ = -1;
};

TEST_F(SectionReaderTest, CopiesTheLinesOfTheFirstMatchingSectionEachWithANul) {
    const std::pair<const char*, std::string> cases[] = {
        // upper-cased name match; blanks count; text after "]" ignored
        {"[ LocalPorts ]\r\n502\r\n", ""},
        {" [LocalPorts]\r\n502\r\n", ""},
        {"[localports] ; ports\r\n502\r\n", "502\0"s},
        // other sections and lines before the first header are skipped
        {"502\r\n[General]\r\nA=1\r\n[LocalPorts]\r\n503\r\n[Other]\r\n504\r\n", "503\0"s},
        {"[LocalPorts]\r\n502=First\r\n[LocalPorts]\r\n503=Second\r\n", "502=First\0"s},
        // comments and empty lines skipped without ending the list
        {"[LocalPorts]\r\n502=Main\r\n; 502=old\r\n\r\n503=Backup\r\n", "502=Main\0" "503=Backup\0"s},
        // every other line unchanged
        {"[LocalPorts]\r\n  502 = Main \r\n ;x\r\n\tT\r\n[no bracket\r\n",
         "  502 = Main \0" " ;x\0" "\tT\0" "[no bracket\0"s},
        // any line end, no last line end, a byte-order mark
        {"[LocalPorts]\r502=Main\r503", "502=Main\0" "503\0"s},
        {"\xEF\xBB\xBF[LocalPorts]\n502\n\n;x\n503\n[General]\nA=1\n", "502\0" "503\0"s},
        {"[LocalPorts]\n\r502\r\n\xEF\xBB\xBF" "503\n", "502\0" "\xEF\xBB\xBF" "503\0"s},
        // only one whole leading mark is skipped
        {"\xEF\xBB\xBF\xEF\xBB\xBF[LocalPorts]\n502\n", ""},
        {"\xEF\xBB[LocalPorts]\n502\n", ""},
    };
    for (const auto& [content, lines] : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(content)));
        EXPECT_EQ(SectionOf(content), lines);
        EXPECT_EQ(count_, static_cast<int32_t>(lines.size()));
    }
}

TEST_F(SectionReaderTest, RefusesTheFirstLineThatDoesNotFitAndNeverWritesPastTheBuffer) {
    // 502=Main takes 9 of 20; the next would need 25; "5" would fit but follows.
    EXPECT_EQ(SectionOf("[LocalPorts]\r\n502=Main\r\n503=Backupxxxxx\r\n5\r\n", 20),
              "502=Main\0"s);
    EXPECT_EQ(buffer_[9], ' ');
    EXPECT_EQ(SectionOf("[LocalPorts]\r\n12345678\r\n", 10), "12345678\0"s);
    EXPECT_EQ(SectionOf("[LocalPorts]\r\n123456789\r\n", 10), "");

    // A buffer shorter than the length it claims is never written past.
    folder_.Write(kSettingsFileName, "[LocalPorts]\r\n502\r\n503=Backup\r\n");
    std::string buffer(6, ' ');
    EXPECT_EQ(SettingsFile(folder_.Path()).ReadSection("LocalPorts", buffer, 10240), 4);
    EXPECT_EQ(buffer, "502\0  "s);
}

TEST(SettingsFile, ReadsFromTheProgramFolderNotTheCurrentDirectory) {
    EXPECT_EQ(AppFolderOf("/opt/tarvik/TarvikSlave"), "/opt/tarvik/");
    EXPECT_EQ(AppFolderOf("TarvikSlave"), "./");

    testing::TempFolder programFolder;
    testing::TempFolder currentFolder;
    currentFolder.Write(kSettingsFileName, "[General]\nRemoteHost=other\n");
    programFolder.Write(kSettingsFileName, "[General]\nRemoteHost=mine\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(currentFolder.Path());
    const SettingsFile settings(AppFolderOf(programFolder.Path() + "TarvikSlave"));
    const std::string host = settings.ReadSetting("General", "RemoteHost", "");
    std::filesystem::current_path(previous);
    EXPECT_EQ(host, "mine");
}

TEST(SettingsFile, IsReadOnceFromAnExplicitPathWhoseFolderResolvesOtherFiles) {
    testing::TempFolder folder;
    folder.Write("pump1.ini", "[General]\nRemoteHost=plc\n[LocalPorts]\n502=Main\n");
    const SettingsFile settings = SettingsFile::AtPath(folder.Path() + "pump1.ini");
    // Neither a rewritten nor a removed file changes the answers.
    folder.Write("pump1.ini", "[General]\nRemoteHost=other\n");
    std::filesystem::remove(folder.Path() + "pump1.ini");
    EXPECT_TRUE(settings.Readable());
    EXPECT_EQ(settings.Reason(), "");
    EXPECT_EQ(settings.ReadSetting("General", "RemoteHost", ""), "plc");
    EXPECT_EQ(ReadLocalPorts(settings), "502=Main\0"s);

    EXPECT_EQ(settings.AppFolder(), folder.Path());
    EXPECT_EQ(ResolveBesideSettings(settings, "trace/today.log"), folder.Path() + "trace/today.log");
    EXPECT_EQ(ResolveBesideSettings(settings, "/var/log/t.log"), "/var/log/t.log");
    EXPECT_EQ(ResolveBesideSettings(settings, ""), "");
    EXPECT_EQ(SettingsFile::AtPath("pump1.ini").AppFolder(), "./");
}

// Runs `read`, which must not block on whatever sits at `path`; a reader
// stuck on a pipe is set free by opening its other end, and the test fails.
template <typename Result>
Result WithoutBlocking(const std::string& path, std::function<Result()> read) {
    auto pending = std::async(std::launch::async, std::move(read));
    if (pending.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "reading " << path << " blocked";
        const int release = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (release >= 0) ::close(release);
    }
    return pending.get();
}

TEST(SettingsFile, AnythingButASmallRegularFileReadsAsMissingAndSaysWhy) {
    const struct {
        const char* what;
        std::function<void(const testing::TempFolder&, const std::string&)> make;
        const char* reason;
    } cases[] = {
        {"missing", [](const auto&, const std::string&) {}, "no such file"},
        {"folder", [](const auto&, const std::string& p) { std::filesystem::create_directory(p); },
         "not a regular file"},
        {"pipe", [](const auto&, const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "not a regular file"},
        {"link to /dev/zero",
         [](const auto&, const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
         "not a regular file"},
        {"2 MiB", [](const testing::TempFolder& folder, const std::string&) {
             std::string big = "[General]\nSocketServer=1\n[LocalPorts]\n502\n";
             big.resize(std::size_t{2} << 20, ';');
             folder.Write(kSettingsFileName, big);
         }, "larger than 1 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::TempFolder folder;
        const std::string path = folder.Path() + std::string(kSettingsFileName);
        c.make(folder, path);
        const SettingsFile settings = WithoutBlocking<SettingsFile>(
            path, [&folder] { return SettingsFile(folder.Path()); });
        EXPECT_FALSE(settings.Readable());
        EXPECT_EQ(settings.Reason(), c.reason);
        EXPECT_EQ(settings.Path(), path);
        const StartupSettings startup = ReadStartupSettings(settings);
        EXPECT_FALSE(startup.SocketServer);
        EXPECT_EQ(ReadLocalPorts(settings), "");
        EXPECT_EQ(settings.ReadSetting("General", "SocketServer", "d"), "d");
    }
}

TEST(ReadSmallFile, ReadsRegularFilesUpToTheLimitThroughLinks) {
    testing::TempFolder folder;
    const std::string file = folder.Path() + "eight";
    folder.Write("eight", "12345678");
    std::filesystem::create_symlink(file, folder.Path() + "link");
    const struct {
        std::string path;
        std::size_t limit;
        const char* textOrReason;
    } cases[] = {
        {file, 8, "12345678"},
        {folder.Path() + "link", 8, "12345678"},
        {file, 7, "larger than 7 bytes"},
        {file + "/below", 8, "no such file"},
        // The system reports no size for these: the read itself must stop.
        {"/proc/self/maps", 2048, "larger than 2 KiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " " + std::to_string(c.limit));
        const FileText read = ReadSmallFile(c.path, c.limit);
        EXPECT_EQ(read.ok ? read.text : read.reason, c.textOrReason);
    }
    if (::geteuid() != 0) {  // root reads it anyway
        ::chmod(file.c_str(), 0);
        EXPECT_EQ(ReadSmallFile(file).reason, "permission denied");
    }
}

}  // namespace
}  // namespace tarvik
