// Transfers per second with 1, 2 and 4 workstation processes through the Firebird server on
// 127.0.0.1, against as many single-row updates alone; then the stock view rebuilt when the
// transfer form closes against a plain open of the same view. Prints figures and statements.
//   bench_transfer --demo DIR [--ops N]      (DIR made by: makedemo --dir DIR --lots 100000)
#include "benchmain.h"

#include "core/activitylog.h"
#include "core/connections.h"
#include "core/runstate.h"
#include "common/stockquery.h"
#include "data/cacheddataset.h"
#include "data/tables.h"
#include "data/tdm.h"
#include "db/connection.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/winpath.h"
#include "transfer/transfer.h"
#include "transfer/ui/tform3.h"
#include "users/scope.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

class PrintingOperator : public platform::Operator {
public:
    int messages = 0;
    void inform(const QString &t) override
    {
        ++messages;
        std::fprintf(stderr, "message: %s\n", qPrintable(t));
    }
    void warn(const QString &t) override { inform(t); }
    platform::Answer ask(const QString &t) override { inform(t); return platform::Answer::No; }
};

struct NoWait : browser::WaitIndicator {
    void showWait() override {}
    void hideWait() override {}
};

const QStringList kPlaces = {QStringLiteral("Almoxarifado"), QStringLiteral("Loja 1"), QStringLiteral("Loja 2"),
                             QStringLiteral("EmTransito"), QStringLiteral("Terceiros")};

// The rows the workers use: lots with enough stock that no transfer is refused.
std::vector<std::vector<db::Value>> pickRows(db::Connection &conn)
{
    const db::Rows rows = conn.query(QStringLiteral(
        "select first 400 CODIGO, LOTE, FORNECEDOR, LABORATORIO, DESCRICAO from ESTLOTE "
        "where SALDOCORRENTE >= 10 and CODIGO is not null and LOTE is not null and FORNECEDOR is not null "
        "and LABORATORIO is not null order by DESCRICAO"));
    return rows.rows;
}

// One workstation: N transfers (or N single-row updates) on random rows of the picked set.
int child(const QString &mode, const QString &target, unsigned seed, int ops)
{
    db::Connection conn;
    conn.configure(db::Target{target, false, true});
    conn.open();
    const auto rows = pickRows(conn);
    if (rows.empty())
        return 3;
    std::mt19937 rnd(seed);
    PrintingOperator op;
    const uint64_t before = db::statementsIssued();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < ops; ++i) {
        const auto &r = rows[rnd() % rows.size()];
        if (mode == QLatin1String("transfers")) {
            // A thousandth each time: the picked lots keep their stock through every run.
            QString dest = kPlaces[int(rnd() % unsigned(kPlaces.size()))];
            if (transfer::SameLocation(dest, r[3].toString()))
                dest = QStringLiteral("EmTransito") == dest ? QStringLiteral("Terceiros") : QStringLiteral("EmTransito");
            transfer::Transfer(conn, transfer::SourceLot{r[0], r[1], r[2], r[3], r[4].toString()},
                               QStringLiteral("0,001"), dest, op);
        } else {
            conn.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = SALDOCORRENTE where CODIGO = ? and "
                                        "LOTE = ? and FORNECEDOR = ? and LABORATORIO = ?"),
                         {r[0], r[1], r[2], r[3]});
        }
    }
    const double ms = double(t.nsecsElapsed()) / 1e6;
    std::printf("RESULT %.3f %llu %d\n", ms, static_cast<unsigned long long>(db::statementsIssued() - before),
                op.messages);
    return 0;
}

struct Run {
    double opsPerSecond = 0;
    double statementsPerOp = 0;
    int messages = 0;
};

Run runWorkers(const QString &mode, const QString &target, int processes, int opsEach)
{
    std::vector<std::unique_ptr<QProcess>> procs;
    for (int p = 0; p < processes; ++p) {
        auto proc = std::make_unique<QProcess>();
        proc->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc->start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), mode, target, QString::number(100 + p), QString::number(opsEach)});
        procs.push_back(std::move(proc));
    }
    double slowest = 0;
    unsigned long long statements = 0;
    Run run;
    for (auto &p : procs) {
        p->waitForFinished(600000);
        const QList<QByteArray> f = p->readAllStandardOutput().trimmed().split(' ');
        if (f.size() != 4 || f[0] != "RESULT") {
            std::fprintf(stderr, "a worker failed (exit %d)\n", p->exitCode());
            continue;
        }
        slowest = std::max(slowest, f[1].toDouble());
        statements += f[2].toULongLong();
        run.messages += f[3].toInt();
    }
    const int total = processes * opsEach;
    run.opsPerSecond = slowest > 0 ? total * 1000.0 / slowest : 0;
    run.statementsPerOp = double(statements) / total;
    return run;
}

// A copy of the demo's central database the server can write, so every run starts alike.
QString serverCopy(const QString &demo, const QTemporaryDir &dir)
{
    const QString from = demo + QStringLiteral("/c/FORMULIX/Dados/FORMULIX.BD");
    const QString to = dir.path() + QStringLiteral("/FORMULIX.BD");
    QFile::remove(to);
    if (!QFile::copy(from, to))
        return {};
    QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
    QFile::setPermissions(to, QFileDevice::Permissions(0x6666));
    return QStringLiteral("127.0.0.1:") + to;
}

