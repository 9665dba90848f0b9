// The controlled-substance book of a year: 200 controlled substances (half with a DCB), 2 000
// controlled lots, and MOVEST holding a year of movements (a month before the year among them)
// of which a share are of the controlled lots; order lines for the controlled orders, a few
// never deducted; purchases; balances that close. Built set-based inside the engine.
// Prints, for each size of MOVEST (10 000, 100 000 and 1 000 000 rows by default): the time
// from the period confirmed to the book built and its first page laid out and painted, the
// statements sent and the rows read, the page count (a later page made on demand too), and
// the ratio to the smallest size. With --server the database is reached through the Firebird
// server at that host. Asserts nothing.
#include "benchmain.h"

#include "controlled/book.h"
#include "controlled/bookoutput.h"
#include "controlled/bookread.h"
#include "db/connection.h"
#include "platform/winpath.h"
#include "reports/engine/render.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

double msSince(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

QString numbers(int digits)
{
    QString from, sum;
    for (int i = 0; i < digits; ++i) {
        from += (i ? QStringLiteral(", ") : QString()) + QStringLiteral("DIGITOS D%1").arg(i);
        sum += (i ? QStringLiteral(" + ") : QString()) + QStringLiteral("D%1.D * %2").arg(i).arg(qlonglong(std::pow(10, i)));
    }
    return QStringLiteral("(select ") + sum + QStringLiteral(" as N from ") + from + QStringLiteral(")");
}

constexpr int kSubstances = 200, kLots = 2000;

void build(db::Connection &conn, int movements, int controlledPercent)
{
    conn.execute(QStringLiteral("create table DIGITOS (D integer)"));
    for (int d = 0; d < 10; ++d)
        conn.execute(QStringLiteral("insert into DIGITOS values (%1)").arg(d));
    const int digits = int(std::lround(std::log10(movements)));
    conn.execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, UNID, CONTROLADA, DCB) select 'C' || N, "
                                "'SUBSTANCIA ' || N, 'G', 'Sim', iif(mod(N, 2) = 0, 'DCB' || N, null) from ")
                 + numbers(3) + QStringLiteral(" where N < %1").arg(kSubstances));
    conn.execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, UNID, CONTROLADA) select 'N' || N, "
                                "'PRODUTO ' || N, 'G', 'Não' from ")
                 + numbers(4));
    // Controlled lots: product mod(lot, 200), supplier mod(lot, 20); 100 kg bought in December.
    conn.execute(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, "
                                "UNIDADE, CONTROLADA) select 'C' || mod(N, %1), 'SUBSTANCIA ' || mod(N, %1), 'L' || N, "
                                "'FORN ' || mod(N, 20), 'LOJA', 100000, 'g', 'Sim' from ")
                     .arg(kSubstances)
                 + numbers(4) + QStringLiteral(" where N < %1").arg(kLots));
    conn.execute(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, "
                                "UNIDADE, CONTROLADA) select 'N' || N, 'PRODUTO ' || N, 'X' || N, 'FORN 1', 'LOJA', 50, "
                                "'g', 'Não' from ")
                 + numbers(4));
    conn.execute(QStringLiteral("insert into COMPRAS (ESTACAO, CODCOMPRA, DATA, NOTAFISCAL, FORNECEDOR, CODIGO, COMPONENTE, "
                                "LOTE, QUANTIDADE, UNIDADE, CODIGOFORNECEDOR, LABORATORIO) select '01', N, date "
                                "'2023-11-15', N, 'FORN ' || mod(N, 20), 'C' || mod(N, %1), 'SUBSTANCIA ' || mod(N, %1), "
                                "'L' || N, 100, 'KG', '0001', 'LOJA' from ")
                     .arg(kSubstances)
                 + numbers(4) + QStringLiteral(" where N < %1").arg(kLots));
    // MOVEST: the first share of the rows are the controlled lots' (orders weighed in g or mg,
    // one in fifty a loss, one in a hundred a quality-control use), the rest other products'.
    const int controlled = int(qlonglong(movements) * controlledPercent / 100);
    conn.execute(QStringLiteral("insert into MOVEST (CODMOVEST, ESTACAO, NPEDIDO, NFORMULA, CODPERDA, CODIGOCQ, CODPROD, "
                                "FORNECEDOR, LOTE, DATA, DESCRICAO, QUANTIDADE, UNIDADE, LABORATORIO, CONTROLADA) select "
                                "N, '01', iif(mod(N, 50) = 0 or mod(N, 100) = 1, null, N), 1, iif(mod(N, 50) = 0, N, null), "
                                "iif(mod(N, 100) = 1, N, null), 'C' || mod(mod(N, %1), %2), 'FORN ' || mod(mod(N, %1), 20), "
                                "'L' || mod(N, %1), date '2023-12-01' + mod(N, 397), 'SUBSTANCIA ' || mod(mod(N, %1), %2), "
                                "iif(mod(N, 3) = 0, 500, 1), iif(mod(N, 3) = 0, 'MG', 'g'), 'LOJA', 'Sim' from ")
                     .arg(kLots)
                     .arg(kSubstances)
                 + numbers(digits) + QStringLiteral(" where N < %1").arg(controlled));
    conn.execute(QStringLiteral("insert into MOVEST (CODMOVEST, ESTACAO, NPEDIDO, NFORMULA, CODPROD, FORNECEDOR, LOTE, DATA, "
                                "DESCRICAO, QUANTIDADE, UNIDADE, LABORATORIO, CONTROLADA) select N, '01', N, 1, 'N' || "
                                "mod(N, 10000), 'FORN 1', 'X' || mod(N, 10000), date '2023-12-01' + mod(N, 397), "
                                "'PRODUTO ' || mod(N, 10000), 1, 'g', 'LOJA', 'Não' from ")
                 + numbers(digits) + QStringLiteral(" where N >= %1").arg(controlled));
    // The controlled orders and their lines; one order in 500 has a second line never deducted.
    conn.execute(QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) select '01', NPEDIDO, "
                                "'Pedido', DATA from MOVEST where CONTROLADA = 'Sim' and NPEDIDO is not null"));
    conn.execute(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, CODIGOCOMP, COMPONENTE, QDEESTOQUE, UNID, "
                                "LOTE, GRUPO, FORNECEDOR) select ESTACAO, NPEDIDO, NFORMULA, CODPROD, DESCRICAO, QUANTIDADE, "
                                "UNIDADE, LOTE, 'MP', FORNECEDOR from MOVEST where CONTROLADA = 'Sim' and NPEDIDO is not "
                                "null"));
    conn.execute(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, CODIGOCOMP, COMPONENTE, QDEESTOQUE, UNID, "
                                "LOTE, GRUPO, FORNECEDOR) select ESTACAO, NPEDIDO, 2, CODPROD, DESCRICAO, 1, 'g', LOTE, "
                                "'MP', FORNECEDOR from MOVEST where CONTROLADA = 'Sim' and NPEDIDO is not null and "
                                "mod(NPEDIDO, 500) = 7"));
    // Balances that close: what was bought less what moved, per lot.
    const db::Rows sums = conn.query(QStringLiteral(
        "select LOTE, sum(iif(UNIDADE = 'MG', QUANTIDADE / 1000, QUANTIDADE)) from MOVEST where CONTROLADA = 'Sim' "
        "group by LOTE"));
    db::Transaction tx(conn);
    for (const auto &r : sums.rows)
        tx.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 100000 - ? where LOTE = ? and CODIGO starting 'C'"),
                   {r[1], r[0]});
    tx.commit();
    for (const auto &r : conn.query(QStringLiteral("select trim(RDB$INDEX_NAME) from RDB$INDICES "
                                                    "where coalesce(RDB$SYSTEM_FLAG, 0) = 0")).rows)
        conn.execute(QStringLiteral("SET STATISTICS INDEX ") + r[0].toString());
}

