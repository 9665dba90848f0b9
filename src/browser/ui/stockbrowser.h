// The lot browser of the main window: the grid, its search, its panels and the code panels,
// wired to each other and to the window's top bar.
#pragma once
#include <QObject>
#include <functional>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QPushButton;

namespace data {
class TDM;
}
namespace platform {
class Clock;
class Operator;
}

namespace browser_ui {

class AdjustmentPanel;
class DetailPanel;
class InvoicePanel;
class LotGrid;
class MaintenancePanel;
class SearchBinding;
class WaitPanel;

// The controls of the window's top bar the browser works with.
struct TopBar {
    QLineEdit *Edit1 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *Button1 = nullptr;
    QAbstractButton *DBNavigator1 = nullptr;   // refresh
    QPushButton *BitBtn3 = nullptr;            // "Editar tabela"
    std::function<int()> filterIndex;          // ComboBox1's index
};

class StockBrowser : public QObject {
    Q_OBJECT
public:
    // Everything is created as a child of window (the grid for the window's layout, the panels
    // hidden over it); the data module's invoice panel becomes PainelNF until this is destroyed.
    StockBrowser(data::TDM &dm, const platform::Clock &clock, platform::Operator &op, const TopBar &bar,
                 QWidget *window);
    ~StockBrowser() override;

    LotGrid *DBGrid1;
    DetailPanel *pnlDetalha;
    InvoicePanel *PainelNF;
    AdjustmentPanel *PainelSenha;
    MaintenancePanel *Panel1;
    WaitPanel *PanelAguarde;
    SearchBinding *search;

    // The refresh button: the current statement again. Nothing to do before the first open.
    void DBNavigator1Click();

private:
    data::TDM &m_dm;
};

} // namespace browser_ui
