#include "connection.h"

#include <atomic>

#include "platform/cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstring>
#include <optional>
#include <unistd.h>
#include <firebird/Interface.h>
#include <ibase.h>

using namespace Firebird;

namespace db {

namespace {

const char *const kUser = "SYSDBA";
const char *const kPassword = "vortexine";
const int kConflictRetries = 50;

// The embedded engine keeps its lock files in /tmp/firebird, which the server package makes
// writable for its own group only: another user gets a folder of its own.
void chooseLockFolder()
{
    if (qEnvironmentVariableIsSet("FIREBIRD_LOCK"))
        return;
    const QFileInfo dflt(QStringLiteral("/tmp/firebird"));
    if (!dflt.exists() || (dflt.isDir() && dflt.isWritable()))
        return;
    const QString own = QStringLiteral("/tmp/firebird-%1").arg(getuid());
    QDir().mkpath(own);
    qputenv("FIREBIRD_LOCK", QFile::encodeName(own));
}

IMaster *master()
{
    static IMaster *m = [] {
        chooseLockFolder();
        return fb_get_master_interface();
    }();
    return m;
}

// Turns a failed status into a DbError with the engine's own text and codes.
class Status {
public:
    Status() : m_status(master()->getStatus()), m_wrap(m_status) {}
    ~Status() { m_status->dispose(); }
    CheckStatusWrapper *operator&() { return &m_wrap; }
    bool failed() const { return m_wrap.getState() & IStatus::STATE_ERRORS; }
    void check()
    {
        if (!(m_wrap.getState() & IStatus::STATE_ERRORS))
            return;
        char buf[2048];
        master()->getUtilInterface()->formatStatus(buf, sizeof buf, &m_wrap);
        std::vector<intptr_t> codes;
        const intptr_t *v = m_wrap.getErrors();
        while (v && v[0] != isc_arg_end) {
            if (v[0] == isc_arg_gds)
                codes.push_back(v[1]);
            v += (v[0] == isc_arg_cstring) ? 3 : 2;
        }
        const QString text = platform::fromCp1252(QByteArray(buf));
        m_wrap.init();
        throw DbError(text, std::move(codes));
    }

private:
    IStatus *m_status;
    CheckStatusWrapper m_wrap;
};

const int64_t kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000,
                          1000000000, 10000000000LL, 100000000000LL, 1000000000000LL,
                          10000000000000LL, 100000000000000LL, 1000000000000000LL,
                          10000000000000000LL, 100000000000000000LL, 1000000000000000000LL};

const QDate kEpoch(1858, 11, 17);

QDate decodeDate(ISC_DATE d) { return kEpoch.addDays(d); }
ISC_DATE encodeDate(const QDate &d) { return ISC_DATE(kEpoch.daysTo(d)); }
QTime decodeTime(ISC_TIME t) { return QTime(0, 0).addMSecs(int(t / 10)); }
ISC_TIME encodeTime(const QTime &t) { return ISC_TIME(QTime(0, 0).msecsTo(t)) * 10; }

std::vector<Column> describe(IMessageMetadata *meta, unsigned *size)
{
    Status st;
    std::vector<Column> cols;
    const unsigned n = meta->getCount(&st);
    st.check();
    for (unsigned i = 0; i < n; ++i) {
        Column c;
        const char *alias = meta->getAlias(&st, i);
        st.check();
        c.name = QString::fromLatin1(alias && *alias ? alias : meta->getField(&st, i)).trimmed();
        c.sqlType = int(meta->getType(&st, i) & ~1u);
        c.subType = meta->getSubType(&st, i);
        c.scale = meta->getScale(&st, i);
        c.length = meta->getLength(&st, i);
        c.offset = meta->getOffset(&st, i);
        c.nullOffset = meta->getNullOffset(&st, i);
        st.check();
        cols.push_back(c);
    }
    *size = meta->getMessageLength(&st);
    st.check();
    return cols;
}

int64_t readInteger(const unsigned char *p, int sqlType)
{
    switch (sqlType) {
    case SQL_SHORT: { int16_t v; std::memcpy(&v, p, 2); return v; }
    case SQL_LONG: { int32_t v; std::memcpy(&v, p, 4); return v; }
    default: { int64_t v; std::memcpy(&v, p, 8); return v; }
    }
}

// Input messages are built by us: every parameter coerced to a type that holds the value.
class InputMessage {
public:
    InputMessage(IStatement *stmt, const std::vector<Value> &params)
    {
        Status st;
        IMessageMetadata *in = stmt->getInputMetadata(&st);
        st.check();
        const unsigned n = in->getCount(&st);
        st.check();
        if (n != params.size()) {
            in->release();
            throw DbError(QStringLiteral("Statement expects %1 parameters, %2 given").arg(n).arg(params.size()));
        }
        if (n == 0) {
            in->release();
            return;
        }
        IMetadataBuilder *b = in->getBuilder(&st);
        st.check();
        in->release();
        std::vector<QByteArray> texts(n);
        for (unsigned i = 0; i < n; ++i) {
            const Value &v = params[i];
            switch (v.kind()) {
            case Value::Kind::Integer:
                b->setType(&st, i, SQL_INT64 + 1); b->setScale(&st, i, 0); b->setLength(&st, i, 8); break;
            case Value::Kind::Decimal:
                b->setType(&st, i, SQL_INT64 + 1); b->setScale(&st, i, -v.toDecimal().scale); b->setLength(&st, i, 8); break;
            case Value::Kind::Double:
                b->setType(&st, i, SQL_DOUBLE + 1); b->setScale(&st, i, 0); b->setLength(&st, i, 8); break;
            case Value::Kind::Date:
                b->setType(&st, i, SQL_TYPE_DATE + 1); b->setLength(&st, i, 4); break;
            case Value::Kind::Time:
                b->setType(&st, i, SQL_TYPE_TIME + 1); b->setLength(&st, i, 4); break;
            case Value::Kind::Timestamp:
                b->setType(&st, i, SQL_TIMESTAMP + 1); b->setLength(&st, i, 8); break;
            case Value::Kind::Blob:
                b->setType(&st, i, SQL_BLOB + 1); b->setLength(&st, i, 8); break;
            default: // text and null
                texts[i] = v.toBytes();
                b->setType(&st, i, SQL_VARYING + 1);
                b->setCharSet(&st, i, 0);
                // The slot must hold the whole value, or the engine stores a NULL.
                b->setLength(&st, i, std::max<unsigned>(1, unsigned(texts[i].size())));
                break;
            }
            st.check();
        }
        m_meta = b->getMetadata(&st);
        st.check();
        b->release();
        unsigned size = 0;
        m_cols = describe(m_meta, &size);
        m_buffer.assign(size, 0);
        for (unsigned i = 0; i < n; ++i) {
            const Value &v = params[i];
            const Column &c = m_cols[i];
            unsigned char *p = m_buffer.data() + c.offset;
            int16_t isNull = v.isNull() ? -1 : 0;
            std::memcpy(m_buffer.data() + c.nullOffset, &isNull, 2);
            if (v.isNull())
                continue;
            switch (v.kind()) {
            case Value::Kind::Integer: { int64_t x = v.toInt(); std::memcpy(p, &x, 8); break; }
            case Value::Kind::Decimal: { int64_t x = v.toDecimal().mantissa; std::memcpy(p, &x, 8); break; }
            case Value::Kind::Double: { double x = v.toDouble(); std::memcpy(p, &x, 8); break; }
            case Value::Kind::Date: { ISC_DATE x = encodeDate(v.toDate()); std::memcpy(p, &x, 4); break; }
            case Value::Kind::Time: { ISC_TIME x = encodeTime(v.toTime()); std::memcpy(p, &x, 4); break; }
            case Value::Kind::Timestamp: {
                ISC_TIMESTAMP ts{encodeDate(v.toDateTime().date()), encodeTime(v.toDateTime().time())};
                std::memcpy(p, &ts, 8);
                break;
            }
            case Value::Kind::Blob: m_blobs.push_back({i, v.toBytes()}); break;
            default: {
                const QByteArray &t = texts[i];
                uint16_t len = uint16_t(t.size());
                std::memcpy(p, &len, 2);
                std::memcpy(p + 2, t.constData(), size_t(t.size()));
                break;
            }
            }
        }
    }
    ~InputMessage()
    {
        if (m_meta)
            m_meta->release();
    }
    // Blob parameters are written into the transaction before the statement runs.
    void writeBlobs(IAttachment *att, ITransaction *tx)
    {
        for (auto &[i, bytes] : m_blobs) {
            Status st;
            ISC_QUAD id;
            IBlob *blob = att->createBlob(&st, tx, &id, 0, nullptr);
            st.check();
            for (int pos = 0; pos < bytes.size(); pos += 32768) {
                const int chunk = std::min<int>(32768, int(bytes.size()) - pos);
                blob->putSegment(&st, unsigned(chunk), bytes.constData() + pos);
                st.check();
            }
            blob->close(&st);
            st.check();
            std::memcpy(m_buffer.data() + m_cols[i].offset, &id, sizeof id);
        }
    }
    IMessageMetadata *meta() const { return m_meta; }
    void *data() { return m_buffer.empty() ? nullptr : m_buffer.data(); }

private:
    IMessageMetadata *m_meta = nullptr;
    std::vector<Column> m_cols;
    std::vector<unsigned char> m_buffer;
    std::vector<std::pair<unsigned, QByteArray>> m_blobs;
};

QByteArray sqlBytes(const QString &sql)
{
    return platform::toCp1252(sql);
}

std::atomic<uint64_t> g_statementsPrepared{0};

IStatement *prepare(Transaction &tx, const QString &sql)
{
    g_statementsPrepared.fetch_add(1, std::memory_order_relaxed);
    Status st;
    const QByteArray text = sqlBytes(sql);
    IStatement *stmt = tx.connection().handle()->prepare(&st, tx.handle(), unsigned(text.size()), text.constData(),
                                                         3, IStatement::PREPARE_PREFETCH_METADATA);
    st.check();
    return stmt;
}

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

QByteArray dpb(bool create, int pageSize)
{
    Status st;
    IXpbBuilder *b = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    st.check();
    b->insertString(&st, isc_dpb_user_name, kUser);
    b->insertString(&st, isc_dpb_password, kPassword);
    b->insertInt(&st, isc_dpb_sql_dialect, 3);
    if (create) {
        b->insertInt(&st, isc_dpb_page_size, pageSize);
        b->insertInt(&st, isc_dpb_force_write, 0);
    }
    st.check();
    QByteArray out(reinterpret_cast<const char *>(b->getBuffer(&st)), int(b->getBufferLength(&st)));
    b->dispose();
    return out;
}

} // namespace

