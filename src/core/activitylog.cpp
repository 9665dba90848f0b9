// Writes the activity log so that workstations sharing one monthly file never lose or mix lines.
#include "activitylog.h"
#include "logchain.h"
#include "platform/systemerror.h"

#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/operator.h"
#include "platform/regularfile.h"
#include "platform/winpath.h"
#include "db/connection.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QCoreApplication>
#include <QThread>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <unistd.h>
#endif

namespace core {

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
const QString kHeaderRule = QStringLiteral("--------------------------------");

// A file another workstation is writing is busy only for a moment; waiting this long keeps the
// line without making the operator notice.
constexpr int kBusyWaitMs = 1000;
constexpr int kBusyRetryMs = 50;

enum class Lock { Taken, Busy, Unsupported };

// Every writer takes this lock for its one write. A share that cannot lock at all still gets the
// line in one append.
Lock lockExclusive(QFile &file)
{
#ifdef Q_OS_UNIX
    if (::flock(file.handle(), LOCK_EX | LOCK_NB) == 0)
        return Lock::Taken;
    return errno == EWOULDBLOCK ? Lock::Busy : Lock::Unsupported;
#else
    Q_UNUSED(file);
    return Lock::Unsupported;
#endif
}

bool writeAll(QFile &file, const QByteArray &bytes)
{
    return file.write(bytes) == bytes.size() && file.flush();
}

// Busy is worth waiting for; refused (no permission, a write that failed) is not.
enum class Append { Written, Missing, Busy, Refused };

// One open, lock, single write and close; the line's hash goes to the chain under the same lock.
// The file is never created here: a month's file is made by the first login of the month, and
// lines written after it was deleted are lost.
Append appendOnce(const QString &localPath, const QByteArray &bytes, ChainPoint *point)
{
    // Only a regular file is appended to, and its open never waits: a FIFO in the log folder
    // would otherwise hold the program until someone reads it.
    const int fd = platform::openRegularForAppend(localPath);
    if (fd < 0) {
        if (errno == ENOENT)
            return Append::Missing;
        // ENXIO: a FIFO nobody reads; EINVAL: no regular file at all.
        return errno == EACCES || errno == EPERM || errno == EINVAL || errno == EISDIR || errno == ENXIO
            ? Append::Refused
            : Append::Busy;
    }
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Append::Refused;
    }
    if (lockExclusive(file) == Lock::Busy)
        return Append::Busy;
    const bool ok = AppendChained(file.handle(), localPath, ChainFilePath(localPath), bytes, point);
    file.close();
    return ok ? Append::Written : Append::Refused;
}

// Makes the month's file with its header in place at once, so no other workstation's line can
// come before the header. False when it exists already (another login made it) or cannot be made.
bool createWithHeader(const QString &localPath, const QByteArray &header)
{
#ifdef Q_OS_UNIX
    const QString temp = localPath + QStringLiteral(".%1.new").arg(QCoreApplication::applicationPid());
    QFile file(temp);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const bool written = writeAll(file, header);
        file.close();
        if (written) {
            const int linked = ::link(QFile::encodeName(temp).constData(), QFile::encodeName(localPath).constData());
            const int err = errno;
            QFile::remove(temp);
            if (linked == 0)
                return true;
            if (err == EEXIST)
                return false;
            // A share without hard links: made the plain way below.
        } else {
            QFile::remove(temp);
        }
    }
#endif
    QFile plain(localPath);
    // NewOnly: when another workstation creates the month's file at the same moment, theirs
    // stands and this login just appends to it.
    if (!plain.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    lockExclusive(plain);
    const bool ok = writeAll(plain, header);
    plain.close();
    // A header that could not be written (a full disk) leaves no empty file behind that would
    // pass for the month's log.
    if (!ok)
        QFile::remove(localPath);
    return ok;
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n % 100, 2, 10, QLatin1Char('0'));
}

} // namespace

