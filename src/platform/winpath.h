// Windows locations (drives, shares, database paths) mapped to this machine through drives.conf.
#pragma once
#include <QList>
#include <QPair>
#include <QString>

namespace platform {

// Where a database path of the suite ("host:C:\dir\file.bd") is to be attached.
struct DatabaseTarget {
    bool embedded = false;  // open the file in this process
    QString location;       // embedded: local file path; otherwise "host:/path" for the server
    bool valid = false;     // false when the path cannot be reached at all (empty host, unmapped drive)
};

class WinPaths {
public:
    WinPaths() = default;
    // Reads <programDir>/drives.conf; a missing file maps nothing.
    static WinPaths load(const QString &programDir);
    // Parses the text of a drives.conf; relative local paths are relative to programDir.
    static WinPaths parse(const QString &confText, const QString &programDir);

    // A Windows file path (C:\x\y, \\host\share\x) on this machine, resolving each existing
    // component without regard to letter case; empty when no mapping covers it. A native
    // absolute path (a program folder under no mapped root, plus names written after it) is
    // resolved the same way from "/".
    QString toLocal(const QString &windowsPath) const;

    // A database path "host:C:\dir\file.bd": embedded when the host is this machine and no
    // database line maps it, otherwise the server's "host:/path". A path with no host at all
    // ("C:\x.bd", "/x.bd") is a file of this machine.
    DatabaseTarget database(const QString &dbPath) const;

    // The program's folder as Windows sees it, with a trailing backslash; a folder under no
    // mapped root stays the native path with a trailing separator.
    QString windowsFolderOf(const QString &localDir) const;

    bool isEmpty() const { return m_files.isEmpty() && m_databases.isEmpty(); }

private:
    QList<QPair<QString, QString>> m_files;      // "C:" or "\\host\share" -> local root
    QList<QPair<QString, QString>> m_databases;  // "host:C:" -> "host:/local/root"
};

} // namespace platform
