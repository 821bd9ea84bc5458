#include "engine/fault_rules.h"

#include <algorithm>
#include <utility>

#include "engine/function_codes.h"
#include "engine/packet.h"
#include "engine/text_forms.h"

namespace tarvik {

std::string ValueMatch::Text() const {
    switch (form) {
        case Form::Any: return "*";
        case Form::One: return Decimal(first);
        case Form::Range: return Decimal(first) + "-" + Decimal(last);
    }
    return "*";
}

std::string FaultAction::Text() const {
    switch (kind) {
        case FaultActionKind::Exception: return "exception " + Hex2(value);
        case FaultActionKind::Silent: return "silent";
        case FaultActionKind::Delay: return "delay " + Decimal(value);
        case FaultActionKind::Close: return "close";
    }
    return "silent";
}

std::string FaultWhen::Text() const {
    switch (kind) {
        case FaultWhenKind::Always: return "always";
        case FaultWhenKind::Every: return "every " + Decimal(value);
        case FaultWhenKind::Chance: return "chance " + Decimal(value);
    }
    return "always";
}

std::string FaultRule::ValueText() const {
    return unit.Text() + "," + function.Text() + "," + addresses.Text() + "," + action.Text() +
           "," + when.Text();
}

std::string FaultRule::DisplayText() const { return name + ": " + ValueText(); }

std::string FaultTraceText(std::string_view name, const FaultAction& action) {
    std::string text = "Fault ";
    text += name;
    text += ": ";
    text += action.Text();
    return text;
}

std::optional<AddressSpan> RequestAddresses(int functionByte, std::string_view pdu) {
    const auto word = [&pdu](std::size_t pos) {
        return 256 * static_cast<unsigned char>(pdu[pos]) +
               static_cast<unsigned char>(pdu[pos + 1]);
    };
    switch (functionByte) {
        case CodeOf(FunctionCode::ReadHoldingRegisters):
        case CodeOf(FunctionCode::ReadInputRegisters):
        case CodeOf(FunctionCode::WriteMultipleCoils):
        case CodeOf(FunctionCode::WriteMultipleRegisters): {
            if (pdu.size() < 5) return std::nullopt;
            const int32_t start = word(1);
            const int32_t quantity = word(3);
            if (quantity == 0) return std::nullopt;
            return AddressSpan{start, start + quantity - 1};
        }
        case CodeOf(FunctionCode::WriteSingleCoil):
        case CodeOf(FunctionCode::WriteSingleRegister): {
            if (pdu.size() < 3) return std::nullopt;
            const int32_t address = word(1);
            return AddressSpan{address, address};
        }
        default: return std::nullopt;
    }
}

namespace {

// The bounds of a field as Decide tests them, "*" its whole range; values
// outside 0..max (a rule made by hand) are held to it.
std::pair<int32_t, int32_t> Bounds(const ValueMatch& match, int32_t max) {
    if (match.IsAny()) return {0, max};
    return {std::clamp(match.first, 0, max), std::clamp(match.last, 0, max)};
}

}  // namespace

FaultRules::FaultRules(std::vector<FaultRule> rules)
    : rules_(std::move(rules)), states_(rules_.size()) {
    for (std::size_t i = 0; i < rules_.size(); ++i) {
        const FaultRule& rule = rules_[i];
        State& state = states_[i];
        const auto [unitFirst, unitLast] = Bounds(rule.unit, kMaxUnitId);
        const auto [functionFirst, functionLast] = Bounds(rule.function, kMaxFunctionCode);
        const auto [addressFirst, addressLast] = Bounds(rule.addresses, kMaxAddress);
        state.unitFirst = static_cast<uint8_t>(unitFirst);
        state.unitLast = static_cast<uint8_t>(unitLast);
        state.functionFirst = static_cast<uint8_t>(functionFirst);
        state.functionLast = static_cast<uint8_t>(functionLast);
        state.addressFirst = static_cast<uint16_t>(addressFirst);
        state.addressLast = static_cast<uint16_t>(addressLast);
        state.anyAddress = rule.addresses.IsAny();
    }
}

bool FaultRules::Enabled(std::size_t index) const {
    return index < states_.size() && states_[index].enabled;
}

void FaultRules::SetEnabled(std::size_t index, bool enabled) {
    if (index >= states_.size()) return;
    State& state = states_[index];
    if (enabled && !state.enabled) state.matches = 0;
    state.enabled = enabled;
}

std::size_t FaultRules::EnabledCount() const {
    return static_cast<std::size_t>(
        std::count_if(states_.begin(), states_.end(), [](const State& s) { return s.enabled; }));
}

uint64_t FaultRules::MatchCount(std::size_t index) const {
    return index < states_.size() ? states_[index].matches : 0;
}

std::optional<FiredFault> FaultRules::Decide(int unitId, int functionByte, std::string_view pdu,
                                             RandomSource& random) {
    // Worked out once per request, and only when a rule asks for it.
    bool spanKnown = false;
    std::optional<AddressSpan> span;
    for (std::size_t i = 0; i < states_.size(); ++i) {
        State& state = states_[i];
        if (!state.enabled || unitId < state.unitFirst || unitId > state.unitLast ||
            functionByte < state.functionFirst || functionByte > state.functionLast) {
            continue;
        }
        if (!state.anyAddress) {
            if (!spanKnown) {
                span = RequestAddresses(functionByte, pdu);
                spanKnown = true;
            }
            if (!span || span->last < state.addressFirst || span->first > state.addressLast) {
                continue;
            }
        }
        ++state.matches;
        const FaultRule& rule = rules_[i];
        bool fires = true;
        switch (rule.when.kind) {
            case FaultWhenKind::Always: break;
            case FaultWhenKind::Every:
                fires = rule.when.value >= 1 &&
                        state.matches % static_cast<uint64_t>(rule.when.value) == 0;
                break;
            case FaultWhenKind::Chance:
                // The certain cases draw nothing, so they leave the sequence
                // of the random register values as it would be without them.
                if (rule.when.value <= 0) {
                    fires = false;
                } else if (rule.when.value < 100) {
                    fires = random.NextUniform() * 100.0 < rule.when.value;
                }
                break;
        }
        if (fires) return FiredFault{i, rule.name, rule.action};
    }
    return std::nullopt;
}

}  // namespace tarvik
