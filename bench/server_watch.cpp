// The bound on a server's answers, on a server of the benchmark's own: what the data layer's
// watch costs a workstation, measured as the machine really is (another process keeping a second
// core busy): single-row updates through the data layer against exactly the same engine calls
// made directly (prepare, execute, rows changed, release), one way then the other update by update,
// medians of three runs,
// with the context switches of this process per update (the parameter described as the layer
// describes it, so both make the same calls to the client library); what handing every call of the window's
// thread to a worker costs (the same updates with the window's waiting panel installed); and how
// long a statement on a frozen server takes to come back as a lost link for a few bounds, with
// the window's longest pause while it waits.
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
#include <cstring>
#include <firebird/Interface.h>
#include <ibase.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char *const kUsage = "usage: bench_server_watch --updates N [--guards N]\n"
                           "  N: single-row updates timed (1000 gives the usual figure); watched calls alone (default 100000)\n";

const char kUpdate[] = "update T set V = V + 1 where K = ?";

// A process spinning on a core of its own until the object goes.
class BusyCore {
public:
    BusyCore()
    {
        m_pid = fork();
        if (m_pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);   // never outlives the benchmark
            volatile unsigned long spin = 0;   // read back, so the loop is kept
            for (;;)
                spin = spin + 1;
        }
    }
    ~BusyCore()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

private:
    pid_t m_pid = -1;
};

long contextSwitches(int who = RUSAGE_SELF)
{
    rusage u{};
    getrusage(who, &u);
    return u.ru_nvcsw + u.ru_nivcsw;
}

struct Run {
    double ms = 0;
    double switchesPerUpdate = 0;         // the whole process
    double callerSwitchesPerUpdate = 0;   // the calling thread alone
    uint64_t statements = 0;
};


// The updates as the engine's own calls, in one transaction on the attachment the connection
// holds: what the data layer does for each, without the layer.
// One update as the engine's own calls, in the transaction the layer started: what the data
// layer does for it, without the layer.
void engineUpdate(Firebird::IAttachment *att, Firebird::ITransaction *tx, int k)
{
    using namespace Firebird;
    static IStatus *status = fb_get_master_interface()->getStatus();
    CheckStatusWrapper st(status);
    const auto check = [&] {
        if (st.getState() & IStatus::STATE_ERRORS)
            throw std::runtime_error("engine call failed");
    };
    IStatement *stmt = att->prepare(&st, tx, 0, kUpdate, 3, IStatement::PREPARE_PREFETCH_METADATA);
    check();
    // The parameter as the layer describes a whole number: a 64-bit integer the engine converts.
    IMessageMetadata *declared = stmt->getInputMetadata(&st);
    check();
    IMetadataBuilder *builder = declared->getBuilder(&st);
    check();
    declared->release();
    builder->setType(&st, 0, SQL_INT64 + 1);
    builder->setScale(&st, 0, 0);
    builder->setLength(&st, 0, 8);
    IMessageMetadata *in = builder->getMetadata(&st);
    check();
    builder->release();
    std::vector<unsigned char> buffer(in->getMessageLength(&st), 0);
    const int64_t key = k;
    std::memcpy(buffer.data() + in->getOffset(&st, 0), &key, sizeof key);
    std::memset(buffer.data() + in->getNullOffset(&st, 0), 0, sizeof(short));
    stmt->execute(&st, tx, in, buffer.data(), nullptr, nullptr);
    check();
    if (stmt->getAffectedRecords(&st) != 1)
        throw std::runtime_error("row not updated");
    in->release();
    stmt->release();
}

// One run: every update made once each way in one transaction, one way then the other in turn,
// so whatever else the machine does falls on both alike.
std::pair<Run, Run> interleaved(db::Connection &conn, int updates)
{
    Run engine, layer;
    db::Transaction tx(conn);
    Firebird::IAttachment *att = conn.handle();
    const QString sql = QString::fromLatin1(kUpdate);
    for (int k = 0; k < updates; ++k) {
        for (int pass = 0; pass < 2; ++pass) {
            const bool viaLayer = (pass == 0) == (k % 2 == 0);
            Run &sum = viaLayer ? layer : engine;
            const long switches = contextSwitches(), callerSwitches = contextSwitches(RUSAGE_THREAD);
            const uint64_t statements = db::statementsIssued();
            QElapsedTimer t;
            t.start();
            if (viaLayer)
                tx.execute(sql, {db::Value::integer(k)});
            else
                engineUpdate(att, tx.handle(), k);
            sum.ms += double(t.nsecsElapsed()) / 1e6;
            sum.statements += db::statementsIssued() - statements;
            sum.switchesPerUpdate += double(contextSwitches() - switches) / updates;
            sum.callerSwitchesPerUpdate += double(contextSwitches(RUSAGE_THREAD) - callerSwitches) / updates;
        }
    }
    tx.commit();
    return {engine, layer};
}

void layerUpdates(db::Connection &conn, int first, int updates)
{
    db::Transaction tx(conn);
    for (int k = first; k < first + updates; ++k)
        tx.execute(QString::fromLatin1(kUpdate), {db::Value::integer(k)});
    tx.commit();
}

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

    std::vector<Run> engine, layer;
    {
        BusyCore busy;
        interleaved(conn, updates);   // warms the server's cache and the watch's thread
        for (int run = 0; run < 3; ++run) {
            const auto [e, l] = interleaved(conn, updates);
            engine.push_back(e);
            layer.push_back(l);
        }
    }
    const auto median = [](const std::vector<Run> &runs, double Run::*field) {
        std::vector<double> v;
        for (const Run &r : runs)
            v.push_back(r.*field);
        return bench::median(v);
    };
    const double engineMs = median(engine, &Run::ms), layerMs = median(layer, &Run::ms);
    std::printf("%d single-row updates through the server, a second core kept busy, medians of 3:\n", updates);
    std::printf("  engine calls directly : %8.1f ms (%6.1f us each)  context switches an update: %5.2f (caller %5.2f)\n",
                engineMs, engineMs * 1000.0 / updates, median(engine, &Run::switchesPerUpdate),
                median(engine, &Run::callerSwitchesPerUpdate));
    std::printf("  through the data layer: %8.1f ms (%6.1f us each)  context switches an update: %5.2f (caller %5.2f)"
                "  %llu statements\n",
                layerMs, layerMs * 1000.0 / updates, median(layer, &Run::switchesPerUpdate),
                median(layer, &Run::callerSwitchesPerUpdate), static_cast<unsigned long long>(layer.front().statements));
    std::vector<double> ratios;
    for (size_t i = 0; i < layer.size(); ++i)
        ratios.push_back(layer[i].ms / engine[i].ms);
    std::printf("  ratio data layer / engine calls: %.3f (median of the runs'", bench::median(ratios));
    for (double r : ratios)
        std::printf(" %.3f", r);
    std::printf(")\n");

    const bench::Measure watch = bench::measure([&] {
        for (int i = 0; i < guards; ++i)
            db::ServerCall call(conn);
    });
    std::printf("the watch alone, %d calls: %.1f ms (%.3f us each)\n", guards, watch.ms, watch.ms * 1000.0 / guards);

    {
        // Every call of the window's thread goes to a worker of the panel.
        data_ui::LockWaitPanel panel;
        const bench::Measure handed = bench::measure([&] { layerUpdates(conn, 0, updates); });
        std::printf("the same updates from the window's thread, each handed to a worker: %.1f ms (%.1f us each), "
                    "ratio to the calling thread %.3f\n",
                    handed.ms, handed.ms * 1000.0 / updates, handed.ms / layerMs);

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
