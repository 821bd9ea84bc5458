// The settings of a file written into a fresh folder.
#pragma once

#include <string_view>

#include "config/settings_file.h"
#include "testkit/temp_folder.h"

namespace tarvik::testing {

// The settings file is read once when made, so its folder may go at once.
inline SettingsFile SettingsOf(std::string_view content) {
    const TempFolder folder;
    folder.Write(kSettingsFileName, content);
    return SettingsFile(folder.Path());
}

}  // namespace tarvik::testing
