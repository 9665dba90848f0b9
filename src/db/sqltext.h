// Pasting values into statement texts: quoted text, "." decimals and the date forms the statements use.
#pragma once
#include <QDate>
#include <QString>

namespace db {

// 'text' with every single quote inside doubled, so a name with an apostrophe works.
QString quoted(const QString &text);
// Only the doubling, for texts that a statement already wraps in quotes.
QString escapeQuotes(const QString &text);
// Month first: "MM/dd/yyyy" (fourDigitYear) or "MM/dd/yy".
QString monthFirstDate(const QDate &d, bool fourDigitYear);
// "yyyy-MM-dd".
QString isoDate(const QDate &d);

} // namespace db
