// The maintenance password panel: the right password runs the pending operation, deletions after
// the backup question.
#include "maintenancepanel.h"

#include "overlay.h"

#include "data/ui/panelfocus.h"

#include "platform/passwordecho.h"

#include "common/accesscodes.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace browser_ui {

MaintenancePanel::MaintenancePanel(platform::Operator &op, QWidget *grid, QWidget *window)
    : QFrame(window), m_op(op), m_grid(grid)
{
    setObjectName(QStringLiteral("Panel1"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);

    Label1 = new QLabel(QStringLiteral("Senha:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setFixedWidth(110);
    platform::useHashPasswordEcho(Edit2);
    Label1->setBuddy(Edit2);
    Label4 = new QLabel(QStringLiteral("tecle <ENTER>"), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setTextFormat(Qt::PlainText);
    Label3 = new QLabel(QStringLiteral("esc cancela"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont small = Label3->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    Label3->setFont(small);

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->addWidget(Label1, 0, 0);
    layout->addWidget(Edit2, 0, 1);
    layout->addWidget(Label4, 0, 2);
    layout->addWidget(Label3, 1, 1);

    Edit2->installEventFilter(this);
    data_ui::keepPlace(this, grid);
    hide();
}

void MaintenancePanel::open(int tag)
{
    Tag = tag;
    showCentredOver(this, m_grid);
    Edit2->setFocus();
    Edit2->selectAll();
}

bool MaintenancePanel::Edit2KeyPress(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (!browser::CheckMaintenancePassword(Edit2->text(), m_op)) {
            hide();
            return true;
        }
        hide();
        if (!browser::ConfirmBackupBefore(Tag, m_op))
            return true;
        const auto it = operations.find(Tag);
        if (it != operations.end() && it->second)
            it->second();
        return true;
    }
    if (key == Qt::Key_Escape) {
        hide();
        return true;
    }
    return false;
}

bool MaintenancePanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Edit2 && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (Edit2KeyPress(key->key()))
            return true;
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace browser_ui
