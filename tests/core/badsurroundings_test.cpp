// The installed program as a real process among files and databases in a bad state: a
// configuration that is a FIFO or a link to a device, a loop of links in the database path, a
// local database that cannot be opened while a server on the fallback port never answers, and a
// request to end the program while the start waits. Each ends in words, never in a hang or a crash.
#include "core/startup.h"
#include "support/tempinstall.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A port where something accepts connections and never says a word.
class SilentListener {
public:
    SilentListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && ::listen(m_fd, 16) == 0
            && ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            m_port = ntohs(a.sin_port);
    }
    ~SilentListener() { ::close(m_fd); }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

class BadSurroundings : public ::testing::Test {
protected:
    testsupport::TempInstall inst;
    QTemporaryDir runtime;
    QString program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess p;
    QByteArray said;   // what the program told the operator (echoed on standard error)

    void SetUp() override
    {
        inst.closeConnections();
        program = inst.programFolder() + QStringLiteral("/estoque");
        ASSERT_TRUE(QFile::copy(QStringLiteral(ESTOQUE_BINARY_DIR "/estoque"), program)) << "build the estoque target first";
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    }
    void TearDown() override
    {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(5000);
        }
    }
    QString programFile(const QString &name) const { return inst.programFolder() + QLatin1Char('/') + name; }

    void start()
    {
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(runtime.path());
        p.start(program, {});
        ASSERT_TRUE(p.waitForStarted(10000));
    }
    // Waits until the program has said `text` (true), or ended or run out of time (false).
    bool saysWithin(const QString &text, int ms)
    {
        const QByteArray wanted = text.toLocal8Bit();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            p.waitForReadyRead(100);
            said += p.readAllStandardError();
            if (said.contains(wanted))
                return true;
            if (p.state() == QProcess::NotRunning) {
                said += p.readAllStandardError();
                return said.contains(wanted);
            }
        }
        return false;
    }
    // A request from the system to end the program is honoured promptly.
    void endsOnRequest()
    {
        ASSERT_EQ(p.state(), QProcess::Running) << "it ended by itself: " << said.toStdString();
        ::kill(pid_t(p.processId()), SIGTERM);
        ASSERT_TRUE(p.waitForFinished(5000)) << "TERM was ignored";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    }
    static QString startupMessagePrefix() { return QStringLiteral("Não foi possível atualizar a tabela ESTLOTE com "); }
};

TEST_F(BadSurroundings, AConfigurationThatIsNoRegularFileIsReportedUnreadable)
{
    const QString ini = programFile(QStringLiteral("FORMULIX.INI"));
    for (const auto &[label, make] : std::vector<std::pair<const char *, std::function<bool()>>>{
             {"FIFO", [&] { return ::mkfifo(QFile::encodeName(ini).constData(), 0644) == 0; }},
             {"link to /dev/zero", [&] { return QFile::link(QStringLiteral("/dev/zero"), ini); }},
         }) {
        SCOPED_TRACE(label);
        QFile::remove(ini);
        ASSERT_TRUE(make());
        said.clear();
        start();
        // The program's folder is seen as the server's share it is mapped to.
        EXPECT_TRUE(saysWithin(QStringLiteral("Não foi possível ler o arquivo \\\\127.0.0.1\\Formulix\\FORMULIX.INI: "
                                              "não é um arquivo comum"), 15000))
            << said.toStdString();
        endsOnRequest();
    }
}

TEST_F(BadSurroundings, ADrivesConfThatIsNoRegularFileCountsAsNone)
{
    // Without drives.conf the central database path is not reachable: the start-up message.
    const QString conf = programFile(QStringLiteral("drives.conf"));
    for (const auto &[label, make] : std::vector<std::pair<const char *, std::function<bool()>>>{
             {"FIFO", [&] { return ::mkfifo(QFile::encodeName(conf).constData(), 0644) == 0; }},
             {"link to /dev/urandom", [&] { return QFile::link(QStringLiteral("/dev/urandom"), conf); }},
         }) {
        SCOPED_TRACE(label);
        QFile::remove(conf);
        ASSERT_TRUE(make());
        said.clear();
        start();
        EXPECT_TRUE(saysWithin(startupMessagePrefix(), 15000)) << said.toStdString();
        endsOnRequest();
    }
}