struct Run {
    double readMs = 0, buildMs = 0, firstPageMs = 0, totalMs = 0, laterPageMs = 0;
    uint64_t statements = 0;
    qint64 rows = 0;
    int pages = 0, substances = 0, differences = 0;
    std::vector<double> statementMs;
    size_t lines = 0;
};

Run once(db::Connection &conn, const platform::WinPaths &paths)
{
    Run r;
    const controlled::Scope scope{{QStringLiteral("LOJA")}, QStringLiteral("1"), QString()};
    const uint64_t s0 = db::statementsIssued();
    QElapsedTimer t;
    t.start();
    controlled::ReadFigures figures;
    const controlled::BookInput in = controlled::ReadBookInput(conn, paths, scope, QDate(2024, 1, 1), QDate(2024, 12, 31),
                                                               QDate(2025, 1, 2), &figures);
    const controlled::Pharmacy pharmacy = controlled::ReadPharmacy(conn, scope.storeCnpj, &figures);
    r.readMs = msSince(t);
    const controlled::Book book = controlled::BuildBook(in);
    r.buildMs = msSince(t) - r.readMs;
    const reports_engine::PageModel model = controlled::BookPages(book, pharmacy);
    QImage image(1123, 794, QImage::Format_RGB32);   // A4 landscape at 96 dpi
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        reports_engine::PaintPage(painter, model, model.page(0));
    }
    r.totalMs = msSince(t);
    r.firstPageMs = r.totalMs - r.readMs - r.buildMs;
    r.statements = db::statementsIssued() - s0;
    r.rows = figures.rows;
    r.statementMs = figures.statementMs;
    r.pages = model.pageCount();
    QElapsedTimer lt;
    lt.start();
    {
        QPainter painter(&image);
        reports_engine::PaintPage(painter, model, model.page(model.pageCount() - 1));
    }
    r.laterPageMs = msSince(lt);
    r.substances = int(book.substances.size());
    r.differences = book.differenceCount();
    for (const auto &s : book.substances)
        for (const auto &l : s.lots)
            r.lines += l.lines.size();
    return r;
}

} // namespace

