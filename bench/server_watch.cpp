// The bound on a server's answers, on a server of the benchmark's own: what watching a call
// costs beside the call itself (single-row updates through the server, and the watch alone), what
// handing every call of the window's thread to a worker costs (the same updates with the window's
// waiting panel installed), and how long a statement on a frozen server takes to come back as a
// lost link for a few bounds, with the window's longest pause while it waits.
//   bench_server_watch --updates N [--guards N]
#include "benchfigures.h"

#include "data/ui/lockwaitpanel.h"
#include "db/serverwatch.h"
#include "support/privateserver.h"

#include <QCommandLineParser>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

namespace {

const char *const kUsage = "usage: bench_server_watch --updates N [--guards N]\n"
                           "  N: single-row updates timed (1000 gives the usual figure); watched calls alone (default 100000)\n";

int measure(int updates, int guards)
{
    testsupport::PrivateServer server;
    if (!server.ready()) {
        std::fprintf(stderr, "no server of our own: %s\n", qPrintable(server.failure()));
        return 1;
    }
    const db::Target t = server.target(QStringLiteral("w.fdb"));
    db::Connection::createDatabase(t);
    db::Connection conn;
    conn.configure(t);
    conn.execute(QStringLiteral("create table T (K integer not null primary key, V integer)"));
    {
        db::Transaction tx(conn);
        db::Prepared ins(tx, QStringLiteral("insert into T values (?, 0)"));
        for (int k = 0; k < updates; ++k)
            ins.execute({db::Value::integer(k)});
        tx.commit();
    }

    db::Transaction tx(conn);
    const bench::Measure upd = bench::measure([&] {
        for (int k = 0; k < updates; ++k)
            tx.execute(QStringLiteral("update T set V = V + 1 where K = ?"), {db::Value::integer(k)});
    });
    tx.commit();
    const bench::Measure watch = bench::measure([&] {
        for (int i = 0; i < guards; ++i)
            db::ServerCall call(conn);
    });
    const double perUpdateUs = upd.ms * 1000.0 / updates;
    const double perGuardUs = watch.ms * 1000.0 / guards;
    std::printf("%d single-row updates through the server: %.1f ms (%.1f us each), %llu statements\n", updates,
                upd.ms, perUpdateUs, static_cast<unsigned long long>(upd.statements));
    std::printf("the watch alone, %d calls: %.1f ms (%.3f us each), %llu statements\n", guards, watch.ms,
                perGuardUs, static_cast<unsigned long long>(watch.statements));
    std::printf("an update watches about 3 calls (prepare, execute, rows changed): %.3f %% of its time\n",
                3 * perGuardUs * 100.0 / perUpdateUs);

    {
        // Every call of the window's thread goes to a worker of the panel.
        data_ui::LockWaitPanel panel;
        db::Transaction wtx(conn);
        const bench::Measure handed = bench::measure([&] {
            for (int k = 0; k < updates; ++k)
                wtx.execute(QStringLiteral("update T set V = V + 1 where K = ?"), {db::Value::integer(k)});
        });
        wtx.commit();
        std::printf("the same updates from the window's thread, each handed to a worker: %.1f ms (%.1f us each), "
                    "ratio to the calling thread %.3f\n",
                    handed.ms, handed.ms * 1000.0 / updates, handed.ms / upd.ms);

        db::setServerAnswerLimit(4);
        server.freeze();
        QElapsedTimer sinceTick;
        qint64 longest = 0;
        QTimer ticker;
        ticker.setInterval(20);
        QObject::connect(&ticker, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
        sinceTick.start();
        ticker.start();
        const bench::Measure lost = bench::measure([&] {
            try {
                conn.query(QStringLiteral("select count(*) from T"));
            } catch (const db::DbError &) {
            }
        });
        ticker.stop();
        server.thaw();
        std::printf("frozen server from the window's thread, bound 4 s: lost link told after %.0f ms; the window's "
                    "20 ms timer paused at most %lld ms\n",
                    lost.ms, static_cast<long long>(longest));
    }
    conn.query(QStringLiteral("select count(*) from T"));   // attached again

    for (int bound : {2, 4, 8}) {
        db::setServerAnswerLimit(bound);
        server.freeze();
        const bench::Measure lost = bench::measure([&] {
            try {
                conn.query(QStringLiteral("select count(*) from T"));
            } catch (const db::DbError &) {
            }
        });
        server.thaw();
        conn.query(QStringLiteral("select count(*) from T"));   // attached again
        std::printf("frozen server, bound %d s: the statement came back as a lost link after %.0f ms\n", bound,
                    lost.ms);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("updates"), QStringLiteral("single-row updates"), QStringLiteral("N")});
        p.addOption({QStringLiteral("guards"), QStringLiteral("watched calls without a call"), QStringLiteral("N"),
                     QStringLiteral("100000")});
        bench::parseArguments(p);
        if (!p.isSet(QStringLiteral("updates")))
            throw bench::UsageError{QStringLiteral("--updates N is needed")};
        return measure(bench::wholeNumber(p, QStringLiteral("updates")), bench::wholeNumber(p, QStringLiteral("guards")));
    });
}
