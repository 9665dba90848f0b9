// One workstation posting a count, as the kill test starts it.
// Usage: stocktake_worker TARGET NUMERO LOGFOLDER [HOLD_MS]
//   TARGET     host:/path of the central database
//   LOGFOLDER  the local folder of the server's share \\SERVIDOR\Formulix (its LOG folder exists)
//   HOLD_MS    a pause inside the posting's transaction, after every write and before the
//              commit ("HOLD" is printed just before it), so a kill lands there
// Prints "POSTED <message>", "REFUSED <message>" or "FAILED <message>".
#include "stocktake/stocktake.h"

#include "core/activitylog.h"
#include "db/connection.h"
#include "db/dberror.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/winpath.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

namespace {

class SilentOperator : public platform::Operator {
public:
    void inform(const QString &) override {}
    void warn(const QString &) override {}
    platform::Answer ask(const QString &) override { return platform::Answer::No; }
};

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fputs("usage: stocktake_worker TARGET NUMERO LOGFOLDER [HOLD_MS]\n", stderr);
        return 2;
    }
    db::Connection conn;
    conn.configure(db::Target{args[1], false, true});
    const int holdMs = args.size() > 4 ? args[4].toInt() : 0;
    const platform::WinPaths paths =
        platform::WinPaths::parse(QStringLiteral("\\\\SERVIDOR\\Formulix = ") + args[3] + QLatin1Char('\n'), args[3]);
    const platform::FixedClock clock{QDateTime(QDate(2026, 3, 31), QTime(10, 15))};
    core::ActivityLog log(clock, paths);
    SilentOperator op;
    if (!log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), op))
        return 3;
    try {
        const stocktake::PostResult r = stocktake::PostCount(
            conn, args[2].toInt(), stocktake::NotCountedChoice::Keep, QStringLiteral("MARIA"), clock.now(), &log,
            [holdMs] {
                if (holdMs > 0) {
                    say(QStringLiteral("HOLD"));
                    QThread::msleep(unsigned(holdMs));
                }
            });
        say((r.step == stocktake::PostStep::Posted ? QStringLiteral("POSTED ") : QStringLiteral("REFUSED "))
            + r.message.simplified());
    } catch (const db::DbError &e) {
        say(QStringLiteral("FAILED ") + db::operatorText(e).simplified());
    }
    return 0;
}
