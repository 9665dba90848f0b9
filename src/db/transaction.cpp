// Transactions and the statements run in them: waits on held rows, update conflicts tried again,
// and a failure that means a lost link noted on the connection.
#include "connection.h"
#include "lockwait.h"
#include "message.h"
#include "serverwatch.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>

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

enum class Failure { Other, StepRanOut, RowChanged };

// For a row the engine says the same (update conflict) when a wait ran out its step as when the
// transaction it waited on changed the row and ended: only the time the call took tells them
// apart. A reservation of tables that ran out says so itself.
Failure classify(const DbError &e, std::chrono::steady_clock::duration took)
{
    if (e.isLockTimeout())
        return Failure::StepRanOut;
    if (!e.isUpdateConflict())
        return Failure::Other;
    return took * 2 >= std::chrono::seconds(lockWaitStep()) ? Failure::StepRanOut : Failure::RowChanged;
}

// Runs one engine call that may wait on a row another connection holds. The engine gives the wait
// up after a step; from then on the call is run again under the lock-wait host (each run woken
// by the engine as soon as the row is free) until it goes through, is cancelled or the limit passes.
template <class Call>
void runWaiting(Connection &conn, Conflicts conflicts, Call call)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(lockWaitLimit());
    // On the calling thread first: a statement that meets no held row costs nothing more, and one
    // whose row was freed within the first step goes on without a panel.
    for (int attempt = 0;; ++attempt) {
        const auto started = Clock::now();
        try {
            call();
            return;
        } catch (const DbError &e) {
            const Failure f = classify(e, Clock::now() - started);
            if (f == Failure::StepRanOut)
                break;
            if (f == Failure::Other || conflicts == Conflicts::Throw || attempt >= kConflictRetries)
                throw;
        }
    }

    // The job and the operator's cancel meet under one lock, so the engine is asked to cancel only
    // while a call is on its way; a call that ended meanwhile is told by the flag instead.
    std::mutex guard;
    bool inCall = false;
    bool cancelled = false;
    bool cancelSent = false;
    std::exception_ptr failure;
    auto job = [&] {
        try {
            for (int conflictsSeen = 0;;) {
                {
                    std::lock_guard<std::mutex> lock(guard);
                    if (cancelled)
                        throw DbError(QStringLiteral("operation was cancelled"), {isc_cancelled}, DbError::Wait::Cancelled);
                    inCall = true;
                }
                const auto started = Clock::now();
                try {
                    call();
                    std::lock_guard<std::mutex> lock(guard);
                    inCall = false;
                    return;
                } catch (const DbError &e) {
                    const Failure f = classify(e, Clock::now() - started);
                    std::lock_guard<std::mutex> lock(guard);
                    inCall = false;
                    if (cancelled && !e.isConnectionLost())
                        throw DbError(e.message(), e.codes(), DbError::Wait::Cancelled);
                    const bool runAgain = f == Failure::StepRanOut
                        || (f == Failure::RowChanged && conflicts == Conflicts::RunAgain && ++conflictsSeen <= kConflictRetries);
                    if (!runAgain)
                        throw;
                    if (Clock::now() >= deadline)
                        throw DbError(e.message(), e.codes(), DbError::Wait::TimedOut);
                }
            }
        } catch (...) {
            failure = std::current_exception();
        }
    };
    // Held for the cancel: a link found lost during the wait is dropped by the connection meanwhile.
    IAttachment *att = conn.handle();
    att->addRef();
    auto cancel = [&] {
        std::lock_guard<std::mutex> lock(guard);
        if (cancelled)
            return;
        cancelled = true;
        if (inCall) {
            Status st;
            att->cancelOperation(&st, fb_cancel_raise);
            cancelSent = true;
        }
    };
    if (LockWaitHost *host = lockWaitHost())
        host->wait(kLockWaitPanelText, job, cancel);
    else
        job();
    if (cancelSent) {
        // A cancel that reached the engine after the call had ended would stay pending and stop
        // the next statement of this attachment (the rollback's among them): turning delivery off
        // and on again drops it.
        Status st;
        att->cancelOperation(&st, fb_cancel_disable);
        att->cancelOperation(&st, fb_cancel_enable);
    }
    att->release();
    if (failure)
        std::rethrow_exception(failure);
}

