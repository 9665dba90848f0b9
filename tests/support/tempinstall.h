// A temporary installation laid out like a real one: drives.conf, the program folder with its
// FORMULIX.INI, the central database and a workstation database, through the server when
// ESTOQUE_TEST_SERVER is set.
#pragma once
#include "db/connection.h"
#include "platform/winpath.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace testsupport {

// One FORMULIX.INI line: the 48-column label, a blank, the value; CR LF; Windows-1252.
QByteArray iniLine(const QString &label, const QString &value);

class TempInstall {
public:
    struct Options {
        bool logOn = true;
        bool createCentral = true;
        bool createWorkstation = true;
        QString workstationCode = QStringLiteral("01");
        QStringList extraIniLines;   // complete lines, already formatted
    };
    TempInstall();
    explicit TempInstall(const Options &options);
    ~TempInstall();

    QString root() const { return m_dir.path(); }
    QString programFolder() const;        // local: <root>/c/FORMULIX
    QString local(const QString &relative) const { return root() + QLatin1Char('/') + relative; }
    platform::WinPaths paths() const { return platform::WinPaths::load(programFolder()); }
    db::Connection &central();            // an attachment of the test's own to the central database
    db::Connection &workstation();
    void closeConnections();              // let the program under test own the files
    void writeIni(const QByteArray &bytes);
    QByteArray readFile(const QString &relative) const;

private:
    QTemporaryDir m_dir;
    db::Target m_centralTarget;
    db::Target m_workstationTarget;
    std::unique_ptr<db::Connection> m_central;
    std::unique_ptr<db::Connection> m_workstation;
};

} // namespace testsupport
