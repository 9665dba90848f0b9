// Wiring of the lot browser: menu items to the panels that answer them, the top bar to the search.
#include "stockbrowser.h"

#include "adjustmentpanel.h"
#include "detailpanel.h"
#include "invoicepanel.h"
#include "lotgrid.h"
#include "maintenancepanel.h"
#include "searchbinding.h"
#include "waitpanel.h"

#include "data/tdm.h"

#include <QAbstractButton>
#include <QAction>

namespace browser_ui {

StockBrowser::StockBrowser(data::TDM &dm, const platform::Clock &clock, platform::Operator &op, const TopBar &bar,
                           QWidget *window)
    : QObject(window), m_dm(dm)
{
    DBGrid1 = new LotGrid(dm.ESTLOTE, clock, bar.filterIndex, window);
    pnlDetalha = new DetailPanel(dm.ESTLOTE, DBGrid1, window);
    PainelNF = new InvoicePanel(dm, DBGrid1, window);
    PainelSenha = new AdjustmentPanel(dm.run, clock, op, bar.BitBtn3, DBGrid1, window);
    Panel1 = new MaintenancePanel(op, DBGrid1, window);
    PanelAguarde = new WaitPanel(window);
    search = new SearchBinding(dm.ESTLOTE, clock, bar.Edit1, bar.Label2, bar.Button1, DBGrid1, this);

    DBGrid1->setDetailPanel(pnlDetalha);
    connect(DBGrid1->NotaFiscal1, &QAction::triggered, PainelNF, &InvoicePanel::NotaFiscal1Click);
    connect(DBGrid1->AjustedeEstoque1, &QAction::triggered, PainelSenha, &AdjustmentPanel::AjustedeEstoque1Click);
    if (bar.DBNavigator1)
        connect(bar.DBNavigator1, &QAbstractButton::clicked, this, &StockBrowser::DBNavigator1Click);
    dm.invoicePanel = PainelNF;
}

StockBrowser::~StockBrowser()
{
    if (m_dm.invoicePanel == PainelNF)
        m_dm.invoicePanel = nullptr;
}

void StockBrowser::DBNavigator1Click()
{
    if (m_dm.ESTLOTE.isOpen())
        m_dm.ESTLOTE.refresh();
}

} // namespace browser_ui
