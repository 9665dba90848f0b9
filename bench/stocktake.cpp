// The stocktake on a large store: N lot rows over five locations of the store, built set-based
// inside the engine. Prints the snapshot of the whole store, a line typed in the panel (lot,
// quantity, Enter, until the list shows it) on a count of 3 500 lines, and the posting of 3 500
// differences, each with the statements it sends. With --server the database is reached through
// the Firebird server at that host. Asserts nothing.
#include "benchmain.h"

#include "core/activitylog.h"
#include "core/runstate.h"
#include "db/connection.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/winpath.h"
#include "stocktake/stocktake.h"
#include "stocktake/ui/stocktakepanel.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
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
    platform::Answer ask(const QString &) override { return platform::Answer::Yes; }
};

// Rows 0 .. 10^digits - 1 from a ten-row table joined with itself.
QString numbers(int digits)
{
    QString from, sum;
    for (int i = 0; i < digits; ++i) {
        from += (i ? QStringLiteral(", ") : QString()) + QStringLiteral("DIGITOS D%1").arg(i);
        sum += (i ? QStringLiteral(" + ") : QString()) + QStringLiteral("D%1.D * %2").arg(i).arg(qlonglong(std::pow(10, i)));
    }
    return QStringLiteral("(select ") + sum + QStringLiteral(" as N from ") + from + QStringLiteral(")");
}

void build(db::Connection &conn, int lots)
{
    conn.execute(QStringLiteral("create table DIGITOS (D integer)"));
    for (int d = 0; d < 10; ++d)
        conn.execute(QStringLiteral("insert into DIGITOS values (%1)").arg(d));
    const int digits = int(std::lround(std::log10(lots)));
    // Lot L000123 of product P23 (one product in a thousand lots), at LAB(N mod 5).
    conn.execute(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, "
                                "SALDOPREVISTO, UNIDADE, CONTROLADA) select 'P' || mod(N, 1000), 'PRODUTO ' || "
                                "mod(N, 1000), 'L' || lpad(N, 6, '0'), 'FORNECEDOR ' || mod(N, 50), 'LAB' || mod(N, 5), "
                                "100, 100, 'g', 'Não' from ")
                 + numbers(digits));
    conn.execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID) "
                                "select 'P' || N, 'PRODUTO ' || N, 'MP', 'g', 1.5, 1 from ")
                 + numbers(3));
    for (const auto &r : conn.query(QStringLiteral("select trim(RDB$INDEX_NAME) from RDB$INDICES "
                                                    "where coalesce(RDB$SYSTEM_FLAG, 0) = 0")).rows)
        conn.execute(QStringLiteral("SET STATISTICS INDEX ") + r[0].toString());
}

} // namespace

