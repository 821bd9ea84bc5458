#include "engine/point.h"

namespace tarvik {

namespace {

const RegisterTable& TableOf(const Point& point, const RegisterTables& tables) {
    return point.table == PointTable::Holding ? tables.HoldingRegisters : tables.InputRegisters;
}

RegisterTable& TableOf(const Point& point, RegisterTables& tables) {
    return point.table == PointTable::Holding ? tables.HoldingRegisters : tables.InputRegisters;
}

}  // namespace

bool PointFits(const Point& point) {
    return point.index >= 0 && point.index + RegisterCount(point.type) <= kRegisterCount;
}

TypedValue ReadPoint(const Point& point, const RegisterTables& tables) {
    if (!PointFits(point)) return FitToType(int64_t{0}, point.type);
    const RegisterTable& table = TableOf(point, tables);
    std::array<uint16_t, 4> words{};
    const int count = RegisterCount(point.type);
    for (int i = 0; i < count; ++i) {
        // Entries hold 0..65535; the mask keeps a stray high bit out of the value.
        words[static_cast<std::size_t>(i)] =
            static_cast<uint16_t>(table[static_cast<std::size_t>(point.index + i)] & 0xFFFF);
    }
    return DecodeValue(std::span(words).first(static_cast<std::size_t>(count)), point.type,
                       point.order);
}

void WritePoint(const Point& point, RegisterTables& tables, const TypedValue& value) {
    if (!PointFits(point)) return;
    RegisterTable& table = TableOf(point, tables);
    const RegisterWords words = EncodeValue(value, point.type, point.order);
    for (int i = 0; i < words.count; ++i) {
        table[static_cast<std::size_t>(point.index + i)] = words.words[static_cast<std::size_t>(i)];
    }
}

std::string PointValuesText(std::span<const Point> points, const TablesOfUnit& tablesOf) {
    std::string text;
    for (const Point& point : points) {
        const RegisterTables* tables = tablesOf(point.unit);
        if (tables == nullptr) continue;
        if (!text.empty()) text += ' ';
        text += point.name;
        text += '=';
        text += ValueText(ReadPoint(point, *tables), point.type);
    }
    return text;
}

}  // namespace tarvik
