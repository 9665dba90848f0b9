// pnlRelatorios: the reports panel over the main grid, with the report module it runs.
#pragma once
#include "periodpanel.h"

#include "reports/costofsales.h"
#include "reports/manufacturing.h"
#include "reports/trm.h"

#include <QFrame>
#include <memory>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace core {
struct RunState;
}

namespace reports_ui {

class ErrorPanel;

class ReportsPanel : public QFrame, public reports::BuildProgress {
    Q_OBJECT
public:
    // grid: where the focus goes back on "Sair"; window: the main window the panels lie over.
    ReportsPanel(data::TDM &dm, const core::RunState &run, const platform::Clock &clock, const platform::WinPaths &paths,
                 platform::Operator &op, QWidget *grid, QWidget *window);
    ~ReportsPanel() override;

    reports::TRM RM;

    QPushButton *btn3;     // "Listar Estoque"
    QPushButton *btn2;     // "Excel": the lot list (answered by the exports)
    QPushButton *btn9;     // "Excel": the physical/financial staging rows (answered by the exports)
    QPushButton *BitBtn2;  // "Histórico de atividades" (answered by the history viewer)
    QPushButton *BitBtn12; // "Excel": the cost of products sold (answered by the exports)
    QPushButton *BitBtn16; // "Conferir baixas no estoque": the period, then the deduction audit
    QPushButton *btnRastrearPedido;   // "Rastrear pedido" (answered by the order trace)
    QPushButton *btn_1;    // "Estoq. Físico/Financ. Manipulação"
    QPushButton *btn6;     // "Visualizar"
    QPushButton *btnFinanceiro;   // "Estoq. Físico e Financ. Revenda"
    QPushButton *BitBtn6;         // "Visualizar"
    QPushButton *BitBtn11;        // "CPV"
    QPushButton *BitBtn15;        // "Visualizar"
    QPushButton *btnVencimentos;  // "Vencimentos e valor em risco" (answered by the expiry panel)
    QPushButton *btnControlados;  // "Livro de controlados": the period, then the book
    QGroupBox *GroupBoxProgresso;
    QProgressBar *gg1;
    QPushButton *btn4;     // "Sair"
    ErrorPanel *PainelDeErros;
    PeriodPanel *PainelPeriodo;
    QLabel *PainelAguarde;    // "Finalizando. Favor aguardar..."
    QLabel *PainelAguarde2;   // "Aguarde..."
    reports::ConsistencyErrors errors;
    // The last confirmed period, for the rest of the run.
    reports::ReportPeriod ReportPeriod;

    // What the main window's "Relatórios" does.
    void open();
    // The audit's result needs room: the panel then covers the grid, and goes back to its size after.
    void setEnlarged(bool on);
    void btn3Click();
    void btn_1Click();
    void btn6Click();
    void btn4Click();
    void btnFinanceiroClick();
    void BitBtn6Click();
    void BitBtn11Click();
    void BitBtn16Click();
    void btnControladosClick();
    void BitBtn13Click();
    void BitBtn14Click();
    void BitBtn15Click();

    bool busy() const { return m_busy; }
    // Work started from this panel but run elsewhere (the spreadsheet exports): while it runs the
    // panel is held as during its own builds, buttons disabled and the window kept open.
    void holdForWork(bool running);

    // The gauge, as the builds drive it.
    void start(int total) override;
    void step(int position) override;
    void end() override;
    void showWait(Wait which) override;
    void hideWait(Wait which) override;
    void gaugeColour(unsigned rgb) override;
    void working(bool on) override;

Q_SIGNALS:
    // The period was confirmed for the stock deduction audit, which goes on with its own panels.
    void auditPeriodConfirmed(const QDate &start, const QDate &end);
    // The period was confirmed for the controlled-substance book.
    void controlledPeriodConfirmed(const QDate &start, const QDate &end);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The panel is made in steps: its controls, their handlers, its layout.
    void buildControls();
    void wireHandlers();
    void layOut();
    class Busy;
    void setBusy(bool busy);
    QList<QPushButton *> buttons() const;
    void place();
    void showErrorPanel(QWidget *opener);
    void showPeriodPanel(PeriodPanel::Purposes purpose);
    void hidePeriodPanel();
    void placeOver(QWidget *panel);
    reports::ReportContext context();
    // "Visualizar" of `asked`: true to print; false when the staged rows belong to another build
    // or period (the operator was asked, and offered the build).
    bool stagedRowsFit(reports::StagedBuild asked);

    data::TDM &m_dm;
    const core::RunState &m_run;
    const platform::Clock &m_clock;
    const platform::WinPaths &m_paths;
    platform::Operator &m_op;
    QWidget *m_grid;
    QWidget *m_window;
    bool m_busy = false;
    std::shared_ptr<Busy> m_held;   // holdForWork's guard
    bool m_enlarged = false;
    int m_total = 0;
    int m_shownPercent = -1;
    reports::ReportPeriod m_shownPeriod;   // what the period boxes were filled with
    reports::StagedRecord m_staged;        // which build left the staging rows
};

} // namespace reports_ui
