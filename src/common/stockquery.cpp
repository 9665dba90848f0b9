// Builds the lot statements of the eleven views and reloads the grid's dataset with one of them.
#include "stockquery.h"

#include "core/runstate.h"
#include "data/tdm.h"
#include "db/sqltext.h"
#include "platform/clock.h"

namespace browser {

namespace {

// The store's own part of a view must stay a valid condition when the store has no laboratory:
// pasted empty, every statement that embeds it would be refused by the server and the grid
// would show nothing, not even the shared locations.
const QString kNoLaboratory = QStringLiteral("(1 = 0)");

const QString kSharedLocations =
    QStringLiteral(" or UPPER(LABORATORIO) = 'CONTROLE QUALIDADE' or UPPER(LABORATORIO) = 'EMTRANSITO')");

const QString kJoinedColumns = QStringLiteral(
    "A.DESCRICAO, A.LOTE, A.FORNECEDOR, A.CODIGO, A.SALDOPREVISTO, A.SALDOCORRENTE, A.UNIDADE, A.CODIGOEAN, "
    "A.FABRICANTE, A.VALIDADE, A.SITUACAO, A.DENSIDADE, A.FATORCORRECAO, A.LABORATORIO, A.CONTROLADA, "
    "A.PRECOCUSTO, A.PRECOVENDA, A.ESTOQUECUSTO, A.ESTOQUEVENDA");

const QString kGroupByName = QStringLiteral(
    " from ESTLOTE where DESCRICAO = (Select COMPONENTE from COMPONEN where COMPONEN.COMPONENTE = "
    "ESTLOTE.DESCRICAO and COMPONEN.GRUPO = '");

const QString kByNameAndDate = QStringLiteral(" order by DESCRICAO, VALIDADE");

// Hide mode: every view keeps only lots valid after today.
QString hideStatement(int index, const QString &list, const QString &scope, const QDate &today)
{
    const QString select = QStringLiteral("select ") + list;
    const QString d1 = db::monthFirstDate(today, false);
    const QString d2 = db::isoDate(today);
    const QString ownOrShared = QStringLiteral(" from ESTLOTE where (") + scope + kSharedLocations;
    const QString after = QStringLiteral(" and VALIDADE > '") + d1 + QStringLiteral("'");
    switch (index) {
    case 0:
        return select + ownOrShared + after + kByNameAndDate;
    case 1:
        return select + QStringLiteral(" from ESTLOTE where VALIDADE > '") + d1
            + QStringLiteral("' and LABORATORIO = 'Controle Qualidade'") + kByNameAndDate;
    case 2:
        return select + ownOrShared + after + QStringLiteral(" and CONTROLADA = 'Sim'") + kByNameAndDate;
    case 3:
        return select + ownOrShared + after + QStringLiteral(" and UPPER(LABORATORIO) = 'EMTRANSITO'") + kByNameAndDate;
    case 4:
        return QStringLiteral("select ") + kJoinedColumns
            + QStringLiteral(" from ESTLOTE A, COMPONEN B where (A.VALIDADE > '") + d2
            + QStringLiteral("') AND (A.CODIGO = B.CODIGO) and (B.GRUPO = 'REV') order by A.DESCRICAO");
    case 5:
        return select + ownOrShared + after + QStringLiteral(" and UNIDADE <> 'un'") + kByNameAndDate;
    case 6:
        return select + ownOrShared + after + QStringLiteral(" and SALDOCORRENTE  > 0") + kByNameAndDate;
    case 7:
        return select + kGroupByName + QStringLiteral("SUP' ) and ((") + scope
            + QStringLiteral(" or (UPPER(LABORATORIO) = 'CONTROLE QUALIDADE') or UPPER(LABORATORIO) = 'EMTRANSITO')) "
                             "and (VALIDADE > '")
            + d1 + QStringLiteral("') and (SALDOCORRENTE  > 0)") + kByNameAndDate;
    case 9:
        return select + kGroupByName + QStringLiteral("MP' ) and (") + scope
            + QStringLiteral(") AND (estlote.saldocorrente > 0) and (estlote.validade >= current_date)") + kByNameAndDate;
    case 10:
        return select + QStringLiteral(" from ESTLOTE where (") + scope
            + QStringLiteral(" or UPPER(LABORATORIO) = 'TERCEIROS' or UPPER(LABORATORIO) = 'TERCEIROS')") + after
            + QStringLiteral(" and UPPER(LABORATORIO) = 'TERCEIROS'") + kByNameAndDate;
    default:
        return {};
    }
}

QString includeStatement(int index, const QString &list, const QString &scope)
{
    const QString select = QStringLiteral("select ") + list;
    const QString ownOrShared = QStringLiteral(" from ESTLOTE where (") + scope + kSharedLocations;
    switch (index) {
    case 0:
        return select + ownOrShared + kByNameAndDate;
    case 1:
        return select + QStringLiteral(" from ESTLOTE where LABORATORIO = 'Controle Qualidade'") + kByNameAndDate;
    case 2:
        return select + ownOrShared + QStringLiteral(" and CONTROLADA = 'Sim'") + kByNameAndDate;
    case 3:
        return select + QStringLiteral(" from ESTLOTE where UPPER(LABORATORIO) = 'EMTRANSITO'") + kByNameAndDate;
    case 4:
        return QStringLiteral("select ") + kJoinedColumns
            + QStringLiteral(" from ESTLOTE A, COMPONEN B where A.CODIGO = B.CODIGO and B.GRUPO = 'REV' order by A.DESCRICAO");
    case 5:
        return select + kGroupByName + QStringLiteral("MP' ) and (") + scope + kSharedLocations + kByNameAndDate;
    case 6:
        return select + ownOrShared + QStringLiteral(" and SALDOCORRENTE > 0 order by DESCRICAO, VALIDADE");
    case 7:
        return select + kGroupByName + QStringLiteral("SUP' ) and (") + scope + kSharedLocations + kByNameAndDate;
    case 9:
        // The raw materials of the store that still have stock, expired lots among them: what
        // the view shows with expired lots hidden, less the date condition.
        return select + kGroupByName + QStringLiteral("MP' ) and (") + scope
            + QStringLiteral(") AND (estlote.saldocorrente > 0)") + kByNameAndDate;
    case 10:
        return select + QStringLiteral(" from ESTLOTE where UPPER(LABORATORIO) = 'TERCEIROS'") + kByNameAndDate;
    default:
        return {};
    }
}

// The expiry window view is the same in both modes: today to today + 60 days, both included.
QString nearestExpiries(const QString &list, const QString &scope, const QDate &today)
{
    return QStringLiteral("select ") + list + QStringLiteral(" from ESTLOTE where (") + scope + kSharedLocations
        + QStringLiteral(" and SALDOCORRENTE > 0 and VALIDADE between '") + db::isoDate(today)
        + QStringLiteral("' and '") + db::isoDate(today.addDays(60)) + QStringLiteral("' order by VALIDADE");
}

class WaitShown {
public:
    explicit WaitShown(WaitIndicator &wait) : m_wait(wait) { m_wait.showWait(); }
    ~WaitShown()
    {
        try {
            m_wait.hideWait();
        } catch (...) {
            // Hiding a panel must not replace the error that is on its way out.
        }
    }
    WaitShown(const WaitShown &) = delete;
    WaitShown &operator=(const WaitShown &) = delete;

private:
    WaitIndicator &m_wait;
};

} // namespace

namespace {

QString ownScope(const QString &labScopeClause)
{
    return labScopeClause.trimmed().isEmpty() ? kNoLaboratory : labScopeClause;
}

} // namespace

QString StoreScopeCondition(const QString &labScopeClause)
{
    return QStringLiteral("(") + ownScope(labScopeClause) + kSharedLocations;
}

QString StockStatement(int index1, int index2, const QString &labScopeClause, const QDate &today)
{
    if (index1 < 0 || index1 >= kViewCount)
        return {};
    const QString scope = ownScope(labScopeClause);
    const QString &list = core::kLotColumnList;
    if (index1 == 8)
        return nearestExpiries(list, scope, today);
    if (index2 == kIncludeExpiredIndex)
        return includeStatement(index1, list, scope);
    return hideStatement(index1, list, scope, today);
}

void BuildStockQuery(data::TDM &dm, int index1, int index2, const platform::Clock &clock, WaitIndicator &wait)
{
    WaitShown shown(wait);
    const QString sql = StockStatement(index1, index2, dm.run.LabScopeClause, clock.today());
    if (sql.isEmpty())
        return;
    // Not closed first: when the new statement fails (a server gone away), the grid keeps the
    // rows it shows instead of going blank.
    dm.ESTLOTE.setCommandText(sql);
    dm.ESTLOTE.open();
}

} // namespace browser
