// A Firebird server of the test's own: the installed server program run with its own
// configuration, port, lock folder and security database in a temporary folder, so a test can
// stop and start it (as a server restarted at night) without touching the shared server.
#pragma once
#include "db/connection.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

class PrivateServer {
public:
    PrivateServer();   // prepares the folder and starts the server; check ready()
    ~PrivateServer();

    bool ready() const { return m_ready; }
    const QString &failure() const { return m_failure; }   // why it could not be made
    int port() const { return m_port; }

    // A database file of the test, in a folder of its own, as this server reaches it.
    db::Target target(const QString &fileName) const;
    QString dataFolder() const { return m_dir.path() + QStringLiteral("/data"); }

    bool start();   // true once it accepts connections
    void stop();    // ends the server process (TERM, then KILL) and waits for it
    void kill();    // ends it at once, as a power cut would
    void freeze();  // stops the process (SIGSTOP): the port still takes connections, nothing answers
    void thaw();    // lets a frozen server go on
    bool isRunning() const { return m_server.state() == QProcess::Running; }

private:
    QProcessEnvironment serverEnvironment() const;
    bool waitForPort(bool open, int ms) const;

    QTemporaryDir m_dir;
    QProcess m_server;
    int m_port = 0;
    bool m_ready = false;
    QString m_failure;
    bool m_frozen = false;
};

} // namespace testsupport
