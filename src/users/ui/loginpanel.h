// PainelLogin: name and password over the whole main window until a login succeeds.
#pragma once
#include <QFrame>

class QLabel;
class QLineEdit;
class QPushButton;

namespace users_ui {

class LoginPanel : public QFrame {
    Q_OBJECT
public:
    explicit LoginPanel(QWidget *parent = nullptr);

    QLabel *Panel48;
    QLabel *Label216;
    QLineEdit *EditNome;
    QLabel *Label217;
    QLineEdit *EditSenhaU;
    QPushButton *BotOkSenha;
    QPushButton *BotCancSenha;

Q_SIGNALS:
    void loginRequested();   // OK, or Enter in the password box
    void cancelRequested();  // Cancela

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Tab goes round the panel's own boxes and buttons: what lies under it waits for the login.
    bool focusNextPrevChild(bool next) override;
};

} // namespace users_ui
