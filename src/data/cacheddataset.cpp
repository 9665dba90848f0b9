// A cached dataset's life and moves: open, close, refresh (staying on the same record), field
// access and the current row.
#include "cacheddataset.h"
#include "db/serverwatch.h"

#include "cachedrows.h"
#include "ordering.h"

namespace data {

namespace {

// Finds rows whose columns hold given values; texts are compared on the raw bytes.
struct Matcher {
    struct Term {
        int col;
        db::Value value;
        QByteArray bytes;
        bool text;
    };
    std::vector<Term> terms;

    Matcher(const std::vector<std::pair<int, db::Value>> &wanted, const std::vector<KeyKind> &kinds)
    {
        for (const auto &[col, v] : wanted) {
            const bool text = kinds[size_t(col)] == KeyKind::Text && (v.isNull() || v.kind() == db::Value::Kind::Text);
            terms.push_back({col, v, text && !v.isNull() ? platform::toCp1252(v.toString()) : QByteArray(), text});
        }
    }
};

} // namespace

// ---- CachedDataset

CachedDataset::CachedDataset(QString name, db::Connection *connection, TableDef table)
    : d(std::make_unique<Impl>()), m_name(std::move(name)), m_conn(connection), m_table(std::move(table))
{
}

CachedDataset::~CachedDataset() = default;

void CachedDataset::checkOpen() const
{
    if (!isOpen())
        throw DatasetError(QStringLiteral("%1: operação não permitida com o conjunto de dados fechado").arg(m_name));
}

void CachedDataset::checkBrowseMode()
{
    if (m_state == State::Edit || m_state == State::Insert) {
        if (d->modified)
            post();
        else
            cancel();
    }
}

int CachedDataset::rowCount() const
{
    return int(d->order.size());
}

int CachedDataset::fieldCount() const
{
    return d->columnCount();
}

QStringList CachedDataset::fieldNames() const
{
    QStringList out;
    for (const db::Column &c : d->layout.columns())
        out << c.name;
    return out;
}

int CachedDataset::fieldIndex(const QString &name) const
{
    return d->names.value(name.toUpper(), -1);
}

db::Value CachedDataset::value(const QString &column) const
{
    const int i = fieldIndex(column);
    if (i < 0)
        throw DatasetError(fieldNotFound(m_name, column));
    return value(i);
}

db::Value CachedDataset::value(int column) const
{
    if (column < 0 || column >= fieldCount())
        throw DatasetError(fieldNotFound(m_name, QString::number(column)));
    if (m_state == State::Edit || m_state == State::Insert)
        return d->buffer[size_t(column)];
    if (m_current < 0 || m_current >= rowCount())
        return db::Value();
    return d->rowValue(d->order[size_t(m_current)], column);
}

db::Value CachedDataset::valueBeforeEdit(const QString &column) const
{
    const int i = fieldIndex(column);
    if (i < 0)
        throw DatasetError(fieldNotFound(m_name, column));
    if (m_state == State::Insert || m_current < 0 || m_current >= rowCount())
        return db::Value();
    return d->rowValue(d->order[size_t(m_current)], i);
}

db::Value CachedDataset::valueAt(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= fieldCount())
        return db::Value();
    if (row == m_current && (m_state == State::Edit || m_state == State::Insert))
        return d->buffer[size_t(column)];
    return d->rowValue(d->order[size_t(row)], column);
}

bool CachedDataset::textBytesAt(int row, int column, std::string_view &bytes) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= fieldCount())
        return false;
    if (row == m_current && (m_state == State::Edit || m_state == State::Insert))
        return false;
    const int id = d->order[size_t(row)];
    if (d->kinds[size_t(column)] != KeyKind::Text || !d->isRaw(id))
        return false;
    const unsigned char *r = d->raw(id);
    bytes = rawNull(r, d->column(column)) ? std::string_view() : rawText(r, d->column(column));
    return true;
}

void CachedDataset::setValue(const QString &column, const db::Value &value)
{
    if (m_state != State::Edit && m_state != State::Insert)
        throw DatasetError(QStringLiteral("%1: o conjunto de dados não está em modo de edição ou inclusão").arg(m_name));
    const int i = fieldIndex(column);
    if (i < 0)
        throw DatasetError(fieldNotFound(m_name, column));
    // A cleared text box leaves the field null, as the data-aware controls have always stored it.
    d->buffer[size_t(i)] = (value.kind() == db::Value::Kind::Text && value.toString().isEmpty()) ? db::Value() : value;
    d->modified = true;
    d->invalidateSearch();
    Q_EMIT rowChanged(m_current);
}

// ---- open, close, refresh

