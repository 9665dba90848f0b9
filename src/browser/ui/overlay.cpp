// Placing the overlay panels, and the suite's "#" password echo.
#include "overlay.h"

#include <QLineEdit>
#include <QProxyStyle>
#include <QWidget>

namespace browser_ui {

namespace {
class HashPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *ret) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '#';
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};
} // namespace

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

void useHashPasswordEcho(QWidget *lineEdit)
{
    auto *style = new HashPasswordStyle;
    style->setParent(lineEdit);
    lineEdit->setStyle(style);
    if (auto *edit = qobject_cast<QLineEdit *>(lineEdit))
        edit->setEchoMode(QLineEdit::Password);
}

} // namespace browser_ui
