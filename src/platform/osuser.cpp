// The login name of the user running the program, as the login panel offers it.
#include "osuser.h"

#ifdef Q_OS_WIN
#include <QtGlobal>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace platform {

namespace {
constexpr int kMaxLength = 49;
}

QString osUserNameFrom(const QString &loginName, const QString &environmentUser)
{
    QString name = loginName.isEmpty() ? environmentUser : loginName;
    if (name.size() > kMaxLength) {
        name.truncate(kMaxLength);
        // Never leave half of a character outside the basic plane.
        if (name.back().isHighSurrogate())
            name.chop(1);
    }
    return name;
}

QString osUserName()
{
#ifdef Q_OS_WIN
    return osUserNameFrom(QString(), qEnvironmentVariable("USERNAME"));
#else
    QString login;
    // The effective user is the one whose rights the program runs with.
    if (const passwd *entry = getpwuid(geteuid()); entry && entry->pw_name)
        login = QString::fromLocal8Bit(entry->pw_name);
    return osUserNameFrom(login, qEnvironmentVariable("USER"));
#endif
}

} // namespace platform
