#include "dbcontrols.h"

#include "data/fieldinput.h"
#include "data/fieldtext.h"

#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

namespace data_ui {

namespace {

// A key that changes the text of the box it is typed into.
bool changesText(QKeyEvent *e)
{
    if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut) || e->matches(QKeySequence::Undo)
        || e->matches(QKeySequence::Redo) || e->matches(QKeySequence::DeleteEndOfWord)
        || e->matches(QKeySequence::DeleteStartOfWord))
        return true;
    if (e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete)
        return true;
    const QString t = e->text();
    return !t.isEmpty() && t[0].isPrint() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

// The desktop's mask characters in Qt's notation (the two swap required and optional).
QString qtInputMask(const QString &mask, QChar blank)
{
    const QString body = mask.section(QLatin1Char(';'), 0, 0);
    QString out;
    for (int i = 0; i < body.size(); ++i) {
        const QChar c = body[i];
        switch (c.unicode()) {
        case '!': break;
        case '0': out += u'9'; break;
        case '9': out += u'0'; break;
        case 'L': out += u'A'; break;
        case 'l': out += u'a'; break;
        case 'A': out += u'N'; break;
        case 'a': out += u'n'; break;
        case 'C': out += u'X'; break;
        case 'c': out += u'x'; break;
        case '#': out += u'#'; break;
        case '>': case '<': out += c; break;
        case '\\':
            if (i + 1 < body.size())
                out += QStringLiteral("\\") + body[++i];
            break;
        default:
            out += QStringLiteral("\\") + c;
        }
    }
    return out + QStringLiteral(";") + blank;
}

} // namespace

void FocusLater(QWidget *widget)
{
    QPointer<QWidget> w(widget);
    QTimer::singleShot(0, widget, [w] {
        if (w && w->isVisible() && w->isEnabled())
            w->setFocus(Qt::OtherFocusReason);
    });
}

// ---- DBEdit

DBEdit::DBEdit(data::DataSource *source, const QString &field, QWidget *parent)
    : QLineEdit(parent), m_source(source), m_field(field)
{
    const data::ColumnSpec spec = source->columnSpec(field);
    if (spec.type == data::ColumnSpec::Type::Text && spec.width > 0)
        setMaxLength(spec.width);
    source->addEditor(this);
    connect(source, &data::DataSource::recordChanged, this, [this] {
        if (!m_source->isEditing())
            m_modified = false;
        if (!m_modified)
            showField();
    });
    connect(source, &data::DataSource::stateChanged, this, [this] {
        if (!m_source->isEditing()) {
            m_modified = false;
            showField();
        }
    });
    // Text that arrives without a key (a paste from the context menu) starts the edit too.
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (!m_source->isEditing() && !m_source->beginEdit()) {
            showField();
            return;
        }
        m_modified = true;
    });
    showField();
}

DBEdit::~DBEdit()
{
    m_source->removeEditor(this);
}

void DBEdit::setEditMask(const QString &mask)
{
    m_mask = mask;
    const QString blank = mask.section(QLatin1Char(';'), 2, 2);
    m_blank = blank.isEmpty() ? QChar(u'_') : blank[0];
    setInputMask(mask.isEmpty() ? QString() : qtInputMask(mask, m_blank));
    // A date box whose mask ends in two year digits shows two-digit years.
    const QString body = mask.section(QLatin1Char(';'), 0, 0);
    m_twoDigitYear = m_source->columnSpec(m_field).isDate()
                     && data::EmptyMaskText(mask).size() == 8;
    (void)body;
    showField();
}

QString DBEdit::Text() const
{
    if (m_mask.isEmpty())
        return text();
    QString t = displayText();
    t.replace(m_blank, QLatin1Char(' '));
    return t;
}

void DBEdit::showField()
{
    const bool was = m_modified;
    const db::Value v = m_source->dataset().isOpen() && m_source->dataset().currentRow() >= 0
                            ? m_source->dataset().value(m_field)
                            : db::Value();
    const QString t = (hasFocus() || !m_mask.isEmpty()) ? data::FieldEditText(v, m_twoDigitYear) : data::FieldText(v);
    if (t != text() || (t.isEmpty() && !m_mask.isEmpty()))
        setText(t);
    m_modified = was;
}

bool DBEdit::acceptsCharacter(QChar c) const
{
    const data::ColumnSpec spec = m_source->columnSpec(m_field);
    if (spec.isNumber())
        return c.isDigit() || c == u'-' || c == u'+' || c == u','
               || (spec.type != data::ColumnSpec::Type::Integer && (c == u'e' || c == u'E'));
    return true;
}

bool DBEdit::commitPending()
{
    if (!m_modified)
        return true;
    if (!m_source->setFieldText(m_field, Text()))
        return false;
    m_modified = false;
    showField();
    return true;
}

