// The lot trace and the order trace printed or saved through the report engine: their rows
// exposed as data connections to the project rel_Rastreio.rav.
#pragma once
#include "lottrace.h"
#include "reports/engine/engine.h"

namespace trace {

inline const QString kTraceProject = QStringLiteral("C:\\FORMULIX\\rpt\\rel_Rastreio.rav");
inline const QString kLotReport = QStringLiteral("rpt_RastreioLote");
inline const QString kOrderReport = QStringLiteral("rpt_RastreioPedido");

// Rows held in memory, read by the engine like any dataset.
class RowsConnection : public reports_engine::DataConnection {
public:
    RowsConnection(QStringList fields, std::vector<std::vector<db::Value>> rows)
        : m_fields(std::move(fields)), m_rows(std::move(rows)) {}
    bool isOpen() const override { return true; }
    void open() override {}
    void close() override {}
    int rowCount() const override { return int(m_rows.size()); }
    int fieldIndex(const QString &field) const override;
    db::Value value(int row, int field) const override { return m_rows[size_t(row)][size_t(field)]; }

private:
    QStringList m_fields;
    std::vector<std::vector<db::Value>> m_rows;
};

// "rvdsRastreio": one row per purchase, location and movement; "rvdsRastreioLote": the lot and
// its four totals and the explanation of the difference.
void ConnectLotTrace(reports_engine::ReportEngine &engine, const LotTrace &trace);
// "rvdsRastreioPedido": the component lines; "rvdsRastreioPedidoCab": the order.
void ConnectOrderTrace(reports_engine::ReportEngine &engine, const OrderTrace &order);

} // namespace trace
