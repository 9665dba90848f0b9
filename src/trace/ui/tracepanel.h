// What the two trace panels share: a raised frame over the window, the print, Excel and close
// buttons, Esc to close.
#pragma once
#include <QFrame>
#include <QStringList>
#include <functional>

class QHBoxLayout;
class QPushButton;

namespace platform {
class Clock;
class Operator;
class WinPaths;
}
namespace reports_engine {
class ReportEngine;
class RunView;
}

namespace trace_ui {

class TracePanel : public QFrame {
    Q_OBJECT
public:
    QPushButton *btnImprimir;   // the report engine's preview: print, or save as PDF
    QPushButton *btnExportar;   // "Excel": the CSV file
    QPushButton *btnFechar;
    // Where the report is shown; null: the engine's modal preview.
    reports_engine::RunView *reportView = nullptr;

protected:
    TracePanel(const QString &objectName, const platform::WinPaths &paths, const platform::Clock &clock,
               platform::Operator &op, QWidget *window);

    // The three buttons on the right of a row.
    QHBoxLayout *buttonRow();
    // Writes the file, under a name no earlier file has (a number added), and tells where; a
    // file that cannot be written is told instead.
    void exportCsv(const QString &wantedPath, const QStringList &lines);
    // Runs the report of the trace project over the connections given.
    void printReport(const std::function<void(reports_engine::ReportEngine &)> &connect, const QString &report);
    void keyPressEvent(QKeyEvent *event) override;

    const platform::WinPaths &m_paths;
    const platform::Clock &m_clock;
    platform::Operator &m_op;
};

} // namespace trace_ui
