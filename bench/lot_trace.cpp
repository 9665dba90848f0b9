// The lot trace on a long history: N movements over L lots (one product and supplier each), the
// orders, their component lines (one in ten never deducted), purchases and locations to match,
// built set-based inside the engine, plus one busy lot of 20 000 movements and order lines.
// Prints the time from the trace being asked for to the panel filled: a typical lot with the
// lot indexes, the busy lot, a lot found by its number, and a typical lot without the movements'
// and the order lines' lot indexes; and the statements each sends. With --server the database
// is reached through the Firebird server at that host. Asserts nothing.
#include "benchmain.h"

#include "db/connection.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/winpath.h"
#include "trace/lottrace.h"
#include "trace/recall.h"
#include "trace/ui/lottracepanel.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

double msSince(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

class SilentOperator : public platform::Operator {
public:
    void inform(const QString &) override {}
    void warn(const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    platform::Answer ask(const QString &) override { return platform::Answer::No; }
};

// Rows 0 .. 10^digits - 1 from a ten-row table joined with itself: one statement per table.
QString numbers(int digits)
{
    QString from, sum;
    for (int i = 0; i < digits; ++i) {
        from += (i ? QStringLiteral(", ") : QString()) + QStringLiteral("DIGITOS D%1").arg(i);
        sum += (i ? QStringLiteral(" + ") : QString()) + QStringLiteral("D%1.D * %2").arg(i).arg(qlonglong(std::pow(10, i)));
    }
    return QStringLiteral("(select ") + sum + QStringLiteral(" as N from ") + from + QStringLiteral(")");
}

void build(db::Connection &conn, int movements, int lots)
{
    conn.execute(QStringLiteral("create table DIGITOS (D integer)"));
    for (int d = 0; d < 10; ++d)
        conn.execute(QStringLiteral("insert into DIGITOS values (%1)").arg(d));
    const int movementDigits = int(std::lround(std::log10(movements)));
    const int lotDigits = int(std::lround(std::log10(lots)));
    const QString lot = QStringLiteral("mod(N, %1)").arg(lots);
    conn.execute(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, "
                                "UNIDADE) select 'P' || N, 'PRODUTO ' || N, 'L' || N, 'FORNECEDOR ' || mod(N, 50), "
                                "'LOJA', 100, 'g' from ")
                 + numbers(lotDigits));
    conn.execute(QStringLiteral("insert into COMPRAS (ESTACAO, CODCOMPRA, DATA, NOTAFISCAL, FORNECEDOR, COMPONENTE, LOTE, "
                                "QUANTIDADE, UNIDADE) select '01', N, date '2020-01-01' + mod(N, 300), N, "
                                "'FORNECEDOR ' || mod(N, 50), 'PRODUTO ' || N, 'L' || N, 1000, 'g' from ")
                 + numbers(lotDigits));
    conn.execute(QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) select "
                                "iif(mod(N, 2) = 0, '01', '02'), N, 'Pedido', date '2020-01-01' + mod(N, 1500) from ")
                 + numbers(movementDigits));
    conn.execute(QStringLiteral("insert into MOVEST (CODMOVEST, ESTACAO, NPEDIDO, NFORMULA, CODPROD, FORNECEDOR, LOTE, "
                                "DATA, DESCRICAO, QUANTIDADE, UNIDADE, LABORATORIO) select N, "
                                "iif(mod(N, 2) = 0, '01', '02'), N, 1, 'P' || %1, 'FORNECEDOR ' || mod(%1, 50), "
                                "'L' || %1, date '2020-01-01' + mod(N, 1500), 'PRODUTO ' || %1, 1, 'g', 'LOJA' from ")
                     .arg(lot)
                 + numbers(movementDigits));
    // The order lines: one per movement but one in ten, whose patient was never deducted.
    conn.execute(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, CODIGOCOMP, COMPONENTE, QDEESTOQUE, "
                                "UNID, LOTE, GRUPO, FORNECEDOR) select iif(mod(N, 2) = 0, '01', '02'), N, 1, 'P' || %1, "
                                "'PRODUTO ' || %1, 1, 'g', 'L' || %1, 'MP', 'FORNECEDOR ' || mod(%1, 50) from ")
                     .arg(lot)
                 + numbers(movementDigits) + QStringLiteral(" where mod(N, 10) <> 9"));
    // The busy lot: 20 000 movements and their order lines, on the orders already there.
    conn.execute(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, "
                                "UNIDADE) values ('PBUSY', 'PRODUTO BUSY', 'LBUSY', 'FORNECEDOR BUSY', 'LOJA', 100, 'g')"));
    conn.execute(QStringLiteral("insert into COMPRAS (ESTACAO, CODCOMPRA, DATA, NOTAFISCAL, FORNECEDOR, COMPONENTE, LOTE, "
                                "QUANTIDADE, UNIDADE) values ('01', -1, date '2020-01-01', 'BUSY', 'FORNECEDOR BUSY', "
                                "'PRODUTO BUSY', 'LBUSY', 20100, 'g')"));
    const QString busy = QStringLiteral("(select N from ") + numbers(5) + QStringLiteral(" where N < 20000)");
    conn.execute(QStringLiteral("insert into MOVEST (CODMOVEST, ESTACAO, NPEDIDO, NFORMULA, CODPROD, FORNECEDOR, LOTE, "
                                "DATA, DESCRICAO, QUANTIDADE, UNIDADE, LABORATORIO) select -1 - N, "
                                "iif(mod(N, 2) = 0, '01', '02'), N, 2, 'PBUSY', 'FORNECEDOR BUSY', 'LBUSY', "
                                "date '2020-01-01' + mod(N, 1500), 'PRODUTO BUSY', 1, 'g', 'LOJA' from ")
                 + busy);
    conn.execute(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, CODIGOCOMP, COMPONENTE, QDEESTOQUE, "
                                "UNID, LOTE, GRUPO, FORNECEDOR) select iif(mod(N, 2) = 0, '01', '02'), N, 2, 'PBUSY', "
                                "'produto busy', 1, 'G', 'LBUSY', 'MP', 'Fornecedor Busy' from ")
                 + busy);
    for (const auto &r : conn.query(QStringLiteral("select trim(RDB$INDEX_NAME) from RDB$INDICES "
                                                    "where coalesce(RDB$SYSTEM_FLAG, 0) = 0")).rows)
        conn.execute(QStringLiteral("SET STATISTICS INDEX ") + r[0].toString());
}

