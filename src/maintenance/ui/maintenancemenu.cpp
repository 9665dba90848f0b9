// The seven maintenance items and the window controls they drive while an operation runs.
#include "maintenancemenu.h"

#include "maintenance/operations.h"

#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

namespace maintenance_ui {

MaintenanceMenu::MaintenanceMenu(data::TDM &dm, platform::Operator &op, const platform::Clock &clock, QWidget *window,
                                 QPushButton *editButton, QProgressBar *gauge, std::function<void(int)> askPassword)
    : QObject(window), m_ctx{dm, *this, op, clock}, m_window(window), m_editButton(editButton), m_gauge(gauge),
      m_askPassword(std::move(askPassword))
{
    PopupMenu1 = new QMenu(window);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    const auto guarded = [this](const QString &text, const char *name, int tag) {
        QAction *a = PopupMenu1->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, tag] {
            if (m_askPassword)
                m_askPassword(tag);
        });
        return a;
    };
    ImportarLotesdoCadastrodeMateriasPrimas1 = guarded(QStringLiteral("&Importar Lotes do Cadastro de Matérias Primas"),
                                                       "ImportarLotesdoCadastrodeMateriasPrimas1", 2);
    TrazerDensidadeFatordeCorrecao1 =
        guarded(QStringLiteral("&Trazer Densidade, Fator de Correção e Validade do Cad. Mat. Prima"),
                "TrazerDensidadeFatordeCorrecao1", 3);
    ImportartodososLotesNotasFiscais1 =
        guarded(QStringLiteral("Importar todos os &lotes já registrados nas  Notas Fiscais anteriores"),
                "ImportartodososLotesNotasFiscais1", 4);
    ImportarindicaodeCONTROLADA1 = PopupMenu1->addAction(QStringLiteral("Importar indicação de &CONTROLADA"));
    ImportarindicaodeCONTROLADA1->setObjectName(QStringLiteral("ImportarindicaodeCONTROLADA1"));
    connect(ImportarindicaodeCONTROLADA1, &QAction::triggered, this, &MaintenanceMenu::ImportarindicaodeCONTROLADA1Click);
    ApenascorrigirUnidadesincorretasnatabeladePosiodoEstoque1 =
        PopupMenu1->addAction(QStringLiteral("&Apenas corrigir unidades incorretas na tabela de Posição do Estoque"));
    ApenascorrigirUnidadesincorretasnatabeladePosiodoEstoque1->setObjectName(
        QStringLiteral("ApenascorrigirUnidadesincorretasnatabeladePosiodoEstoque1"));
    connect(ApenascorrigirUnidadesincorretasnatabeladePosiodoEstoque1, &QAction::triggered, this,
            &MaintenanceMenu::ApenascorrigirUnidadesincorretasnatabeladePosiodoEstoque1Click);
    Excluirloteszerados1 = guarded(QStringLiteral("&Excluir os lotes com saldo igual a zero"), "Excluirloteszerados1", 5);
    Excluirlotesdeprodutosinativos1 =
        guarded(QStringLiteral("Excluir os lotes de produtos i&nativos"), "Excluirlotesdeprodutosinativos1", 6);
}

void MaintenanceMenu::runGuarded(int tag)
{
    switch (tag) {
    case 2: maintenance::ImportProductLots(m_ctx); break;
    case 3: maintenance::BringProductData(m_ctx); break;
    case 4: maintenance::ImportPurchaseLots(m_ctx); break;
    case 5: maintenance::DeleteZeroBalanceLots(m_ctx); break;
    case 6: maintenance::DeleteInactiveProductLots(m_ctx); break;
    default: break;
    }
}

void MaintenanceMenu::ImportarindicaodeCONTROLADA1Click()
{
    maintenance::ImportarindicaodeCONTROLADA(m_ctx);
}

void MaintenanceMenu::ApenascorrigirUnidadesincorretasnatabeladePosiodoEstoque1Click()
{
    maintenance::CorrectUnits(m_ctx);
}

void MaintenanceMenu::setEditButtonVisible(bool visible)
{
    if (m_editButton)
        m_editButton->setVisible(visible);
}

void MaintenanceMenu::startGauge(int maximum)
{
    m_gauge->setRange(0, std::max(maximum, 0));
    m_gauge->setValue(0);
    m_gauge->show();
    m_shownPercent = -1;
    m_gauge->repaint();
}

// The loop does not go back to the event loop: the gauge paints itself, once per percent, so a
// long run shows its progress without spending its time on drawing.
void MaintenanceMenu::advanceGauge(int position)
{
    const int maximum = m_gauge->maximum();
    const int percent = maximum > 0 ? int(qint64(position) * 100 / maximum) : 100;
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    m_gauge->setValue(std::min(position, maximum));
    m_gauge->repaint();
}

void MaintenanceMenu::hideGauge()
{
    m_gauge->hide();
}

void MaintenanceMenu::setCaption(const QString &text)
{
    m_window->setWindowTitle(text);
}

void MaintenanceMenu::repaintWindow()
{
    m_window->repaint();
}

} // namespace maintenance_ui
