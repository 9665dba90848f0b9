#include "resale.h"

#include "stagedreport.h"

#include "trm.h"

#include "core/runstate.h"
#include "data/tdm.h"
#include "db/sqltext.h"
#include "platform/clock.h"
#include "platform/operator.h"

#include <QSet>
#include <cmath>
#include <optional>

namespace reports {

QString ResaleLotStatement(const QDate &today)
{
    return QStringLiteral(
               "select c.COMPONENTE, c.CUSTOUNITR, c.DIVISORUNID, c.PRECOR, e.DESCRICAO, e.LOTE, e.FORNECEDOR, e.CODIGO, "
               "e.LABORATORIO, e.UNIDADE, e.SALDOCORRENTE, e.VALIDADE from COMPONEN c join ESTLOTE e on e.CODIGO = c.CODIGO "
               "where UPPER(c.GRUPO) = 'REV' and e.SALDOCORRENTE > 0 and e.VALIDADE > '")
           + db::isoDate(today) + QStringLiteral("' order by c.COMPONENTE");
}

ResaleRows ComputeResaleRows(const std::vector<ResaleLot> &lots)
{
    ResaleRows out;
    QSet<QString> listed;
    for (const ResaleLot &l : lots) {
        StagingRow r;
        r.lote = l.lote;
        r.fornecedor = l.fornecedor;
        r.laboratorio = l.laboratorio;
        r.codigo = l.codigo;
        r.descricao = l.descricao;
        r.unidade = l.unidade;
        r.saldoCorrente = l.saldo;
        r.validade = l.validade;
        if (PriceResaleRow(r, l.saldo, l.custoUnitR, l.divisorUnid, l.precoR) && !listed.contains(l.componente)) {
            listed.insert(l.componente);
            out.messages << DivisorZeroMessage(l.componente);
        }
        out.rows.push_back(std::move(r));
        out.rowProducts.push_back(l.componente);
    }
    return out;
}

QString ResaleSaveFailedMessage(const QString &componente, const QString &descricao, const QString &errorClass,
                                const QString &errorText)
{
    return QStringLiteral("Não foi possível gravar as informações na tabela!\r\ntblComponen: ") + componente
           + QStringLiteral("\r\ntblEstlote: ") + descricao + QStringLiteral("\r\nClasse: ") + errorClass
           + QStringLiteral("\r\nErro: ") + errorText;
}

namespace {

std::vector<ResaleLot> readResaleLots(db::Connection &central, const QDate &today)
{
    std::vector<ResaleLot> lots;
    db::Transaction tx(central);
    db::Cursor c = tx.open(ResaleLotStatement(today));
    while (c.next()) {
        ResaleLot l;
        l.componente = c.value(0).toString();
        l.custoUnitR = c.value(1).toDouble();
        l.divisorUnid = c.value(2).toDouble();
        l.precoR = c.value(3).toDouble();
        l.descricao = c.value(4).toString();
        l.lote = c.value(5).toString();
        l.fornecedor = c.value(6).toString();
        l.codigo = c.value(7).toString();
        l.laboratorio = c.value(8).toString();
        l.unidade = c.value(9).toString();
        l.saldo = c.value(10).toDouble();
        l.validade = c.value(11).toDate();
        lots.push_back(std::move(l));
    }
    c.close();
    tx.commit();
    return lots;
}

} // namespace

bool BuildResaleStaging(ReportContext &ctx)
{
    data::TDM &dm = ctx.dm;
    std::optional<StagingReplacement> staging;
    if (!BeginStaging(ctx, staging))
        return false;
    BuildFrame frame(ctx.progress, true);
    ctx.errors.clear();
    dm.tbl_pdEstLote.close();

    const std::vector<ResaleLot> lots = readResaleLots(dm.SQLConnection1, ctx.clock.today());
    const ResaleRows result = ComputeResaleRows(lots);
    ctx.progress.start(int(result.rows.size()));
    for (size_t i = 0; i < result.rows.size(); ++i) {
        const StagingRow &row = result.rows[i];
        // A refused row is shown and left out; the others go on.
        if (const std::optional<QString> refusal = staging->insert(row))
            ctx.op.error(ResaleSaveFailedMessage(result.rowProducts[i], row.descricao, QStringLiteral("EDatabaseError"), *refusal));
        ctx.progress.step(int(i) + 1);
    }
    for (const QString &m : result.messages)
        ctx.errors.add(m);

    dm.qry_Componen.close();
    dm.qry_pdEstLote.close();
    frame.showWait(BuildProgress::Wait::Finalizing);
    staging->commit();
    if (ctx.staged)
        *ctx.staged = {StagedBuild::Resale, {}, {}};
    dm.tbl_pdEstLote.open();   // the staging dataset shows the new rows once
    frame.hideWait(BuildProgress::Wait::Finalizing);
    frame.finished();
    return true;
}

bool RunResaleReport(ReportContext &ctx, TRM &rm)
{
    if (!BuildResaleStaging(ctx))
        return false;
    return PrintStagedReport(ctx, rm, rm.rvpj3, QStringLiteral("EstFisFin"), kStoreHeaderViewMessage);
}

void ViewResaleReport(ReportContext &ctx, TRM &rm)
{
    ViewStagedReport(ctx, rm, rm.rvpj3, QStringLiteral("EstFisFin"));
}

} // namespace reports
