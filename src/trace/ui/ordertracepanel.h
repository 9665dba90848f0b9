// "Rastrear pedido": a workstation and order number give the lots each component of the order
// took, the movement behind each, and the lines no movement deducted.
#pragma once
#include "trace/lottrace.h"

#include <QFrame>

class QLabel;
class QLineEdit;
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

class OrderTracePanel : public QFrame {
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
    QPushButton *btnImprimir;   // the report engine's preview: print, or save as PDF
    QPushButton *btnExportar;
    // Where the report is shown; null: the engine's modal preview.
    reports_engine::RunView *reportView = nullptr;
    QPushButton *btnFechar;

    void btnRastrearClick();
    void btnExportarClick();
    void btnImprimirClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    db::Connection &m_central;
    const platform::WinPaths &m_paths;
    const platform::Clock &m_clock;
    platform::Operator &m_op;
    trace::OrderTrace m_order;
    bool m_traced = false;
    bool m_placeKept = false;
};

} // namespace trace_ui
