// Login to grid on a generated installation, embedded and through the Firebird server, side by
// side with their ratio; and, on a server of the benchmark's own that is stopped and started,
// the time from the server's return to the first successful refresh of the grid's dataset.
//   bench_server_login --demo DIR [--runs N]   (DIR made by: makedemo --dir DIR --lots 100000)
// The server run uses the Firebird server on 127.0.0.1:3050 (scripts/firebird-server).
#include "benchfigures.h"

#include "shell/errordisplay.h"
#include "shell/program.h"
#include "shell/tform1.h"
#include "data/cacheddataset.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "support/privateserver.h"
#include "users/ui/loginpanel.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

// Messages would block a timed run: print them instead.
class PrintingOperator : public platform::Operator {
public:
    void inform(const QString &t) override { std::fprintf(stderr, "message: %s\n", qPrintable(t)); }
    void warn(const QString &t) override { inform(t); }
    platform::Answer ask(const QString &t) override { inform(t); return platform::Answer::No; }
};

struct Run {
    double ms = 0;
    int rows = 0;
    uint64_t statements = 0;
    QString statement;   // the grid's statement after login
};

// A copy of the program folder and its central database; through the server, the folder is
// opened to the server's user and drives.conf sends the database to it.
QString copyInstallation(const QString &demo, const QString &into, bool server)
{
    const QString prog = into + QStringLiteral("/c/FORMULIX");
    QDir().mkpath(prog + QStringLiteral("/Dados"));
    QDir().mkpath(prog + QStringLiteral("/LOG"));
    for (const QString &f : {QStringLiteral("FORMULIX.INI"), QStringLiteral("drives.conf")})
        QFile::copy(demo + QStringLiteral("/c/FORMULIX/") + f, prog + QLatin1Char('/') + f);
    const QString db = prog + QStringLiteral("/Dados/FORMULIX.BD");
    QFile::copy(demo + QStringLiteral("/c/FORMULIX/Dados/FORMULIX.BD"), db);
    if (server) {
        for (const QString &d : {into, into + QStringLiteral("/c"), prog, prog + QStringLiteral("/Dados")})
            QFile::setPermissions(d, QFileDevice::Permissions(0x7777));
        QFile::setPermissions(db, QFileDevice::Permissions(0x6666));
        QFile conf(prog + QStringLiteral("/drives.conf"));
        conf.open(QIODevice::Append);
        conf.write(QStringLiteral("127.0.0.1:C: = 127.0.0.1:%1/c\n").arg(into).toUtf8());
    }
    return prog;
}

std::optional<Run> loginToGrid(const QString &prog)
{
    platform::SystemClock clock;
    PrintingOperator op;
    shell::Program program(prog, clock, op);
    program.osUserName = [] { return QStringLiteral("MARIA"); };
    shell::TForm1 form(program);
    if (!form.created())
        return std::nullopt;
    form.show();
    QCoreApplication::processEvents();
    if (form.startupFailed())
        return std::nullopt;
    form.PainelLogin->EditNome->setText(QStringLiteral("MARIA"));
    form.PainelLogin->EditSenhaU->setText(QStringLiteral("1234"));
    Run r;
    const uint64_t before = db::statementsIssued();
    QElapsedTimer t;
    t.start();
    form.PainelLogin->BotOkSenha->click();   // the login runs to the grid's rows
    r.ms = double(t.nsecsElapsed()) / 1e6;
    r.statements = db::statementsIssued() - before;
    r.rows = program.dm.ESTLOTE.rowCount();
    r.statement = program.dm.ESTLOTE.commandText();
    form.close();
    return r.rows > 0 ? std::optional<Run>(r) : std::nullopt;
}

} // namespace

const char kUsage[] = "usage: bench_server_login --demo DIR [--runs N]\n"
                      "  DIR made by: makedemo --dir DIR --lots 100000; N runs of each (3 by default)\n";

static int measure(const QString &demo, int runs);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    shell::EstoqueApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("demo"), QStringLiteral("demo installation folder"), QStringLiteral("DIR")});
        p.addOption({QStringLiteral("runs"), QStringLiteral("runs of each"), QStringLiteral("N"), QStringLiteral("3")});
        bench::parseArguments(p);
        const QString demo = bench::requireDemo(p);
        return measure(demo, bench::wholeNumber(p, QStringLiteral("runs")));
    });
}

static int measure(const QString &demo, int runs)
{

    std::vector<double> embedded, server;
    Run lastEmbedded, lastServer;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir a(QStringLiteral("/tmp/bench-login-XXXXXX")), b(QStringLiteral("/tmp/bench-login-XXXXXX"));
        const auto e = loginToGrid(copyInstallation(demo, a.path(), false));
        const auto s = loginToGrid(copyInstallation(demo, b.path(), true));
        if (!e || !s) {
            std::fprintf(stderr, "the login did not reach the grid (%s)\n", !e ? "embedded" : "server");
            return 1;
        }
        embedded.push_back(e->ms);
        server.push_back(s->ms);
        lastEmbedded = *e;
        lastServer = *s;
    }
    std::printf("login to grid, median of %d runs on %s (%d lots in the grid)\n", runs, qPrintable(demo), lastServer.rows);
    std::printf("  through the server : %8.1f ms  (%llu statements)\n", bench::median(server),
                static_cast<unsigned long long>(lastServer.statements));
    std::printf("  embedded           : %8.1f ms  (%llu statements)\n", bench::median(embedded),
                static_cast<unsigned long long>(lastEmbedded.statements));
    std::printf("  ratio server / embedded : %6.2f\n", bench::median(server) / bench::median(embedded));

    // The server restarts: time from its return to the first refresh that shows rows again.
    testsupport::PrivateServer restarting;
    if (!restarting.ready()) {
        std::fprintf(stderr, "no server of our own: %s\n", qPrintable(restarting.failure()));
        return 1;
    }
    QFile::copy(demo + QStringLiteral("/c/FORMULIX/Dados/FORMULIX.BD"), restarting.dataFolder() + QStringLiteral("/central.fdb"));
    db::Connection conn;
    conn.configure(restarting.target(QStringLiteral("central.fdb")));
    data::CachedDataset lots(QStringLiteral("ESTLOTE"), &conn);
    lots.setCommandText(lastServer.statement);
    lots.open();
    std::vector<double> plain, recovered;
    uint64_t recoveryStatements = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        lots.refresh();
        plain.push_back(double(t.nsecsElapsed()) / 1e6);
        restarting.stop();
        if (!restarting.start()) {
            std::fprintf(stderr, "the server did not come back\n");
            return 1;
        }
        const uint64_t before = db::statementsIssued();
        t.restart();
        lots.refresh();   // the first click after the restart
        recovered.push_back(double(t.nsecsElapsed()) / 1e6);
        recoveryStatements = db::statementsIssued() - before;
    }
    std::printf("server restart, median of %d on %d rows (a server of the benchmark's own)\n", runs, lots.rowCount());
    std::printf("  refresh, link up                     : %8.1f ms\n", bench::median(plain));
    std::printf("  server back to first refresh done    : %8.1f ms  (%llu statements prepared)\n",
                bench::median(recovered), static_cast<unsigned long long>(recoveryStatements));
    std::printf("  ratio after restart / link up        : %6.2f\n", bench::median(recovered) / bench::median(plain));
    return 0;
}
