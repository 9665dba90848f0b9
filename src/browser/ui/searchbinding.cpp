// The search box: capitalised text, nearest row on the grid's leading order column.
#include "searchbinding.h"

#include "browser/lotgrid.h"
#include "data/cacheddataset.h"
#include "platform/clock.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace browser_ui {

SearchBinding::SearchBinding(data::CachedDataset &lots, const platform::Clock &clock, QLineEdit *Edit1,
                             QLabel *Label2, QPushButton *Button1, QWidget *grid, QObject *parent)
    : QObject(parent), m_lots(lots), m_clock(clock), m_edit(Edit1), m_label(Label2), m_button(Button1), m_grid(grid)
{
    connect(m_edit, &QLineEdit::textChanged, this, &SearchBinding::Edit1Change);
    connect(m_button, &QPushButton::clicked, this, &SearchBinding::Button1Click);
    m_edit->installEventFilter(this);
    m_label->installEventFilter(this);
    m_button->installEventFilter(this);
}

void SearchBinding::Edit1Enter(bool byMouse)
{
    // Every search starts afresh: the last search stays in sight, selected, and what is typed
    // replaces it; going through the box with Tab loses nothing. A click places the cursor after
    // the focus came: the click that brought the focus places no cursor.
    m_edit->selectAll();
    m_selectOnPress = byMouse;
}

void SearchBinding::Edit1Change()
{
    m_searchText = browser::SearchText(m_edit->text());
    const int row = browser::SearchRow(m_lots, m_searchText, m_clock.today());
    if (row >= 0 && row != m_lots.currentRow())
        m_lots.moveTo(row);
}

bool SearchBinding::Edit1KeyPress(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    m_edit->setText(m_searchText);
    m_grid->setFocus();
    return true;
}

void SearchBinding::Label2Click()
{
    m_edit->setFocus(Qt::ShortcutFocusReason);
}

void SearchBinding::Button1Click()
{
    m_edit->setFocus(Qt::ShortcutFocusReason);
}

bool SearchBinding::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit) {
        if (event->type() == QEvent::FocusIn) {
            // Coming back from another window or from a menu is not entering the box.
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                Edit1Enter(reason == Qt::MouseFocusReason);
        }
        else if (event->type() == QEvent::KeyPress && Edit1KeyPress(static_cast<QKeyEvent *>(event)->key()))
            return true;
        else if (event->type() == QEvent::MouseButtonPress && m_selectOnPress) {
            m_selectOnPress = false;
            m_edit->selectAll();
            return true;
        } else if (event->type() == QEvent::FocusOut)
            m_selectOnPress = false;
    } else if (watched == m_label) {
        if (event->type() == QEvent::MouseButtonRelease) {
            Label2Click();
            return true;
        }
        // Label2 and Button1 share Alt+P; whichever of them gets it, the box gets the focus.
        if (event->type() == QEvent::Shortcut) {
            Label2Click();
            return true;
        }
    } else if (watched == m_button && event->type() == QEvent::Shortcut) {
        Button1Click();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace browser_ui
