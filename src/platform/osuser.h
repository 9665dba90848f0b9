// Name of the operating-system user running the program.
#pragma once
#include <QString>

namespace platform {

// At most 49 characters, as the suite's buffer of 50 holds.
QString osUserName();

// The choice behind osUserName: the login name, else the environment's user, cut to 49 characters.
QString osUserNameFrom(const QString &loginName, const QString &environmentUser);

} // namespace platform
