// One trace entry as it is kept: what happened and the raw material of its
// text (the clock reading, the identifiers, the bytes or values), from which
// its lines are made only when something shows them. One entry may stand for
// several lines: an answer line and the empty line after it, or the
// "Registervalue" lines of a multiple register write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "engine/trace_writer.h"
#include "trace/trace_clock.h"

namespace tarvik {

enum class TraceKind : uint8_t {
    Blank,           // one empty line
    Raw,             // "<time> <text> Raw: <bytes>": `text` is the mark
    Request,         // "<time> <- TTTT <text><bytes>"
    Answer,          // "<time> -> TTTT PPPP <text><bytes>", then an empty line
    RegisterValues,  // per word of `bytes`: "<time> <- TTTT Registervalue <n>, value <hex4>"
};

// A view: `text` and `bytes` point into whoever keeps the entry.
struct TraceEntry {
    TraceKind kind = TraceKind::Blank;
    HexForm form = HexForm::Bytes;  // how `bytes` is shown after `text`
    int32_t transaction = 0;        // TTTT: its last four hex digits are shown
    int32_t protocol = 0;           // PPPP
    int64_t firstNumber = 0;        // of the first "Registervalue" line
    std::time_t second = 0;         // the clock reading (TraceClock::Now)
    std::string_view text;
    std::string_view bytes;

    std::size_t LineCount() const;
};

// Line `index` of `entry`, without its line end, its time shown as `time`.
void AppendEntryLine(const TraceEntry& entry, std::size_t index, std::string_view time,
                     std::string& out);
// Its length, without making it.
std::size_t EntryLineLength(const TraceEntry& entry, std::size_t index, std::size_t timeLength);
// Its columns [first, end): a dump of 64 KiB costs no more than what is cut.
void AppendEntryLinePart(const TraceEntry& entry, std::size_t index, std::string_view time,
                         std::size_t first, std::size_t end, std::string& out);
// Every line of `entry`, each ended by '\n'; when `dated`, every line that
// is not empty starts with the reading's date and a blank.
void AppendEntryLines(const TraceEntry& entry, const TraceStamp& stamp, bool dated,
                      std::string& out);

// An entry in a byte string, to pass it to another thread in a batch.
void EncodeEntry(const TraceEntry& entry, std::string& out);
// Decodes the entry at the front of `in` and removes it from `in`; the
// views point into `in`'s bytes. False when `in` holds no whole entry.
bool DecodeEntry(std::string_view& in, TraceEntry& entry);

}  // namespace tarvik
