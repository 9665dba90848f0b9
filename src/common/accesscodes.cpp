// The maintenance password and the day's manual-adjustment code.
#include "accesscodes.h"

#include "platform/operator.h"

#include <limits>

namespace browser {

namespace {
std::string conversionMessage(const QString &text)
{
    return (QStringLiteral("'") + text + QStringLiteral("' não é um valor inteiro válido")).toStdString();
}
} // namespace

ConversionError::ConversionError(const QString &text) : std::runtime_error(conversionMessage(text)), m_text(text) {}

qint64 StockKeyValue(const QString &stockKey)
{
    QString digits = stockKey;
    while (digits.startsWith(QLatin1Char(' ')))
        digits.remove(0, 1);
    while (digits.endsWith(QLatin1Char(' ')))
        digits.chop(1);
    int i = 0;
    if (!digits.isEmpty() && (digits.at(0) == QLatin1Char('-') || digits.at(0) == QLatin1Char('+')))
        i = 1;
    if (i == digits.size())
        throw ConversionError(stockKey);
    for (int j = i; j < digits.size(); ++j)
        if (digits.at(j) < QLatin1Char('0') || digits.at(j) > QLatin1Char('9'))
            throw ConversionError(stockKey);
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        throw ConversionError(stockKey);
    return value;
}

QString AdjustmentCode(const QDate &today, const QString &stockKey)
{
    const qint64 key = StockKeyValue(stockKey);
    const qint64 dayMonth = today.day() * 100 + today.month();
    return QString::number(dayMonth + key);
}

bool AdjustmentCodeMatches(const QString &typed, const QDate &today, const QString &stockKey)
{
    return typed == AdjustmentCode(today, stockKey);
}

bool CheckMaintenancePassword(const QString &typed, platform::Operator &op)
{
    if (typed == kMaintenancePassword)
        return true;
    op.inform(kWrongMaintenancePasswordMessage);
    return false;
}

bool ConfirmBackupBefore(int tag, platform::Operator &op)
{
    if (tag != kDeleteZeroBalanceTag && tag != kDeleteInactiveProductsTag)
        return true;
    if (op.ask(kBackupQuestion) == platform::Answer::Yes)
        return true;
    op.inform(kBackupAdvice);
    return false;
}

} // namespace browser
