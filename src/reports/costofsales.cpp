#include "costofsales.h"

#include "stagedreport.h"

#include "trm.h"

#include "core/runstate.h"
#include "data/tdm.h"
#include "db/sqltext.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/numberformat.h"
#include "platform/operator.h"

#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace reports {

namespace {

QString trimmedCode(QString code)
{
    while (code.endsWith(QLatin1Char(' ')))
        code.chop(1);
    return code;
}

// The century that puts a two-digit year nearest to today's year.
int nearestYear(int twoDigits, int thisYear)
{
    int year = thisYear - thisYear % 100 + twoDigits;
    if (year > thisYear + 50)
        year -= 100;
    else if (year <= thisYear - 50)
        year += 100;
    return year;
}

} // namespace

QString PeriodBoxText(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yy")) : QString();
}

QDate ReadPeriodBox(const QString &text, const QDate &shown, const QDate &today)
{
    if (shown.isValid() && text == PeriodBoxText(shown))
        return shown;
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{1,2})\\s*/\\s*(\\d{1,2})\\s*/\\s*(\\d{2}|\\d{4})\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return {};
    const QString y = m.captured(3);
    const int year = y.size() == 4 ? y.toInt() : nearestYear(y.toInt(), today.year());
    return QDate(year, m.captured(2).toInt(), m.captured(1).toInt());
}

QString StagedRowsQuestion(StagedBuild asked, const StagedRecord &staged, const ReportPeriod &shownPeriod)
{
    if (staged.build == StagedBuild::Unknown)
        return {};
    const auto name = [](StagedBuild b) {
        switch (b) {
        case StagedBuild::Manufacturing: return QStringLiteral("estoque físico/financeiro");
        case StagedBuild::Resale: return QStringLiteral("estoque físico/financeiro de revenda");
        case StagedBuild::CostOfSales: return QStringLiteral("custo dos produtos vendidos (CPV)");
        case StagedBuild::Unknown: break;
        }
        return QString();
    };
    const auto day = [](const QDate &d) { return d.toString(QStringLiteral("dd/MM/yyyy")); };
    if (staged.build != asked)
        return QStringLiteral("Os dados preparados são do relatório de ") + name(staged.build)
            + QStringLiteral(", não do relatório de ") + name(asked)
            + QStringLiteral(". Deseja gerar o relatório de ") + name(asked) + QStringLiteral(" agora?");
    if (asked == StagedBuild::CostOfSales && (staged.start != shownPeriod.start || staged.end != shownPeriod.end))
        return QStringLiteral("Os dados preparados do CPV são do período de ") + day(staged.start) + QStringLiteral(" a ")
            + day(staged.end) + QStringLiteral(", mas o período atual é de ") + day(shownPeriod.start)
            + QStringLiteral(" a ") + day(shownPeriod.end) + QStringLiteral(". Deseja gerar o CPV do período atual agora?");
    return {};
}

QString NotADateMessage(const QString &text)
{
    return QStringLiteral("'") + text + QStringLiteral("' não é uma data válida");
}

QString PeriodStatementDate(const QDate &date, const QDate &today)
{
    // The server reads a two-digit year in the century nearest to its own date; keep well inside.
    const bool twoDigits = std::abs(date.year() - today.year()) < 40;
    return db::monthFirstDate(date, !twoDigits);
}

QString PeriodUpdateStatement(const ReportPeriod &period, const QDate &today)
{
    return QStringLiteral("update periodo set datainicial = '") + PeriodStatementDate(period.start, today)
           + QStringLiteral("', datafinal = '") + PeriodStatementDate(period.end, today) + QStringLiteral("'");
}

void StorePeriod(db::Connection &workstation, const ReportPeriod &period, const QDate &today)
{
    db::Transaction tx(workstation);
    if (tx.execute(PeriodUpdateStatement(period, today)) == 0) {
        tx.execute(QStringLiteral("insert into periodo (datainicial, datafinal) values ('")
                   + PeriodStatementDate(period.start, today) + QStringLiteral("', '")
                   + PeriodStatementDate(period.end, today) + QStringLiteral("')"));
    }
    tx.commit();
}

ReportPeriod StoredPeriod(data::TDM &dm)
{
    ReportPeriod p;
    dm.Periodo.close();
    dm.Periodo.open();
    if (!dm.Periodo.isEmpty()) {
        dm.Periodo.first();
        p.start = dm.Periodo.value(QStringLiteral("DATAINICIAL")).toDate();
        p.end = dm.Periodo.value(QStringLiteral("DATAFINAL")).toDate();
    }
    return p;
}

