// Everything that lives for the whole run, created in the order the program needs it.
#pragma once
#include "app/activitylog.h"
#include "app/connections.h"
#include "app/runstate.h"
#include "data/tdm.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/winpath.h"

#include <QString>
#include <functional>

namespace app_ui {

struct Program {
    // localProgramFolder: the folder of the program file, where FORMULIX.INI and drives.conf are.
    Program(const QString &localProgramFolder, platform::Clock &clock, platform::Operator &op);

    QString localProgramFolder;
    platform::Clock &clock;
    platform::Operator &op;
    std::function<QString()> osUserName;   // the operating-system user; tests replace it
    platform::WinPaths paths;
    app::RunState run;
    app::Connections connections;
    app::ActivityLog log;
    data::TDM dm;
    platform::SystemClipboard clipboard;
};

} // namespace app_ui
