// Finds the user's workstation and the laboratories of its store, which limit every stock view.
#include "scope.h"

#include "core/activitylog.h"
#include "core/runstate.h"
#include "data/tdm.h"
#include "db/sqltext.h"
#include "platform/cp1252.h"
#include "platform/operator.h"

namespace users {

namespace {

const QChar kQuote = QLatin1Char('"');
// The suite's message boxes start a new line at a carriage return.
const QChar kCr = QLatin1Char('\r');

QString tabLabStatement(const QString &cnpj)
{
    return QStringLiteral("Select LABORATORIO, LOJA from TABLAB where LOJA = '") + db::escapeQuotes(cnpj)
        + QStringLiteral("'");
}

// The first row's column, empty when there is no row.
QString firstText(data::Query &query, const QString &column)
{
    return query.eof() ? QString() : query.value(column).toString();
}

QString firstText(data::CachedDataset &dataset, const QString &column)
{
    if (dataset.isEmpty())
        return {};
    dataset.first();
    return dataset.text(column);
}

} // namespace

QString NoWorkstationMessage(const QString &userName)
{
    const QString quotedName = kQuote + userName + kQuote;
    return QStringLiteral("Não foi possível selecionar uma área de trabalho para o usuário ") + quotedName
        + QStringLiteral(". ") + kCr + kCr
        + QStringLiteral("Causas prováveis: ") + kCr + kCr
        + QStringLiteral("  1) Na tabela ") + kQuote + QStringLiteral("Estacoes.db") + kQuote
        + QStringLiteral(" não foi incluída uma estação para o usuário ") + quotedName + QStringLiteral(".") + kCr
        + QStringLiteral("     Obs: Criar também a área de trabalho física (pasta C:\\Formulix\\InterfacXX) para este usuário.")
        + kCr + QStringLiteral("  --> Favor contactar o suporte técnico da QUR SISTEMAS <--");
}

QString MainWindowCaption(const QString &userName, const QString &workstationCode)
{
    return QStringLiteral("  POSIÇÃO ATUAL DO ESTOQUE  -  Usuário: ") + kQuote + userName + kQuote
        + QStringLiteral("   Estação: ") + workstationCode;
}

QString LabScopeClause(const QStringList &labs)
{
    QStringList terms;
    terms.reserve(labs.size());
    for (const QString &lab : labs)
        terms << QStringLiteral("(UPPER(LABORATORIO) = '") + db::escapeQuotes(platform::asciiUpper(lab))
                + QStringLiteral("')");
    return terms.join(QStringLiteral(" OR "));
}

QString FindWorkstation(data::TDM &dm, ScopeView &view, platform::Operator &op)
{
    core::RunState &run = dm.run;
    run.WorkstationCode.clear();
    view.setNameText(run.UserName);

    const QString user = platform::asciiUpper(run.UserName);
    dm.Estacoes.close();
    dm.Estacoes.setCommandText(QStringLiteral("Select ") + core::kWorkstationColumnList
                               + QStringLiteral(" from ESTACOES where upper(USUARIO) = '") + db::escapeQuotes(user)
                               + QStringLiteral("'"));
    dm.Estacoes.open();

    if (dm.Estacoes.isEmpty() || platform::asciiUpper(firstText(dm.Estacoes, QStringLiteral("USUARIO"))) != user) {
        op.inform(NoWorkstationMessage(run.UserName));
        dm.Estacoes.close();
        return {};
    }

    run.WorkstationCode = dm.Estacoes.text(QStringLiteral("ESTACAO")).left(2);
    const QString databaseName = dm.Estacoes.text(QStringLiteral("DATBASNAM"));
    view.setCaption(MainWindowCaption(run.UserName, run.WorkstationCode));
    dm.connections.ConfigureWorkstationConnection(run.siteConfig.ServerAddress, run.WorkstationCode);
    dm.Estacoes.close();
    return databaseName;
}

QString PegaLaboratorio(data::TDM &dm, const QString &cnpj)
{
    QString laboratory = core::kDefaultLaboratory;
    dm.TabLab.close();
    dm.SQLQuery1.close();
    dm.SQLQuery1.setSql(tabLabStatement(cnpj));
    dm.SQLQuery1.open();
    if (!dm.SQLQuery1.eof() && firstText(dm.SQLQuery1, QStringLiteral("LOJA")) == cnpj)
        laboratory = dm.SQLQuery1.value(QStringLiteral("LABORATORIO")).toString();
    dm.SQLQuery1.close();
    return laboratory;
}

void BuildLabScope(data::TDM &dm, const QString &cnpj, platform::Operator &op)
{
    core::RunState &run = dm.run;
    dm.TabLab.close();
    dm.SQLQuery1.close();
    dm.SQLQuery1.setSql(tabLabStatement(cnpj));
    dm.SQLQuery1.open();
    QStringList labs;
    if (!dm.SQLQuery1.eof() && firstText(dm.SQLQuery1, QStringLiteral("LOJA")) == cnpj) {
        for (; !dm.SQLQuery1.eof() && labs.size() < kMaxStoreLaboratories; dm.SQLQuery1.next())
            labs << dm.SQLQuery1.value(QStringLiteral("LABORATORIO")).toString().left(kLaboratoryNameWidth);
    }
    dm.SQLQuery1.close();
    run.StoreLaboratories = labs;
    run.LabScopeClause = LabScopeClause(labs);
    if (run.LabScopeClause.isEmpty())
        op.inform(kNoLaboratoryMessage);
}

void OpenFirstStockQuery(data::TDM &dm, const platform::WinPaths &paths, platform::Operator &op)
{
    const core::RunState &run = dm.run;
    const QString sql = QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE where (")
        + run.LabScopeClause
        + QStringLiteral(" or UPPER(LABORATORIO) = 'CONTROLE QUALIDADE' or UPPER(LABORATORIO) = 'EMTRANSITO') "
                         "order by DESCRICAO, VALIDADE");
    if (!run.LabScopeClause.isEmpty()) {
        dm.ESTLOTE.close();
        dm.ESTLOTE.setCommandText(sql);
        dm.ESTLOTE.open();
        return;
    }
    // The file is only a clue for support; the operator is told either way, and the login goes
    // on to the stock views, which still show the shared locations.
    core::WriteDiagnosticFile(paths, kErroEstoquePath, {sql});
    op.inform(kEmptyScopeMessage);
}

void SetUpScope(data::TDM &dm, const platform::WinPaths &paths, platform::Operator &op)
{
    core::RunState &run = dm.run;
    dm.Estacoes.close();
    dm.Estacoes.setCommandText(QStringLiteral("Select ") + core::kWorkstationColumnList
                               + QStringLiteral(" from ESTACOES where Upper(USUARIO) = '")
                               + db::escapeQuotes(run.UserName) + QStringLiteral("'"));
    dm.Estacoes.open();
    run.StoreCnpj = firstText(dm.Estacoes, QStringLiteral("CNPJ")).left(kStoreCnpjWidth);
    run.Laboratory = PegaLaboratorio(dm, run.StoreCnpj);
    BuildLabScope(dm, run.StoreCnpj, op);
    dm.Estacoes.close();
    OpenFirstStockQuery(dm, paths, op);
}

} // namespace users