QString CostComponentStatement(const QString &includeDiluted)
{
    if (platform::asciiUpper(includeDiluted.left(1)) == QLatin1String("N"))
        return QStringLiteral("SELECT ") + core::kProductColumnList
               + QStringLiteral(" FROM COMPONEN where FATORDILUICAO = 1 AND GRUPO <> 'REV' order by COMPONENTE");
    return QStringLiteral("SELECT ") + core::kProductColumnList
           + QStringLiteral(" FROM COMPONEN where GRUPO <> 'REV' order by COMPONENTE");
}

QString ConsumptionStatement(const ReportPeriod &period, const QDate &today)
{
    // The orders and their lines alone: a further table in the list would repeat or drop them.
    return QStringLiteral("SELECT CODIGOCOMP, SUM(COMPEDID.QDEESTOQUE) AS QDETOTAL FROM COMPEDID, PEDIDOS where "
                          "COMPEDID.ESTACAO=PEDIDOS.ESTACAO AND COMPEDID.NPEDIDO=PEDIDOS.NPEDIDO AND "
                          "PEDIDOS.TIPOPEDIDO = 'Pedido' AND PEDIDOS.DATAPEDIDO BETWEEN '")
           + PeriodStatementDate(period.start, today) + QStringLiteral("' AND '") + PeriodStatementDate(period.end, today)
           + QStringLiteral("' AND ")
           + QStringLiteral("COMPEDID.QDEESTOQUE IS NOT NULL AND COMPEDID.QDEESTOQUE > 0 AND ")
           + QStringLiteral("COMPEDID.unid <> 'gts' and COMPEDID.unid is not null ")
           + QStringLiteral(" GROUP BY COMPEDID.CODIGOCOMP");
}

QString TotalText(const db::Decimal &total)
{
    return total.toString().replace(QLatin1Char('.'), QLatin1Char(','));
}

