// The manufacturing build lot by lot, as first written: one product lookup per lot, the staging
// row located in the staging dataset, each row saved through the data module's hooks (written
// through and the dataset reloaded) and the log opened for every group of lines. Kept only as
// the reference the set-based build is measured and checked against.
#pragma once
#include "core/runstate.h"
#include "data/tdm.h"
#include "db/sqltext.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/numberformat.h"
#include "platform/operator.h"
#include "reports/buildsupport.h"
#include "reports/manufacturing.h"
#include "common/units.h"

#include <cmath>
#include <functional>

namespace reference {

// Steps 1 to 7 lot by lot. warnings() counts the messages the data module's operator has shown:
// a save the server refused shows one. maxLots >= 0 stops after that many lots (the benchmark).
inline bool BuildRowByRow(data::TDM &dm, const core::RunState &run, const platform::Clock &clock,
                          const platform::WinPaths &paths, const std::function<int()> &warnings,
                          reports::ConsistencyErrors &errors, int maxLots = -1)
{
    using db::Value;
    try {
        dm.SQLConnection2.execute(QStringLiteral("DELETE FROM RELESTLOTE"));
    } catch (const db::DbError &) {
        dm.op.warn(reports::StagingTableErrorMessage(run.UserName, run.WorkstationCode));
        return false;
    }
    errors.clear();
    data::CachedDataset &staging = dm.tbl_pdEstLote;
    staging.close();
    staging.open();
    data::CachedDataset &lots = dm.cds_EstLoteRel;
    lots.close();
    lots.setCommandText(QStringLiteral("select * from ESTLOTE order by CODIGO"));
    lots.open();
    reports::DiagnosticLog log(paths);
    log.create();
    const bool detailed = log.detailed();
    const bool undiluted = platform::asciiUpper(run.siteConfig.IncludeDiluted.left(1)) == QLatin1String("N");
    const QDate today = clock.today();
    int done = 0;
    for (lots.first(); !lots.eof(); lots.next()) {
        if (maxLots >= 0 && done++ >= maxLots)
            break;
        const QString code = lots.text(QStringLiteral("CODIGO"));
        const double lotBalance = lots.value(QStringLiteral("SALDOCORRENTE")).toDouble();
        const QDate expiry = lots.value(QStringLiteral("VALIDADE")).toDate();
        if (!(lotBalance > 0 && expiry.isValid() && expiry > today))
            continue;
        data::Query &q = dm.qry_Componen;
        q.close();
        q.setSql(undiluted ? QStringLiteral("SELECT ") + core::kProductColumnList + QStringLiteral(" FROM COMPONEN where CODIGO = '")
                                 + db::escapeQuotes(code) + QStringLiteral("' and FATORDILUICAO = 1 AND GRUPO <> 'REV'")
                           : QStringLiteral("SELECT ") + core::kProductColumnList + QStringLiteral(" FROM COMPONEN where CODIGO = '")
                                 + db::escapeQuotes(code) + QStringLiteral("' AND GRUPO <> 'REV' and UPPER(GRUPO) <> 'HOM'"));
        q.open();
        if (q.isEmpty() || q.value(QStringLiteral("CODIGO")).toString() != code)
            continue;
        const QString componente = q.value(QStringLiteral("COMPONENTE")).toString();
        const QString productCode = q.value(QStringLiteral("CODIGO")).toString();
        const QString unid = q.value(QStringLiteral("UNID")).toString();
        const double custo = q.value(QStringLiteral("CUSTOUNITR")).toDouble();
        const double divisor = q.value(QStringLiteral("DIVISORUNID")).toDouble();
        const double preco = q.value(QStringLiteral("PRECOR")).toDouble();
        const double factor = common::ReportUnitFactor(unid, lots.text(QStringLiteral("UNIDADE")));
        if (detailed)
            log.append({QStringLiteral("Componente: ") + componente + QStringLiteral("  Código: ") + productCode,
                        QStringLiteral("Vou calcular o saldo corrente: ") + platform::GeneralNumber(lotBalance)
                            + QStringLiteral(" / ") + platform::GeneralNumber(factor)});
        const double balance = lotBalance / factor;
        if (detailed)
            log.append({QStringLiteral("SaldoCorrente: ") + platform::GeneralNumber(balance) + QStringLiteral("  Código: ")
                            + productCode,
                        QStringLiteral("Vou procurar o código ") + code + QStringLiteral(" na tabela EstLote.")});
        const QString descricao = lots.text(QStringLiteral("DESCRICAO"));
        if (staging.locate(QStringLiteral("CODIGO"), Value::text(code))) {
            if (detailed)
                log.append({QStringLiteral("Encontrei, então vou acrescentar no saldo corrente já existente.")});
            staging.edit();
            const double total = staging.value(QStringLiteral("SALDOCORRENTE")).toDouble() + balance;
            staging.setValue(QStringLiteral("SALDOCORRENTE"), Value::real(total));
            const double cost = divisor != 0 ? total * custo / divisor : NAN;
            if (std::isfinite(cost))
                staging.setValue(QStringLiteral("ESTOQUECUSTO"), Value::real(cost));
            else
                errors.add(reports::InconsistentValuesMessage(descricao, code));
            const double sale = total * preco;
            if (std::isfinite(sale))
                staging.setValue(QStringLiteral("ESTOQUEVENDA"), Value::real(sale));
            else
                errors.add(reports::InconsistentValuesMessage(descricao, code));
        } else {
            if (detailed)
                log.append({QStringLiteral("Não encontrei, então vou incluir.")});
            staging.insert();
            for (const char *c : {"LOTE", "FORNECEDOR", "LABORATORIO", "CODIGO", "DESCRICAO"})
                staging.setValue(QLatin1String(c), lots.value(QLatin1String(c)));
            staging.setValue(QStringLiteral("UNIDADE"), Value::text(unid));
            staging.setValue(QStringLiteral("SALDOCORRENTE"), Value::real(balance));
            const double unitCost = divisor > 1 ? custo / divisor : custo;
            staging.setValue(QStringLiteral("PRECOCUSTO"), Value::real(unitCost));
            staging.setValue(QStringLiteral("PRECOVENDA"), Value::real(preco));
            if (divisor == 0)
                errors.add(reports::DivisorZeroMessage(componente));
            const double cost = balance * unitCost;
            const double sale = balance * preco;
            staging.setValue(QStringLiteral("ESTOQUECUSTO"), Value::real(std::isfinite(cost) ? cost : 0));
            staging.setValue(QStringLiteral("ESTOQUEVENDA"), Value::real(std::isfinite(sale) ? sale : 0));
            if (!std::isfinite(cost) || !std::isfinite(sale))
                errors.add(reports::InconsistentValuesMessage(descricao, code));
        }
        const int before = warnings();
        bool saved = true;
        try {
            staging.post();   // the hook writes the row through and reloads the dataset
        } catch (const data::DatasetError &) {
            saved = false;
            staging.cancel();
        }
        if (!saved || warnings() != before)
            log.append({QStringLiteral("Componente: ") + componente + QStringLiteral("  Código: ") + productCode,
                        reports::kSaveFailedLine});
    }
    dm.qry_Componen.close();
    dm.qry_pdEstLote.close();
    return true;
}

} // namespace reference