// Runs a prepared statement, waiting on held rows as runWaiting does.
void executeRetrying(Connection &conn, ITransaction *tx, IStatement *stmt, InputMessage &in)
{
    runWaiting(conn, Conflicts::RunAgain, [&] {
        onServer(conn, [&] {
            Status st;
            ++g_statementsIssued;
            stmt->execute(&st, tx, in.meta(), in.data(), nullptr, nullptr);
            st.check();
        });
    });
}

// Starts a transaction. Nothing has been sent when the start fails, so a link found gone (the
// server restarted since the last use) is attached again and tried once more; a server that
// stopped answering is not waited on twice, and one never reached is not tried again.
ITransaction *startOn(Connection &conn, const QByteArray &tpb, bool waitOnHeldTables)
{
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
                runWaiting(conn, Conflicts::RunAgain, start);
            else
                start();
            return tx;
        } catch (const DbError &e) {
            conn.noteError(e);
            if (attempt == 0 && wasOpen && e.isConnectionLost() && !serverFoundSilent(conn))
                continue;
            throw;
        }
    }
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
    rollback();
}

uint64_t Transaction::execute(const QString &sql, const std::vector<Value> &params)
{
    IStatement *stmt = nullptr;
    uint64_t affected = 0;
    try {
        stmt = prepare(*this, sql);
        InputMessage in(stmt, params);
        in.writeBlobs(m_conn->handle(), m_tx);
        executeRetrying(*m_conn, m_tx, stmt, in);
        affected = onServer(*m_conn, [&] {
            Status st;
            const uint64_t n = stmt->getAffectedRecords(&st);
            st.check();
            return n;
        });
        stmt->release();
    } catch (const DbError &e) {
        if (stmt)
            stmt->release();
        m_conn->noteError(e);
        throw;
    }
    return affected;
}

Cursor Transaction::open(const QString &sql, const std::vector<Value> &params)
{
    IStatement *stmt = nullptr;
    try {
        stmt = prepare(*this, sql);
        InputMessage in(stmt, params);
        IAttachment *att = m_conn->handle();
        onServer(*m_conn, [&] { in.writeBlobs(att, m_tx); });
        Status st;
        IMessageMetadata *out = stmt->getOutputMetadata(&st);
        st.check();
        ++g_statementsIssued;
        IResultSet *rs = onServer(*m_conn, [&] {
            Status ost;
            IResultSet *r = stmt->openCursor(&ost, m_tx, in.meta(), in.data(), out, 0);
            if (ost.failed())
                out->release();
            ost.check();
            return r;
        });
        return Cursor(this, stmt, rs, out);
    } catch (const DbError &e) {
        if (stmt)
            stmt->release();
        m_conn->noteError(e);
        throw;
    }
}

Rows Transaction::query(const QString &sql, const std::vector<Value> &params)
{
    Rows rows;
    // A locking select waits on held rows as a statement does; a row changed meanwhile is for the
    // caller to judge, so that failure is thrown, not read again.
    runWaiting(*m_conn, Conflicts::Throw, [&] {
        Cursor c = open(sql, params);
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
}

void Transaction::commit()
{
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
}

void Transaction::rollback()
{
    if (!m_tx)
        return;
    onServer(*m_conn, [&] {
        Status st;
        m_tx->rollback(&st);
        if (st.failed())
            m_tx->release();
    });
    m_tx = nullptr;
}

// ---- Prepared

Prepared::Prepared(Transaction &tx, const QString &sql) : m_tx(&tx)
{
    m_stmt = prepare(tx, sql);
}

Prepared::~Prepared()
{
    if (m_stmt)
        m_stmt->release();
}

uint64_t Prepared::execute(const std::vector<Value> &params)
{
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
}

uint64_t statementsIssued()
{
    return g_statementsIssued.load();
}

} // namespace db
