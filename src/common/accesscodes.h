// The two codes that guard stock changes from the main window: the fixed maintenance password and
// the day's manual-adjustment code built from the stock key.
#pragma once
#include <QDate>
#include <QString>
#include <stdexcept>

namespace platform {
class Operator;
}

namespace browser {

inline const QString kMaintenancePassword = QStringLiteral("580274");
inline const QString kWrongMaintenancePasswordMessage = QStringLiteral("Senha Incorreta");
inline const QString kAccessDeniedMessage = QStringLiteral("Acesso negado.");
inline const QString kBackupQuestion = QStringLiteral("Já fez um backup do banco de dados? ");
inline const QString kBackupAdvice =
    QStringLiteral("Então, primeiro faça o backup do banco de dados. Depois volte aqui e continue.");

// Tags of the maintenance password panel whose operations delete lots.
inline constexpr int kDeleteZeroBalanceTag = 5;
inline constexpr int kDeleteInactiveProductsTag = 6;

// A text that should hold an integer and does not.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString &text);
    const QString &text() const { return m_text; }

private:
    QString m_text;
};

// The stock key as an integer (blanks around it allowed, an optional sign, decimal digits, within
// 32 bits); anything else throws ConversionError.
qint64 StockKeyValue(const QString &stockKey);

// Today's "ddmm" read as a number plus the key, in decimal without leading zeros.
QString AdjustmentCode(const QDate &today, const QString &stockKey);

// The typed text compared with the day's code as text: a leading zero never matches.
bool AdjustmentCodeMatches(const QString &typed, const QDate &today, const QString &stockKey);

// Shows "Senha Incorreta" when the typed text is not exactly the maintenance password.
bool CheckMaintenancePassword(const QString &typed, platform::Operator &op);

// The deletions ask whether a backup was made first; a No gets the advice and stops them.
// Other operations go ahead without a question.
bool ConfirmBackupBefore(int tag, platform::Operator &op);

} // namespace browser
