// The wait panel: centred in the window's client area and painted before the query blocks.
#include "waitpanel.h"

#include "overlay.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace browser_ui {

WaitPanel::WaitPanel(QWidget *window) : QFrame(window)
{
    setObjectName(QStringLiteral("PanelAguarde"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    Caption = new QLabel(QStringLiteral("Aguarde por favor..."), this);
    QFont f = Caption->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    Caption->setFont(f);
    Caption->setAlignment(Qt::AlignCenter);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 20, 40, 20);
    layout->addWidget(Caption);
    hide();
}

void WaitPanel::showWait()
{
    showCentredOver(this, parentWidget());
    repaint();
    // The query that follows blocks the loop; let the panel reach the screen first.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void WaitPanel::hideWait()
{
    hide();
}

} // namespace browser_ui
