// The two database connections of the data module: central (SQLConnection1) and workstation (SQLConnection2).
#pragma once
#include "db/connection.h"
#include "platform/winpath.h"

#include <QString>

namespace core {

class Connections {
public:
    explicit Connections(const platform::WinPaths &paths) : m_paths(paths) {}

    db::Connection SQLConnection1;   // central database
    db::Connection SQLConnection2;   // the workstation's own database

    // Points SQLConnection1 at CentralDatabasePath(programFolder, "Dados"); connects nothing.
    void ConfigureCentralConnection(const QString &programFolder);
    // Points SQLConnection2 at the workstation's database on the configured server.
    void ConfigureWorkstationConnection(const QString &serverAddress, const QString &workstationCode);

    // The database paths as the suite writes them (shown in messages).
    const QString &centralPath() const { return m_centralPath; }
    const QString &workstationPath() const { return m_workstationPath; }

private:
    db::Target targetFor(const QString &dbPath) const;

    const platform::WinPaths &m_paths;
    QString m_centralPath;
    QString m_workstationPath;
};

} // namespace core
