// The cost-of-products-sold build row by row, as first written: one insert per total, one
// RP_TOTAIS lookup per component, the log opened for every group of lines and each row saved
// through the data module's hooks (written through and the staging dataset reloaded). Kept only
// as the reference the set-based build is measured and checked against.
#pragma once
#include "core/runstate.h"
#include "data/tdm.h"
#include "db/sqltext.h"
#include "platform/cp1252.h"
#include "platform/numberformat.h"
#include "reports/buildsupport.h"
#include "reports/costofsales.h"
#include "reports/manufacturing.h"

#include <cmath>

namespace reference {

// The totals statement as first written: PERIODO of the central database in the FROM list.
inline QString ConsumptionStatementWithPeriodo(const reports::ReportPeriod &p)
{
    return QStringLiteral("SELECT CODIGOCOMP, SUM(COMPEDID.QDEESTOQUE) AS QDETOTAL FROM COMPEDID, PEDIDOS, PERIODO where "
                          "COMPEDID.ESTACAO=PEDIDOS.ESTACAO AND COMPEDID.NPEDIDO=PEDIDOS.NPEDIDO AND "
                          "PEDIDOS.TIPOPEDIDO = 'Pedido' AND PEDIDOS.DATAPEDIDO BETWEEN '")
           + db::monthFirstDate(p.start, false) + QStringLiteral("' AND '") + db::monthFirstDate(p.end, false)
           + QStringLiteral("' AND COMPEDID.QDEESTOQUE IS NOT NULL AND COMPEDID.QDEESTOQUE > 0 AND "
                            "COMPEDID.unid <> 'gts' and COMPEDID.unid is not null  GROUP BY COMPEDID.CODIGOCOMP");
}

// Steps 2 to 10 (the staging table's message left out). maxProducts >= 0 stops after that many
// components (the benchmark). Gives the number of save failures.
inline int BuildCostRowByRow(data::TDM &dm, const core::RunState &run, const platform::WinPaths &paths,
                             const reports::ReportPeriod &period, reports::ConsistencyErrors &errors, int maxProducts = -1)
{
    using db::Value;
    reports::DiagnosticLog log(paths);
    log.createMarker();
    dm.SQLConnection2.execute(QStringLiteral("DELETE FROM RELESTLOTE"));
    errors.clear();
    data::Query &products = dm.qry_Componen;
    products.close();
    products.setSql(reports::CostComponentStatement(run.siteConfig.IncludeDiluted));
    products.open();
    const db::Rows totals = dm.SQLConnection1.query(ConsumptionStatementWithPeriodo(period));
    dm.SQLConnection2.execute(QStringLiteral("Delete from RP_TOTAIS"));
    for (const auto &row : totals.rows)
        dm.SQLConnection2.execute(QStringLiteral("INSERT INTO RP_TOTAIS (GRUPO, TOTAL) VALUES ('") + db::escapeQuotes(row[0].toString())
                                  + QStringLiteral("', '") + reports::TotalText(row[1].toDecimal()) + QStringLiteral("')"));
    data::CachedDataset &staging = dm.tbl_pdEstLote;
    staging.close();
    staging.open();
    log.create();
    int failures = 0, done = 0;
    for (; !products.eof(); products.next()) {
        if (maxProducts >= 0 && done++ >= maxProducts)
            break;
        const QString code = products.value(QStringLiteral("CODIGO")).toString();
        const db::Rows found = dm.SQLConnection2.query(QStringLiteral("Select GRUPO, TOTAL from RP_TOTAIS where GRUPO = '")
                                                       + db::escapeQuotes(code) + QStringLiteral("'"));
        const double total = found.isEmpty() ? 0 : reports::TotalValue(found.rows[0][1]);
        if (log.detailed()) {
            log.append({QStringLiteral("SaldoCorrente: ") + platform::GeneralNumber(total) + QStringLiteral("  Código: ") + code,
                        QStringLiteral("Vou procurar o código ") + code + QStringLiteral(" na tabela EstLote.")});
            log.append({QStringLiteral("Não encontrei, então vou incluir.")});
        }
        if (!(total > 0))
            continue;
        const QString componente = products.value(QStringLiteral("COMPONENTE")).toString();
        const double custo = products.value(QStringLiteral("CUSTOUNITR")).toDouble();
        const double divisor = products.value(QStringLiteral("DIVISORUNID")).toDouble();
        const double preco = products.value(QStringLiteral("PRECOR")).toDouble();
        staging.insert();
        staging.setValue(QStringLiteral("CODIGO"), Value::text(code));
        staging.setValue(QStringLiteral("DESCRICAO"), Value::text(componente));
        for (const char *c : {"LOTE", "FORNECEDOR", "LABORATORIO"})
            staging.setValue(QLatin1String(c), Value::text(QStringLiteral("-")));
        staging.setValue(QStringLiteral("UNIDADE"), products.value(QStringLiteral("UNID")));
        staging.setValue(QStringLiteral("SALDOCORRENTE"), Value::real(total));
        const double unitCost = divisor > 1 ? custo / divisor : custo;
        staging.setValue(QStringLiteral("PRECOCUSTO"), Value::real(unitCost));
        staging.setValue(QStringLiteral("PRECOVENDA"), Value::real(preco));
        if (divisor == 0)
            errors.add(reports::DivisorZeroMessage(componente));
        const double cost = total * unitCost, sale = total * preco;
        staging.setValue(QStringLiteral("ESTOQUECUSTO"), Value::real(std::isfinite(cost) ? cost : 0));
        staging.setValue(QStringLiteral("ESTOQUEVENDA"), Value::real(std::isfinite(sale) ? sale : 0));
        try {
            staging.post();   // the hook writes the row through and reloads the dataset
        } catch (const data::DatasetError &) {
            staging.cancel();
            ++failures;
        }
    }
    dm.qry_Componen.close();
    dm.qry_pdEstLote.close();
    staging.close();
    return failures;
}

} // namespace reference
