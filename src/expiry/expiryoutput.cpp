#include "expiryoutput.h"

#include "common/csvexport.h"
#include "platform/operator.h"

namespace expiry {

namespace {

QString datePart(const QDate &today) { return today.toString(QStringLiteral("yy.MM.dd")); }

QString yesNo(bool b) { return b ? QStringLiteral("Sim") : QStringLiteral("Não"); }

db::Value optionalReal(bool present, double v) { return present ? db::Value::real(v) : db::Value(); }

} // namespace

QString ExpiryCsvPath(const QDate &today)
{
    return QStringLiteral("c:\\FORMULIX\\VENCIM") + datePart(today) + QStringLiteral(".CSV");
}

QString ExpiryCsvMessage(const QDate &today)
{
    return QStringLiteral("Arquivo \"") + ExpiryCsvPath(today) + QStringLiteral("\" gerado com sucesso. \rAbra-o no Excel.");
}

QString LotNote(const ExpiringLot &l)
{
    QStringList notes;
    if (!l.registered)
        notes << kNotRegisteredText;
    else if (!l.valued)
        notes << kUnitNotConvertedText;
    if (l.shared())
        notes << QStringLiteral("compartilhado");
    if (l.quarantine())
        notes << QStringLiteral("quarentena");
    if (l.registered && l.outsideReports)
        notes << QStringLiteral("fora dos relatórios");
    return notes.join(QStringLiteral(", "));
}

QByteArray ExpiryCsvBytes(const Summary &s)
{
    exports::CsvBuilder out(qsizetype(s.lots.size()) * 160 + 512);
    out.line(kExpiryCsvHeader);
    for (const ExpiringLot &l : s.lots) {
        out.text(HorizonName(l.horizon)).text(l.codigo).text(l.descricao).text(l.grupo).text(l.lote).text(l.fornecedor)
            .text(l.laboratorio).text(l.situacao).bare(db::Value::real(l.saldo)).text(l.unidade)
            .bare(db::Value::date(l.validade)).bare(db::Value::integer(l.daysLeft));
        if (l.valued)
            out.fixed(db::Value::real(l.cost), 2).fixed(db::Value::real(l.sale), 2);
        else
            out.bare(l.registered ? kUnitNotConvertedText : kNotRegisteredText).empty();
        out.bare(yesNo(l.quarantine())).bare(yesNo(l.shared()));
        if (l.registered)
            out.bare(yesNo(!l.outsideReports));
        else
            out.empty();
        if (l.projected)
            out.bare(db::Value::real(l.leftover));
        else
            out.empty();
        if (l.projected && l.valued)
            out.fixed(db::Value::real(l.leftoverCost), 2);
        else
            out.empty();
        out.endLine();
    }
    return out.take();
}

void ExportExpiry(const Summary &s, const platform::WinPaths &paths, const QDate &today, platform::Operator &op)
{
    try {
        exports::WriteCsvBytes(paths, ExpiryCsvPath(today), ExpiryCsvBytes(s));
    } catch (const exports::ExportError &e) {
        op.error(e.message());
        return;
    }
    op.inform(ExpiryCsvMessage(today));
}

std::vector<TableRow> TableRows(const Summary &s)
{
    std::vector<TableRow> out;
    for (const LocationRow &r : s.rows)
        out.push_back({r.location, &r.cells, false});
    out.push_back({kUsableRowName, &s.usable, true});
    bool quarantined = false;
    for (const Cell &c : s.quarantine)
        quarantined = quarantined || c.lots > 0;
    if (quarantined)
        out.push_back({kQuarantineRowName, &s.quarantine, false});
    out.push_back({kStoreTotalName, &s.store, true});
    for (const LocationRow &r : s.shared)
        out.push_back({r.location + kSharedSuffix, &r.cells, false});
    out.push_back({kGrandTotalName, &s.total, true});
    if (s.projectionReady)
        out.push_back({kLeftoverRowName, &s.leftover, false});
    return out;
}

std::unique_ptr<reports_engine::DataConnection> SummaryConnection(const Summary &s)
{
    std::vector<std::vector<db::Value>> rows;
    for (const TableRow &t : TableRows(s)) {
        for (int h = 0; h < kHorizonCount; ++h) {
            const Cell &c = (*t.cells)[size_t(h)];
            if (c.lots == 0)
                continue;
            rows.push_back({db::Value::text(t.name), db::Value::text(HorizonName(h)), db::Value::integer(c.lots),
                            db::Value::real(c.cost), db::Value::real(c.sale)});
        }
    }
    return std::make_unique<reports_engine::RowsConnection>(
        QStringList{"LOCAL", "HORIZONTE", "LOTES", "CUSTO", "VENDA"}, std::move(rows));
}

std::unique_ptr<reports_engine::DataConnection> LotsConnection(const Summary &s, int horizon)
{
    std::vector<std::vector<db::Value>> rows;
    for (const ExpiringLot *l : LotsOf(s, horizon))
        rows.push_back({db::Value::text(HorizonName(l->horizon)), db::Value::text(l->codigo),
                        db::Value::text(l->descricao), db::Value::text(l->grupo), db::Value::text(l->lote),
                        db::Value::text(l->fornecedor), db::Value::text(l->laboratorio), db::Value::text(l->situacao),
                        db::Value::real(l->saldo), db::Value::text(l->unidade), db::Value::date(l->validade),
                        db::Value::integer(l->daysLeft), optionalReal(l->valued, l->cost),
                        optionalReal(l->valued, l->sale), optionalReal(l->projected, l->leftover),
                        optionalReal(l->projected && l->valued, l->leftoverCost), db::Value::text(LotNote(*l))});
    return std::make_unique<reports_engine::RowsConnection>(
        QStringList{"HORIZONTE", "CODIGO", "DESCRICAO", "GRUPO", "LOTE", "FORNECEDOR", "LABORATORIO", "SITUACAO",
                    "SALDOCORRENTE", "UNIDADE", "VALIDADE", "DIAS", "CUSTO", "VENDA", "SOBRA", "CUSTOSOBRA", "NOTA"},
        std::move(rows));
}

QString ProjectionNote(const Summary &s)
{
    return QStringLiteral("Sobra prevista no vencimento: o uso dos últimos %1 dias nos pedidos da loja, tirado dos "
                          "lotes utilizáveis da loja na ordem dos vencimentos; lotes em quarentena e dos locais "
                          "compartilhados ficam fora da projeção.")
               .arg(s.useWindowDays)
        + (s.useLinesNotConverted ? QLatin1Char(' ') + UseNotConvertedLine(s) : QString());
}

std::unique_ptr<reports_engine::DataConnection> HeaderConnection(const Summary &s, const QString &operatorName)
{
    std::vector<std::vector<db::Value>> rows{{db::Value::text(operatorName), db::Value::text(LeftOutCounts(s)),
                                              db::Value::text(OutsideReportsLine(s)),
                                              db::Value::text(s.divisorZero.join(QLatin1Char(' '))),
                                              db::Value::text(ProjectionNote(s))}};
    return std::make_unique<reports_engine::RowsConnection>(QStringList{"OPERADOR", "FORA", "FORARELATORIOS", "DIVISOR", "SOBRA"},
                                                            std::move(rows));
}

} // namespace expiry
