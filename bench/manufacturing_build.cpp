// The manufacturing physical/financial build on a big installation, three ways in one run:
// the lot-by-lot algorithm through the data module's hooks (the reference, on the first lots
// only: it reloads the staging table after every row), the set-based build, and the limit (the
// same two reads and the bulk insert alone). Then the listing report's time to its first page
// in the preview over every lot.
//   bench_manufacturing_build --demo DIR [--products 5000] [--lots 100000] [--rowbyrow-lots 2000]
// DIR is made by: makedemo --dir DIR --lots 100000. The bench works on a copy of its databases,
// whose lot table and product register it refills with the asked numbers of lots and products.
#include "benchfigures.h"

#include "manufacturing_rowbyrow.h"

#include "core/activitylog.h"
#include "core/connections.h"
#include "core/runstate.h"
#include "data/tdm.h"
#include "db/connection.h"
#include "reports/engine/previewdialog.h"
#include "reports/manufacturing.h"
#include "common/staging.h"
#include "reports/trm.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPrintPreviewWidget>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

namespace {

class PrintingOperator : public platform::Operator {
public:
    void inform(const QString &t) override { ++messages; if (messages <= 3) std::fprintf(stderr, "message: %s\n", qPrintable(t)); }
    void warn(const QString &t) override { inform(t); }
    platform::Answer ask(const QString &t) override { inform(t); return platform::Answer::No; }
    int messages = 0;
};

// The lot table and product register the bench measures on.
void refill(db::Connection &central, int products, int lots, const QDate &today)
{
    static const char *units[][2] = {{"g", "mg"}, {"g", "g"}, {"mg", "mg"}, {"kg", "g"}, {"ml", "l"}, {"ml", "ml"}, {"g", "MG"}};
    QRandomGenerator rnd(20240307);
    db::Transaction tx(central);
    tx.execute(QStringLiteral("delete from ESTLOTE"));
    tx.execute(QStringLiteral("delete from COMPONEN"));
    {
        db::Prepared ins(tx, QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, "
                                            "PRECOR, FATORDILUICAO) values (?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int p = 0; p < products; ++p) {
            const int kind = p % 7;
            const QString group = p % 20 == 0 ? QStringLiteral("REV") : p % 33 == 0 ? QStringLiteral("HOM") : QStringLiteral("MP");
            ins.execute({db::Value::text(QStringLiteral("B%1").arg(p, 5, 10, QLatin1Char('0'))),
                         db::Value::text(QStringLiteral("Insumo de teste número %1").arg(p)), db::Value::text(group),
                         db::Value::text(QLatin1String(units[kind][0])),
                         db::Value::decimal(db::Decimal::fromDouble(0.5 + (p % 97) * 0.37, 8)),
                         db::Value::decimal(db::Decimal::fromDouble(p % 250 == 0 ? 0 : p % 9 == 0 ? 1000 : 1, 8)),
                         db::Value::decimal(db::Decimal::fromDouble(1.5 + (p % 89) * 1.1, 8)),
                         db::Value::decimal(db::Decimal::fromDouble(p % 11 == 0 ? 100 : 1, 8))});
        }
    }
    {
        db::Prepared ins(tx, QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, UNIDADE, "
                                            "VALIDADE, LABORATORIO, SITUACAO) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int l = 0; l < lots; ++l) {
            const int p = int(rnd.bounded(products));
            const int kind = p % 7;
            const int days = int(rnd.bounded(900)) - 150;   // about one lot in six has expired
            ins.execute({db::Value::text(QStringLiteral("Insumo de teste número %1").arg(p)),
                         db::Value::text(QStringLiteral("L%1").arg(l, 7, 10, QLatin1Char('0'))),
                         db::Value::text(QStringLiteral("Fornecedor %1").arg(l % 40)),
                         db::Value::text(QStringLiteral("B%1").arg(p, 5, 10, QLatin1Char('0'))),
                         db::Value::decimal(db::Decimal::fromDouble(rnd.bounded(10) == 0 ? 0 : rnd.bounded(5000.0), 8)),
                         db::Value::text(QLatin1String(units[kind][1])), db::Value::date(today.addDays(days)),
                         db::Value::text(QStringLiteral("Lab %1").arg(l % 3)), db::Value::text(QStringLiteral("Aprovado"))});
        }
    }
    tx.commit();
}

int count(db::Connection &c, const QString &table)
{
    return int(c.query(QStringLiteral("select count(*) from ") + table).rows[0][0].toInt());
}

// The preview as the operator gets it, timed to its first page on screen.
struct TimedPreview : reports_engine::RunView {
    QElapsedTimer clock;
    double laidOutMs = 0, firstPageMs = 0;
    int pages = 0;
    void generationEnded() override { laidOutMs = double(clock.nsecsElapsed()) / 1e6; }
    void present(const reports_engine::PageModel &model, const std::vector<reports_engine::FileRenderer> &r) override
    {
        reports_engine::PreviewDialog dialog(model, r, nullptr);
        dialog.show();
        while (dialog.preview->pageCount() == 0 && clock.elapsed() < 600000)
            QCoreApplication::processEvents();
        firstPageMs = double(clock.nsecsElapsed()) / 1e6;
        pages = dialog.pageCount();
    }
};

} // namespace

