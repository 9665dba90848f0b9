// Display texts of field values, shared by the grids and the audit lines that quote a box.
#include "fieldtext.h"

#include <QRegularExpression>

namespace data {

namespace {

// Exponents as the desktop writes them: "1,5E20", "1E-7".
QString realText(double v)
{
    QString t = QString::number(v, 'g', 15);
    const int e = int(t.indexOf(QLatin1Char('e')));
    if (e >= 0) {
        QString mantissa = t.left(e);
        QString exponent = t.mid(e + 1);
        const bool negative = exponent.startsWith(QLatin1Char('-'));
        exponent.remove(QRegularExpression(QStringLiteral("^[+-]0*")));
        t = mantissa + QLatin1Char('E') + (negative ? QStringLiteral("-") : QString()) + exponent;
    }
    t.replace(QLatin1Char('.'), QLatin1Char(','));
    return t;
}

} // namespace

QString FieldText(const db::Value &value)
{
    switch (value.kind()) {
    case db::Value::Kind::Null:
        return QString();
    case db::Value::Kind::Decimal:
        return value.toDecimal().toString().replace(QLatin1Char('.'), QLatin1Char(','));
    case db::Value::Kind::Double:
        return realText(value.toDouble());
    case db::Value::Kind::Date:
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case db::Value::Kind::Timestamp: {
        const QDateTime t = value.toDateTime();
        if (t.time() == QTime(0, 0))
            return t.date().toString(QStringLiteral("dd/MM/yyyy"));
        return t.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    }
    default:
        return value.toString();
    }
}

} // namespace data