// A stored total, not typed text: the column may hold it as text in either notation ("2,5",
// "1.234,5", "2.5") and one unreadable counts as nothing rather than stopping the report, so it is
// not read as the boxes read typed numbers (data::ParseTypedDecimal).
double TotalValue(const db::Value &stored)
{
    if (stored.kind() != db::Value::Kind::Text)
        return stored.toDouble();
    QString t = stored.toString().trimmed();
    if (t.contains(QLatin1Char(','))) {
        t.remove(QLatin1Char('.'));
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok ? v : 0;
}

QString StatementFailedMessage(const QString &statement)
{
    return QStringLiteral("Erro tentando executar: ") + statement;
}

CostRows ComputeCostRows(const std::vector<CostProduct> &products, const QHash<QString, double> &totals, bool detailed)
{
    CostRows out;
    for (const CostProduct &p : products) {
        const double total = totals.value(trimmedCode(p.codigo), 0);
        if (detailed) {
            out.diagnostic << QStringLiteral("SaldoCorrente: ") + platform::GeneralNumber(total) + QStringLiteral("  Código: ")
                                  + p.codigo
                           << QStringLiteral("Vou procurar o código ") + p.codigo + QStringLiteral(" na tabela EstLote.")
                           << QStringLiteral("Não encontrei, então vou incluir.");
        }
        if (!(total > 0))
            continue;
        StagingRow r;
        r.codigo = p.codigo;
        r.descricao = p.componente;
        r.lote = r.fornecedor = r.laboratorio = QStringLiteral("-");
        r.unidade = p.unid;
        r.saldoCorrente = total;
        PriceNewRow(r, total, p.custoUnitR, p.divisorUnid, p.precoR, p.componente, out.messages);
        out.rows.push_back(std::move(r));
    }
    return out;
}

namespace {

std::vector<CostProduct> readProducts(db::Connection &central, const QString &sql)
{
    std::vector<CostProduct> products;
    db::Transaction tx(central);
    db::Cursor c = tx.open(sql);
    const db::RowLayout &l = c.layout();
    const int codigo = l.indexOf(QStringLiteral("CODIGO")), componente = l.indexOf(QStringLiteral("COMPONENTE")),
              unid = l.indexOf(QStringLiteral("UNID")), custo = l.indexOf(QStringLiteral("CUSTOUNITR")),
              divisor = l.indexOf(QStringLiteral("DIVISORUNID")), preco = l.indexOf(QStringLiteral("PRECOR"));
    while (c.next()) {
        CostProduct p;
        p.codigo = c.value(codigo).toString();
        p.componente = c.value(componente).toString();
        p.unid = c.value(unid).toString();
        p.custoUnitR = c.value(custo).toDouble();
        p.divisorUnid = c.value(divisor).toDouble();
        p.precoR = c.value(preco).toDouble();
        products.push_back(std::move(p));
    }
    c.close();
    tx.commit();
    return products;
}

} // namespace

bool BuildCostOfProductsSold(ReportContext &ctx, const ReportPeriod &period)
{
    data::TDM &dm = ctx.dm;
    const QDate today = ctx.clock.today();
    DiagnosticLog log(ctx.paths);
    log.createMarker();
    std::optional<StagingReplacement> staging;
    if (!BeginStaging(ctx, staging))
        return false;
    BuildFrame frame(ctx.progress, true);
    frame.showWait(BuildProgress::Wait::Waiting);
    ctx.errors.clear();
    dm.tbl_pdEstLote.close();

    const QString componentSql = CostComponentStatement(ctx.run.siteConfig.IncludeDiluted);
    std::vector<CostProduct> products;
    try {
        products = readProducts(dm.SQLConnection1, componentSql);
    } catch (const db::DbError &) {
        frame.hideWait(BuildProgress::Wait::Waiting);
        ctx.op.warn(StatementFailedMessage(componentSql));
        return false;
    }

    // The totals, written and read back in the staging transaction.
    db::Transaction &tx = staging->transaction();
    const db::Rows consumption = dm.SQLConnection1.query(ConsumptionStatement(period, today));
    tx.execute(QStringLiteral("Delete from RP_TOTAIS"));
    bool textTotal = true;
    {
        db::Cursor probe = tx.open(QStringLiteral("select TOTAL from RP_TOTAIS where 1 = 0"));
        textTotal = probe.layout().columns().at(0).isText();
        probe.close();
    }
    ctx.progress.gaugeColour(0x008000);   // green: the totals
    ctx.progress.start(int(consumption.rows.size()));
    {
        db::Prepared insert(tx, QStringLiteral("INSERT INTO RP_TOTAIS (GRUPO, TOTAL) VALUES (?, ?)"));
        int position = 0;
        for (const auto &row : consumption.rows) {
            const db::Decimal total = row[1].toDecimal();
            insert.execute({row[0], textTotal ? db::Value::text(TotalText(total)) : db::Value::decimal(total)});
            ctx.progress.step(++position);
        }
    }
    QHash<QString, double> totals;
    {
        db::Cursor c = tx.open(QStringLiteral("select GRUPO, TOTAL from RP_TOTAIS"));
        while (c.next()) {
            const QString code = trimmedCode(c.value(0).toString());
            if (!totals.contains(code))
                totals.insert(code, TotalValue(c.value(1)));
        }
        c.close();
    }

    log.create();
    ctx.progress.gaugeColour(0x000080);   // navy: the components
    ctx.progress.start(int(products.size()));
    CostRows result = ComputeCostRows(products, totals, log.detailed());
    for (size_t i = 0; i < result.rows.size(); ++i) {
        if (staging->insert(result.rows[i]))
            ctx.op.warn(kCostSaveFailedMessage);
    }
    staging->commit();
    if (ctx.staged)
        *ctx.staged = {StagedBuild::CostOfSales, period.start, period.end};
    ctx.progress.step(int(products.size()));
    log.append(result.diagnostic);
    for (const QString &m : result.messages)
        ctx.errors.add(m);
    dm.tbl_pdEstLote.open();
    frame.hideWait(BuildProgress::Wait::Waiting);
    dm.qry_Componen.close();
    dm.qry_pdEstLote.close();
    frame.finished();
    return true;
}

bool RunCostOfProductsSold(ReportContext &ctx, TRM &rm, const ReportPeriod &period)
{
    if (!BuildCostOfProductsSold(ctx, period))
        return false;
    return PrintStagedReport(ctx, rm, rm.rvpj2, QStringLiteral("CPV"), kStoreHeaderBuildMessage);
}

void ViewCostOfProductsSold(ReportContext &ctx, TRM &rm)
{
    data::TDM &dm = ctx.dm;
    if (!OpenStoreHeader(dm, ctx.run)) {
        ctx.op.warn(kStoreHeaderViewMessage);
        return;
    }
    dm.Periodo.close();
    dm.Periodo.open();
    dm.tbl_pdEstLote.close();
    dm.tbl_pdEstLote.open();
    rm.rvstm1.execute(rm.rvpj2, QStringLiteral("CPV"));
    dm.DadosGer.close();
    dm.Periodo.close();
    dm.tbl_pdEstLote.close();
}

} // namespace reports
