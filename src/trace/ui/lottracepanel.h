// The lot trace panel over the grid: purchases, locations, movements, orders and the balance
// check of one lot, with its CSV export.
#pragma once
#include "trace/lottrace.h"

#include <QFrame>

class QLabel;
class QPushButton;
class QTableWidget;

namespace reports_engine {
class RunView;
}

namespace db {
class Connection;
}
namespace platform {
class Clock;
class Operator;
class WinPaths;
}

namespace trace_ui {

class LotTracePanel : public QFrame {
    Q_OBJECT
public:
    LotTracePanel(db::Connection &central, const platform::WinPaths &paths, const platform::Clock &clock,
                  platform::Operator &op, QWidget *grid, QWidget *window);

    // Reads the lot's history and shows the panel over the grid; a database failure is told and
    // the panel stays hidden.
    void open(const trace::LotKey &lot);
    const trace::LotTrace &current() const { return m_trace; }

    QLabel *lblLote;
    QTableWidget *tblCompras;
    QTableWidget *tblLocais;
    QTableWidget *tblMovimentos;
    QTableWidget *tblPedidos;
    QLabel *lblBalanco;
    QLabel *lblDiferenca;
    QPushButton *btnImprimir;   // the report engine's preview: print, or save as PDF
    QPushButton *btnExportar;
    // Where the report is shown; null: the engine's modal preview.
    reports_engine::RunView *reportView = nullptr;
    QPushButton *btnFechar;

    void btnExportarClick();
    void btnImprimirClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fill();

    db::Connection &m_central;
    const platform::WinPaths &m_paths;
    const platform::Clock &m_clock;
    platform::Operator &m_op;
    QWidget *m_grid;
    trace::LotTrace m_trace;
};

} // namespace trace_ui
