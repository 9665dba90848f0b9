// PainelVencimentos: what expires, where and what it costs, over the whole main window: the
// summary table, its chart and the lots of the chosen horizon.
#pragma once
#include "expiry/expiry.h"

#include "reports/engine/engine.h"

#include <QFrame>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class QTableWidget;

namespace platform {
class Clock;
class Operator;
class WinPaths;
}
namespace core {
struct RunState;
}
namespace data {
class TDM;
}

namespace expiry_ui {

class ExpiryChart;
class ExpiryLotModel;

inline const QString kExpiryPanelTitle = QStringLiteral("Vencimentos e valor em risco");

class ExpiryPanel : public QFrame {
    Q_OBJECT
public:
    ExpiryPanel(data::TDM &dm, const core::RunState &run, const platform::Clock &clock, const platform::WinPaths &paths,
                platform::Operator &op, QWidget *window);
    ~ExpiryPanel() override;

    QLabel *Titulo;
    QTableWidget *TabelaResumo;
    QLabel *LinhaFora;        // what was left out, under the table
    QLabel *lblProjecao;      // the projection under way
    QProgressBar *BarraProjecao;
    ExpiryChart *Grafico;
    QComboBox *cbHorizonte;
    QComboBox *cbOrdem;       // soonest expiry first, or the largest projected leftover first
    QTableView *ListaLotes;
    QPushButton *btnImprimir;        // the summary through the report engine
    QPushButton *btnImprimirLotes;   // the chosen horizon's lots
    QPushButton *btnExcel;
    QPushButton *btnSair;

    // Reads the scope's lots again and shows the panel over the whole window; the projected
    // leftovers follow when the store's use has been read on a worker of its own (the panel is
    // usable meanwhile; closing it stops the read).
    void open();
    bool projecting() const;
    const expiry::Summary &summary() const { return m_summary; }
    void chooseHorizon(int horizon);
    void btnImprimirClick();
    void btnImprimirLotesClick();
    void btnExcelClick();
    void btnSairClick();

    // Where a printed run is shown; null gives the engine's preview.
    void setReportView(reports_engine::RunView *view) { m_engine->setView(view); }

    // Double-click or Enter on a lot: the main grid's lot dataset moves to it and the panel
    // closes. When the grid's current list does not hold it, the grid is first switched to a
    // view that does (showEveryLot) and the status line says so (tellStatus); a lot even that
    // view does not hold (changed meanwhile) is told and nothing moves.
    void goToLot(const expiry::ExpiringLot &lot);
    std::function<void()> showEveryLot;
    std::function<void(const QString &)> tellStatus;
    // The lot list's order: 0 soonest expiry first, 1 largest projected leftover cost first.
    void chooseOrder(int order);

Q_SIGNALS:
    // The grid now stands on the chosen lot.
    void lotShown();
    void closed();
    // The projection columns and row are filled in, or the line above the chart says why not.
    void projectionShown();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Esc closes this panel and nothing else.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fillTable();
    void startProjection();
    void stopProjection();
    void showProjection(quint64 generation, const std::vector<expiry::UseTotal> &use, const QString &failure);
    void chooseCurrentLot();
    void print(const QString &report, std::unique_ptr<reports_engine::DataConnection> connection,
               const QString &connectionName);

    data::TDM &m_dm;
    const core::RunState &m_run;
    const platform::Clock &m_clock;
    const platform::WinPaths &m_paths;
    platform::Operator &m_op;
    QWidget *m_window;
    expiry::Summary m_summary;
    QHash<QString, expiry::ExpiryProduct> m_products;
    struct Projection;
    std::shared_ptr<Projection> m_projection;
    quint64 m_generation = 0;
    ExpiryLotModel *m_lots;
    std::unique_ptr<reports_engine::ReportEngine> m_engine;
};

} // namespace expiry_ui
