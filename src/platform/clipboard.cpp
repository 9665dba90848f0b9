// The desktop's clipboard through Qt.
#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace platform {

void SystemClipboard::setText(const QString &text)
{
    if (QClipboard *clip = QGuiApplication::clipboard())
        clip->setText(text);
}

} // namespace platform
