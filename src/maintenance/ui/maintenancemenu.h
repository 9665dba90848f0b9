// PopupMenu1: the main window's context menu of maintenance operations, and the window as the
// operations see it (BitBtn3, the gauge Termometro, the caption).
#pragma once
#include "maintenance/maintenanceview.h"

#include <QObject>
#include <functional>

class QAction;
class QMenu;
class QProgressBar;
class QPushButton;
class QWidget;

namespace maintenance_ui {

class MaintenanceMenu : public QObject, public maintenance::MaintenanceView {
    Q_OBJECT
public:
    // askPassword(tag): what a guarded item does (the maintenance password panel takes over and
    // calls runGuarded(tag) once the password is right and, for deletions, the backup confirmed).
    MaintenanceMenu(data::TDM &dm, platform::Operator &op, const platform::Clock &clock, QWidget *window,
                    QPushButton *editButton, QProgressBar *gauge, std::function<void(int)> askPassword);

    QMenu *PopupMenu1;
    QAction *ImportarLotesdoCadastrodeMateriasPrimas1;   // tag 2
    QAction *TrazerDensidadeFatordeCorrecao1;            // tag 3
    QAction *ImportartodososLotesNotasFiscais1;          // tag 4
    QAction *ImportarindicaodeCONTROLADA1;
    QAction *ApenascorrigirUnidadesincorretasnatabeladePosiodoEstoque1;
    QAction *Excluirloteszerados1;                       // tag 5
    QAction *Excluirlotesdeprodutosinativos1;            // tag 6

    // The operation of a password panel tag (2 to 6).
    void runGuarded(int tag);
    void ImportarindicaodeCONTROLADA1Click();
    void ApenascorrigirUnidadesincorretasnatabeladePosiodoEstoque1Click();

    // MaintenanceView
    void setEditButtonVisible(bool visible) override;
    void startGauge(int maximum) override;
    void advanceGauge(int position) override;
    void hideGauge() override;
    void setCaption(const QString &text) override;
    void repaintWindow() override;

private:
    maintenance::Context m_ctx;
    QWidget *m_window;
    QPushButton *m_editButton;
    QProgressBar *m_gauge;
    std::function<void(int)> m_askPassword;
    int m_shownPercent = -1;
};

} // namespace maintenance_ui
