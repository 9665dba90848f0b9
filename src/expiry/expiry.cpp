#include "expiry.h"

#include "browser/stockquery.h"
#include "data/cacheddataset.h"
#include "db/connection.h"
#include "db/sqltext.h"
#include "reports/stagedreport.h"
#include "reports/unitconversion.h"
#include "platform/cp1252.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <map>

namespace expiry {

LotStockValue ValueLot(const reports::StagingProduct &p, const QString &lotUnit, double saldo)
{
    LotStockValue v;
    v.balance = saldo / reports::UnitConversionFactor(p.unid, lotUnit);
    reports::StagingRow row;
    QStringList messages;   // Summarise lists a divisor of 0 once per product
    reports::PriceNewRow(row, v.balance, p.custoUnitR, p.divisorUnid, p.precoR, p.componente, messages);
    v.unitCost = row.precoCusto.value_or(0);
    v.cost = row.estoqueCusto.value_or(0);
    v.sale = row.estoqueVenda.value_or(0);
    return v;
}

QString HorizonName(int horizon)
{
    static const char *const names[kHorizonCount] = {"Vencidos", "Até 30 dias", "31 a 60 dias", "61 a 90 dias",
                                                     "91 a 180 dias"};
    return horizon >= 0 && horizon < kHorizonCount ? QString::fromUtf8(names[horizon]) : QString();
}

int HorizonOf(int daysLeft)
{
    if (daysLeft <= 0)
        return 0;
    if (daysLeft <= 30)
        return 1;
    if (daysLeft <= 60)
        return 2;
    if (daysLeft <= 90)
        return 3;
    if (daysLeft <= kLastHorizonDays)
        return 4;
    return -1;
}

namespace {

enum LeftOut { NoBalance = 1, NoExpiry = 2, Later = 3 };

} // namespace

QString ExpiryLotStatement(const QString &labScopeClause, const QDate &today)
{
    const QString scope = browser::StoreScopeCondition(labScopeClause);
    const QString last = QLatin1Char('\'') + db::isoDate(today.addDays(kLastHorizonDays)) + QLatin1Char('\'');
    return QStringLiteral("select CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, UNIDADE, SALDOCORRENTE, VALIDADE, 0 "
                          "from ESTLOTE where ")
           + scope + QStringLiteral(" and SALDOCORRENTE > 0 and VALIDADE <= ") + last
           + QStringLiteral(" union all select cast(null as varchar(20)), '', '', '', '', '', count(*), cast(null as date), "
                            "MOTIVO from (select case when coalesce(SALDOCORRENTE, 0) <= 0 then 1 "
                            "when VALIDADE is null then 2 else 3 end as MOTIVO from ESTLOTE where ")
           + scope + QStringLiteral(" and (coalesce(SALDOCORRENTE, 0) <= 0 or VALIDADE is null or VALIDADE > ") + last
           + QStringLiteral(")) group by MOTIVO");
}

ScopeRead ReadScopeLots(db::Connection &central, const QString &labScopeClause, const QDate &today)
{
    ScopeRead read;
    db::Transaction tx(central);
    db::Cursor c = tx.open(ExpiryLotStatement(labScopeClause, today));
    while (c.next()) {
        if (c.value(0).isNull()) {
            const int count = int(c.value(6).toInt());
            switch (c.value(8).toInt()) {
            case NoBalance: read.noBalance += count; break;
            case NoExpiry: read.noExpiry += count; break;
            default: read.later += count; break;
            }
            continue;
        }
        ScopeLot l;
        l.codigo = c.value(0).toString();
        l.descricao = c.value(1).toString();
        l.lote = c.value(2).toString();
        l.fornecedor = c.value(3).toString();
        l.laboratorio = c.value(4).toString();
        l.unidade = c.value(5).toString();
        l.saldo = c.value(6).toDouble();
        l.validade = c.value(7).isNull() ? QDate() : c.value(7).toDate();
        read.lots.push_back(std::move(l));
    }
    c.close();
    tx.commit();
    return read;
}

Summary Summarise(const ScopeRead &read, const QHash<QString, reports::StagingProduct> &products,
                  const QDate &today)
{
    Summary s;
    s.noBalance = read.noBalance;
    s.noExpiry = read.noExpiry;
    s.later = read.later;
    std::map<QString, LocationRow> byLocation;   // by upper-case name
    LocationRow quarantine;
    QSet<QString> zeroListed;
    for (const ScopeLot &l : read.lots) {
        if (!(l.saldo > 0)) {
            ++s.noBalance;
            continue;
        }
        if (!l.validade.isValid()) {
            ++s.noExpiry;
            continue;
        }
        const int days = int(today.daysTo(l.validade));
        const int horizon = HorizonOf(days);
        if (horizon < 0) {
            ++s.later;
            continue;
        }
        const auto product = products.constFind(l.codigo);
        if (product == products.constEnd()) {
            ++s.notValued;
            continue;
        }
        const LotStockValue v = ValueLot(*product, l.unidade, l.saldo);
        const double cost = v.cost;
        const double sale = v.sale;
        if (product->divisorUnid == 0 && !zeroListed.contains(product->codigo)) {
            zeroListed.insert(product->codigo);
            s.divisorZero << reports::DivisorZeroMessage(product->componente);
        }
        const QString key = platform::asciiUpper(l.laboratorio.trimmed());
        const bool held = key == kQuarantineLocation;
        LocationRow &row = held ? quarantine : byLocation[key];
        // One spelling of the location whatever the order the lots were read in.
        if (row.location.isEmpty() || l.laboratorio.trimmed() > row.location)
            row.location = l.laboratorio.trimmed();
        row.cells[size_t(horizon)].add(cost, sale);
        if (!held)
            s.total[size_t(horizon)].add(cost, sale);
        s.lots.push_back(ExpiringLot{l.codigo, l.descricao, l.lote, l.fornecedor, l.laboratorio, l.unidade, l.saldo,
                                     l.validade, days, horizon, cost, sale, held});
    }
    for (auto &[key, row] : byLocation)
        s.rows.push_back(std::move(row));
    if (!quarantine.location.isEmpty())
        s.quarantine = std::move(quarantine);
    QCollator collator{QLocale(QLocale::Portuguese, QLocale::Brazil)};
    std::stable_sort(s.lots.begin(), s.lots.end(), [&](const ExpiringLot &a, const ExpiringLot &b) {
        if (a.validade != b.validade)
            return a.validade < b.validade;
        const int byName = collator.compare(a.descricao, b.descricao);
        if (byName != 0)
            return byName < 0;
        return a.lote < b.lote;
    });
    return s;
}

QString LeftOutLine(const Summary &s)
{
    return QStringLiteral("Fora da tabela: %1 lote(s) sem saldo, %2 sem validade, %3 com vencimento após %4 dias, "
                          "%5 de produtos fora do estoque físico/financeiro de manipulação.")
        .arg(s.noBalance)
        .arg(s.noExpiry)
        .arg(s.later)
        .arg(kLastHorizonDays)
        .arg(s.notValued);
}

std::vector<const ExpiringLot *> LotsOf(const Summary &s, int horizon)
{
    std::vector<const ExpiringLot *> out;
    for (const ExpiringLot &l : s.lots)
        if (l.horizon == horizon)
            out.push_back(&l);
    return out;
}

Summary LoadSummary(db::Connection &central, const QString &labScopeClause, const QString &includeDiluted,
                    const QDate &today)
{
    const ScopeRead read = ReadScopeLots(central, labScopeClause, today);
    return Summarise(read, reports::ReadManufacturingProducts(central, includeDiluted), today);
}

int LotRow(const data::CachedDataset &ESTLOTE, const ExpiringLot &lot)
{
    if (!ESTLOTE.isOpen())
        return -1;
    const int codigo = ESTLOTE.fieldIndex(QStringLiteral("CODIGO"));
    const int lote = ESTLOTE.fieldIndex(QStringLiteral("LOTE"));
    const int fornecedor = ESTLOTE.fieldIndex(QStringLiteral("FORNECEDOR"));
    const int laboratorio = ESTLOTE.fieldIndex(QStringLiteral("LABORATORIO"));
    if (codigo < 0 || lote < 0 || fornecedor < 0 || laboratorio < 0)
        return -1;
    for (int r = 0, n = ESTLOTE.rowCount(); r < n; ++r) {
        if (ESTLOTE.valueAt(r, codigo).toString() == lot.codigo && ESTLOTE.valueAt(r, lote).toString() == lot.lote
            && ESTLOTE.valueAt(r, fornecedor).toString() == lot.fornecedor
            && ESTLOTE.valueAt(r, laboratorio).toString() == lot.laboratorio)
            return r;
    }
    return -1;
}

} // namespace expiry
