// The register tables as values a file holds, and back.
#pragma once

#include "config/register_file.h"
#include "engine/register_tables.h"

namespace tarvik {

RegisterValues ValuesOf(const RegisterTables& tables);
// Replaces both tables: entries the values leave 0 become 0.
void LoadValues(RegisterTables& tables, const RegisterValues& values);

}  // namespace tarvik
