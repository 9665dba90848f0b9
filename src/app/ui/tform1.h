// TForm1: the main window. Start-up, the login panel over it, the top bar and the lot grid.
#pragma once
#include <QWidget>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;

namespace users_ui {
class LoginPanel;
}

namespace app_ui {

struct Program;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(Program &program, QWidget *parent = nullptr);
    ~TForm1() override;

    // False when the creation stopped (no configuration file): the program ends without a window.
    bool created() const { return m_created; }
    bool startupFailed() const { return m_startupFailed; }

    // Top bar (pnl2)
    QFrame *pnl2;
    QGroupBox *GroupBoxPesquisa;
    QLineEdit *Edit1;
    QLabel *Label2;
    QPushButton *Button1;
    QGroupBox *GroupBoxFiltros;
    QComboBox *ComboBox1;
    QComboBox *ComboBox2;
    QToolButton *DBNavigator1;
    QPushButton *BitBtn3;
    QPushButton *BitBtn1;
    QTableView *DBGrid1;
    users_ui::LoginPanel *PainelLogin;

    void FormCreate();
    void FormShow();
    void FormActivate();
    void FormClose();
    void BitBtn1Click();
    void BotCancSenhaClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildTopBar();

    Program &m_program;
    bool m_created = false;
    bool m_shown = false;
    bool m_startupFailed = false;
    bool m_loggedIn = false;   // after login only "Sair" answers Esc
};

} // namespace app_ui
