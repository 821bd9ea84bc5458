// Frames cut by their Length fields, and one frame in, one answer out: wire
// bytes, trace lines and the holding registers afterwards, for every function.
#include <gtest/gtest.h>

#include <utility>

#include "engine_fakes.h"

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
}

struct FunctionCase {
    const char* name;
    const char* request;
    const char* wire;  // kEcho: the request itself
    bool view = false;
    Lines lines = {};  // left empty where another case pins them
    std::vector<std::pair<std::size_t, int32_t>> stored = {};
    bool showRaw = false, showReads = true;
    std::deque<double> random = {};
    bool standardWriteAnswer = false;
};

constexpr const char* kEcho = "echo";

const FunctionCase kCases[] = {
    {"read holding, view follows Show reads",
     "00 01 00 00 00 06 01 03 00 00 00 02",
     "00 01 00 00 00 07 01 03 04 00 0A 00 14",
     false,
     {"RAW <- 00 01 00 00 00 06 01 03 00 00 00 02", "DISPATCH 3"},
     {},
     true,
     false},
    {"read holding past the table is random",
     "00 03 00 00 00 06 01 03 07 FE 00 04",
     "00 03 00 00 00 0B 01 03 08 12 34 FF FF 01 02 00 FE",
     true,
     {},
     {},
     false,
     true,
     {1.0 / 255, 2.0 / 255, 0.2 / 255, 254.2 / 255}},
    {"read holding quantity 0", "00 01 00 00 00 06 01 03 00 05 00 00", "00 01 00 00 00 03 01 03 00",
     true},
    {"read holding quantity 128",
     "00 02 00 00 00 06 01 03 00 00 00 80",
     "00 02 00 00 00 03 01 83 03",
     true,
     {"REQ 0002 Read Holding Registers 0, count 128", "DISPATCH 131",
      "ANS 0002 0000 Read Holding Registers 0, data 03 "}},
    {"identifiers copied unchecked", "AB CD 00 05 00 06 FE 03 00 00 00 01",
     "AB CD 00 05 00 05 FE 03 02 00 0A", true},
    {"read input, answer line without Show reads",
     "00 01 00 00 00 06 01 04 00 00 00 02",
     "00 01 00 00 00 07 01 04 04 00 0B 00 15",
     false,
     {"DISPATCH 4", "ANS 0001 0000 Read Input Registers 0, data 000B0015"},
     {},
     false,
     false},
    {"read input, view follows Show raw data, random words as hex",
     "00 02 00 00 00 06 01 04 08 00 00 01",
     "00 02 00 00 00 05 01 04 02 AB CD",
     true,
     {"RAW <- 00 02 00 00 00 06 01 04 08 00 00 01", "DISPATCH 4",
      "ANS 0002 0000 Read Input Registers 2048, data ABCD"},
     {},
     true,
     false,
     {171.0 / 255, 205.0 / 255}},
    {"read input quantity past 127", "00 01 00 00 00 06 01 04 00 00 FF FF",
     "00 01 00 00 00 03 01 84 03"},
    {"write coil changes nothing",
     "00 04 00 00 00 06 01 05 00 07 FF 00",
     kEcho,
     false,
     {"REQ 0004 Write single coil 7, value FF00", "DISPATCH 5",
      "ANS 0004 0000 Write single coil response"}},
    {"write register",
     "00 05 00 00 00 06 01 06 00 0C FF FE",
     kEcho,
     false,
     {"REQ 0005 Write Holding Register 12, value FFFE", "DISPATCH 6"},
     {{12, 65534}}},
    {"write register past the table", "00 06 00 00 00 06 01 06 13 88 12 34", kEcho},
    {"write coils",
     "00 07 00 00 00 09 01 0F 00 00 00 0A 02 FF 03",
     "00 07 00 00 00 06 01 0F 00 00 00 0A",
     false,
     {"REQ 0007 Write Coils 0, length 10", "DISPATCH 15",
      "ANS 0007 0000 Write Coils 0, length 10"}},
    {"write registers",
     "00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02",
     kEcho,
     false,
     {"REQ 0002 Write Holding Registers 10, length 2", "REQ 0002 Registervalue 40010, value 0001",
      "REQ 0002 Registervalue 40011, value 0002", "DISPATCH 16",
      "ANS 0002 0000 Write Holding Registers 10, length 2"},
     {{10, 1}, {11, 2}}},
    {"write registers, standard answer: range only",
     "00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02",
     "00 02 00 00 00 06 01 10 00 0A 00 02",
     true,
     {},
     {{10, 1}, {11, 2}},
     true,
     true,
     {},
     true},
    {"write registers up to the last",
     "00 01 00 00 00 0B 01 10 07 FE 00 02 04 00 64 00 65",
     kEcho,
     false,
     {},
     {{2046, 100}, {2047, 101}}},
    {"write registers echo the bytes past their values",
     "00 07 00 00 00 0A 01 10 00 00 00 01 02 00 05 FF",
     kEcho,
     false,
     {},
     {{0, 5}}},
    {"write registers quantity 0", "00 03 00 00 00 06 01 10 00 00 00 00", kEcho},
    {"write registers past the last",
     "00 02 00 00 00 0B 01 10 07 FF 00 02 04 01 F4 01 F5",
     "00 02 00 00 00 03 01 81 02",
     false,
     {"REQ 0002 Write Holding Registers 2047, length 2", "DISPATCH 129",
      "ANS 0002 0000 Write Holding Registers 2047, length 2"}},
    {"range checked before length", "00 09 00 00 00 06 01 10 07 FF 00 02",
     "00 09 00 00 00 03 01 81 02"},
    {"write registers one value byte short",
     "00 08 00 00 00 0A 01 10 00 0A 00 02 04 00 01 00",
     "00 08 00 00 00 03 01 90 03",
     false,
     {"REQ 0008 Write Holding Registers 10, length 2", "REQ 0008 Frame too short, function 16",
      "DISPATCH 144"}},
};

constexpr std::pair<std::size_t, int32_t> kPreset[] = {
    {0, 10}, {1, 20}, {2046, 0x1234}, {2047, 0xFFFF}};

TEST(ServedFunctions, AnswerTraceAndStoredRegisters) {
    for (const FunctionCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EngineRig rig(/*simulatePAT=*/false, c.standardWriteAnswer);
        rig.options.showRaw = c.showRaw;
        rig.options.showReads = c.showReads;
        rig.random.values = c.random;
        for (auto [at, value] : kPreset) rig.Holding()[at] = value;
        rig.engine.Registers().InputRegisters[0] = 11;
        rig.engine.Registers().InputRegisters[1] = 21;
        RegisterTable expected = rig.Holding();
        for (auto [at, value] : c.stored) expected[at] = value;

        rig.Feed(c.request);
        ASSERT_EQ(rig.rec.answers.size(), 1u);
        EXPECT_EQ(rig.LastWire(), std::string_view(c.wire) == kEcho ? c.request : c.wire);
        EXPECT_EQ(rig.rec.answers[0].view, c.view);
        if (!c.lines.empty()) {
            EXPECT_EQ(rig.rec.lines, c.lines);
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
