#include "slave/register_values.h"

namespace tarvik {

RegisterValues ValuesOf(const RegisterTables& tables) {
    RegisterValues values;
    for (std::size_t i = 0; i < kRegisterTableSize; ++i) {
        values.holding[i] = static_cast<uint16_t>(tables.HoldingRegisters[i]);
        values.input[i] = static_cast<uint16_t>(tables.InputRegisters[i]);
    }
    return values;
}

void LoadValues(RegisterTables& tables, const RegisterValues& values) {
    for (std::size_t i = 0; i < kRegisterTableSize; ++i) {
        tables.HoldingRegisters[i] = values.holding[i];
        tables.InputRegisters[i] = values.input[i];
    }
}

std::string RegisterFileText(const UnitTables& tables) {
    if (!tables.UnitsOn()) return FormatRegisterFile(ValuesOf(tables.First()));
    UnitRegisterValues units;
    for (const int unit : UnitIds(tables.Served())) units[unit] = ValuesOf(*tables.Of(unit));
    return FormatUnitRegisterFile(units);
}

std::string LoadRegisterFileInto(const std::string& path, UnitTables& tables) {
    if (!tables.UnitsOn()) {
        const RegisterFileResult loaded = LoadRegisterFile(path);
        if (loaded.ok) LoadValues(tables.First(), loaded.values);
        return loaded.error;
    }
    const UnitRegisterFileResult loaded = LoadUnitRegisterFile(path, tables.Served());
    if (!loaded.ok) return loaded.error;
    for (const auto& [unit, values] : loaded.units) LoadValues(*tables.Of(unit), values);
    return {};
}

}  // namespace tarvik
