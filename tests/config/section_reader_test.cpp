#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/settings_file.h"
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
        count_ = settings_.ReadSection("LocalPorts", buffer_, maxLength, kSettingsFileName);
        EXPECT_EQ(buffer_.size(), static_cast<std::size_t>(maxLength));
        return buffer_.substr(0, static_cast<std::size_t>(count_));
    }
    std::string SectionOf(const std::string& content, int32_t maxLength = 10240) {
        folder_.Write(kSettingsFileName, content);
        return Section(maxLength);
    }

    testing::TempFolder folder_;
    SettingsFile settings_{folder_.Path()};
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
    EXPECT_EQ(settings_.ReadSection("LocalPorts", buffer, 10240, kSettingsFileName), 4);
    EXPECT_EQ(buffer, "502\0  "s);
}

TEST_F(SectionReaderTest, MissingOrUnreadableFileGivesZero) {
    EXPECT_EQ(Section(), "");
    std::filesystem::create_directory(folder_.Path() + std::string(kSettingsFileName));
    EXPECT_EQ(Section(), "");
    EXPECT_EQ(count_, 0);
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
    const std::string host = settings.ReadSetting("General", "RemoteHost", "", kSettingsFileName);
    std::filesystem::current_path(previous);
    EXPECT_EQ(host, "mine");
}

}  // namespace
}  // namespace tarvik
