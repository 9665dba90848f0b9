// One column value as read from or written to the database.
#pragma once
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <variant>

namespace db {

// An exact decimal: mantissa * 10^-scale (DECIMAL(18,8) is read without going through double).
struct Decimal {
    int64_t mantissa = 0;
    int scale = 0;
    double toDouble() const;
    QString toString() const;   // "." as decimal point, trailing zeros dropped: "12.5", "-0.25", "3"
    static Decimal fromString(const QString &text, bool *ok = nullptr); // "12.5", "-3", "1,5" refused
    static Decimal fromDouble(double v, int scale);
    bool operator==(const Decimal &o) const; // compares the numbers, not the representation
};

class Value {
public:
    enum class Kind { Null, Integer, Decimal, Double, Text, Date, Time, Timestamp, Blob };

    Value() = default;
    static Value integer(int64_t v);
    static Value decimal(Decimal v);
    static Value real(double v);
    static Value text(const QString &v);
    static Value date(const QDate &v);
    static Value time(const QTime &v);
    static Value timestamp(const QDateTime &v);
    static Value blob(const QByteArray &v);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }

    // Conversions; a null gives the empty or zero value of the asked kind.
    QString toString() const;     // numbers as Decimal::toString, dates dd/MM/yyyy, timestamps dd/MM/yyyy hh:mm:ss
    int64_t toInt() const;        // decimals and doubles truncated; text parsed, 0 when not a number
    double toDouble() const;
    Decimal toDecimal() const;
    QDate toDate() const;
    QDateTime toDateTime() const;
    QTime toTime() const;
    QByteArray toBytes() const;   // blob content, or text in Windows-1252

    bool operator==(const Value &o) const;
    bool operator!=(const Value &o) const { return !(*this == o); }

private:
    Kind m_kind = Kind::Null;
    std::variant<std::monostate, int64_t, Decimal, double, QString, QDate, QTime, QDateTime, QByteArray> m_v;
};

} // namespace db
