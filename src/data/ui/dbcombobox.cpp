#include "dbcontrols.h"

#include "data/fieldtext.h"

#include <QKeyEvent>

namespace data_ui {

// ---- DBComboBox

DBComboBox::DBComboBox(data::DataSource *source, const QString &field, QWidget *parent)
    : QComboBox(parent), m_link(this, source, field, [this] { showField(); }, [this] { return currentText(); })
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    const data::ColumnInfo info = source->columnInfo(field);
    if (info.type == data::ColumnInfo::Type::Text && info.width > 0)
        lineEdit()->setMaxLength(info.width);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { m_link.typed(); });
    // A pick from the list is written at once.
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (m_showing)
            return;
        m_link.setModified(false);
        if (!m_link.source()->setFieldText(m_link.field(), itemText(index)))
            showField();
    });
    showField();
}

void DBComboBox::setStyle(Style style)
{
    m_style = style;
    lineEdit()->setReadOnly(style == Style::DropDownList);
}

void DBComboBox::setItems(const QStringList &items)
{
    const QString shown = currentText();
    m_showing = true;
    clear();
    addItems(items);
    setCurrentIndex(-1);
    setEditText(shown);
    m_showing = false;
}

void DBComboBox::setText(const QString &text)
{
    m_showing = true;
    setEditText(text);
    m_showing = false;
}

void DBComboBox::showField()
{
    const data::CachedDataset &ds = m_link.source()->dataset();
    const QString t = ds.isOpen() && ds.currentRow() >= 0 ? data::FieldText(ds.value(m_link.field())) : QString();
    m_showing = true;
    const int i = findText(t, Qt::MatchExactly);
    if (i >= 0 && !t.isEmpty())
        setCurrentIndex(i);
    setEditText(t);
    m_showing = false;
}

void DBComboBox::keyPressEvent(QKeyEvent *event)
{
    if (keyPress && keyPress(event))
        return;
    if (event->key() == Qt::Key_Escape && m_link.takeBack()) {
        event->accept();
        return;
    }
    if (m_style == Style::DropDown && ChangesText(event) && !m_link.source()->beginEdit()) {
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void DBComboBox::focusInEvent(QFocusEvent *event)
{
    QComboBox::focusInEvent(event);
    if (MovesWithinWindow(event))
        Q_EMIT entered();
}

void DBComboBox::focusOutEvent(QFocusEvent *event)
{
    if (m_link.focusOut(event, [&] { QComboBox::focusOutEvent(event); }) == FieldLink::Leaving::Left)
        Q_EMIT exited();
}

// ---- DBLookupComboBox

DBLookupComboBox::DBLookupComboBox(data::DataSource *source, const QString &field, data::CachedDataset *list,
                                   const QString &keyField, const QString &listField, QWidget *parent)
    : QComboBox(parent), m_source(source), m_field(field), m_list(list), m_keyField(keyField), m_listField(listField)
{
    // Editable but read-only, so a key missing from the list still shows.
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    lineEdit()->setReadOnly(true);
    connect(source, &data::DataSource::recordChanged, this, &DBLookupComboBox::showField);
    connect(list, &data::CachedDataset::rowsReset, this, &DBLookupComboBox::fillList);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (m_showing || index < 0 || index >= int(m_keys.size()))
            return;
        if (!m_source->setFieldValue(m_field, m_keys[size_t(index)]))
            showField();
    });
    fillList();
}

void DBLookupComboBox::fillList()
{
    m_showing = true;
    clear();
    m_keys.clear();
    if (m_list->isOpen()) {
        const int key = m_list->fieldIndex(m_keyField);
        const int shown = m_list->fieldIndex(m_listField);
        for (int r = 0; r < m_list->rowCount(); ++r) {
            m_keys.push_back(m_list->valueAt(r, key));
            addItem(data::FieldText(m_list->valueAt(r, shown)));
        }
    }
    m_showing = false;
    showField();
}

void DBLookupComboBox::showField()
{
    const data::CachedDataset &ds = m_source->dataset();
    const db::Value v = ds.isOpen() && ds.currentRow() >= 0 ? ds.value(m_field) : db::Value();
    m_showing = true;
    int found = -1;
    for (size_t i = 0; i < m_keys.size() && found < 0; ++i)
        if (!v.isNull() && m_keys[i] == v)
            found = int(i);
    setCurrentIndex(found);
    setEditText(found >= 0 ? itemText(found) : data::FieldText(v));
    m_showing = false;
}

void DBLookupComboBox::keyPressEvent(QKeyEvent *event)
{
    if (keyPress && keyPress(event))
        return;
    QComboBox::keyPressEvent(event);
}

void DBLookupComboBox::focusInEvent(QFocusEvent *event)
{
    QComboBox::focusInEvent(event);
    if (MovesWithinWindow(event))
        Q_EMIT entered();
}

void DBLookupComboBox::focusOutEvent(QFocusEvent *event)
{
    QComboBox::focusOutEvent(event);
    if (MovesWithinWindow(event))
        Q_EMIT exited();
}

} // namespace data_ui
