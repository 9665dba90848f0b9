#include "loginpanel.h"

#include "platform/cp1252.h"
#include "platform/passwordecho.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace users_ui {

LoginPanel::LoginPanel(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("PainelLogin"));
    setAutoFillBackground(true);
    setFrameShape(QFrame::StyledPanel);

    auto *box = new QFrame(this);
    box->setFrameShape(QFrame::Box);
    box->setFixedSize(320, 170);
    box->setAutoFillBackground(true);

    Panel48 = new QLabel(QStringLiteral("Identificação do Usuário"), box);
    Panel48->setObjectName(QStringLiteral("Panel48"));
    Panel48->setAlignment(Qt::AlignCenter);
    Panel48->setStyleSheet(QStringLiteral("background: palette(highlight); color: palette(highlighted-text); font-weight: bold; padding: 4px;"));
    Label216 = new QLabel(QStringLiteral("Nome"), box);
    Label216->setObjectName(QStringLiteral("Label216"));
    EditNome = new QLineEdit(box);
    EditNome->setObjectName(QStringLiteral("EditNome"));
    EditNome->setAccessibleName(QStringLiteral("Nome"));
    Label217 = new QLabel(QStringLiteral("Senha"), box);
    Label217->setObjectName(QStringLiteral("Label217"));
    EditSenhaU = new QLineEdit(box);
    EditSenhaU->setObjectName(QStringLiteral("EditSenhaU"));
    EditSenhaU->setAccessibleName(QStringLiteral("Senha"));
    platform::useHashPasswordEcho(EditSenhaU);
    BotOkSenha = new QPushButton(QStringLiteral("&OK"), box);
    BotOkSenha->setObjectName(QStringLiteral("BotOkSenha"));
    BotCancSenha = new QPushButton(QStringLiteral("&Cancela"), box);
    BotCancSenha->setObjectName(QStringLiteral("BotCancSenha"));
    for (QPushButton *b : {BotOkSenha, BotCancSenha})
        b->setAutoDefault(false);

    auto *grid = new QGridLayout;
    grid->addWidget(Label216, 0, 0);
    grid->addWidget(EditNome, 0, 1, 1, 2);
    grid->addWidget(Label217, 1, 0);
    grid->addWidget(EditSenhaU, 1, 1, 1, 2);
    grid->addWidget(BotOkSenha, 2, 1);
    grid->addWidget(BotCancSenha, 2, 2);
    auto *inner = new QVBoxLayout(box);
    inner->setContentsMargins(0, 0, 0, 8);
    inner->addWidget(Panel48);
    auto *pad = new QVBoxLayout;
    pad->setContentsMargins(12, 8, 12, 0);
    pad->addLayout(grid);
    inner->addLayout(pad);

    auto *outer = new QGridLayout(this);
    outer->addWidget(box, 0, 0, Qt::AlignCenter);

    EditNome->installEventFilter(this);
    EditSenhaU->installEventFilter(this);
    connect(BotOkSenha, &QPushButton::clicked, this, &LoginPanel::loginRequested);
    connect(BotCancSenha, &QPushButton::clicked, this, &LoginPanel::cancelRequested);
}

bool LoginPanel::focusNextPrevChild(bool next)
{
    const QList<QWidget *> chain{EditNome, EditSenhaU, BotOkSenha, BotCancSenha};
    const qsizetype at = chain.indexOf(QApplication::focusWidget());
    if (at < 0)
        return QFrame::focusNextPrevChild(next);
    const qsizetype n = chain.size();
    chain.at((at + (next ? 1 : n - 1)) % n)->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool LoginPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && watched == EditNome) {
            EditSenhaU->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (enter && watched == EditSenhaU) {
            Q_EMIT loginRequested();
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && watched == EditNome) {
        EditNome->setText(platform::asciiUpper(EditNome->text()));
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace users_ui