TEST_F(BadSurroundings, ALoopOfLinksInTheDatabasePathGivesTheStartupMessage)
{
    const QString dados = inst.local(QStringLiteral("c/FORMULIX/Dados"));
    ASSERT_TRUE(QDir().rename(dados, dados + QStringLiteral(".real")));
    ASSERT_TRUE(QFile::link(dados, dados));   // Dados links to itself
    start();
    EXPECT_TRUE(saysWithin(startupMessagePrefix(), 15000)) << said.toStdString();
    EXPECT_TRUE(said.contains("Banco de Dados: 127.0.0.1:C:\\formulix\\Dados\\FORMULIX.BD")) << said.toStdString();
    endsOnRequest();   // still running: no crash in the engine
}

TEST_F(BadSurroundings, ALocalDatabaseThatCannotBeOpenedNeverWaitsOnAServer)
{
    // The client library reads its fallback server port from its configuration: here it points
    // at a listener that never answers, as a hanging server on 127.0.0.1 would.
    SilentListener silent;
    ASSERT_GT(silent.port(), 0);
    QTemporaryDir fbroot;
    const QString installed = QStringLiteral("/usr/lib/x86_64-linux-gnu/firebird/3.0");
    for (const QString &entry : {QStringLiteral("firebird.msg"), QStringLiteral("plugins"), QStringLiteral("intl"),
                                 QStringLiteral("lib"), QStringLiteral("UDF"), QStringLiteral("plugins.conf")})
        QFile::link(installed + QLatin1Char('/') + entry, fbroot.filePath(entry));
    QFile conf(fbroot.filePath(QStringLiteral("firebird.conf")));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("RemoteServicePort = " + QByteArray::number(silent.port()) + "\n");
    conf.close();
    env.insert(QStringLiteral("FIREBIRD"), fbroot.path());

    const QString db = inst.local(QStringLiteral("c/FORMULIX/Dados/FORMULIX.BD"));
    for (const auto &[label, make] : std::vector<std::pair<const char *, std::function<bool()>>>{
             {"truncated", [&] { return QFile::resize(db, 1000); }},
             {"missing", [&] { return QFile::remove(db); }},
             {"FIFO", [&] { return ::mkfifo(QFile::encodeName(db).constData(), 0644) == 0; }},
         }) {
        SCOPED_TRACE(label);
        ASSERT_TRUE(make());
        said.clear();
        start();
        EXPECT_TRUE(saysWithin(startupMessagePrefix(), 20000)) << said.toStdString();
        endsOnRequest();
    }
}

TEST_F(BadSurroundings, ARequestToEndIsHonouredWhileTheStartWaitsForAServer)
{
    SilentListener silent;
    ASSERT_GT(silent.port(), 0);
    QFile conf(programFile(QStringLiteral("drives.conf")));
    ASSERT_TRUE(conf.open(QIODevice::Append));
    conf.write(QStringLiteral("127.0.0.1:C: = 127.0.0.1/%1:%2/c\n").arg(silent.port()).arg(inst.root()).toUtf8());
    conf.close();
    env.insert(QStringLiteral("ESTOQUE_CONNECT_TIMEOUT"), QStringLiteral("120"));
    start();
    QThread::msleep(1500);   // well into the attach that waits for an answer
    endsOnRequest();
}

TEST_F(BadSurroundings, AServerThatNeverAnswersGivesUpAfterTheConnectTimeout)
{
    SilentListener silent;
    ASSERT_GT(silent.port(), 0);
    QFile conf(programFile(QStringLiteral("drives.conf")));
    ASSERT_TRUE(conf.open(QIODevice::Append));
    conf.write(QStringLiteral("127.0.0.1:C: = 127.0.0.1/%1:%2/c\n").arg(silent.port()).arg(inst.root()).toUtf8());
    conf.close();
    env.insert(QStringLiteral("ESTOQUE_CONNECT_TIMEOUT"), QStringLiteral("2"));
    start();
    EXPECT_TRUE(saysWithin(startupMessagePrefix(), 20000)) << said.toStdString();
    endsOnRequest();
}

} // namespace
