#include "errorpanel.h"

#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace reports_ui {

ErrorPanel::ErrorPanel(QWidget *window) : QFrame(window)
{
    setObjectName(QStringLiteral("PainelDeErros"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    Titulo = new QLabel(kErrorPanelTitle, this);
    Titulo->setObjectName(QStringLiteral("Titulo"));
    Titulo->setAlignment(Qt::AlignCenter);
    Titulo->setAutoFillBackground(true);
    QPalette title = Titulo->palette();
    title.setColor(QPalette::Window, QColor(0, 0, 128));
    title.setColor(QPalette::WindowText, Qt::white);
    Titulo->setPalette(title);
    QFont bold = Titulo->font();
    bold.setBold(true);
    Titulo->setFont(bold);
    Titulo->setMinimumHeight(24);

    ListaDeErros = new QListWidget(this);
    ListaDeErros->setObjectName(QStringLiteral("ListaDeErros"));
    QFont fixed(QStringLiteral("Courier New"));
    fixed.setStyleHint(QFont::Monospace);
    ListaDeErros->setFont(fixed);

    BitBtn8 = new QPushButton(QStringLiteral("&Sair"), this);
    BitBtn8->setObjectName(QStringLiteral("BitBtn8"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Titulo);
    layout->addWidget(ListaDeErros, 1);
    layout->addWidget(BitBtn8, 0, Qt::AlignRight);
    connect(BitBtn8, &QPushButton::clicked, this, &ErrorPanel::BitBtn8Click);
    hide();
}

void ErrorPanel::showErrors(const QStringList &lines)
{
    ListaDeErros->clear();
    ListaDeErros->addItems(lines);
    if (QWidget *window = parentWidget())
        setGeometry(window->rect());
    show();
    raise();
    BitBtn8->setFocus();
}

void ErrorPanel::BitBtn8Click()
{
    hide();
}

} // namespace reports_ui
