// Sending a cached dataset's pending changes to the server (one statement per row, found by the
// key's old values) and dropping them.
#include "cacheddataset.h"

#include "cachedrows.h"

#include <QSet>

namespace data {

namespace {

const QString kSavepoint = QStringLiteral("APPLY_ROW");

} // namespace

// ---- sending changes

std::vector<ApplyError> CachedDataset::applyUpdates(OnRefusal mode)
{
    checkOpen();
    checkBrowseMode();
    if (d->pending.empty())
        return {};
    if (m_table.name.isEmpty())
        throw DatasetError(QStringLiteral("%1: não há tabela para gravar as alterações").arg(m_name));

    // Columns written: those of the table (first of each name), never a repeated join column.
    std::vector<int> writable;
    if (m_table.writableColumns.isEmpty()) {
        QSet<QString> seen;
        for (int c = 0; c < fieldCount(); ++c) {
            const QString key = d->column(c).name.toUpper();
            if (!seen.contains(key)) {
                seen.insert(key);
                writable.push_back(c);
            }
        }
    } else {
        for (const QString &name : m_table.writableColumns) {
            const int c = fieldIndex(name);
            if (c < 0)
                throw DatasetError(fieldNotFound(m_name, name));
            writable.push_back(c);
        }
    }
    // Columns that find the row: the key, or every plain column of a table that has none.
    std::vector<int> locator;
    for (const QString &name : m_table.keyColumns) {
        const int c = fieldIndex(name);
        if (c < 0)
            throw DatasetError(fieldNotFound(m_name, name));
        locator.push_back(c);
    }
    if (m_table.keyColumns.isEmpty())
        for (int c : writable)
            if (!d->column(c).isBlob())
                locator.push_back(c);

    std::vector<std::pair<uint64_t, int>> sequence;
    for (const auto &[id, change] : d->pending)
        sequence.push_back({change.seq, id});
    std::sort(sequence.begin(), sequence.end());

    const auto whereClause = [&](const std::vector<db::Value> &old, std::vector<db::Value> &params) {
        QStringList terms;
        for (int c : locator) {
            const db::Value &v = old[size_t(c)];
            if (v.isNull()) {
                terms << d->column(c).name + QStringLiteral(" is null");
            } else {
                terms << d->column(c).name + QStringLiteral(" = ?");
                params.push_back(v);
            }
        }
        return terms.join(QStringLiteral(" and "));
    };

    db::Transaction tx(*m_conn);
    std::vector<ApplyError> errors;
    std::vector<int> accepted;
    for (const auto &[seq, id] : sequence) {
        const Impl::Change &change = d->pending.at(id);
        QString sql;
        std::vector<db::Value> params;
        if (change.kind == Impl::Change::Insert) {
            QStringList cols, marks;
            for (int c : writable) {
                cols << d->column(c).name;
                marks << QStringLiteral("?");
                params.push_back(change.values[size_t(c)]);
            }
            sql = QStringLiteral("insert into %1 (%2) values (%3)")
                      .arg(m_table.name, cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
        } else {
            const std::vector<db::Value> old = d->baseRow(id);
            if (change.kind == Impl::Change::Update) {
                QStringList sets;
                for (int c : writable) {
                    if (change.values[size_t(c)] != old[size_t(c)]) {
                        sets << d->column(c).name + QStringLiteral(" = ?");
                        params.push_back(change.values[size_t(c)]);
                    }
                }
                if (!sets.isEmpty()) {
                    const QString where = whereClause(old, params);
                    sql = QStringLiteral("update %1 set %2").arg(m_table.name, sets.join(QStringLiteral(", ")));
                    if (!where.isEmpty())
                        sql += QStringLiteral(" where ") + where;
                }
            } else {
                const QString where = whereClause(old, params);
                sql = QStringLiteral("delete from %1").arg(m_table.name);
                if (!where.isEmpty())
                    sql += QStringLiteral(" where ") + where;
            }
        }
        if (sql.isEmpty()) {   // an update that changes no column of the table
            accepted.push_back(id);
            continue;
        }
        if (mode == OnRefusal::Skip)
            tx.execute(QStringLiteral("savepoint ") + kSavepoint);
        try {
            // A row that another workstation removed or re-keyed meanwhile is not there to change.
            if (tx.execute(sql, params) == 0 && change.kind != Impl::Change::Insert)
                throw db::DbError(kRowVanishedMessage);
        } catch (const db::DbError &e) {
            // A wait the operator cancelled or that ran out ends the whole apply: nothing of it
            // is kept, not even the rows before.
            if (e.isConnectionLost() || e.waitEnded())
                throw;
            errors.push_back({e.message(), sql});
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

    // What the server took is now what the cache holds as stored.
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
    return errors;
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
