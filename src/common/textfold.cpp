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

} // namespace common
