// Waits on a row another connection holds, embedded and through a server of the benchmark's own:
// the time from the other connection's commit to the waiting update going on (committed within
// the engine's first step, while the window's panel is up, and later), and what the bounded wait
// costs an update that meets no held row: 1 000 single-row updates through the data layer vs. the
// same statements sent straight to the engine with the unbounded wait. Prints only.
//   bench_lock_wait --sql DIR [--runs N]
#include "benchfigures.h"

#include "data/ui/lockwaitpanel.h"
#include "db/connection.h"
#include "db/lockwait.h"
#include "support/privateserver.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>

#include <firebird/Interface.h>
#include <ibase.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

namespace {

const int kLots = 1000;

const char kUsage[] = "usage: bench_lock_wait --sql DIR [--runs N]\n"
                      "  DIR: the folder of central.sql; N: runs of each figure (default 5)\n";

QString lotKey(int i)
{
    return QStringLiteral("L%1").arg(i, 5, 10, QLatin1Char('0'));
}

void fill(db::Connection &conn)
{
    db::Transaction tx(conn);
    db::Prepared insert(tx, QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, SALDOCORRENTE) "
                                           "values ('Lote', ?, 'Galena', '001', 'Almoxarifado', 100)"));
    for (int i = 0; i < kLots; ++i)
        insert.execute({db::Value::text(lotKey(i))});
    tx.commit();
}

QString updateOf(int i)
{
    return QStringLiteral("update ESTLOTE set SALDOCORRENTE = SALDOCORRENTE + 1 where LOTE = '") + lotKey(i) + u'\'';
}

// From the other connection's commit to the waiting update's return, in ms: the other holds the
// row, this thread updates it (under the panel once the first step has passed), a thread commits
// the other after `commitAfterMs`.
double wake(db::Connection &conn, db::Connection &other, int commitAfterMs, uint64_t &runs)
{
    db::Transaction holder(other);
    holder.execute(updateOf(0));
    std::chrono::steady_clock::time_point committed;
    std::thread committer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(commitAfterMs));
        committed = std::chrono::steady_clock::now();
        holder.commit();
    });
    db::Transaction tx(conn);
    const uint64_t before = db::statementsIssued();
    tx.execute(updateOf(0));
    const auto done = std::chrono::steady_clock::now();
    runs = db::statementsIssued() - before;
    committer.join();
    tx.commit();
    return std::chrono::duration<double, std::milli>(done - committed).count();
}

// The 1 000 updates through the data layer, one transaction.
bench::Measure layerUpdates(db::Connection &conn)
{
    return bench::measure([&] {
        db::Transaction tx(conn);
        for (int i = 0; i < kLots; ++i)
            tx.execute(updateOf(i));
        tx.commit();
    });
}

// The same statements straight to the engine with the calls the data layer makes for each
// (prepare, execute, rows changed, free), under the transaction parameters the program had before
// the bounded wait (read committed, waiting with no limit): no re-runs, no host.
bench::Measure engineUpdates(db::Connection &conn)
{
    using namespace Firebird;
    IMaster *master = fb_get_master_interface();
    ThrowStatusWrapper st(master->getStatus());
    static const unsigned char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_wait};
    IAttachment *att = conn.handle();
    uint64_t sent = 0;
    QElapsedTimer t;
    t.start();
    ITransaction *tx = att->startTransaction(&st, sizeof tpb, tpb);
    for (int i = 0; i < kLots; ++i) {
        const QByteArray sql = updateOf(i).toLatin1();
        IStatement *stmt = att->prepare(&st, tx, 0, sql.constData(), 3, IStatement::PREPARE_PREFETCH_METADATA);
        stmt->execute(&st, tx, nullptr, nullptr, nullptr, nullptr);
        ++sent;
        (void)stmt->getAffectedRecords(&st);
        stmt->free(&st);
    }
    tx->commit(&st);
    const double elapsed = bench::ms(t);
    st.dispose();
    return {elapsed, sent};
}

void report(const char *where, db::Connection &conn, db::Connection &other, int runs)
{
    std::printf("%s\n", where);
    db::setLockWaitLimit(30);
    struct Delay { int ms; const char *what; };
    for (const Delay d : {Delay{300, "within the engine's first step"}, Delay{1500, "panel up, second step"},
                          Delay{3700, "panel up, fourth step"}}) {
        std::vector<double> figures;
        uint64_t statements = 0;
        for (int i = 0; i < runs; ++i)
            figures.push_back(wake(conn, other, d.ms, statements));
        std::printf("  commit after %5d ms (%s): commit to update done, median %7.2f ms, max %7.2f ms"
                    "  (%llu statements issued during the wait)\n",
                    d.ms, d.what, bench::median(figures), *std::max_element(figures.begin(), figures.end()),
                    static_cast<unsigned long long>(statements));
    }
    std::vector<double> layer, engine;
    uint64_t layerStatements = 0, engineStatements = 0;
    for (int i = 0; i < runs; ++i) {
        const bench::Measure e = engineUpdates(conn);
        const bench::Measure l = layerUpdates(conn);
        engine.push_back(e.ms);
        layer.push_back(l.ms);
        engineStatements = e.statements;
        layerStatements = l.statements;
    }
    std::printf("  %d single-row updates that meet no held row, median of %d:\n", kLots, runs);
    std::printf("    data layer, bounded wait      : %8.1f ms  (%llu statements)\n", bench::median(layer),
                static_cast<unsigned long long>(layerStatements));
    std::printf("    engine straight, no limit     : %8.1f ms  (%llu statements)\n", bench::median(engine),
                static_cast<unsigned long long>(engineStatements));
    std::printf("    ratio layer / engine          : %6.3f\n", bench::median(layer) / bench::median(engine));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("sql"), QStringLiteral("the folder of central.sql"), QStringLiteral("DIR")});
        p.addOption({QStringLiteral("runs"), QStringLiteral("runs of each figure"), QStringLiteral("N"), QStringLiteral("5")});
        bench::parseArguments(p);
        const QString script = bench::centralScript(p);
        const int runs = bench::wholeNumber(p, QStringLiteral("runs"));

        // The window's panel is the host, as in the program: the wait runs on a worker thread
        // while this thread turns the event loop.
        data_ui::LockWaitPanel panel;

        {
            bench::ScratchCentral central(script);
            fill(central.conn);
            db::Connection other;
            other.configure({central.dir.filePath(QStringLiteral("bench.fdb")), true, true});
            report("embedded", central.conn, other, runs);
        }

        testsupport::PrivateServer server;
        if (!server.ready()) {
            std::fprintf(stderr, "no server of our own: %s\n", qPrintable(server.failure()));
            return 1;
        }
        const db::Target target = server.target(QStringLiteral("bench.fdb"));
        db::Connection::createDatabase(target);
        db::Connection conn, other;
        conn.configure(target);
        conn.runScript(script);
        fill(conn);
        other.configure(target);
        report("through a Firebird server", conn, other, runs);
        return 0;
    });
}
