#include "connections.h"

#include "dbpaths.h"

namespace core {

db::Target Connections::targetFor(const QString &dbPath) const
{
    const platform::DatabaseTarget t = m_paths.database(dbPath);
    return db::Target{t.valid ? t.location : dbPath, t.embedded, t.valid};
}

void Connections::ConfigureCentralConnection(const QString &programFolder)
{
    m_centralPath = CentralDatabasePath(programFolder, QStringLiteral("Dados"));
    SQLConnection1.configure(targetFor(m_centralPath));
}

void Connections::ConfigureWorkstationConnection(const QString &serverAddress, const QString &workstationCode)
{
    m_workstationPath = WorkstationDatabasePath(serverAddress, workstationCode);
    SQLConnection2.configure(targetFor(m_workstationPath));
}

} // namespace core
