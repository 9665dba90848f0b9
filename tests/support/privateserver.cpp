#include "privateserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

const QString kServerProgram = QStringLiteral("/usr/sbin/firebird");
const QString kInstalledRoot = QStringLiteral("/usr/lib/x86_64-linux-gnu/firebird/3.0");

sockaddr_in loopback(int port)
{
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = loopback(port);
    const bool up = ::connect(fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0;
    ::close(fd);
    return up;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace

PrivateServer::PrivateServer()
{
    const QString root = m_dir.path();
    if (!m_dir.isValid() || !QFileInfo(kServerProgram).isExecutable()) {
        m_failure = QStringLiteral("no server program at ") + kServerProgram;
        return;
    }
    QDir(root).mkpath(QStringLiteral("lock"));
    QDir(root).mkpath(QStringLiteral("tmp"));
    QDir(root).mkpath(QStringLiteral("data"));
    // The installed messages, plugins and character sets; a configuration of its own.
    for (const QString &entry : {QStringLiteral("firebird.msg"), QStringLiteral("plugins"), QStringLiteral("intl"),
                                 QStringLiteral("lib"), QStringLiteral("UDF")})
        QFile::link(kInstalledRoot + QLatin1Char('/') + entry, root + QLatin1Char('/') + entry);
    QFile::copy(QStringLiteral("/etc/firebird/3.0/plugins.conf"), root + QStringLiteral("/plugins.conf"));
    QFile::copy(QStringLiteral("/etc/firebird/3.0/fbintl.conf"), root + QStringLiteral("/fbintl.conf"));
    writeFile(root + QStringLiteral("/databases.conf"), QByteArray());
    m_port = freeLoopbackPort();
    const QByteArray conf = "RemoteServicePort = " + QByteArray::number(m_port) + "\n"
                            "RemoteBindAddress = 127.0.0.1\n"
                            "ServerMode = Super\n"
                            "SecurityDatabase = " + QFile::encodeName(root) + "/security3.fdb\n";
    if (!writeFile(root + QStringLiteral("/firebird.conf"), conf)) {
        m_failure = QStringLiteral("cannot write the configuration");
        return;
    }
    // Its own security database with the suite's SYSDBA password, made by the embedded engine
    // under this configuration.
    const QString init = root + QStringLiteral("/init.sql");
    writeFile(init, "create database '" + QFile::encodeName(root) + "/security3.fdb';\n"
                    "create user SYSDBA password 'vortexine';\ncommit;\n");
    QProcess isql;
    isql.setProcessEnvironment(serverEnvironment());
    isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-user"), QStringLiteral("SYSDBA"),
                                           QStringLiteral("-i"), init});
    if (!isql.waitForFinished(30000) || isql.exitCode() != 0
        || !QFileInfo::exists(root + QStringLiteral("/security3.fdb"))) {
        m_failure = QStringLiteral("security database not made: ") + QString::fromLocal8Bit(isql.readAllStandardError());
        return;
    }
    m_ready = start();
    if (!m_ready)
        m_failure = QStringLiteral("the server did not start: ") + QString::fromLocal8Bit(m_server.readAll());
}

PrivateServer::~PrivateServer()
{
    stop();
}

QProcessEnvironment PrivateServer::serverEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FIREBIRD"), m_dir.path());
    env.insert(QStringLiteral("FIREBIRD_LOCK"), m_dir.path() + QStringLiteral("/lock"));
    env.insert(QStringLiteral("FIREBIRD_TMP"), m_dir.path() + QStringLiteral("/tmp"));
    return env;
}

bool PrivateServer::waitForPort(bool open, int ms) const
{
    QElapsedTimer t;
    t.start();
    do {
        if (accepts(m_port) == open)
            return true;
        QThread::msleep(50);
    } while (t.elapsed() < ms);
    return false;
}

bool PrivateServer::start()
{
    if (isRunning())
        return true;
    m_server.setProcessEnvironment(serverEnvironment());
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.start(kServerProgram, {});
    if (!m_server.waitForStarted(10000))
        return false;
    return waitForPort(true, 20000);
}

void PrivateServer::stop()
{
    if (!isRunning())
        return;
    thaw();   // a frozen process would not see TERM
    m_server.terminate();
    if (!m_server.waitForFinished(3000)) {   // it waits for its attachments for a while
        m_server.kill();
        m_server.waitForFinished(5000);
    }
    waitForPort(false, 5000);
}

void PrivateServer::kill()
{
    if (!isRunning())
        return;
    m_server.kill();   // a frozen one too
    m_frozen = false;
    m_server.waitForFinished(5000);
    waitForPort(false, 5000);
}

void PrivateServer::freeze()
{
    if (isRunning() && !m_frozen && ::kill(pid_t(m_server.processId()), SIGSTOP) == 0)
        m_frozen = true;
}

void PrivateServer::thaw()
{
    if (m_frozen)
        ::kill(pid_t(m_server.processId()), SIGCONT);
    m_frozen = false;
}

db::Target PrivateServer::target(const QString &fileName) const
{
    return db::Target{QStringLiteral("127.0.0.1/%1:%2/%3").arg(m_port).arg(dataFolder(), fileName), false, true};
}

} // namespace testsupport
