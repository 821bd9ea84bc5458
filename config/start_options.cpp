#include "config/start_options.h"

#include <charconv>
#include <optional>
#include <system_error>
#include <utility>

namespace tarvik {

namespace {

void ReadCheck(const std::optional<std::string>& value, bool& option) {
    if (value == "1") {
        option = true;
    } else if (value == "0") {
        option = false;
    }
}

int WholeMegabytes(const std::optional<std::string>& value) {
    if (!value || value->empty() || value->find_first_not_of("0123456789") != std::string::npos) {
        return kDefaultTraceFileMaxMB;
    }
    int megabytes = 0;
    const auto [end, ec] = std::from_chars(value->data(), value->data() + value->size(), megabytes);
    (void)end;
    return ec == std::errc() ? megabytes : kDefaultTraceFileMaxMB;
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
    options.TraceFileMaxMB = WholeMegabytes(find("TraceFileMaxMB"));
    options.RegistersFile = find("RegistersFile").value_or("");
    return options;
}

}  // namespace tarvik
