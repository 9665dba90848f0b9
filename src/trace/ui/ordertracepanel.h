// "Rastrear pedido": a workstation and order number give the lots each component of the order
// took, the movement behind each, and the lines no movement deducted.
#pragma once
#include "trace/lottrace.h"

#include "tracepanel.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace db {
class Connection;
}

namespace trace_ui {

class OrderTracePanel : public TracePanel {
    Q_OBJECT
public:
    OrderTracePanel(db::Connection &central, const platform::WinPaths &paths, const platform::Clock &clock,
                    platform::Operator &op, QWidget *window);

    // Shows the panel over the window with the boxes ready; the focus goes back to placeOwner on close.
    void open(QWidget *placeOwner);
    const trace::OrderTrace &current() const { return m_order; }

    QLineEdit *edtEstacao;
    QLineEdit *edtPedido;
    QPushButton *btnRastrear;
    QLabel *lblPedido;
    QTableWidget *tblComponentes;

    void btnRastrearClick();
    void btnExportarClick();
    void btnImprimirClick();

private:
    db::Connection &m_central;
    trace::OrderTrace m_order;
    bool m_traced = false;
    bool m_placeKept = false;
};

} // namespace trace_ui
