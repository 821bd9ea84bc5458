// Feeds arbitrary byte chunks into the engine under every option setting, as
// stream bytes or as datagrams from a few senders, with release passes
// between them, and checks what must hold of the steps whatever masters send.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/frame_loop.h"
#include "engine/slave_engine.h"

namespace {

using namespace tarvik;

constexpr uint64_t kConnection = 3;
const SenderKey kSenders[] = {{0x0A000001, 502}, {0x0A000002, 502}, {0x0A000001, 503}, {1, 9}};

OperatorOptions OptionsOf(uint8_t bits) {
    OperatorOptions options;
    options.showRawData = (bits & 1) != 0;
    options.showReads = (bits & 2) != 0;
    options.dontAnswer = (bits & 4) != 0;
    options.delayAnswer = false;
    return options;
}

struct FixedRandom : RandomSource {
    double NextUniform() override { return 0.999999; }
};

// `expected` is the route of the arrival; null for a release pass, whose
// answers may go to the stream or to any sender.
void Check(const StepList& steps, const AnswerRoute* expected) {
    std::size_t passBytes = 0;
    for (const Step& step : steps) {
        if (step.header.TransactionIdentifier < 0 || step.header.TransactionIdentifier > 65535)
            std::abort();
        if (step.kind == StepKind::Close) {
            if (step.route != AnswerRoute::Stream(kConnection)) std::abort();
            continue;
        }
        if (step.kind != StepKind::Send) continue;
        const std::string_view frame = steps.Bytes(step);
        // Every answer is a whole Modbus/TCP frame whose length field fits.
        if (frame.size() < 9 || frame.size() > 65541) std::abort();
        const std::size_t length =
            256 * static_cast<unsigned char>(frame[4]) + static_cast<unsigned char>(frame[5]);
        if (length + 6 != frame.size()) std::abort();
        // An arrival's answers go back by its own route.
        if (expected != nullptr && step.route != *expected) std::abort();
        if (!step.route.udp && step.route.connection != kConnection) std::abort();
        // A pass stops at its slice: at most one answer goes past it.
        if (passBytes >= kReleaseSliceBytes) std::abort();
        passBytes += frame.size();
    }
    if (steps.size() > kReleaseSliceSteps + 4) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    FixedRandom random;
    SlaveEngine engine(random, (data[0] & 8) != 0, (data[0] & 16) != 0);
    engine.SetOptions(OptionsOf(data[0]));
    // Bit 32 serves a few units with tables of their own, the others
    // answered 0B or (bit 64) not at all.
    UnitSet served;
    if (data[0] & 32) {
        for (const int unit : {0, 1, 2, 255}) served.set(static_cast<std::size_t>(unit));
        engine.ServeUnits(
            served, (data[0] & 64) != 0 ? AbsentAnswer::Silent : AbsentAnswer::GatewayTargetFailed);
    }

    // Then chunks: one byte of options for this arrival, one of length, the
    // bytes. Option bit 8 sends the bytes 1024 times over (holds big enough to
    // need several slices), bits 16..64 pick the stream or a sender, 128 asks
    // for a release pass before the arrival.
    std::size_t pos = 1;
    while (pos + 2 <= size) {
        const uint8_t bits = data[pos];
        engine.SetOptions(OptionsOf(bits));
        const std::size_t len = std::min<std::size_t>(data[pos + 1], size - pos - 2);
        Packet chunk(reinterpret_cast<const char*>(data + pos + 2), len);
        if (bits & 8) {
            const Packet once = chunk;
            for (int i = 1; i < 1024; ++i) chunk += once;
        }
        if (bits & 128) Check(engine.ContinueRelease().steps, nullptr);
        const int source = (bits >> 4) & 7;
        if (source < 4) {
            const AnswerRoute route = AnswerRoute::Stream(kConnection);
            Check(engine.ProcessPacket(chunk, kConnection).steps, &route);
        } else {
            const AnswerRoute route = AnswerRoute::Datagram(kSenders[source - 4]);
            Check(engine.ProcessDatagram(chunk, kSenders[source - 4]).steps, &route);
        }
        pos += 2 + len;
    }

    // With "Don't answer" clear every owed release ends.
    engine.SetOptions(OptionsOf(data[0] & ~4));
    for (int pass = 0; engine.ReleasePending(); ++pass) {
        if (pass > 100000) std::abort();
        Check(engine.ContinueRelease().steps, nullptr);
    }
    if (engine.RememberedSenders() > SenderBuffers::kMaxSenders) std::abort();
    for (const int unit : served.any() ? UnitIds(served) : std::vector<int>{0}) {
        for (int32_t v : engine.Units().Of(unit)->HoldingRegisters) {
            if (v < 0 || v > 65535) std::abort();
        }
    }
    return 0;
}
