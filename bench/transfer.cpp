// Transfers per second with 1, 2 and 4 workstation processes through the Firebird server on
// 127.0.0.1, against as many single-row updates alone (each process alternating blocks of the
// two; medians of the runs, the ratio the median of the runs' ratios), for each
// demo given (say 10 000 and 100 000 lots) and the ratio between them; the statements of one
// transfer as its lot gains locations; then the stock view rebuilt when the transfer form closes
// against a plain open of the same view. Prints figures and statements.
//   bench_transfer --demo DIR [--demo DIR...] [--ops N] [--runs N]
//   (each DIR made by: makedemo --dir DIR --lots 100000)
#include "benchfigures.h"

#include "core/activitylog.h"
#include "core/connections.h"
#include "core/runstate.h"
#include "common/stockquery.h"
#include "data/cacheddataset.h"
#include "data/lotlock.h"
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

// One workstation: N transfers and N single-row updates on random rows of the picked set, in
// alternating blocks, so whatever else the machine does falls on both alike. Prints the time and
// statements of each kind.
int child(const QString &target, unsigned seed, int ops)
{
    db::Connection conn;
    conn.configure(db::Target{target, false, true});
    conn.open();
    const auto rows = pickRows(conn);
    if (rows.empty())
        return 3;
    std::mt19937 rnd(seed);
    PrintingOperator op;
    double ms[2] = {0, 0};
    uint64_t statements[2] = {0, 0};
    const int block = 20;
    for (int done = 0; done < ops; done += block) {
        const int n = std::min(block, ops - done);
        for (int pass = 0; pass < 2; ++pass) {
            // Blocks start one way then the other.
            const bool transfers = (pass == 0) == ((done / block) % 2 == 0);
            const uint64_t before = db::statementsIssued();
            QElapsedTimer t;
            t.start();
            for (int i = 0; i < n; ++i) {
                const auto &r = rows[rnd() % rows.size()];
                if (transfers) {
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
            ms[transfers ? 0 : 1] += double(t.nsecsElapsed()) / 1e6;
            statements[transfers ? 0 : 1] += db::statementsIssued() - before;
        }
    }
    std::printf("RESULT %.3f %llu %.3f %llu %d\n", ms[0], static_cast<unsigned long long>(statements[0]), ms[1],
                static_cast<unsigned long long>(statements[1]), op.messages);
    return 0;
}

struct Run {
    double transfersPerSecond = 0, updatesPerSecond = 0;
    double statementsPerTransfer = 0, statementsPerUpdate = 0;
    int messages = 0;
};

// The rates of all the processes together: operations over the slowest process's time.
Run runWorkers(const QString &target, int processes, int opsEach)
{
    std::vector<std::unique_ptr<QProcess>> procs;
    for (int p = 0; p < processes; ++p) {
        auto proc = std::make_unique<QProcess>();
        proc->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc->start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), target, QString::number(100 + p), QString::number(opsEach)});
        procs.push_back(std::move(proc));
    }
    double slowest[2] = {0, 0};
    unsigned long long statements[2] = {0, 0};
    Run run;
    for (auto &p : procs) {
        p->waitForFinished(600000);
        const QList<QByteArray> f = p->readAllStandardOutput().trimmed().split(' ');
        if (f.size() != 6 || f[0] != "RESULT") {
            std::fprintf(stderr, "a worker failed (exit %d)\n", p->exitCode());
            continue;
        }
        slowest[0] = std::max(slowest[0], f[1].toDouble());
        statements[0] += f[2].toULongLong();
        slowest[1] = std::max(slowest[1], f[3].toDouble());
        statements[1] += f[4].toULongLong();
        run.messages += f[5].toInt();
    }
    const int total = processes * opsEach;
    run.transfersPerSecond = slowest[0] > 0 ? total * 1000.0 / slowest[0] : 0;
    run.updatesPerSecond = slowest[1] > 0 ? total * 1000.0 / slowest[1] : 0;
    run.statementsPerTransfer = double(statements[0]) / total;
    run.statementsPerUpdate = double(statements[1]) / total;
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

const char kUsage[] = "usage: bench_transfer --demo DIR [--demo DIR...] [--ops N] [--runs N]\n"
                      "  DIR made by: makedemo --dir DIR --lots 100000 (its central database is copied and\n"
                      "  opened through the server); N operations per process (300 by default); runs of\n"
                      "  each figure, the median printed (3 by default)\n";

namespace {
struct Ratios {
    qlonglong lots = 0;
    std::vector<double> ratio;   // transfers / updates at 1, 2, 4 processes
};
} // namespace

static Ratios measure(const QString &demo, int ops, int runs, bool last);

