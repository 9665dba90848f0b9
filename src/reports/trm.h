// TRM, the report module: the engine with the program's datasets connected under the names the
// layouts use, and the three projects.
#pragma once
#include "reports/engine/engine.h"

namespace data {
class TDM;
}

namespace reports {

inline const QString kLotviewProject = QStringLiteral("C:\\FORMULIX\\rpt\\rel_Lotview.rav");
inline const QString kEstFisFinProject = QStringLiteral("C:\\FORMULIX\\rpt\\rel_EstoqueFisFin.rav");
inline const QString kEstFisFinResaleProject = QStringLiteral("C:\\FORMULIX\\rpt\\rel_EstoqueFisFinR.rav");

class TRM {
public:
    TRM(data::TDM &dm, const platform::WinPaths &paths, const platform::Clock &clock, platform::Operator &op);

    reports_engine::ReportEngine rvstm1;
    QString rvpj1;                                // assigned when the reports panel opens
    QString rvpj2 = kEstFisFinProject;
    QString rvpj3 = kEstFisFinResaleProject;

    // The reports panel opens: file renderers available, rvpj1 assigned.
    void PanelOpened();
    // "Listar Estoque": the grid's lots as they stand.
    void ListStock();
};

} // namespace reports