void DBEdit::keyPressEvent(QKeyEvent *event)
{
    if (keyPress && keyPress(event))
        return;
    if (event->key() == Qt::Key_Escape && m_modified) {
        // Esc takes back what was typed into the box.
        m_modified = false;
        showField();
        event->accept();
        return;
    }
    if (!isReadOnly() && changesText(event)) {
        const QString t = event->text();
        if (!t.isEmpty() && t[0].isPrint() && !acceptsCharacter(t[0])) {
            event->accept();
            return;
        }
        if (!m_source->beginEdit()) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void DBEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (!m_modified)
        showField();
    Q_EMIT entered();
}

void DBEdit::focusOutEvent(QFocusEvent *event)
{
    if (m_modified && !commitPending()) {
        QLineEdit::focusOutEvent(event);
        selectAll();
        FocusLater(this);
        return;
    }
    QLineEdit::focusOutEvent(event);
    Q_EMIT exited();
    if (!hasFocus() && !m_modified)
        showField();
}

// ---- DBComboBox

DBComboBox::DBComboBox(data::DataSource *source, const QString &field, QWidget *parent)
    : QComboBox(parent), m_source(source), m_field(field)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    const data::ColumnSpec spec = source->columnSpec(field);
    if (spec.type == data::ColumnSpec::Type::Text && spec.width > 0)
        lineEdit()->setMaxLength(spec.width);
    source->addEditor(this);
    connect(source, &data::DataSource::recordChanged, this, [this] {
        if (!m_source->isEditing())
            m_modified = false;
        if (!m_modified)
            showField();
    });
    connect(source, &data::DataSource::stateChanged, this, [this] {
        if (!m_source->isEditing()) {
            m_modified = false;
            showField();
        }
    });
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] {
        if (!m_source->isEditing() && !m_source->beginEdit()) {
            showField();
            return;
        }
        m_modified = true;
    });
    // A pick from the list is written at once.
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (m_showing)
            return;
        m_modified = false;
        if (!m_source->setFieldText(m_field, itemText(index)))
            showField();
    });
    showField();
}

DBComboBox::~DBComboBox()
{
    m_source->removeEditor(this);
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
    const data::CachedDataset &ds = m_source->dataset();
    const QString t = ds.isOpen() && ds.currentRow() >= 0 ? data::FieldText(ds.value(m_field)) : QString();
    m_showing = true;
    const int i = findText(t, Qt::MatchExactly);
    if (i >= 0 && !t.isEmpty())
        setCurrentIndex(i);
    setEditText(t);
    m_showing = false;
}

bool DBComboBox::commitPending()
{
    if (!m_modified)
        return true;
    if (!m_source->setFieldText(m_field, currentText()))
        return false;
    m_modified = false;
    showField();
    return true;
}

void DBComboBox::keyPressEvent(QKeyEvent *event)
{
    if (keyPress && keyPress(event))
        return;
    if (event->key() == Qt::Key_Escape && m_modified) {
        m_modified = false;
        showField();
        event->accept();
        return;
    }
    if (m_style == Style::DropDown && changesText(event) && !m_source->beginEdit()) {
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void DBComboBox::focusInEvent(QFocusEvent *event)
{
    QComboBox::focusInEvent(event);
    Q_EMIT entered();
}

void DBComboBox::focusOutEvent(QFocusEvent *event)
{
    // The list popping up takes the focus without leaving the box.
    if (event->reason() == Qt::PopupFocusReason) {
        QComboBox::focusOutEvent(event);
        return;
    }
    if (m_modified && !commitPending()) {
        QComboBox::focusOutEvent(event);
        FocusLater(this);
        return;
    }
    QComboBox::focusOutEvent(event);
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
    Q_EMIT entered();
}

void DBLookupComboBox::focusOutEvent(QFocusEvent *event)
{
    QComboBox::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        Q_EMIT exited();
}

// ---- DBText

DBText::DBText(data::DataSource *source, const QString &field, QWidget *parent)
    : QLabel(parent), m_source(source), m_field(field)
{
    connect(source, &data::DataSource::recordChanged, this, &DBText::showField);
    showField();
}

void DBText::showField()
{
    const data::CachedDataset &ds = m_source->dataset();
    setText(ds.isOpen() && ds.currentRow() >= 0 ? data::FieldText(ds.value(m_field)) : QString());
}

// ---- DBMemo

DBMemo::DBMemo(data::DataSource *source, const QString &field, QWidget *parent)
    : QPlainTextEdit(parent), m_source(source), m_field(field)
{
    source->addEditor(this);
    connect(source, &data::DataSource::recordChanged, this, [this] {
        if (!m_source->isEditing())
            m_modified = false;
        if (!m_modified)
            showField();
    });
    connect(source, &data::DataSource::stateChanged, this, [this] {
        if (!m_source->isEditing()) {
            m_modified = false;
            showField();
        }
    });
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing)
            m_modified = true;
    });
    showField();
}

DBMemo::~DBMemo()
{
    m_source->removeEditor(this);
}

void DBMemo::showField()
{
    const data::CachedDataset &ds = m_source->dataset();
    const QString t = ds.isOpen() && ds.currentRow() >= 0 ? data::FieldEditText(ds.value(m_field), false) : QString();
    if (t == toPlainText())
        return;
    m_showing = true;
    setPlainText(t);
    m_showing = false;
}

bool DBMemo::commitPending()
{
    if (!m_modified)
        return true;
    if (!m_source->setFieldText(m_field, toPlainText()))
        return false;
    m_modified = false;
    showField();
    return true;
}

void DBMemo::keyPressEvent(QKeyEvent *event)
{
    if (keyPress && keyPress(event))
        return;
    if (!isReadOnly() && (changesText(event) || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && !m_source->beginEdit()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void DBMemo::insertFromMimeData(const QMimeData *source)
{
    if (m_source->beginEdit())
        QPlainTextEdit::insertFromMimeData(source);
}

void DBMemo::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    Q_EMIT entered();
}

void DBMemo::focusOutEvent(QFocusEvent *event)
{
    if (m_modified && !commitPending()) {
        QPlainTextEdit::focusOutEvent(event);
        FocusLater(this);
        return;
    }
    QPlainTextEdit::focusOutEvent(event);
    Q_EMIT exited();
}

} // namespace data_ui
