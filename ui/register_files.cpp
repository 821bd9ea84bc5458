#include "ui/register_files.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

#include <string>

#include "config/register_file.h"
#include "slave/register_values.h"

namespace tarvik {
namespace {

const QString kFilter = QStringLiteral("Register files (*.csv);;All files (*)");

bool SaveText(const QString& path, const std::string& text, QString& error) {
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

bool ShownLoadResult(QWidget* parent, const std::string& error) {
    if (error.empty()) return true;
    QMessageBox::warning(
        parent, QStringLiteral("Load Registers"),
        QStringLiteral("Cannot load registers: %1").arg(QString::fromStdString(error)));
    return false;
}

}  // namespace

bool SaveRegisters(const QString& path, const RegisterTables& tables, QString& error) {
    return SaveText(path, FormatRegisterFile(ValuesOf(tables)), error);
}

bool SaveRegisters(const QString& path, const UnitTables& tables, QString& error) {
    return SaveText(path, RegisterFileText(tables), error);
}

bool LoadRegistersWithMessage(QWidget* parent, const QString& path, RegisterTables& tables) {
    const RegisterFileResult loaded = LoadRegisterFile(path.toStdString());
    if (loaded.ok) LoadValues(tables, loaded.values);
    return ShownLoadResult(parent, loaded.error);
}

bool LoadRegistersWithMessage(QWidget* parent, const QString& path, UnitTables& tables) {
    return ShownLoadResult(parent, LoadRegisterFileInto(path.toStdString(), tables));
}

namespace {

template <typename Tables>
void AskAndSave(QWidget* parent, const Tables& tables) {
    const QString path =
        QFileDialog::getSaveFileName(parent, QStringLiteral("Save Registers"), QString(), kFilter);
    if (path.isEmpty()) return;
    QString error;
    if (SaveRegisters(path, tables, error)) return;
    QMessageBox::warning(parent, QStringLiteral("Save Registers"),
                         QStringLiteral("Cannot save %1: %2").arg(path, error));
}

template <typename Tables>
bool AskAndLoad(QWidget* parent, Tables& tables) {
    const QString path =
        QFileDialog::getOpenFileName(parent, QStringLiteral("Load Registers"), QString(), kFilter);
    return !path.isEmpty() && LoadRegistersWithMessage(parent, path, tables);
}

}  // namespace

void AskAndSaveRegisters(QWidget* parent, const RegisterTables& tables) {
    AskAndSave(parent, tables);
}

void AskAndSaveRegisters(QWidget* parent, const UnitTables& tables) { AskAndSave(parent, tables); }

bool AskAndLoadRegisters(QWidget* parent, RegisterTables& tables) {
    return AskAndLoad(parent, tables);
}

bool AskAndLoadRegisters(QWidget* parent, UnitTables& tables) { return AskAndLoad(parent, tables); }

}  // namespace tarvik
