// The installed program as real processes: one running copy per user and display, and an end
// asked by the system closing the window as "Sair" does.
#include "support/qtprint.h"
#include "support/tempinstall.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

namespace {

class InstalledProgram : public ::testing::Test {
protected:
    testsupport::TempInstall inst;
    QTemporaryDir runtime;   // where the running copy leaves its socket
    QString program;

    void SetUp() override
    {
        inst.closeConnections();
        program = inst.programFolder() + QStringLiteral("/estoque");
        ASSERT_TRUE(QFile::copy(QStringLiteral(ESTOQUE_BINARY_DIR "/estoque"), program)) << "build the estoque target first";
    }

    void start(QProcess &p)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(runtime.path());
        p.start(program, {});
        ASSERT_TRUE(p.waitForStarted(10000));
    }

    // Up: it has taken the system's end requests over, the last step before its event loop.
    static bool waitUntilRunning(const QProcess &p)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000 && p.state() == QProcess::Running) {
            QFile status(QStringLiteral("/proc/%1/status").arg(p.processId()));
            if (status.open(QIODevice::ReadOnly)) {
                for (const QByteArray &line : status.readAll().split('\n')) {
                    if (line.startsWith("SigCgt:")) {
                        const qulonglong caught = line.mid(7).trimmed().toULongLong(nullptr, 16);
                        if (caught & (1ull << (SIGHUP - 1)))
                            return true;
                    }
                }
            }
            QThread::msleep(50);
        }
        return false;
    }

    QStringList logFiles() const { return QDir(inst.local(QStringLiteral("c/FORMULIX/LOG"))).entryList(QDir::Files); }
};

TEST_F(InstalledProgram, ASecondStartLeavesTheRunningCopyAndEndsAtOnce)
{
    QProcess first;
    start(first);
    ASSERT_TRUE(waitUntilRunning(first));

    QProcess second;
    start(second);
    ASSERT_TRUE(second.waitForFinished(10000)) << "the second copy kept running";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_TRUE(logFiles().isEmpty());

    // The system asking the program to end closes its window the ordinary way.
    ::kill(pid_t(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_TRUE(logFiles().isEmpty());   // nobody logged in: no exit line
}

} // namespace
