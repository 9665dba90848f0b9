#include "tempinstall.h"

#include "testdb.h"

#include "platform/cp1252.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

namespace testsupport {

QByteArray iniLine(const QString &label, const QString &value)
{
    QString l = label.leftJustified(48, QLatin1Char('.'), true);
    return platform::toCp1252(l + QLatin1Char(' ') + value) + "\r\n";
}

TempInstall::TempInstall() : TempInstall(Options{}) {}

TempInstall::TempInstall(const Options &options)
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary folder");
    const QString server = testServer();
    QDir root(m_dir.path());
    const QString ws = QStringLiteral("interfac") + options.workstationCode.left(2);
    for (const QString &sub : {QStringLiteral("c/FORMULIX/Dados"), QStringLiteral("c/FORMULIX/LOG"),
                               QStringLiteral("c/FORMULIX/") + ws})
        root.mkpath(sub);
    if (!server.isEmpty()) {
        // The server writes the database files as its own user.
        for (const QString &sub : {QString(), QStringLiteral("c"), QStringLiteral("c/FORMULIX"),
                                   QStringLiteral("c/FORMULIX/Dados"), QStringLiteral("c/FORMULIX/") + ws})
            QFile::setPermissions(root.filePath(sub), QFileDevice::Permissions(0x7777));
    }

    QByteArray conf = "# Windows locations of this installation\n"
                      "C: = ..\n"
                      "\\\\127.0.0.1\\Formulix = .\n";
    if (!server.isEmpty())
        conf += QStringLiteral("127.0.0.1:C: = 127.0.0.1:%1/c\n").arg(root.path()).toUtf8();
    QFile confFile(programFolder() + QStringLiteral("/drives.conf"));
    if (!confFile.open(QIODevice::WriteOnly) || confFile.write(conf) != conf.size())
        throw std::runtime_error("cannot write drives.conf");
    confFile.close();

    QByteArray ini;
    ini += iniLine(QStringLiteral("IP DO SERVIDOR CENTRAL"), QStringLiteral("127.0.0.1"));
    ini += iniLine(QStringLiteral("LOG ATIVADO"), options.logOn ? QStringLiteral("S") : QStringLiteral("N"));
    ini += iniLine(QStringLiteral("CHAVE ESTOQUE"), QStringLiteral("4817"));
    for (const QString &l : options.extraIniLines)
        ini += platform::toCp1252(l) + "\r\n";
    writeIni(ini);

    const QString centralFile = root.filePath(QStringLiteral("c/FORMULIX/Dados/FORMULIX.BD"));
    const QString wsFile = root.filePath(QStringLiteral("c/FORMULIX/") + ws + QStringLiteral("/formulix.bd"));
    if (server.isEmpty()) {
        m_centralTarget = db::Target{centralFile, true, true};
        m_workstationTarget = db::Target{wsFile, true, true};
    } else {
        m_centralTarget = db::Target{server + QLatin1Char(':') + centralFile, false, true};
        m_workstationTarget = db::Target{server + QLatin1Char(':') + wsFile, false, true};
    }
    if (options.createCentral) {
        db::Connection::createDatabase(m_centralTarget);
        central().runScript(sqlScript(QStringLiteral("central")));
    }
    if (options.createWorkstation) {
        db::Connection::createDatabase(m_workstationTarget);
        workstation().runScript(sqlScript(QStringLiteral("workstation")));
    }
}

TempInstall::~TempInstall() = default;

QString TempInstall::programFolder() const
{
    return m_dir.path() + QStringLiteral("/c/FORMULIX");
}

db::Connection &TempInstall::central()
{
    if (!m_central) {
        m_central = std::make_unique<db::Connection>();
        m_central->configure(m_centralTarget);
    }
    return *m_central;
}

db::Connection &TempInstall::workstation()
{
    if (!m_workstation) {
        m_workstation = std::make_unique<db::Connection>();
        m_workstation->configure(m_workstationTarget);
    }
    return *m_workstation;
}

void TempInstall::closeConnections()
{
    if (m_central)
        m_central->close();
    if (m_workstation)
        m_workstation->close();
}

void TempInstall::writeIni(const QByteArray &bytes)
{
    QFile f(programFolder() + QStringLiteral("/FORMULIX.INI"));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write FORMULIX.INI");
}

QByteArray TempInstall::readFile(const QString &relative) const
{
    QFile f(local(relative));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

} // namespace testsupport
