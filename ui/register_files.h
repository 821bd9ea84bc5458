// "Save &Registers..." and "&Load Registers...": both tables as a CSV file
// (table,index,value), written whole or not at all, loaded all or nothing.
#pragma once

#include <QString>

class QWidget;

namespace tarvik {

struct RegisterTables;

// False, with `error` saying why, when the file could not be written.
bool SaveRegisters(const QString& path, const RegisterTables& tables, QString& error);

// Loads `path` into the tables; on failure leaves them as they were and
// shows a message box naming the file, the line and the reason.
bool LoadRegistersWithMessage(QWidget* parent, const QString& path, RegisterTables& tables);

// Ask for a file first; a failed save is a message box too.
void AskAndSaveRegisters(QWidget* parent, const RegisterTables& tables);
bool AskAndLoadRegisters(QWidget* parent, RegisterTables& tables);

}  // namespace tarvik
