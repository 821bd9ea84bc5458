#include "ui/values_table_model.h"

#include <set>

#include "slave/core_values.h"

namespace tarvik {
namespace {

constexpr const char* kHeaders[] = {"Name", "Unit",  "Table", "Register",
                                    "Type", "Order", "Value", "Generator"};

QString Latin(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ValuesTableModel::ValuesTableModel(const CoreValues& values, UnitTables& units, QObject* parent)
    : QAbstractTableModel(parent), values_(values), units_(units) {
    for (int c = 0; c <= static_cast<int>(ValuesColumn::Generator); ++c) {
        const auto column = static_cast<ValuesColumn>(c);
        if (column != ValuesColumn::Unit || units_.UnitsOn()) columns_.push_back(column);
    }
    Rebuild();
}

void ValuesTableModel::Rebuild() {
    std::set<std::string> tickedNames;
    for (const Row& row : rows_)
        if (row.ticked) tickedNames.insert(row.point.name);

    beginResetModel();
    rows_.clear();
    for (const Point& point : values_.Points()) rows_.push_back(Row{point, {}, false, {}, {}});
    for (const Generator& generator : values_.Generators()) {
        if (generator.point < rows_.size())
            rows_[generator.point].generator = QString::fromStdString(generator.text);
    }
    bool kept = false;
    for (Row& row : rows_) {
        row.ticked = tickedNames.contains(row.point.name);
        kept = kept || row.ticked;
    }
    for (std::size_t i = 0; !kept && i < rows_.size() && i < kFirstTicked; ++i)
        rows_[i].ticked = true;
    for (Row& row : rows_) Read(row);
    endResetModel();
}

bool ValuesTableModel::Read(Row& row) {
    const RegisterTables* tables = units_.Of(row.point.unit);
    row.value = tables != nullptr ? std::optional(ReadPoint(row.point, *tables)) : std::nullopt;
    // The same text --values writes.
    QString text =
        row.value ? QString::fromStdString(ValueText(*row.value, row.point.type)) : QString();
    if (text == row.valueText) return false;
    row.valueText = std::move(text);
    return true;
}

void ValuesTableModel::Refresh() {
    int first = -1;
    int last = -1;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!Read(rows_[i])) continue;
        if (first < 0) first = static_cast<int>(i);
        last = static_cast<int>(i);
    }
    // One signal for the changed stretch: the view repaints it in one go.
    if (first < 0) return;
    const int column = ColumnOf(ValuesColumn::Value);
    emit dataChanged(index(first, column), index(last, column), {Qt::DisplayRole, Qt::EditRole});
}

int ValuesTableModel::ColumnOf(ValuesColumn column) const {
    for (std::size_t c = 0; c < columns_.size(); ++c)
        if (columns_[c] == column) return static_cast<int>(c);
    return -1;
}

QString ValuesTableModel::Name(int row) const {
    return QString::fromStdString(rows_[static_cast<std::size_t>(row)].point.name);
}

std::optional<double> ValuesTableModel::Reading(int row) const {
    const std::optional<TypedValue>& value = rows_[static_cast<std::size_t>(row)].value;
    return value ? std::optional(AsDouble(*value)) : std::nullopt;
}

int ValuesTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ValuesTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QString ValuesTableModel::Text(const Row& row, ValuesColumn column) const {
    const Point& point = row.point;
    switch (column) {
        case ValuesColumn::Name: return QString::fromStdString(point.name);
        case ValuesColumn::Unit: return QString::number(point.unit);
        case ValuesColumn::Table:
            return QString::fromLatin1(point.table == PointTable::Holding ? "holding" : "input");
        case ValuesColumn::Register: return QString::number(point.index);
        case ValuesColumn::Type: return Latin(TypeName(point.type));
        case ValuesColumn::Order: return Latin(OrderName(point.order));
        case ValuesColumn::Value: return row.valueText;
        case ValuesColumn::Generator: return row.generator;
    }
    return {};
}

QVariant ValuesTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    const ValuesColumn column = ColumnAt(index.column());
    if (role == Qt::DisplayRole || role == Qt::EditRole) return Text(row, column);
    if (role == Qt::CheckStateRole && column == ValuesColumn::Name)
        return row.ticked ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole &&
        (column == ValuesColumn::Register || column == ValuesColumn::Value))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ValuesTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount())
        return {};
    return QString::fromLatin1(kHeaders[static_cast<int>(ColumnAt(section))]);
}

Qt::ItemFlags ValuesTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const ValuesColumn column = ColumnAt(index.column());
    if (column == ValuesColumn::Name) flags |= Qt::ItemIsUserCheckable;
    // A generator would overwrite the entry within 100 ms.
    if (column == ValuesColumn::Value && row.generator.isEmpty() && row.value)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool ValuesTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rowCount()) return false;
    Row& row = rows_[static_cast<std::size_t>(index.row())];
    const ValuesColumn column = ColumnAt(index.column());
    if (column == ValuesColumn::Name && role == Qt::CheckStateRole) {
        const bool ticked = value.toInt() == Qt::Checked;
        if (ticked == row.ticked) return true;
        row.ticked = ticked;
        emit dataChanged(index, index, {Qt::CheckStateRole});
        emit TickChanged(index.row(), ticked);
        return true;
    }
    if (column != ValuesColumn::Value || role != Qt::EditRole ||
        !(flags(index) & Qt::ItemIsEditable))
        return false;
    RegisterTables* tables = units_.Of(row.point.unit);
    if (tables == nullptr) return false;
    const ValueEntry entry = ParseValueText(value.toString().toStdString(), row.point.type);
    if (!entry.value) {
        emit EditRefused(QString::fromStdString(row.point.name + ": " + entry.error));
        return false;
    }
    WritePoint(row.point, *tables, *entry.value);
    if (Read(row)) emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

}  // namespace tarvik
