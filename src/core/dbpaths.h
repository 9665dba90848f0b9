// Where the central and the workstation databases are, as the suite's database paths ("host:C:\dir\file").
#pragma once
#include <QString>

namespace core {

// The central database lives on the machine that serves the program's folder: this machine for
// a folder on C:, the host of a \\host\share folder, and no host at all for anything else.
QString CentralDatabasePath(const QString &folder, const QString &subFolder);

// Each workstation's own database, on the server named in the configuration.
QString WorkstationDatabasePath(const QString &serverAddress, const QString &workstationCode);

} // namespace core
