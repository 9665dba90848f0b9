// Sending a cached dataset's pending changes to the server (one statement per row, found by the
// key's old values) and dropping them.
#include "cacheddataset.h"

#include "cachedrows.h"
#include "columns.h"
#include "fieldtext.h"

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
        std::vector<int> changed;   // the columns an update writes
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
                        changed.push_back(c);
                    }
                }
                if (!sets.isEmpty()) {
                    QString where = whereClause(old, params);
                    // Each column written must still hold what this edit started from, checked
                    // in the same statement: another workstation's change is never overwritten.
                    for (int c : changed) {
                        if (d->column(c).isBlob() || std::find(locator.begin(), locator.end(), c) != locator.end())
                            continue;
                        if (!where.isEmpty())
                            where += QStringLiteral(" and ");
                        if (old[size_t(c)].isNull()) {
                            where += d->column(c).name + QStringLiteral(" is null");
                        } else {
                            where += d->column(c).name + QStringLiteral(" is not distinct from ?");
                            params.push_back(old[size_t(c)]);
                        }
                    }
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
        std::optional<ApplyError> refusal;
        try {
            if (beforeWrite && change.kind != Impl::Change::Delete) {
                const std::vector<db::Value> before =
                    change.kind == Impl::Change::Insert ? std::vector<db::Value>{} : d->baseRow(id);
                if (std::optional<QString> refused = beforeWrite(*this, tx, before, change.values))
                    throw ApplyError{*refused, QString(), {}};
            }
            const uint64_t written = tx.execute(sql, params);
            if (change.kind == Impl::Change::Update && written != 1)
                refusal = explainUnwritten(tx, id, changed, written, sql);
            // A row that another workstation removed or re-keyed meanwhile is not there to delete.
            else if (written == 0 && change.kind == Impl::Change::Delete)
                refusal = ApplyError{kRowVanishedMessage, sql, {}};
        } catch (const db::DbError &e) {
            if (e.isConnectionLost())
                throw;
            refusal = ApplyError{e.message(), sql, {}};
        } catch (ApplyError &e) {
            refusal = std::move(e);
        }
        if (refusal) {
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

ApplyError CachedDataset::explainUnwritten(db::Transaction &tx, int id, const std::vector<int> &changed,
                                           uint64_t written, const QString &sql) const
{
    if (written > 1)
        return {QStringLiteral("A alteração atingiria %1 registros de %2 em vez de um; nada foi gravado.")
                    .arg(written).arg(m_table.name),
                sql, {}};
    // What the row holds now, found by the same key the update used.
    const std::vector<db::Value> old = d->baseRow(id);
    const Impl::Change &change = d->pending.at(id);
    QStringList cols, terms;
    std::vector<db::Value> params;
    for (int c : changed)
        cols << d->column(c).name;
    for (const QString &name : m_table.keyColumns) {
        const int c = fieldIndex(name);
        if (old[size_t(c)].isNull()) {
            terms << d->column(c).name + QStringLiteral(" is null");
        } else {
            terms << d->column(c).name + QStringLiteral(" = ?");
            params.push_back(old[size_t(c)]);
        }
    }
    if (terms.isEmpty())
        return {kRowVanishedMessage, sql, {}};
    const db::Rows now = tx.query(QStringLiteral("select %1 from %2 where %3")
                                      .arg(cols.join(QStringLiteral(", ")), m_table.name, terms.join(QStringLiteral(" and "))),
                                  params);
    if (now.isEmpty())
        return {kRowVanishedMessage, sql, {}};
    std::vector<FieldConflict> conflicts;
    for (size_t i = 0; i < changed.size(); ++i) {
        const int c = changed[i];
        if (now.rows.front()[i] != old[size_t(c)])
            conflicts.push_back({d->column(c).name, now.rows.front()[i], old[size_t(c)], change.values[size_t(c)]});
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
