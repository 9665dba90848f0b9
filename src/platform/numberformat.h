// Numbers and dates as the pharmacy's operators read them (pt-BR): "," for decimals, "." for
// thousands, rounding half away from zero.
#pragma once
#include <QDate>
#include <QString>

namespace platform {

// A picture format: "0" a digit always shown, "#" a digit shown when significant, "," anywhere in
// the integer part groups thousands, "." starts the decimals; text around the digits is kept
// ("R$ #,##0.00"). A ";" splits positive;negative;zero sections. Output separators are pt-BR:
// FormatNumber("#,###,##0.00000", 1234.5) is "1.234,50000". The value is rounded half away
// from zero on its shortest decimal form, so 2.675 with "0.00" gives "2,68".
QString FormatNumber(const QString &format, double value);

// The shortest general form of a number with up to 15 significant digits and "," as decimal
// separator ("2,5", "1000000", "0,001", "1,5E-6", "1E20"): how numbers are written into
// diagnostic lines.
QString GeneralNumber(double value);

// "dd/MM/yyyy" style date text; an invalid date gives "".
QString FormatDate(const QString &format, const QDate &date);

} // namespace platform
