// "Save &Registers..." and "&Load Registers...": the register tables as a
// CSV file, written whole or not at all, loaded all or nothing. With units
// served the file names the unit of every entry (unit,table,index,value);
// otherwise it holds the one pair (table,index,value).
#pragma once

#include <QString>

class QWidget;

namespace tarvik {

struct RegisterTables;
class UnitTables;

// False, with `error` saying why, when the file could not be written.
bool SaveRegisters(const QString& path, const RegisterTables& tables, QString& error);
bool SaveRegisters(const QString& path, const UnitTables& tables, QString& error);

// Loads `path` into the tables; on failure leaves them as they were and
// shows a message box naming the file, the line and the reason.
bool LoadRegistersWithMessage(QWidget* parent, const QString& path, RegisterTables& tables);
bool LoadRegistersWithMessage(QWidget* parent, const QString& path, UnitTables& tables);

// Ask for a file first; a failed save is a message box too.
void AskAndSaveRegisters(QWidget* parent, const RegisterTables& tables);
void AskAndSaveRegisters(QWidget* parent, const UnitTables& tables);
bool AskAndLoadRegisters(QWidget* parent, RegisterTables& tables);
bool AskAndLoadRegisters(QWidget* parent, UnitTables& tables);

}  // namespace tarvik
