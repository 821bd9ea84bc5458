// The settings file's two readers, single keys and list sections, with the
// quirks of the profile reader they stand in for; what is read at all; and
// the entries of one named section.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "config/section_lines.h"
#include "config/settings_file.h"
#include "config/small_file.h"
#include "config/startup_settings.h"
#include "temp_folder.h"

namespace tarvik {
namespace {

using namespace std::string_literals;
using testing::SettingsOf;

TEST(ReadSetting, FollowsTheProfileReaderContract) {
    const struct {
        const char *content, *section, *key, *value;
    } cases[] = {
        // names trimmed and matched without regard to case
        {"  [ GENERAL ] main\r\n\t SocketServer \t= 1\r\n", " general ", "SOCKETSERVER ", "1"},
        // value trimmed, one pair of quotes removed, nothing stripped as a comment
        {"[General]\r\nRemoteHost= \" spaced \" \r\n", "General", "RemoteHost", " spaced "},
        {"[General]\r\nRemoteHost='single'\r\n", "General", "RemoteHost", "single"},
        {"[General]\r\nRemoteHost=\"mixed'\r\n", "General", "RemoteHost", "\"mixed'"},
        {"[General]\r\nRemoteHost=\"\r\n", "General", "RemoteHost", "\""},
        {"[General]\r\nRemoteHost=plc ; old=x\r\n", "General", "RemoteHost", "plc ; old=x"},
        {"[General]\r\nRemoteHost=\r\n", "General", "RemoteHost", ""},
        // comment lines, lines that are no keys, keys before any header
        {"[General]\r\n  ; SocketServer=1\r\n", "General", "SocketServer", "<default>"},
        {"[General]\r\nSocketServer\r\n=5\r\n", "General", "SocketServer", "<default>"},
        {"[General]\r\n=5\r\n", "General", "", "<default>"},
        {"SocketServer=1\r\n[General]\r\n", "", "SocketServer", "<default>"},
        // the first section and the first key of a name win
        {"[General]\r\nA=1\r\nA=2\r\n[X]\r\n[General]\r\nA=3\r\nB=4\r\n", "General", "A", "1"},
        {"[General]\r\nA=1\r\n[X]\r\n[General]\r\nB=4\r\n", "general", "B", "<default>"},
        {"[Other]\r\nSocketServer=1\r\n", "General", "SocketServer", "<default>"},
        // any line end, a byte-order mark, no last line end
        {"[General]\rRemotePort=502\rRemoteHost=plc\r", "General", "RemoteHost", "plc"},
        {"\xEF\xBB\xBF[General]\nRemotePort=502", "General", "RemotePort", "502"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.content)));
        EXPECT_EQ(SettingsOf(c.content).ReadSetting(c.section, c.key, "<default>"), c.value);
    }
}

TEST(ReadSetting, CutsValuesAndDefaultsTo2047AndFindSettingTellsAMissingKeyFromAnEmptyOne) {
    const std::string exact(2047, 'a');
    const SettingsFile settings =
        SettingsOf("[General]\r\nRemoteHost=" + exact + "tail\r\nRemotePort=\r\n");
    EXPECT_EQ(settings.ReadSetting("General", "RemoteHost", ""), exact);
    EXPECT_EQ(settings.ReadSetting("General", "Missing", std::string(3000, 'a')), exact);
    EXPECT_EQ(settings.FindSetting("General", "RemoteHost"), exact);
    EXPECT_EQ(settings.FindSetting("General", "RemotePort"), std::optional<std::string>(""));
    EXPECT_EQ(settings.FindSetting("General", "Missing"), std::nullopt);
}

// What the caller keeps: the first `count` characters of a buffer of
// maxLength blanks. Nothing past them may have been written.
std::string Section(const SettingsFile& settings, int32_t maxLength = 10240) {
    std::string buffer(static_cast<std::size_t>(maxLength), ' ');
    const auto count =
        static_cast<std::size_t>(settings.ReadSection("LocalPorts", buffer, maxLength));
    EXPECT_EQ(buffer.size(), static_cast<std::size_t>(maxLength));
    EXPECT_EQ(buffer.find_first_not_of(' ', count), std::string::npos);
    return buffer.substr(0, count);
}

