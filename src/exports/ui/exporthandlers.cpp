// The "Excel" buttons: each one call into the exports, guarded so a second click while a long
// export lets the window breathe starts nothing.
#include "exporthandlers.h"

#include "data/tdm.h"
#include "exports/csvexport.h"
#include "platform/clock.h"

#include <QApplication>

namespace exports_ui {

ExportHandlers::ExportHandlers(data::TDM &dm, const platform::WinPaths &paths, const platform::Clock &clock,
                               QObject *parent)
    : QObject(parent), m_dm(dm), m_paths(paths), m_clock(clock)
{
}

template <class F> void ExportHandlers::once(F &&work)
{
    if (m_running)
        return;
    m_running = true;
    struct Reset {
        bool &flag;
        ~Reset()
        {
            flag = false;
            QApplication::restoreOverrideCursor();
        }
    } reset{m_running};
    QApplication::setOverrideCursor(Qt::WaitCursor);
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
                                    m_dm.op, [] { QApplication::processEvents(); });
    });
}

void ExportHandlers::BitBtn12Click()
{
    once([this] {
        exports::ExportStagedReport(exports::StagedReport::CostOfSales, m_dm.qry_pdEstLote, m_paths, m_clock.today(),
                                    m_dm.op, [] { QApplication::processEvents(); });
    });
}

} // namespace exports_ui
