#include "fieldinput.h"

#include "fieldtext.h"

#include "platform/cp1252.h"
#include "platform/twodigityear.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace data {

namespace {

QString notANumber(const QString &text, const QString &label)
{
    const QString message = QStringLiteral("'%1' não é um valor numérico válido").arg(text);
    return label.isEmpty() ? message : label + QStringLiteral(": ") + message;
}

QString tooLarge(const QString &text, const QString &label, const QString &limit)
{
    return (label.isEmpty() ? QString() : label + QStringLiteral(": "))
        + QStringLiteral("o valor '%1' não cabe no campo (%2).").arg(text, limit);
}

QString notADate(const QString &text, const QString &label)
{
    const QString message = QStringLiteral("'%1' não é uma data válida").arg(text);
    return label.isEmpty() ? message : label + QStringLiteral(": ") + message;
}

db::Value parseDecimal(const QString &typed, const ColumnInfo &info, const QString &label)
{
    // The column holds precision digits, scale of them after the point (and at most 18 in all).
    const int precision = info.precision > 0 ? std::min(info.precision, 18) : 18;
    const int scale = std::min(info.scale, precision);
    const TypedDecimal read = ParseTypedDecimal(typed, precision, scale);
    switch (read.status) {
    case TypedDecimal::Status::Ok:
        break;
    case TypedDecimal::Status::NotANumber:
        throw FieldInputError(notANumber(typed, label));
    case TypedDecimal::Status::TooLarge:
        throw FieldInputError(tooLarge(typed, label, QStringLiteral("até %1 dígitos antes da vírgula").arg(precision - scale)));
    }
    return db::Value::decimal(read.value);
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

TypedDecimal ParseTypedDecimal(const QString &text, int precision, int scale)
{
    static const QRegularExpression form(QStringLiteral("^\\s*([+-]?)([0-9]*)(?:,([0-9]*))?\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(3).isEmpty()))
        return {};
    precision = std::clamp(precision, 1, 18);
    scale = std::clamp(scale, 0, precision);
    QString whole = m.captured(2);
    QString fraction = m.captured(3);
    while (whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    const int wholeDigits = precision - scale;
    if (whole.size() > wholeDigits)
        return {TypedDecimal::Status::TooLarge, {}};
    const bool roundUp = fraction.size() > scale && fraction.at(scale).digitValue() >= 5;
    fraction = fraction.left(scale);
    int64_t mantissa = whole.isEmpty() ? 0 : whole.toLongLong();
    for (int i = 0; i < fraction.size(); ++i)
        mantissa = mantissa * 10 + fraction.at(i).digitValue();
    if (roundUp)
        ++mantissa;
    // Rounding up may carry into one digit more than the column holds (9,999999999 in 1 digit).
    int64_t limit = 1;
    for (int i = 0; i < wholeDigits + int(fraction.size()); ++i)
        limit *= 10;
    if (mantissa >= limit)
        return {TypedDecimal::Status::TooLarge, {}};
    if (m.captured(1) == QLatin1String("-"))
        mantissa = -mantissa;
    return {TypedDecimal::Status::Ok, db::Decimal{mantissa, int(fraction.size())}};
}

db::Value ParseFieldText(const ColumnInfo &info, const QString &text, int currentYear, const QString &label)
{
    using Type = ColumnInfo::Type;
    // A mask's blanks and separators alone ("  /  /  ") are an empty box.
    QString stripped = text;
    stripped.remove(QRegularExpression(QStringLiteral("[\\s/.:-]")));
    const bool blank = info.type == Type::Text ? text.isEmpty() : stripped.isEmpty();
    if (blank && info.type != Type::Text)
        return db::Value();
    switch (info.type) {
    case Type::Text:
        return db::Value::text(info.width > 0 ? text.left(info.width) : text);
    case Type::Integer: {
        static const QRegularExpression digits(QStringLiteral("^\\s*[+-]?[0-9]+\\s*$"));
        if (!digits.match(text).hasMatch())
            throw FieldInputError(notANumber(text, label));
        bool ok = false;
        const qlonglong v = text.trimmed().toLongLong(&ok);
        if (!ok || v < INT32_MIN || v > INT32_MAX)
            throw FieldInputError(tooLarge(text, label, QStringLiteral("de -2147483648 a 2147483647")));
        return db::Value::integer(v);
    }
    case Type::Decimal:
        return parseDecimal(text, info, label);
    case Type::Float: {
        QString t = text.trimmed();
        static const QRegularExpression form(QStringLiteral("^[+-]?([0-9]+,?[0-9]*|,[0-9]+)$"));
        if (!form.match(t).hasMatch())
            throw FieldInputError(notANumber(text, label));
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        bool ok = false;
        const double v = t.toDouble(&ok);
        if (!ok || !std::isfinite(v))
            throw FieldInputError(tooLarge(text, label, QStringLiteral("número grande demais")));
        return db::Value::real(v);
    }
    case Type::Date:
    case Type::Timestamp: {
        const QDate d = parseDate(text, currentYear);
        if (!d.isValid())
            throw FieldInputError(notADate(text, label));
        return info.type == Type::Date ? db::Value::date(d) : db::Value::timestamp(QDateTime(d, QTime(0, 0)));
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
