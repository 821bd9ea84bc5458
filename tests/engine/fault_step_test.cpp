// Fault rules inside the engine: what a firing rule puts on the wire, where
// its trace line stands, what it leaves in the tables, and what a close or a
// delay does to the rest of the arrival.
#include <gtest/gtest.h>

#include <utility>

#include "engine_fakes.h"

namespace tarvik::testing {
namespace {

FaultRule MakeRule(std::string name, FaultAction action, ValueMatch function = {},
                   ValueMatch addresses = {}, FaultWhen when = {}, ValueMatch unit = {}) {
    return FaultRule{std::move(name), unit, function, addresses, action, when};
}

constexpr FaultAction kBusy{FaultActionKind::Exception, 0x06};
constexpr FaultAction kSilent{FaultActionKind::Silent, 0};
constexpr FaultAction kClose{FaultActionKind::Close, 0};
constexpr FaultAction kSlow{FaultActionKind::Delay, 1500};

constexpr const char* kRead100 = "00 01 00 00 00 06 01 03 00 64 00 02";
constexpr const char* kWrite5 = "00 02 00 00 00 06 01 06 00 05 00 2A";
constexpr const char* kWrite16 = "00 03 00 00 00 0B 01 10 00 07 00 02 04 00 0B 00 0C";

struct StepCase {
    const char* name;
    FaultRule rule;
    const char* request;
    Lines lines;
    std::vector<std::string> wires;
    bool showReads = true;
};

const StepCase kStepCases[] = {
    {"exception after the request line",
     MakeRule("Busy", kBusy, ValueMatch::OneValue(3), ValueMatch::RangeOf(100, 199)),
     kRead100,
     {"REQ 0001 Read Holding Registers 100, count 2", "REQ 0001 Fault Busy: exception 06",
      "DISPATCH 131"},
     {"00 01 00 00 00 03 01 83 06"}},
    {"exception without Show reads: where the line would stand",
     MakeRule("Busy", kBusy),
     kRead100,
     {"REQ 0001 Fault Busy: exception 06", "DISPATCH 131"},
     {"00 01 00 00 00 03 01 83 06"},
     false},
    {"exception code in upper-case hex, on an ignored function",
     MakeRule("Odd", {FaultActionKind::Exception, 0xAB}, ValueMatch::OneValue(1)),
     "00 04 00 00 00 06 09 01 00 00 00 08",
     {"REQ 0004 Fault Odd: exception AB", "DISPATCH 129"},
     {"00 04 00 00 00 03 09 81 AB"}},
    {"a frame too short keeps its line",
     MakeRule("Busy", kBusy),
     "00 05 00 00 00 03 01 06 00",
     {"REQ 0005 Frame too short, function 6", "REQ 0005 Fault Busy: exception 06", "DISPATCH 134"},
     {"00 05 00 00 00 03 01 86 06"}},
    {"silent",
     MakeRule("Quiet", kSilent),
     kWrite5,
     {"REQ 0002 Write Holding Register 5, value 002A", "REQ 0002 Fault Quiet: silent"},
     {}},
    {"a rule for another address lets the frame through",
     MakeRule("Busy", kBusy, {}, ValueMatch::RangeOf(102, 199)),
     kRead100,
     {"REQ 0001 Read Holding Registers 100, count 2", "DISPATCH 3",
      "ANS 0001 0000 Read Holding Registers 100, data 04 00 00 00 00 "},
     {"00 01 00 00 00 07 01 03 04 00 00 00 00"}},
    {"a rule for another unit lets the frame through",
     MakeRule("Unit2", kSilent, {}, {}, {}, ValueMatch::OneValue(2)),
     kWrite5,
     {"REQ 0002 Write Holding Register 5, value 002A", "DISPATCH 6"},
     {"00 02 00 00 00 06 01 06 00 05 00 2A"}},
};

TEST(FaultStep, FiringRuleReplacesTheHandler) {
    for (const StepCase& c : kStepCases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        rig.options.showReads = c.showReads;
        rig.engine.Faults() = FaultRules({c.rule});
        rig.Feed(c.request);
        EXPECT_EQ(rig.rec.lines, c.lines);
        std::vector<std::string> wires;
        for (const auto& answer : rig.rec.answers) wires.push_back(answer.wire);
        EXPECT_EQ(wires, c.wires);
    }
}

TEST(FaultStep, RefusedWritesChangeNothing) {
    for (const FaultAction& action : {kBusy, kSilent, kClose}) {
        SCOPED_TRACE(action.Text());
        EngineRig rig;
        rig.engine.Faults() = FaultRules({MakeRule("W", action)});
        rig.Feed(kWrite5);
        rig.Feed(kWrite16);
        EXPECT_EQ(rig.Holding()[5], 0);
        EXPECT_EQ(rig.Holding()[7], 0);
        EXPECT_EQ(rig.Holding()[8], 0);
    }
}

// The write is applied at once and only the answer waits, with the rule's
// delay instead of the operator's; the fault line stands before the values.
TEST(FaultStep, DelayAppliesTheWriteAndDelaysTheAnswer) {
    ScriptedRandom random;
    SlaveEngine engine(random, false);
    OperatorOptions options;
    options.showRawData = false;
    options.delayAnswer = true;
    options.delayMs = 200;
    engine.SetOptions(options);
    engine.Faults() = FaultRules({MakeRule("Slow", kSlow, ValueMatch::OneValue(16))});
    Recorder rec;
    const EngineStep step =
        engine.ProcessPacket(Bytes(std::string(kWrite16) + " " + kWrite5), kRigConnection);
    rec.CarryOut(step.steps);
    EXPECT_EQ(rec.lines,
              (Lines{"REQ 0003 Write Holding Registers 7, length 2",
                     "REQ 0003 Fault Slow: delay 1500", "REQ 0003 Registervalue 40007, value 000B",
                     "REQ 0003 Registervalue 40008, value 000C", "DISPATCH 16",
                     "ANS 0003 0000 Write Holding Registers 7, length 2",
                     "REQ 0002 Write Holding Register 5, value 002A", "DISPATCH 6"}));
    EXPECT_EQ(engine.Registers().HoldingRegisters[7], 11);
    EXPECT_EQ(engine.Registers().HoldingRegisters[8], 12);
    std::vector<std::pair<Departure, int32_t>> departures;
    for (const Step& s : step.steps) {
        if (s.kind == StepKind::Send) departures.emplace_back(s.departure, s.delayMs);
    }
    EXPECT_EQ(departures, (std::vector<std::pair<Departure, int32_t>>{{Departure::Delayed, 1500},
                                                                      {Departure::Delayed, 200}}));
}

TEST(FaultStep, CloseSendsEarlierAnswersAndDropsTheRest) {
    EngineRig rig;
    rig.engine.Faults() = FaultRules({MakeRule("Drop", kClose, ValueMatch::OneValue(16))});
    // A read, the closing write, another read and half a frame.
    const ArrivalOutcome outcome =
        rig.Feed(std::string(kRead100) + " " + kWrite16 + " " + kRead100 + " 00 09 00 00");
    EXPECT_EQ(outcome, ArrivalOutcome::Handled);
    EXPECT_EQ(rig.rec.lines,
              (Lines{"REQ 0001 Read Holding Registers 100, count 2", "DISPATCH 3",
                     "ANS 0001 0000 Read Holding Registers 100, data 04 00 00 00 00 ",
                     "REQ 0003 Write Holding Registers 7, length 2", "REQ 0003 Fault Drop: close",
                     "CLOSE "}));
    EXPECT_TRUE(rig.engine.ReceiveBuffer().empty());
    EXPECT_FALSE(rig.engine.ReleasePending());
    EXPECT_EQ(rig.engine.PacketsReceived(), 1);
}

// With units served: the unit is decided first (an absent unit's request is
// answered as such and reaches no rule), and the request line before a
// Fault line names the unit like every other.
TEST(FaultStep, UnitComesFirstAndTheRequestLineNamesIt) {
    EngineRig rig;
    UnitSet served;
    served.set(1);
    served.set(2);
    rig.engine.ServeUnits(served, AbsentAnswer::GatewayTargetFailed);
    rig.engine.Faults() = FaultRules({MakeRule("Busy", kBusy)});

    rig.Feed("00 07 00 00 00 06 05 06 00 05 00 2A");  // unit 5 is not served
    EXPECT_EQ(rig.rec.lines, (Lines{"REQ 0007 Unit 5 not served", "DISPATCH 134"}));
    EXPECT_EQ(rig.LastWire(), "00 07 00 00 00 03 05 86 0B");

    rig.rec.lines.clear();
    rig.Feed("00 08 00 00 00 06 02 06 00 05 00 2A");
    EXPECT_EQ(rig.rec.lines, (Lines{"REQ 0008 Write Holding Register 5, value 002A, unit 2",
                                    "REQ 0008 Fault Busy: exception 06", "DISPATCH 134"}));
    EXPECT_EQ(rig.engine.Units().Of(2)->HoldingRegisters[5], 0);
}

}  // namespace
}  // namespace tarvik::testing
