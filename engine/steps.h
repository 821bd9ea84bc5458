// What the engine makes of one arrival: an ordered list of steps, trace
// records and answers interleaved exactly as the trace shows them. The
// session that received the bytes carries them out in order; nothing is
// sent or written while the engine works.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/answer_route.h"
#include "engine/mbap_header.h"
#include "engine/text_forms.h"
#include "engine/trace_writer.h"

namespace tarvik {

enum class StepKind : uint8_t {
    Raw,             // a raw dump: text is the mark ("<-"), bytes the bytes
    Request,         // a request line
    Answer,          // an answer line
    AnswerHex,       // an answer line, then bytes in form
    RegisterValues,  // one request line per word of bytes, from firstNumber on
    Send,            // an answer frame (bytes) for route
    Close,           // close route's connection: nothing more goes out on it
};

// When an answer leaves: at once, or after delayMs through the delayed-answer
// queue (the operator's delay, or a fault rule's).
enum class Departure : uint8_t { Now, Delayed };

struct Step {
    StepKind kind = StepKind::Request;
    HexForm form = HexForm::Bytes;
    Departure departure = Departure::Now;
    bool viewDebugData = false;  // Send: dump the frame ("->") as it leaves
    int32_t delayMs = 0;
    MbapHeader header;
    int64_t firstNumber = 0;
    AnswerRoute route;
    // Where text and bytes lie in the list's own storage.
    std::size_t textAt = 0, textSize = 0;
    std::size_t bytesAt = 0, bytesSize = 0;
};

class StepList {
public:
    // Empties the list; its storage is kept for the next arrival.
    void Clear();

    // A trace record; text and bytes are copied.
    void Trace(StepKind kind, const MbapHeader& header, std::string_view text,
               std::string_view bytes = {}, HexForm form = HexForm::Bytes, int64_t firstNumber = 0);

    // An answer frame is built in place: BeginAnswer writes the header and
    // function byte and returns the storage to append the answer data to;
    // EndAnswer sets the length and records the step.
    std::string& BeginAnswer(const MbapHeader& header, int functionByte);
    void EndAnswer(const AnswerRoute& route, Departure departure, int32_t delayMs,
                   bool viewDebugData);

    // An answer line followed by the data of the answer just recorded (after
    // its function byte), `skip` bytes left out at the front, in `form`:
    // the bytes are not copied again.
    void TraceAnswerData(const MbapHeader& header, std::string_view text, HexForm form,
                         std::size_t skip = 0);

    void Close(const AnswerRoute& route);

    // Moves the last step to position `at`, the steps from there on one
    // place back: a line that must stand before steps already recorded.
    void MoveLastTo(std::size_t at);

    // Answer bytes recorded since the last ResetMeter: what one pass of the
    // event loop hands on is bounded by them.
    std::size_t MeteredBytes() const { return metered_; }
    void ResetMeter() { metered_ = 0; }

    std::size_t size() const { return steps_.size(); }
    bool empty() const { return steps_.empty(); }
    const Step& operator[](std::size_t i) const { return steps_[i]; }
    std::vector<Step>::const_iterator begin() const { return steps_.begin(); }
    std::vector<Step>::const_iterator end() const { return steps_.end(); }

    std::string_view Text(const Step& step) const {
        return std::string_view(arena_).substr(step.textAt, step.textSize);
    }
    std::string_view Bytes(const Step& step) const {
        return std::string_view(arena_).substr(step.bytesAt, step.bytesSize);
    }

    // Hands a trace record to `trace`; a Send or Close step is not one.
    void WriteTrace(const Step& step, TraceWriter& trace) const;

private:
    std::vector<Step> steps_;
    std::string arena_;
    std::size_t answerAt_ = 0;  // where the answer being built begins
    Step building_;
    std::size_t metered_ = 0;
};

}  // namespace tarvik
