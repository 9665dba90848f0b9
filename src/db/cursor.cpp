// A statement's rows read front to back, blobs read whole.
#include "connection.h"
#include "message.h"
#include "serverwatch.h"

namespace db {

using namespace engine;

namespace {

QByteArray readBlob(IAttachment *att, ITransaction *tx, ISC_QUAD id)
{
    Status st;
    IBlob *blob = att->openBlob(&st, tx, &id, 0, nullptr);
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
    blob->close(&st);
    st.check();
    return out;
}

} // namespace

Cursor::Cursor(Transaction *tx, IStatement *stmt, IResultSet *rs, IMessageMetadata *meta)
    : m_tx(tx), m_stmt(stmt), m_rs(rs), m_meta(meta)
{
    unsigned size = 0;
    auto cols = describe(meta, &size);
    m_layout.setColumns(std::move(cols), size);
    m_buffer.assign(size, 0);
}

Cursor::Cursor(Cursor &&o) noexcept
    : m_tx(o.m_tx), m_stmt(o.m_stmt), m_rs(o.m_rs), m_meta(o.m_meta), m_layout(std::move(o.m_layout)),
      m_buffer(std::move(o.m_buffer))
{
    o.m_stmt = nullptr;
    o.m_rs = nullptr;
    o.m_meta = nullptr;
}

Cursor &Cursor::operator=(Cursor &&o) noexcept
{
    if (this != &o) {
        close();
        m_tx = o.m_tx; m_stmt = o.m_stmt; m_rs = o.m_rs; m_meta = o.m_meta;
        m_layout = std::move(o.m_layout); m_buffer = std::move(o.m_buffer);
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
    Status st;
    if (m_rs) {
        m_rs->close(&st);
        if (st.failed())
            m_rs->release();
        m_rs = nullptr;
    }
    if (m_meta) {
        m_meta->release();
        m_meta = nullptr;
    }
    if (m_stmt) {
        m_stmt->release();
        m_stmt = nullptr;
    }
}

bool Cursor::next()
{
    if (!m_rs)
        return false;
    try {
        return onServer(m_tx->connection(), [&] {
            Status st;
            const int r = m_rs->fetchNext(&st, m_buffer.data());
            st.check();
            return r == IStatus::RESULT_OK;
        });
    } catch (const DbError &e) {
        m_tx->connection().noteError(e);
        throw;
    }
}

QByteArray Cursor::blob(int col) const
{
    if (m_layout.isNull(row(), col))
        return QByteArray();
    ISC_QUAD id;
    std::memcpy(&id, row() + m_layout.columns()[size_t(col)].offset, sizeof id);
    Connection &conn = m_tx->connection();
    IAttachment *att = conn.handle();
    return onServer(conn, [&] { return readBlob(att, m_tx->handle(), id); });
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
