// Transactions and the statements run in them: waits on held rows, update conflicts tried again,
// and a failure that means a lost link noted on the connection.
#include "connection.h"
#include "lockwait.h"
#include "message.h"
#include "serverwatch.h"

#include <atomic>
#include <chrono>
#include <exception>

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

// A wait on a held row that the engine gave up after a step, or a row another transaction held
// and then changed (the engine says both the same way): either way the statement is run again.
bool mustRunAgain(const DbError &e)
{
    return e.isLockTimeout() || e.isUpdateConflict();
}

// Runs one engine call that may wait on a row another connection holds. The engine gives the wait
// up after a step; from then on the call is run again under the lock-wait host (each run woken
// by the engine as soon as the row is free) until it goes through, is cancelled or the limit passes.
template <class Call>
void runWaiting(Connection &conn, Call call)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(lockWaitLimit());
    try {
        call();
        return;
    } catch (const DbError &e) {
        if (!mustRunAgain(e))
            throw;
    }
    std::atomic<bool> cancelled{false};
    std::exception_ptr failure;
    auto job = [&] {
        try {
            for (;;) {
                if (cancelled)
                    throw DbError(QStringLiteral("operation was cancelled"), {isc_cancelled}, DbError::Wait::Cancelled);
                try {
                    call();
                    return;
                } catch (const DbError &e) {
                    if (cancelled)
                        throw DbError(e.message(), e.codes(), DbError::Wait::Cancelled);
                    if (!mustRunAgain(e))
                        throw;
                    if (std::chrono::steady_clock::now() >= deadline)
                        throw DbError(e.message(), e.codes(), DbError::Wait::TimedOut);
                }
            }
        } catch (...) {
            failure = std::current_exception();
        }
    };
    IAttachment *att = conn.handle();
    auto cancel = [&] {
        cancelled = true;
        Status st;
        att->cancelOperation(&st, fb_cancel_raise);   // nothing running: the loop sees the flag
    };
    if (LockWaitHost *host = lockWaitHost())
        host->wait(kLockWaitPanelText, job, cancel);
    else
        job();
    if (failure)
        std::rethrow_exception(failure);
}

// Runs a prepared statement, waiting on held rows as runWaiting does.
void executeRetrying(Connection &conn, ITransaction *tx, IStatement *stmt, InputMessage &in)
{
    runWaiting(conn, [&] {
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
                runWaiting(conn, start);
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
    Cursor c = open(sql, params);
    Rows rows;
    rows.columns = c.layout().columns();
    while (c.next()) {
        std::vector<Value> r;
        r.reserve(rows.columns.size());
        for (int i = 0; i < c.layout().columnCount(); ++i)
            r.push_back(c.value(i));
        rows.rows.push_back(std::move(r));
    }
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
