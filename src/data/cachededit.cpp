// Editing a cached dataset: insert, edit, post, cancel and delete, each kept as a pending change.
#include "cacheddataset.h"

#include "cachedrows.h"

namespace data {

// ---- editing

void CachedDataset::insert()
{
    checkOpen();
    checkBrowseMode();
    if (beforeInsert)
        beforeInsert(*this);
    const int id = d->fetched + int(d->extra.size());
    d->extra.emplace_back(size_t(fieldCount()));
    const int pos = m_current >= 0 ? m_current : 0;
    if (pos < rowCount()) {
        const int before = d->order[size_t(pos)];
        d->natural.insert(std::find(d->natural.begin(), d->natural.end(), before), id);
    } else {
        d->natural.push_back(id);
    }
    d->order.insert(d->order.begin() + pos, id);
    d->buffer.assign(size_t(fieldCount()), db::Value());
    d->bufferId = id;
    d->modified = false;
    d->invalidateSearch();
    m_state = State::Insert;
    m_current = pos;
    m_bof = m_eof = false;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
    if (afterInsert)
        afterInsert(*this);
    if (afterScroll)
        afterScroll(*this);
}

void CachedDataset::edit()
{
    checkOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    // Typing into an empty dataset adds its first row.
    if (rowCount() == 0) {
        insert();
        return;
    }
    const int id = d->order[size_t(m_current)];
    d->buffer = d->rowValues(id);
    d->bufferId = id;
    d->modified = false;
    m_state = State::Edit;
}

void CachedDataset::post()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    for (const QString &name : m_table.requiredColumns) {
        const int c = fieldIndex(name);
        if (c >= 0 && isEmptyValue(d->buffer[size_t(c)]))
            throw DatasetError(QStringLiteral("O campo '%1' deve ter um valor").arg(d->column(c).name));
    }
    const int id = d->bufferId;
    auto it = d->pending.find(id);
    if (m_state == State::Insert) {
        d->pending[id] = Impl::Change{Impl::Change::Insert, std::move(d->buffer), d->nextSeq++};
    } else if (it != d->pending.end()) {
        it->second.values = std::move(d->buffer);
        if (it->second.kind == Impl::Change::Update && it->second.values == d->baseRow(id))
            d->pending.erase(it);
    } else if (d->buffer != d->baseRow(id)) {
        d->pending[id] = Impl::Change{Impl::Change::Update, std::move(d->buffer), d->nextSeq++};
    }
    d->buffer.clear();
    d->bufferId = -1;
    d->modified = false;
    m_state = State::Browse;
    d->invalidateSearch();
    const int sortCol = m_indexField.isEmpty() ? -1 : fieldIndex(m_indexField);
    if (sortCol >= 0) {
        d->rebuildOrder(sortCol);
        m_current = d->positionOf(id);
        Q_EMIT rowsReset();
        Q_EMIT currentChanged(m_current);
    } else {
        Q_EMIT rowChanged(m_current);
    }
    if (afterPost)
        afterPost(*this);
}

void CachedDataset::cancel()
{
    if (m_state == State::Edit) {
        d->buffer.clear();
        d->bufferId = -1;
        d->modified = false;
        m_state = State::Browse;
        d->invalidateSearch();
        Q_EMIT rowChanged(m_current);
        if (afterCancel)
            afterCancel(*this);
        return;
    }
    if (m_state != State::Insert)
        return;
    const int id = d->bufferId;
    d->order.erase(d->order.begin() + m_current);
    d->natural.erase(std::find(d->natural.begin(), d->natural.end(), id));
    if (id == d->fetched + int(d->extra.size()) - 1)
        d->extra.pop_back();
    d->buffer.clear();
    d->bufferId = -1;
    d->modified = false;
    d->invalidateSearch();
    m_state = State::Browse;
    const int n = rowCount();
    m_current = n == 0 ? -1 : std::min(m_current, n - 1);
    m_bof = m_eof = n == 0;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
    if (afterCancel)
        afterCancel(*this);
    if (m_current >= 0 && afterScroll)
        afterScroll(*this);
}

void CachedDataset::remove()
{
    checkOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (rowCount() == 0)
        throw DatasetError(QStringLiteral("%1: operação não permitida com o conjunto de dados vazio").arg(m_name));
    if (beforeDelete)
        beforeDelete(*this);
    if (m_state == State::Edit) {
        // The deletion is of the row as stored, not of the edit in progress.
        d->buffer.clear();
        d->bufferId = -1;
        d->modified = false;
        m_state = State::Browse;
    }
    const int id = d->order[size_t(m_current)];
    const auto it = d->pending.find(id);
    if (it != d->pending.end() && it->second.kind == Impl::Change::Insert) {
        // Never sent: it just goes away.
        d->pending.erase(it);
        d->natural.erase(std::find(d->natural.begin(), d->natural.end(), id));
        d->extra[size_t(id - d->fetched)].clear();
    } else {
        d->pending[id] = Impl::Change{Impl::Change::Delete, {}, d->nextSeq++};
    }
    d->order.erase(d->order.begin() + m_current);
    d->invalidateSearch();
    const int n = rowCount();
    m_current = n == 0 ? -1 : std::min(m_current, n - 1);
    m_bof = m_eof = n == 0;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
    if (afterDelete)
        afterDelete(*this);
    if (m_current >= 0 && afterScroll)
        afterScroll(*this);
}

bool CachedDataset::hasPendingChanges() const
{
    return !d->pending.empty();
}

std::optional<CachedDataset::PendingRow> CachedDataset::currentPendingChange() const
{
    if (m_current < 0 || m_current >= rowCount())
        return std::nullopt;
    const int id = d->order[size_t(m_current)];
    const auto it = d->pending.find(id);
    if (it == d->pending.end() || it->second.kind == Impl::Change::Delete)
        return std::nullopt;
    PendingRow row;
    if (it->second.kind == Impl::Change::Update)
        row.before = d->baseRow(id);
    row.after = it->second.values;
    return row;
}

} // namespace data
