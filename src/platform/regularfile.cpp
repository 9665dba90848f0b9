#include "regularfile.h"
#include "systemerror.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// O_NONBLOCK keeps the open of a FIFO from waiting for its other end; a regular file then goes
// back to ordinary blocking writes.
int openRegular(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

bool readRegularFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const int fd = openRegular(path, O_RDONLY);
    if (fd < 0) {
        if (errno == EINVAL)
            return fail(QStringLiteral("não é um arquivo comum"));
        return fail(systemErrorText(QString::fromLocal8Bit(std::strerror(errno))));
    }
    QByteArray out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return fail(systemErrorText(QString::fromLocal8Bit(std::strerror(err))));
        }
        if (n == 0)
            break;
        if (out.size() + n > maxBytes) {
            ::close(fd);
            return fail(QStringLiteral("arquivo grande demais"));
        }
        out.append(buf, int(n));
    }
    ::close(fd);
    *bytes = out;
    return true;
}

int openRegularForAppend(const QString &path)
{
    return openRegular(path, O_WRONLY | O_APPEND);
}

} // namespace platform
