// One running copy per user and desktop, through a local socket the first copy listens on.
#include "singleinstance.h"

#include "osuser.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace platform {

namespace {

const QByteArray kRestore = QByteArrayLiteral("restore");
constexpr int kWaitMs = 2000;
constexpr qsizetype kMaxMessage = 1024;

QString displayName()
{
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty() && qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        display = QGuiApplication::platformName();
    return display;
}

// Socket names become file names (and on Windows pipe names): only harmless characters, and
// short enough for the 108 bytes a Unix socket path may take.
QString sanitised(const QString &raw)
{
    QString name;
    for (const QChar c : raw) {
        const ushort u = c.unicode();
        const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')
            || u == '-' || u == '_' || u == '.';
        name += plain ? c : QLatin1Char('_');
    }
    if (name.size() > 64) {
        const QByteArray hash = QCryptographicHash::hash(raw.toUtf8(), QCryptographicHash::Sha1).toHex();
        name = name.left(48) + QLatin1Char('-') + QString::fromLatin1(hash.left(12));
    }
    return name;
}

QString serverName(const QString &key)
{
    const QString name = sanitised(key + QLatin1Char('-') + osUserName() + QLatin1Char('-') + displayName());
#ifdef Q_OS_WIN
    return name;
#else
    // The user's own runtime folder keeps other users from squatting on the name; /tmp otherwise.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QFileInfo runtimeInfo(runtime);
    const QString dir = !runtime.isEmpty() && runtimeInfo.isDir() && runtimeInfo.isWritable() ? runtime : QDir::tempPath();
    return QDir(dir).filePath(name);
#endif
}

// True when a running copy took the request.
bool askRunningCopy(const QString &name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kWaitMs))
        return false;
    socket.write(kRestore + '\n');
    const bool sent = socket.waitForBytesWritten(kWaitMs) || socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kWaitMs);
    return sent;
}

} // namespace

SingleInstance::SingleInstance(const QString &key, QObject *parent)
    : QObject(parent), m_name(serverName(key))
{
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    if (m_server && m_server->isListening())
        return true;
    if (askRunningCopy(m_name))
        return false;

    // Nobody answered: a socket left there is stale. Two copies started together would each remove
    // the other's fresh socket, so the check and the takeover happen under a lock. Only a copy that
    // found nobody running gets this far, so a second copy of a running one creates no file.
    QLockFile lock(m_name + QStringLiteral(".lock"));
    const bool locked = lock.tryLock(5 * kWaitMs);
    if (locked && askRunningCopy(m_name))
        return false;
    QLocalServer::removeServer(m_name);

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // Better a second copy than no copy at all.
        qWarning("single running copy not guarded: %s", qPrintable(m_server->errorString()));
        return true;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            const auto handle = [this, client](bool closing) {
                while (client->canReadLine()) {
                    if (client->readLine().trimmed() == kRestore)
                        Q_EMIT restoreRequested();
                }
                if (closing && client->readAll().trimmed() == kRestore)
                    Q_EMIT restoreRequested();
                else if (client->bytesAvailable() > kMaxMessage)
                    client->abort();
            };
            connect(client, &QLocalSocket::readyRead, this, [handle] { handle(false); });
            connect(client, &QLocalSocket::disconnected, this, [client, handle] {
                handle(true);
                client->deleteLater();
            });
            handle(false);
        }
    });
    return true;
}

} // namespace platform
