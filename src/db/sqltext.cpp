#include "sqltext.h"

namespace db {

QString escapeQuotes(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + escapeQuotes(text) + QLatin1Char('\'');
}

QString monthFirstDate(const QDate &d, bool fourDigitYear)
{
    return d.toString(fourDigitYear ? QStringLiteral("MM/dd/yyyy") : QStringLiteral("MM/dd/yy"));
}

QString isoDate(const QDate &d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace db
