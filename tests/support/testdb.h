// A fresh database for one test: embedded in a temporary folder, or through the Firebird
// server named by ESTOQUE_TEST_SERVER, so the same tests run both ways.
#pragma once
#include "db/connection.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace testsupport {

// The server host when the tests run through a server, else empty.
QString testServer();
// Text of sql/<name>.sql from the source tree.
QString sqlScript(const QString &name);

class TempDatabase {
public:
    // Creates the database and runs the given scripts ("central", "workstation") on it.
    explicit TempDatabase(const QStringList &scripts = {QStringLiteral("central")});
    ~TempDatabase();

    const db::Target &target() const { return m_target; }
    QString file() const { return m_file; }   // the local file
    db::Connection &conn() { return *m_conn; }
    // A second, independent attachment to the same database.
    std::unique_ptr<db::Connection> another() const;

private:
    QTemporaryDir m_dir;
    QString m_file;
    db::Target m_target;
    std::unique_ptr<db::Connection> m_conn;
};

} // namespace testsupport
