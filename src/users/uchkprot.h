// The suite's scrambling of user names and passwords, as they are stored in USUARIOS: the rule
// lives with the user check of the shared rules.
#pragma once
#include "common/usercheck.h"

namespace users {

using common::ScrambleText;

} // namespace users
