#include "startup.h"

#include "db/connection.h"
#include "db/sqltext.h"
#include "platform/clock.h"
#include "platform/operator.h"

namespace core {

QString ExpiryStatement(const QDate &today)
{
    return QStringLiteral("update ESTLOTE set SITUACAO = 'Vencido' where VALIDADE < '")
        + db::monthFirstDate(today, true) + QLatin1Char('\'');
}

QString StartupFailureMessage(const QString &statement, const QString &databasePath)
{
    return QStringLiteral("Não foi possível atualizar a tabela ESTLOTE com ") + QLatin1Char('\r') + statement
        + QLatin1Char('\r') + QStringLiteral("Banco de Dados: ") + databasePath + QLatin1Char('\r')
        + QStringLiteral("- Verifique o IP do Servidor no arquivo FORMULIX.INI");
}

bool RunStartupStatements(db::Connection &central, const QString &databasePath, const platform::Clock &clock,
                          platform::Operator &op)
{
    bool failed = false;
    for (const QString &statement : {ExpiryStatement(clock.today()), kNegativeBalanceStatement}) {
        try {
            central.execute(statement);
        } catch (const db::DbError &e) {
            // A wait on another workstation's lot given up is no unreachable server.
            op.warn(e.waitEnded() ? db::operatorText(e)
                                                        : StartupFailureMessage(statement, databasePath));
            failed = true;
        }
    }
    return failed;
}

} // namespace core
