#include "config/start_options.h"

#include <charconv>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "config/section_lines.h"

namespace tarvik {

namespace {

void ReadCheck(const std::optional<std::string>& value, bool& option) {
    if (value == "1") {
        option = true;
    } else if (value == "0") {
        option = false;
    }
}

// Nothing when the value is not a whole number that fits.
std::optional<int> WholeMegabytes(const std::string& value) {
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    int megabytes = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), megabytes);
    (void)end;
    if (ec != std::errc()) return std::nullopt;
    return megabytes;
}

}  // namespace

StartOptions ReadStartOptions(const SettingsFile& settings) {
    const auto find = [&settings](std::string_view key) {
        return settings.FindSetting(kOptionsSection, key);
    };
    StartOptions options;
    ReadCheck(find("ShowRawData"), options.ShowRawData);
    ReadCheck(find("ShowReads"), options.ShowReads);
    ReadCheck(find("DontAnswer"), options.DontAnswer);
    ReadCheck(find("DelayAnswer"), options.DelayAnswer);
    if (std::optional<std::string> text = find("DelayText")) {
        options.DelayText = std::move(*text);
    }
    options.TraceFile = find("TraceFile").value_or("");
    if (const std::optional<std::string> size = find("TraceFileMaxMB")) {
        if (const std::optional<int> megabytes = WholeMegabytes(*size)) {
            options.TraceFileMaxMB = *megabytes;
        } else {
            // A typo must not silently leave the trace file at a size nobody chose.
            const SettingsError error{
                std::string(kOptionsSection), "TraceFileMaxMB", *size,
                "not a whole number of MiB (using " + std::to_string(kDefaultTraceFileMaxMB) + ")"};
            options.Warnings.push_back(error.Text());
        }
    }
    options.RegistersFile = find("RegistersFile").value_or("");
    return options;
}

}  // namespace tarvik
