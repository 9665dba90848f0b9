#include "expiryoutput.h"

#include "exports/csvexport.h"
#include "platform/operator.h"

namespace expiry {

namespace {

QString datePart(const QDate &today) { return today.toString(QStringLiteral("yy.MM.dd")); }

} // namespace

QString ExpiryCsvPath(const QDate &today)
{
    return QStringLiteral("c:\\FORMULIX\\VENCIM") + datePart(today) + QStringLiteral(".CSV");
}

QString ExpiryCsvMessage(const QDate &today)
{
    return QStringLiteral("Arquivo \"") + ExpiryCsvPath(today) + QStringLiteral("\" gerado com sucesso. \rAbra-o no Excel.");
}

QStringList ExpiryCsvLines(const Summary &s)
{
    using exports::CsvField;
    QStringList lines{kExpiryCsvHeader};
    lines.reserve(qsizetype(s.lots.size()) + 1);
    for (const ExpiringLot &l : s.lots) {
        QStringList f;
        f << CsvField(HorizonName(l.horizon)) << CsvField(l.codigo) << CsvField(l.descricao) << CsvField(l.lote)
          << CsvField(l.fornecedor) << CsvField(l.laboratorio) << exports::PlainValue(db::Value::real(l.saldo))
          << CsvField(l.unidade) << l.validade.toString(QStringLiteral("dd/MM/yyyy")) << QString::number(l.daysLeft)
          << exports::FixedDecimals(db::Value::real(l.cost), 2) << exports::FixedDecimals(db::Value::real(l.sale), 2)
          << (l.quarantine ? QStringLiteral("Sim") : QStringLiteral("Não"));
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

std::unique_ptr<reports_engine::DataConnection> SummaryConnection(const Summary &s)
{
    std::vector<std::vector<db::Value>> rows;
    const auto add = [&rows](const QString &location, const Cells &cells) {
        for (int h = 0; h < kHorizonCount; ++h) {
            const Cell &c = cells[size_t(h)];
            if (c.lots == 0)
                continue;
            rows.push_back({db::Value::text(location), db::Value::text(HorizonName(h)), db::Value::integer(c.lots),
                            db::Value::real(c.cost), db::Value::real(c.sale)});
        }
    };
    for (const LocationRow &r : s.rows)
        add(r.location, r.cells);
    add(QStringLiteral("TOTAL"), s.total);
    if (s.quarantine)
        add(s.quarantine->location, s.quarantine->cells);
    return std::make_unique<reports_engine::RowsConnection>(
        QStringList{"LOCAL", "HORIZONTE", "LOTES", "CUSTO", "VENDA"}, std::move(rows));
}

std::unique_ptr<reports_engine::DataConnection> LotsConnection(const Summary &s, int horizon)
{
    std::vector<std::vector<db::Value>> rows;
    for (const ExpiringLot *l : LotsOf(s, horizon))
        rows.push_back({db::Value::text(HorizonName(l->horizon)), db::Value::text(l->codigo),
                        db::Value::text(l->descricao), db::Value::text(l->lote), db::Value::text(l->fornecedor),
                        db::Value::text(l->laboratorio), db::Value::real(l->saldo), db::Value::text(l->unidade),
                        db::Value::date(l->validade), db::Value::integer(l->daysLeft), db::Value::real(l->cost),
                        db::Value::real(l->sale)});
    return std::make_unique<reports_engine::RowsConnection>(QStringList{"HORIZONTE", "CODIGO", "DESCRICAO", "LOTE", "FORNECEDOR",
                                                         "LABORATORIO", "SALDOCORRENTE", "UNIDADE", "VALIDADE", "DIAS",
                                                         "CUSTO", "VENDA"},
                                             std::move(rows));
}

} // namespace expiry
