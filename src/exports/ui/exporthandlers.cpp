// The "Excel" buttons: each one call into the exports. While a long export lets the window
// repaint, the operator's clicks and keys wait for its end, and the reports panel is told to hold
// its buttons, so nothing started meanwhile can touch what the export is writing.
#include "exporthandlers.h"

#include "data/tdm.h"
#include "common/csvexport.h"
#include "platform/clock.h"

#include <QApplication>

namespace exports_ui {

ExportHandlers::ExportHandlers(data::TDM &dm, const platform::WinPaths &paths, const platform::Clock &clock,
                               QObject *parent)
    : QObject(parent), m_dm(dm), m_paths(paths), m_clock(clock)
{
}

namespace {

// Repaints and timers only: a click handled here would run in the middle of the export.
void breathe()
{
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

template <class F> void ExportHandlers::once(F &&work)
{
    if (m_running)
        return;
    m_running = true;
    struct Reset {
        ExportHandlers &h;
        ~Reset()
        {
            h.m_running = false;
            QApplication::restoreOverrideCursor();
            Q_EMIT h.busyChanged(false);
        }
    } reset{*this};
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Q_EMIT busyChanged(true);
    work();
}

void ExportHandlers::btn2Click()
{
    once([this] { exports::ExportLotList(m_dm.ESTLOTE, m_paths, m_clock.today(), m_dm.op); });
}

void ExportHandlers::btn9Click()
{
    once([this] {
        exports::ExportStagedReport(exports::StagedReport::StockValue, m_dm.qry_pdEstLote, m_paths, m_clock.today(),
                                    m_dm.op, &breathe);
    });
}

void ExportHandlers::BitBtn12Click()
{
    once([this] {
        exports::ExportStagedReport(exports::StagedReport::CostOfSales, m_dm.qry_pdEstLote, m_paths, m_clock.today(),
                                    m_dm.op, &breathe);
    });
}

} // namespace exports_ui
