// Fault rules: a request to a chosen unit, function and address range gets
// an exception, silence, a late answer or a closed connection, always, every
// N-th time or by chance. The rules decide; the caller carries the action out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/random_source.h"

namespace tarvik {

// One field of a rule: "*", one value, or an inclusive range "a-b".
struct ValueMatch {
    enum class Form : uint8_t { Any, One, Range };
    Form form = Form::Any;
    int32_t first = 0;  // One: the value; Range: first <= last
    int32_t last = 0;

    static ValueMatch AnyValue() { return {}; }
    static ValueMatch OneValue(int32_t value) { return {Form::One, value, value}; }
    static ValueMatch RangeOf(int32_t first, int32_t last) { return {Form::Range, first, last}; }

    bool IsAny() const { return form == Form::Any; }
    // "*", "N" or "a-b": a range keeps its form even when a == b.
    std::string Text() const;

    bool operator==(const ValueMatch&) const = default;
};

enum class FaultActionKind : uint8_t {
    Exception,  // the function byte | 0x80 and `value`, the exception code 1..255
    Silent,     // no answer
    Delay,      // the normal answer, `value` milliseconds (1..60000) later
    Close,      // the connection closed, nothing more sent (UDP: as Silent)
};

struct FaultAction {
    FaultActionKind kind = FaultActionKind::Silent;
    int32_t value = 0;

    // "exception 06", "silent", "delay 1500" or "close".
    std::string Text() const;

    bool operator==(const FaultAction&) const = default;
};

enum class FaultWhenKind : uint8_t {
    Always,
    Every,   // on the value-th, 2·value-th, ... matching request (value >= 1)
    Chance,  // value percent, 0..100
};

struct FaultWhen {
    FaultWhenKind kind = FaultWhenKind::Always;
    int32_t value = 0;

    // "always", "every 5" or "chance 20".
    std::string Text() const;

    bool operator==(const FaultWhen&) const = default;
};

inline constexpr int32_t kMaxUnitId = 255;
inline constexpr int32_t kMaxFunctionCode = 255;
inline constexpr int32_t kMaxAddress = 65535;
inline constexpr int32_t kMinFaultDelayMs = 1;
inline constexpr int32_t kMaxFaultDelayMs = 60000;

struct FaultRule {
    std::string name;
    ValueMatch unit;       // 0..255
    ValueMatch function;   // "*" or one code 0..255
    ValueMatch addresses;  // 0..65535
    FaultAction action;
    FaultWhen when;

    // "unit,function,addresses,action,when": the settings value, with the
    // default "always" written out.
    std::string ValueText() const;
    // "NAME: unit,function,addresses,action,when", the rule as the operator
    // sees it in the menu.
    std::string DisplayText() const;

    bool operator==(const FaultRule&) const = default;
};

// The addresses a request touches, from its PDU (function code first):
// start..start+quantity-1 for 3, 4, 15 and 16, the one address for 5 and 6.
// Nothing for any other function, a PDU too short to hold the fields, or a
// quantity of 0 (an empty range): such a request matches only "*".
struct AddressSpan {
    int32_t first = 0;
    int32_t last = 0;  // may pass 65535: start 65535 with quantity 2
};
std::optional<AddressSpan> RequestAddresses(int functionByte, std::string_view pdu);

// The rule that fired for one request. The name is a copy, so the decision
// outlives a reload that replaces the rules.
struct FiredFault {
    std::size_t index = 0;
    std::string name;
    FaultAction action;
};

// The trace text of a firing rule: "Fault NAME: exception 06" and the like.
std::string FaultTraceText(std::string_view name, const FaultAction& action);

// The rules in file order with their state: each one on or off, and how many
// requests reached it and matched since it was (re)started.
class FaultRules {
public:
    FaultRules() = default;
    // Every rule on, every count 0: the state at start and after a reload.
    explicit FaultRules(std::vector<FaultRule> rules);

    const std::vector<FaultRule>& Rules() const { return rules_; }
    std::size_t Size() const { return rules_.size(); }
    bool Empty() const { return rules_.empty(); }

    bool Enabled(std::size_t index) const;
    // Switching a rule on that was off starts its count again at 0; an
    // unknown index is ignored.
    void SetEnabled(std::size_t index, bool enabled);
    std::size_t EnabledCount() const;
    // Requests that reached the rule while on and matched it.
    uint64_t MatchCount(std::size_t index) const;

    // Tries the rules from the top for one request; the first that fires
    // decides and the rules after it are not reached. A rule that matches
    // but does not fire lets the next ones be tried. `pdu` starts with the
    // function code. `random` is drawn from only by a reached, matching
    // chance rule of 1..99 percent.
    std::optional<FiredFault> Decide(int unitId, int functionByte, std::string_view pdu,
                                     RandomSource& random);

private:
    // What Decide reads of each rule, packed so that a frame passing many
    // rules walks one small array: "*" is the full range of unit and function.
    struct State {
        uint64_t matches = 0;
        uint16_t addressFirst = 0;
        uint16_t addressLast = 0;
        uint8_t unitFirst = 0;
        uint8_t unitLast = 0;
        uint8_t functionFirst = 0;
        uint8_t functionLast = 0;
        bool anyAddress = true;
        bool enabled = true;
    };

    std::vector<FaultRule> rules_;
    std::vector<State> states_;
};

}  // namespace tarvik