const char kUsage[] = "usage: bench_manufacturing_build --demo DIR [--products N] [--lots N] [--rowbyrow-lots N]\n"
                      "  DIR made by: makedemo --dir DIR --lots 100000; its lot table is refilled (on a copy) with\n"
                      "  N lots (100000) of N products (5000); the lot-by-lot reference runs over the first\n"
                      "  --rowbyrow-lots lots (2000)\n";

static int measure(const QString &demo, int products, int lotCount, int rowByRowLots);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("demo"), QStringLiteral("demo installation folder"), QStringLiteral("DIR")});
        p.addOption({QStringLiteral("products"), QStringLiteral("products in the register"), QStringLiteral("N"), QStringLiteral("5000")});
        p.addOption({QStringLiteral("lots"), QStringLiteral("lots"), QStringLiteral("N"), QStringLiteral("100000")});
        p.addOption({QStringLiteral("rowbyrow-lots"), QStringLiteral("lots the lot-by-lot reference runs over"), QStringLiteral("N"),
                     QStringLiteral("2000")});
        bench::parseArguments(p);
        const QString demo = bench::requireDemo(p);
        return measure(demo, bench::wholeNumber(p, QStringLiteral("products")), bench::wholeNumber(p, QStringLiteral("lots")),
                       bench::wholeNumber(p, QStringLiteral("rowbyrow-lots")));
    });
}

