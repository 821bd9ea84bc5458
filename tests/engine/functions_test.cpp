// Frames cut by their Length fields, and one frame in, one answer out: wire
// bytes, trace lines and the holding registers afterwards, for every function.
#include <gtest/gtest.h>

#include <sstream>
#include <utility>

#include "engine_fakes.h"
#include "testkit/request_frames.h"

namespace tarvik::testing {
namespace {

// Length 1 writes its line and is skipped, Length 0 is skipped silently, a
// frame too short for its function is refused: none swallows the next.
TEST(Framing, EachFrameTakesExactlyItsLength) {
    EngineRig rig;
    rig.Feed(
        "00 01 00 00 00 01 11  00 02 12 AB 00 01 11  00 09 00 00 00 00  00 03 00 00 00 03 01 03 00 "
        "00 04 00 00 00 06 01 06 00 03 00 2A");
    EXPECT_EQ(rig.rec.lines,
              (Lines{"REQ 0001 Empty packet, ProtocolIdentifier 0000",
                     "REQ 0002 Empty packet, ProtocolIdentifier 12AB",
                     "REQ 0003 Frame too short, function 3", "DISPATCH 131",
                     "REQ 0004 Write Holding Register 3, value 002A", "DISPATCH 6"}));
    ASSERT_EQ(rig.rec.answers.size(), 2u);
    EXPECT_EQ(rig.LastWire(), "00 04 00 00 00 06 01 06 00 03 00 2A");
    EXPECT_EQ(rig.Holding()[3], 42);
    // The header is copied unchecked, but for a Length of the answer's own.
    rig.Feed("AB CD 00 05 00 06 FE 03 00 00 00 01");
    EXPECT_EQ(rig.LastWire(), "AB CD 00 05 00 05 FE 03 02 00 00");
}

// One request (transaction 1, unit 1) against the registers of kPreset, its
// PDU and the answer's as a capture shows them. Modes: R "Show raw data" on,
// q "Show reads" off, S the standard answer to function 16. Stored values as
// "index=value", trace lines apart by "|".
struct FunctionCase {
    const char* request;
    const char* answer;  // "=": the request itself
    bool view = false;
    const char* mode = "";
    const char* stored = "";
    const char* lines = "";  // the trace, where this case pins it
    std::deque<double> random = {};
};

const FunctionCase kCases[] = {
    // A read's dump follows Show reads for function 3, Show raw data for 4.
    {"03 00 00 00 02", "03 04 00 0A 00 14", false, "Rq", "",
     "RAW <- 00 01 00 00 00 06 01 03 00 00 00 02|DISPATCH 3"},
    // Past the table the words are random.
    {"03 07 FE 00 04",
     "03 08 12 34 FF FF 01 02 00 FE",
     true,
     "",
     "",
     "",
     {1.0 / 255, 2.0 / 255, 0.2 / 255, 254.2 / 255}},
    {"03 00 05 00 00", "03 00", true},
    {"03 00 00 00 80", "83 03", true, "", "",
     "REQ 0001 Read Holding Registers 0, count 128|DISPATCH 131|"
     "ANS 0001 0000 Read Holding Registers 0, data 03 "},
    // Function 4's answer line stands without Show reads; random words as hex.
    {"04 00 00 00 02", "04 04 00 0B 00 15", false, "q", "",
     "DISPATCH 4|ANS 0001 0000 Read Input Registers 0, data 000B0015"},
    {"04 08 00 00 01",
     "04 02 AB CD",
     true,
     "Rq",
     "",
     "RAW <- 00 01 00 00 00 06 01 04 08 00 00 01|DISPATCH 4|"
     "ANS 0001 0000 Read Input Registers 2048, data ABCD",
     {171.0 / 255, 205.0 / 255}},
    {"04 00 00 FF FF", "84 03"},
    // A coil write changes nothing.
    {"05 00 07 FF 00", "=", false, "", "",
     "REQ 0001 Write single coil 7, value FF00|DISPATCH 5|"
     "ANS 0001 0000 Write single coil response"},
    {"06 00 0C FF FE", "=", false, "", "12=65534",
     "REQ 0001 Write Holding Register 12, value FFFE|DISPATCH 6"},
    {"06 13 88 12 34", "="},
    {"0F 00 00 00 0A 02 FF 03", "0F 00 00 00 0A", false, "", "",
     "REQ 0001 Write Coils 0, length 10|DISPATCH 15|ANS 0001 0000 Write Coils 0, length 10"},
    {"10 00 0A 00 02 04 00 01 00 02", "=", false, "", "10=1 11=2",
     "REQ 0001 Write Holding Registers 10, length 2|REQ 0001 Registervalue 40010, value 0001|"
     "REQ 0001 Registervalue 40011, value 0002|DISPATCH 16|"
     "ANS 0001 0000 Write Holding Registers 10, length 2"},
    {"10 00 0A 00 02 04 00 01 00 02", "10 00 0A 00 02", true, "RS", "10=1 11=2"},
    {"10 07 FE 00 02 04 00 64 00 65", "=", false, "", "2046=100 2047=101"},
    // The echo keeps the bytes past the values.
    {"10 00 00 00 01 02 00 05 FF", "=", false, "", "0=5"},
    {"10 00 00 00 00", "="},
    {"10 07 FF 00 02 04 01 F4 01 F5", "81 02", false, "", "",
     "REQ 0001 Write Holding Registers 2047, length 2|DISPATCH 129|"
     "ANS 0001 0000 Write Holding Registers 2047, length 2"},
    // The range is checked before the length.
    {"10 07 FF 00 02", "81 02"},
    {"10 00 0A 00 02 04 00 01 00", "90 03", false, "", "",
     "REQ 0001 Write Holding Registers 10, length 2|REQ 0001 Frame too short, function 16|"
     "DISPATCH 144"},
};

constexpr std::pair<std::size_t, int32_t> kPreset[] = {
    {0, 10}, {1, 20}, {2046, 0x1234}, {2047, 0xFFFF}};

TEST(ServedFunctions, AnswerTraceAndStoredRegisters) {
    for (const FunctionCase& c : kCases) {
        SCOPED_TRACE(std::string(c.request) + " " + c.mode);
        const std::string_view mode(c.mode);
        EngineRig rig(/*simulatePAT=*/false, mode.find('S') != std::string_view::npos);
        rig.options.showRaw = mode.find('R') != std::string_view::npos;
        rig.options.showReads = mode.find('q') == std::string_view::npos;
        rig.random.values = c.random;
        for (auto [at, value] : kPreset) rig.Holding()[at] = value;
        rig.engine.Registers().InputRegisters[0] = 11;
        rig.engine.Registers().InputRegisters[1] = 21;
        RegisterTable expected = rig.Holding();
        std::istringstream stored(c.stored);
        for (std::size_t at = 0; stored >> at && stored.ignore() >> expected[at];) {}

        const Packet request = Frame(1, 1, Bytes(c.request));
        rig.Arrive(SenderKey{}, request);
        ASSERT_EQ(rig.rec.answers.size(), 1u);
        EXPECT_EQ(
            rig.LastWire(),
            HexOf(c.answer == std::string_view("=") ? request : Frame(1, 1, Bytes(c.answer))));
        EXPECT_EQ(rig.rec.answers[0].view, c.view);
        if (*c.lines != '\0') {
            EXPECT_EQ(rig.rec.lines, Split(c.lines));
        }
        EXPECT_EQ(rig.Holding(), expected);
    }
}

// Each served function with its PDU cut one byte short of address and quantity.
TEST(ServedFunctions, MissingAddressFieldsGetCode3AndOneLineAlways) {
    for (int code : {3, 4, 5, 6, 15, 16}) {
        SCOPED_TRACE(code);
        EngineRig rig;
        rig.options.showReads = false;  // the line is written whatever the options say
        rig.options.showRaw = true;
        const std::string request = "00 01 00 00 00 05 01 " + Hex2(code) + " 00 00 00";
        rig.Feed(request);
        ASSERT_EQ(rig.rec.answers.size(), 1u);
        EXPECT_EQ(rig.LastWire(), "00 01 00 00 00 03 01 " + Hex2(code + 128) + " 03");
        EXPECT_TRUE(rig.rec.answers[0].view);  // "Show raw data", also for function 3
        EXPECT_EQ(rig.rec.lines,
                  (Lines{"RAW <- " + request, "REQ 0001 Frame too short, function " + Decimal(code),
                         "DISPATCH " + Decimal(code + 128)}));
    }
}

TEST(ServedFunctions, ReadCoilsAndInputsAreIgnoredAndEveryOtherCodeGets129Code2WithoutALine) {
    EngineRig rig;
    rig.Feed("00 01 00 00 00 06 01 01 00 00 00 08 00 02 00 00 00 06 01 02 00 00 00 08");
    EXPECT_TRUE(rig.rec.answers.empty());
    for (int code : {0, 7, 8, 14, 17, 43, 255}) rig.Feed("00 02 00 00 00 02 01 " + Hex2(code));
    ASSERT_EQ(rig.rec.answers.size(), 7u);
    for (const auto& answer : rig.rec.answers) EXPECT_EQ(answer.wire, "00 02 00 00 00 03 01 81 02");
    EXPECT_EQ(rig.rec.lines, Lines(7, "DISPATCH 129"));
}

TEST(ServedFunctions, SimulatedReadsAnswerFromTheCannedRowsOnly) {
    EngineRig rig(/*simulatePAT=*/true);
    rig.Holding()[300] = 77;  // never read while simulating
    const std::pair<const char*, const char*> rows[] = {
        {"01 2C 00 04", "03 08 99 9A 99 99 99 99 40 24"},
        {"01 30 00 04", "03 08 33 33 33 33 33 33 40 37"},
        {"01 3D 00 04", "03 08 07 DD 07 0C 08 2E 31 00"},
        {"00 72 00 02", "03 04 00 0F 2E 19"},
        {"00 22 00 02", "03 04 07 D7 0A 05"},
        {"00 64 00 02", "03 04 C0 A8 00 01"},
        {"00 26 00 02", "03 04 00 12 00 34"},
        {"00 28 00 02", "03 04 12 34 56 78"},
        {"01 2C 00 02", "83 02"},  // no row fits: refused
        {"00 00 00 80", "83 02"},  // quantity past 127 keeps the rule
    };
    for (const auto& [request, tail] : rows) {
        rig.Feed(std::string("00 01 00 00 00 06 01 03 ") + request);
        EXPECT_EQ(rig.LastWire().substr(21), tail) << request;
    }
}

}  // namespace
}  // namespace tarvik::testing
