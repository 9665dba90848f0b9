// The invoice panel: filled by the menu item and, while it shows, by every move of the lot dataset.
#include "invoicepanel.h"

#include "overlay.h"

#include "data/ui/panelfocus.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace browser_ui {

InvoicePanel::InvoicePanel(data::TDM &dm, QWidget *grid, QWidget *window)
    : QFrame(window), m_dm(dm), m_grid(grid)
{
    setObjectName(QStringLiteral("PainelNF"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    setMinimumWidth(380);

    NomeComponente = new QLabel(QStringLiteral("<Nome do Componente>"), this);
    NomeComponente->setObjectName(QStringLiteral("NomeComponente"));
    NomeComponente->setTextFormat(Qt::PlainText);
    QFont bold = NomeComponente->font();
    bold.setBold(true);
    NomeComponente->setFont(bold);
    LoteComponente = new QLabel(QStringLiteral("<Lote do Componente>"), this);
    LoteComponente->setObjectName(QStringLiteral("LoteComponente"));
    NumeroNF = new QLabel(this);
    NumeroNF->setObjectName(QStringLiteral("NumeroNF"));
    DataNF = new QLabel(this);
    DataNF->setObjectName(QStringLiteral("DataNF"));
    for (QLabel *l : {LoteComponente, NumeroNF, DataNF})
        l->setTextFormat(Qt::PlainText);
    FecharPainelNF = new QPushButton(QStringLiteral("&OK"), this);
    FecharPainelNF->setObjectName(QStringLiteral("FecharPainelNF"));
    FecharPainelNF->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    for (QLabel *l : {NomeComponente, LoteComponente, NumeroNF, DataNF})
        layout->addWidget(l);
    layout->addSpacing(6);
    layout->addWidget(FecharPainelNF, 0, Qt::AlignHCenter);

    connect(FecharPainelNF, &QPushButton::clicked, this, &InvoicePanel::FecharPainelNFClick);
    data_ui::keepPlace(this, grid);
    hide();
}

void InvoicePanel::NotaFiscal1Click()
{
    const data::TDM::InvoiceLabels labels = m_dm.LookUpInvoice(QStringLiteral("NÃO ENCONTRADO"));
    setInvoiceLabels(labels.nome, labels.lote, labels.numero, labels.data);
    showCentredOver(this, m_grid);
    FecharPainelNF->setFocus();
}

void InvoicePanel::FecharPainelNFClick()
{
    hide();
}

bool InvoicePanel::isShown() const
{
    return !isHidden();
}

void InvoicePanel::setInvoiceLabels(const QString &nome, const QString &lote, const QString &numero,
                                    const QString &data)
{
    NomeComponente->setText(nome);
    LoteComponente->setText(lote);
    NumeroNF->setText(numero);
    DataNF->setText(data);
    if (!isHidden())
        adjustSize();
}

} // namespace browser_ui
