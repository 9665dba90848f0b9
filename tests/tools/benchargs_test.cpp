// Every benchmark program, given a wrong or missing argument, prints its usage and ends with an
// error status instead of aborting.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

QStringList benchmarks()
{
    const QDir dir(QStringLiteral(ESTOQUE_BINARY_DIR "/bench"));
    QStringList out;
    for (const QFileInfo &f : dir.entryInfoList({QStringLiteral("bench_*")}, QDir::Files | QDir::Executable))
        out << f.absoluteFilePath();
    return out;
}

} // namespace

TEST(Benchmarks, AWrongArgumentShowsTheUsage)
{
    const QStringList programs = benchmarks();
    ASSERT_FALSE(programs.isEmpty()) << "no benchmark built in " ESTOQUE_BINARY_DIR "/bench";

    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString notADatabase = tmp.filePath(QStringLiteral("FORMULIX.BD"));
    {
        QFile f(notADatabase);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a database\n");
    }
    const QList<QStringList> wrong = {
        {},
        {QStringLiteral("--no-such-option")},
        {QStringLiteral("--demo")},
        {QStringLiteral("--demo"), tmp.filePath(QStringLiteral("nothing"))},
        {QStringLiteral("--central")},
        {QStringLiteral("--central"), tmp.filePath(QStringLiteral("nothing.bd"))},
        {QStringLiteral("--central"), notADatabase},
        {tmp.filePath(QStringLiteral("nothing.bd"))},
        {notADatabase},
        {QStringLiteral("--runs"), QStringLiteral("x")},
        {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")},
    };
    for (const QString &program : programs) {
        for (const QStringList &args : wrong) {
            const QString what = QFileInfo(program).fileName() + QLatin1Char(' ') + args.join(QLatin1Char(' '));
            QProcess p;
            p.setProcessChannelMode(QProcess::SeparateChannels);
            p.start(program, args);
            ASSERT_TRUE(p.waitForFinished(60000)) << what.toStdString();
            const QString err = QString::fromLocal8Bit(p.readAllStandardError());
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << what.toStdString() << "\n" << err.toStdString();
            EXPECT_NE(p.exitCode(), 0) << what.toStdString();
            EXPECT_TRUE(err.contains(QStringLiteral("usage: ") + QFileInfo(program).fileName()))
                << what.toStdString() << "\n" << err.toStdString();
        }
    }
}
