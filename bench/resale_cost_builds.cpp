// The resale build and the cost of products sold on a big installation, each three ways: the
// row-by-row algorithm (at 1 000, 3 000 and 10 000 rows, with its growth), the set-based build,
// and the limit (the same reads plus the bulk inserts alone).
//   bench_resale_cost_builds --demo DIR [--products 20000] [--lots 100000] [--order-lines 100000]
// DIR is made by: makedemo --dir DIR --lots 100000. The bench works on a copy of its databases,
// whose product register, lot table and orders of the last year it refills with the asked numbers.
#include "benchfigures.h"

#include "costofsales_rowbyrow.h"
#include "resale_rowbyrow.h"

#include "core/activitylog.h"
#include "core/connections.h"
#include "core/runstate.h"
#include "data/tdm.h"
#include "db/connection.h"
#include "reports/costofsales.h"
#include "reports/resale.h"
#include "common/staging.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

namespace {

class CountingOperator : public platform::Operator {
public:
    void inform(const QString &t) override { if (++messages <= 3) std::fprintf(stderr, "message: %s\n", qPrintable(t)); }
    void warn(const QString &t) override { inform(t); }
    platform::Answer ask(const QString &t) override { inform(t); return platform::Answer::No; }
    int messages = 0;
};

QString code(int p) { return QStringLiteral("B%1").arg(p, 5, 10, QLatin1Char('0')); }

// One product in ten is resale; products are ordered by name in a different order than by code.
void refill(db::Connection &central, int products, int lots, int orderLines, const QDate &today)
{
    static const char *units[] = {"g", "mg", "kg", "ml", "UN"};
    QRandomGenerator rnd(20240307);
    db::Transaction tx(central);
    for (const char *t : {"ESTLOTE", "COMPONEN", "PEDIDOS", "COMPEDID", "PERIODO"})
        tx.execute(QStringLiteral("delete from ") + QLatin1String(t));
    tx.execute(QStringLiteral("insert into PERIODO (DATAINICIAL, DATAFINAL) values ('") + db::isoDate(today.addDays(-30))
               + QStringLiteral("', '") + db::isoDate(today) + QStringLiteral("')"));
    {
        db::Prepared ins(tx, QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, "
                                            "PRECOR, FATORDILUICAO) values (?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int p = 0; p < products; ++p) {
            const QString group = p % 10 == 0 ? QStringLiteral("REV") : p % 33 == 0 ? QStringLiteral("HOM") : QStringLiteral("MP");
            ins.execute({db::Value::text(code(p)), db::Value::text(QStringLiteral("Produto %1").arg((p * 7919) % products)),
                         db::Value::text(group), db::Value::text(QLatin1String(units[p % 5])),
                         db::Value::decimal(db::Decimal::fromDouble(0.5 + (p % 97) * 0.37, 8)),
                         db::Value::decimal(db::Decimal::fromDouble(p % 250 == 0 ? 0 : p % 9 == 0 ? 1000 : 1, 8)),
                         db::Value::decimal(db::Decimal::fromDouble(1.5 + (p % 89) * 1.1, 8)),
                         db::Value::decimal(db::Decimal::fromDouble(1, 8))});
        }
    }
    {
        db::Prepared ins(tx, QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, UNIDADE, "
                                            "VALIDADE, LABORATORIO, SITUACAO) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int l = 0; l < lots; ++l) {
            const int p = int(rnd.bounded(products));
            ins.execute({db::Value::text(QStringLiteral("Produto %1").arg(p)), db::Value::text(QStringLiteral("L%1").arg(l, 7, 10, QLatin1Char('0'))),
                         db::Value::text(QStringLiteral("Fornecedor %1").arg(l % 40)), db::Value::text(code(p)),
                         db::Value::decimal(db::Decimal::fromDouble(rnd.bounded(10) == 0 ? 0 : rnd.bounded(5000.0), 8)),
                         db::Value::text(QLatin1String(units[p % 5])), db::Value::date(today.addDays(int(rnd.bounded(900)) - 150)),
                         db::Value::text(QStringLiteral("Lab %1").arg(l % 3)), db::Value::text(QStringLiteral("Aprovado"))});
        }
    }
    {
        // Five lines an order over the last year; a few estimates, drops and lines without a unit.
        db::Prepared order(tx, QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) values (?, ?, ?, ?)"));
        db::Prepared line(tx, QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, CODIGOCOMP, QDEESTOQUE, UNID) values (?, ?, ?, ?, ?)"));
        for (int l = 0; l < orderLines; ++l) {
            const int n = l / 5;
            if (l % 5 == 0)
                order.execute({db::Value::text(QStringLiteral("01")), db::Value::integer(n),
                               db::Value::text(n % 20 == 0 ? QStringLiteral("Orcamento") : QStringLiteral("Pedido")),
                               db::Value::date(today.addDays(-int(rnd.bounded(365))))});
            const int p = int(rnd.bounded(products));
            line.execute({db::Value::text(QStringLiteral("01")), db::Value::integer(n), db::Value::text(code(p)),
                          db::Value::decimal(db::Decimal::fromDouble(rnd.bounded(50.0), 8)),
                          l % 50 == 0 ? db::Value::text(QStringLiteral("gts")) : l % 77 == 0 ? db::Value() : db::Value::text(QLatin1String(units[p % 5]))});
        }
    }
    tx.commit();
}

std::vector<reports::StagingRow> stagedRows(db::Connection &ws)
{
    std::vector<reports::StagingRow> staged;
    db::Transaction tx(ws);
    db::Cursor c = tx.open(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from RELESTLOTE"));
    while (c.next()) {
        reports::StagingRow r;
        r.descricao = c.value(0).toString(); r.lote = c.value(1).toString(); r.fornecedor = c.value(2).toString();
        r.codigo = c.value(3).toString(); r.saldoCorrente = c.value(5).toDouble(); r.unidade = c.value(6).toString();
        r.laboratorio = c.value(13).toString(); r.precoCusto = c.value(15).toDouble(); r.precoVenda = c.value(16).toDouble();
        r.estoqueCusto = c.value(17).toDouble(); r.estoqueVenda = c.value(18).toDouble();
        staged.push_back(r);
    }
    return staged;
}

// Reads every column of a statement, decoded as the builds decode them.
void readAll(db::Transaction &tx, const QString &sql)
{
    db::Cursor c = tx.open(sql);
    qsizetype n = 0;
    const int columns = c.layout().columnCount();
    while (c.next())
        for (int i = 0; i < columns; ++i)
            n += c.value(i).toString().size();
}

void report(const char *name, int units, const char *unitName, const std::vector<std::pair<int, bench::Measure>> &rowByRow,
            const bench::Measure &setBased, const bench::Measure &limit)
{
    std::printf("%s (%d %s)\n", name, units, unitName);
    double perUnit = 0;
    const bench::Measure *previous = nullptr;
    int previousN = 0;
    for (const auto &[n, m] : rowByRow) {
        std::printf("  row by row, first %6d %s : %10.1f ms  %8llu statements", n, unitName, m.ms, (unsigned long long)m.statements);
        if (previous)
            std::printf("  (x%.1f time for x%.1f rows)", m.ms / previous->ms, double(n) / previousN);
        std::printf("\n");
        previous = &m;
        previousN = n;
        perUnit = m.ms / n;
    }
    const double all = perUnit * units;
    if (!rowByRow.empty())
        std::printf("  row by row, all %d %s   : %10.1f ms  at least, at its last rate\n", units, unitName, all);
    std::printf("  set-based build               : %10.1f ms  %8llu statements\n", setBased.ms, (unsigned long long)setBased.statements);
    std::printf("  limit (reads + bulk inserts)  : %10.1f ms  %8llu statements\n", limit.ms, (unsigned long long)limit.statements);
    std::printf("  set-based / limit             : %10.2f   (aim: under 2)\n", setBased.ms / limit.ms);
    if (!rowByRow.empty())
        std::printf("  row by row / set-based        : %10.0f   at least (aim: 50 or more)\n", all / setBased.ms);
    std::printf("\n");
}

} // namespace

const char kUsage[] = "usage: bench_resale_cost_builds --demo DIR [--products N] [--lots N] [--order-lines N]\n"
                      "                                [--rowbyrow N,N,...|none]\n"
                      "  DIR made by: makedemo --dir DIR --lots 100000; refilled (on a copy) with N products\n"
                      "  (20000), N lots (100000) and N order lines of the last year (100000); the row-by-row\n"
                      "  algorithms run at the sizes given (1000,3000,10000), or not at all with none\n";

static int measure(const QString &demo, int products, int lotCount, int orderLines, const std::vector<int> &sizes);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);   // figures show as they come, also into a file
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("demo"), QStringLiteral("demo installation folder"), QStringLiteral("DIR")});
        p.addOption({QStringLiteral("products"), QStringLiteral("products in the register"), QStringLiteral("N"), QStringLiteral("20000")});
        p.addOption({QStringLiteral("lots"), QStringLiteral("lots"), QStringLiteral("N"), QStringLiteral("100000")});
        p.addOption({QStringLiteral("order-lines"), QStringLiteral("order lines of the last year"), QStringLiteral("N"), QStringLiteral("100000")});
        p.addOption({QStringLiteral("rowbyrow"), QStringLiteral("sizes the row-by-row algorithms run at, or none"), QStringLiteral("N,N,..."),
                     QStringLiteral("1000,3000,10000")});
        bench::parseArguments(p);
        std::vector<int> sizes;
        if (p.value(QStringLiteral("rowbyrow")) != QStringLiteral("none")) {
            for (const QString &n : p.value(QStringLiteral("rowbyrow")).split(QLatin1Char(','))) {
                bool ok = false;
                const int size = n.toInt(&ok);
                if (!ok || size < 1)
                    throw bench::UsageError{QStringLiteral("--rowbyrow takes sizes separated by commas, or none")};
                sizes.push_back(size);
            }
        }
        const QString demo = bench::requireDemo(p);
        return measure(demo, bench::wholeNumber(p, QStringLiteral("products")), bench::wholeNumber(p, QStringLiteral("lots")),
                       bench::wholeNumber(p, QStringLiteral("order-lines")), sizes);
    });
}

