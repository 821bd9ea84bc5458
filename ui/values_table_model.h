// The points as the Values window's table shows them, one row each: Name
// (with the box that puts the point on the chart), Unit (only with units
// served), Table, Register, Type, Order, Value and Generator. Refresh reads
// every point once; the chart samples those same readings. The Value of a
// point without a generator takes an operator's entry, parsed for its type
// and written to its registers in its order.
#pragma once

#include <QAbstractTableModel>

#include <optional>
#include <string>
#include <vector>

#include "engine/point.h"
#include "engine/unit_tables.h"

namespace tarvik {

class CoreValues;

enum class ValuesColumn { Name, Unit, Table, Register, Type, Order, Value, Generator };

// How many rows are ticked when the window first shows points.
inline constexpr int kFirstTicked = 3;

class ValuesTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    ValuesTableModel(const CoreValues& values, UnitTables& units, QObject* parent = nullptr);

    // The rows again from the points the core holds now. Rows whose name
    // was ticked before stay ticked; when none of them is left, the first
    // kFirstTicked are.
    void Rebuild();
    // Reads every point once and shows the texts that changed.
    void Refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The column shown at `column`; the Unit column is there only with units.
    ValuesColumn ColumnAt(int column) const { return columns_[static_cast<std::size_t>(column)]; }
    int ColumnOf(ValuesColumn column) const;

    bool Ticked(int row) const { return rows_[static_cast<std::size_t>(row)].ticked; }
    QString Name(int row) const;
    // The last reading, or nothing for a point whose unit has no tables.
    std::optional<double> Reading(int row) const;

signals:
    void TickChanged(int row, bool ticked);
    // An entry that was not written: "Level: 70000 does not fit uint16 (0 to 65535)".
    void EditRefused(const QString& message);

private:
    struct Row {
        Point point;
        QString generator;  // empty without one
        bool ticked = false;
        std::optional<TypedValue> value;
        QString valueText;
    };

    // Reads the row's point; true when its text changed.
    bool Read(Row& row);
    QString Text(const Row& row, ValuesColumn column) const;

    const CoreValues& values_;
    UnitTables& units_;
    std::vector<ValuesColumn> columns_;
    std::vector<Row> rows_;
};

}  // namespace tarvik
