#include "countoutput.h"

#include "common/csvexport.h"
#include "common/stagingprice.h"
#include "common/units.h"
#include "db/connection.h"
#include "platform/cp1252.h"
#include "platform/operator.h"

#include <QCollator>
#include <QSet>
#include <algorithm>
#include <map>

namespace stocktake {

namespace {

QString text(const db::Value &v)
{
    return v.isNull() ? QString() : v.toString();
}

QString when(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy hh:mm")) : QString();
}

double asDouble(Qty q)
{
    return double(q) / 1e8;
}

// Rounded to the power of ten between two units, in doubles: values are for reading.
double scaled(double q, int scale)
{
    double f = 1;
    for (int i = 0; i < (scale < 0 ? -scale : scale); ++i)
        f *= 10;
    return scale >= 0 ? q * f : q / f;
}

QString placeKey(const QString &s)
{
    return platform::asciiUpper(s.trimmed());
}

QString qtyCsv(Qty q)
{
    return exports::PlainValue(ValueOf(q));
}

QString money(double v)
{
    return exports::FixedDecimals(db::Value::real(v), 2);
}

} // namespace

std::vector<const Line *> SheetOrder(const std::vector<Line> &lines)
{
    std::vector<const Line *> out;
    out.reserve(lines.size());
    for (const Line &l : lines)
        out.push_back(&l);
    QCollator pt{QLocale(QLocale::Portuguese, QLocale::Brazil)};
    pt.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(out.begin(), out.end(), [&](const Line *a, const Line *b) {
        if (const int c = pt.compare(a->laboratorio, b->laboratorio))
            return c < 0;
        if (const int c = pt.compare(a->descricao, b->descricao))
            return c < 0;
        if (const int c = pt.compare(a->lote, b->lote))
            return c < 0;
        if (const int c = QString::compare(a->fornecedor, b->fornecedor))
            return c < 0;
        if (const int c = QString::compare(a->codigo, b->codigo))
            return c < 0;
        return a->linha < b->linha;
    });
    return out;
}

std::unique_ptr<reports_engine::DataConnection> SheetsConnection(const Count &count, const std::vector<Line> &lines)
{
    std::vector<std::vector<db::Value>> rows;
    for (const Line *l : SheetOrder(lines))
        rows.push_back({db::Value::text(l->laboratorio), db::Value::text(l->descricao), db::Value::text(l->codigo),
                        db::Value::text(l->lote), db::Value::text(l->fornecedor), db::Value::text(l->unidade),
                        count.blind ? db::Value() : ValueOf(l->snapshot),
                        db::Value::text(QStringLiteral("______________"))});
    return std::make_unique<reports_engine::RowsConnection>(
        QStringList{"LOCAL", "PRODUTO", "CODIGO", "LOTE", "FORNECEDOR", "UNIDADE", "SISTEMA", "CONTADO"},
        std::move(rows));
}

QStringList SheetCsvLines(const Count &count, const std::vector<Line> &lines)
{
    using exports::CsvField;
    QStringList out{count.blind ? QStringLiteral("LOCAL;PRODUTO;CÓDIGO;LOTE;FORNECEDOR;UNID.;QUANTIDADE CONTADA")
                                : QStringLiteral("LOCAL;PRODUTO;CÓDIGO;LOTE;FORNECEDOR;UNID.;SALDO NO SISTEMA;"
                                                 "QUANTIDADE CONTADA")};
    for (const Line *l : SheetOrder(lines)) {
        QStringList f{CsvField(l->laboratorio), CsvField(l->descricao), CsvField(l->codigo), CsvField(l->lote),
                      CsvField(l->fornecedor), CsvField(l->unidade)};
        if (!count.blind)
            f << qtyCsv(l->snapshot);
        f << QString();
        out << f.join(QLatin1Char(';'));
    }
    return out;
}

QString SheetCsvPath(int numero)
{
    return QStringLiteral("C:\\FORMULIX\\INVENTARIO%1_FOLHAS.CSV").arg(numero);
}

QString ReportCsvPath(int numero)
{
    return QStringLiteral("C:\\FORMULIX\\INVENTARIO%1.CSV").arg(numero);
}

QString CsvMessage(const QString &path)
{
    return QStringLiteral("Arquivo \"") + path + QStringLiteral("\" gerado com sucesso. \rAbra-o no Excel.");
}

QHash<QString, Product> ReadProducts(db::Connection &central)
{
    QHash<QString, Product> out;
    const db::Rows r = central.query(
        QStringLiteral("select CODIGO, UNID, CUSTOUNITR, DIVISORUNID, PRECOR, COMPONENTE, GRUPO from COMPONEN"));
    for (const auto &row : r.rows) {
        const QString code = text(row[0]);
        if (out.contains(code))
            continue;   // the first row of a code, as a lookup by code finds it
        out.insert(code, {text(row[1]), text(row[5]), text(row[6]), row[2].toDouble(), row[3].toDouble(),
                          row[4].toDouble()});
    }
    return out;
}

Report BuildReport(const Count &count, const std::vector<Line> &lines, const QHash<QString, Product> &products)
{
    Report rep;
    rep.count = count;
    std::map<QString, Total> byPlace, byGroup;
    QSet<QString> seenCounters, seenApprovers, seenDivisor;
    for (const Line *l : SheetOrder(lines)) {
        ReportLine rl;
        rl.line = *l;
        if (!l->counted)
            ++rep.notCounted;
        const auto p = products.constFind(l->codigo);
        if (rl.line.grupo.isEmpty() && p != products.constEnd())
            rl.line.grupo = p->grupo;
        if (p != products.constEnd()) {
            if (const std::optional<int> s = common::UnitScale(l->unidade, p->unid)) {
                reports::StagingRow row;
                QStringList messages;
                reports::PriceNewRow(row, scaled(asDouble(l->difference()), *s), p->custoUnitR, p->divisorUnid,
                                     p->precoR, p->componente, messages);
                rl.valued = true;
                rl.unitCost = row.precoCusto.value_or(0);
                rl.value = row.estoqueCusto.value_or(0);
                for (const QString &m : messages)
                    if (!seenDivisor.contains(m)) {
                        seenDivisor.insert(m);
                        rep.divisorZero << m;
                    }
            }
        }
        if (!rl.valued)
            ++rep.notValued;
        auto add = [&](Total &t, const QString &name) {
            t.name = name;
            ++t.lots;
            if (l->hasDifference())
                ++t.differences;
            t.value += rl.value;
        };
        add(byPlace[placeKey(l->laboratorio)], byPlace[placeKey(l->laboratorio)].name.isEmpty()
                                                   ? l->laboratorio
                                                   : byPlace[placeKey(l->laboratorio)].name);
        const QString g = rl.line.grupo.trimmed().isEmpty() ? QStringLiteral("(sem grupo)") : rl.line.grupo.trimmed();
        add(byGroup[placeKey(g)], byGroup[placeKey(g)].name.isEmpty() ? g : byGroup[placeKey(g)].name);
        add(rep.total, QStringLiteral("Total geral"));
        if (!l->contadoPor.isEmpty() && !seenCounters.contains(l->contadoPor)) {
            seenCounters.insert(l->contadoPor);
            rep.counters << l->contadoPor;
        }
        if (!l->aprovadoPor.isEmpty() && !seenApprovers.contains(l->aprovadoPor)) {
            seenApprovers.insert(l->aprovadoPor);
            rep.approvers << l->aprovadoPor;
        }
        rep.lines.push_back(rl);
    }
    for (auto &[k, t] : byPlace)
        rep.locations.push_back(t);
    for (auto &[k, t] : byGroup)
        rep.groups.push_back(t);
    rep.total.name = QStringLiteral("Total geral");
    return rep;
}

Pharmacy ReadPharmacy(db::Connection &central, const QString &storeCnpj)
{
    Pharmacy p;
    p.cnpj = storeCnpj.trimmed();
    const db::Rows r = central.query(QStringLiteral("select FARMACIA, CNPJ from DADOSGER where CNPJ = ?"),
                                     {db::Value::text(storeCnpj)});
    if (!r.rows.empty())
        p.farmacia = text(r.rows[0][0]).trimmed();
    return p;
}

namespace {

QString noteOf(const Report &r)
{
    QStringList notes;
    if (r.notCounted)
        notes << QStringLiteral("%1 lote(s) não contado(s)%2.")
                     .arg(r.notCounted)
                     .arg(r.count.naoContados == kKeepNotCounted ? QStringLiteral(", deixados como estavam")
                                                                 : QString());
    if (r.notValued)
        notes << QStringLiteral("%1 lote(s) sem valor (produto sem cadastro ou unidade não convertida).").arg(r.notValued);
    notes << r.divisorZero;
    return notes.join(QLatin1Char(' '));
}

QString situationText(const Count &c)
{
    return c.posted() ? QStringLiteral("Postado em ") + when(c.postadoEm) + QStringLiteral(" por ") + c.postadoPor
                      : QStringLiteral("Aberto (não postado)");
}

QString lineNote(const Line &l)
{
    QStringList n;
    if (!l.inSnapshot)
        n << QStringLiteral("fora da foto");
    if (!l.counted)
        n << QStringLiteral("não contado");
    return n.join(QStringLiteral(", "));
}

} // namespace

std::unique_ptr<reports_engine::DataConnection> HeaderConnection(const Report &r, const Pharmacy &pharmacy,
                                                                 const QString &operatorName)
{
    std::vector<std::vector<db::Value>> rows{
        {db::Value::integer(r.count.numero), db::Value::text(r.count.escopo), db::Value::text(situationText(r.count)),
         db::Value::text(when(r.count.abertoEm) + QStringLiteral(" por ") + r.count.abertoPor),
         db::Value::text(r.counters.join(QStringLiteral(", "))), db::Value::text(r.approvers.join(QStringLiteral(", "))),
         db::Value::text(noteOf(r)), db::Value::text(pharmacy.farmacia), db::Value::text(pharmacy.cnpj),
         db::Value::text(operatorName)}};
    return std::make_unique<reports_engine::RowsConnection>(
        QStringList{"NUMERO", "ESCOPO", "SITUACAO", "ABERTO", "CONTADORES", "APROVADORES", "NOTA", "FARMACIA", "CNPJ",
                    "OPERADOR"},
        std::move(rows));
}

std::unique_ptr<reports_engine::DataConnection> ReportConnection(const Report &r)
{
    std::vector<std::vector<db::Value>> rows;
    auto total = [&](const QString &label, const Total &t) {
        rows.push_back({db::Value::text(QStringLiteral("T")), db::Value(), db::Value::text(label),
                        db::Value::text(QStringLiteral("%1 lote(s), %2 com diferença").arg(t.lots).arg(t.differences)),
                        db::Value(), db::Value(), db::Value(), db::Value(), db::Value(), db::Value::real(t.value),
                        db::Value(), db::Value(), db::Value()});
    };
    QString place;
    for (size_t i = 0; i < r.lines.size(); ++i) {
        const ReportLine &rl = r.lines[i];
        const Line &l = rl.line;
        place = placeKey(l.laboratorio);
        rows.push_back({db::Value::text(QStringLiteral("L")), db::Value::text(l.laboratorio), db::Value::text(l.descricao),
                        db::Value::text(l.lote), db::Value::text(l.fornecedor), db::Value::text(l.unidade),
                        ValueOf(l.snapshot), l.counted ? ValueOf(*l.counted) : db::Value(),
                        l.counted ? ValueOf(l.difference()) : db::Value(),
                        rl.valued ? db::Value::real(rl.value) : db::Value(),
                        db::Value::text(l.motivo + (l.observacao.isEmpty() ? QString() : QStringLiteral(": ") + l.observacao)
                                        + (lineNote(l).isEmpty() ? QString() : QStringLiteral(" (") + lineNote(l) + QLatin1Char(')'))),
                        db::Value::text(l.contadoPor), db::Value::text(l.aprovadoPor)});
        const bool last = i + 1 == r.lines.size() || placeKey(r.lines[i + 1].line.laboratorio) != place;
        if (last)
            for (const Total &t : r.locations)
                if (placeKey(t.name) == place)
                    total(QStringLiteral("Total de ") + t.name, t);
    }
    for (const Total &t : r.groups)
        total(QStringLiteral("Total do grupo ") + t.name, t);
    total(r.total.name, r.total);
    return std::make_unique<reports_engine::RowsConnection>(
        QStringList{"TIPO", "LOCAL", "PRODUTO", "LOTE", "FORNECEDOR", "UNIDADE", "FOTO", "CONTADO", "DIFERENCA", "VALOR",
                    "MOTIVO", "CONTADOPOR", "APROVADOPOR"},
        std::move(rows));
}

QStringList ReportCsvLines(const Report &r)
{
    using exports::CsvField;
    QStringList out{QStringLiteral("LOCAL;PRODUTO;CÓDIGO;LOTE;FORNECEDOR;GRUPO;UNID.;SALDO NA FOTO;CONTADO;DIFERENÇA;"
                                   "CUSTO UNIT.;VALOR DA DIFERENÇA;MOTIVO;OBSERVAÇÃO;CONTADO POR;CONTADO EM;"
                                   "APROVADO POR;SALDO ANTES;SALDO DEPOIS;OBS. DA LINHA")};
    for (const ReportLine &rl : r.lines) {
        const Line &l = rl.line;
        out << QStringList{CsvField(l.laboratorio), CsvField(l.descricao), CsvField(l.codigo), CsvField(l.lote),
                           CsvField(l.fornecedor), CsvField(l.grupo), CsvField(l.unidade), qtyCsv(l.snapshot),
                           l.counted ? qtyCsv(*l.counted) : QString(), l.counted ? qtyCsv(l.difference()) : QString(),
                           rl.valued ? exports::PlainValue(db::Value::real(rl.unitCost)) : QString(),
                           rl.valued ? money(rl.value) : QString(), CsvField(l.motivo), CsvField(l.observacao),
                           CsvField(l.contadoPor), when(l.contadoEm), CsvField(l.aprovadoPor),
                           l.saldoAntes ? qtyCsv(*l.saldoAntes) : QString(),
                           l.saldoDepois ? qtyCsv(*l.saldoDepois) : QString(), CsvField(lineNote(l))}
                   .join(QLatin1Char(';'));
    }
    auto total = [&](const QString &label, const Total &t) {
        out << QStringList{QString(), CsvField(label), QString(), QString(), QString(), QString(), QString(),
                           QString(), QString::number(t.lots), QString::number(t.differences), QString(), money(t.value)}
                   .join(QLatin1Char(';'));
    };
    for (const Total &t : r.locations)
        total(QStringLiteral("Total de ") + t.name, t);
    for (const Total &t : r.groups)
        total(QStringLiteral("Total do grupo ") + t.name, t);
    total(r.total.name, r.total);
    return out;
}

void WriteCsv(const platform::WinPaths &paths, const QString &windowsPath, const QStringList &lines,
              platform::Operator &op)
{
    try {
        exports::WriteCsvFile(paths, windowsPath, lines);
    } catch (const exports::ExportError &e) {
        op.error(e.message());
        return;
    }
    op.inform(CsvMessage(windowsPath));
}

} // namespace stocktake
