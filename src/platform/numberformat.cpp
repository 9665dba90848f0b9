#include "numberformat.h"

#include <QHash>
#include <QMutex>
#include <QStringList>

#include <charconv>
#include <vector>
#include <cmath>
#include <cstdio>

namespace platform {

namespace {

struct Picture {
    QString prefix, suffix;
    int minInt = 0;
    int minDec = 0;
    int maxDec = 0;
    bool thousands = false;
};

bool isDigitPlace(QChar c) { return c == QLatin1Char('0') || c == QLatin1Char('#'); }

Picture parsePicture(const QString &section)
{
    Picture p;
    int first = -1, last = -1;
    for (int i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (isDigitPlace(c) || ((c == QLatin1Char(',') || c == QLatin1Char('.')) && first >= 0)) {
            if (first < 0)
                first = i;
            if (isDigitPlace(c))
                last = i;
        } else if (first < 0 && (c == QLatin1Char('.') || c == QLatin1Char(','))
                   && i + 1 < section.size() && isDigitPlace(section[i + 1])) {
            first = i;
        } else if (first >= 0 && last >= 0) {
            break;
        }
    }
    if (first < 0) {
        p.prefix = section;
        return p;
    }
    p.prefix = section.left(first);
    p.suffix = section.mid(last + 1);
    const QString core = section.mid(first, last - first + 1);
    const int point = int(core.indexOf(QLatin1Char('.')));
    const QString intPart = point >= 0 ? core.left(point) : core;
    const QString decPart = point >= 0 ? core.mid(point + 1) : QString();
    p.thousands = intPart.contains(QLatin1Char(','));
    p.minInt = int(intPart.count(QLatin1Char('0')));
    p.minDec = int(decPart.count(QLatin1Char('0')));
    p.maxDec = int(decPart.count(QLatin1Char('0')) + decPart.count(QLatin1Char('#')));
    return p;
}

// |value| as integer and fraction digit strings, rounded half away from zero to maxDec places
// on the shortest decimal text of the double.
void roundedDigits(double value, int maxDec, QString &intDigits, QString &decDigits)
{
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
    const QString text = QString::fromLatin1(buf, int(res.ptr - buf));
    const int point = int(text.indexOf(QLatin1Char('.')));
    intDigits = point >= 0 ? text.left(point) : text;
    decDigits = point >= 0 ? text.mid(point + 1) : QString();
    if (decDigits.size() <= maxDec)
        return;
    const bool up = decDigits[maxDec] >= QLatin1Char('5');
    decDigits.truncate(maxDec);
    if (!up)
        return;
    QString all = intDigits + decDigits;
    int i = int(all.size()) - 1;
    for (; i >= 0; --i) {
        if (all[i] == QLatin1Char('9')) {
            all[i] = QLatin1Char('0');
        } else {
            all[i] = QChar(all[i].unicode() + 1);
            break;
        }
    }
    if (i < 0)
        all.prepend(QLatin1Char('1'));
    intDigits = all.left(all.size() - maxDec);
    decDigits = all.right(maxDec);
}

QString applyPicture(const Picture &p, double value, bool withSign)
{
    QString intDigits, decDigits;
    roundedDigits(value, p.maxDec, intDigits, decDigits);
    while (decDigits.size() > p.minDec && decDigits.endsWith(QLatin1Char('0')))
        decDigits.chop(1);
    while (decDigits.size() < p.minDec)
        decDigits += QLatin1Char('0');
    while (intDigits.size() > 0 && intDigits[0] == QLatin1Char('0'))
        intDigits.remove(0, 1);
    while (intDigits.size() < p.minInt)
        intDigits.prepend(QLatin1Char('0'));
    if (p.thousands && intDigits.size() > 3) {
        QString grouped;
        const int n = int(intDigits.size());
        for (int i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0)
                grouped += QLatin1Char('.');
            grouped += intDigits[i];
        }
        intDigits = grouped;
    }
    const auto nonZero = [](const QString &digits) {
        for (QChar c : digits) {
            if (c >= QLatin1Char('1') && c <= QLatin1Char('9'))
                return true;
        }
        return false;
    };
    const bool zero = !nonZero(intDigits) && !nonZero(decDigits);
    QString out = intDigits;
    if (!decDigits.isEmpty())
        out += QLatin1Char(',') + decDigits;
    if (withSign && value < 0 && !zero)
        out.prepend(QLatin1Char('-'));
    return p.prefix + out + p.suffix;
}

} // namespace

QString FormatNumber(const QString &format, double value)
{
    if (format.isEmpty() || !std::isfinite(value))
        return GeneralNumber(value);
    // A report formats every cell of a column with one picture: parse each picture once.
    static QMutex mutex;
    static QHash<QString, std::vector<Picture>> parsed;
    std::vector<Picture> pictures;
    {
        QMutexLocker lock(&mutex);
        auto it = parsed.constFind(format);
        if (it == parsed.constEnd()) {
            std::vector<Picture> list;
            for (const QString &section : format.split(QLatin1Char(';')))
                list.push_back(parsePicture(section));
            if (parsed.size() > 256)
                parsed.clear();
            it = parsed.insert(format, list);
        }
        pictures = *it;
    }
    if (pictures.size() >= 3 && value == 0)
        return applyPicture(pictures[2], 0, false);
    if (pictures.size() >= 2 && value < 0)
        return applyPicture(pictures[1], -value, false);
    return applyPicture(pictures[0], value, true);
}

QString GeneralNumber(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    QString text = QString::fromLatin1(buf);
    const int e = int(text.indexOf(QLatin1Char('e')));
    if (e >= 0) {
        QString mantissa = text.left(e);
        QString exponent = text.mid(e + 1);
        bool negative = exponent.startsWith(QLatin1Char('-'));
        exponent.remove(0, 1);   // the sign
        while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
            exponent.remove(0, 1);
        text = mantissa + QStringLiteral("E") + (negative ? QStringLiteral("-") : QString()) + exponent;
    }
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

QString FormatDate(const QString &format, const QDate &date)
{
    return date.isValid() ? date.toString(format) : QString();
}

} // namespace platform