const char kUsage[] = "usage: bench_stocktake --sql DIR [--lots N] [--server HOST]\n"
                      "  DIR: the folder of central.sql; N: a power of ten of lot rows (100000 by default); the\n"
                      "  data is built in a new database in a temporary folder, reached through the Firebird\n"
                      "  server at HOST when given (the folder is opened to the server's user)\n";

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("sql"), QStringLiteral("folder of central.sql"), QStringLiteral("DIR")});
        p.addOption({QStringLiteral("lots"), QStringLiteral("lots"), QStringLiteral("N"), QStringLiteral("100000")});
        p.addOption({QStringLiteral("server"), QStringLiteral("Firebird server host"), QStringLiteral("HOST")});
        bench::parseArguments(p);
        const QString sqlDir = bench::requireFolder(p, QStringLiteral("sql"));
        const int lots = bench::wholeNumber(p, QStringLiteral("lots"), 10000);
        if (std::log10(lots) != std::round(std::log10(lots)))
            throw bench::UsageError{QStringLiteral("%1 is not a power of ten").arg(lots)};
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
        std::printf("database: %s\n",
                    server.isEmpty() ? "embedded" : qPrintable(QStringLiteral("through the server at ") + server));
        db::Connection::createDatabase(target);
        db::Connection conn;
        conn.configure(target);
        conn.runScript(QString::fromUtf8(script.readAll()));
        QElapsedTimer t;
        t.start();
        build(conn, lots);
        std::printf("data: %d lot rows over 5 locations built in %.1f s\n", lots, msSince(t) / 1000);

        const QStringList store{QStringLiteral("LAB0"), QStringLiteral("LAB1"), QStringLiteral("LAB2"),
                                QStringLiteral("LAB3"), QStringLiteral("LAB4")};
        const QDateTime now = QDateTime::currentDateTime();

        // The engine's floor: as many bare lines inserted in one statement (rolled back).
        double floorMs = 0;
        {
            QElapsedTimer x;
            x.start();
            db::Transaction tx(conn);
            tx.execute(QStringLiteral("insert into INVENTARIOITEM (NUMERO, LINHA, NAFOTO) select 0, N, 'S' from ")
                       + numbers(int(std::lround(std::log10(lots)))));
            floorMs = msSince(x);
            tx.rollback();
        }
        // The snapshot of the whole store.
        uint64_t s0 = db::statementsIssued();
        t.restart();
        const stocktake::Started whole =
            stocktake::StartCount(conn, {}, store, QStringLiteral("1"), QStringLiteral("MARIA"), now);
        const double snapshotMs = msSince(t);
        std::printf("snapshot of the whole store: %d lines in %.0f ms, %llu statements (aim: 1 s at 100 000 lots); "
                    "%.2f times a bare insert of as many lines (%.0f ms)\n",
                    whole.lines, snapshotMs, (unsigned long long)(db::statementsIssued() - s0), snapshotMs / floorMs,
                    floorMs);

        // A count of 3 500 lines, typed in the panel.
        stocktake::Scope part;
        part.lotFrom = QStringLiteral("L000000");
        part.lotTo = QStringLiteral("L003499");
        const stocktake::Started count =
            stocktake::StartCount(conn, part, store, QStringLiteral("1"), QStringLiteral("MARIA"), now);
        core::RunState run;
        run.UserName = QStringLiteral("MARIA");
        run.StoreCnpj = QStringLiteral("1");
        run.WorkstationCode = QStringLiteral("01");
        run.StoreLaboratories = store;
        QDir(dir.path()).mkpath(QStringLiteral("c/FORMULIX"));
        const platform::WinPaths paths = platform::WinPaths::parse(QStringLiteral("C: = c\n"), dir.path());
        platform::SystemClock clock;
        SilentOperator op;
        core::ActivityLog log(clock, paths);
        QWidget window;
        window.resize(1024, 768);
        stocktake_ui::StocktakePanel panel(conn, run, log, clock, paths, op, &window);
        window.show();
        panel.open();
        panel.openCount(count.numero);
        QCoreApplication::processEvents();
        std::vector<double> times;
        uint64_t statements = 0;
        const int typed = 200;
        for (int k = 0; k < typed; ++k) {
            const int n = int((uint64_t(k) * 7919) % 3500);
            panel.cbLocal->setCurrentText(QStringLiteral("LAB%1").arg(n % 5));
            panel.edLote->setText(QStringLiteral("l%1").arg(n, 6, 10, QLatin1Char('0')));   // typed in lower case
            panel.edQuantidade->setText(QStringLiteral("99,5"));
            s0 = db::statementsIssued();
            QElapsedTimer e;
            e.start();
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(panel.edQuantidade, &enter);
            QCoreApplication::processEvents();   // the list repainted with the line
            times.push_back(msSince(e));
            statements = std::max(statements, db::statementsIssued() - s0);
        }
        std::sort(times.begin(), times.end());
        std::printf("a typed line at %d lines: median %.2f ms, max %.2f ms over %d lines; %llu statements a line "
                    "(aim: 50 ms)\n",
                    count.lines, times[times.size() / 2], times.back(), typed, (unsigned long long)statements);

        // Every line counted with a difference and its reason, then posted.
        conn.execute(QStringLiteral("update INVENTARIOITEM set CONTADO = SALDOFOTO + 1, MOTIVO = 'Perda' where NUMERO = ?"),
                     {db::Value::integer(count.numero)});
        s0 = db::statementsIssued();
        t.restart();
        const stocktake::PostResult posted = stocktake::PostCount(conn, count.numero, stocktake::NotCountedChoice::Keep,
                                                                  QStringLiteral("MARIA"), now, nullptr);
        std::printf("posting %d differences: %.0f ms, %llu statements (aim: 2 s, set-based) - %s\n", posted.differences,
                    msSince(t), (unsigned long long)(db::statementsIssued() - s0), qPrintable(posted.message));
        const db::Rows check = conn.query(QStringLiteral("select count(*), sum(SALDOCORRENTE) from ESTLOTE where LOTE <= "
                                                         "'L003499'"));
        std::printf("check: %lld rows of the count's lots hold %s (3 500 x 101 expected)\n",
                    (long long)check.rows[0][0].toInt(), qPrintable(check.rows[0][1].toString()));
        return 0;
    });
}
