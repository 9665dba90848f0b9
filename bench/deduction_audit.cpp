// The deduction audit for one product: set-based against line by line at 1 000, 3 000 and 10 000
// order lines (with the growth of each), and at 100 000 lines against the order query plus the
// one movement query alone. Prints times, ratios and the statements sent; asserts nothing.
#include "benchfigures.h"

#include "../tests/exports/auditreference.h"
#include "db/connection.h"
#include "exports/deductionaudit.h"
#include "platform/winpath.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Order lines of one product over March 2024: nine in ten deducted (one in fifty with another
// quantity), one in ten not; one in twenty homeopathic. Each line is its own order.
void fill(db::Connection &conn, const QString &product, int lines, int &nextOrder)
{
    db::Transaction tx(conn);
    db::Prepared order(tx, QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) values (?, ?, ?, ?)"));
    db::Prepared comp(tx, QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, COMPONENTE, QDEESTOQUE, UNID, "
                                         "LOTE, GRUPO, FORNECEDOR) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    db::Prepared move(tx, QStringLiteral("insert into MOVEST (ESTACAO, NPEDIDO, NFORMULA, DESCRICAO, QUANTIDADE, UNIDADE, "
                                         "LOTE, FORNECEDOR, DATA) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QString upper = product.toUpper();
    for (int i = 0; i < lines; ++i) {
        const int n = nextOrder++;
        const QString st = QStringLiteral("%1").arg(1 + n % 9, 2, 10, QLatin1Char('0'));
        const QDate day = QDate(2024, 3, 1).addDays(i % 31);
        const QString lot = QStringLiteral("L%1").arg(i % 97);
        const QString supplier = QStringLiteral("Fornecedor %1").arg(i % 13);
        const db::Value qty = db::Value::decimal(db::Decimal{int64_t(100000 + (i % 1000) * 12345), 5});
        order.execute({db::Value::text(st), db::Value::integer(n), db::Value::text(QStringLiteral("Pedido")), db::Value::date(day)});
        comp.execute({db::Value::text(st), db::Value::integer(n), db::Value::integer(1), db::Value::text(product), qty,
                      db::Value::text(QStringLiteral("G")), db::Value::text(lot),
                      db::Value::text(i % 20 == 0 ? QStringLiteral("HOM") : QStringLiteral("MP")), db::Value::text(supplier)});
        if (i % 10 == 9)
            continue;
        const db::Value moved = i % 50 == 0 ? db::Value::decimal(db::Decimal{1, 0}) : qty;
        move.execute({db::Value::text(st), db::Value::integer(n), db::Value::integer(1), db::Value::text(upper), moved,
                      db::Value::text(QStringLiteral("G")), db::Value::text(lot), db::Value::text(supplier.toUpper()),
                      db::Value::date(day)});
    }
    tx.commit();
}

} // namespace

const char kUsage[] = "usage: bench_deduction_audit --sql DIR\n"
                      "  DIR: the folder of the central tables' script (sql, holding central.sql); the fixture\n"
                      "  is built in a new database in a temporary folder\n";

static int measure(const QString &script);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("sql"), QStringLiteral("folder of central.sql"), QStringLiteral("DIR")});
        bench::parseArguments(p);
        return measure(bench::centralScript(p));
    });
}

