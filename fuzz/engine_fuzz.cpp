// Feeds arbitrary byte chunks into the engine under every option setting, as
// stream bytes or as datagrams from a few senders, with release passes
// between them, and checks what must hold whatever masters send.
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

const SenderKey kSenders[] = {{"10.0.0.1", 502}, {"10.0.0.2", 502}, {"10.0.0.1", 503}, {"::1", 9}};

struct Dispatch : AnswerDispatch {
    const SlaveEngine* engine = nullptr;
    const SenderKey* expected = nullptr;  // null: a release pass, any sender or the stream
    std::size_t passBytes = 0;
    void DispatchAnswer(const MbapHeader& h, int fb, const Packet& data, bool) override {
        // Every answer must fit a Modbus/TCP frame with its 16-bit length field.
        if (fb < 0 || fb > 255 || data.size() + 2 > 65535) std::abort();
        if (h.Length < 2 || h.UnitIdentifier < 0 || h.UnitIdentifier > 255) std::abort();
        // An arrival's answers go to its own sender.
        if (expected != nullptr && engine->CurrentSender() != *expected) std::abort();
        // A pass stops at its slice: at most one answer goes past it.
        if (passBytes >= kReleaseSliceBytes) std::abort();
        passBytes += 8 + data.size();
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
    SlaveEngine engine(EnginePorts{options, trace, dispatch, status, random}, (data[0] & 8) != 0,
                       (data[0] & 16) != 0);
    dispatch.engine = &engine;
    options.bits = data[0];
    const SenderKey stream;

    // Then chunks: one byte of options for this arrival, one of length, the
    // bytes. Option bit 8 sends the bytes 1024 times over (holds big enough to
    // need several slices), bits 16..64 pick the stream or a sender, 128 asks
    // for a release pass before the arrival.
    std::size_t pos = 1;
    while (pos + 2 <= size) {
        options.bits = data[pos];
        const std::size_t len = std::min<std::size_t>(data[pos + 1], size - pos - 2);
        Packet chunk(reinterpret_cast<const char*>(data + pos + 2), len);
        if (options.bits & 8) {
            const Packet once = chunk;
            for (int i = 1; i < 1024; ++i) chunk += once;
        }
        if (options.bits & 128) {
            dispatch.expected = nullptr;
            dispatch.passBytes = 0;
            engine.ContinueRelease();
        }
        const int source = (options.bits >> 4) & 7;
        dispatch.expected = source < 4 ? &stream : &kSenders[source - 4];
        dispatch.passBytes = 0;
        if (source < 4) {
            engine.ProcessPacket(chunk);
        } else {
            engine.ProcessDatagram(chunk, kSenders[source - 4]);
        }
        if (!engine.CurrentSender().host.empty()) std::abort();
        pos += 2 + len;
    }

    // With "Don't answer" clear every owed release ends.
    options.bits &= ~4;
    dispatch.expected = nullptr;
    for (int pass = 0; engine.ReleasePending(); ++pass) {
        if (pass > 100000) std::abort();
        dispatch.passBytes = 0;
        engine.ContinueRelease();
    }
    if (engine.RememberedSenders() > SenderBuffers::kMaxSenders) std::abort();
    for (int32_t v : engine.Registers().HoldingRegisters) {
        if (v < 0 || v > 65535) std::abort();
    }
    return 0;
}
