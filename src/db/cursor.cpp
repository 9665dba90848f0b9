// A statement's rows read front to back, blobs read whole.
#include "connection.h"
#include "message.h"
#include "serverwatch.h"
#include "waitcontrol.h"

#include <algorithm>
#include <cstring>

namespace db {

using namespace engine;

namespace {

QByteArray readBlob(IAttachment *att, ITransaction *tx, ISC_QUAD id)
{
    Status st;
    Ref<IBlob> blob(att->openBlob(&st, tx, &id, 0, nullptr));
    st.check();
    QByteArray out;
    char buf[32768];
    for (;;) {
        unsigned got = 0;
        const int r = blob->getSegment(&st, sizeof buf, buf, &got);
        if (r == IStatus::RESULT_OK || r == IStatus::RESULT_SEGMENT) {
            out.append(buf, int(got));
            continue;
        }
        if (r == IStatus::RESULT_NO_DATA)
            break;
        st.check();
        break;
    }
    blob.end([](IBlob *b, Status &s) { b->close(&s); });
    return out;
}

} // namespace

Cursor::Cursor(Transaction *tx, IStatement *stmt, IResultSet *rs, IMessageMetadata *meta, bool ownsStatement)
    : m_tx(tx), m_stmt(stmt), m_ownsStatement(ownsStatement), m_rs(rs), m_meta(meta)
{
    // A cursor that fails to be made is not destroyed: it lets its interfaces go itself.
    try {
        unsigned size = 0;
        auto cols = describe(meta, &size);
        m_layout.setColumns(std::move(cols), size);
        m_buffer.assign(size, 0);
    } catch (...) {
        close();
        throw;
    }
}

Cursor::Cursor(Cursor &&o) noexcept
    : m_tx(o.m_tx), m_stmt(o.m_stmt), m_ownsStatement(o.m_ownsStatement), m_rs(o.m_rs), m_meta(o.m_meta),
      m_layout(std::move(o.m_layout)),
      m_buffer(std::move(o.m_buffer)), m_ahead(std::move(o.m_ahead)), m_aheadRows(o.m_aheadRows),
      m_aheadNext(o.m_aheadNext), m_atEnd(o.m_atEnd)
{
    o.m_stmt = nullptr;
    o.m_rs = nullptr;
    o.m_meta = nullptr;
}

Cursor &Cursor::operator=(Cursor &&o) noexcept
{
    if (this != &o) {
        close();
        m_tx = o.m_tx; m_stmt = o.m_stmt; m_ownsStatement = o.m_ownsStatement; m_rs = o.m_rs; m_meta = o.m_meta;
        m_layout = std::move(o.m_layout); m_buffer = std::move(o.m_buffer);
        m_ahead = std::move(o.m_ahead); m_aheadRows = o.m_aheadRows; m_aheadNext = o.m_aheadNext; m_atEnd = o.m_atEnd;
        o.m_stmt = nullptr; o.m_rs = nullptr; o.m_meta = nullptr;
    }
    return *this;
}

Cursor::~Cursor()
{
    close();
}

void Cursor::close()
{
    endQuietly(m_rs, [](IResultSet *rs, Status &st) { rs->close(&st); });
    if (m_meta) {
        m_meta->release();
        m_meta = nullptr;
    }
    if (m_stmt) {
        if (m_ownsStatement)
            m_stmt->release();
        m_stmt = nullptr;
    }
}

bool Cursor::fetchOne(unsigned char *into)
{
    return onServer(m_tx->connection(), [&] {
        Status st;
        const int r = m_rs->fetchNext(&st, into);
        st.check();
        return r == IStatus::RESULT_OK;
    });
}

bool Cursor::next()
{
    if (m_aheadNext < m_aheadRows) {
        std::memcpy(m_buffer.data(), m_ahead.data() + m_aheadNext++ * m_buffer.size(), m_buffer.size());
        return true;
    }
    if (!m_rs || m_atEnd)
        return false;
    Connection &conn = m_tx->connection();
    try {
        if (!detail::handsOff(conn, false))
            return fetchOne(m_buffer.data());
        // From the window's thread every fetch from a server goes to a worker: rows are fetched
        // there in blocks, so a long read costs one hand-over per block, not per row.
        const size_t size = std::max<size_t>(1, m_buffer.size());
        const size_t block = std::clamp<size_t>((256 * 1024) / size, 1, 1024);
        m_ahead.resize(block * size);
        m_aheadRows = m_aheadNext = 0;
        detail::offWindow(conn, false, [&] {
            while (m_aheadRows < block) {
                if (!fetchOne(m_ahead.data() + m_aheadRows * size)) {
                    m_atEnd = true;
                    break;
                }
                ++m_aheadRows;
            }
        });
    } catch (const DbError &e) {
        conn.noteError(e);
        throw;
    }
    return next();
}

QByteArray Cursor::blob(int col) const
{
    if (m_layout.isNull(row(), col))
        return QByteArray();
    ISC_QUAD id;
    std::memcpy(&id, row() + m_layout.columns()[size_t(col)].offset, sizeof id);
    Connection &conn = m_tx->connection();
    return detail::offWindow(conn, false, [&] {
        IAttachment *att = conn.handle();
        return onServer(conn, [&] { return readBlob(att, m_tx->handle(), id); });
    });
}

Value Cursor::value(int col) const
{
    if (m_layout.columns()[size_t(col)].isBlob())
        return m_layout.isNull(row(), col) ? Value() : Value::blob(blob(col));
    return m_layout.value(row(), col);
}

Value Cursor::value(const QString &name) const
{
    const int i = m_layout.indexOf(name);
    if (i < 0)
        throw DbError(QStringLiteral("Column %1 not found").arg(name));
    return value(i);
}

} // namespace db
