#include "trace/trace_model.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

#include "engine/text_forms.h"

namespace tarvik {

TraceStamp SystemTraceStamp() {
    // Every trace line asks for the time; the text only changes once a second,
    // so it is formatted once a second instead of once a line.
    static std::time_t shownSecond = -1;
    static TraceStamp shown;
    const std::time_t now = std::time(nullptr);
    if (now == shownSecond) return shown;
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return TraceStamp("00:00:00", "1970-01-01");
    // Fixed forms, so traces from differently set-up machines compare.
    char time[32];
    char date[32];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    shownSecond = now;
    shown = TraceStamp(time, date);
    return shown;
}

TraceModel::TraceModel(Clock clock) : clock_(std::move(clock)) {}

void TraceModel::AddListener(TraceListener& listener) { listeners_.push_back(&listener); }

void TraceModel::RemoveListener(TraceListener& listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), &listener),
                     listeners_.end());
}

void TraceModel::TraceRaw(std::string_view mark, const Packet& packet) {
    if (packet.empty()) {
        Append(std::string(), {});
    } else {
        const TraceStamp stamp = clock_();
        std::string line;
        // A dump of a 64 KiB frame is built in one pass, without regrowing.
        line.reserve(stamp.time.size() + 1 + mark.size() + 6 + 3 * packet.size());
        line += stamp.time;
        line += ' ';
        line += mark;
        line += " Raw: ";
        for (const char byte : packet) {
            AppendHex2Blank(line, static_cast<unsigned char>(byte));
        }
        Append(std::move(line), stamp.date);
    }
    Trim();
    SelectLast();
    Changed();
}

void TraceModel::TraceRequest(const MbapHeader& header, std::string_view text) {
    const TraceStamp stamp = clock_();
    const std::string id = Hex4(header.TransactionIdentifier);
    std::string line;
    line.reserve(stamp.time.size() + 4 + id.size() + 1 + text.size());
    line += stamp.time;
    line += " <- ";
    line += id;
    line += ' ';
    line += text;
    Append(std::move(line), stamp.date);
    // A request line alone leaves the selection where the operator has it.
    Trim();
    Changed();
}

void TraceModel::TraceAnswer(const MbapHeader& header, std::string_view text) {
    const TraceStamp stamp = clock_();
    const std::string transaction = Hex4(header.TransactionIdentifier);
    const std::string protocol = Hex4(header.ProtocolIdentifier);
    std::string line;
    line.reserve(stamp.time.size() + 4 + transaction.size() + 1 + protocol.size() + 1 +
                 text.size());
    line += stamp.time;
    line += " -> ";
    line += transaction;
    line += ' ';
    line += protocol;
    line += ' ';
    line += text;
    Append(std::move(line), stamp.date);
    Append(std::string(), stamp.date);
    Trim();
    SelectLast();
    Changed();
}

void TraceModel::Clear() {
    // Serials go on counting, so a view never mistakes a new line for one it
    // has already shown.
    firstSerial_ += lines_.size();
    lines_.clear();
    selectedRow_ = -1;
    Changed();
}

void TraceModel::Append(std::string line, std::string_view date) {
    for (TraceListener* listener : listeners_) listener->TraceLine(date, line);
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

void TraceModel::Changed() {
    ++revision_;
    for (TraceListener* listener : listeners_) listener->TraceChanged();
}

}  // namespace tarvik
