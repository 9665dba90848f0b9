// Columns and fetched rows: how a row buffer is decoded into values.
#include "connection.h"
#include "message.h"

namespace db {

using namespace engine;

namespace {

// The code page's 256 characters, taken once from the converter itself: a value then costs one
// table look-up per byte instead of a pass through the converter.
struct Cp1252Table {
    char16_t units[256];
    bool single[256];   // the byte gives one UTF-16 unit
    Cp1252Table()
    {
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            const QString s = platform::fromCp1252(&byte, 1);
            single[b] = s.size() == 1;
            units[b] = single[b] ? char16_t(s.at(0).unicode()) : u'?';
        }
    }
};

const Cp1252Table &cp1252()
{
    static const Cp1252Table table;
    return table;
}

} // namespace

QString decodeCp1252(const char *data, int size)
{
    if (size <= 0)
        return QString();
    const Cp1252Table &t = cp1252();
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    for (int i = 0; i < size; ++i)
        if (!t.single[bytes[i]])
            return platform::fromCp1252(data, size);
    QString out(size, Qt::Uninitialized);
    char16_t *to = reinterpret_cast<char16_t *>(out.data());
    for (int i = 0; i < size; ++i)
        to[i] = t.units[bytes[i]];
    return out;
}

bool Column::isText() const { return sqlType == SQL_VARYING || sqlType == SQL_TEXT; }
bool Column::isBlob() const { return sqlType == SQL_BLOB; }

int RowLayout::indexOf(const QString &name) const
{
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

bool RowLayout::isNull(const unsigned char *row, int col) const
{
    int16_t n;
    std::memcpy(&n, row + m_columns[size_t(col)].nullOffset, 2);
    return n != 0;
}

QByteArray RowLayout::textBytes(const unsigned char *row, int col) const
{
    const Column &c = m_columns[size_t(col)];
    if (isNull(row, col))
        return QByteArray();
    const unsigned char *p = row + c.offset;
    if (c.sqlType == SQL_VARYING) {
        uint16_t len;
        std::memcpy(&len, p, 2);
        return QByteArray(reinterpret_cast<const char *>(p + 2), len);
    }
    // Fixed-length text keeps the blanks that fill it, as the suite's programs read it.
    return QByteArray(reinterpret_cast<const char *>(p), int(c.length));
}

std::string_view RowLayout::textView(const unsigned char *row, int col) const
{
    const Column &c = m_columns[size_t(col)];
    if (isNull(row, col))
        return {};
    const unsigned char *p = row + c.offset;
    if (c.sqlType == SQL_VARYING) {
        uint16_t len;
        std::memcpy(&len, p, 2);
        return {reinterpret_cast<const char *>(p + 2), len};
    }
    if (c.sqlType == SQL_TEXT)
        return {reinterpret_cast<const char *>(p), c.length};
    return {};
}

QString RowLayout::text(const unsigned char *row, int col) const
{
    const std::string_view v = textView(row, col);
    return decodeCp1252(v.data(), int(v.size()));
}

Value RowLayout::value(const unsigned char *row, int col) const
{
    if (isNull(row, col))
        return Value();
    const Column &c = m_columns[size_t(col)];
    const unsigned char *p = row + c.offset;
    switch (c.sqlType) {
    case SQL_VARYING:
    case SQL_TEXT:
        return Value::text(text(row, col));
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
        const int64_t v = readInteger(p, c.sqlType);
        if (c.scale < 0)
            return Value::decimal(Decimal{v, -c.scale});
        return Value::integer(c.scale > 0 ? v * kPow10[c.scale] : v);
    }
    case SQL_FLOAT: { float f; std::memcpy(&f, p, 4); return Value::real(double(f)); }
    case SQL_DOUBLE:
    case SQL_D_FLOAT: { double d; std::memcpy(&d, p, 8); return Value::real(d); }
    case SQL_TYPE_DATE: { ISC_DATE d; std::memcpy(&d, p, 4); return Value::date(decodeDate(d)); }
    case SQL_TYPE_TIME: { ISC_TIME t; std::memcpy(&t, p, 4); return Value::time(decodeTime(t)); }
    case SQL_TIMESTAMP: {
        ISC_TIMESTAMP ts; std::memcpy(&ts, p, 8);
        return Value::timestamp(QDateTime(decodeDate(ts.timestamp_date), decodeTime(ts.timestamp_time)));
    }
    case SQL_BOOLEAN: return Value::integer(*p ? 1 : 0);
    default:
        return Value();
    }
}

// ---- Rows

int Rows::indexOf(const QString &name) const
{
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

const Value &Rows::at(size_t row, const QString &name) const
{
    const int i = indexOf(name);
    if (i < 0)
        throw DbError(QStringLiteral("Column %1 not found").arg(name));
    return rows.at(row).at(size_t(i));
}

} // namespace db
