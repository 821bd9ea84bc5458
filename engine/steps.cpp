#include "engine/steps.h"

#include <algorithm>

namespace tarvik {

namespace {

// Transaction, protocol, length, unit and function byte.
constexpr std::size_t kAnswerHeaderBytes = 8;
// The Length field sits after transaction and protocol identifiers.
constexpr std::size_t kLengthAt = 4;

}  // namespace

void StepList::Clear() {
    steps_.clear();
    arena_.clear();
}

void StepList::Trace(StepKind kind, const MbapHeader& header, std::string_view text,
                     std::string_view bytes, HexForm form, int64_t firstNumber) {
    Step step;
    step.kind = kind;
    step.form = form;
    step.header = header;
    step.firstNumber = firstNumber;
    step.textAt = arena_.size();
    step.textSize = text.size();
    arena_.append(text);
    step.bytesAt = arena_.size();
    step.bytesSize = bytes.size();
    arena_.append(bytes);
    steps_.push_back(step);
}

std::string& StepList::BeginAnswer(const MbapHeader& header, int functionByte) {
    answerAt_ = arena_.size();
    building_ = Step{};
    building_.kind = StepKind::Send;
    building_.header = header;
    const auto byte = [](int32_t value) { return static_cast<char>(value & 0xFF); };
    const char head[kAnswerHeaderBytes] = {byte(header.TransactionIdentifier >> 8),
                                           byte(header.TransactionIdentifier),
                                           byte(header.ProtocolIdentifier >> 8),
                                           byte(header.ProtocolIdentifier),
                                           0,  // the length, set by EndAnswer
                                           0,
                                           byte(header.UnitIdentifier),
                                           byte(functionByte)};
    arena_.append(head, kAnswerHeaderBytes);
    return arena_;
}

void StepList::EndAnswer(const AnswerRoute& route, Departure departure, int32_t delayMs,
                         bool viewDebugData) {
    const std::size_t size = arena_.size() - answerAt_;
    // The longest answer (the echo of a whole Write Multiple Registers
    // request) has 65533 data bytes, so the length word always fits.
    const std::size_t length = size - kAnswerHeaderBytes + 2;
    arena_[answerAt_ + kLengthAt] = static_cast<char>((length >> 8) & 0xFF);
    arena_[answerAt_ + kLengthAt + 1] = static_cast<char>(length & 0xFF);
    building_.route = route;
    building_.departure = departure;
    building_.delayMs = delayMs;
    building_.viewDebugData = viewDebugData;
    building_.bytesAt = answerAt_;
    building_.bytesSize = size;
    steps_.push_back(building_);
    metered_ += size;
}

void StepList::TraceAnswerData(const MbapHeader& header, std::string_view text, HexForm form,
                               std::size_t skip) {
    const Step& answer = steps_.back();
    const std::size_t dataAt = answer.bytesAt + kAnswerHeaderBytes + skip;
    const std::size_t dataEnd = answer.bytesAt + answer.bytesSize;
    Trace(StepKind::AnswerHex, header, text, {}, form);
    Step& step = steps_.back();
    step.bytesAt = dataAt;
    step.bytesSize = dataEnd > dataAt ? dataEnd - dataAt : 0;
}

void StepList::Close(const AnswerRoute& route) {
    Step step;
    step.kind = StepKind::Close;
    step.route = route;
    step.textAt = step.bytesAt = arena_.size();
    steps_.push_back(step);
}

void StepList::MoveLastTo(std::size_t at) {
    if (at >= steps_.size()) return;
    std::rotate(steps_.begin() + static_cast<std::ptrdiff_t>(at), steps_.end() - 1, steps_.end());
}

void StepList::WriteTrace(const Step& step, TraceWriter& trace) const {
    switch (step.kind) {
        case StepKind::Raw: trace.TraceRaw(Text(step), Bytes(step)); break;
        case StepKind::Request: trace.TraceRequest(step.header, Text(step)); break;
        case StepKind::Answer: trace.TraceAnswer(step.header, Text(step)); break;
        case StepKind::AnswerHex:
            trace.TraceAnswerHex(step.header, Text(step), Bytes(step), step.form);
            break;
        case StepKind::RegisterValues:
            trace.TraceRegisterValues(step.header, step.firstNumber, Bytes(step));
            break;
        case StepKind::Send:
        case StepKind::Close: break;
    }
}

}  // namespace tarvik
