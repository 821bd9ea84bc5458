#include "ui/trace_model.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "engine/text_forms.h"

namespace tarvik {

std::string SystemTimeOfDay() {
    // Every trace line asks for the time; the text only changes once a second,
    // so it is formatted once a second instead of once a line.
    static std::time_t shownSecond = -1;
    static std::string shownText;
    const std::time_t now = std::time(nullptr);
    if (now == shownSecond) return shownText;
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return "00:00:00";
    }
    // Fixed 24-hour form, so traces from differently set-up machines compare.
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min,
                  local.tm_sec);
    shownSecond = now;
    shownText = text;
    return shownText;
}

TraceModel::TraceModel(Clock clock) : clock_(std::move(clock)) {}

void TraceModel::TraceRaw(std::string_view mark, const Packet& packet) {
    if (packet.empty()) {
        Append(std::string());
    } else {
        const std::string time = clock_();
        std::string line;
        // A dump of a 64 KiB frame is built in one pass, without regrowing.
        line.reserve(time.size() + 1 + mark.size() + 6 + 3 * packet.size());
        line += time;
        line += ' ';
        line += mark;
        line += " Raw: ";
        for (const char byte : packet) {
            AppendHex2Blank(line, static_cast<unsigned char>(byte));
        }
        Append(std::move(line));
    }
    Trim();
    SelectLast();
    ++revision_;
}

void TraceModel::TraceRequest(const MbapHeader& header, std::string_view text) {
    const std::string time = clock_();
    const std::string id = Hex4(header.TransactionIdentifier);
    std::string line;
    line.reserve(time.size() + 4 + id.size() + 1 + text.size());
    line += time;
    line += " <- ";
    line += id;
    line += ' ';
    line += text;
    Append(std::move(line));
    // A request line alone leaves the selection where the operator has it.
    Trim();
    ++revision_;
}

void TraceModel::TraceAnswer(const MbapHeader& header, std::string_view text) {
    const std::string time = clock_();
    const std::string transaction = Hex4(header.TransactionIdentifier);
    const std::string protocol = Hex4(header.ProtocolIdentifier);
    std::string line;
    line.reserve(time.size() + 4 + transaction.size() + 1 + protocol.size() + 1 + text.size());
    line += time;
    line += " -> ";
    line += transaction;
    line += ' ';
    line += protocol;
    line += ' ';
    line += text;
    Append(std::move(line));
    Append(std::string());
    Trim();
    SelectLast();
    ++revision_;
}

void TraceModel::Clear() {
    // Serials go on counting, so a view never mistakes a new line for one it
    // has already shown.
    firstSerial_ += lines_.size();
    lines_.clear();
    selectedRow_ = -1;
    ++revision_;
}

void TraceModel::Append(std::string line) {
    lines_.push_back(std::move(line));
}

void TraceModel::Trim() {
    while (lines_.size() > kTraceLineLimit) {
        lines_.pop_front();
        ++firstSerial_;
        // The selection stays on its line as the rows above it go; when its
        // own line goes, nothing is selected.
        if (selectedRow_ >= 0) {
            --selectedRow_;
        }
    }
}

void TraceModel::SelectLast() {
    selectedRow_ = lines_.empty() ? -1 : static_cast<int>(lines_.size() - 1);
}

}  // namespace tarvik
