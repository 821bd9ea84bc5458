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

}  // namespace tarvik
