// Transactions and the statements run in them: waits on held rows, update conflicts tried again,
// and a failure that means a lost link noted on the connection.
#include "connection.h"
#include "lockwait.h"
#include "message.h"
#include "serverwatch.h"
#include "waitcontrol.h"

#include <atomic>
#include <cstring>
#include <chrono>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <set>

namespace db {

using namespace engine;

namespace {

std::atomic<uint64_t> g_statementsIssued{0};

QByteArray sqlBytes(const QString &sql)
{
    return platform::toCp1252(sql);
}

IStatement *prepare(Transaction &tx, const QString &sql)
{
    const QByteArray text = sqlBytes(sql);
    IAttachment *att = tx.connection().handle();
    return onServer(tx.connection(), [&] {
        Status st;
        IStatement *stmt = att->prepare(&st, tx.handle(), unsigned(text.size()), text.constData(), 3,
                                        IStatement::PREPARE_PREFETCH_METADATA);
        st.check();
        return stmt;
    });
}

// Read committed, record versions, waiting on locks for one step of the bounded wait.
QByteArray baseTpb()
{
    QByteArray tpb;
    for (unsigned char c : {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_wait})
        tpb.append(char(c));
    const int step = lockWaitStep();
    tpb.append(char(isc_tpb_lock_timeout));
    tpb.append(char(4));
    for (int i = 0; i < 4; ++i)
        tpb.append(char((step >> (8 * i)) & 0xff));
    return tpb;
}

// A row another transaction held and then changed while this one waited on it: the statement is
// run again on the committed version, as many times as this without the operator seeing it.
const int kConflictRetries = 50;

// What runWaiting does with a row changed by the transaction it waited on.
enum class Conflicts {
    RunAgain,   // statements: the changed row is read again by running the statement once more
    Throw,      // locking selects: the caller decides what a changed row means (the transfer starts over)
};

// The engine answers alike when a wait ran out its step and when the transaction it waited on
// changed the row and ended (and its step is counted in whole seconds, so the time a call took
// tells nothing). What the server says of the transaction it named does: still under way (the
// row is held), gone (the row changed), or itself waiting on this one, perhaps through others.
enum class Holder { Gone, Holds, WaitsOnUs };

// The name under which a transaction tells the others which transaction it waits on.
const char kWaitNote[] = "ESTOQUE_AGUARDA";

int64_t transactionId(Connection &conn, ITransaction *tx)
{
    return onServer(conn, [&] {
        Status st;
        const unsigned char item = isc_info_tra_id;
        unsigned char buf[32] = {};
        tx->getInfo(&st, 1, &item, sizeof buf, buf);
        st.check();
        if (buf[0] != isc_info_tra_id)
            return int64_t(0);
        const short len = short(isc_portable_integer(buf + 1, 2));
        return int64_t(isc_portable_integer(buf + 3, len));
    });
}

// Our transaction's note of the transaction it waits on, read by the others' waits.
struct WaitNote {
    Connection &conn;
    ITransaction *tx;
    int64_t self = 0;
    int64_t noted = 0;

