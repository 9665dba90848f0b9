#include "periodpanel.h"

#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace reports_ui {

PeriodPanel::PeriodPanel(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("PainelPeriodo"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    Titulo = new QLabel(QStringLiteral("Período"), this);
    Titulo->setAlignment(Qt::AlignCenter);
    Titulo->setAutoFillBackground(true);
    QPalette title = Titulo->palette();
    title.setColor(QPalette::Window, QColor(0, 0, 128));
    title.setColor(QPalette::WindowText, Qt::white);
    Titulo->setPalette(title);
    auto box = [this](const char *name) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        // "!99/99/00;1;_": day and month may be left blank, the year takes two digits, the
        // slashes belong to the text and "_" marks an empty position.
        e->setInputMask(QStringLiteral("00/00/99;_"));
        e->installEventFilter(this);
        return e;
    };
    EditDataInicial = box("EditDataInicial");
    EditDataFinal = box("EditDataFinal");
    EditDataInicial->setAccessibleName(QStringLiteral("Data inicial"));
    EditDataFinal->setAccessibleName(QStringLiteral("Data final"));
    BitBtn14 = new QPushButton(QStringLiteral("&Cancelar"), this);
    BitBtn14->setObjectName(QStringLiteral("BitBtn14"));
    BitBtn13 = new QPushButton(QStringLiteral("&Ok"), this);
    BitBtn13->setObjectName(QStringLiteral("BitBtn13"));
    for (QPushButton *b : {BitBtn13, BitBtn14})
        b->setAutoDefault(false);
    auto *l = new QGridLayout(this);
    l->addWidget(Titulo, 0, 0, 1, 2);
    l->addWidget(new QLabel(QStringLiteral("Data inicial"), this), 1, 0);
    l->addWidget(EditDataInicial, 1, 1);
    l->addWidget(new QLabel(QStringLiteral("Data final"), this), 2, 0);
    l->addWidget(EditDataFinal, 2, 1);
    l->addWidget(BitBtn14, 3, 0);
    l->addWidget(BitBtn13, 3, 1);
    setTabOrder(EditDataInicial, EditDataFinal);
    setTabOrder(EditDataFinal, BitBtn14);
    setTabOrder(BitBtn14, BitBtn13);
    hide();
}

QString PeriodPanel::boxText(const QLineEdit *box)
{
    QString t = box->displayText();
    t.replace(QLatin1Char('_'), QLatin1Char(' '));
    return t;
}

// EditDataInicialKeyPress, EditDataFinalKeyPress: Enter moves on (from the end date to "Ok") and
// is consumed.
bool PeriodPanel::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == EditDataInicial || watched == EditDataFinal) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            (watched == EditDataInicial ? EditDataFinal : static_cast<QWidget *>(BitBtn13))->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace reports_ui