const char kUsage[] = "usage: bench_controlled_book --sql DIR [--sizes N,N,...] [--controlled PERCENT] [--server HOST]\n"
                      "  DIR: the folder of central.sql; N: rows of MOVEST, powers of ten (10000,100000,1000000 by\n"
                      "  default); PERCENT: the share of them that are the controlled lots' (10 by default)\n";

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("sql"), QStringLiteral("folder of central.sql"), QStringLiteral("DIR")});
        p.addOption({QStringLiteral("sizes"), QStringLiteral("MOVEST rows"), QStringLiteral("N,N"),
                     QStringLiteral("10000,100000,1000000")});
        p.addOption({QStringLiteral("controlled"), QStringLiteral("percent"), QStringLiteral("PERCENT"), QStringLiteral("10")});
        p.addOption({QStringLiteral("server"), QStringLiteral("Firebird server host"), QStringLiteral("HOST")});
        bench::parseArguments(p);
        const QString sqlDir = bench::requireFolder(p, QStringLiteral("sql"));
        const int percent = bench::wholeNumber(p, QStringLiteral("controlled"), 1);
        if (percent > 100)
            throw bench::UsageError{QStringLiteral("--controlled is a percentage")};
        std::vector<int> sizes;
        for (const QString &s : p.value(QStringLiteral("sizes")).split(QLatin1Char(','))) {
            bool ok = false;
            const int n = s.toInt(&ok);
            if (!ok || n < 1000 || std::log10(n) != std::round(std::log10(n)))
                throw bench::UsageError{QStringLiteral("%1 is not a power of ten of at least 1000").arg(s)};
            sizes.push_back(n);
        }
        QFile script(sqlDir + QStringLiteral("/central.sql"));
        if (!script.open(QIODevice::ReadOnly))
            throw bench::UsageError{QStringLiteral("cannot read %1").arg(script.fileName())};
        const QString sql = QString::fromUtf8(script.readAll());
        const QString server = p.value(QStringLiteral("server"));
        std::printf("database: %s; %d controlled substances, %d controlled lots, %d %% of MOVEST theirs; the year "
                    "2024, MOVEST from 01/12/2023\n",
                    server.isEmpty() ? "embedded" : qPrintable(QStringLiteral("through the server at ") + server),
                    kSubstances, kLots, percent);
        std::printf("statements: %s\n", qPrintable(controlled::MovementsStatement(QDate(2024, 1, 1), true)));
        double first = 0;
        for (int n : sizes) {
            QTemporaryDir dir;
            if (!server.isEmpty())
                QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                      | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                      | QFileDevice::WriteOther | QFileDevice::ExeOther);
            const QString file = dir.filePath(QStringLiteral("bench.fdb"));
            const db::Target target = server.isEmpty() ? db::Target{file, true, true}
                                                       : db::Target{server + QLatin1Char(':') + file, false, true};
            db::Connection::createDatabase(target);
            db::Connection conn;
            conn.configure(target);
            conn.runScript(sql);
            QElapsedTimer bt;
            bt.start();
            build(conn, n, percent);
            std::printf("\nMOVEST %d rows: data built in %.1f s\n", n, msSince(bt) / 1000);
            const platform::WinPaths paths;
            once(conn, paths);   // caches warm
            std::vector<Run> runs;
            for (int k = 0; k < 3; ++k)
                runs.push_back(once(conn, paths));
            std::sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) { return a.totalMs < b.totalMs; });
            const Run &r = runs[1];
            if (first == 0)
                first = r.totalMs;
            std::printf("  book built and first page laid out and painted: median %.0f ms of 3 (read %.0f ms, "
                        "build %.0f ms, first page %.1f ms) (aim: at most 1000 ms); ratio to %d rows: %.1f\n",
                        r.totalMs, r.readMs, r.buildMs, r.firstPageMs, sizes.front(), r.totalMs / first);
            std::printf("  %llu statements, %lld rows read; %d substances, %zu lines in the year, %d differences, "
                        "%d pages; the last page made on demand in %.1f ms\n",
                        (unsigned long long)r.statements, (long long)r.rows, r.substances, r.lines, r.differences,
                        r.pages, r.laterPageMs);
            std::printf("  each statement (products, lots, purchases, lot index, movements, earlier movements "
                        "summed, order lines without deduction), ms:");
            for (double v : r.statementMs)
                std::printf(" %.0f", v);
            std::printf("\n");
        }
        return 0;
    });
}