    void set(int64_t waitedOn)
    {
        if (waitedOn == noted)
            return;
        const QByteArray sql = "execute block as declare x integer; begin x = rdb$set_context('USER_TRANSACTION', '"
            + QByteArray(kWaitNote) + "', " + (waitedOn ? QByteArray::number(qlonglong(waitedOn)) : QByteArray("null"))
            + "); end";
        IAttachment *att = conn.handle();
        onServer(conn, [&] {
            Status st;
            att->execute(&st, tx, 0, sql.constData(), 3, nullptr, nullptr, nullptr, nullptr);
            st.check();
        });
        noted = waitedOn;
    }
};

// Asks the server about the transaction the engine named in `e`, in a transaction of its own (the
// monitoring tables are read once per transaction).
Holder examine(Connection &conn, WaitNote &note, const DbError &e)
{
    const int64_t holder = e.concurrentTransaction();
    if (!holder || !note.tx)
        return Holder::Holds;   // a table reserved, or nothing named: waited on like a held row
    if (!note.self)
        note.self = transactionId(conn, note.tx);
    std::set<int64_t> active;
    std::map<int64_t, int64_t> waitsOn;
    {
        Transaction look(conn);
        Cursor c = look.open(QStringLiteral(
            "select t.MON$TRANSACTION_ID, v.MON$VARIABLE_VALUE from MON$TRANSACTIONS t "
            "left join MON$CONTEXT_VARIABLES v on v.MON$TRANSACTION_ID = t.MON$TRANSACTION_ID "
            "and v.MON$VARIABLE_NAME = '") + QLatin1String(kWaitNote) + QStringLiteral("'"));
        while (c.next()) {
            const int64_t id = c.value(0).toInt();
            active.insert(id);
            if (!c.value(1).isNull())
                waitsOn[id] = c.value(1).toString().toLongLong();
        }
        c.close();
        look.commit();
    }
    if (!active.count(holder))
        return Holder::Gone;
    note.set(holder);
    // Waits that close a circle: the youngest transaction of the circle gives up, the others wait.
    int64_t youngest = std::max(note.self, holder);
    std::set<int64_t> seen{holder};
    for (int64_t at = holder;;) {
        const auto next = waitsOn.find(at);
        if (next == waitsOn.end() || !active.count(next->second))
            return Holder::Holds;
        at = next->second;
        if (at == note.self)
            return youngest == note.self ? Holder::WaitsOnUs : Holder::Holds;
        if (!seen.insert(at).second)
            return Holder::Holds;
        youngest = std::max(youngest, at);
    }
}

// A wait that ended: the engine's own text goes to the diagnostic output, the operator reads ours.
DbError ended(const DbError &e, DbError::Wait how)
{
    logDiagnostic(QStringLiteral("Espera por registro em uso encerrada (%1): %2")
                      .arg(how == DbError::Wait::Cancelled  ? QStringLiteral("cancelada")
                           : how == DbError::Wait::TimedOut ? QStringLiteral("limite")
                                                            : QStringLiteral("espera mútua"),
                           e.message()));
    return e.endedAs(how);
}

// Runs one engine call that may wait on a row another connection holds (in transaction tx, when
// there is one). The engine gives the wait up after a step; the call is then run again (each run
// woken by the engine as soon as the row is free) until it goes through, is cancelled, the limit
// passes or the transaction holding the row turns out to wait on this one. On the window's thread
// the whole of it runs under the host from the start, so not even the first step holds the window.
template <class Call>
void runWaiting(Connection &conn, ITransaction *tx, Conflicts conflicts, Call call)
{
    detail::offWindow(conn, true, [&] {
        using Clock = std::chrono::steady_clock;
        // The limit counts from the moment the engine first says the row is held.
        std::optional<Clock::time_point> deadline;
        detail::WaitControl *control = detail::currentWait();
        WaitNote note{conn, tx};
        for (int changes = 0;;) {
            if (control) {
                if (control->cancelled())
                    throw ended(DbError(QStringLiteral("operation was cancelled"), {isc_cancelled}), DbError::Wait::Cancelled);
                control->enterCall(conn.handle());
            }
            try {
                call();
                if (control)
                    control->leaveCall();
                if (note.noted)
                    note.set(0);
                return;
            } catch (const DbError &e) {
                const bool cancelled = control && control->leaveCall();
                if (e.isConnectionLost() || e.wait() != DbError::Wait::None)
                    throw;
                if (cancelled)
                    throw ended(e, DbError::Wait::Cancelled);
                if (!e.isConflict())
                    throw;
                const Holder holder = examine(conn, note, e);
                if (holder == Holder::Gone) {
                    if (conflicts == Conflicts::Throw || ++changes > kConflictRetries)
                        throw;
                    continue;
                }
                if (holder == Holder::WaitsOnUs)
                    throw ended(e, DbError::Wait::Deadlock);
                if (control)
                    control->waitingOnRow();
                if (!deadline)
                    deadline = Clock::now() + std::chrono::seconds(lockWaitLimit());
                else if (Clock::now() >= *deadline)
                    throw ended(e, DbError::Wait::TimedOut);
            }
        }
    });
}

// Runs a prepared statement, waiting on held rows as runWaiting does.
// With out and outData, the row the statement returns is read into outData.
void executeRetrying(Connection &conn, ITransaction *tx, IStatement *stmt, InputMessage &in,
                     IMessageMetadata *out = nullptr, void *outData = nullptr)
{
    runWaiting(conn, tx, Conflicts::RunAgain, [&] {
        onServer(conn, [&] {
            Status st;
            ++g_statementsIssued;
            stmt->execute(&st, tx, in.meta(), in.data(), out, outData);
            st.check();
        });
    });
}

// Starts a transaction. Nothing has been sent when the start fails, so a link found gone (the
// server restarted since the last use) is attached again and tried once more; a server that
// stopped answering is not waited on twice, and one never reached is not tried again.
ITransaction *startOn(Connection &conn, const QByteArray &tpb, bool waitOnHeldTables)
{
    return detail::offWindow(conn, waitOnHeldTables, [&] {
        for (int attempt = 0;; ++attempt) {
            const bool wasOpen = conn.isOpen();
            try {
                IAttachment *att = conn.handle();
                ITransaction *tx = nullptr;
                auto start = [&] {
                    onServer(conn, [&] {
                        Status st;
                        tx = att->startTransaction(&st, unsigned(tpb.size()),
                                                   reinterpret_cast<const unsigned char *>(tpb.constData()));
                        if (st.failed())
                            tx = nullptr;
                        st.check();
                    });
                };
                // Another workstation reserving the same tables is waited on like a held row.
                if (waitOnHeldTables)
                    runWaiting(conn, nullptr, Conflicts::RunAgain, start);
                else
                    start();
                return tx;
            } catch (const DbError &e) {
                conn.noteError(e);
                if (attempt == 0 && wasOpen && e.isConnectionLost() && e.wait() == DbError::Wait::None
                    && !serverFoundSilent(conn))
                    continue;
                throw;
            }
        }
    });
}

} // namespace

// ---- Transaction

Transaction::Transaction(Connection &conn) : m_conn(&conn)
{
    m_tx = startOn(conn, baseTpb(), false);
}

Transaction::Transaction(Connection &conn, const QStringList &protectedTables) : m_conn(&conn)
{
    QByteArray tpb = baseTpb();
    for (const QString &table : protectedTables) {
        const QByteArray name = sqlBytes(table);
        tpb.append(char(isc_tpb_lock_write));
        tpb.append(char(name.size()));
        tpb.append(name);
        tpb.append(char(isc_tpb_protected));
    }
    m_tx = startOn(conn, tpb, true);
}

Transaction::Transaction(Transaction &&o) noexcept : m_conn(o.m_conn), m_tx(o.m_tx)
{
    o.m_tx = nullptr;
}

Transaction::~Transaction()
{
    try {
        rollback();
    } catch (const DbError &) {
        m_tx = nullptr;   // the server ends a transaction whose link is gone
    }
}

uint64_t Transaction::execute(const QString &sql, const std::vector<Value> &params)
{
    return executeStatement(sql, params, false);
}

uint64_t Transaction::executeKept(const QString &sql, const std::vector<Value> &params)
{
    return executeStatement(sql, params, true);
}

Cursor Transaction::open(const QString &sql, const std::vector<Value> &params)
{
    return openStatement(sql, params, false);
}

Rows Transaction::query(const QString &sql, const std::vector<Value> &params)
{
    return queryStatement(sql, params, false);
}

Rows Transaction::queryKept(const QString &sql, const std::vector<Value> &params)
{
    return queryStatement(sql, params, true);
}

IStatement *Transaction::keptStatement(const QString &sql)
{
    m_conn->handle();   // a link found gone and attached again has nothing kept
    const auto found = m_conn->m_kept.find(sql);
    if (found != m_conn->m_kept.end())
        return found->second;
    IStatement *stmt = prepare(*this, sql);
    m_conn->m_kept.emplace(sql, stmt);
    return stmt;
}

uint64_t Transaction::executeStatement(const QString &sql, const std::vector<Value> &params, bool kept)
{
    return detail::offWindow(*m_conn, true, [&] {
        try {
            // A kept statement belongs to the connection; any other is ours until the end.
            const Ref<IStatement> owned(kept ? nullptr : prepare(*this, sql));
            IStatement *stmt = kept ? keptStatement(sql) : owned.get();
            InputMessage in(stmt, params);
            in.writeBlobs(m_conn->handle(), m_tx);
            executeRetrying(*m_conn, m_tx, stmt, in);
            return onServer(*m_conn, [&] {
                Status st;
                const uint64_t n = stmt->getAffectedRecords(&st);
                st.check();
                return n;
            });
        } catch (const DbError &e) {
            m_conn->noteError(e);
            throw;
        }
    });
}

uint64_t Transaction::executeKeptOneRow(const QString &sql, const std::vector<Value> &params)
{
    return detail::offWindow(*m_conn, true, [&] {
        try {
            IStatement *stmt = keptStatement(sql);
            InputMessage in(stmt, params);
            in.writeBlobs(m_conn->handle(), m_tx);
            Status st;
            const Ref<IMessageMetadata> out(stmt->getOutputMetadata(&st));
            st.check();
            std::vector<unsigned char> row(out->getMessageLength(&st), 0);
            st.check();
            const unsigned nullAt = out->getNullOffset(&st, 0);
            st.check();
            executeRetrying(*m_conn, m_tx, stmt, in, out.get(), row.data());
            int16_t isNull = -1;
            std::memcpy(&isNull, row.data() + nullAt, sizeof isNull);
            return uint64_t(isNull ? 0 : 1);
        } catch (const DbError &e) {
            m_conn->noteError(e);
            throw;
        }
    });
}

Cursor Transaction::openStatement(const QString &sql, const std::vector<Value> &params, bool kept)
{
    return detail::offWindow(*m_conn, false, [&] {
        try {
            Ref<IStatement> owned(kept ? nullptr : prepare(*this, sql));
            IStatement *stmt = kept ? keptStatement(sql) : owned.get();
            InputMessage in(stmt, params);
            IAttachment *att = m_conn->handle();
            onServer(*m_conn, [&] { in.writeBlobs(att, m_tx); });
            Status st;
            Ref<IMessageMetadata> out(stmt->getOutputMetadata(&st));
            st.check();
            ++g_statementsIssued;
            IResultSet *rs = onServer(*m_conn, [&] {
                Status ost;
                IResultSet *r = stmt->openCursor(&ost, m_tx, in.meta(), in.data(), out.get(), 0);
                ost.check();
                return r;
            });
            // From here the cursor owns the result set and its metadata, and the statement unless
            // the connection keeps it.
            owned.take();
            return Cursor(this, stmt, rs, out.take(), !kept);
        } catch (const DbError &e) {
            m_conn->noteError(e);
            throw;
        }
    });
}

Rows Transaction::queryStatement(const QString &sql, const std::vector<Value> &params, bool kept)
{
    return detail::offWindow(*m_conn, true, [&] {
        Rows rows;
        // A locking select waits on held rows as a statement does; a row changed meanwhile is for the
        // caller to judge, so that failure is thrown, not read again.
        runWaiting(*m_conn, m_tx, Conflicts::Throw, [&] {
            Cursor c = openStatement(sql, params, kept);
            Rows got;
            got.columns = c.layout().columns();
            while (c.next()) {
                std::vector<Value> r;
                r.reserve(got.columns.size());
                for (int i = 0; i < c.layout().columnCount(); ++i)
                    r.push_back(c.value(i));
                got.rows.push_back(std::move(r));
            }
            rows = std::move(got);
        });
        return rows;
    });
}

void Transaction::commit()
{
    detail::offWindow(*m_conn, false, [&] {
        if (!m_tx)
            return;
        try {
            onServer(*m_conn, [&] {
                Status st;
                m_tx->commit(&st);
                st.check();
            });
        } catch (const DbError &e) {
            m_conn->noteError(e);
            throw;
        }
        m_tx = nullptr;
    });
}

void Transaction::rollback()
{
    if (!m_tx)
        return;
    detail::offWindow(*m_conn, false, [&] {
        // A rollback that fails (the link gone) still lets the transaction go: the server ends it.
        onServer(*m_conn, [&] { endQuietly(m_tx, [](ITransaction *t, Status &st) { t->rollback(&st); }); });
    });
    m_tx = nullptr;
}

// ---- Prepared

Prepared::Prepared(Transaction &tx, const QString &sql) : m_tx(&tx)
{
    m_stmt = detail::offWindow(tx.connection(), false, [&] { return prepare(tx, sql); });
}

Prepared::~Prepared()
{
    if (m_stmt)
        m_stmt->release();
}

uint64_t Prepared::execute(const std::vector<Value> &params)
{
    return detail::offWindow(m_tx->connection(), true, [&] {
        try {
            Connection &conn = m_tx->connection();
            InputMessage in(m_stmt, params);
            IAttachment *att = conn.handle();
            onServer(conn, [&] { in.writeBlobs(att, m_tx->handle()); });
            executeRetrying(conn, m_tx->handle(), m_stmt, in);
            return onServer(conn, [&] {
                Status st;
                const uint64_t affected = m_stmt->getAffectedRecords(&st);
                st.check();
                return affected;
            });
        } catch (const DbError &e) {
            m_tx->connection().noteError(e);
            throw;
        }
    });
}

uint64_t statementsIssued()
{
    return g_statementsIssued.load();
}

} // namespace db
