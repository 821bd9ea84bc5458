// The register tables as values a file holds, and back.
#pragma once

#include <string>

#include "config/register_file.h"
#include "engine/register_tables.h"
#include "engine/unit_tables.h"

namespace tarvik {

RegisterValues ValuesOf(const RegisterTables& tables);
// Replaces both tables: entries the values leave 0 become 0.
void LoadValues(RegisterTables& tables, const RegisterValues& values);

// The registers file's text: with units on, the unit form with every served
// unit; otherwise today's form of the one pair.
std::string RegisterFileText(const UnitTables& tables);

// Loads the registers file at `path` into the tables, all or nothing: with
// units on, either form (today's going to every served unit); otherwise
// today's form only. Empty when loaded, else the reason ("<path>: line N:
// <reason>"), the tables as they were.
std::string LoadRegisterFileInto(const std::string& path, UnitTables& tables);

}  // namespace tarvik