int main(int argc, char **argv)
{
    if (argc >= 5 && QByteArray(argv[1]) == "--child") {
        QCoreApplication app(argc, argv);
        return child(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toUInt(), QByteArray(argv[4]).toInt());
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser parser;
        parser.addOption({QStringLiteral("demo"), QStringLiteral("Demo installation root."), QStringLiteral("DIR")});
        parser.addOption({QStringLiteral("ops"), QStringLiteral("Operations per process (default 300)."), QStringLiteral("N"),
                          QStringLiteral("300")});
        parser.addOption({QStringLiteral("runs"), QStringLiteral("Runs of each figure (default 3)."), QStringLiteral("N"),
                          QStringLiteral("3")});
        bench::parseArguments(parser);
        bench::requireDemo(parser);
        const QStringList demos = parser.values(QStringLiteral("demo"));
        std::vector<Ratios> all;
        for (qsizetype i = 0; i < demos.size(); ++i) {
            const QString demo = QDir(demos[i]).absolutePath();
            if (!QFileInfo(demo + QStringLiteral("/c/FORMULIX/Dados/FORMULIX.BD")).isFile())
                throw bench::UsageError{QStringLiteral("no installation at %1").arg(demo)};
            all.push_back(measure(demo, bench::wholeNumber(parser, QStringLiteral("ops")),
                                  bench::wholeNumber(parser, QStringLiteral("runs")), i + 1 == demos.size()));
        }
        for (size_t i = 1; i < all.size(); ++i) {
            std::printf("\nratio transfers/updates at %lld lots over at %lld lots:", all[i].lots, all[0].lots);
            for (size_t p = 0; p < all[i].ratio.size() && p < all[0].ratio.size(); ++p)
                std::printf("  %.2f", all[0].ratio[p] > 0 ? all[i].ratio[p] / all[0].ratio[p] : 0);
            std::printf("  (1, 2, 4 processes)\n");
        }
        return 0;
    });
}

// The statements of one transfer of a lot as it gains locations: the first to a new place
// creates a row there, each later one finds one more.
void statementsByLocations(const QString &target)
{
    db::Connection conn;
    conn.configure(db::Target{target, false, true});
    const auto rows = pickRows(conn);
    if (rows.empty())
        return;
    const auto &r = rows.back();
    PrintingOperator op;
    std::printf("statements of one transfer of lot %s by the locations it has:", qPrintable(r[1].toString()));
    for (const QString &dest : kPlaces) {
        if (transfer::SameLocation(dest, r[3].toString()))
            continue;
        const int locations = int(conn.query(QStringLiteral("select count(*) from ESTLOTE where ") + data::LotKeyCondition(),
                                             {r[0], r[1], r[2]})
                                      .rows[0][0]
                                      .toInt());
        const uint64_t before = db::statementsIssued();
        transfer::Transfer(conn, transfer::SourceLot{r[0], r[1], r[2], r[3], r[4].toString()}, QStringLiteral("0,001"),
                           dest, op);
        std::printf("  %d: %llu", locations, static_cast<unsigned long long>(db::statementsIssued() - before));
    }
    std::printf("\n");
}

static Ratios measure(const QString &demo, int ops, int runs, bool last)
{
    QTemporaryDir dir;
    const QString target = serverCopy(demo, dir);
    if (target.isEmpty())
        throw std::runtime_error("cannot copy the central database of " + demo.toStdString());
    Ratios out;
    {
        db::Connection conn;
        conn.configure(db::Target{target, false, true});
        const db::Rows n = conn.query(QStringLiteral("select count(*) from ESTLOTE"));
        out.lots = n.rows[0][0].toInt();
        std::printf("\ncentral database: %s, %lld lots, %d operations per process, medians of %d runs\n",
                    qPrintable(demo), out.lots, ops, runs);
    }
    std::printf("%-10s %14s %12s %14s %12s %8s\n", "processes", "transfers/s", "stmts/xfer", "updates/s",
                "stmts/upd", "ratio");
    for (int processes : {1, 2, 4}) {
        std::vector<double> transfers, updates, stmts, updStmts, ratios;
        int messages = 0;
        for (int run = 0; run < runs; ++run) {
            const Run r = runWorkers(target, processes, ops);
            transfers.push_back(r.transfersPerSecond);
            updates.push_back(r.updatesPerSecond);
            stmts.push_back(r.statementsPerTransfer);
            updStmts.push_back(r.statementsPerUpdate);
            ratios.push_back(r.updatesPerSecond > 0 ? r.transfersPerSecond / r.updatesPerSecond : 0);
            messages += r.messages;
        }
        const double t = bench::median(transfers), u = bench::median(updates);
        out.ratio.push_back(bench::median(ratios));
        std::printf("%-10d %14.1f %12.2f %14.1f %12.2f %8.2f%s\n", processes, t, bench::median(stmts), u,
                    bench::median(updStmts), out.ratio.back(), messages ? "  (some transfers refused)" : "");
    }
    statementsByLocations(target);
    if (last)
        reloadBench(target);
    return out;
}
