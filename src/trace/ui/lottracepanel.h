// The lot trace panel over the grid: purchases, locations, movements, orders and the balance
// check of one lot, printed or exported.
#pragma once
#include "trace/lottrace.h"

#include "tracepanel.h"

class QLabel;
class QTableView;

namespace db {
class Connection;
}

namespace trace_ui {

class LotTracePanel : public TracePanel {
    Q_OBJECT
public:
    LotTracePanel(db::Connection &central, const platform::WinPaths &paths, const platform::Clock &clock,
                  platform::Operator &op, QWidget *grid, QWidget *window);

    // Reads the lot's history and shows the panel over the grid; a database failure is told and
    // the panel stays hidden.
    void open(const trace::LotKey &lot);
    const trace::LotTrace &current() const { return m_trace; }

    QLabel *lblLote;
    QTableView *tblCompras;
    QTableView *tblLocais;
    QTableView *tblMovimentos;
    QTableView *tblPedidos;        // dispensed orders, one row per order line or movement of the lot
    QTableView *tblOutrosPedidos;  // quotations and other types, apart
    QLabel *lblBalanco;
    QLabel *lblDiferenca;
    QLabel *lblCausas;             // the rows that explain the balance, one a line

    void btnExportarClick();
    void btnImprimirClick();

private:
    void fill();
    class TextTableModel *model(QTableView *view) const;

    db::Connection &m_central;
    QWidget *m_grid;
    trace::LotTrace m_trace;
};

} // namespace trace_ui