// ---- Column / RowLayout

bool Column::isText() const { return sqlType == SQL_VARYING || sqlType == SQL_TEXT; }
bool Column::isBlob() const { return sqlType == SQL_BLOB; }

int RowLayout::indexOf(const QString &name) const
{
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

bool RowLayout::isNull(const unsigned char *row, int col) const
{
    int16_t n;
    std::memcpy(&n, row + m_columns[size_t(col)].nullOffset, 2);
    return n != 0;
}

QByteArray RowLayout::textBytes(const unsigned char *row, int col) const
{
    const Column &c = m_columns[size_t(col)];
    if (isNull(row, col))
        return QByteArray();
    const unsigned char *p = row + c.offset;
    if (c.sqlType == SQL_VARYING) {
        uint16_t len;
        std::memcpy(&len, p, 2);
        return QByteArray(reinterpret_cast<const char *>(p + 2), len);
    }
    // Fixed-length text keeps the blanks that fill it, as the suite's programs read it.
    return QByteArray(reinterpret_cast<const char *>(p), int(c.length));
}

Value RowLayout::value(const unsigned char *row, int col) const
{
    if (isNull(row, col))
        return Value();
    const Column &c = m_columns[size_t(col)];
    const unsigned char *p = row + c.offset;
    switch (c.sqlType) {
    case SQL_VARYING:
    case SQL_TEXT:
        return Value::text(platform::fromCp1252(textBytes(row, col)));
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
        const int64_t v = readInteger(p, c.sqlType);
        if (c.scale < 0)
            return Value::decimal(Decimal{v, -c.scale});
        return Value::integer(c.scale > 0 ? v * kPow10[c.scale] : v);
    }
    case SQL_FLOAT: { float f; std::memcpy(&f, p, 4); return Value::real(double(f)); }
    case SQL_DOUBLE:
    case SQL_D_FLOAT: { double d; std::memcpy(&d, p, 8); return Value::real(d); }
    case SQL_TYPE_DATE: { ISC_DATE d; std::memcpy(&d, p, 4); return Value::date(decodeDate(d)); }
    case SQL_TYPE_TIME: { ISC_TIME t; std::memcpy(&t, p, 4); return Value::time(decodeTime(t)); }
    case SQL_TIMESTAMP: {
        ISC_TIMESTAMP ts; std::memcpy(&ts, p, 8);
        return Value::timestamp(QDateTime(decodeDate(ts.timestamp_date), decodeTime(ts.timestamp_time)));
    }
    case SQL_BOOLEAN: return Value::integer(*p ? 1 : 0);
    default:
        return Value();
    }
}

