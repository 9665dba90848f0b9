#include "datasource.h"

#include "fieldinput.h"

#include "db/dberror.h"
#include "platform/operator.h"

#include <QDate>
#include <algorithm>

namespace data {

QString TextTooLongMessage(const QString &field, int typed, int width)
{
    return QStringLiteral("O texto digitado em \"%1\" tem %2 caracteres e o campo aceita até %3. Encurte o texto.")
        .arg(field)
        .arg(typed)
        .arg(width);
}

DataSource::DataSource(CachedDataset &dataset, platform::Operator &op, QObject *parent)
    : QObject(parent), m_dataset(dataset), m_op(op), m_lastState(dataset.state())
{
    currentYear = [] { return QDate::currentDate().year(); };
    const auto changed = [this] {
        noteState();
        Q_EMIT recordChanged();
    };
    connect(&m_dataset, &CachedDataset::rowsReset, this, changed);
    connect(&m_dataset, &CachedDataset::rowChanged, this, changed);
    connect(&m_dataset, &CachedDataset::currentChanged, this, changed);
}

bool DataSource::isEditing() const
{
    const auto s = m_dataset.state();
    return s == CachedDataset::State::Edit || s == CachedDataset::State::Insert;
}

ColumnInfo DataSource::columnInfo(const QString &field) const
{
    for (const auto &[name, info] : m_infos)
        if (name.compare(field, Qt::CaseInsensitive) == 0)
            return info;
    if (const std::optional<ColumnInfo> s = FindColumnInfo(m_dataset.table().name, field))
        return *s;
    return ColumnInfo{};
}

void DataSource::setColumnInfo(const QString &field, const ColumnInfo &info)
{
    m_infos.emplace_back(field, info);
}

void DataSource::noteState()
{
    if (m_dataset.state() != m_lastState) {
        m_lastState = m_dataset.state();
        Q_EMIT stateChanged();
    }
}

bool DataSource::readyToLeave()
{
    if (!updateRecord())
        return false;
    return !isEditing() || !beforePostOrMove || beforePostOrMove();
}

bool DataSource::run(const std::function<void()> &step, bool writePending)
{
    if (writePending && !readyToLeave())
        return false;
    bool ok = true;
    try {
        step();
    } catch (const DatasetError &e) {
        m_op.warn(e.message());
        ok = false;
    } catch (const db::DbError &e) {
        m_op.warn(db::operatorText(e));
        ok = false;
    } catch (const FieldInputError &e) {
        m_op.warn(e.message());
        ok = false;
    }
    noteState();
    return ok;
}

bool DataSource::beginEdit()
{
    if (isEditing())
        return true;
    if (!autoEdit || !canModify())
        return false;
    noteStoredRow();
    return run([this] { m_dataset.edit(); }, false);
}

void DataSource::noteStoredRow()
{
    m_storedRow.clear();
    if (isEditing())
        return;
    for (int c = 0; c < m_dataset.fieldCount(); ++c)
        m_storedRow.push_back(m_dataset.valueAt(m_dataset.currentRow(), c));
}

bool DataSource::setFieldText(const QString &field, const QString &text)
{
    const ColumnInfo info = columnInfo(field);
    if (info.type == ColumnInfo::Type::Text && info.width > 0 && text.size() > info.width) {
        m_op.warn(TextTooLongMessage(FieldLabel(m_dataset.table().name, field), int(text.size()), info.width));
        return false;
    }
    db::Value value;
    try {
        value = ParseFieldText(info, text, currentYear(), FieldLabel(m_dataset.table().name, field));
    } catch (const FieldInputError &e) {
        m_op.warn(e.message());
        return false;
    }
    return setFieldValue(field, value);
}

bool DataSource::setFieldValue(const QString &field, const db::Value &value)
{
    // A value the field already holds starts no edit: passing through a box changes nothing.
    if (!isEditing() && m_dataset.isOpen() && m_dataset.currentRow() >= 0 && m_dataset.value(field) == value
        && m_dataset.value(field).isNull() == value.isNull())
        return true;
    if (!beginEdit())
        return false;
    if (m_dataset.value(field) == value)
        return true;
    return run([&] { m_dataset.setValue(field, value); }, false);
}

bool DataSource::updateRecord()
{
    // A copy: a commit may make a control go away.
    const std::vector<FieldEditor *> editors = m_editors;
    for (FieldEditor *e : editors)
        if (std::find(m_editors.begin(), m_editors.end(), e) != m_editors.end() && !e->commitPending())
            return false;
    return true;
}

DataSource::Snapshot DataSource::snapshot() const
{
    Snapshot snap{m_dataset.state(), m_dataset.fieldNames(), {}, {}};
    const int row = m_dataset.currentRow();
    for (int c = 0; c < snap.fields.size(); ++c) {
        snap.values.push_back(m_dataset.value(c));
    }
    if (snap.state == CachedDataset::State::Edit && row >= 0)
        snap.stored = m_storedRow.size() == snap.values.size() ? m_storedRow : snap.values;
    return snap;
}

void DataSource::restore(const Snapshot &snap)
{
    run([&] {
        if (snap.state == CachedDataset::State::Insert) {
            m_dataset.insert();
        } else {
            // The row as the server now holds it: found by its key before the edit (or, for a
            // table without one, by all its values), with what another workstation changed in it.
            std::vector<int> locator;
            for (const QString &name : m_dataset.table().keyColumns)
                if (const int c = m_dataset.fieldIndex(name); c >= 0)
                    locator.push_back(c);
            if (locator.empty())
                for (int c = 0; c < int(snap.stored.size()); ++c)
                    locator.push_back(c);
            int found = -1;
            for (int r = 0; r < m_dataset.rowCount() && found < 0; ++r) {
                bool same = true;
                for (int c : locator)
                    same = same && c < int(snap.stored.size()) && m_dataset.valueAt(r, c) == snap.stored[size_t(c)];
                if (same)
                    found = r;
            }
            if (found < 0)
                return;
            m_dataset.moveTo(found);
            noteStoredRow();
            m_dataset.edit();
            // Only what the operator typed goes back: the columns they left alone keep the stored values.
            for (int c = 0; c < snap.fields.size(); ++c)
                if (c < int(snap.stored.size()) && snap.values[size_t(c)] != snap.stored[size_t(c)]
                    && m_dataset.value(c) != snap.values[size_t(c)])
                    m_dataset.setValue(snap.fields[c], snap.values[size_t(c)]);
            return;
        }
        for (int c = 0; c < snap.fields.size(); ++c)
            if (m_dataset.value(c) != snap.values[size_t(c)])
                m_dataset.setValue(snap.fields[c], snap.values[size_t(c)]);
    }, false);
}

bool DataSource::post()
{
    if (!readyToLeave())
        return false;
    if (!isEditing())
        return true;
    const Snapshot snap = postRefused ? snapshot() : Snapshot{};
    if (!run([this] { m_dataset.post(); }, false))
        return false;
    if (postRefused && postRefused()) {
        restore(snap);
        return false;
    }
    return true;
}

bool DataSource::cancel()
{
    // Typed text is dropped with the row's edit, never written first.
    return run([this] { m_dataset.cancel(); }, false);
}

bool DataSource::insert()
{
    return run([this] { m_dataset.insert(); }, true);
}

bool DataSource::edit()
{
    noteStoredRow();
    return run([this] { m_dataset.edit(); }, false);
}

bool DataSource::remove()
{
    return run([this] { m_dataset.remove(); }, false);
}

bool DataSource::refresh()
{
    return run([this] { m_dataset.refresh(); }, true);
}

bool DataSource::first()
{
    return run([this] { m_dataset.first(); }, true);
}

bool DataSource::prior()
{
    return run([this] { m_dataset.prior(); }, true);
}

bool DataSource::next()
{
    return run([this] { m_dataset.next(); }, true);
}

bool DataSource::last()
{
    return run([this] { m_dataset.last(); }, true);
}

void DataSource::addEditor(FieldEditor *editor)
{
    m_editors.push_back(editor);
}

void DataSource::removeEditor(FieldEditor *editor)
{
    m_editors.erase(std::remove(m_editors.begin(), m_editors.end(), editor), m_editors.end());
}

} // namespace data
