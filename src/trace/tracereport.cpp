// The traces' rows as the report project reads them.
#include "tracereport.h"

namespace trace {

namespace {

db::Value text(const QString &s)
{
    return db::Value::text(s);
}

db::Value day(const QDate &d)
{
    return d.isValid() ? db::Value::date(d) : db::Value();
}

db::Value real(double v)
{
    return db::Value::real(v);
}

db::Value real(const LotQuantity &v)
{
    return v ? db::Value::real(*v) : db::Value();
}

} // namespace

void ConnectLotTrace(reports_engine::ReportEngine &engine, const LotTrace &t, const RecallDossier *dossier)
{
    std::vector<std::vector<db::Value>> rows;
    QString identification, recallText;
    if (dossier) {
        identification = dossier->pharmacy.identification();
        if (dossier->recall) {
            const RecallResult &r = *dossier->recall;
            recallText = QStringLiteral("Recolhido para ") + kQualityControl + QStringLiteral(" (") + kAwaiting
                + QStringLiteral(") por ") + r.user + QStringLiteral(" em ")
                + r.at.toString(QStringLiteral("dd/MM/yyyy hh:mm")) + QStringLiteral(". Justificativa: ")
                + r.justification;
            for (const RecallMove &m : r.moved)
                rows.push_back({text(QStringLiteral("Recolhido do local")), day(r.at.date()), {}, {}, {}, {},
                                text(m.laboratorio), m.before, text(m.unidade),
                                real(ToLotUnit(m.before.isNull() ? 0 : m.before.toDouble(), m.unidade, t.lot.unidade)),
                                text(QStringLiteral("Saldo depois: ") + FormatQuantity(m.after.toDouble()))});
            rows.push_back({text(QStringLiteral("Quarentena")), day(r.at.date()), {}, {}, {}, {},
                            text(kQualityControl), r.quarantineAfter, text(r.quarantineUnit),
                            real(ToLotUnit(r.quarantineAfter.toDouble(), r.quarantineUnit, t.lot.unidade)),
                            text(kAwaiting + QStringLiteral("; antes: ")
                                 + FormatQuantity(r.quarantineBefore.isNull() ? 0 : r.quarantineBefore.toDouble()))});
        }
        for (const RecallRow &o : dossier->otherStores)
            rows.push_back({text(QStringLiteral("Outra loja (não alterada)")), {}, {}, {}, {}, {}, text(o.laboratorio),
                            o.saldo, text(o.unidade),
                            real(ToLotUnit(o.saldo.isNull() ? 0 : o.saldo.toDouble(), o.unidade, t.lot.unidade)),
                            text(o.situacao)});
    }
    for (const PurchaseLine &p : t.purchases)
        rows.push_back({text(QStringLiteral("Nota fiscal")), day(p.data), {}, {}, {}, text(p.notaFiscal), {},
                        p.quantidade, text(p.unidade), real(p.inLotUnit), {}});
    for (const LocationBalance &b : t.locations)
        rows.push_back({text(QStringLiteral("Saldo no local")), {}, {}, {}, {}, {}, text(b.laboratorio), b.saldo,
                        text(b.unidade), real(b.inLotUnit), text(b.situacao)});
    for (const LotMovement &m : t.movements)
        rows.push_back({text(KindText(m.kind)), day(m.data), text(m.estacao), m.npedido, m.nformula,
                        text(m.notaFiscal), text(m.laboratorio), m.quantidade, text(m.unidade), real(m.inLotUnit),
                        {}});
    auto orderRows = [&](const std::vector<LotOrder> &orders, bool dispensed) {
        for (const LotOrder &o : orders)
            for (const OrderLotLine &l : o.lines) {
                const db::Value &q = l.hasLine ? l.lineQuantity : l.movedQuantity;
                const QString unit = l.hasLine ? l.lineUnit : l.movedUnit;
                rows.push_back({text(dispensed ? QStringLiteral("Pedido dispensado")
                                               : QStringLiteral("Outro tipo: ")
                                         + (o.found ? o.tipo : QStringLiteral("sem registro"))),
                                day(o.data), text(o.estacao), o.npedido, l.nformula, {}, {}, q, text(unit),
                                real(ToLotUnit(q.isNull() ? 0 : q.toDouble(), unit, t.lot.unidade)),
                                text(StateText(l.state))});
            }
    };
    orderRows(t.orders, true);
    orderRows(t.otherOrders, false);
    for (const QString &c : t.causes)
        rows.push_back({text(QStringLiteral("Causa")), {}, {}, {}, {}, {}, {}, {}, {}, {}, text(c)});
    engine.addConnection(QStringLiteral("rvdsRastreio"),
                         std::make_unique<RowsConnection>(
                             QStringList{"REGISTRO", "DATA", "ESTACAO", "NPEDIDO", "NFORMULA", "NOTAFISCAL", "LOCAL",
                                         "QUANTIDADE", "UNIDADE", "NOLOTE", "SITUACAO"},
                             std::move(rows)));
    engine.addConnection(QStringLiteral("rvdsRastreioFarmacia"),
                         std::make_unique<RowsConnection>(
                             QStringList{"IDENTIFICACAO", "RECOLHIMENTO"},
                             std::vector<std::vector<db::Value>>{{text(identification), text(recallText)}}));
    engine.addConnection(
        QStringLiteral("rvdsRastreioLote"),
        std::make_unique<RowsConnection>(
            QStringList{"DESCRICAO", "LOTE", "FORNECEDOR", "UNIDADE", "COMPRADO", "MOVIMENTADO", "SALDO", "DIFERENCA",
                        "EXPLICACAO"},
            std::vector<std::vector<db::Value>>{{text(t.lot.descricao), text(t.lot.lote), text(t.lot.fornecedor),
                                                 text(t.lot.unidade), real(t.bought), real(t.movedOut), real(t.held),
                                                 real(t.difference()), text(t.explanation())}}));
}

void ConnectOrderTrace(reports_engine::ReportEngine &engine, const OrderTrace &o)
{
    std::vector<std::vector<db::Value>> rows;
    for (const OrderComponent &c : o.components)
        rows.push_back({c.nformula, text(c.componente), text(c.lote), text(c.fornecedor), c.qdeestoque, text(c.unid),
                        text(c.moved ? c.movementDate.toString(QStringLiteral("dd/MM/yyyy")) : kNotMoved),
                        c.movedQuantity, text(c.movedUnit), text(c.laboratorio), text(StateText(c.state))});
    engine.addConnection(QStringLiteral("rvdsRastreioPedido"),
                         std::make_unique<RowsConnection>(
                             QStringList{"NFORMULA", "COMPONENTE", "LOTE", "FORNECEDOR", "QDEESTOQUE", "UNID", "BAIXA",
                                         "QUANTIDADE", "UNIDADE", "LOCAL", "SITUACAO"},
                             std::move(rows)));
    engine.addConnection(
        QStringLiteral("rvdsRastreioPedidoCab"),
        std::make_unique<RowsConnection>(
            QStringList{"PEDIDO", "DATAPEDIDO", "TIPOPEDIDO", "SEMBAIXA"},
            std::vector<std::vector<db::Value>>{{text(o.estacao + QLatin1Char('.') + QString::number(o.npedido)),
                                                 day(o.data), text(o.tipo), db::Value::integer(o.notMoved())}}));
}

} // namespace trace
