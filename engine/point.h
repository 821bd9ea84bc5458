// A typed point: a name for a value that lies in one or more registers of
// one table. A view, not a copy: whoever changes the registers (a master,
// a bit box, a registers file, a generator) changes what the point reads.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "engine/register_tables.h"
#include "engine/typed_value.h"

namespace tarvik {

enum class PointTable : uint8_t { Holding, Input };

// The one set of tables when no units are served.
inline constexpr int kNoUnit = -1;

struct Point {
    std::string name;
    PointTable table = PointTable::Holding;
    int index = 0;  // first register; index + RegisterCount(type) <= kRegisterCount
    ValueType type = ValueType::Uint16;
    WordOrder order = WordOrder::ABCD;
    int unit = kNoUnit;  // the served unit whose tables hold it
};

// True when all of the point's registers lie within a table.
bool PointFits(const Point& point);

// The point's value as its registers hold it now; 0 for a point that does
// not fit.
TypedValue ReadPoint(const Point& point, const RegisterTables& tables);
// Writes `value`, fitted to the point's type, into its registers; a point
// that does not fit is left alone.
void WritePoint(const Point& point, RegisterTables& tables, const TypedValue& value);

// The tables of a unit, or null for one that has none.
using TablesOfUnit = std::function<RegisterTables*(int unit)>;

// "Flow=50.0 Level=333", the points in order with ValueText; empty for no
// points. Points whose unit has no tables are left out.
std::string PointValuesText(std::span<const Point> points, const TablesOfUnit& tablesOf);

}  // namespace tarvik
