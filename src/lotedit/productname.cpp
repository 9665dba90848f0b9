#include "productname.h"

namespace lotedit {

namespace {
QChar asciiLower(QChar c)
{
    return (c >= u'A' && c <= u'Z') ? QChar(c.unicode() + 32) : c;
}
QChar asciiUpper(QChar c)
{
    return (c >= u'a' && c <= u'z') ? QChar(c.unicode() - 32) : c;
}
} // namespace

QString NormaliseProductName(const QString &text)
{
    QString name = text;
    for (QChar &c : name)
        c = asciiLower(c);
    if (!name.isEmpty())
        name[0] = asciiUpper(name[0]);
    // A name shorter than ten characters has no tenth letter to raise.
    if (name.size() >= 10 && name.left(8).compare(QLatin1String("vitamina"), Qt::CaseInsensitive) == 0)
        name[9] = asciiUpper(name[9]);
    return name;
}

} // namespace lotedit
