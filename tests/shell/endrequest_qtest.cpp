// The program as a real process ended by the system (TERM, INT) with a report preview open, a
// message open, a report build under way or nothing open: it ends, as "Sair" ends it, with the
// exit line in the log; a build under way goes on to its end first.
#include "core/activitylog.h"
#include "platform/cp1252.h"
#include "support/demoinstall.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class EndRequestTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString logText() const
    {
        QDir logs(testsupport::demoProgramFolder(m_dir.path()) + QStringLiteral("/LOG"));
        QByteArray all;
        for (const QString &name : logs.entryList(QDir::Files)) {
            QFile f(logs.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                all += f.readAll();
        }
        return platform::fromCp1252(all);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 40, QDate::currentDate()), QString());
    }

    void endsInEveryState_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("signal");
        QTest::newRow("preview, TERM") << "preview" << int(SIGTERM);
        QTest::newRow("preview, INT") << "preview" << int(SIGINT);
        QTest::newRow("message, TERM") << "message" << int(SIGTERM);
        QTest::newRow("idle, INT") << "idle" << int(SIGINT);
        QTest::newRow("build, TERM") << "build" << int(SIGTERM);
    }

    void endsInEveryState()
    {
        QFETCH(QString, state);
        QFETCH(int, signal);
        QTemporaryDir runtime;   // where the running copy leaves its socket
        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        probe.setProcessEnvironment(env);
        probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const int exitsBefore = logText().count(core::kExitLine);
        probe.start(QStringLiteral(ESTOQUE_BINARY_DIR "/tests/endrequest_probe"),
                    {testsupport::demoProgramFolder(m_dir.path()), state});
        QVERIFY(probe.waitForStarted(10000));
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (!out.contains('\n') && t.elapsed() < 30000 && probe.state() == QProcess::Running) {
            probe.waitForReadyRead(200);
            out += probe.readAllStandardOutput();
        }
        QCOMPARE(out.trimmed(), QByteArray("READY"));
        out.clear();

        ::kill(pid_t(probe.processId()), signal);
        const bool ended = probe.waitForFinished(15000);
        if (!ended) {
            probe.kill();
            probe.waitForFinished(5000);
        }
        QVERIFY2(ended, "the program did not end");
        out += probe.readAllStandardOutput();
        // The build asked to end went on to its report: its rows were written whole.
        if (state == QLatin1String("build"))
            QCOMPARE(out.trimmed(), QByteArray("PREVIEW"));
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe.exitCode(), 0);
        QCOMPARE(logText().count(core::kExitLine), exitsBefore + 1);
    }
};

QTEST_GUILESS_MAIN(EndRequestTest)
#include "endrequest_qtest.moc"
