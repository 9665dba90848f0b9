#include "tracepanel.h"

#include "common/csvexport.h"
#include "platform/operator.h"
#include "reports/engine/engine.h"
#include "trace/lottrace.h"
#include "trace/tracereport.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>

namespace trace_ui {

TracePanel::TracePanel(const QString &objectName, const platform::WinPaths &paths, const platform::Clock &clock,
                       platform::Operator &op, QWidget *window)
    : QFrame(window), m_paths(paths), m_clock(clock), m_op(op)
{
    setObjectName(objectName);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    btnImprimir = new QPushButton(QStringLiteral("&Imprimir"), this);
    btnImprimir->setObjectName(QStringLiteral("btnImprimir"));
    btnExportar = new QPushButton(QStringLiteral("E&xcel"), this);
    btnExportar->setObjectName(QStringLiteral("btnExportar"));
    btnFechar = new QPushButton(QStringLiteral("&Fechar"), this);
    btnFechar->setObjectName(QStringLiteral("btnFechar"));
    for (QPushButton *b : {btnImprimir, btnExportar, btnFechar})
        b->setAutoDefault(false);
    connect(btnFechar, &QPushButton::clicked, this, &QWidget::hide);
    hide();
}

QHBoxLayout *TracePanel::buttonRow()
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton *b : {btnImprimir, btnExportar, btnFechar})
        row->addWidget(b);
    return row;
}

void TracePanel::exportCsv(const QString &wantedPath, const QStringList &lines)
{
    // A second export of the same lot or order on the same day gets its own file.
    const QString windowsPath = trace::FreeFilePath(m_paths, wantedPath);
    try {
        exports::WriteCsvFile(m_paths, windowsPath, lines);
    } catch (const exports::ExportError &e) {
        m_op.error(e.message());
        return;
    }
    m_op.inform(QStringLiteral("Arquivo \"") + windowsPath + QStringLiteral("\" gerado com sucesso. \rAbra-o no Excel."));
}

void TracePanel::printReport(const std::function<void(reports_engine::ReportEngine &)> &connectRows,
                             const QString &report)
{
    reports_engine::ReportEngine engine(m_paths, m_clock, &m_op);
    engine.makeFileRenderersAvailable();
    engine.setView(reportView);
    connectRows(engine);
    try {
        engine.execute(trace::kTraceProject, report);
    } catch (const reports_engine::ReportError &e) {
        m_op.error(e.operatorText());
    }
}

void TracePanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace trace_ui
