// Scripts of statements: split at ";" outside quotes, comments dropped, each statement committed.
#include "connection.h"

namespace db {

QStringList splitScript(const QString &text)
{
    QStringList out;
    QString current;
    bool inQuote = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!inQuote && line.trimmed().startsWith(QLatin1String("--")))
            continue;
        for (int i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            if (c == QLatin1Char('\'')) {
                inQuote = !inQuote;
            } else if (!inQuote && c == QLatin1Char('-') && i + 1 < line.size() && line[i + 1] == QLatin1Char('-')) {
                break;
            } else if (!inQuote && c == QLatin1Char(';')) {
                if (!current.trimmed().isEmpty())
                    out << current.trimmed();
                current.clear();
                continue;
            }
            current += c;
        }
        current += QLatin1Char('\n');
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}

void Connection::runScript(const QString &scriptText)
{
    for (const QString &stmt : splitScript(scriptText))
        execute(stmt);
}

} // namespace db
