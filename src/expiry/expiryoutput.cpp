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

QStringList ExpiryCsvLines(const Summary &s)
{
    using exports::CsvField;
    QStringList lines{kExpiryCsvHeader};
    lines.reserve(qsizetype(s.lots.size()) + 1);
    const auto money = [](double v) { return exports::FixedDecimals(db::Value::real(v), 2); };
    for (const ExpiringLot &l : s.lots) {
        QStringList f;
        f << CsvField(HorizonName(l.horizon)) << CsvField(l.codigo) << CsvField(l.descricao) << CsvField(l.grupo)
          << CsvField(l.lote) << CsvField(l.fornecedor) << CsvField(l.laboratorio) << CsvField(l.situacao)
          << exports::PlainValue(db::Value::real(l.saldo)) << CsvField(l.unidade)
          << l.validade.toString(QStringLiteral("dd/MM/yyyy")) << QString::number(l.daysLeft);
        if (l.valued)
            f << money(l.cost) << money(l.sale);
        else
            f << (l.registered ? kUnitNotConvertedText : kNotRegisteredText) << QString();
        f << yesNo(l.quarantine()) << yesNo(l.shared()) << (l.registered ? yesNo(!l.outsideReports) : QString());
        f << (l.projected ? exports::PlainValue(db::Value::real(l.leftover)) : QString())
          << (l.projected && l.valued ? money(l.leftoverCost) : QString());
        lines << f.join(QLatin1Char(';'));
    }
    return lines;
}

void ExportExpiry(const Summary &s, const platform::WinPaths &paths, const QDate &today, platform::Operator &op)
{
    try {
        exports::WriteCsvFile(paths, ExpiryCsvPath(today), ExpiryCsvLines(s));
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
                          "lotes utilizáveis da loja na ordem dos vencimentos.")
        .arg(s.useWindowDays);
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