trace::LotKey keyOf(int i)
{
    return {QStringLiteral("P%1").arg(i), QStringLiteral("PRODUTO %1").arg(i), QStringLiteral("L%1").arg(i),
            QStringLiteral("FORNECEDOR %1").arg(i % 50), QStringLiteral("g")};
}

struct Figures {
    double medianMs = 0, maxMs = 0;
    uint64_t statements = 0;
    size_t movements = 0, orders = 0;
};

const trace::LotKey kBusy{QStringLiteral("PBUSY"), QStringLiteral("PRODUTO BUSY"), QStringLiteral("LBUSY"),
                          QStringLiteral("FORNECEDOR BUSY"), QStringLiteral("g")};

Figures measure(trace_ui::LotTracePanel &panel, int lots, int runs, bool busyLot = false)
{
    std::vector<double> times;
    Figures f;
    for (int k = 0; k < runs; ++k) {
        const int i = int((uint64_t(k) * 7919 + 12345) % uint64_t(lots));
        const uint64_t s0 = db::statementsIssued();
        QElapsedTimer t;
        t.start();
        panel.open(busyLot ? kBusy : keyOf(i));
        QCoreApplication::processEvents();   // the panel painted: the cells the view shows are made
        times.push_back(msSince(t));
        f.statements = std::max(f.statements, db::statementsIssued() - s0);
        f.movements = panel.current().movements.size();
        f.orders = panel.current().orders.size();
        panel.hide();
    }
    std::sort(times.begin(), times.end());
    f.medianMs = times[times.size() / 2];
    f.maxMs = times.back();
    return f;
}

} // namespace