QString LogTimestamp(const QDateTime &at)
{
    const QDate d = at.date();
    const QTime t = at.time();
    return twoDigits(d.day()) + u'/' + twoDigits(d.month()) + u'/' + twoDigits(d.year()) + u'-'
        + twoDigits(t.hour()) + u':' + twoDigits(t.minute());
}

ActivityLog::ActivityLog(const platform::Clock &clock, const platform::WinPaths &paths)
    : m_clock(clock), m_paths(paths)
{
}

bool ActivityLog::OpenActivityLog(const QString &serverAddress, const QString &userName, platform::Operator &op)
{
    const QDateTime now = m_clock.now();
    m_path = QStringLiteral("\\\\") + serverAddress + QStringLiteral("\\Formulix\\LOG\\LOGESTOQ_")
        + QStringLiteral("%1-%2").arg(now.date().year(), 4, 10, QLatin1Char('0')).arg(twoDigits(now.date().month()))
        + QStringLiteral(".TXT");

    const QString local = m_paths.toLocal(m_path);
    bool ok = !local.isEmpty();
    if (ok && !QFileInfo::exists(local)) {
        const QByteArray header = platform::toCp1252(kHeaderRule) + kLineEnd
            + platform::toCp1252(QStringLiteral("  LOG criado em ") + LogTimestamp(now)) + kLineEnd
            + platform::toCp1252(kHeaderRule) + kLineEnd;
        ok = createWithHeader(local, header) || QFileInfo::exists(local);
    }
    if (!ok) {
        op.inform(kLogFolderErrorMessage);
        return false;
    }
    WriteActivityLine(userName, kLoginSeparatorLine);
    WriteActivityLine(userName, kLoginLine);
    return true;
}

QString OneLogLine(const QString &text)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar &c : line)
        if (c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' || c == QChar(0x85) || c == QChar(0x2028)
            || c == QChar(0x2029))
            c = u' ';
    return line;
}

void ActivityLog::WriteActivityLine(const QString &user, const QString &text) noexcept
{
    try {
        if (m_path.isEmpty())
            return;
        const QString local = m_paths.toLocal(m_path);
        if (local.isEmpty())
            return;
        const QByteArray bytes =
            platform::toCp1252(OneLogLine(LogTimestamp(m_clock.now()) + QStringLiteral(" - ") + user + QStringLiteral(" - ") + text))
            + kLineEnd;
        QElapsedTimer waited;
        waited.start();
        ChainPoint point;
        for (;;) {
            const Append result = appendOnce(local, bytes, &point);
            if (result == Append::Written)
                break;
            if (result != Append::Busy || waited.elapsed() >= kBusyWaitMs)
                return;
            QThread::msleep(kBusyRetryMs);
        }
        keepAnchor(point);
    } catch (...) {
        // A log line is never worth interrupting the operator's work.
    }
}

void ActivityLog::keepAnchor(const ChainPoint &point) noexcept
{
    // Never a new attachment for it: a link found lost stays for the work itself to restore,
    // and the lines written meanwhile are kept by the next day's anchor or the next line's.
    if (!m_anchors || !m_anchorsOn || point.lines == 0 || !m_anchors->isOpen())
        return;
    try {
        StoreChainAnchor(*m_anchors, ChainAnchorName(m_path), m_clock.now().date(), point);
    } catch (const std::exception &e) {
        // Without the table (a site where the technician has not made it) the log goes on
        // unanchored; any other failure only leaves this line's day to the next line.
        if (ChainAnchorsMissing(e))
            m_anchorsOn = false;
    }
}

bool WriteDiagnosticFile(const platform::WinPaths &paths, const QString &windowsPath, const QStringList &lines,
                         QString *error)
{
    const QString local = paths.toLocal(windowsPath);
    if (local.isEmpty()) {
        if (error)
            *error = windowsPath;
        return false;
    }
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += platform::toCp1252(line) + kLineEnd;
    QFile file(local);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !writeAll(file, bytes)) {
        if (error)
            *error = windowsPath + QStringLiteral(": ") + platform::systemErrorText(file.errorString());
        return false;
    }
    return true;
}

} // namespace core
