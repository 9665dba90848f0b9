#include "manufacturing.h"

#include "stagedreport.h"

#include "trm.h"

#include "common/units.h"
#include "core/runstate.h"
#include "data/tdm.h"
#include "db/sqltext.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/numberformat.h"
#include "platform/operator.h"

#include <cmath>
#include <optional>

namespace reports {

QString ManufacturingLotStatement(const QDate &today)
{
    return QStringLiteral("select DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, UNIDADE, SALDOCORRENTE from ESTLOTE "
                          "where SALDOCORRENTE > 0 and VALIDADE > '")
           + db::isoDate(today) + QStringLiteral("' order by CODIGO");
}

QString ManufacturingProductStatement(const QString &includeDiluted)
{
    const QString columns = QStringLiteral("SELECT CODIGO, COMPONENTE, UNID, CUSTOUNITR, DIVISORUNID, PRECOR FROM COMPONEN ");
    if (platform::asciiUpper(includeDiluted.left(1)) == QLatin1String("N"))
        return columns + QStringLiteral("where FATORDILUICAO = 1 AND GRUPO <> 'REV'");
    return columns + QStringLiteral("where GRUPO <> 'REV' and UPPER(GRUPO) <> 'HOM'");
}

QString InconsistentValuesMessage(const QString &descricao, const QString &codigo)
{
    return QStringLiteral("Foram obtidos valores inconsistentes para o componente ") + descricao + QStringLiteral(" (código ")
           + codigo + QStringLiteral("). Estes valores não foram computados.");
}

QString NotSavedMessage(const QString &componente, const QString &codigo)
{
    return QStringLiteral("O componente ") + componente + QStringLiteral(" (código ") + codigo
           + QStringLiteral(") não pôde ser gravado no relatório. Veja ") + kDiagnosticLogPath + QStringLiteral(".");
}

ManufacturingRows ComputeManufacturingRows(const std::vector<StagingLot> &lots,
                                           const QHash<QString, StagingProduct> &products, bool detailed,
                                           BuildProgress *progress)
{
    ManufacturingRows out;
    QHash<QString, size_t> rowOf;          // product code -> its row
    QSet<QString> refusedListed;
    int position = 0;
    for (const StagingLot &lot : lots) {
        if (progress)
            progress->step(++position);
        const auto product = products.constFind(lot.codigo);
        if (product == products.constEnd())
            continue;
        const StagingProduct &p = *product;
        const double factor = common::ReportUnitFactor(p.unid, lot.unidade);
        if (detailed) {
            out.diagnostic << QStringLiteral("Componente: ") + p.componente + QStringLiteral("  Código: ") + p.codigo
                           << QStringLiteral("Vou calcular o saldo corrente: ") + platform::GeneralNumber(lot.saldo)
                                  + QStringLiteral(" / ") + platform::GeneralNumber(factor);
        }
        const double balance = lot.saldo / factor;
        if (detailed) {
            out.diagnostic << QStringLiteral("SaldoCorrente: ") + platform::GeneralNumber(balance) + QStringLiteral("  Código: ")
                                  + p.codigo
                           << QStringLiteral("Vou procurar o código ") + lot.codigo + QStringLiteral(" na tabela EstLote.");
        }
        StagingRow candidate;
        const auto found = rowOf.constFind(lot.codigo);
        if (found != rowOf.constEnd()) {
            if (detailed)
                out.diagnostic << QStringLiteral("Encontrei, então vou acrescentar no saldo corrente já existente.");
            candidate = out.rows[*found];
            const double total = *candidate.saldoCorrente + balance;
            candidate.saldoCorrente = total;
            // A divisor of 0 or a result that is not a number leaves the column as it was.
            const double cost = p.divisorUnid != 0 ? total * p.custoUnitR / p.divisorUnid : NAN;
            if (std::isfinite(cost))
                candidate.estoqueCusto = cost;
            else
                out.messages << InconsistentValuesMessage(lot.descricao, lot.codigo);
            const double sale = total * p.precoR;
            if (std::isfinite(sale))
                candidate.estoqueVenda = sale;
            else
                out.messages << InconsistentValuesMessage(lot.descricao, lot.codigo);
        } else {
            if (detailed)
                out.diagnostic << QStringLiteral("Não encontrei, então vou incluir.");
            candidate.lote = lot.lote;
            candidate.fornecedor = lot.fornecedor;
            candidate.laboratorio = lot.laboratorio;
            candidate.codigo = lot.codigo;
            candidate.descricao = lot.descricao;
            candidate.unidade = p.unid;
            candidate.saldoCorrente = balance;
            if (!PriceNewRow(candidate, balance, p.custoUnitR, p.divisorUnid, p.precoR, p.componente, out.messages))
                out.messages << InconsistentValuesMessage(lot.descricao, lot.codigo);
        }
        // Saving: a row the table would refuse is logged and left as it was before this lot.
        if (!StagingRowProblem(candidate).isEmpty()) {
            out.diagnostic << QStringLiteral("Componente: ") + p.componente + QStringLiteral("  Código: ") + p.codigo
                           << kSaveFailedLine;
            if (!refusedListed.contains(p.codigo)) {
                refusedListed.insert(p.codigo);
                out.messages << NotSavedMessage(p.componente, p.codigo);
            }
            continue;
        }
        // The table keeps the balance to 8 decimals: the next lot adds to what it kept.
        candidate.saldoCorrente = StagedDecimal(*candidate.saldoCorrente);
        if (found != rowOf.constEnd()) {
            out.rows[*found] = std::move(candidate);
        } else {
            rowOf.insert(lot.codigo, out.rows.size());
            out.rows.push_back(std::move(candidate));
            out.rowProducts.push_back(p);
        }
    }
    return out;
}

namespace {

QString text(const db::Cursor &c, int col) { return c.value(col).toString(); }

std::vector<StagingLot> readLots(db::Connection &central, const QDate &today)
{
    std::vector<StagingLot> lots;
    db::Transaction tx(central);
    db::Cursor c = tx.open(ManufacturingLotStatement(today));
    while (c.next()) {
        StagingLot lot;
        lot.descricao = text(c, 0);
        lot.lote = text(c, 1);
        lot.fornecedor = text(c, 2);
        lot.codigo = text(c, 3);
        lot.laboratorio = text(c, 4);
        lot.unidade = text(c, 5);
        lot.saldo = c.value(6).toDouble();
        lots.push_back(std::move(lot));
    }
    c.close();
    tx.commit();
    return lots;
}

} // namespace

QHash<QString, StagingProduct> ReadManufacturingProducts(db::Connection &central, const QString &includeDiluted)
{
    QHash<QString, StagingProduct> products;
    db::Transaction tx(central);
    db::Cursor c = tx.open(ManufacturingProductStatement(includeDiluted));
    while (c.next()) {
        StagingProduct p;
        p.codigo = text(c, 0);
        if (products.contains(p.codigo))
            continue;   // the first row found for a code, as a lookup by code would give
        p.componente = text(c, 1);
        p.unid = text(c, 2);
        p.custoUnitR = c.value(3).toDouble();
        p.divisorUnid = c.value(4).toDouble();
        p.precoR = c.value(5).toDouble();
        products.insert(p.codigo, p);
    }
    c.close();
    tx.commit();
    return products;
}

bool BeginStaging(ReportContext &ctx, std::optional<StagingReplacement> &staging)
{
    try {
        staging.emplace(ctx.dm.SQLConnection2);
        staging->clear();
    } catch (const db::DbError &e) {
        staging.reset();
        // A lost link (the start was already tried again on a new attachment) or a wait on
        // another workstation that was cancelled or ran out says so: the table is there, and
        // overwriting the workstation's database would be the wrong advice.
        if (e.isConnectionLost() || e.waitEnded())
            ctx.op.warn(db::operatorText(e));
        else
            ctx.op.warn(StagingTableErrorMessage(ctx.run.UserName, ctx.run.WorkstationCode));
        return false;
    }
    return true;
}

bool BuildManufacturingStaging(ReportContext &ctx)
{
    data::TDM &dm = ctx.dm;
    std::optional<StagingReplacement> staging;
    if (!BeginStaging(ctx, staging))
        return false;
    BuildFrame frame(ctx.progress, true);
    ctx.errors.clear();
    dm.tbl_pdEstLote.close();

    const std::vector<StagingLot> lots = readLots(dm.SQLConnection1, ctx.clock.today());
    const QHash<QString, StagingProduct> products = ReadManufacturingProducts(dm.SQLConnection1, ctx.run.siteConfig.IncludeDiluted);
    ctx.progress.start(int(lots.size()));

    DiagnosticLog log(ctx.paths);
    log.create();
    ManufacturingRows result = ComputeManufacturingRows(lots, products, log.detailed(), &ctx.progress);

    QStringList lateLines;
    for (size_t i = 0; i < result.rows.size(); ++i) {
        if (const std::optional<QString> refusal = staging->insert(result.rows[i])) {
            const StagingProduct &p = result.rowProducts[i];
            lateLines << QStringLiteral("Componente: ") + p.componente + QStringLiteral("  Código: ") + p.codigo
                      << kSaveFailedLine;
            result.messages << NotSavedMessage(p.componente, p.codigo);
        }
    }
    staging->commit();
    if (ctx.staged)
        *ctx.staged = {StagedBuild::Manufacturing, {}, {}};
    log.append(result.diagnostic + lateLines);
    for (const QString &m : result.messages)
        ctx.errors.add(m);

    dm.tbl_pdEstLote.open();   // the staging dataset shows the new rows once
    dm.qry_Componen.close();
    dm.qry_pdEstLote.close();
    frame.finished();
    return true;
}

bool OpenStoreHeader(data::TDM &dm, const core::RunState &run)
{
    dm.DadosGer.close();
    dm.DadosGer.setCommandText(StoreHeaderStatement(run.StoreCnpj));
    try {
        dm.DadosGer.open();
    } catch (const db::DbError &) {
        return false;
    }
    return true;
}

bool RunManufacturingReport(ReportContext &ctx, TRM &rm)
{
    if (!BuildManufacturingStaging(ctx))
        return false;
    return PrintStagedReport(ctx, rm, rm.rvpj2, QStringLiteral("EstFisFin"), kStoreHeaderBuildMessage);
}

void ViewManufacturingReport(ReportContext &ctx, TRM &rm)
{
    ViewStagedReport(ctx, rm, rm.rvpj2, QStringLiteral("EstFisFin"));
}

} // namespace reports