// Each line copied ends with a NUL, shown here as "|".
TEST(ReadSection, CopiesTheLinesOfTheFirstMatchingSectionEachWithANulWhileTheyFit) {
    const struct {
        const char* content;
        std::string lines;
        int32_t maxLength = 10240;
    } cases[] = {
        // upper-cased name match; blanks count; text after "]" ignored
        {"[ LocalPorts ]\r\n502\r\n", ""},
        {" [LocalPorts]\r\n502\r\n", ""},
        {"[localports] ; ports\r\n502\r\n", "502|"},
        // other sections and lines before the first header are skipped
        {"502\r\n[General]\r\nA=1\r\n[LocalPorts]\r\n503\r\n[Other]\r\n504\r\n", "503|"},
        {"[LocalPorts]\r\n502=First\r\n[LocalPorts]\r\n503=Second\r\n", "502=First|"},
        // comments and empty lines skipped without ending the list
        {"[LocalPorts]\r\n502=Main\r\n; 502=old\r\n\r\n503=Backup\r\n", "502=Main|503=Backup|"},
        // every other line unchanged
        {"[LocalPorts]\r\n  502 = Main \r\n ;x\r\n\tT\r\n[no bracket\r\n",
         "  502 = Main | ;x|\tT|[no bracket|"},
        // any line end, no last line end, a byte-order mark
        {"[LocalPorts]\r502=Main\r503", "502=Main|503|"},
        {"\xEF\xBB\xBF[LocalPorts]\n502\n\n;x\n503\n[General]\nA=1\n", "502|503|"},
        {"[LocalPorts]\n\r502\r\n\xEF\xBB\xBF"
         "503\n",
         "502|\xEF\xBB\xBF"
         "503|"},
        // only one whole leading mark is skipped
        {"\xEF\xBB\xBF\xEF\xBB\xBF[LocalPorts]\n502\n", ""},
        {"\xEF\xBB[LocalPorts]\n502\n", ""},
        // the first line that does not fit is refused, and every later one:
        // "502=Main" takes 9 of 20, the next would need 25, "5" would fit
        {"[LocalPorts]\r\n502=Main\r\n503=Backupxxxxx\r\n5\r\n", "502=Main|", 20},
        {"[LocalPorts]\r\n12345678\r\n", "12345678|", 10},
        {"[LocalPorts]\r\n123456789\r\n", "", 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.content)));
        std::string lines = c.lines;
        std::replace(lines.begin(), lines.end(), '|', '\0');
        EXPECT_EQ(Section(SettingsOf(c.content), c.maxLength), lines);
    }
    // A buffer shorter than the length it claims is never written past.
    std::string buffer(6, ' ');
    EXPECT_EQ(SettingsOf("[LocalPorts]\r\n502\r\n503=Backup\r\n")
                  .ReadSection("LocalPorts", buffer, 10240),
              4);
    EXPECT_EQ(buffer, "502\0  "s);
}