// ---- Rows

int Rows::indexOf(const QString &name) const
{
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

const Value &Rows::at(size_t row, const QString &name) const
{
    const int i = indexOf(name);
    if (i < 0)
        throw DbError(QStringLiteral("Column %1 not found").arg(name));
    return rows.at(row).at(size_t(i));
}

// ---- Cursor

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
    Status st;
    const int r = m_rs->fetchNext(&st, m_buffer.data());
    st.check();
    return r == IStatus::RESULT_OK;
}

QByteArray Cursor::blob(int col) const
{
    if (m_layout.isNull(row(), col))
        return QByteArray();
    ISC_QUAD id;
    std::memcpy(&id, row() + m_layout.columns()[size_t(col)].offset, sizeof id);
    return readBlob(m_tx->connection().handle(), m_tx->handle(), id);
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

void Prepared::execute(const std::vector<Value> &params)
{
    InputMessage in(m_stmt, params);
    in.writeBlobs(m_tx->connection().handle(), m_tx->handle());
    Status st;
    m_stmt->execute(&st, m_tx->handle(), in.meta(), in.data(), nullptr, nullptr);
    st.check();
}

// ---- Connection

Connection::Connection() = default;

Connection::~Connection()
{
    close();
}

void Connection::configure(const Target &target)
{
    close();
    m_target = target;
}

void Connection::open()
{
    if (m_att)
        return;
    if (!m_target.valid || m_target.location.isEmpty())
        throw DbError(QStringLiteral("Unable to complete network request to host \"\".\nFailed to locate host machine.\n%1")
                          .arg(m_target.location));
    Status st;
    IProvider *prov = master()->getDispatcher();
    const QByteArray params = dpb(false, 0);
    const QByteArray path = QFile::encodeName(m_target.location);
    m_att = prov->attachDatabase(&st, path.constData(), unsigned(params.size()),
                                 reinterpret_cast<const unsigned char *>(params.constData()));
    prov->release();
    if (st.failed())
        m_att = nullptr;
    st.check();
}

void Connection::close()
{
    if (!m_att)
        return;
    Status st;
    m_att->detach(&st);
    if (st.failed())
        m_att->release();
    m_att = nullptr;
}

IAttachment *Connection::handle()
{
    open();
    return m_att;
}

void Connection::noteError(const DbError &e)
{
    if (e.isConnectionLost() && m_att) {
        Status st;
        m_att->detach(&st);   // usually fails on a dead link; the interface goes either way
        if (st.failed())
            m_att->release();
        m_att = nullptr;
    }
}

void Connection::execute(const QString &sql, const std::vector<Value> &params)
{
    // A link lost since the last use is noticed when the transaction starts: attach again once.
    for (int attempt = 0;; ++attempt) {
        std::optional<Transaction> tx;
        const bool wasOpen = isOpen();
        try {
            tx.emplace(*this);
        } catch (const DbError &e) {
            // Only a link that was up and is now gone is tried again; a server that cannot be
            // reached at all fails at once.
            if (attempt == 0 && wasOpen && e.isConnectionLost())
                continue;
            throw;
        }
        tx->execute(sql, params);
        tx->commit();
        return;
    }
}

Rows Connection::query(const QString &sql, const std::vector<Value> &params)
{
    for (int attempt = 0;; ++attempt) {
        std::optional<Transaction> tx;
        const bool wasOpen = isOpen();
        try {
            tx.emplace(*this);
        } catch (const DbError &e) {
            // Only a link that was up and is now gone is tried again; a server that cannot be
            // reached at all fails at once.
            if (attempt == 0 && wasOpen && e.isConnectionLost())
                continue;
            throw;
        }
        Rows r = tx->query(sql, params);
        tx->commit();
        return r;
    }
}

void Connection::createDatabase(const Target &target, int pageSize)
{
    Status st;
    IProvider *prov = master()->getDispatcher();
    const QByteArray params = dpb(true, pageSize);
    const QByteArray path = QFile::encodeName(target.location);
    IAttachment *att = prov->createDatabase(&st, path.constData(), unsigned(params.size()),
                                            reinterpret_cast<const unsigned char *>(params.constData()));
    prov->release();
    if (st.failed())
        att = nullptr;
    st.check();
    att->detach(&st);
    st.check();
}

void Connection::dropDatabase(const Target &target)
{
    Connection c;
    c.configure(target);
    c.open();
    Status st;
    c.m_att->dropDatabase(&st);
    st.check();
    c.m_att = nullptr;
}

QStringList splitScript(const QString &text)
{
    QStringList out;
    QString current;
    bool inQuote = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!inQuote && line.trimmed().startsWith(QLatin1String("--")))
            continue;
        for (int i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            if (c == QLatin1Char('\'')) {
                inQuote = !inQuote;
            } else if (!inQuote && c == QLatin1Char('-') && i + 1 < line.size() && line[i + 1] == QLatin1Char('-')) {
                break;
            } else if (!inQuote && c == QLatin1Char(';')) {
                if (!current.trimmed().isEmpty())
                    out << current.trimmed();
                current.clear();
                continue;
            }
            current += c;
        }
        current += QLatin1Char('\n');
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}

void Connection::runScript(const QString &scriptText)
{
    for (const QString &stmt : splitScript(scriptText))
        execute(stmt);
}

uint64_t statementsPrepared()
{
    return g_statementsPrepared.load(std::memory_order_relaxed);
}

} // namespace db
