#include "passwordecho.h"

#include <QLineEdit>
#include <QProxyStyle>

namespace platform {

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

void useHashPasswordEcho(QWidget *lineEdit)
{
    auto *style = new HashPasswordStyle;
    style->setParent(lineEdit);
    lineEdit->setStyle(style);
    if (auto *edit = qobject_cast<QLineEdit *>(lineEdit))
        edit->setEchoMode(QLineEdit::Password);
}

} // namespace platform
