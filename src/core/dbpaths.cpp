// Database paths of the two connections.
#include "dbpaths.h"

#include "platform/cp1252.h"

namespace core {

QString CentralDatabasePath(const QString &folder, const QString &subFolder)
{
    const QString tail = QStringLiteral(":C:\\formulix\\") + subFolder + QStringLiteral("\\FORMULIX.BD");
    if (platform::asciiUpper(folder.left(3)) == QLatin1String("C:\\"))
        return QStringLiteral("127.0.0.1") + tail;
    if (folder.startsWith(QLatin1String("\\\\"))) {
        const qsizetype end = folder.indexOf(u'\\', 2);
        return folder.mid(2, end < 0 ? -1 : end - 2) + tail;
    }
    return tail;
}

QString WorkstationDatabasePath(const QString &serverAddress, const QString &workstationCode)
{
    return serverAddress + QStringLiteral(":C:\\formulix\\interfac") + workstationCode + QStringLiteral("\\formulix.bd");
}

} // namespace core
