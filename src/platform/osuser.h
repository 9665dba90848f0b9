// Name of the operating-system user running the program.
#pragma once
#include <QString>

namespace platform {

// At most 49 characters, as the suite's buffer of 50 holds.
QString osUserName();

} // namespace platform
