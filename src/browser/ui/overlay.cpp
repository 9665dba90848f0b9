// Placing the overlay panels, and where the focus goes when they close.
#include "overlay.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace browser_ui {

void showCentredOver(QWidget *panel, QWidget *target)
{
    panel->adjustSize();
    QWidget *parent = panel->parentWidget();
    QRect area = target->rect();
    if (parent && target != parent)
        area.moveTopLeft(target->mapTo(parent, QPoint(0, 0)));
    QRect r(QPoint(0, 0), panel->size());
    r.moveCenter(area.center());
    if (parent) {
        // Never out of the window, even over a grid that is smaller than the panel.
        r.moveLeft(qBound(0, r.left(), qMax(0, parent->width() - r.width())));
        r.moveTop(qBound(0, r.top(), qMax(0, parent->height() - r.height())));
    }
    panel->setGeometry(r);
    panel->show();
    panel->raise();
}

namespace {

// Qt sends the hide event before it looks for the focus's next home, so a focus handed back
// here is the one it finds, and no other control is entered on the way.
class PlaceKeeper : public QObject {
public:
    PlaceKeeper(QWidget *panel, QWidget *placeOwner) : QObject(panel), m_panel(panel), m_owner(placeOwner) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_panel && event->type() == QEvent::Hide && m_owner) {
            QWidget *focus = m_panel->window()->focusWidget();
            if (focus && m_panel->isAncestorOf(focus) && m_owner->isEnabled() && m_owner->isVisible())
                m_owner->setFocus(Qt::OtherFocusReason);
        }
        return false;
    }

private:
    QWidget *m_panel;
    QPointer<QWidget> m_owner;
};

} // namespace

void keepPlaceOnHide(QWidget *panel, QWidget *placeOwner)
{
    panel->installEventFilter(new PlaceKeeper(panel, placeOwner));
}

} // namespace browser_ui
