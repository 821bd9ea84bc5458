#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "config/settings_file.h"
#include "temp_folder.h"

namespace tarvik {
namespace {

class IniReaderTest : public ::testing::Test {
protected:
    std::string Read(const std::string& content, std::string_view section, std::string_view key,
                     std::string_view defaultValue = "<default>") {
        folder_.Write(kSettingsFileName, content);
        return SettingsFile(folder_.Path()).ReadSetting(section, key, defaultValue);
    }

    testing::TempFolder folder_;
};

TEST_F(IniReaderTest, FollowsTheProfileReaderContract) {
    const struct {
        const char* content;
        const char* section;
        const char* key;
        const char* value;
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
        EXPECT_EQ(Read(c.content, c.section, c.key), c.value);
    }
}

TEST_F(IniReaderTest, CutsValuesAndDefaultsTo2047Characters) {
    const std::string exact(2047, 'a');
    EXPECT_EQ(Read("[General]\r\nRemoteHost=" + exact + "tail\r\n", "General", "RemoteHost"), exact);
    EXPECT_EQ(Read("", "General", "RemoteHost", std::string(3000, 'a')), exact);
}

TEST_F(IniReaderTest, FindSettingTellsAMissingKeyFromAnEmptyOne) {
    folder_.Write(kSettingsFileName, "[General]\r\nRemoteHost=\r\n");
    const SettingsFile settings(folder_.Path());
    EXPECT_EQ(settings.FindSetting("General", "RemoteHost"), std::optional<std::string>(""));
    EXPECT_EQ(settings.FindSetting("General", "RemotePort"), std::nullopt);
    EXPECT_EQ(SettingsFile(folder_.Path() + "elsewhere/").FindSetting("General", "RemoteHost"),
              std::nullopt);
}

}  // namespace
}  // namespace tarvik
