// Placing the overlay panels.
#include "overlay.h"

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

} // namespace browser_ui
