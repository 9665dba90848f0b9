// Everything that lives for the whole run, created in the order the program needs it.
#pragma once
#include "core/activitylog.h"
#include "core/connections.h"
#include "core/runstate.h"
#include "data/tdm.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/winpath.h"

#include <QString>
#include <functional>

namespace shell {

struct Program {
    // localProgramFolder: the folder of the program file, where FORMULIX.INI and drives.conf are.
    Program(const QString &localProgramFolder, platform::Clock &clock, platform::Operator &op);

    QString localProgramFolder;
    platform::Clock &clock;
    platform::Operator &op;
    std::function<QString()> osUserName;   // the operating-system user; tests replace it
    platform::WinPaths paths;
    core::RunState run;
    core::Connections connections;
    core::ActivityLog log;
    data::TDM dm;
    platform::SystemClipboard clipboard;
};

} // namespace shell
