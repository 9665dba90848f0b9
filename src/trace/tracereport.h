// The lot trace and the order trace printed or saved through the report engine: their rows
// exposed as data connections to the project rel_Rastreio.rav.
#pragma once
#include "lottrace.h"
#include "recall.h"
#include "reports/engine/engine.h"

namespace trace {

inline const QString kTraceProject = QStringLiteral("C:\\FORMULIX\\rpt\\rel_Rastreio.rav");
inline const QString kLotReport = QStringLiteral("rpt_RastreioLote");
inline const QString kOrderReport = QStringLiteral("rpt_RastreioPedido");

using reports_engine::RowsConnection;

// "rvdsRastreio": one row per purchase, location, movement, order line and cause (after the
// recall's rows when a dossier is given); "rvdsRastreioLote": the lot and its four totals and the
// explanation of the difference; "rvdsRastreioFarmacia": the pharmacy and the recall (who, when,
// why), empty texts when not known.
void ConnectLotTrace(reports_engine::ReportEngine &engine, const LotTrace &trace,
                     const RecallDossier *dossier = nullptr);
// "rvdsRastreioPedido": the component lines; "rvdsRastreioPedidoCab": the order.
void ConnectOrderTrace(reports_engine::ReportEngine &engine, const OrderTrace &order);

} // namespace trace
