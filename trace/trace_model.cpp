#include "trace/trace_model.h"

#include <algorithm>
#include <utility>

namespace tarvik {
namespace {

// A slot keeps its payload's storage for the next entry, but not that of a
// large dump once small entries follow.
constexpr std::size_t kKeptPayloadBytes = 4096;

}  // namespace

TraceEntry TraceModel::Record::View() const {
    TraceEntry entry;
    entry.kind = kind;
    entry.form = form;
    entry.transaction = transaction;
    entry.protocol = protocol;
    entry.firstNumber = firstNumber;
    entry.second = second;
    const std::string_view all(payload);
    entry.text = all.substr(0, textSize);
    entry.bytes = all.substr(textSize);
    return entry;
}

TraceModel::TraceModel(Clock clock) : clock_(std::move(clock)) {}

void TraceModel::AddListener(TraceListener& listener) { listeners_.push_back(&listener); }

void TraceModel::RemoveListener(TraceListener& listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), &listener),
                     listeners_.end());
}

void TraceModel::TraceRaw(std::string_view mark, std::string_view bytes) {
    if (bytes.empty()) {
        AppendBlank();
    } else {
        Append(MbapHeader{}, TraceKind::Raw, mark, bytes, HexForm::Bytes);
    }
    Trim();
    SelectLast();
    Changed();
}

void TraceModel::TraceRequest(const MbapHeader& header, std::string_view text) {
    Append(header, TraceKind::Request, text, {}, HexForm::Bytes);
    // A request line alone leaves the selection where the operator has it.
    Trim();
    Changed();
}

void TraceModel::TraceAnswer(const MbapHeader& header, std::string_view text) {
    TraceAnswerHex(header, text, {}, HexForm::Bytes);
}

void TraceModel::TraceAnswerHex(const MbapHeader& header, std::string_view text,
                                std::string_view bytes, HexForm form) {
    Append(header, TraceKind::Answer, text, bytes, form);
    Trim();
    SelectLast();
    Changed();
}

void TraceModel::TraceRegisterValues(const MbapHeader& header, int64_t firstNumber,
                                     std::string_view values) {
    const std::size_t lines = values.size() / 2;
    if (lines == 0) return;
    Append(header, TraceKind::RegisterValues, {}, values.substr(0, 2 * lines), HexForm::Words,
           firstNumber);
    // Trimming all at once leaves the lines and the selection as trimming
    // after each line would have.
    Trim();
    Changed(lines);
}

void TraceModel::Clear() {
    // Serials go on counting, so a view never mistakes a new line for one it
    // has already shown.
    firstSerial_ += lineCount_;
    oldest_ = (oldest_ + recordCount_) % kRecordSlots;
    recordCount_ = 0;
    trimmedOfOldest_ = 0;
    lineCount_ = 0;
    selectedRow_ = -1;
    Changed();
}

std::string TraceModel::Line(std::size_t row) const {
    std::size_t index = 0;
    const Record& record = Find(row, index);
    std::string line;
    const TraceEntry entry = record.View();
    AppendEntryLine(entry, index, clock_.Show(entry.second).time, line);
    return line;
}

std::size_t TraceModel::LineLength(std::size_t row) const {
    std::size_t index = 0;
    const Record& record = Find(row, index);
    const TraceEntry entry = record.View();
    const std::size_t timeLength =
        entry.kind == TraceKind::Blank ? 0 : clock_.Show(entry.second).time.size();
    return EntryLineLength(entry, index, timeLength);
}

std::string TraceModel::LinePart(std::size_t row, std::size_t first, std::size_t end) const {
    std::size_t index = 0;
    const Record& record = Find(row, index);
    std::string part;
    const TraceEntry entry = record.View();
    AppendEntryLinePart(entry, index, clock_.Show(entry.second).time, first, end, part);
    return part;
}

void TraceModel::Append(const MbapHeader& header, TraceKind kind, std::string_view text,
                        std::string_view bytes, HexForm form, int64_t firstNumber) {
    Record& record = records_[(oldest_ + recordCount_) % kRecordSlots];
    ++recordCount_;
    record.kind = kind;
    record.form = form;
    record.transaction = header.TransactionIdentifier;
    record.protocol = header.ProtocolIdentifier;
    record.firstNumber = firstNumber;
    record.second = kind == TraceKind::Blank ? 0 : clock_.Now();
    record.textSize = text.size();
    const std::size_t size = text.size() + bytes.size();
    if (record.payload.capacity() > kKeptPayloadBytes && size <= kKeptPayloadBytes) {
        std::string().swap(record.payload);
    }
    record.payload.assign(text);
    record.payload.append(bytes);
    record.serial = firstSerial_ + lineCount_;
    const TraceEntry entry = record.View();
    record.lines = entry.LineCount();
    lineCount_ += record.lines;
    for (TraceListener* listener : listeners_) listener->TraceRecorded(entry);
}

void TraceModel::AppendBlank() {
    // An empty line has no time: the clock is not read for it.
    Append(MbapHeader{}, TraceKind::Blank, {}, {}, HexForm::Bytes);
}

const TraceModel::Record& TraceModel::Find(std::size_t row, std::size_t& index) const {
    const uint64_t serial = firstSerial_ + row;
    // The last record that starts at or before the row's serial.
    std::size_t low = 0;
    std::size_t high = recordCount_;
    while (high - low > 1) {
        const std::size_t middle = low + (high - low) / 2;
        if (RecordAt(middle).serial <= serial) {
            low = middle;
        } else {
            high = middle;
        }
    }
    const Record& record = RecordAt(low);
    index = static_cast<std::size_t>(serial - record.serial);
    return record;
}

void TraceModel::Trim() {
    while (lineCount_ > kTraceLineLimit) {
        const Record& oldest = RecordAt(0);
        const std::size_t gone =
            std::min(lineCount_ - kTraceLineLimit, oldest.lines - trimmedOfOldest_);
        lineCount_ -= gone;
        firstSerial_ += gone;
        trimmedOfOldest_ += gone;
        // The selection stays on its line as the rows above it go; when its
        // own line goes, nothing is selected.
        if (selectedRow_ >= 0) {
            selectedRow_ = std::max(-1, selectedRow_ - static_cast<int>(gone));
        }
        if (trimmedOfOldest_ == oldest.lines) {
            oldest_ = (oldest_ + 1) % kRecordSlots;
            --recordCount_;
            trimmedOfOldest_ = 0;
        }
    }
}

void TraceModel::SelectLast() {
    selectedRow_ = lineCount_ == 0 ? -1 : static_cast<int>(lineCount_ - 1);
}

void TraceModel::Changed(uint64_t writes) {
    revision_ += writes;
    for (TraceListener* listener : listeners_) listener->TraceChanged();
}

}  // namespace tarvik
