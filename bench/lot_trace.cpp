// The lot trace on a long history: N movements over L lots (one product and supplier each), the
// orders, purchases and locations to match, built set-based inside the server. Prints the time
// from the trace being asked for to the panel filled, with the movements' lot index and without
// it (a full read of the movements), and the statements each trace sends; asserts nothing.
#include "benchmain.h"

#include "db/connection.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/winpath.h"
#include "trace/lottrace.h"
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
    size_t movements = 0;
};

Figures measure(trace_ui::LotTracePanel &panel, int lots, int runs)
{
    std::vector<double> times;
    Figures f;
    for (int k = 0; k < runs; ++k) {
        const int i = int((uint64_t(k) * 7919 + 12345) % uint64_t(lots));
        const uint64_t s0 = db::statementsIssued();
        QElapsedTimer t;
        t.start();
        panel.open(keyOf(i));
        times.push_back(msSince(t));
        f.statements = std::max(f.statements, db::statementsIssued() - s0);
        f.movements = panel.current().movements.size();
        panel.hide();
    }
    std::sort(times.begin(), times.end());
    f.medianMs = times[times.size() / 2];
    f.maxMs = times.back();
    return f;
}

} // namespace

const char kUsage[] = "usage: bench_lot_trace --sql DIR [--movements N] [--lots N]\n"
                      "  DIR: the folder of central.sql; N: powers of ten (1000000 movements, 100000 lots by\n"
                      "  default); the data is built in a new database in a temporary folder\n";

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
        const db::Target target{dir.filePath(QStringLiteral("bench.fdb")), true, true};
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

        panel.open(keyOf(1));   // first run: page cache and statement caches warm
        panel.hide();
        const Figures with = measure(panel, lots, 50);
        std::printf("with the lot index:    median %.2f ms, max %.2f ms over 50 lots (%zu movements each); "
                    "%llu statements a trace (aim: under 50 ms, a fixed handful)\n",
                    with.medianMs, with.maxMs, with.movements, (unsigned long long)with.statements);

        conn.execute(QStringLiteral("drop index IX_MOVEST_LOTE"));
        panel.open(keyOf(1));
        panel.hide();
        const Figures without = measure(panel, lots, 5);
        std::printf("without the lot index: median %.2f ms, max %.2f ms over 5 lots (%zu movements each); "
                    "%llu statements a trace; ratio %.0f\n",
                    without.medianMs, without.maxMs, without.movements, (unsigned long long)without.statements,
                    without.medianMs / with.medianMs);
        return 0;
    });
}
