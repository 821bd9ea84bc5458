#include "ui/debug_list_saving.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

#include "ui/debug_list_model.h"

namespace tarvik {

bool SaveLines(const QString& path, const QStringList& lines, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    for (const QString& line : lines) {
        file.write(line.toUtf8());
        file.write("\n", 1);
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

void AskAndSaveDebugList(QWidget* parent, DebugListModel& list) {
    // What the operator sees, up to the latest line.
    list.Sync();
    QStringList lines;
    for (int row = 0; row < list.rowCount(); ++row) {
        const std::string_view line = list.LineText(row);
        lines << QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    }
    const QString path =
        QFileDialog::getSaveFileName(parent, QStringLiteral("Save Debug List"), QString(),
                                     QStringLiteral("Text (*.txt);;All files (*)"));
    if (path.isEmpty()) return;
    QString error;
    if (SaveLines(path, lines, error)) return;
    QMessageBox::warning(parent, QStringLiteral("Save Debug List"),
                         QStringLiteral("Cannot save %1: %2").arg(path, error));
}

}  // namespace tarvik