void reloadBench(const QString &target)
{
    platform::SystemClock clock;
    PrintingOperator op;
    platform::WinPaths paths;
    core::RunState run;
    core::Connections connections{paths};
    core::ActivityLog log{clock, paths};
    data::TDM dm{run, connections, log, op};
    connections.SQLConnection1.configure(db::Target{target, false, true});
    QStringList labs;
    for (const auto &r : connections.SQLConnection1.query(QStringLiteral("select LABORATORIO from TABLAB")).rows)
        labs << r[0].toString();
    run.LabScopeClause = users::LabScopeClause(labs);
    NoWait wait;
    // The view the operator is most likely on: all lots, expired ones included.
    const int view = 0, mode = browser::kIncludeExpiredIndex;
    browser::BuildStockQuery(dm, view, mode, clock, wait);
    const int rows = dm.ESTLOTE.rowCount();
    dm.ESTLOTE.moveTo(rows / 2);

    double formClose = 1e300, plain = 1e300;
    uint64_t closeStatements = 0, plainStatements = 0;
    for (int i = 0; i < 3; ++i) {
        transfer_ui::TForm3 form(dm, clock, op, transfer_ui::MainWindowLink{[&] { return std::pair{view, mode}; }, &wait,
                                                                            nullptr});
        uint64_t s0 = db::statementsIssued();
        QElapsedTimer t;
        t.start();
        form.FormClose();
        formClose = std::min(formClose, double(t.nsecsElapsed()) / 1e6);
        closeStatements = db::statementsIssued() - s0;

        data::CachedDataset ds(QStringLiteral("ESTLOTE"), &connections.SQLConnection1, data::tables::ESTLOTE());
        ds.setCommandText(dm.ESTLOTE.commandText());
        s0 = db::statementsIssued();
        t.restart();
        ds.open();
        plain = std::min(plain, double(t.nsecsElapsed()) / 1e6);
        plainStatements = db::statementsIssued() - s0;
    }
    std::printf("\nstock view after the form closes (%d lots, best of 3)\n", rows);
    std::printf("  FormClose (BuildStockQuery)    : %9.1f ms  statements %llu\n", formClose,
                static_cast<unsigned long long>(closeStatements));
    std::printf("  plain open of the same view    : %9.1f ms  statements %llu\n", plain,
                static_cast<unsigned long long>(plainStatements));
    std::printf("  ratio FormClose / plain open   : %9.2f\n", formClose / plain);
}

} // namespace

const char kUsage[] = "usage: bench_transfer --demo DIR [--ops N]\n"
                      "  DIR made by: makedemo --dir DIR --lots 100000 (its central database is copied and\n"
                      "  opened through the server); N operations per process (300 by default)\n";

static int measure(const QString &demo, int ops);

int main(int argc, char **argv)
{
    if (argc >= 6 && QByteArray(argv[1]) == "--child") {
        QCoreApplication app(argc, argv);
        return child(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                     QByteArray(argv[4]).toUInt(), QByteArray(argv[5]).toInt());
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser parser;
        parser.addOption({QStringLiteral("demo"), QStringLiteral("Demo installation root."), QStringLiteral("DIR")});
        parser.addOption({QStringLiteral("ops"), QStringLiteral("Operations per process (default 300)."), QStringLiteral("N"),
                          QStringLiteral("300")});
        bench::parseArguments(parser);
        const QString demo = bench::requireDemo(parser);
        return measure(demo, bench::wholeNumber(parser, QStringLiteral("ops")));
    });
}

static int measure(const QString &demo, int ops)
{
    QTemporaryDir dir;
    const QString target = serverCopy(demo, dir);
    if (target.isEmpty())
        throw std::runtime_error("cannot copy the central database of " + demo.toStdString());
    {
        db::Connection conn;
        conn.configure(db::Target{target, false, true});
        const db::Rows n = conn.query(QStringLiteral("select count(*) from ESTLOTE"));
        std::printf("central database: %s, %lld lots, %d operations per process\n", qPrintable(demo),
                    static_cast<long long>(n.rows[0][0].toInt()), ops);
    }
    std::printf("%-10s %14s %12s %14s %12s %8s\n", "processes", "transfers/s", "stmts/xfer", "updates/s",
                "stmts/upd", "ratio");
    for (int processes : {1, 2, 4}) {
        const Run tr = runWorkers(QStringLiteral("transfers"), target, processes, ops);
        const Run up = runWorkers(QStringLiteral("updates"), target, processes, ops);
        std::printf("%-10d %14.1f %12.2f %14.1f %12.2f %8.2f%s\n", processes, tr.opsPerSecond, tr.statementsPerOp,
                    up.opsPerSecond, up.statementsPerOp, up.opsPerSecond > 0 ? tr.opsPerSecond / up.opsPerSecond : 0,
                    tr.messages ? "  (some transfers refused)" : "");
    }
    reloadBench(target);
    return 0;
}
