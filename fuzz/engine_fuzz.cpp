// Feeds arbitrary byte chunks into the engine under every option setting and
// checks what must hold whatever a master sends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/slave_engine.h"

namespace {

using namespace tarvik;

struct Options : OperatorOptions {
    uint8_t bits = 0;
    bool ShowRawData() const override { return bits & 1; }
    bool ShowReads() const override { return bits & 2; }
    bool DontAnswer() const override { return bits & 4; }
    bool DelayAnswer() const override { return false; }
    std::string DelayText() const override { return "0"; }
};

struct Trace : TraceWriter {
    std::size_t bytes = 0;
    void TraceRaw(std::string_view, const Packet& p) override { bytes += p.size(); }
    void TraceRequest(const MbapHeader& h, std::string_view t) override {
        if (h.TransactionIdentifier < 0 || h.TransactionIdentifier > 65535) std::abort();
        bytes += t.size();
    }
    void TraceAnswer(const MbapHeader&, std::string_view t) override { bytes += t.size(); }
};

struct Dispatch : AnswerDispatch {
    void DispatchAnswer(const MbapHeader& h, int fb, const Packet& data, bool) override {
        // Every answer must fit a Modbus/TCP frame with its 16-bit length field.
        if (fb < 0 || fb > 255 || data.size() + 2 > 65535) std::abort();
        if (h.Length < 2 || h.UnitIdentifier < 0 || h.UnitIdentifier > 255) std::abort();
    }
};

struct Status : StatusRefresh {
    void RefreshStatusBar() override {}
};

struct FixedRandom : RandomSource {
    double NextUniform() override { return 0.999999; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    Options options;
    Trace trace;
    Dispatch dispatch;
    Status status;
    FixedRandom random;
    SlaveEngine engine(EnginePorts{options, trace, dispatch, status, random}, (data[0] & 8) != 0);
    options.bits = data[0];

    // Then chunks: one byte of options for this arrival, one of length, the bytes.
    std::size_t pos = 1;
    while (pos + 2 <= size) {
        options.bits = data[pos];
        const std::size_t len = std::min<std::size_t>(data[pos + 1], size - pos - 2);
        const Packet chunk(reinterpret_cast<const char*>(data + pos + 2), len);
        engine.ProcessPacket(chunk, (options.bits & 16) ? ArrivalKind::Datagram : ArrivalKind::Stream);
        pos += 2 + len;
    }
    for (int32_t v : engine.Registers().HoldingRegisters) {
        if (v < 0 || v > 65535) std::abort();
    }
    return 0;
}
