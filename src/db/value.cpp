#include "value.h"

#include "platform/cp1252.h"

#include <cmath>

namespace db {

namespace {
int64_t pow10(int n)
{
    int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}
} // namespace

double Decimal::toDouble() const
{
    return double(mantissa) / double(pow10(scale));
}

QString Decimal::toString() const
{
    if (scale <= 0)
        return QString::number(mantissa * pow10(-scale));
    const bool negative = mantissa < 0;
    const uint64_t magnitude = negative ? uint64_t(0) - uint64_t(mantissa) : uint64_t(mantissa);
    const uint64_t p = uint64_t(pow10(scale));
    QString frac = QString::number(magnitude % p).rightJustified(scale, QLatin1Char('0'));
    while (frac.endsWith(QLatin1Char('0')))
        frac.chop(1);
    QString out = QString::number(magnitude / p);
    if (!frac.isEmpty())
        out += QLatin1Char('.') + frac;
    if (negative)
        out.prepend(QLatin1Char('-'));
    return out;
}

Decimal Decimal::fromString(const QString &text, bool *ok)
{
    Decimal d;
    QString t = text.trimmed();
    bool good = !t.isEmpty();
    bool negative = false;
    if (good && (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+')))) {
        negative = t.startsWith(QLatin1Char('-'));
        t.remove(0, 1);
    }
    const int dot = t.indexOf(QLatin1Char('.'));
    QString whole = dot < 0 ? t : t.left(dot);
    QString frac = dot < 0 ? QString() : t.mid(dot + 1);
    if (whole.isEmpty() && frac.isEmpty())
        good = false;
    for (QChar c : whole + frac)
        if (!c.isDigit() || c.unicode() > '9')
            good = false;
    if (whole.size() + frac.size() > 18)
        good = false;
    if (good) {
        d.scale = int(frac.size());
        d.mantissa = (whole + frac).isEmpty() ? 0 : (whole + frac).toLongLong();
        if (negative)
            d.mantissa = -d.mantissa;
    }
    if (ok)
        *ok = good;
    return good ? d : Decimal{};
}

Decimal Decimal::fromDouble(double v, int scale)
{
    return Decimal{int64_t(std::llround(v * double(pow10(scale)))), scale};
}

bool Decimal::operator==(const Decimal &o) const
{
    // Widened: a large integer brought to another's eight decimals does not fit 64 bits.
    const int s = std::max(scale, o.scale);
    return __int128(mantissa) * pow10(s - scale) == __int128(o.mantissa) * pow10(s - o.scale);
}

Value Value::integer(int64_t v) { Value x; x.m_kind = Kind::Integer; x.m_v = v; return x; }
Value Value::decimal(Decimal v) { Value x; x.m_kind = Kind::Decimal; x.m_v = v; return x; }
Value Value::real(double v) { Value x; x.m_kind = Kind::Double; x.m_v = v; return x; }
Value Value::text(const QString &v) { Value x; x.m_kind = Kind::Text; x.m_v = v; return x; }
Value Value::date(const QDate &v)
{
    Value x;
    if (v.isValid()) { x.m_kind = Kind::Date; x.m_v = v; }
    return x;
}
Value Value::time(const QTime &v)
{
    Value x;
    if (v.isValid()) { x.m_kind = Kind::Time; x.m_v = v; }
    return x;
}
Value Value::timestamp(const QDateTime &v)
{
    Value x;
    if (v.isValid()) { x.m_kind = Kind::Timestamp; x.m_v = v; }
    return x;
}
Value Value::blob(const QByteArray &v) { Value x; x.m_kind = Kind::Blob; x.m_v = v; return x; }

QString Value::toString() const
{
    switch (m_kind) {
    case Kind::Null: return QString();
    case Kind::Integer: return QString::number(std::get<int64_t>(m_v));
    case Kind::Decimal: return std::get<Decimal>(m_v).toString();
    case Kind::Double: return QString::number(std::get<double>(m_v), 'g', 15);
    case Kind::Text: return std::get<QString>(m_v);
    case Kind::Date: return std::get<QDate>(m_v).toString(QStringLiteral("dd/MM/yyyy"));
    case Kind::Time: return std::get<QTime>(m_v).toString(QStringLiteral("hh:mm:ss"));
    case Kind::Timestamp: return std::get<QDateTime>(m_v).toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    case Kind::Blob: return platform::fromCp1252(std::get<QByteArray>(m_v));
    }
    return QString();
}

int64_t Value::toInt() const
{
    switch (m_kind) {
    case Kind::Integer: return std::get<int64_t>(m_v);
    case Kind::Decimal: { const auto &d = std::get<Decimal>(m_v); return d.mantissa / pow10(std::max(d.scale, 0)); }
    case Kind::Double: return int64_t(std::get<double>(m_v));
    case Kind::Text: return std::get<QString>(m_v).trimmed().toLongLong();
    default: return 0;
    }
}

double Value::toDouble() const
{
    switch (m_kind) {
    case Kind::Integer: return double(std::get<int64_t>(m_v));
    case Kind::Decimal: return std::get<Decimal>(m_v).toDouble();
    case Kind::Double: return std::get<double>(m_v);
    case Kind::Text: return std::get<QString>(m_v).trimmed().toDouble();
    default: return 0.0;
    }
}

Decimal Value::toDecimal() const
{
    switch (m_kind) {
    case Kind::Integer: return Decimal{std::get<int64_t>(m_v), 0};
    case Kind::Decimal: return std::get<Decimal>(m_v);
    case Kind::Double: return Decimal::fromDouble(std::get<double>(m_v), 8);
    case Kind::Text: return Decimal::fromString(std::get<QString>(m_v));
    default: return Decimal{};
    }
}

QDate Value::toDate() const
{
    if (m_kind == Kind::Date) return std::get<QDate>(m_v);
    if (m_kind == Kind::Timestamp) return std::get<QDateTime>(m_v).date();
    return QDate();
}

QDateTime Value::toDateTime() const
{
    if (m_kind == Kind::Timestamp) return std::get<QDateTime>(m_v);
    if (m_kind == Kind::Date) return QDateTime(std::get<QDate>(m_v), QTime(0, 0));
    return QDateTime();
}

QTime Value::toTime() const
{
    if (m_kind == Kind::Time) return std::get<QTime>(m_v);
    if (m_kind == Kind::Timestamp) return std::get<QDateTime>(m_v).time();
    return QTime();
}

QByteArray Value::toBytes() const
{
    if (m_kind == Kind::Blob) return std::get<QByteArray>(m_v);
    return platform::toCp1252(toString());
}

bool Value::operator==(const Value &o) const
{
    if (m_kind != o.m_kind) {
        const bool num = (m_kind == Kind::Integer || m_kind == Kind::Decimal)
                      && (o.m_kind == Kind::Integer || o.m_kind == Kind::Decimal);
        return num && toDecimal() == o.toDecimal();
    }
    return m_v == o.m_v;
}

} // namespace db
