// PainelInventario: the store's counts over the whole main window; a new count's scope, the
// count's fast entry, its reconciliation, reasons, approval and posting, sheets and report.
#pragma once
#include "stocktake/countoutput.h"
#include "stocktake/stocktake.h"

#include "reports/engine/engine.h"

#include <QDialog>
#include <QFrame>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTableView;
class QTableWidget;

namespace platform {
class Clock;
class Operator;
class WinPaths;
}
namespace core {
class ActivityLog;
struct RunState;
}
namespace db {
class Connection;
}

namespace stocktake_ui {

class LineModel;

inline const QString kPanelTitle = QStringLiteral("Inventário");

// A new count's scope, as the operator picks it.
class NewCountDialog : public QDialog {
    Q_OBJECT
public:
    NewCountDialog(const QStringList &storeLaboratories, QWidget *parent);
    QListWidget *ListaLocais;
    QLineEdit *edGrupos;        // groups separated by commas
    QCheckBox *chkControlados;
    QLineEdit *edProdutoDe, *edProdutoAte, *edLoteDe, *edLoteAte;
    QCheckBox *chkCega;
    QPushButton *btnIniciar, *btnCancelar;
    stocktake::Scope scope() const;
};

// A reason for the chosen lines.
class ReasonDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReasonDialog(QWidget *parent);
    QComboBox *cbMotivo;
    QLineEdit *edTexto;
    QPushButton *btnOk, *btnCancelar;
};

// The second user's name and password.
class ApprovalDialog : public QDialog {
    Q_OBJECT
public:
    ApprovalDialog(const QString &what, QWidget *parent);
    QLabel *Texto;
    QLineEdit *edUsuario, *edSenha;
    QPushButton *btnOk, *btnCancelar;
};

class StocktakePanel : public QFrame {
    Q_OBJECT
public:
    StocktakePanel(db::Connection &central, const core::RunState &run, core::ActivityLog &log,
                   const platform::Clock &clock, const platform::WinPaths &paths, platform::Operator &op,
                   QWidget *window);
    ~StocktakePanel() override;

    QStackedWidget *Paginas;
    // The counts.
    QLabel *Titulo;
    QLabel *AvisoTabelas;          // the tables are missing: what to run
    QPlainTextEdit *ScriptTabelas;
    QTableWidget *ListaInventarios;
    QPushButton *btnNovo, *btnAbrir, *btnSair;
    // A count.
    QLabel *Cabecalho;
    QComboBox *cbLocal;
    QLineEdit *edLote, *edQuantidade;
    QLabel *lblUnidade, *lblUltima;
    QComboBox *cbMostrar;          // every line, those not counted, those with a difference
    QTableView *ListaLinhas;
    QPushButton *btnFolhas, *btnFolhasCsv, *btnConferir, *btnMotivo, *btnZerar, *btnAprovar, *btnPostar,
        *btnRelatorio, *btnRelatorioCsv, *btnVoltar;

    // Reads the counts again and shows the panel over the whole window.
    void open();
    // The count shown: its lines read again.
    void openCount(int numero);
    int currentCount() const { return m_count.numero; }
    const std::vector<stocktake::Line> &lines() const { return m_lines; }
    bool reconciling() const { return m_reconciling; }

    void btnNovoClick();
    void btnAbrirClick();
    void btnSairClick();
    // Enter in the quantity box: the typed lot and quantity stored at once.
    void enterLine();
    void btnFolhasClick();
    void btnFolhasCsvClick();
    void btnConferirClick();
    void btnMotivoClick();
    void btnZerarClick();
    void btnAprovarClick();
    void btnPostarClick();
    void btnRelatorioClick();
    void btnRelatorioCsvClick();
    void btnVoltarClick();

    // Where a printed run is shown; null gives the engine's preview.
    void setReportView(reports_engine::RunView *view) { m_engine->setView(view); }
    // Test seam: the dialogs are handed over before they run (a test closes them).
    std::function<void(QDialog *)> beforeDialog;

Q_SIGNALS:
    // A count was posted: the grid's balances changed.
    void posted();
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fillCounts();
    void showLines();
    void setReadOnly(bool readOnly);
    void refreshLine(int linha);
    std::vector<int> chosenLines() const;
    void print(const QString &report, std::unique_ptr<reports_engine::DataConnection> rows, const QString &connection,
               const stocktake::Report *report_ = nullptr);
    int runDialog(QDialog &dialog);
    QString station() const;

    db::Connection &m_central;
    const core::RunState &m_run;
    core::ActivityLog &m_log;
    const platform::Clock &m_clock;
    const platform::WinPaths &m_paths;
    platform::Operator &m_op;
    QWidget *m_window;
    std::vector<stocktake::Count> m_counts;
    stocktake::Count m_count;
    std::vector<stocktake::Line> m_lines;
    LineModel *m_model;
    bool m_reconciling = false;
    std::unique_ptr<reports_engine::ReportEngine> m_engine;
};

} // namespace stocktake_ui
