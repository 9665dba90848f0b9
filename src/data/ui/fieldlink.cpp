#include "fieldlink.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace data_ui {

void FocusLater(QWidget *widget)
{
    QPointer<QWidget> w(widget);
    QTimer::singleShot(0, widget, [w] {
        if (w && w->isVisible() && w->isEnabled())
            w->setFocus(Qt::OtherFocusReason);
    });
}

void SetDropsEdit(QWidget *control)
{
    control->setProperty("dropsEdit", true);
}

bool DropsEdit(const QWidget *control)
{
    return control && control->property("dropsEdit").toBool();
}

bool ChangesText(QKeyEvent *e)
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

bool MovesWithinWindow(QFocusEvent *e)
{
    return e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason;
}

FieldLink::FieldLink(QWidget *control, data::DataSource *source, const QString &field,
                     std::function<void()> show, std::function<QString()> text)
    : m_control(control), m_source(source), m_field(field), m_show(std::move(show)), m_text(std::move(text))
{
    source->addEditor(this);
    QObject::connect(source, &data::DataSource::recordChanged, control, [this] {
        if (!m_source->isEditing())
            m_modified = false;
        if (!m_modified)
            m_show();
    });
    QObject::connect(source, &data::DataSource::stateChanged, control, [this] {
        if (!m_source->isEditing()) {
            m_modified = false;
            m_show();
        }
    });
}

FieldLink::~FieldLink()
{
    m_source->removeEditor(this);
}

bool FieldLink::commitPending()
{
    if (!m_modified)
        return true;
    if (!m_source->setFieldText(m_field, m_text()))
        return false;
    m_modified = false;
    m_show();
    return true;
}

void FieldLink::typed()
{
    if (!m_source->isEditing() && !m_source->beginEdit()) {
        m_show();
        return;
    }
    m_modified = true;
}

bool FieldLink::takeBack()
{
    if (!m_modified)
        return false;
    m_modified = false;
    m_show();
    return true;
}

FieldLink::Leaving FieldLink::focusOut(QFocusEvent *event, const std::function<void()> &base)
{
    // The focus is already on the control it goes to.
    if (!MovesWithinWindow(event) || DropsEdit(QApplication::focusWidget())) {
        base();
        return Leaving::Away;
    }
    if (m_modified && !commitPending()) {
        base();
        FocusLater(m_control);
        return Leaving::Refused;
    }
    base();
    return Leaving::Left;
}

} // namespace data_ui
