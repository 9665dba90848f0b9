// Start-up time on a generated installation: from process start to the login panel shown,
// against the two start-up statements run alone through isql-fb on an identical database.
//   bench_startup --demo DIR [--runs N]      (DIR made by: makedemo --dir DIR --lots 100000)
#include "benchfigures.h"

#include "core/startup.h"
#include "shell/errordisplay.h"
#include "shell/program.h"
#include "shell/tform1.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "users/ui/loginpanel.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Messages would block a timed start: print them instead.
class PrintingOperator : public platform::Operator {
public:
    void inform(const QString &t) override { std::fprintf(stderr, "message: %s\n", qPrintable(t)); }
    void warn(const QString &t) override { inform(t); }
    platform::Answer ask(const QString &t) override { inform(t); return platform::Answer::No; }
};

int child(int argc, char **argv, const QString &programFolder)
{
    shell::EstoqueApplication app(argc, argv);
    platform::SystemClock clock;
    PrintingOperator op;
    shell::Program program(programFolder, clock, op);
    shell::TForm1 form(program);
    if (!form.created())
        return 2;
    form.show();
    QTimer::singleShot(0, [&] {
        if (form.PainelLogin->isVisible()) {
            std::printf("SHOWN\n");
            std::fflush(stdout);
        }
        QCoreApplication::exit(form.startupFailed() ? 3 : 0);
    });
    return app.exec();
}

// A copy of the installation's program folder and central database, so every run starts
// from the same data.
QString copyInstallation(const QString &demo, const QString &into)
{
    const QString prog = into + QStringLiteral("/c/FORMULIX");
    QDir().mkpath(prog + QStringLiteral("/Dados"));
    QDir().mkpath(prog + QStringLiteral("/LOG"));
    for (const QString &f : {QStringLiteral("FORMULIX.INI"), QStringLiteral("drives.conf")})
        QFile::copy(demo + QStringLiteral("/c/FORMULIX/") + f, prog + QLatin1Char('/') + f);
    QFile::copy(demo + QStringLiteral("/c/FORMULIX/Dados/FORMULIX.BD"), prog + QStringLiteral("/Dados/FORMULIX.BD"));
    return prog;
}

} // namespace

const char kUsage[] = "usage: bench_startup --demo DIR [--runs N]\n"
                      "  DIR made by: makedemo --dir DIR --lots 100000; N runs of each (3 by default)\n";

static int measure(const QString &demo, int runs);

int main(int argc, char **argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--child") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return child(argc, argv, QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("demo"), QStringLiteral("demo installation folder"), QStringLiteral("DIR")});
        p.addOption({QStringLiteral("runs"), QStringLiteral("runs of each"), QStringLiteral("N"), QStringLiteral("3")});
        if (!p.parse(QCoreApplication::arguments()))
            throw bench::UsageError{p.errorText()};
        if (!p.positionalArguments().isEmpty())
            throw bench::UsageError{QStringLiteral("unexpected argument: %1").arg(p.positionalArguments().first())};
        if (!p.isSet(QStringLiteral("demo")))
            throw bench::UsageError{QStringLiteral("--demo DIR is needed")};
        const QString demo = QDir(p.value(QStringLiteral("demo"))).absolutePath();
        if (!QFile::exists(demo + QStringLiteral("/c/FORMULIX/Dados/FORMULIX.BD")))
            throw bench::UsageError{QStringLiteral("no installation at %1").arg(demo)};
        bool ok = false;
        const int runs = p.value(QStringLiteral("runs")).toInt(&ok);
        if (!ok || runs < 1)
            throw bench::UsageError{QStringLiteral("--runs takes a whole number of at least 1")};
        return measure(demo, runs);
    });
}

static int measure(const QString &demo, int runs)
{
    std::vector<double> program, statements;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir a, b;
        const QString progA = copyInstallation(demo, a.path());
        QProcess proc;
        QElapsedTimer t;
        t.start();
        proc.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), progA});
        proc.waitForFinished(600000);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (!proc.readAllStandardOutput().contains("SHOWN")) {
            std::fprintf(stderr, "the program did not reach its login panel: %s\n", proc.readAllStandardError().constData());
            return 1;
        }
        program.push_back(ms);

        const QString progB = copyInstallation(demo, b.path());
        const QString script = b.path() + QStringLiteral("/startup.sql");
        QFile s(script);
        s.open(QIODevice::WriteOnly);
        s.write(QStringLiteral("connect '%1/Dados/FORMULIX.BD' user 'SYSDBA' password 'vortexine';\n%2;\n%3;\ncommit;\n")
                    .arg(progB, core::ExpiryStatement(QDate::currentDate()), core::kNegativeBalanceStatement)
                    .toUtf8());
        s.close();
        QProcess isql;
        t.restart();
        isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-i"), script});
        isql.waitForFinished(600000);
        statements.push_back(double(t.nsecsElapsed()) / 1e6);
        if (isql.exitCode() != 0) {
            std::fprintf(stderr, "isql-fb failed: %s\n", isql.readAllStandardError().constData());
            return 1;
        }
    }
    const double prog = bench::median(program), stmts = bench::median(statements);
    std::printf("start-up, median of %d runs on %s\n", runs, qPrintable(demo));
    std::printf("  program start to login panel shown : %8.1f ms\n", prog);
    std::printf("  the two statements alone (isql-fb)  : %8.1f ms\n", stmts);
    std::printf("  ratio program / statements          : %8.2f   (aim: under 1.5)\n", prog / stmts);
    return 0;
}
