// Enter on a focused button: one event filter on the application, ahead of every widget's own.
#include "keyboardrules.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

namespace shell {

void KeyboardRules::install()
{
    if (!qApp || qApp->findChild<KeyboardRules *>(QString(), Qt::FindDirectChildrenOnly))
        return;
    qApp->installEventFilter(new KeyboardRules(qApp));
}

bool KeyboardRules::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    // Only the button the key was meant for: a key that a child ignored reaches its parents too.
    auto *widget = static_cast<QWidget *>(watched);
    if (widget != widget->window()->focusWidget())
        return false;
    auto *button = qobject_cast<QAbstractButton *>(widget);
    if (!button || !(qobject_cast<QPushButton *>(button) || qobject_cast<QToolButton *>(button)))
        return false;
    // A held key presses once; its repeats are swallowed, as the first one was.
    if (button->isEnabled() && button->isVisible() && !key->isAutoRepeat())
        button->click();
    return true;
}

} // namespace shell
