// The data module on a test database: drive C: and the server's share \\SRV\Formulix mapped into
// a temporary folder, a central database, a fixed clock and a recording operator.
#pragma once
#include "core/activitylog.h"
#include "core/connections.h"
#include "core/runstate.h"
#include "common/stockquery.h"
#include "data/tdm.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/winpath.h"
#include "recordingoperator.h"
#include "testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace testsupport {

// The wait panel as the builder drives it: what it was asked, in order.
struct RecordingWait : browser::WaitIndicator {
    QStringList calls;
    void showWait() override { calls << QStringLiteral("show"); }
    void hideWait() override { calls << QStringLiteral("hide"); }
    qsizetype shown() const { return calls.count(QStringLiteral("show")); }
    qsizetype hidden() const { return calls.count(QStringLiteral("hide")); }
};

struct ModuleRig {
    QTemporaryDir dir;
    platform::WinPaths paths;
    testsupport::TempDatabase tdb;
    platform::FixedClock clock{QDate(2024, 3, 7), QTime(14, 5)};
    core::RunState run;
    core::Connections connections{paths};
    core::ActivityLog log{clock, paths};
    testsupport::RecordingOperator op;
    data::TDM dm{run, connections, log, op};
    RecordingWait wait;

    ModuleRig()
    {
        QDir root(dir.path());
        root.mkpath(QStringLiteral("c/FORMULIX"));
        root.mkpath(QStringLiteral("share/LOG"));
        paths = platform::WinPaths::parse(QStringLiteral("C: = c\n\\\\SRV\\Formulix = share\n"), dir.path());
        connections.SQLConnection1.configure(tdb.target());
        run.siteConfig.ServerAddress = QStringLiteral("SRV");
    }

    void exec(const QString &sql) { tdb.conn().execute(sql); }

    // A file of the installation by its path below the temporary folder; empty when absent.
    QByteArray fileBytes(const QString &relative) const
    {
        QFile f(dir.filePath(relative));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace testsupport
