#include "trace/trace_streams.h"

#include <string>

namespace tarvik {

void TraceStream::TraceLine(std::string_view date, std::string_view line) {
    if (dated_ == Dated::No || line.empty()) {
        writer_.Add(line);  // empty lines stay empty
        return;
    }
    std::string dated;
    dated.reserve(date.size() + 1 + line.size() + 1);
    dated += date;
    dated += ' ';
    dated += line;
    writer_.Add(dated);
}

}  // namespace tarvik
