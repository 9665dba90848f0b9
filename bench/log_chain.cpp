// The activity log's integrity check on a month of 1 000 000 lines: the whole check (every line
// hashed against its chain entry) beside reading the same log and chain without hashing; a line
// edited near the end found; then the writer's cost per line written with its chain entry.
// Prints figures only.
#include "benchmain.h"

#include "core/activitylog.h"
#include "core/logchain.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/winpath.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char kUsage[] = "usage: bench_log_chain --work DIR [--lines N]\n"
                      "  DIR: an existing folder where a log of N lines (default 1000000, about 100 MB with its\n"
                      "  chain) is written, in a temporary folder removed at the end\n";

struct Silent : platform::Operator {
    void inform(const QString &t) override { std::printf("message: %s\n", qPrintable(t)); }
    void warn(const QString &t) override { inform(t); }
    platform::Answer ask(const QString &) override { return platform::Answer::No; }
};

QByteArray lineNumber(qint64 n)
{
    static const QByteArray users[] = {"MARIA", "JOS\xc9", "ANA PAULA"};
    return "07/03/24-14:05 - " + users[n % 3] + " - Alterou o Saldo Atual de 1.234,5 para "
        + QByteArray::number(n % 9973) + " do lote L" + QByteArray::number(n) + " (a\xe7\xe3o)\r\n";
}

double readOnly(const QString &path)
{
    QElapsedTimer t;
    t.start();
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    QByteArray block(4 << 20, Qt::Uninitialized);
    qint64 lines = 0;
    for (qint64 n; (n = f.read(block.data(), block.size())) > 0;)
        lines += QByteArrayView(block.constData(), n).count('\n');
    Q_UNUSED(lines);
    return double(t.nsecsElapsed()) / 1e9;
}

int measure(const QString &work, int lines)
{
    QTemporaryDir dir(work + QStringLiteral("/bench-logchain-XXXXXX"));
    if (!dir.isValid())
        throw std::runtime_error("cannot make a folder in the work folder");
    const QString log = dir.filePath(QStringLiteral("LOGESTOQ_2024-03.TXT"));
    const QString chain = core::ChainFilePath(log);

    // The month written in blocks through the writer's own chaining.
    QElapsedTimer t;
    t.start();
    {
        const int fd = ::open(QFile::encodeName(log).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0)
            throw std::runtime_error("cannot write the log");
        QByteArray block;
        for (qint64 n = 0; n < lines;) {
            block.clear();
            for (int i = 0; i < 10000 && n < lines; ++i, ++n)
                block += lineNumber(n);
            core::ChainPoint point;
            if (!core::AppendChained(fd, log, chain, block, &point))
                throw std::runtime_error("cannot write the log");
        }
        ::close(fd);
    }
    const double made = double(t.nsecsElapsed()) / 1e9;
    const double logMb = double(QFileInfo(log).size()) / 1048576.0;
    const double chainMb = double(QFileInfo(chain).size()) / 1048576.0;
    std::printf("log: %d lines, %.1f MB; chain %.1f MB; written and chained in %.2f s\n", lines, logMb, chainMb, made);

    // Cold-ish and warm: the first check reads the files the writer just wrote (in the page cache).
    double best = 1e9;
    core::ChainCheck check;
    for (int round = 0; round < 3; ++round) {
        t.restart();
        check = core::VerifyChain(log, chain, nullptr);
        best = std::min(best, double(t.nsecsElapsed()) / 1e9);
    }
    if (check.kind != core::Tamper::None || check.lines != lines)
        throw std::runtime_error("the untouched log did not check out");
    const double bare = std::min(readOnly(log) + readOnly(chain), readOnly(log) + readOnly(chain));
    std::printf("check of %d lines: %.3f s (best of 3; %.0f lines/s); reading log and chain alone: %.3f s; "
                "ratio %.1f\n",
                lines, best, lines / best, bare, best / bare);

    // A line edited near the end: the check runs to it and names it.
    {
        QFile f(log);
        f.open(QIODevice::ReadWrite);
        const qint64 at = f.size() - 40;
        f.seek(at);
        f.write("X");
    }
    t.restart();
    check = core::VerifyChain(log, chain, nullptr);
    std::printf("a line edited near the end: found at line %lld in %.3f s: %s\n", check.line,
                double(t.nsecsElapsed()) / 1e9, qPrintable(core::ChainCheckMessage(check, {}).section(QLatin1Char('\r'), 0, 0)));

    // The writer's cost per line: the program's own writes (open, lock, append, close) with the chain.
    const int writes = 2000;
    platform::FixedClock clock(QDateTime(QDate(2024, 3, 7), QTime(14, 5)));
    QDir(dir.path()).mkpath(QStringLiteral("share/LOG"));
    const platform::WinPaths paths =
        platform::WinPaths::parse(QStringLiteral("\\\\SRV\\Formulix = share\n"), dir.path());
    core::ActivityLog activity(clock, paths);
    Silent op;
    activity.OpenActivityLog(QStringLiteral("SRV"), QStringLiteral("MARIA"), op);
    t.restart();
    for (int i = 0; i < writes; ++i)
        activity.WriteActivityLine(QStringLiteral("MARIA"), QStringLiteral("Alterou o Saldo Atual de 1 para %1").arg(i));
    const double chained = double(t.nsecsElapsed()) / 1e9;
    std::printf("%d lines written one by one, each with its chain entry: %.1f us a line\n", writes,
                chained * 1e6 / writes);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("work"), QStringLiteral("folder the log is written in"), QStringLiteral("DIR")});
        p.addOption({QStringLiteral("lines"), QStringLiteral("lines of the month"), QStringLiteral("N"),
                     QStringLiteral("1000000")});
        bench::parseArguments(p);
        return measure(bench::requireFolder(p, QStringLiteral("work")), bench::wholeNumber(p, QStringLiteral("lines")));
    });
}
