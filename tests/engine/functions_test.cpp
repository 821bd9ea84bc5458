// One frame in, one answer out: wire bytes, trace lines and the holding
// registers afterwards, for every served function.
#include <gtest/gtest.h>

#include <utility>

#include "engine_fakes.h"

namespace tarvik::testing {
namespace {

struct FunctionCase {
    const char* name;
    const char* request;
    const char* wire;
    bool view = false;
    Lines lines = {};  // left empty where another case pins them
    std::vector<std::pair<int, int>> stored = {};
    bool showRaw = false, showReads = true;
    std::deque<double> random = {};
    bool standardWriteAnswer = false;
};

const FunctionCase kCases[] = {
    {"read holding", "00 01 00 00 00 06 01 03 00 00 00 02", "00 01 00 00 00 07 01 03 04 00 0A 00 14", true,
     {"REQ 0001 Read Holding Registers 0, count 2", "DISPATCH 3",
      "ANS 0001 0000 Read Holding Registers 0, data 04 00 0A 00 14 "}},
    {"read holding, view follows Show reads", "00 01 00 00 00 06 01 03 00 00 00 02",
     "00 01 00 00 00 07 01 03 04 00 0A 00 14", false,
     {"RAW <- 00 01 00 00 00 06 01 03 00 00 00 02", "DISPATCH 3"}, {}, true, false},
    {"read holding past the table is random", "00 03 00 00 00 06 01 03 07 FE 00 04",
     "00 03 00 00 00 0B 01 03 08 12 34 FF FF 01 02 00 FE", true, {}, {}, false, true,
     {1.0 / 255, 2.0 / 255, 0.2 / 255, 254.2 / 255}},
    {"read holding quantity 0", "00 01 00 00 00 06 01 03 00 05 00 00", "00 01 00 00 00 03 01 03 00", true},
    {"read holding quantity 128", "00 02 00 00 00 06 01 03 00 00 00 80", "00 02 00 00 00 03 01 83 03", true,
     {"REQ 0002 Read Holding Registers 0, count 128", "DISPATCH 131",
      "ANS 0002 0000 Read Holding Registers 0, data 03 "}},
    {"identifiers copied unchecked", "AB CD 00 05 00 06 FE 03 00 00 00 01", "AB CD 00 05 00 05 FE 03 02 00 0A", true},
    {"read input, answer line without Show reads", "00 01 00 00 00 06 01 04 00 00 00 02",
     "00 01 00 00 00 07 01 04 04 00 0B 00 15", false,
     {"DISPATCH 4", "ANS 0001 0000 Read Input Registers 0, data 000B0015"}, {}, false, false},
    {"read input, view follows Show raw data, random words as hex", "00 02 00 00 00 06 01 04 08 00 00 01",
     "00 02 00 00 00 05 01 04 02 AB CD", true,
     {"RAW <- 00 02 00 00 00 06 01 04 08 00 00 01", "DISPATCH 4",
      "ANS 0002 0000 Read Input Registers 2048, data ABCD"}, {}, true, false, {171.0 / 255, 205.0 / 255}},
    {"read input quantity past 127", "00 01 00 00 00 06 01 04 00 00 FF FF", "00 01 00 00 00 03 01 84 03", false,
     {"REQ 0001 Read Input Registers 0, count 65535", "DISPATCH 132",
      "ANS 0001 0000 Read Input Registers 0, data 03 "}},
    {"write coil changes nothing", "00 04 00 00 00 06 01 05 00 07 FF 00", "00 04 00 00 00 06 01 05 00 07 FF 00",
     false,
     {"REQ 0004 Write single coil 7, value FF00", "DISPATCH 5", "ANS 0004 0000 Write single coil response"}},
    {"write register", "00 05 00 00 00 06 01 06 00 0C FF FE", "00 05 00 00 00 06 01 06 00 0C FF FE", true,
     {"RAW <- 00 05 00 00 00 06 01 06 00 0C FF FE", "REQ 0005 Write Holding Register 12, value FFFE",
      "DISPATCH 6"}, {{12, 65534}}, true, false},
    {"write register past the table", "00 06 00 00 00 06 01 06 13 88 12 34", "00 06 00 00 00 06 01 06 13 88 12 34",
     false, {"REQ 0006 Write Holding Register 5000, value 1234", "DISPATCH 6"}},
    {"write coils", "00 07 00 00 00 09 01 0F 00 00 00 0A 02 FF 03", "00 07 00 00 00 06 01 0F 00 00 00 0A", false,
     {"REQ 0007 Write Coils 0, length 10", "DISPATCH 15", "ANS 0007 0000 Write Coils 0, length 10"}},
    {"write registers", "00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02",
     "00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02", false,
     {"REQ 0002 Write Holding Registers 10, length 2", "REQ 0002 Registervalue 40010, value 0001",
      "REQ 0002 Registervalue 40011, value 0002", "DISPATCH 16",
      "ANS 0002 0000 Write Holding Registers 10, length 2"}, {{10, 1}, {11, 2}}},
    {"write registers, standard answer: range only, same lines", "00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02",
     "00 02 00 00 00 06 01 10 00 0A 00 02", true,
     {"RAW <- 00 02 00 00 00 0B 01 10 00 0A 00 02 04 00 01 00 02", "REQ 0002 Write Holding Registers 10, length 2",
      "REQ 0002 Registervalue 40010, value 0001", "REQ 0002 Registervalue 40011, value 0002", "DISPATCH 16",
      "ANS 0002 0000 Write Holding Registers 10, length 2"}, {{10, 1}, {11, 2}}, true, true, {}, true},
    {"write registers quantity 0, standard answer", "00 03 00 00 00 06 01 10 00 00 00 00",
     "00 03 00 00 00 06 01 10 00 00 00 00", false, {}, {}, false, true, {}, true},
    {"write registers up to the last", "00 01 00 00 00 0B 01 10 07 FE 00 02 04 00 64 00 65",
     "00 01 00 00 00 0B 01 10 07 FE 00 02 04 00 64 00 65", false, {}, {{2046, 100}, {2047, 101}}},
    {"write registers past the last", "00 02 00 00 00 0B 01 10 07 FF 00 02 04 01 F4 01 F5",
     "00 02 00 00 00 03 01 81 02", false,
     {"REQ 0002 Write Holding Registers 2047, length 2", "DISPATCH 129",
      "ANS 0002 0000 Write Holding Registers 2047, length 2"}},
    {"range checked before length", "00 09 00 00 00 06 01 10 07 FF 00 02", "00 09 00 00 00 03 01 81 02"},
    {"write registers quantity 0", "00 03 00 00 00 06 01 10 00 00 00 00", "00 03 00 00 00 06 01 10 00 00 00 00"},
    {"write registers one value byte short", "00 08 00 00 00 0A 01 10 00 0A 00 02 04 00 01 00",
     "00 08 00 00 00 03 01 90 03", false,
     {"REQ 0008 Write Holding Registers 10, length 2", "REQ 0008 Frame too short, function 16", "DISPATCH 144"}},
    {"bare function code is short", "00 01 00 00 00 02 01 06", "00 01 00 00 00 03 01 86 03", true, {}, {}, true},
};

TEST(ServedFunctions, AnswerTraceAndStoredRegisters) {
    for (const FunctionCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EngineRig rig(/*simulatePAT=*/false, c.standardWriteAnswer);
        rig.options.showRaw = c.showRaw;
        rig.options.showReads = c.showReads;
        rig.random.values = c.random;
        RegisterTables expected;
        const std::pair<int, int> preset[] = {{0, 10}, {1, 20}, {2046, 0x1234}, {2047, 0xFFFF}};
        for (auto [at, value] : preset) {
            expected.HoldingRegisters[static_cast<std::size_t>(at)] = value;
        }
        rig.engine.Registers().HoldingRegisters = expected.HoldingRegisters;
        rig.engine.Registers().InputRegisters[0] = 11;
        rig.engine.Registers().InputRegisters[1] = 21;
        for (auto [at, value] : c.stored) expected.HoldingRegisters[static_cast<std::size_t>(at)] = value;

        rig.Feed(c.request);
        ASSERT_EQ(rig.rec.answers.size(), 1u);
        EXPECT_EQ(rig.LastWire(), c.wire);
        EXPECT_EQ(rig.rec.answers[0].view, c.view);
        if (!c.lines.empty()) {
            EXPECT_EQ(rig.rec.lines, c.lines);
        }
        EXPECT_EQ(rig.Holding(), expected.HoldingRegisters);
    }
}

TEST(ServedFunctions, ReadHoldingServesUpTo127Registers) {
    EngineRig rig;
    rig.Feed("00 01 00 00 00 06 01 03 00 00 00 7F");
    ASSERT_EQ(rig.rec.answers.size(), 1u);
    EXPECT_EQ(rig.LastWire().substr(0, 27), "00 01 00 00 01 01 01 03 FE ");  // 255 data bytes
}

// Each served function with its PDU cut one byte short of address and quantity.
TEST(ServedFunctions, MissingAddressFieldsGetCode3AndOneLineAlways) {
    for (int code : {3, 4, 5, 6, 15, 16}) {
        SCOPED_TRACE(code);
        EngineRig rig;
        rig.options.showReads = false;  // the line is written whatever the options say
        rig.Feed("00 01 00 00 00 05 01 " + Hex2(code) + " 00 00 00");
        ASSERT_EQ(rig.rec.answers.size(), 1u);
        EXPECT_EQ(rig.LastWire(), "00 01 00 00 00 03 01 " + Hex2(code + 128) + " 03");
        EXPECT_FALSE(rig.rec.answers[0].view);  // "Show raw data", also for function 3
        EXPECT_EQ(rig.rec.lines, (Lines{"REQ 0001 Frame too short, function " + std::to_string(code),
                                        "DISPATCH " + std::to_string(code + 128)}));
    }
}

TEST(ServedFunctions, EveryOtherFunctionCodeGets129Code2WithoutALine) {
    EngineRig rig;
    for (int code : {0, 7, 8, 14, 17, 43, 255}) {
        rig.Feed("00 02 00 00 00 02 01 " + Hex2(code));
        EXPECT_EQ(rig.LastWire(), "00 02 00 00 00 03 01 81 02") << code;
        EXPECT_EQ(rig.rec.lines.back(), "DISPATCH 129") << code;
    }
    EXPECT_EQ(rig.rec.lines.size(), 7u);
}

TEST(ServedFunctions, ReadCoilsAndDiscreteInputsGetNoAnswerAndNoLine) {
    EngineRig rig;
    rig.Feed("00 01 00 00 00 06 01 01 00 00 00 08 00 02 00 00 00 06 01 02 00 00 00 08");
    EXPECT_TRUE(rig.rec.answers.empty());
    EXPECT_TRUE(rig.rec.lines.empty());
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
}

TEST(ServedFunctions, SimulatedReadsAnswerFromTheCannedRowsOnly) {
    EngineRig rig(/*simulatePAT=*/true);
    rig.Holding()[300] = 77;  // never read while simulating
    const std::pair<const char*, const char*> rows[] = {
        {"01 2C 00 04", "08 99 9A 99 99 99 99 40 24"}, {"01 30 00 04", "08 33 33 33 33 33 33 40 37"},
        {"01 3D 00 04", "08 07 DD 07 0C 08 2E 31 00"}, {"00 72 00 02", "04 00 0F 2E 19"},
        {"00 22 00 02", "04 07 D7 0A 05"},             {"00 64 00 02", "04 C0 A8 00 01"},
        {"00 26 00 02", "04 00 12 00 34"},             {"00 28 00 02", "04 12 34 56 78"},
        {"01 2C 00 02", "02"},  // no row fits: refused
        {"00 00 00 80", "02"},  // quantity past 127 keeps the rule
    };
    for (const auto& [request, data] : rows) {
        rig.Feed(std::string("00 01 00 00 00 06 01 03 ") + request);
        EXPECT_EQ(rig.LastWire().substr(21), std::string(data).size() == 2
                                                 ? std::string("83 ") + data
                                                 : std::string("03 ") + data) << request;
    }
    EXPECT_EQ(rig.rec.lines.back(), "ANS 0001 0000 Read Holding Registers 0, data 02 ");
    rig.Feed("00 01 00 00 00 04 01 03 01 2C");
    EXPECT_EQ(rig.LastWire(), "00 01 00 00 00 03 01 83 03");
}

}  // namespace
}  // namespace tarvik::testing
