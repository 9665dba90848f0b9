// PainelControlados: the controlled-substance book of a period over the whole main window: whether
// it closes with the stock, the period balance, the differences with their causes and the
// inconsistent marks; the book itself through the preview (print, PDF) and as a spreadsheet.
#pragma once
#include "controlled/book.h"
#include "controlled/bookread.h"

#include "reports/engine/engine.h"

#include <QFrame>
#include <memory>

class QLabel;
class QPushButton;
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

namespace controlled_ui {

inline const QString kPanelTitle = QStringLiteral("Livro de controlados");
inline const QString kWaitText = QStringLiteral("Montando o livro de controlados. Aguarde...");
inline const QString kNothingText =
    QStringLiteral("Nenhuma substância controlada com estoque ou movimento no período.");

class BookPanel : public QFrame {
    Q_OBJECT
public:
    BookPanel(data::TDM &dm, const core::RunState &run, const platform::Clock &clock, const platform::WinPaths &paths,
              platform::Operator &op, QWidget *window);
    ~BookPanel() override;

    QLabel *Titulo;
    QLabel *LinhaConferencia;   // whether the book closes with the stock
    QTableWidget *TabelaBalanco;
    QLabel *LinhaDiferencas;
    QTableWidget *TabelaDiferencas;
    QLabel *LinhaInconsistencias;
    QLabel *PainelAguarde;
    QPushButton *btnVisualizar;
    QPushButton *btnExcel;
    QPushButton *btnSair;

    // Reads the period's book and shows the panel over the whole window.
    void open(const QDate &start, const QDate &end);
    const controlled::Book &book() const { return m_book; }
    const controlled::ReadFigures &figures() const { return m_figures; }
    void btnVisualizarClick();
    void btnExcelClick();
    void btnSairClick();

    // Where the book's pages are shown; null gives the engine's preview.
    void setReportView(reports_engine::RunView *view) { m_view = view; }

Q_SIGNALS:
    void closed();

protected:
    // Esc closes this panel and nothing else.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fill();

    data::TDM &m_dm;
    const core::RunState &m_run;
    const platform::Clock &m_clock;
    const platform::WinPaths &m_paths;
    platform::Operator &m_op;
    QWidget *m_window;
    controlled::Book m_book;
    controlled::Pharmacy m_pharmacy;
    controlled::ReadFigures m_figures;
    reports_engine::RunView *m_view = nullptr;
};

} // namespace controlled_ui
