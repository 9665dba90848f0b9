// The deduction audit's panels: the product choice (Panel5), the wait panel (PainelAguarde2) and
// the result panel (Panel7) with its four fixed-pitch memos.
#pragma once
#include <QDate>
#include <QObject>
#include <functional>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace db {
class Connection;
}
namespace platform {
class WinPaths;
}

namespace exports_ui {

class DeductionAuditPanel : public QObject {
    Q_OBJECT
public:
    // host: the widget Panel7 fills (the reports panel, enlarged while the result is shown).
    DeductionAuditPanel(db::Connection &central, const platform::WinPaths &paths, QWidget *host);
    ~DeductionAuditPanel() override;

    // Called with true when the result panel opens and false when "Sair" closes it.
    std::function<void(bool)> enlargeReportsPanel;

    QFrame *Panel5;
    QLabel *Label15;
    QComboBox *ComboBox3;
    QPushButton *BitBtn17;
    QPushButton *BitBtn18;
    QFrame *PainelAguarde2;
    QFrame *Panel7;
    QLabel *Label16;
    QLabel *Label17;
    QPushButton *BitBtn19;
    QComboBox *ComboBox4;
    QPlainTextEdit *Memo4;
    QPlainTextEdit *Memo2;
    QPlainTextEdit *Memo5;
    QPlainTextEdit *Memo3;
    QAction *Versomenteasbaixasincorretas1;
    QAction *Vertodos1;

    bool busy() const { return m_running; }
    QDate periodStart() const { return m_start; }
    QDate periodEnd() const { return m_end; }

public Q_SLOTS:
    // The period panel's "Ok" with purpose mark 2, once the period is stored: fills the product
    // list and shows Panel5.
    void ShowProductChoice(const QDate &start, const QDate &end);
    void BitBtn17Click();
    void BitBtn18Click();
    void BitBtn19Click();
    void ComboBox4Change();
    void Versomenteasbaixasincorretas1Click();
    void Vertodos1Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showFailures(bool shown);
    void layOutResult();

    db::Connection &m_central;
    const platform::WinPaths &m_paths;
    QWidget *m_host;
    QDate m_start, m_end;
    bool m_running = false;
};

} // namespace exports_ui
