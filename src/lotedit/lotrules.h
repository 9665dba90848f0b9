// The rules of the lot edit form apart from its widgets: what leaving the description does, which
// balance and expiry changes are audited and the text of each activity-log line, the situation
// list, and the deletion code with its question.
#pragma once
#include "core/siteconfig.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace lotedit {

inline const QString kExpiryMissingMessage = QStringLiteral("Favor informar a validade.");
// A required number of the lot emptied in its box, told as an emptied expiry is.
inline const QString kBalanceMissingMessage = QStringLiteral("Favor informar o Saldo Atual.");
inline const QString kDensityMissingMessage = QStringLiteral("Favor informar a Densidade.");
inline const QString kJustificationPendingMessage = QStringLiteral("Sua justificativa não foi salva ainda.");
inline const QString kDeletionDeniedMessage = QStringLiteral("Acesso negado.");
inline const QString kDateCheckErrorMessage = QStringLiteral("Erro na verificação da data atual.");
inline const QString kEmptyExpiryMask = QStringLiteral("  /  /  ");
// An expiry read on entry as this date (or unreadable, which is stored as this date) is not audited.
inline const QDate kExpirySentinel = QDate(2000, 1, 1);
inline const QStringList kDefaultSituations = {QStringLiteral("Estoque"), QStringLiteral("Vencido"),
                                               QStringLiteral("Aguardando")};
inline const QStringList kControlledItems = {QStringLiteral("Sim"), QStringLiteral("Não")};
inline constexpr int kEntryDescriptionWidth = 70;
inline constexpr int kEntryBalanceWidth = 30;
inline constexpr int kProductCodeWidth = 20;
inline constexpr int kProductNameWidth = 70;
inline constexpr int kSupplierNameWidth = 35;

// What leaving the description box of a row in edit or insert does.
enum class DescriptionAction {
    CancelAndClose,   // empty text
    ByCode,           // the first two characters are digits
    Nothing,          // a whole integer such as "5" or "-3"
    ByName,           // anything else
};
DescriptionAction ClassifyDescription(const QString &text);

// The code looked up: the text's first 20 characters.
QString ProductCode(const QString &text);
// The name looked up: the text normalised, cut to 70 characters.
QString ProductName(const QString &text);
QString CodeNotFoundMessage(const QString &code);

// Activity-log lines.
QString OpeningLine(const QString &description, const QString &lot);
QString BalanceLine(const QString &entryBalance, const QString &newBalance, const QString &description,
                    const QString &lot);
QString ExpiryLine(const QDate &entryExpiry, const QString &newExpiry, const QString &description, const QString &lot);
QString JustificationLine(const QString &justification);
// "Alterou o Lote de A para B (...)": a change of the lot's identity (label: Lote, Fornecedor,
// Código), which detaches it from its purchases, movements and certificate.
QString IdentityLine(const QString &label, const QString &before, const QString &after, const QString &description,
                     const QString &lot);

// A balance change is audited when the text changed, there was a balance on entry and the log is on.
bool BalanceChangeAudited(const QString &entryBalance, const QString &newBalance, bool logOn);

// The expiry box's text rebuilt as day/month/two-digit year (characters 1-2, 4-5 and 7-8, or
// 9-10 for a four-digit year).
QString RebuildExpiryText(const QString &text);
// The date a box's text holds, read from the rebuilt text; nothing when it is no date.
std::optional<QDate> ReadExpiry(const QString &text, int currentYear);
// EntryExpiry: the date on entry, or the sentinel when the text is no date.
QDate EntryExpiryFor(const QString &text, int currentYear);
// Whether leaving the box left the expiry empty (the rebuilt text starts with the empty mask).
bool ExpiryLeftEmpty(const QString &text);
// An expiry change is audited when the date changed, the date on entry was not the sentinel and
// the log is on.
bool ExpiryChangeAudited(const QDate &entryExpiry, const std::optional<QDate> &newExpiry, bool logOn);

// The situation list: the configured options up to the first empty one, or the built-in three
// when nothing is configured.
QStringList SituationItems(const core::SiteConfig &config);
// Whether the configuration names any situation option.
bool HasSituationOptions(const core::SiteConfig &config);

// "Tem certeza que deseja excluir "<DESCRIÇÃO>" (Lote: <lote>)? "
QString DeleteQuestion(const QString &description, const QString &lot);

enum class DeletionCheck { Granted, Denied, DateError };
// The deletion code is today's "ddmm" plus the built-in stock key (never the configured one),
// compared as text: the same number with a leading zero is refused.
QString DeletionCode(const QDate &today);
DeletionCheck CheckDeletionCode(const QString &typed, const QDate &today);

} // namespace lotedit