TEST(SettingsFile, IsReadOnceFromItsPathWhoseFolderResolvesOtherFiles) {
    EXPECT_EQ(AppFolderOf("/opt/tarvik/TarvikSlave"), "/opt/tarvik/");
    EXPECT_EQ(AppFolderOf("TarvikSlave"), "./");

    testing::TempFolder folder;
    const std::string path = folder.Path() + "pump1.ini";
    folder.Write("pump1.ini", "[General]\nRemoteHost=plc\n[LocalPorts]\n502=Main\n");
    const SettingsFile settings = SettingsFile::AtPath(path);
    // Neither a rewritten nor a removed file changes the answers.
    folder.Write("pump1.ini", "[General]\nRemoteHost=other\n");
    std::filesystem::remove(path);
    EXPECT_TRUE(settings.Readable());
    EXPECT_EQ(settings.Reason(), "");
    EXPECT_EQ(settings.ReadSetting("General", "RemoteHost", ""), "plc");
    EXPECT_EQ(ReadLocalPorts(settings), "502=Main\0"s);
    EXPECT_EQ(settings.AppFolder(), folder.Path());
    EXPECT_EQ(ResolveBesideSettings(settings, "trace/today.log"),
              folder.Path() + "trace/today.log");
    EXPECT_EQ(ResolveBesideSettings(settings, "/var/log/t.log"), "/var/log/t.log");
    EXPECT_EQ(ResolveBesideSettings(settings, ""), "");

    // One that cannot be read answers as an empty file does, and says why.
    const SettingsFile gone = SettingsFile::AtPath(path);
    EXPECT_FALSE(gone.Readable());
    EXPECT_EQ(gone.Reason(), "no such file");
    EXPECT_EQ(gone.Path(), path);
    EXPECT_EQ(gone.ReadSetting("General", "RemoteHost", "d"), "d");
    EXPECT_EQ(ReadLocalPorts(gone), "");
}

// Whatever sits at the path, reading neither waits nor takes more than the
// limit. A pipe would hold a blocking open for good: the alarm ends the test.
TEST(ReadSmallFile, ReadsRegularFilesUpToTheLimitThroughLinksAndNothingElse) {
    testing::TempFolder folder;
    const std::string& at = folder.Path();
    folder.Write("eight", "12345678");
    std::filesystem::create_symlink(at + "eight", at + "link");
    std::filesystem::create_directory(at + "folder");
    std::filesystem::create_symlink("/dev/zero", at + "zero");
    ASSERT_EQ(::mkfifo((at + "pipe").c_str(), 0600), 0);
    const struct {
        std::string path;
        std::size_t limit;
        const char* textOrReason;
    } cases[] = {
        {at + "eight", 8, "12345678"},
        {at + "link", 8, "12345678"},
        {at + "eight", 7, "larger than 7 bytes"},
        {at + "eight/below", 8, "no such file"},
        {at + "folder", 8, "not a regular file"},
        {at + "zero", 8, "not a regular file"},
        {at + "pipe", 8, "not a regular file"},
        // The system reports no size for these: the read itself must stop.
        {"/proc/self/maps", 2048, "larger than 2 KiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " " + std::to_string(c.limit));
        ::alarm(20);
        const FileText read = ReadSmallFile(c.path, c.limit);
        ::alarm(0);
        EXPECT_EQ(read.ok ? read.text : read.reason, c.textOrReason);
    }
    if (::geteuid() != 0) {  // root reads it anyway
        ::chmod((at + "eight").c_str(), 0);
        EXPECT_EQ(ReadSmallFile(at + "eight").reason, "permission denied");
    }
}

TEST(SectionLines, EntriesOfTheFirstSectionOfTheName) {
    const std::string text =
        "[General]\nSocketServer=1\n"
        "[ units ] trailing text\r\n"
        "; a comment\n"
        "\t \n"
        "  Served = 1-3, 5 \n"
        "NoEquals\n"
        "Absent=\n"
        "[Other]\nServed=9\n"
        "[Units]\nServed=7\n";
    const SectionLines lines = ReadSectionLinesFromText(text, "Units");
    ASSERT_TRUE(lines.present);
    std::vector<std::tuple<std::string, bool, std::string>> entries;
    for (const auto& e : lines.entries) entries.emplace_back(e.name, e.hasEquals, e.value);
    EXPECT_EQ(entries,
              (decltype(entries){
                  {"Served", true, "1-3, 5"}, {"NoEquals", false, ""}, {"Absent", true, ""}}));
    // A missing section and an empty one differ.
    EXPECT_FALSE(ReadSectionLinesFromText("[General]\nA=1\n", "Faults").present);
    const SectionLines empty =
        ReadSectionLinesFromText("[Faults]\n; none yet\n[General]\n", "Faults");
    EXPECT_TRUE(empty.present && empty.entries.empty());
}

}  // namespace
}  // namespace tarvik