static int measure(const QString &script)
{
    bench::ScratchCentral scratch(script);
    QTemporaryDir &dir = scratch.dir;
    db::Connection &conn = scratch.conn;
    const platform::WinPaths paths = platform::WinPaths::parse(QStringLiteral("C: = c\n"), dir.path());

    QElapsedTimer t;
    t.start();
    int nextOrder = 1;
    const int sizes[] = {1000, 3000, 10000, 100000};
    for (int n : sizes)
        fill(conn, QStringLiteral("produto %1").arg(n), n, nextOrder);
    fill(conn, QStringLiteral("outro produto"), 20000, nextOrder);   // rows the audit must pass by
    // A database in use carries index statistics (made when an index is built or the database
    // restored); indexes made on empty tables have none until recomputed.
    for (const auto &r : conn.query(QStringLiteral("select trim(RDB$INDEX_NAME) from RDB$INDICES "
                                                    "where coalesce(RDB$SYSTEM_FLAG, 0) = 0")).rows)
        conn.execute(QStringLiteral("SET STATISTICS INDEX ") + r[0].toString());
    std::printf("fixture: %d order lines written in %.0f ms\n", nextOrder - 1, bench::ms(t));

    const QDate start(2024, 3, 1), end(2024, 3, 31);
    double prevSet = 0, prevRow = 0;
    for (int n : {1000, 3000, 10000}) {
        const QString product = QStringLiteral("produto %1").arg(n);
        exports::RunDeductionAudit(conn, paths, start, end, product);   // warm the page cache
        uint64_t s0 = db::statementsIssued();
        t.restart();
        const exports::AuditResult set = exports::RunDeductionAudit(conn, paths, start, end, product);
        const double setMs = bench::ms(t);
        const uint64_t setStatements = db::statementsIssued() - s0;
        s0 = db::statementsIssued();
        t.restart();
        const exports::AuditReport row = testsupport::RunAuditLineByLine(conn, start, end, product);
        const double rowMs = bench::ms(t);
        const uint64_t rowStatements = db::statementsIssued() - s0;
        const bool same = set.report.allLines() == row.allLines() && set.report.failureLines() == row.failureLines();
        t.restart();
        exports::ReadOrderLines(conn, start, end, product);
        conn.query(exports::PeriodMovementsQuery(start, end, product));
        const double queriesMs = bench::ms(t);
        std::printf("%6d lines: set-based %8.1f ms (%llu statements)  line by line %9.1f ms (%llu statements)  "
                    "ratio %.1f  same lines: %s  (the two queries alone %.1f ms)",
                    n, setMs, (unsigned long long)setStatements, rowMs, (unsigned long long)rowStatements, rowMs / setMs,
                    same ? "yes" : "NO", queriesMs);
        if (prevSet > 0)
            std::printf("  growth: set x%.1f, line by line x%.1f", setMs / prevSet, rowMs / prevRow);
        std::printf("\n");
        prevSet = setMs;
        prevRow = rowMs;
    }

    const QString product = QStringLiteral("produto 100000");
    exports::RunDeductionAudit(conn, paths, start, end, product);
    const uint64_t s0 = db::statementsIssued();
    t.restart();
    const exports::AuditResult set = exports::RunDeductionAudit(conn, paths, start, end, product);
    const double setMs = bench::ms(t);
    const uint64_t statements = db::statementsIssued() - s0;
    {
        QElapsedTimer fold;
        fold.start();
        exports::AuditReport again;
        const auto orderLines = exports::ReadOrderLines(conn, start, end, product);
        const double readMs = bench::ms(fold);
        fold.restart();
        for (const auto &l : orderLines)
            again.add(l, std::nullopt);
        again.finish();
        std::printf("100000 lines: reading the order lines %.1f ms, laying out the lines alone %.1f ms\n", readMs,
                    bench::ms(fold));
    }
    t.restart();
    const auto lines = exports::ReadOrderLines(conn, start, end, product);
    const db::Rows moves = conn.query(exports::PeriodMovementsQuery(start, end, product));
    const double queriesMs = bench::ms(t);
    std::printf("100000 lines: set-based audit %.1f ms (%llu statements, %d lines, %zu movements); the two queries "
                "alone %.1f ms; ratio %.2f (aim < 2)\n",
                setMs, (unsigned long long)statements, set.report.lineCount(), moves.rows.size(), queriesMs,
                setMs / queriesMs);
    std::printf("line by line at 100000, from the 10000 figure: ~%.0f s, 100001 statements\n", prevRow * 10 / 1000);
    (void)lines;
    // The order query as written, for comparison of plans.
    t.restart();
    const db::Rows written = conn.query(exports::OrderQuery(start, QDate(2024, 3, 1), product));
    std::printf("the order query as written, one day of the 100000-line product (%zu lines): %.1f ms\n",
                written.rows.size(), bench::ms(t));
    return 0;
}
