// Transactions and the statements run in them: waits on held rows, update conflicts tried again,
// and a failure that means a lost link noted on the connection.
#include "connection.h"
#include "message.h"

#include <atomic>

namespace db {

using namespace engine;

namespace {

const int kConflictRetries = 50;
std::atomic<uint64_t> g_statementsIssued{0};

QByteArray sqlBytes(const QString &sql)
{
    return platform::toCp1252(sql);
}

IStatement *prepare(Transaction &tx, const QString &sql)
{
    Status st;
    const QByteArray text = sqlBytes(sql);
    IStatement *stmt = tx.connection().handle()->prepare(&st, tx.handle(), unsigned(text.size()), text.constData(),
                                                         3, IStatement::PREPARE_PREFETCH_METADATA);
    st.check();
    return stmt;
}

} // namespace

// ---- Transaction

Transaction::Transaction(Connection &conn) : m_conn(&conn)
{
    static const unsigned char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed,
                                        isc_tpb_rec_version, isc_tpb_wait};
    IAttachment *att = conn.handle();
    Status st;
    m_tx = att->startTransaction(&st, sizeof tpb, tpb);
    try {
        st.check();
    } catch (const DbError &e) {
        m_tx = nullptr;
        conn.noteError(e);
        throw;
    }
}

Transaction::Transaction(Connection &conn, const QStringList &protectedTables) : m_conn(&conn)
{
    QByteArray tpb;
    for (unsigned char c : {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_wait})
        tpb.append(char(c));
    for (const QString &table : protectedTables) {
        const QByteArray name = sqlBytes(table);
        tpb.append(char(isc_tpb_lock_write));
        tpb.append(char(name.size()));
        tpb.append(name);
        tpb.append(char(isc_tpb_protected));
    }
    IAttachment *att = conn.handle();
    Status st;
    m_tx = att->startTransaction(&st, unsigned(tpb.size()), reinterpret_cast<const unsigned char *>(tpb.constData()));
    try {
        st.check();
    } catch (const DbError &e) {
        m_tx = nullptr;
        conn.noteError(e);
        throw;
    }
}

Transaction::Transaction(Transaction &&o) noexcept : m_conn(o.m_conn), m_tx(o.m_tx)
{
    o.m_tx = nullptr;
}

Transaction::~Transaction()
{
    if (m_tx) {
        Status st;
        m_tx->rollback(&st);
        if (st.failed())
            m_tx->release();
        m_tx = nullptr;
    }
}

uint64_t Transaction::execute(const QString &sql, const std::vector<Value> &params)
{
    IStatement *stmt = nullptr;
    uint64_t affected = 0;
    try {
        stmt = prepare(*this, sql);
        InputMessage in(stmt, params);
        in.writeBlobs(m_conn->handle(), m_tx);
        for (int attempt = 0;; ++attempt) {
            Status st;
            ++g_statementsIssued;
            stmt->execute(&st, m_tx, in.meta(), in.data(), nullptr, nullptr);
            try {
                st.check();
                break;
            } catch (const DbError &e) {
                // Waited on a row another workstation held; it committed, so run again on its version.
                if (!e.isUpdateConflict() || attempt >= kConflictRetries)
                    throw;
            }
        }
        Status st;
        affected = stmt->getAffectedRecords(&st);
        st.check();
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
        in.writeBlobs(m_conn->handle(), m_tx);
        Status st;
        IMessageMetadata *out = stmt->getOutputMetadata(&st);
        st.check();
        ++g_statementsIssued;
        IResultSet *rs = stmt->openCursor(&st, m_tx, in.meta(), in.data(), out, 0);
        if (st.failed())
            out->release();
        st.check();
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
    Status st;
    m_tx->commit(&st);
    try {
        st.check();
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
    Status st;
    m_tx->rollback(&st);
    if (st.failed())
        m_tx->release();
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
        InputMessage in(m_stmt, params);
        in.writeBlobs(m_tx->connection().handle(), m_tx->handle());
        for (int attempt = 0;; ++attempt) {
            Status st;
            ++g_statementsIssued;
            m_stmt->execute(&st, m_tx->handle(), in.meta(), in.data(), nullptr, nullptr);
            try {
                st.check();
                break;
            } catch (const DbError &e) {
                if (!e.isUpdateConflict() || attempt >= kConflictRetries)
                    throw;
            }
        }
        Status st;
        const uint64_t affected = m_stmt->getAffectedRecords(&st);
        st.check();
        return affected;
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
