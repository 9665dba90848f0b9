#include "fieldinput.h"

#include "fieldtext.h"

#include "platform/cp1252.h"
#include "platform/twodigityear.h"

#include <QRegularExpression>

namespace data {

namespace {

QString notANumber(const QString &text)
{
    return QStringLiteral("'%1' não é um valor numérico válido").arg(text);
}

QString notADate(const QString &text)
{
    return QStringLiteral("'%1' não é uma data válida").arg(text);
}

db::Value parseDecimal(const QString &typed, int scale)
{
    QString t = typed.trimmed();
    // Only the comma is a decimal point here: "1.5" is refused, not read as fifteen.
    if (t.contains(QLatin1Char('.')) || t.count(QLatin1Char(',')) > 1)
        throw FieldInputError(notANumber(typed));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    db::Decimal d = db::Decimal::fromString(t, &ok);
    if (!ok) {
        // Exponent forms ("1,5E3") go through a double, then to the column's scale.
        static const QRegularExpression exp(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)[eE][+-]?\\d+$"));
        if (!exp.match(t).hasMatch())
            throw FieldInputError(notANumber(typed));
        d = db::Decimal::fromDouble(t.toDouble(), scale);
    }
    if (d.scale > scale) {
        // More decimals than the column keeps: rounded half away from zero, as the server stores it.
        int64_t m = d.mantissa;
        for (int i = d.scale; i > scale + 1; --i)
            m /= 10;
        const int64_t last = m % 10;
        m /= 10;
        if (last >= 5)
            ++m;
        else if (last <= -5)
            --m;
        d = db::Decimal{m, scale};
    }
    return db::Value::decimal(d);
}

QDate parseDate(const QString &typed, int currentYear)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2})\\s*[/.-]\\s*(\\d{1,2})\\s*[/.-]\\s*(\\d{2}|\\d{4})\\s*$"));
    const QRegularExpressionMatch m = re.match(typed);
    if (!m.hasMatch())
        return QDate();
    const QString yearText = m.captured(3);
    int year = yearText.toInt();
    if (yearText.size() <= 2)
        year = platform::ExpandTwoDigitYear(year, currentYear);
    return QDate(year, m.captured(2).toInt(), m.captured(1).toInt());
}

} // namespace

db::Value ParseFieldText(const ColumnSpec &spec, const QString &text, int currentYear)
{
    using Type = ColumnSpec::Type;
    // A mask's blanks and separators alone ("  /  /  ") are an empty box.
    QString stripped = text;
    stripped.remove(QRegularExpression(QStringLiteral("[\\s/.:-]")));
    const bool blank = spec.type == Type::Text ? text.isEmpty() : stripped.isEmpty();
    if (blank && spec.type != Type::Text)
        return db::Value();
    switch (spec.type) {
    case Type::Text:
        return db::Value::text(spec.width > 0 ? text.left(spec.width) : text);
    case Type::Integer: {
        bool ok = false;
        const qlonglong v = text.trimmed().toLongLong(&ok);
        if (!ok || v < INT32_MIN || v > INT32_MAX)
            throw FieldInputError(notANumber(text));
        return db::Value::integer(v);
    }
    case Type::Decimal:
        return parseDecimal(text, spec.scale);
    case Type::Float: {
        QString t = text.trimmed();
        if (t.contains(QLatin1Char('.')))
            throw FieldInputError(notANumber(text));
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        bool ok = false;
        const double v = t.toDouble(&ok);
        if (!ok)
            throw FieldInputError(notANumber(text));
        return db::Value::real(v);
    }
    case Type::Date:
    case Type::Timestamp: {
        const QDate d = parseDate(text, currentYear);
        if (!d.isValid())
            throw FieldInputError(notADate(text));
        return spec.type == Type::Date ? db::Value::date(d) : db::Value::timestamp(QDateTime(d, QTime(0, 0)));
    }
    case Type::Blob:
        return db::Value::blob(platform::toCp1252(text));
    }
    return db::Value();
}

QString FieldEditText(const db::Value &value, bool twoDigitYear)
{
    switch (value.kind()) {
    case db::Value::Kind::Date:
    case db::Value::Kind::Timestamp:
        if (twoDigitYear)
            return value.toDate().toString(QStringLiteral("dd/MM/yy"));
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case db::Value::Kind::Blob:
        return platform::fromCp1252(value.toBytes());
    default:
        return FieldText(value);
    }
}

QString EmptyMaskText(const QString &mask)
{
    const QString body = mask.section(QLatin1Char(';'), 0, 0);
    QString out;
    for (int i = 0; i < body.size(); ++i) {
        const QChar c = body[i];
        if (c == u'!' || c == u'>' || c == u'<')
            continue;
        if (c == u'\\' && i + 1 < body.size()) {
            out += body[++i];
            continue;
        }
        out += QStringLiteral("09#LlAaCc").contains(c) ? QChar(u' ') : c;
    }
    return out;
}

} // namespace data