static int measure(const QString &demo, int products, int lotCount, int orderLines, const std::vector<int> &sizes)
{
    const QString central = demo + QStringLiteral("/c/FORMULIX/Dados/FORMULIX.BD");

    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(QStringLiteral("c/FORMULIX/Dados"));
    QDir(tmp.path()).mkpath(QStringLiteral("c/FORMULIX/interfac01"));
    QFile::copy(central, tmp.filePath(QStringLiteral("c/FORMULIX/Dados/FORMULIX.BD")));
    QFile::copy(demo + QStringLiteral("/c/FORMULIX/interfac01/formulix.bd"), tmp.filePath(QStringLiteral("c/FORMULIX/interfac01/formulix.bd")));

    platform::SystemClock clock;
    CountingOperator op;
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

    std::printf("Refilling with %d products, %d lots and %d order lines...\n", products, lotCount, orderLines);
    std::fflush(stdout);
    refill(dm.SQLConnection1, products, lotCount, orderLines, clock.today());
    const QDate today = clock.today();
    reports::ConsistencyErrors errors;
    reports::NoProgress progress;
    reports::ReportContext ctx{dm, run, clock, paths, op, progress, errors};

    // ---- resale
    const int resaleProducts = int(dm.SQLConnection1.query(QStringLiteral("select count(*) from COMPONEN where UPPER(GRUPO) = 'REV'")).rows[0][0].toInt());
    std::vector<std::pair<int, bench::Measure>> rowByRow;
    for (int n : sizes) {
        if (n > resaleProducts)
            break;
        rowByRow.push_back({n, bench::measure([&] { reference::BuildResaleRowByRow(dm, clock, errors, n); })});
    }
    // Once to warm the server's cache as the row-by-row runs warmed it, then measured.
    const bench::Measure resaleCold = bench::measure([&] { reports::BuildResaleStaging(ctx); });
    dm.tbl_pdEstLote.close();
    const bench::Measure resale = bench::measure([&] { reports::BuildResaleStaging(ctx); });
    std::printf("(resale set-based build, first run: %.1f ms)\n", resaleCold.ms);
    dm.tbl_pdEstLote.close();
    const int resaleRows = int(dm.SQLConnection2.query(QStringLiteral("select count(*) from RELESTLOTE")).rows[0][0].toInt());
    std::vector<reports::StagingRow> staged = stagedRows(dm.SQLConnection2);
    const bench::Measure resaleLimit = bench::measure([&] {
        db::Transaction reads(dm.SQLConnection1);
        readAll(reads, reports::ResaleLotStatement(today));
        reads.commit();
        reports::StagingReplacement replace(dm.SQLConnection2);
        replace.clear();
        for (const reports::StagingRow &r : staged)
            replace.insert(r);
        replace.commit();
    });
    std::printf("(%d resale rows staged)\n", resaleRows);
    report("Resale build", resaleProducts, "products", rowByRow, resale, resaleLimit);

    // ---- cost of products sold over the last year
    const reports::ReportPeriod year{today.addDays(-365), today};
    const int components = int(dm.SQLConnection1.query(QStringLiteral("select count(*) from COMPONEN where GRUPO <> 'REV'")).rows[0][0].toInt());
    rowByRow.clear();
    for (int n : sizes) {
        if (n > components)
            break;
        rowByRow.push_back({n, bench::measure([&] { reference::BuildCostRowByRow(dm, run, paths, year, errors, n); })});
    }
    const bench::Measure costCold = bench::measure([&] { reports::BuildCostOfProductsSold(ctx, year); });
    dm.tbl_pdEstLote.close();
    const bench::Measure cost = bench::measure([&] { reports::BuildCostOfProductsSold(ctx, year); });
    std::printf("(cost set-based build, first run: %.1f ms)\n", costCold.ms);
    dm.tbl_pdEstLote.close();
    staged = stagedRows(dm.SQLConnection2);
    std::vector<std::pair<QString, QString>> totals;
    for (const auto &r : dm.SQLConnection2.query(QStringLiteral("select GRUPO, TOTAL from RP_TOTAIS")).rows)
        totals.push_back({r[0].toString(), r[1].toString()});
    const bench::Measure costLimit = bench::measure([&] {
        db::Transaction reads(dm.SQLConnection1);
        readAll(reads, reports::CostComponentStatement(run.siteConfig.IncludeDiluted));
        readAll(reads, reports::ConsumptionStatement(year, today));
        reads.commit();
        reports::StagingReplacement replace(dm.SQLConnection2);
        replace.clear();
        replace.transaction().execute(QStringLiteral("Delete from RP_TOTAIS"));
        {
            db::Prepared ins(replace.transaction(), QStringLiteral("INSERT INTO RP_TOTAIS (GRUPO, TOTAL) VALUES (?, ?)"));
            for (const auto &[g, t] : totals)
                ins.execute({db::Value::text(g), db::Value::text(t)});
        }
        for (const reports::StagingRow &r : staged)
            replace.insert(r);
        replace.commit();
    });
    std::printf("(%zu totals, %zu staging rows)\n", totals.size(), staged.size());
    report("Cost of products sold, one year", components, "components", rowByRow, cost, costLimit);
    return 0;
}
