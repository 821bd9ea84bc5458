// Which rule fires for which request, and how often.
#include "engine/fault_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine_fakes.h"

namespace tarvik::testing {
namespace {

FaultRule Rule(std::string name, ValueMatch unit, ValueMatch function, ValueMatch addresses,
               FaultAction action = {FaultActionKind::Silent, 0}, FaultWhen when = {}) {
    return {std::move(name), unit, function, addresses, action, when};
}

FaultRule AnyRule(std::string name, FaultWhen when = {}) {
    return Rule(std::move(name), {}, {}, {}, {FaultActionKind::Silent, 0}, when);
}

using Names = std::vector<std::string>;

// The names of the rules that fired, one entry per request ("-" for none).
Names FiredNames(FaultRules& rules, const std::vector<int>& units, RandomSource& random) {
    Names fired;
    const Packet pdu = Bytes("03 00 00 00 01");
    for (const int unit : units) {
        const auto fault = rules.Decide(unit, 3, pdu, random);
        fired.push_back(fault ? fault->name : "-");
    }
    return fired;
}

// The request's addresses against the rule's, at the edges of both.
TEST(FaultRuleMatch, UnitFunctionAndAddressOverlap) {
    struct Case {
        const char* what;
        ValueMatch unit, function, addresses;
        int requestUnit;
        const char* pdu;
        bool fires;
    };
    const ValueMatch any;
    const ValueMatch range = ValueMatch::RangeOf(100, 199);
    const Case cases[] = {
        {"read ends just before", any, any, range, 1, "03 00 5A 00 0A", false},
        {"read ends on the first", any, any, range, 1, "03 00 5A 00 0B", true},
        {"read starts on the last", any, any, range, 1, "03 00 C7 00 01", true},
        {"read starts just after", any, any, range, 1, "03 00 C8 00 7D", false},
        {"read covers the range", any, any, range, 1, "04 00 00 01 00", true},
        {"quantity 0 is an empty range", any, any, range, 1, "03 00 64 00 00", false},
        {"quantity 0 still matches *", any, any, any, 1, "03 00 64 00 00", true},
        {"write multiple inside", any, any, range, 1, "10 00 96 00 02 04 00 01 00 02", true},
        {"write single on the first", any, any, range, 1, "06 00 64 12 34", true},
        {"write single just before", any, any, range, 1, "06 00 63 12 34", false},
        {"coil on the last", any, any, range, 1, "05 00 C7 FF 00", true},
        {"one address", any, any, ValueMatch::OneValue(7), 1, "03 00 05 00 03", true},
        {"span past 65535 does not wrap", any, any, ValueMatch::OneValue(0), 1, "03 FF FF 00 02",
         false},
        {"span from 65535", any, any, ValueMatch::OneValue(65535), 1, "03 FF FF 00 02", true},
        {"no address field", any, any, range, 1, "01 00 64 00 01", false},
        {"no address field matches *", any, any, any, 1, "01 00 64 00 01", true},
        {"too short for quantity", any, any, range, 1, "03 00 64 00", false},
        {"too short for address", any, any, range, 1, "06 00", false},
        {"empty pdu matches *", any, any, any, 1, "", true},
        {"function matches", any, ValueMatch::OneValue(200), any, 1, "C8", true},
        {"function differs", any, ValueMatch::OneValue(3), any, 1, "04 00 64 00 01", false},
        {"unit below range", ValueMatch::RangeOf(2, 4), any, any, 1, "03 00 00 00 01", false},
        {"unit last of range", ValueMatch::RangeOf(2, 4), any, any, 4, "03 00 00 00 01", true},
        {"unit above range", ValueMatch::RangeOf(2, 4), any, any, 5, "03 00 00 00 01", false},
        {"one unit", ValueMatch::OneValue(0), any, any, 0, "03 00 00 00 01", true},
    };
    for (const Case& c : cases) {
        FaultRules rules({Rule("R", c.unit, c.function, c.addresses)});
        ScriptedRandom random;
        const Packet pdu = Bytes(c.pdu);
        const int function = pdu.empty() ? 3 : GetByte(pdu, 0);
        const auto fault = rules.Decide(c.requestUnit, function, pdu, random);
        EXPECT_EQ(fault.has_value(), c.fires) << c.what;
        EXPECT_EQ(rules.MatchCount(0), c.fires ? 1u : 0u) << c.what;
    }
}

// Only requests that reach a rule and match it count toward its "every".
TEST(FaultRuleDecide, FirstFiringRuleWinsAndLaterRulesDoNotCount) {
    FaultRules rules({AnyRule("Second", {FaultWhenKind::Every, 2}),
                      Rule("Unit2", ValueMatch::OneValue(2), {}, {}, {FaultActionKind::Silent, 0},
                           {FaultWhenKind::Every, 3}),
                      AnyRule("Rest"), AnyRule("Never")});
    ScriptedRandom random;
    EXPECT_EQ(
        FiredNames(rules, {2, 2, 1, 2, 2, 2, 2, 1, 2}, random),
        (Names{"Rest", "Second", "Rest", "Second", "Rest", "Second", "Unit2", "Second", "Rest"}));
    EXPECT_EQ(rules.MatchCount(0), 9u);
    // Reached by the five requests "Second" let through, four of them unit 2.
    EXPECT_EQ(rules.MatchCount(1), 4u);
    EXPECT_EQ(rules.MatchCount(2), 4u);
    EXPECT_EQ(rules.MatchCount(3), 0u);
    EXPECT_EQ(random.draws, 0);
}

TEST(FaultRuleDecide, SwitchingOffSkipsAndSwitchingOnStartsTheCountAgain) {
    FaultRules rules({AnyRule("Every3", {FaultWhenKind::Every, 3}), AnyRule("Rest")});
    ScriptedRandom random;
    EXPECT_EQ(rules.EnabledCount(), 2u);
    EXPECT_EQ(FiredNames(rules, {1, 1}, random), (Names{"Rest", "Rest"}));

    rules.SetEnabled(0, false);
    EXPECT_EQ(rules.EnabledCount(), 1u);
    EXPECT_EQ(FiredNames(rules, {1, 1, 1}, random), (Names{"Rest", "Rest", "Rest"}));
    EXPECT_EQ(rules.MatchCount(0), 2u);  // an off rule counts nothing

    // Back on: counting starts at 0, so the 2 seen before are forgotten; on
    // again while on changes nothing.
    rules.SetEnabled(0, true);
    EXPECT_EQ(rules.MatchCount(0), 0u);
    EXPECT_EQ(FiredNames(rules, {1, 1, 1, 1}, random), (Names{"Rest", "Rest", "Every3", "Rest"}));
    rules.SetEnabled(0, true);
    EXPECT_EQ(FiredNames(rules, {1, 1}, random), (Names{"Rest", "Every3"}));

    rules.SetEnabled(1, false);
    rules.SetEnabled(0, false);
    rules.SetEnabled(7, true);  // no such rule
    EXPECT_EQ(rules.EnabledCount(), 0u);
    EXPECT_EQ(FiredNames(rules, {1}, random), (Names{"-"}));
}

TEST(FaultRuleDecide, ChanceDrawsOnlyWhenReachedAndUncertain) {
    FaultRules rules({AnyRule("Never", {FaultWhenKind::Chance, 0}),
                      Rule("Unit9", ValueMatch::OneValue(9), {}, {}, {FaultActionKind::Silent, 0},
                           {FaultWhenKind::Chance, 50}),
                      AnyRule("Twenty", {FaultWhenKind::Chance, 20}),
                      AnyRule("Always", {FaultWhenKind::Chance, 100})});
    ScriptedRandom random;
    random.values = {0.19, 0.2, 0.0, 0.999};
    EXPECT_EQ(FiredNames(rules, {1, 1, 1, 1}, random),
              (Names{"Twenty", "Always", "Twenty", "Always"}));
    // One draw per request, by "Twenty": not by the rule of another unit,
    // nor by the 0 and 100 percent ones.
    EXPECT_EQ(random.draws, 4);
    EXPECT_EQ(rules.MatchCount(0), 4u);
    EXPECT_EQ(rules.MatchCount(3), 2u);
}

// Fault rules inside the engine: what a firing rule puts on the wire, where
// its trace line stands, what it leaves in the tables, and what a close or a
// delay does to the rest of the arrival.

constexpr FaultAction kBusy{FaultActionKind::Exception, 0x06};
constexpr FaultAction kSilent{FaultActionKind::Silent, 0};
constexpr FaultAction kClose{FaultActionKind::Close, 0};
constexpr FaultAction kSlow{FaultActionKind::Delay, 1500};

constexpr const char* kRead100 = "00 01 00 00 00 06 01 03 00 64 00 02";
constexpr const char* kWrite5 = "00 02 00 00 00 06 01 06 00 05 00 2A";
constexpr const char* kWrite16 = "00 03 00 00 00 0B 01 10 00 07 00 02 04 00 0B 00 0C";

// Trace lines and answers on the wire joined by "|".
struct StepCase {
    const char* name;
    FaultRule rule;
    const char* request;
    const char* lines;
    const char* wires;
    bool showReads = true;
};

const StepCase kStepCases[] = {
    {"exception after the request line",
     Rule("Busy", {}, ValueMatch::OneValue(3), ValueMatch::RangeOf(100, 199), kBusy), kRead100,
     "REQ 0001 Read Holding Registers 100, count 2|REQ 0001 Fault Busy: exception 06|DISPATCH 131",
     "00 01 00 00 00 03 01 83 06"},
    {"exception without Show reads: where the line would stand", Rule("Busy", {}, {}, {}, kBusy),
     kRead100, "REQ 0001 Fault Busy: exception 06|DISPATCH 131", "00 01 00 00 00 03 01 83 06",
     false},
    {"exception code in upper-case hex, on an ignored function",
     Rule("Odd", {}, ValueMatch::OneValue(1), {}, {FaultActionKind::Exception, 0xAB}),
     "00 04 00 00 00 06 09 01 00 00 00 08", "REQ 0004 Fault Odd: exception AB|DISPATCH 129",
     "00 04 00 00 00 03 09 81 AB"},
    {"a frame too short keeps its line", Rule("Busy", {}, {}, {}, kBusy),
     "00 05 00 00 00 03 01 06 00",
     "REQ 0005 Frame too short, function 6|REQ 0005 Fault Busy: exception 06|DISPATCH 134",
     "00 05 00 00 00 03 01 86 06"},
    {"silent", Rule("Quiet", {}, {}, {}, kSilent), kWrite5,
     "REQ 0002 Write Holding Register 5, value 002A|REQ 0002 Fault Quiet: silent", ""},
    {"a rule for another address lets the frame through",
     Rule("Busy", {}, {}, ValueMatch::RangeOf(102, 199), kBusy), kRead100,
     "REQ 0001 Read Holding Registers 100, count 2|DISPATCH 3|"
     "ANS 0001 0000 Read Holding Registers 100, data 04 00 00 00 00 ",
     "00 01 00 00 00 07 01 03 04 00 00 00 00"},
    {"a rule for another unit lets the frame through",
     Rule("Unit2", ValueMatch::OneValue(2), {}, {}, kSilent), kWrite5,
     "REQ 0002 Write Holding Register 5, value 002A|DISPATCH 6",
     "00 02 00 00 00 06 01 06 00 05 00 2A"},
};

TEST(FaultStep, FiringRuleReplacesTheHandler) {
    for (const StepCase& c : kStepCases) {
        SCOPED_TRACE(c.name);
        EngineRig rig;
        rig.options.showReads = c.showReads;
        rig.engine.Faults() = FaultRules({c.rule});
        rig.Feed(c.request);
        EXPECT_EQ(rig.rec.lines, Split(c.lines));
        Lines wires;
        for (const auto& answer : rig.rec.answers) wires.push_back(answer.wire);
        EXPECT_EQ(wires, Split(c.wires));
    }
}

TEST(FaultStep, RefusedWritesChangeNothing) {
    for (const FaultAction& action : {kBusy, kSilent, kClose}) {
        SCOPED_TRACE(action.Text());
        EngineRig rig;
        rig.engine.Faults() = FaultRules({Rule("W", {}, {}, {}, action)});
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
    engine.Faults() = FaultRules({Rule("Slow", {}, ValueMatch::OneValue(16), {}, kSlow)});
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
    rig.engine.Faults() = FaultRules({Rule("Drop", {}, ValueMatch::OneValue(16), {}, kClose)});
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
    rig.engine.Faults() = FaultRules({Rule("Busy", {}, {}, {}, kBusy)});

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
