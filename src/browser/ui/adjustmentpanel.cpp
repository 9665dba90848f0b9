// The manual-adjustment code panel: right code enables the lot editing button, wrong code disables it.
#include "adjustmentpanel.h"

#include "overlay.h"

#include "data/ui/panelfocus.h"

#include "platform/passwordecho.h"

#include "core/runstate.h"
#include "common/accesscodes.h"
#include "platform/clock.h"
#include "platform/operator.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace browser_ui {

AdjustmentPanel::AdjustmentPanel(const core::RunState &run, const platform::Clock &clock, platform::Operator &op,
                                 QPushButton *BitBtn3, QWidget *grid, QWidget *window)
    : QFrame(window), m_run(run), m_clock(clock), m_op(op), m_editButton(BitBtn3), m_grid(grid)
{
    setObjectName(QStringLiteral("PainelSenha"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::ToolTipText));
    setPalette(pal);

    Label25 = new QLabel(QStringLiteral("Senha"), this);
    Label25->setObjectName(QStringLiteral("Label25"));
    MaskEdit1 = new QLineEdit(this);
    MaskEdit1->setObjectName(QStringLiteral("MaskEdit1"));
    MaskEdit1->setFixedWidth(110);
    platform::useHashPasswordEcho(MaskEdit1);
    Label25->setBuddy(MaskEdit1);

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    Chave1 = PopupMenu3->addAction(QStringLiteral("&Chave"));
    Chave1->setObjectName(QStringLiteral("Chave1"));
    connect(Chave1, &QAction::triggered, this, &AdjustmentPanel::Chave1Click);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu3->popup(mapToGlobal(at)); });

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->addWidget(Label25);
    layout->addWidget(MaskEdit1);

    MaskEdit1->installEventFilter(this);
    data_ui::keepPlace(this, grid);
    hide();
}

void AdjustmentPanel::AjustedeEstoque1Click()
{
    // The code typed before stays, selected: Enter gives it again, and a code typed replaces it
    // rather than being added to it.
    showCentredOver(this, m_grid);
    MaskEdit1->setFocus();
    MaskEdit1->selectAll();
}

bool AdjustmentPanel::MaskEdit1KeyPress(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Computed before anything changes: a key that is no integer leaves the panel open.
        const bool right = browser::AdjustmentCodeMatches(MaskEdit1->text(), m_clock.today(), m_run.siteConfig.StockKey);
        if (right) {
            m_editButton->setEnabled(true);
            m_editButton->setFocus();
        } else {
            m_op.inform(browser::kAccessDeniedMessage);
            m_editButton->setEnabled(false);
        }
        hide();
        return true;
    }
    if (key == Qt::Key_Escape) {
        // Swallowed: Esc in the window would press "Sair".
        hide();
        return true;
    }
    return false;
}

void AdjustmentPanel::Chave1Click()
{
    m_op.inform(m_run.siteConfig.StockKey);
}

bool AdjustmentPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == MaskEdit1 && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (MaskEdit1KeyPress(key->key()))
            return true;
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace browser_ui