void CachedDataset::load()
{
    // The rows held stay until the statement has really returned its new ones. A link found gone
    // (a server restarted since the last use) was dropped by the connection: a read changes
    // nothing, so it is run once more on a new attachment. A server that stopped answering (the
    // watch cut the link after the bound) or a wait the operator gave up is not waited on again.
    std::unique_ptr<Impl> fresh;
    const bool wasOpen = m_conn->isOpen();
    try {
        fresh = Impl::fetch(*m_conn, m_commandText);
    } catch (const db::DbError &e) {
        if (!wasOpen || !e.isConnectionLost() || e.wait() != db::DbError::Wait::None || db::serverFoundSilent(*m_conn))
            throw;
        fresh = Impl::fetch(*m_conn, m_commandText);
    }
    d = std::move(fresh);
    const int sortCol = m_indexField.isEmpty() ? -1 : fieldIndex(m_indexField);
    if (sortCol >= 0)
        d->sortOrder(sortCol);
}

void CachedDataset::open()
{
    // A reopen that fails leaves the dataset as it was: the grid keeps showing its rows.
    load();
    m_state = State::Browse;
    // The search walks the statement's own order: checking that order now, while the rows are
    // fresh, keeps every keystroke a binary search.
    const int ordered = fieldIndex(StatementOrderColumn(m_commandText));
    if (ordered >= 0 && rowCount() > 0 && m_indexField.isEmpty() && d->kinds[size_t(ordered)] == KeyKind::Text)
        prepareSearch(ordered);
    m_current = rowCount() > 0 ? 0 : -1;
    m_bof = true;
    m_eof = rowCount() == 0;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
    if (afterOpen)
        afterOpen(*this);
    if (m_current >= 0 && afterScroll)
        afterScroll(*this);
}

void CachedDataset::close()
{
    if (!isOpen())
        return;
    d = std::make_unique<Impl>();
    m_state = State::Inactive;
    m_current = -1;
    m_bof = m_eof = true;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(-1);
}

void CachedDataset::refresh()
{
    checkOpen();
    checkBrowseMode();
    if (hasPendingChanges())
        throw DatasetError(
            QStringLiteral("%1: há alterações não aplicadas; aplique-as antes de recarregar os dados").arg(m_name));
    // Stay on the same record: by its key values when the table has a key, else by position.
    std::vector<std::pair<int, db::Value>> where;
    const int oldRow = m_current;
    if (oldRow >= 0) {
        const int id = d->order[size_t(oldRow)];
        for (const QString &k : m_table.keyColumns) {
            const int c = fieldIndex(k);
            if (c >= 0)
                where.push_back({c, d->rowValue(id, c)});
        }
    }
    load();
    int found = -1;
    if (!where.empty()) {
        const Matcher m(where, d->kinds);
        const auto matches = [&](int row) {
            const int id = d->order[size_t(row)];
            for (const auto &t : m.terms) {
                if (t.text && d->isRaw(id)) {
                    const unsigned char *r = d->raw(id);
                    const bool isNull = rawNull(r, d->column(t.col));
                    if (isNull != t.value.isNull())
                        return false;
                    if (!isNull && rawText(r, d->column(t.col)) != std::string_view(t.bytes.constData(), size_t(t.bytes.size())))
                        return false;
                } else if (d->rowValue(id, t.col) != t.value) {
                    return false;
                }
            }
            return true;
        };
        if (oldRow < rowCount() && matches(oldRow))
            found = oldRow;
        for (int r = 0; found < 0 && r < rowCount(); ++r)
            if (matches(r))
                found = r;
    }
    const int n = rowCount();
    m_current = n == 0 ? -1 : (found >= 0 ? found : std::clamp(oldRow, 0, n - 1));
    m_bof = m_eof = n == 0;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
    if (found < 0 && m_current >= 0 && afterScroll)
        afterScroll(*this);
}

// ---- moves

void CachedDataset::setCurrent(int row, bool scrolled)
{
    if (row == m_current)
        return;
    m_current = row;
    Q_EMIT currentChanged(row);
    if (scrolled && row >= 0 && afterScroll)
        afterScroll(*this);
}

void CachedDataset::first()
{
    checkOpen();
    checkBrowseMode();
    m_bof = true;
    m_eof = rowCount() == 0;
    if (rowCount() > 0)
        setCurrent(0, true);
}

void CachedDataset::last()
{
    checkOpen();
    checkBrowseMode();
    m_eof = true;
    m_bof = rowCount() == 0;
    if (rowCount() > 0)
        setCurrent(rowCount() - 1, true);
}

void CachedDataset::next()
{
    checkOpen();
    checkBrowseMode();
    if (m_current + 1 >= rowCount()) {
        m_eof = true;
        return;
    }
    m_bof = m_eof = false;
    setCurrent(m_current + 1, true);
}

void CachedDataset::prior()
{
    checkOpen();
    checkBrowseMode();
    if (m_current <= 0) {
        m_bof = true;
        return;
    }
    m_bof = m_eof = false;
    setCurrent(m_current - 1, true);
}

void CachedDataset::moveTo(int row)
{
    checkOpen();
    checkBrowseMode();
    if (rowCount() == 0)
        return;
    m_bof = m_eof = false;
    setCurrent(std::clamp(row, 0, rowCount() - 1), true);
}

} // namespace data
