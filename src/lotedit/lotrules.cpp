#include "lotrules.h"

#include "common/textfold.h"

#include "common/accesscodes.h"
#include "platform/cp1252.h"
#include "platform/twodigityear.h"

namespace lotedit {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// A whole integer as the desktop reads one: blanks in front, a sign, decimal digits, 32 bits.
bool isInteger(const QString &text)
{
    int i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    if (i >= text.size())
        return false;
    for (int j = i; j < text.size(); ++j)
        if (!isDigit(text[j]))
            return false;
    bool ok = false;
    text.trimmed().toInt(&ok);
    return ok;
}

QString context(const QString &description, const QString &lot)
{
    return QStringLiteral(" (") + description + QStringLiteral(", lote: ") + lot + QStringLiteral(")");
}

} // namespace

DescriptionAction ClassifyDescription(const QString &text)
{
    if (text.isEmpty())
        return DescriptionAction::CancelAndClose;
    if (text.size() >= 2 && isDigit(text[0]) && isDigit(text[1]))
        return DescriptionAction::ByCode;
    if (isInteger(text))
        return DescriptionAction::Nothing;
    return DescriptionAction::ByName;
}

QString ProductCode(const QString &text)
{
    return text.left(kProductCodeWidth);
}

QString ProductName(const QString &text)
{
    return common::NormaliseProductName(text).left(kProductNameWidth);
}

QString CodeNotFoundMessage(const QString &code)
{
    return QStringLiteral("Código ") + code + QStringLiteral(" não encontrado no Cad. de Produtos.");
}

QString OpeningLine(const QString &description, const QString &lot)
{
    return QStringLiteral("Abriu a edição do registro: ") + description + QStringLiteral(" (lote: ") + lot
           + QStringLiteral(")");
}

QString BalanceLine(const QString &entryBalance, const QString &newBalance, const QString &description,
                    const QString &lot)
{
    return QStringLiteral("Alterou o Saldo Atual de ") + entryBalance + QStringLiteral(" para ") + newBalance
           + context(description, lot);
}

QString ExpiryLine(const QDate &entryExpiry, const QString &newExpiry, const QString &description, const QString &lot)
{
    return QStringLiteral("Alterou a Validade de ") + entryExpiry.toString(QStringLiteral("dd/MM/yy"))
           + QStringLiteral(" para ") + newExpiry + context(description, lot);
}

QString IdentityLine(const QString &label, const QString &before, const QString &after, const QString &description,
                     const QString &lot)
{
    return QStringLiteral("Alterou o ") + label + QStringLiteral(" de ") + before + QStringLiteral(" para ") + after
           + context(description, lot);
}

QString JustificationLine(const QString &justification)
{
    return QStringLiteral("Justificativa: ") + justification;
}

bool BalanceChangeAudited(const QString &entryBalance, const QString &newBalance, bool logOn)
{
    return newBalance != entryBalance && !entryBalance.isEmpty() && logOn;
}

QString RebuildExpiryText(const QString &text)
{
    const QString year = text.size() > 8 ? text.mid(8, 2) : text.mid(6, 2);
    return text.mid(0, 2) + QLatin1Char('/') + text.mid(3, 2) + QLatin1Char('/') + year;
}

std::optional<QDate> ReadExpiry(const QString &text, int currentYear)
{
    const QString rebuilt = RebuildExpiryText(text);
    if (rebuilt.size() != 8)
        return std::nullopt;
    for (int i : {0, 1, 3, 4, 6, 7})
        if (!isDigit(rebuilt[i]))
            return std::nullopt;
    const QDate d = platform::DateFromTwoDigitYear(rebuilt.mid(0, 2).toInt(), rebuilt.mid(3, 2).toInt(),
                                                   rebuilt.mid(6, 2).toInt(), currentYear);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

QDate EntryExpiryFor(const QString &text, int currentYear)
{
    return ReadExpiry(text, currentYear).value_or(kExpirySentinel);
}

bool ExpiryLeftEmpty(const QString &text)
{
    return RebuildExpiryText(text).left(8) == kEmptyExpiryMask;
}

bool ExpiryChangeAudited(const QDate &entryExpiry, const std::optional<QDate> &newExpiry, bool logOn)
{
    return newExpiry && *newExpiry != entryExpiry && entryExpiry != kExpirySentinel && logOn;
}

bool HasSituationOptions(const core::SiteConfig &config)
{
    for (const QString &o : config.SituationOptions)
        if (!o.isEmpty())
            return true;
    return false;
}

QStringList SituationItems(const core::SiteConfig &config)
{
    QStringList items;
    for (const QString &o : config.SituationOptions) {
        if (o.isEmpty())
            break;
        items << o;
    }
    // A list that starts with an empty option would leave nothing to pick: the built-in three stay.
    return items.isEmpty() ? kDefaultSituations : items;
}

QString DeleteQuestion(const QString &description, const QString &lot)
{
    return QStringLiteral("Tem certeza que deseja excluir \"") + platform::asciiUpper(description)
           + QStringLiteral("\" (Lote: ") + lot + QStringLiteral(")? ");
}

QString DeletionCode(const QDate &today)
{
    return browser::AdjustmentCode(today, core::kDefaultStockKey);
}

DeletionCheck CheckDeletionCode(const QString &typed, const QDate &today)
{
    if (!today.isValid())
        return DeletionCheck::DateError;
    return typed == DeletionCode(today) ? DeletionCheck::Granted : DeletionCheck::Denied;
}

} // namespace lotedit
