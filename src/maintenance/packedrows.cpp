// The byte form of a value: one byte of kind, then its payload (texts and blobs after their length).
#include "packedrows.h"

#include "db/connection.h"

#include <algorithm>
#include <cstring>

namespace maintenance {

namespace {

using Kind = db::Value::Kind;

template <class T>
void put(std::string &out, T v)
{
    out.append(reinterpret_cast<const char *>(&v), sizeof v);
}

template <class T>
T get(const char *&p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
}

void putLength(std::string &out, size_t n)
{
    for (; n >= 0x80; n >>= 7)
        out.push_back(char(0x80 | (n & 0x7f)));
    out.push_back(char(n));
}

size_t getLength(const char *&p)
{
    size_t n = 0;
    for (int shift = 0;; shift += 7) {
        const auto b = static_cast<unsigned char>(*p++);
        n |= size_t(b & 0x7f) << shift;
        if (!(b & 0x80))
            return n;
    }
}

void putBytes(std::string &out, const char *data, size_t n)
{
    putLength(out, n);
    out.append(data, n);
}

// Dates and times as the engine gives them: a day number, and milliseconds of the day (-1: none).
void putTime(std::string &out, const QTime &t)
{
    put<int32_t>(out, t.isValid() ? t.msecsSinceStartOfDay() : -1);
}

QTime getTime(const char *&p)
{
    const int32_t ms = get<int32_t>(p);
    return ms < 0 ? QTime() : QTime::fromMSecsSinceStartOfDay(ms);
}

void pack(std::string &out, const db::Value &v)
{
    out.push_back(char(v.kind()));
    switch (v.kind()) {
    case Kind::Null: break;
    case Kind::Integer: put<int64_t>(out, v.toInt()); break;
    case Kind::Decimal: {
        const db::Decimal d = v.toDecimal();
        put<int64_t>(out, d.mantissa);
        put<int8_t>(out, int8_t(d.scale));
        break;
    }
    case Kind::Double: put<double>(out, v.toDouble()); break;
    case Kind::Text: {
        const QByteArray utf8 = v.toString().toUtf8();
        putBytes(out, utf8.constData(), size_t(utf8.size()));
        break;
    }
    case Kind::Date: put<int64_t>(out, v.toDate().toJulianDay()); break;
    case Kind::Time: putTime(out, v.toTime()); break;
    case Kind::Timestamp: {
        const QDateTime t = v.toDateTime();
        put<int64_t>(out, t.date().toJulianDay());
        putTime(out, t.time());
        break;
    }
    case Kind::Blob: {
        const QByteArray b = v.toBytes();
        putBytes(out, b.constData(), size_t(b.size()));
        break;
    }
    }
}

db::Value unpack(const char *&p)
{
    switch (Kind(*p++)) {
    case Kind::Null: return db::Value();
    case Kind::Integer: return db::Value::integer(get<int64_t>(p));
    case Kind::Decimal: {
        const int64_t m = get<int64_t>(p);
        return db::Value::decimal(db::Decimal{m, get<int8_t>(p)});
    }
    case Kind::Double: return db::Value::real(get<double>(p));
    case Kind::Text: {
        const size_t n = getLength(p);
        p += n;
        return db::Value::text(QString::fromUtf8(p - n, qsizetype(n)));
    }
    case Kind::Date: return db::Value::date(QDate::fromJulianDay(get<int64_t>(p)));
    case Kind::Time: return db::Value::time(getTime(p));
    case Kind::Timestamp: {
        const QDate d = QDate::fromJulianDay(get<int64_t>(p));
        return db::Value::timestamp(QDateTime(d, getTime(p)));
    }
    case Kind::Blob: {
        const size_t n = getLength(p);
        p += n;
        return db::Value::blob(QByteArray(p - n, qsizetype(n)));
    }
    }
    return db::Value();
}

void skip(const char *&p)
{
    switch (Kind(*p++)) {
    case Kind::Null: break;
    case Kind::Integer:
    case Kind::Double: p += 8; break;
    case Kind::Decimal: p += 9; break;
    case Kind::Date: p += 8; break;
    case Kind::Time: p += 4; break;
    case Kind::Timestamp: p += 12; break;
    case Kind::Text:
    case Kind::Blob: {
        const size_t n = getLength(p);
        p += n;
        break;
    }
    }
}

} // namespace

const size_t kBlockBytes = 256 * 1024;

const char *PackedRows::store(const std::string &bytes)
{
    if (bytes.size() > m_blockFree) {
        const size_t size = std::max(kBlockBytes, bytes.size());
        m_blocks.push_back(std::make_unique<char[]>(size));
        m_next = m_blocks.back().get();
        m_blockFree = size;
    }
    char *at = m_next;
    std::memcpy(at, bytes.data(), bytes.size());
    m_next += bytes.size();
    m_blockFree -= bytes.size();
    m_used += bytes.size();
    return at;
}

int PackedRows::append(const db::Value *values)
{
    m_scratch.clear();
    for (int c = 0; c < m_columns; ++c)
        pack(m_scratch, values[c]);
    m_start.push_back(store(m_scratch));
    return size() - 1;
}

int PackedRows::append(const db::Cursor &cursor, const std::vector<int> &from)
{
    m_scratch.clear();
    for (int c = 0; c < m_columns; ++c)
        pack(m_scratch, from[size_t(c)] < 0 ? db::Value() : cursor.value(from[size_t(c)]));
    m_start.push_back(store(m_scratch));
    return size() - 1;
}

void PackedRows::replace(int row, const db::Value *values)
{
    m_dropped += size_t(skipTo(row, m_columns) - m_start[size_t(row)]);
    m_scratch.clear();
    for (int c = 0; c < m_columns; ++c)
        pack(m_scratch, values[c]);
    m_start[size_t(row)] = store(m_scratch);
    if (m_dropped > m_used / 2)
        compact();
}

const char *PackedRows::skipTo(int row, int column) const
{
    const char *p = m_start[size_t(row)];
    for (int c = 0; c < column; ++c)
        skip(p);
    return p;
}

db::Value PackedRows::at(int row, int column) const
{
    const char *p = skipTo(row, column);
    return unpack(p);
}

void PackedRows::read(int row, db::Value *into) const
{
    const char *p = m_start[size_t(row)];
    for (int c = 0; c < m_columns; ++c)
        into[c] = unpack(p);
}

void PackedRows::compact()
{
    std::vector<std::unique_ptr<char[]>> old;
    old.swap(m_blocks);
    m_blockFree = 0;
    m_next = nullptr;
    m_used = 0;
    m_dropped = 0;
    for (const char *&start : m_start) {
        const char *end = start;
        for (int c = 0; c < m_columns; ++c)
            skip(end);
        m_scratch.assign(start, size_t(end - start));
        start = store(m_scratch);
    }
}

} // namespace maintenance
