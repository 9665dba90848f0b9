#include "dbcontrols.h"

#include "data/fieldinput.h"
#include "data/fieldtext.h"

#include <QKeyEvent>

namespace data_ui {

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
    : QPlainTextEdit(parent), m_link(this, source, field, [this] { showField(); }, [this] { return toPlainText(); })
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing)
            m_link.setModified(true);
    });
    showField();
}

void DBMemo::showField()
{
    const data::CachedDataset &ds = m_link.source()->dataset();
    const QString t =
        ds.isOpen() && ds.currentRow() >= 0 ? data::FieldEditText(ds.value(m_link.field()), false) : QString();
    if (t == toPlainText())
        return;
    m_showing = true;
    setPlainText(t);
    m_showing = false;
}

void DBMemo::keyPressEvent(QKeyEvent *event)
{
    if (keyPress && keyPress(event))
        return;
    if (!isReadOnly() && (ChangesText(event) || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && !m_link.source()->beginEdit()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void DBMemo::insertFromMimeData(const QMimeData *source)
{
    if (m_link.source()->beginEdit())
        QPlainTextEdit::insertFromMimeData(source);
}

void DBMemo::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    if (MovesWithinWindow(event))
        Q_EMIT entered();
}

void DBMemo::focusOutEvent(QFocusEvent *event)
{
    if (m_link.focusOut(event, [&] { QPlainTextEdit::focusOutEvent(event); }) == FieldLink::Leaving::Left)
        Q_EMIT exited();
}

} // namespace data_ui