const char kUsage[] = "usage: bench_lot_trace --sql DIR [--movements N] [--lots N] [--server HOST]\n"
                      "  DIR: the folder of central.sql; N: powers of ten (1000000 movements, 100000 lots by\n"
                      "  default); the data is built in a new database in a temporary folder, reached through\n"
                      "  the Firebird server at HOST when given (the folder is opened to the server's user)\n";

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("sql"), QStringLiteral("folder of central.sql"), QStringLiteral("DIR")});
        p.addOption({QStringLiteral("movements"), QStringLiteral("movements"), QStringLiteral("N"), QStringLiteral("1000000")});
        p.addOption({QStringLiteral("lots"), QStringLiteral("lots"), QStringLiteral("N"), QStringLiteral("100000")});
        p.addOption({QStringLiteral("server"), QStringLiteral("Firebird server host"), QStringLiteral("HOST")});
        bench::parseArguments(p);
        const QString sqlDir = bench::requireFolder(p, QStringLiteral("sql"));
        const int movements = bench::wholeNumber(p, QStringLiteral("movements"), 10);
        const int lots = bench::wholeNumber(p, QStringLiteral("lots"), 10);
        for (int n : {movements, lots}) {
            const double l = std::log10(n);
            if (l != std::round(l))
                throw bench::UsageError{QStringLiteral("%1 is not a power of ten").arg(n)};
        }
        QFile script(sqlDir + QStringLiteral("/central.sql"));
        if (!script.open(QIODevice::ReadOnly))
            throw bench::UsageError{QStringLiteral("cannot read %1").arg(script.fileName())};

        QTemporaryDir dir;
        const QString server = p.value(QStringLiteral("server"));
        if (!server.isEmpty())
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                  | QFileDevice::ReadOther | QFileDevice::WriteOther
                                                  | QFileDevice::ExeOther);
        const QString file = dir.filePath(QStringLiteral("bench.fdb"));
        const db::Target target = server.isEmpty() ? db::Target{file, true, true}
                                                   : db::Target{server + QLatin1Char(':') + file, false, true};
        std::printf("database: %s\n", server.isEmpty() ? "embedded" : qPrintable(QStringLiteral("through the server at ") + server));
        db::Connection::createDatabase(target);
        db::Connection conn;
        conn.configure(target);
        conn.runScript(QString::fromUtf8(script.readAll()));
        QElapsedTimer t;
        t.start();
        build(conn, movements, lots);
        std::printf("data: %d movements over %d lots, orders, purchases and locations built in %.1f s\n", movements,
                    lots, msSince(t) / 1000);

        QDir(dir.path()).mkpath(QStringLiteral("c/FORMULIX"));
        const platform::WinPaths paths = platform::WinPaths::parse(QStringLiteral("C: = c\n"), dir.path());
        platform::SystemClock clock;
        SilentOperator op;
        QWidget window;
        window.resize(1000, 700);
        QWidget grid(&window);
        grid.resize(1000, 650);
        trace_ui::LotTracePanel panel(conn, paths, clock, op, &grid, &window);
        window.show();   // the panel paints what it opens, as on the desk

        panel.open(keyOf(1));   // first run: page cache and statement caches warm
        panel.hide();
        const Figures with = measure(panel, lots, 50);
        std::printf("typical lot, with the lot indexes: median %.2f ms, max %.2f ms over 50 lots (%zu movements, "
                    "%zu orders each); %llu statements a trace (aim: under 50 ms, a fixed handful)\n",
                    with.medianMs, with.maxMs, with.movements, with.orders, (unsigned long long)with.statements);

        panel.open(kBusy);
        panel.hide();
        {
            QElapsedTimer rt;
            rt.start();
            const trace::LotTrace read = trace::ReadLotTrace(conn, kBusy);
            std::printf("busy lot read alone (statements and pairing, no panel): %.2f ms\n", msSince(rt));
        }
        const Figures busy = measure(panel, lots, 10, true);
        std::printf("busy lot: median %.2f ms, max %.2f ms over 10 opens (%zu movements, %zu orders from movements "
                    "and order lines); %llu statements (aim: under 150 ms embedded, 300 ms through a server)\n",
                    busy.medianMs, busy.maxMs, busy.movements, busy.orders, (unsigned long long)busy.statements);

        std::vector<double> finds;
        uint64_t findStatements = 0;
        size_t found = 0;
        for (int k = 0; k < 50; ++k) {
            const int i = int((uint64_t(k) * 7919 + 777) % uint64_t(lots));
            const uint64_t s0 = db::statementsIssued();
            QElapsedTimer ft;
            ft.start();
            found = trace::FindLotsByNumber(conn, QStringLiteral("l%1").arg(i), {QStringLiteral("LOJA")}).size();
            finds.push_back(msSince(ft));
            findStatements = std::max(findStatements, db::statementsIssued() - s0);
        }
        std::sort(finds.begin(), finds.end());
        std::printf("lot found by its number (typed in lower case) among %d lots: median %.2f ms, max %.2f ms over 50; "
                    "%zu row(s) found, %llu statement (aim: under 50 ms)\n",
                    lots, finds[finds.size() / 2], finds.back(), found, (unsigned long long)findStatements);

        conn.execute(QStringLiteral("drop index IX_MOVEST_LOTE"));
        conn.execute(QStringLiteral("drop index IX_COMPEDID_LOTE"));
        panel.open(keyOf(1));
        panel.hide();
        const Figures without = measure(panel, lots, 5);
        std::printf("typical lot, without the movements' and order lines' lot indexes: median %.2f ms, max %.2f ms "
                    "over 5 lots; %llu statements a trace; ratio %.0f\n",
                    without.medianMs, without.maxMs, (unsigned long long)without.statements,
                    without.medianMs / with.medianMs);
        return 0;
    });
}
