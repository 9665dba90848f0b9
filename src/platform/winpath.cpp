// drives.conf: the suite's Windows drives, shares and database hosts as this machine reaches them.
#include "winpath.h"

#include "regularfile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <optional>
#include <tuple>

namespace platform {

namespace {

const QChar kBackslash = QLatin1Char('\\');
const QChar kSlash = QLatin1Char('/');

bool isDriveLetter(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

bool isLocalHost(const QString &host)
{
    return host == QLatin1String("127.0.0.1") || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

// A server on this machine, whatever port it listens on ("127.0.0.1/3071"): it sees our disk.
bool isServerOfThisMachine(const QString &serverHost)
{
    return isLocalHost(serverHost.section(QLatin1Char('/'), 0, 0));
}

// A Windows location as its root ("C:", or "\\host" and "share") plus the folders below it.
// "." and ".." are applied the way Windows applies them: never above the drive or the share.
struct WinLocation {
    QStringList parts;     // parts[0] is "C:" (upper case) or "\\host"; a share adds its name as parts[1]
    bool trailing = false; // written with a final separator ("C:\FORMULIX\")
};

std::optional<WinLocation> splitWindows(const QString &text)
{
    QString path = text;
    path.replace(kSlash, kBackslash);
    WinLocation loc;
    QString rest;
    int floor;
    if (path.startsWith(QLatin1String("\\\\"))) {
        const QStringList pieces = path.mid(2).split(kBackslash, Qt::SkipEmptyParts);
        if (pieces.isEmpty())
            return std::nullopt;
        loc.parts << QLatin1String("\\\\") + pieces.at(0);
        floor = 1;
        if (pieces.size() > 1) {
            loc.parts << pieces.at(1);
            floor = 2;
        }
        rest = pieces.mid(2).join(kBackslash);
    } else if (path.size() >= 2 && isDriveLetter(path.at(0)) && path.at(1) == QLatin1Char(':')) {
        loc.parts << QString(path.at(0).toUpper()) + QLatin1Char(':');
        floor = 1;
        rest = path.mid(2);
    } else {
        return std::nullopt;
    }
    // A colon past the drive is no file name Windows allows ("host:C:" is a database location).
    if (rest.contains(QLatin1Char(':')))
        return std::nullopt;
    loc.trailing = path.endsWith(kBackslash);
    for (const QString &part : rest.split(kBackslash, Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (loc.parts.size() > floor)
                loc.parts.removeLast();
            continue;
        }
        loc.parts << part;
    }
    return loc;
}

// How many leading parts of `path` the mapping key covers; 0 when it does not cover it.
int coveredBy(const QStringList &key, const QStringList &path)
{
    if (key.size() > path.size())
        return 0;
    for (int i = 0; i < key.size(); ++i)
        if (key.at(i).compare(path.at(i), Qt::CaseInsensitive) != 0)
            return 0;
    return int(key.size());
}

QString joinLocal(const QString &dir, const QString &name)
{
    return dir.endsWith(kSlash) ? dir + name : dir + kSlash + name;
}

// The entry of `dir` named `name` without regard to case; the exact spelling wins when both exist.
QString entryIgnoringCase(const QString &dir, const QString &name)
{
    const QStringList entries = QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    return {};
}

// Walks `parts` down from `root`, taking each component as it is spelt on disk. From the first
// component that does not exist on, the rest keep the case written. Nothing is created.
QString resolveBelow(const QString &root, const QStringList &parts, bool trailing)
{
    QString path = root;
    bool inExistingDir = QFileInfo(root).isDir();
    for (const QString &part : parts) {
        QString name = part;
        if (inExistingDir) {
            const QFileInfo exact(joinLocal(path, part));
            if (!exact.exists() && !exact.isSymLink()) {
                const QString found = entryIgnoringCase(path, part);
                if (!found.isEmpty())
                    name = found;
            }
        }
        path = joinLocal(path, name);
        inExistingDir = inExistingDir && QFileInfo(path).isDir();
    }
    if (trailing && !path.endsWith(kSlash))
        path += kSlash;
    return path;
}

QString cleanLocalRoot(const QString &local, const QString &programDir)
{
    const QString absolute = QDir::isAbsolutePath(local) ? local : QDir(programDir).absoluteFilePath(local);
    return QDir::cleanPath(absolute);
}

QString keyText(const QStringList &parts)
{
    return parts.join(kBackslash);
}

QStringList keyParts(const QString &key)
{
    // Keys are stored already split and joined, so "\\host\share" splits back exactly.
    if (key.startsWith(QLatin1String("\\\\"))) {
        QStringList parts = key.mid(2).split(kBackslash);
        parts[0].prepend(QLatin1String("\\\\"));
        return parts;
    }
    return key.split(kBackslash);
}

// "host:rest" for a database key or location: the host before the first colon.
QPair<QString, QString> splitHost(const QString &text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    return {text.left(colon), text.mid(colon + 1)};
}

// Native paths reach this machine as they are, except that the separators the suite writes
// become ours and the components are found without regard to case, like the Windows ones.
QString nativeToLocal(const QString &path)
{
    QString unix = path;
    unix.replace(kBackslash, kSlash);
    const bool trailing = unix.endsWith(kSlash) && unix.size() > 1;
    const QString clean = QDir::cleanPath(unix);
    return resolveBelow(QStringLiteral("/"), clean.split(kSlash, Qt::SkipEmptyParts), trailing);
}

} // namespace

WinPaths WinPaths::load(const QString &programDir)
{
    // A drives.conf that is no regular file of a sane size (a FIFO, a link to a device) is taken
    // as no drives.conf at all.
    QByteArray bytes;
    if (!readRegularFile(QDir(programDir).filePath(QStringLiteral("drives.conf")), 1024 * 1024, &bytes))
        return {};
    return parse(QString::fromUtf8(bytes), programDir);
}

WinPaths WinPaths::parse(const QString &confText, const QString &programDir)
{
    WinPaths paths;
    const auto put = [](QList<QPair<QString, QString>> &list, const QString &key, const QString &value) {
        // A later line for the same location replaces the earlier one.
        for (auto &entry : list) {
            if (entry.first.compare(key, Qt::CaseInsensitive) == 0) {
                entry.second = value;
                return;
            }
        }
        list.append({key, value});
    };

    QString text = confText;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    int lineNo = 0;
    for (QString line : text.split(QLatin1Char('\n'))) {
        ++lineNo;
        // "#" opens a comment at the start of a line or after a blank, so a "#" inside a
        // folder name survives.
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (line.at(i) == QLatin1Char('#') && (i == 0 || line.at(i - 1).isSpace())) {
                line.truncate(i);
                break;
            }
        }
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString windows = eq < 0 ? QString() : line.left(eq).trimmed();
        const QString local = eq < 0 ? QString() : line.mid(eq + 1).trimmed();
        if (windows.isEmpty() || local.isEmpty()) {
            qWarning("drives.conf line %d ignored: expected WINDOWS LOCATION = LOCAL LOCATION", lineNo);
            continue;
        }

        if (const auto loc = splitWindows(windows)) {
            const bool share = loc->parts.first().startsWith(QLatin1String("\\\\"));
            if (share && loc->parts.size() < 2) {
                qWarning("drives.conf line %d ignored: a share is \\\\host\\share", lineNo);
                continue;
            }
            put(paths.m_files, keyText(loc->parts), cleanLocalRoot(local, programDir));
            continue;
        }

        // Database line: "host:C: = host:/folder"
        const auto [host, drivePath] = splitHost(windows);
        const auto loc = host.isEmpty() || !windows.contains(QLatin1Char(':')) ? std::nullopt : splitWindows(drivePath);
        if (!loc || loc->parts.first().startsWith(QLatin1String("\\\\"))) {
            qWarning("drives.conf line %d ignored: unknown Windows location", lineNo);
            continue;
        }
        QString serverHost = host;
        QString serverPath = local;
        if (!local.startsWith(kSlash)) {
            const auto [h, p] = splitHost(local);
            if (!local.contains(QLatin1Char(':')) || h.isEmpty() || !p.startsWith(kSlash)) {
                qWarning("drives.conf line %d ignored: a database location is host:/folder", lineNo);
                continue;
            }
            serverHost = h;
            serverPath = p;
        }
        put(paths.m_databases, host + QLatin1Char(':') + keyText(loc->parts),
            serverHost + QLatin1Char(':') + QDir::cleanPath(serverPath));
    }
    return paths;
}

QString WinPaths::toLocal(const QString &windowsPath) const
{
#ifdef Q_OS_WIN
    return windowsPath;
#else
    if (windowsPath.startsWith(kSlash))
        return nativeToLocal(windowsPath);
    const auto loc = splitWindows(windowsPath);
    if (!loc)
        return {};
    int best = 0;
    QString root;
    for (const auto &[key, local] : m_files) {
        const int covered = coveredBy(keyParts(key), loc->parts);
        if (covered > best) {
            best = covered;
            root = local;
        }
    }
    if (best == 0)
        return {};
    return resolveBelow(root, loc->parts.mid(best), loc->trailing);
#endif
}

DatabaseTarget WinPaths::database(const QString &dbPath) const
{
    DatabaseTarget target;
    const bool hostless = dbPath.startsWith(kSlash)
        || (dbPath.size() >= 2 && isDriveLetter(dbPath.at(0)) && dbPath.at(1) == QLatin1Char(':')
            && (dbPath.size() == 2 || dbPath.at(2) == kBackslash || dbPath.at(2) == kSlash));
    QString host;
    QString file = dbPath;
    if (!hostless) {
        if (!dbPath.contains(QLatin1Char(':')))
            return target;
        std::tie(host, file) = splitHost(dbPath);
        // The server refuses a path that names no host; so do we.
        if (host.isEmpty())
            return target;
    }

#ifdef Q_OS_WIN
    target.location = dbPath;
    target.valid = !file.isEmpty();
    return target;
#else
    if (!host.isEmpty()) {
        if (const auto loc = splitWindows(file)) {
            int best = 0;
            QString server;
            for (const auto &[key, value] : m_databases) {
                const auto [keyHost, keyPath] = splitHost(key);
                if (keyHost.compare(host, Qt::CaseInsensitive) != 0)
                    continue;
                const int covered = coveredBy(keyParts(keyPath), loc->parts);
                if (covered > best) {
                    best = covered;
                    server = value;
                }
            }
            if (best > 0) {
                const auto [serverHost, serverRoot] = splitHost(server);
                const QStringList below = loc->parts.mid(best);
                // A server on this machine sees our disk: find its folders as the files are found.
                const QString path = isServerOfThisMachine(serverHost)
                    ? resolveBelow(serverRoot, below, false)
                    : (below.isEmpty() ? serverRoot : joinLocal(serverRoot, below.join(kSlash)));
                target.location = serverHost + QLatin1Char(':') + path;
                target.valid = true;
                return target;
            }
        } else if (file.startsWith(kSlash) && !isLocalHost(host)) {
            // Already a path as that server sees it.
            target.location = dbPath;
            target.valid = true;
            return target;
        }
        if (!isLocalHost(host))
            return target;
    }

    const QString local = toLocal(file);
    if (local.isEmpty())
        return target;
    target.embedded = true;
    target.location = local;
    target.valid = true;
    return target;
#endif
}

QString WinPaths::windowsFolderOf(const QString &localDir) const
{
#ifdef Q_OS_WIN
    QString native = QDir::toNativeSeparators(QDir::cleanPath(QDir(localDir).absolutePath()));
    if (!native.endsWith(kBackslash))
        native += kBackslash;
    return native;
#else
    const QString dir = QDir::cleanPath(QDir(localDir).absolutePath());
    const QString canonicalDir = QFileInfo(dir).canonicalFilePath();

    // Relative folder list when `root` holds `path`; nullopt otherwise.
    const auto below = [](const QString &root, const QString &path) -> std::optional<QStringList> {
        if (root.isEmpty() || path.isEmpty())
            return std::nullopt;
        if (path == root)
            return QStringList();
        const QString prefix = root.endsWith(kSlash) ? root : root + kSlash;
        if (!path.startsWith(prefix))
            return std::nullopt;
        return path.mid(prefix.size()).split(kSlash, Qt::SkipEmptyParts);
    };

    qsizetype bestLength = -1;
    QString bestKey;
    QStringList bestRest;
    for (const auto &[key, root] : m_files) {
        // Through symbolic links too: the folder may be reached by another name than drives.conf uses.
        auto rest = below(root, dir);
        qsizetype length = root.size();
        if (!rest) {
            const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
            rest = below(canonicalRoot, canonicalDir);
            length = canonicalRoot.size();
        }
        if (rest && length > bestLength) {
            bestLength = length;
            bestKey = key;
            bestRest = *rest;
        }
    }
    if (bestLength < 0)
        return dir.endsWith(kSlash) ? dir : dir + kSlash;

    QString windows = bestKey + kBackslash;
    for (const QString &part : bestRest)
        windows += part + kBackslash;
    return windows;
#endif
}

} // namespace platform
