// The writers of the debug trace, as the steps of an arrival are carried out.
// The first three take finished texts; the others hand over the raw material
// of texts that are long or many, so a trace that keeps records can leave
// the text to whoever shows it. Their defaults write the same lines through
// the first three.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/mbap_header.h"
#include "engine/packet.h"
#include "engine/text_forms.h"

namespace tarvik {

class TraceWriter {
public:
    virtual ~TraceWriter() = default;
    // mark is "<-" (received) or "->" (sent).
    virtual void TraceRaw(std::string_view mark, std::string_view bytes) = 0;
    virtual void TraceRequest(const MbapHeader& header, std::string_view text) = 0;
    virtual void TraceAnswer(const MbapHeader& header, std::string_view text) = 0;

    // An answer line of `text` followed by `bytes` in `form`.
    virtual void TraceAnswerHex(const MbapHeader& header, std::string_view text,
                                std::string_view bytes, HexForm form) {
        std::string line(text);
        AppendHex(line, bytes, form);
        TraceAnswer(header, line);
    }
    // One request line per big-endian word of `values`, numbered on from
    // `firstNumber` (AppendRegisterValueText).
    virtual void TraceRegisterValues(const MbapHeader& header, int64_t firstNumber,
                                     std::string_view values) {
        std::string line;
        for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
            line.clear();
            AppendRegisterValueText(line, firstNumber + static_cast<int64_t>(i / 2),
                                    256 * static_cast<unsigned char>(values[i]) +
                                        static_cast<unsigned char>(values[i + 1]));
            TraceRequest(header, line);
        }
    }
};

}  // namespace tarvik
