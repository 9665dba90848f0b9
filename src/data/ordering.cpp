#include "ordering.h"

#include <QRegularExpression>
#include <QStringList>

namespace data {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// Position just after the last "order by" of the outer statement (not inside a subquery, a quoted
// text or a quoted name), or -1.
int outerOrderClause(const QString &sql)
{
    int depth = 0;
    QChar quote;
    int found = -1;
    const int n = int(sql.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            --depth;
        } else if (depth == 0 && (i == 0 || !isWordChar(sql.at(i - 1)))
                   && sql.mid(i, 5).compare(QLatin1String("order"), Qt::CaseInsensitive) == 0
                   && (i + 5 < n && sql.at(i + 5).isSpace())) {
            int j = i + 5;
            while (j < n && sql.at(j).isSpace())
                ++j;
            if (sql.mid(j, 2).compare(QLatin1String("by"), Qt::CaseInsensitive) == 0
                && (j + 2 == n || !isWordChar(sql.at(j + 2)))) {
                found = j + 2;
                i = j + 1;
            }
        }
    }
    return found;
}

} // namespace

QString StatementOrderColumn(const QString &statement)
{
    const int start = outerOrderClause(statement);
    if (start < 0)
        return {};
    const QString first = statement.mid(start).section(QLatin1Char(','), 0, 0).trimmed();
    const QStringList words = first.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {};
    // A descending order or a position ("order by 1") is no order a search can walk.
    if (words.size() > 1 && words.at(1).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0)
        return {};
    QString column = words.first();
    column = column.mid(column.lastIndexOf(QLatin1Char('.')) + 1);
    column.remove(QLatin1Char('"'));
    bool numeric = false;
    column.toInt(&numeric);
    return numeric ? QString() : column;
}

} // namespace data
