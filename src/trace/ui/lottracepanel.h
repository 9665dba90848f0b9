// The lot trace panel over the grid: purchases, locations, movements, orders and the balance
// check of one lot, printed or exported.
#pragma once
#include "trace/lottrace.h"
#include "trace/recall.h"

#include <optional>

#include "tracepanel.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace db {
class Connection;
}
namespace core {
class ActivityLog;
struct RunState;
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
    // Shows the panel with the lot-number box ready (Ctrl+L on the grid), the last trace kept.
    void openSearch();
    // The store's laboratories, the user and the log (written only when it is switched on) that
    // a recall needs; without them "Recolher lote" is not offered.
    void setRecallContext(const core::RunState *run, core::ActivityLog *log);
    // The last recall done from this panel, for the dossier.
    const std::optional<trace::RecallResult> &lastRecall() const { return m_recall; }

    QLabel *lblLote;
    QTableView *tblCompras;
    QTableView *tblLocais;
    QTableView *tblMovimentos;
    QTableView *tblPedidos;        // dispensed orders, one row per order line or movement of the lot
    QTableView *tblOutrosPedidos;  // quotations and other types, apart
    QLabel *lblBalanco;
    QLabel *lblDiferenca;
    QLabel *lblCausas;             // the rows that explain the balance, one a line

    QLineEdit *edtNumeroLote;          // a lot number, as a recall notice gives it
    QTableView *tblLotesEncontrados;   // every product, supplier and location with that number
    QPushButton *btnRecolher;          // "Recolher lote"
    QFrame *pnlJustificativa;          // the recall's justification, asked once
    QLineEdit *edtJustificativa;

    void btnExportarClick();
    void btnImprimirClick();
    // Shows what would move and asks; a Yes asks for the justification.
    void btnRecolherClick();
    // Enter in the justification: the recall itself.
    void edtJustificativaReturn();
    // Enter in the lot-number box: the rows holding that number.
    void edtNumeroLoteReturn();
    // Enter on a row found: its trace.
    void openFound(int row);

Q_SIGNALS:
    // Balances changed: the grid reloads with the operator's place kept.
    void lotRecalled();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fill();
    // The pharmacy, the other stores' balances and the last recall around the trace.
    trace::RecallDossier dossier();
    class TextTableModel *model(QTableView *view) const;

    db::Connection &m_central;
    QWidget *m_grid;
    trace::LotTrace m_trace;
    const core::RunState *m_run = nullptr;
    core::ActivityLog *m_log = nullptr;
    trace::RecallPlan m_plan;
    std::vector<trace::LotFound> m_found;
    std::optional<trace::RecallResult> m_recall;
};

} // namespace trace_ui
