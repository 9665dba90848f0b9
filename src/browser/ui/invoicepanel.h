// PainelNF: the purchase invoice of the current lot, over the grid.
#pragma once
#include "data/tdm.h"

#include <QFrame>

class QLabel;
class QPushButton;

namespace browser_ui {

class InvoicePanel : public QFrame, public data::InvoicePanelView {
    Q_OBJECT
public:
    // grid: what the panel lies over and what gets the focus back.
    InvoicePanel(data::TDM &dm, QWidget *grid, QWidget *window);

    QLabel *NomeComponente;
    QLabel *LoteComponente;
    QLabel *NumeroNF;
    QLabel *DataNF;
    QPushButton *FecharPainelNF;

    // "Nota Fiscal" of the grid's menu. A failing lookup leaves the panel as it was.
    void NotaFiscal1Click();
    void FecharPainelNFClick();

    bool isShown() const override;
    void setInvoiceLabels(const QString &nome, const QString &lote, const QString &numero,
                          const QString &data) override;

private:
    data::TDM &m_dm;
    QWidget *m_grid;
};

} // namespace browser_ui
