// One running copy: real processes of the probe program started one after another and together.
#include "support/qtprint.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QUuid>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Bounds for a process that works properly; they only keep a broken run from hanging.
constexpr int kGenerousMs = 20000;

QString probePath()
{
    return QStringLiteral(ESTOQUE_BINARY_DIR "/tests/singlecopy_probe");
}

QString uniqueKey()
{
    return QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-')
        + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

class Probe {
public:
    explicit Probe(const QString &key)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(probePath(), {key, QString::number(kGenerousMs)});
    }
    ~Probe()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kGenerousMs);
        }
    }

    bool started() { return m_process.waitForStarted(kGenerousMs); }

    // Waits for the first output line, "PRIMARY" or "SECOND".
    QString firstLine()
    {
        while (!m_process.canReadLine() && m_process.state() != QProcess::NotRunning)
            m_process.waitForReadyRead(kGenerousMs);
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

    bool finished() { return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(kGenerousMs); }
    int exitCode() const { return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1; }
    QStringList rest()
    {
        return QString::fromLocal8Bit(m_process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // Ends the running copy of `key` the ordinary way: a second start.
    static bool restore(const QString &key)
    {
        Probe second(key);
        return second.started() && second.firstLine() == "SECOND" && second.finished();
    }
    void crash()
    {
        m_process.kill();
        m_process.waitForFinished(kGenerousMs);
    }

private:
    QProcess m_process;
};

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo(probePath()).isExecutable())
            FAIL() << "build the singlecopy_probe target first: " << probePath().toStdString();
    }
};

TEST_F(SingleInstanceTest, SecondCopyRestoresTheFirstAndEnds)
{
    const QString key = uniqueKey();
    Probe first(key);
    ASSERT_TRUE(first.started());
    ASSERT_EQ(first.firstLine(), "PRIMARY");

    Probe second(key);
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.firstLine(), "SECOND");  // and no window of its own
    ASSERT_TRUE(second.finished());
    EXPECT_EQ(second.exitCode(), 0);

    ASSERT_TRUE(first.finished());
    EXPECT_EQ(first.rest(), QStringList{"RESTORED"});
    EXPECT_EQ(first.exitCode(), 0);
}

TEST_F(SingleInstanceTest, OtherKeysAndLaterStartsAreNotSeconds)
{
    const QString key = uniqueKey();
    {
        Probe one(key);
        ASSERT_TRUE(one.started());
        ASSERT_EQ(one.firstLine(), "PRIMARY");
        Probe other(key + "-other");
        ASSERT_TRUE(other.started());
        EXPECT_EQ(other.firstLine(), "PRIMARY");
        Probe second(key);
        ASSERT_TRUE(second.started());
        EXPECT_EQ(second.firstLine(), "SECOND");
        ASSERT_TRUE(one.finished());
        EXPECT_EQ(one.rest(), QStringList{"RESTORED"});
        EXPECT_TRUE(Probe::restore(key + "-other"));
        ASSERT_TRUE(other.finished());
        EXPECT_EQ(other.rest(), QStringList{"RESTORED"});
    }
    // The first copy has ended: the next start runs again.
    Probe again(key);
    ASSERT_TRUE(again.started());
    EXPECT_EQ(again.firstLine(), "PRIMARY");
    EXPECT_TRUE(Probe::restore(key));
}

TEST_F(SingleInstanceTest, CopyThatDiedLeavesNoBlockingSocket)
{
    const QString key = uniqueKey();
    {
        Probe killed(key);
        ASSERT_TRUE(killed.started());
        ASSERT_EQ(killed.firstLine(), "PRIMARY");
        killed.crash();  // its socket file stays behind
    }
    Probe next(key);
    ASSERT_TRUE(next.started());
    ASSERT_EQ(next.firstLine(), "PRIMARY");
    Probe second(key);
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.firstLine(), "SECOND");
    ASSERT_TRUE(next.finished());
    EXPECT_EQ(next.rest(), QStringList{"RESTORED"});
}

TEST_F(SingleInstanceTest, TwoStartedTogetherGiveOneCopy)
{
    for (int round = 0; round < 5; ++round) {
        const QString key = uniqueKey();
        auto a = std::make_unique<Probe>(key);
        auto b = std::make_unique<Probe>(key);
        ASSERT_TRUE(a->started());
        ASSERT_TRUE(b->started());
        const QString lineA = a->firstLine();
        const QString lineB = b->firstLine();
        const QStringList lines{lineA, lineB};
        ASSERT_EQ(lines.count("PRIMARY"), 1) << "round " << round << ": " << lineA.toStdString() << " / "
                                             << lineB.toStdString();
        ASSERT_EQ(lines.count("SECOND"), 1);
        Probe &primary = lineA == "PRIMARY" ? *a : *b;
        ASSERT_TRUE(primary.finished());
        EXPECT_EQ(primary.rest(), QStringList{"RESTORED"});
    }
}

} // namespace
