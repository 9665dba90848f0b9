// The types and widths of the columns the program edits, as the suite's tables define them.
#pragma once
#include <QString>
#include <optional>

namespace data {

struct ColumnInfo {
    enum class Type { Text, Integer, Decimal, Float, Date, Timestamp, Blob };
    Type type = Type::Text;
    int width = 0;   // characters of a text column; 0 for the others
    int scale = 0;   // digits after the point of a decimal column
    int precision = 0;   // digits in all of a decimal column

    bool isNumber() const { return type == Type::Integer || type == Type::Decimal || type == Type::Float; }
    bool isDate() const { return type == Type::Date || type == Type::Timestamp; }
};

// The column of a table, by name (case-insensitive); nothing for a table or column not listed.
std::optional<ColumnInfo> FindColumnInfo(const QString &table, const QString &column);

// The name the operator knows a column by (the label of its box); the column's own name otherwise.
QString FieldLabel(const QString &table, const QString &column);

// A text cut to the width of its column; unchanged when the column is not a listed text column.
QString CutToColumn(const QString &table, const QString &column, const QString &text);

} // namespace data
