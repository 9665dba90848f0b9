// Sending a cached dataset's pending changes to the server (one statement per row, found by the
// key's old values) and dropping them.
#include "cacheddataset.h"

#include "cachedrows.h"
#include "columns.h"
#include "fieldtext.h"
#include "rowstatements.h"

#include <QSet>

namespace data {

namespace {

const QString kSavepoint = QStringLiteral("APPLY_ROW");

QString shown(const db::Value &v)
{
    return v.isNull() ? QStringLiteral("(vazio)") : FieldText(v);
}

} // namespace

QString ConflictMessage(const QString &table, const std::vector<FieldConflict> &conflicts)
{
    QStringList lines{QStringLiteral("Outra estação alterou este registro depois que você o abriu. Nada foi gravado.")};
    for (const FieldConflict &c : conflicts)
        lines << QStringLiteral("%1: gravado %2, era %3 quando você começou")
                     .arg(FieldLabel(table, c.column), shown(c.stored), shown(c.original));
    lines << QStringLiteral("O que você digitou foi mantido: confira os valores gravados e salve de novo para gravá-lo.");
    return lines.join(QLatin1Char('\r'));
}

// ---- sending changes

WriteTarget CachedDataset::writeTarget() const
{
    WriteTarget t;
    t.table = m_table.name;
    for (int c = 0; c < fieldCount(); ++c) {
        t.names << d->column(c).name;
        t.isBlob.push_back(d->column(c).isBlob());
    }
    // Columns written: those of the table (first of each name), never a repeated join column.
    if (m_table.writableColumns.isEmpty()) {
        QSet<QString> seen;
        for (int c = 0; c < fieldCount(); ++c) {
            const QString key = d->column(c).name.toUpper();
            if (!seen.contains(key)) {
                seen.insert(key);
                t.writable.push_back(c);
            }
        }
    } else {
        for (const QString &name : m_table.writableColumns) {
            const int c = fieldIndex(name);
            if (c < 0)
                throw DatasetError(fieldNotFound(m_name, name));
            t.writable.push_back(c);
        }
    }
    // Columns that find the row: the key, or every plain column of a table that has none.
    for (const QString &name : m_table.keyColumns) {
        const int c = fieldIndex(name);
        if (c < 0)
            throw DatasetError(fieldNotFound(m_name, name));
        t.locator.push_back(c);
    }
    t.keyed = !m_table.keyColumns.isEmpty();
    if (!t.keyed)
        for (int c : t.writable)
            if (!t.isBlob[size_t(c)])
                t.locator.push_back(c);
    return t;
}

RowStatement CachedDataset::statementFor(const WriteTarget &target, int id) const
{
    const Impl::Change &change = d->pending.at(id);
    switch (change.kind) {
    case Impl::Change::Insert:
        return InsertStatement(target, change.values);
    case Impl::Change::Update:
        return UpdateStatement(target, d->baseRow(id), change.values);
    case Impl::Change::Delete:
        break;
    }
    return DeleteStatement(target, d->baseRow(id));
}

std::optional<ApplyError> CachedDataset::sendRow(db::Transaction &tx, const WriteTarget &target, int id,
                                                 const RowStatement &statement)
{
    const Impl::Change &change = d->pending.at(id);
    try {
        if (beforeWrite && change.kind != Impl::Change::Delete) {
            const std::vector<db::Value> before =
                change.kind == Impl::Change::Insert ? std::vector<db::Value>{} : d->baseRow(id);
            if (std::optional<QString> refused = beforeWrite(*this, tx, before, change.values))
                return ApplyError{*refused, QString(), {}};
        }
        const uint64_t written = tx.execute(statement.sql, statement.params);
        if (change.kind == Impl::Change::Update && written != 1)
            return explainUnwritten(tx, target, id, statement.changed, written, statement.sql);
        // A row that another workstation removed or re-keyed meanwhile is not there to delete.
        if (written == 0 && change.kind == Impl::Change::Delete)
            return ApplyError{kRowVanishedMessage, statement.sql, {}};
    } catch (const db::DbError &e) {
        // A wait the operator cancelled or that ran out ends the whole apply: nothing of it
        // is kept, not even the rows before.
        if (e.isConnectionLost() || e.waitEnded())
            throw;
        return ApplyError{e.message(), statement.sql, {}};
    }
    return std::nullopt;
}

std::vector<ApplyError> CachedDataset::applyUpdates(OnRefusal mode)
{
    checkOpen();
    checkBrowseMode();
    if (d->pending.empty())
        return {};
    if (m_table.name.isEmpty())
        throw DatasetError(QStringLiteral("%1: não há tabela para gravar as alterações").arg(m_name));
    const WriteTarget target = writeTarget();

    std::vector<std::pair<uint64_t, int>> sequence;
    for (const auto &[id, change] : d->pending)
        sequence.push_back({change.seq, id});
    std::sort(sequence.begin(), sequence.end());

    db::Transaction tx(*m_conn);
    std::vector<ApplyError> errors;
    std::vector<int> accepted;
    for (const auto &[seq, id] : sequence) {
        const RowStatement statement = statementFor(target, id);
        if (statement.sql.isEmpty()) {   // an update that changes no column of the table
            accepted.push_back(id);
            continue;
        }
        if (mode == OnRefusal::Skip)
            tx.execute(QStringLiteral("savepoint ") + kSavepoint);
        if (std::optional<ApplyError> refusal = sendRow(tx, target, id, statement)) {
            errors.push_back(std::move(*refusal));
            if (mode == OnRefusal::Stop) {
                tx.rollback();
                return errors;
            }
            tx.execute(QStringLiteral("rollback to savepoint ") + kSavepoint);
            continue;
        }
        if (mode == OnRefusal::Skip)
            tx.execute(QStringLiteral("release savepoint ") + kSavepoint + QStringLiteral(" only"));
        accepted.push_back(id);
    }
    tx.commit();
    keepApplied(accepted);
    return errors;
}

// What the server took is now what the cache holds as stored.
void CachedDataset::keepApplied(const std::vector<int> &accepted)
{
    for (int id : accepted) {
        auto it = d->pending.find(id);
        Impl::Change &change = it->second;
        switch (change.kind) {
        case Impl::Change::Insert:
        case Impl::Change::Update:
            if (id < d->fetched)
                d->stored[id] = std::move(change.values);
            else
                d->extra[size_t(id - d->fetched)] = std::move(change.values);
            break;
        case Impl::Change::Delete:
            d->natural.erase(std::find(d->natural.begin(), d->natural.end(), id));
            if (id >= d->fetched)
                d->extra[size_t(id - d->fetched)].clear();
            break;
        }
        d->pending.erase(it);
    }
}

ApplyError CachedDataset::explainUnwritten(db::Transaction &tx, const WriteTarget &target, int id,
                                           const std::vector<int> &changed, uint64_t written, const QString &sql) const
{
    if (written > 1)
        return {QStringLiteral("A alteração atingiria %1 registros de %2 em vez de um; nada foi gravado.")
                    .arg(written).arg(m_table.name),
                sql, {}};
    // What the row holds now, found by the same key the update used; a table without a key
    // cannot tell its row from the others.
    if (!target.keyed)
        return {kRowVanishedMessage, sql, {}};
    const std::vector<db::Value> old = d->baseRow(id);
    const Impl::Change &change = d->pending.at(id);
    QStringList cols;
    std::vector<db::Value> params;
    for (int c : changed)
        cols << target.names[c];
    const db::Rows now = tx.query(QStringLiteral("select %1 from %2 where %3")
                                      .arg(cols.join(QStringLiteral(", ")), m_table.name,
                                           RowCondition(target, target.locator, old, params)),
                                  params);
    if (now.isEmpty())
        return {kRowVanishedMessage, sql, {}};
    std::vector<FieldConflict> conflicts;
    for (size_t i = 0; i < changed.size(); ++i) {
        const int c = changed[i];
        if (now.rows.front()[i] != old[size_t(c)])
            conflicts.push_back({target.names[c], now.rows.front()[i], old[size_t(c)], change.values[size_t(c)]});
    }
    if (conflicts.empty())
        return {kRowVanishedMessage, sql, {}};
    return {ConflictMessage(m_table.name, conflicts), sql, std::move(conflicts)};
}

void CachedDataset::cancelUpdates()
{
    checkOpen();
    if (m_state == State::Edit || m_state == State::Insert) {
        if (m_state == State::Insert) {
            d->order.erase(d->order.begin() + m_current);
            d->natural.erase(std::find(d->natural.begin(), d->natural.end(), d->bufferId));
        }
        d->buffer.clear();
        d->bufferId = -1;
        d->modified = false;
        m_state = State::Browse;
    }
    const int oldId = m_current >= 0 && m_current < rowCount() ? d->order[size_t(m_current)] : -1;
    for (const auto &[id, change] : d->pending) {
        if (change.kind == Impl::Change::Insert) {
            d->natural.erase(std::find(d->natural.begin(), d->natural.end(), id));
            d->extra[size_t(id - d->fetched)].clear();
        }
    }
    d->pending.clear();
    d->invalidateSearch();
    d->rebuildOrder(m_indexField.isEmpty() ? -1 : fieldIndex(m_indexField));
    const int n = rowCount();
    const int pos = oldId >= 0 ? d->positionOf(oldId) : -1;
    m_current = n == 0 ? -1 : (pos >= 0 ? pos : std::clamp(m_current, 0, n - 1));
    m_bof = m_eof = n == 0;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
    if (pos < 0 && m_current >= 0 && afterScroll)
        afterScroll(*this);
}

} // namespace data
