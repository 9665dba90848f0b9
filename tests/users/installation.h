// A temporary installation for the login tests: drive C: and the server's share mapped into a
// temporary folder, a central database, and the data module on it.
#pragma once
#include "app/activitylog.h"
#include "app/connections.h"
#include "app/runstate.h"
#include "browser/stockquery.h"
#include "data/tdm.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/winpath.h"
#include "support/recordingoperator.h"
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace usertest {

struct RecordingWait : browser::WaitIndicator {
    int shown = 0;
    int hidden = 0;
    void showWait() override { ++shown; }
    void hideWait() override { ++hidden; }
};

struct Installation {
    QTemporaryDir dir;
    platform::WinPaths paths;
    testsupport::TempDatabase tdb;
    platform::FixedClock clock{QDate(2024, 3, 7), QTime(14, 5)};
    app::RunState run;
    app::Connections connections{paths};
    app::ActivityLog log{clock, paths};
    testsupport::RecordingOperator op;
    data::TDM dm{run, connections, log, op};
    RecordingWait wait;

    Installation()
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

} // namespace usertest
