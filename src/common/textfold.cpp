#include "textfold.h"

namespace common {

QString FoldText(const QString &text)
{
    const QString decomposed = text.simplified().normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            out.append(c);
    }
    return out.toUpper();
}

bool FoldedContains(const QString &text, const QString &part)
{
    return FoldText(text).contains(FoldText(part));
}

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

QString FoldAccents(const QString &text)
{
    static const struct { const char16_t *from; char16_t to; } groups[] = {
        {u"ÀÁÂÃàáâã", u'a'}, {u"Çç", u'c'}, {u"ÉÊéê", u'e'}, {u"Íí", u'i'},
        {u"Ññ", u'n'}, {u"ÓÔÕóôõ", u'o'}, {u"ÚÛÜúûü", u'u'},
    };
    QString out = text;
    for (QChar &c : out) {
        for (const auto &g : groups) {
            if (QStringView(g.from).contains(c)) {
                c = QChar(g.to);
                break;
            }
        }
    }
    return out;
}

QString FoldProductName(const QString &text)
{
    QString out = FoldAccents(NormaliseProductName(text));
    out.replace(QLatin1Char('\''), QLatin1Char(' '));
    return out;
}

} // namespace common
