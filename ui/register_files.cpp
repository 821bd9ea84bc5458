#include "ui/register_files.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

#include "config/register_file.h"
#include "slave/register_values.h"

namespace tarvik {
namespace {

const QString kFilter = QStringLiteral("Register files (*.csv);;All files (*)");

}  // namespace

bool SaveRegisters(const QString& path, const RegisterTables& tables, QString& error) {
    const std::string text = FormatRegisterFile(ValuesOf(tables));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    file.write(text.data(), static_cast<qint64>(text.size()));
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

bool LoadRegistersWithMessage(QWidget* parent, const QString& path, RegisterTables& tables) {
    const RegisterFileResult loaded = LoadRegisterFile(path.toStdString());
    if (!loaded.ok) {
        QMessageBox::warning(
            parent, QStringLiteral("Load Registers"),
            QStringLiteral("Cannot load registers: %1").arg(QString::fromStdString(loaded.error)));
        return false;
    }
    LoadValues(tables, loaded.values);
    return true;
}

void AskAndSaveRegisters(QWidget* parent, const RegisterTables& tables) {
    const QString path =
        QFileDialog::getSaveFileName(parent, QStringLiteral("Save Registers"), QString(), kFilter);
    if (path.isEmpty()) return;
    QString error;
    if (SaveRegisters(path, tables, error)) return;
    QMessageBox::warning(parent, QStringLiteral("Save Registers"),
                         QStringLiteral("Cannot save %1: %2").arg(path, error));
}

bool AskAndLoadRegisters(QWidget* parent, RegisterTables& tables) {
    const QString path =
        QFileDialog::getOpenFileName(parent, QStringLiteral("Load Registers"), QString(), kFilter);
    return !path.isEmpty() && LoadRegistersWithMessage(parent, path, tables);
}

}  // namespace tarvik
