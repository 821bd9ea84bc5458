// "&Save Debug List...": the lines the debug list shows, written to a file
// the operator picks.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace tarvik {

class DebugListModel;

// Writes the lines, each ended by a line end, all or nothing (the file is
// replaced only once every line is written). False with `error` saying why.
bool SaveLines(const QString& path, const QStringList& lines, QString& error);

// Asks for a file; a failure is a message box naming the file and the reason.
void AskAndSaveDebugList(QWidget* parent, DebugListModel& list);

}  // namespace tarvik
