// The two corrections of the lot table that every start runs before anyone logs in.
#pragma once
#include <QDate>
#include <QString>

namespace db {
class Connection;
}
namespace platform {
class Clock;
class Operator;
}

namespace core {

inline const QString kNegativeBalanceStatement =
    QStringLiteral("update ESTLOTE set SALDOCORRENTE = 0 where SALDOCORRENTE < 0");

// Lots whose expiry is before today become "Vencido"; the date goes month first.
QString ExpiryStatement(const QDate &today);

// The message shown for a start-up statement that failed.
QString StartupFailureMessage(const QString &statement, const QString &databasePath);

// Runs both statements on the central connection; each failure shows its message. True when
// either failed (the program then closes).
bool RunStartupStatements(db::Connection &central, const QString &databasePath, const platform::Clock &clock,
                          platform::Operator &op);

} // namespace core
