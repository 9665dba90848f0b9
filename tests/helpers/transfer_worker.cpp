// One workstation transferring at random between the locations of the lots of a database, as
// the concurrency test starts several of it at once.
// Usage: transfer_worker TARGET SEED COUNT [PAUSE_MS]
//   TARGET  host:/path of the central database
//   PAUSE_MS  a pause inside each transaction, after the credit and before the debit, so a kill
//             lands while rows are locked and half written ("MID" is printed just before it)
// Prints one line per attempt ("DONE", "REFUSED <message>", "FAILED <message>" for a failure the
// transfer left to its caller, shown as the window shows it) and "END <done> <refused> <failed>".
// Nothing a transfer throws ends the process.
#include "transfer/transfer.h"

#include "db/connection.h"
#include "db/dberror.h"
#include "platform/operator.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <random>

namespace {

class SilentOperator : public platform::Operator {
public:
    QString last;
    void inform(const QString &t) override { last = t; }
    void warn(const QString &t) override { last = t; }
    platform::Answer ask(const QString &t) override { last = t; return platform::Answer::No; }
};

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

const QStringList kPlaces = {QStringLiteral("Almoxarifado"), QStringLiteral("Loja 1"), QStringLiteral("Loja 2"),
                             QStringLiteral("EmTransito"), QStringLiteral("Terceiros")};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fputs("usage: transfer_worker TARGET SEED COUNT [PAUSE_MS]\n", stderr);
        return 2;
    }
    db::Connection conn;
    conn.configure(db::Target{args[1], false, true});
    std::mt19937 rnd(args[2].toUInt());
    const int count = args[3].toInt();
    const int pauseMs = args.size() > 4 ? args[4].toInt() : 0;
    const transfer::BetweenCreditAndDebit pause = [pauseMs] {
        if (pauseMs > 0) {
            say(QStringLiteral("MID"));
            QThread::msleep(unsigned(pauseMs));
        }
    };

    SilentOperator op;
    int done = 0, refused = 0, failed = 0;
    for (int i = 0; i < count; ++i) {
        db::Rows rows;
        try {
            rows = conn.query(
                QStringLiteral("select CODIGO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, DESCRICAO from ESTLOTE"));
        } catch (const db::DbError &e) {
            ++failed;
            say(QStringLiteral("FAILED ") + db::operatorText(e).simplified());
            continue;
        }
        if (rows.rows.empty())
            return 3;
        const auto &r = rows.rows[rnd() % rows.rows.size()];
        const transfer::SourceLot source{r[0], r[1], r[2], r[3], r[5].toString()};
        // Mostly what is there, sometimes more than that, with a decimal part now and then.
        const int whole = int(rnd() % unsigned(std::max<int64_t>(1, r[4].toInt() + 4)));
        QString quantity = QString::number(whole + 1);
        if (rnd() % 3 == 0)
            quantity += QStringLiteral(",") + QString::number(rnd() % 1000);
        const QString dest = kPlaces[int(rnd() % unsigned(kPlaces.size()))];
        op.last.clear();
        transfer::Outcome out;
        try {
            out = transfer::Transfer(conn, source, quantity, dest, op, pause);
        } catch (const db::DbError &e) {
            ++failed;
            say(QStringLiteral("FAILED ") + db::operatorText(e).simplified());
            continue;
        }
        if (out.step == transfer::Step::Done) {
            ++done;
            say(QStringLiteral("DONE"));
        } else {
            ++refused;
            say(QStringLiteral("REFUSED ") + op.last);
        }
    }
    say(QStringLiteral("END %1 %2 %3").arg(done).arg(refused).arg(failed));
    return 0;
}
