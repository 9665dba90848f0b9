// TForm1: the main window. Start-up, the login panel over it, the top bar and the lot grid.
#pragma once
#include "common/stockquery.h"
#include "browser/ui/lotgrid.h"
#include "users/login.h"

#include <QWidget>
#include <memory>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QToolButton;

namespace users_ui {
class LoginPanel;
}
namespace exports_ui {
class DeductionAuditPanel;
class ExportHandlers;
class HistoryViewer;
}
namespace reports_ui {
class ReportsPanel;
}
namespace controlled_ui {
class BookPanel;
}
namespace expiry_ui {
class ExpiryPanel;
}
namespace browser_ui {
class WaitPanel;
class StockBrowser;
class DetailPanel;
class InvoicePanel;
class AdjustmentPanel;
class MaintenancePanel;
}

namespace data_ui {
class LockWaitPanel;
}
namespace trace_ui {
class LotTracePanel;
class OrderTracePanel;
}
namespace maintenance_ui {
class MaintenanceMenu;
}
namespace stocktake_ui {
class StocktakePanel;
}

namespace shell {

struct Program;

class TForm1 : public QWidget, public users::LoginView {
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
    QPushButton *btnInventario;   // "Inventário": enabled with BitBtn3, by the day's access code
    QPushButton *btn1;   // "Relatórios"
    QPushButton *BitBtn1;
    QProgressBar *Termometro;   // progress of the maintenance operations, hidden otherwise
    users_ui::LoginPanel *PainelLogin = nullptr;
    // The lot browser (grid, search, panels over the grid), made and wired by Browser.
    browser_ui::StockBrowser *Browser;
    browser_ui::LotGrid *DBGrid1;
    browser_ui::DetailPanel *pnlDetalha;
    browser_ui::InvoicePanel *PainelNF;
    browser_ui::AdjustmentPanel *PainelSenha;
    browser_ui::MaintenancePanel *Panel1;
    browser_ui::WaitPanel *PanelAguarde;
    // PopupMenu1, the window's context menu of maintenance operations, and what they drive.
    maintenance_ui::MaintenanceMenu *Maintenance;
    reports_ui::ReportsPanel *pnlRelatorios;
    exports_ui::ExportHandlers *Exports;       // the reports panel's "Excel" buttons
    exports_ui::HistoryViewer *PainelLOG;      // the month's activity log, over the whole window
    exports_ui::DeductionAuditPanel *Auditoria;   // the stock deduction audit, inside pnlRelatorios
    expiry_ui::ExpiryPanel *PainelVencimentos;    // expiry and value at risk, over the whole window
    controlled_ui::BookPanel *PainelControlados;  // the controlled-substance book, over the whole window
    trace_ui::LotTracePanel *PainelRastreio;      // the current lot's trace, over the grid
    trace_ui::OrderTracePanel *PainelRastreioPedido;   // an order's lots, from the reports panel
    stocktake_ui::StocktakePanel *PainelInventario;   // the stocktakes, over the whole window
    // Under the grid: what a panel changed in the grid's list on its own; hidden while empty,
    // emptied when the operator chooses a view.
    QLabel *LinhaStatus;

    void FormCreate();
    void FormShow();
    void FormActivate();
    void FormClose();
    void BitBtn1Click();
    // "Editar tabela": the lot edit form, modal, on the grid's current lot.
    void BitBtn3Click();
    void btn1Click();
    void BotCancSenhaClick();
    void BotOkSenhaClick();
    void ComboBox1Change();
    void ComboBox2Change();
    void ransferirestoqueparaoutraunidade1Click();
    void RastrearLote1Click();

    // The login panel and the window as the login sees them.
    QString nameText() const override;
    QString passwordText() const override;
    void setPasswordText(const QString &text) override;
    void setNameText(const QString &text) override;
    void setCaption(const QString &text) override;
    void focusName() override;
    void focusPassword() override;
    void hideLoginPanel() override;
    void afterLoginSucceeded() override;
    void closeMainWindow() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The window is made in steps: its controls, the features' panels, their handlers, its layout.
    void buildTopBar();
    void buildPanels();
    void wireHandlers();
    void layOut();
    void coverWithLoginPanel();
    browser::WaitIndicator &waitIndicator();
    void rebuildStockQuery();

    Program &m_program;
    // Every wait on a record another workstation holds is shown over this window.
    std::unique_ptr<data_ui::LockWaitPanel> m_lockWait;
    bool m_created = false;
    bool m_shown = false;
    bool m_startupFailed = false;
    bool m_loggedIn = false;   // after login only "Sair" answers Esc
};

} // namespace shell