static int measure(const QString &demo, int products, int lotCount, int rowByRowLots)
{
    const QString central = demo + QStringLiteral("/c/FORMULIX/Dados/FORMULIX.BD");

    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(QStringLiteral("c/FORMULIX/Dados"));
    QDir(tmp.path()).mkpath(QStringLiteral("c/FORMULIX/interfac01"));
    QDir(tmp.path()).mkpath(QStringLiteral("c/FORMULIX/rpt"));
    QFile::copy(central, tmp.filePath(QStringLiteral("c/FORMULIX/Dados/FORMULIX.BD")));
    QFile::copy(demo + QStringLiteral("/c/FORMULIX/interfac01/formulix.bd"), tmp.filePath(QStringLiteral("c/FORMULIX/interfac01/formulix.bd")));
    for (const QString &f : QDir(demo + QStringLiteral("/c/FORMULIX/rpt")).entryList(QDir::Files))
        QFile::copy(demo + QStringLiteral("/c/FORMULIX/rpt/") + f, tmp.filePath(QStringLiteral("c/FORMULIX/rpt/")) + f);

    platform::SystemClock clock;
    PrintingOperator op;
    platform::WinPaths paths = platform::WinPaths::parse(QStringLiteral("C: = c\n"), tmp.path());
    core::RunState run;
    run.UserName = QStringLiteral("BENCH");
    run.WorkstationCode = QStringLiteral("01");
    run.siteConfig.IncludeDiluted = QStringLiteral("S");
    core::Connections connections(paths);
    connections.SQLConnection1.configure(db::Target{tmp.filePath(QStringLiteral("c/FORMULIX/Dados/FORMULIX.BD")), true, true});
    connections.SQLConnection2.configure(db::Target{tmp.filePath(QStringLiteral("c/FORMULIX/interfac01/formulix.bd")), true, true});
    core::ActivityLog log(clock, paths);
    data::TDM dm(run, connections, log, op);

    std::printf("Refilling the lot table with %d lots of %d products...\n", lotCount, products);
    std::fflush(stdout);
    refill(dm.SQLConnection1, products, lotCount, clock.today());
    const int qualifying = int(dm.SQLConnection1.query(reports::ManufacturingLotStatement(clock.today())).rows.size());
    std::printf("  %d lots, %d of them with a balance and not expired\n\n", lotCount, qualifying);

    // 1. Lot by lot, on the first lots only.
    reports::ConsistencyErrors errors;
    const bench::Measure rowByRow = bench::measure([&] {
        reference::BuildRowByRow(dm, run, clock, paths, [&op] { return op.messages; }, errors, rowByRowLots);
    });
    const int rowByRowRows = count(dm.SQLConnection2, QStringLiteral("RELESTLOTE"));
    dm.tbl_pdEstLote.close();
    dm.cds_EstLoteRel.close();

    // 2. Set-based, the whole table.
    reports::NoProgress progress;
    reports::ReportContext ctx{dm, run, clock, paths, op, progress, errors};
    const bench::Measure setBased = bench::measure([&] { reports::BuildManufacturingStaging(ctx); });
    const int rows = count(dm.SQLConnection2, QStringLiteral("RELESTLOTE"));
    dm.tbl_pdEstLote.close();

    // 3. The limit: the same reads and the bulk insert of the same rows, nothing else.
    std::vector<reports::StagingRow> staged;
    {
        db::Transaction tx(dm.SQLConnection2);
        db::Cursor c = tx.open(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from RELESTLOTE"));
        while (c.next()) {
            reports::StagingRow r;
            r.descricao = c.value(0).toString(); r.lote = c.value(1).toString(); r.fornecedor = c.value(2).toString();
            r.codigo = c.value(3).toString(); r.saldoCorrente = c.value(5).toDouble(); r.unidade = c.value(6).toString();
            r.laboratorio = c.value(13).toString(); r.precoCusto = c.value(15).toDouble(); r.precoVenda = c.value(16).toDouble();
            r.estoqueCusto = c.value(17).toDouble(); r.estoqueVenda = c.value(18).toDouble();
            staged.push_back(r);
        }
    }
    const bench::Measure limit = bench::measure([&] {
        db::Transaction reads(dm.SQLConnection1);
        for (const QString &sql : {reports::ManufacturingLotStatement(clock.today()),
                                   reports::ManufacturingProductStatement(run.siteConfig.IncludeDiluted)}) {
            // Every column the build reads, decoded as the build decodes it.
            db::Cursor c = reads.open(sql);
            qsizetype n = 0;
            const int columns = c.layout().columnCount();
            while (c.next()) {
                for (int i = 0; i < columns; ++i)
                    n += c.value(i).toString().size();
            }
        }
        reads.commit();
        reports::StagingReplacement replace(dm.SQLConnection2);
        replace.clear();
        for (const reports::StagingRow &r : staged)
            replace.insert(r);
        replace.commit();
    });

    const double perLot = rowByRow.ms / std::max(1, rowByRowLots);
    const double rowByRowAll = perLot * qualifying;
    std::printf("Manufacturing build (%d lots, %d products, %d staging rows)\n", lotCount, products, rows);
    std::printf("  lot by lot, first %d lots   : %10.1f ms  %8llu statements  (%d rows staged)\n", rowByRowLots, rowByRow.ms,
                (unsigned long long)rowByRow.statements, rowByRowRows);
    std::printf("  lot by lot, all %d lots  : %10.1f ms  at least, at its per-lot rate (it grows with the rows)\n",
                qualifying, rowByRowAll);
    std::printf("  set-based build             : %10.1f ms  %8llu statements\n", setBased.ms, (unsigned long long)setBased.statements);
    std::printf("  limit (reads + bulk insert) : %10.1f ms  %8llu statements\n", limit.ms, (unsigned long long)limit.statements);
    std::printf("  set-based / limit           : %10.2f   (aim: under 2)\n", setBased.ms / limit.ms);
    std::printf("  lot by lot / set-based      : %10.0f   at least (aim: 50 or more)\n\n", rowByRowAll / setBased.ms);

    // The listing over every lot, to the preview's first page.
    reports::TRM rm(dm, paths, clock, op);
    rm.PanelOpened();
    TimedPreview view;
    rm.rvstm1.setView(&view);
    dm.ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE order by DESCRICAO"));
    QElapsedTimer openTimer;
    openTimer.start();
    dm.ESTLOTE.open();
    const double openMs = double(openTimer.nsecsElapsed()) / 1e6;
    view.clock.start();
    rm.ListStock();
    std::printf("Listing report over %d lots (grid dataset opened in %.0f ms)\n", dm.ESTLOTE.rowCount(), openMs);
    std::printf("  pages planned              : %10.1f ms  (%d pages)\n", view.laidOutMs, view.pages);
    std::printf("  first page in the preview   : %10.1f ms\n", view.firstPageMs);
    return 0;
}
