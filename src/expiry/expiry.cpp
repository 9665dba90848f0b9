#include "expiry.h"

#include "common/stagingprice.h"
#include "common/stockquery.h"
#include "common/units.h"
#include "data/cacheddataset.h"
#include "db/connection.h"
#include "db/sqltext.h"
#include "platform/cp1252.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <map>

namespace expiry {

namespace {

// A text column as the server compares it: blanks at the end do not count.
QString comparable(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == u' ')
        --n;
    return text.left(n);
}

// q expressed through a power of ten, dividing for negative powers so that 1500 mg is 1.5 g
// to the last bit, as the manufacturing report's division gives it.
double scaled(double q, int scale)
{
    return scale >= 0 ? q * std::pow(10.0, scale) : q / std::pow(10.0, -scale);
}

} // namespace

QString ExpiryProductStatement()
{
    return QStringLiteral("select CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, PRECOR, "
                          "case when FATORDILUICAO = 1 then 1 else 0 end from COMPONEN");
}

ExpiryProduct MakeProduct(const QString &codigo, const QString &componente, const QString &grupo, const QString &unid,
                          double custoUnitR, double divisorUnid, double precoR, bool fatorDiluicaoIsOne,
                          const QString &includeDiluted)
{
    ExpiryProduct p{codigo, componente, grupo, unid, custoUnitR, divisorUnid, precoR};
    // The two reports' product choices, as the server evaluates them: a group that is null
    // passes neither "<>" nor "=".
    const QString group = comparable(grupo);
    const bool hasGroup = !grupo.isNull();
    p.resale = hasGroup && platform::asciiUpper(group) == QLatin1String("REV");
    bool manufacturing;
    if (platform::asciiUpper(includeDiluted.left(1)) == QLatin1String("N"))
        manufacturing = fatorDiluicaoIsOne && hasGroup && group != QLatin1String("REV");
    else
        manufacturing = hasGroup && group != QLatin1String("REV") && platform::asciiUpper(group) != QLatin1String("HOM");
    p.inStockReports = manufacturing || p.resale;
    return p;
}

QHash<QString, ExpiryProduct> ReadExpiryProducts(db::Connection &central, const QString &includeDiluted)
{
    QHash<QString, ExpiryProduct> products;
    db::Transaction tx(central);
    db::Cursor c = tx.open(ExpiryProductStatement());
    while (c.next()) {
        const QString codigo = c.value(0).isNull() ? QString() : c.value(0).toString();
        if (products.contains(codigo))
            continue;   // the first row found for a code, as a lookup by code would give
        const auto text = [&c](int i) { return c.value(i).isNull() ? QString() : c.value(i).toString(); };
        products.insert(codigo, MakeProduct(codigo, text(1), text(2), text(3), c.value(4).toDouble(),
                                            c.value(5).toDouble(), c.value(6).toDouble(), c.value(7).toInt() == 1,
                                            includeDiluted));
    }
    c.close();
    tx.commit();
    return products;
}

LotStockValue ValueLot(const ExpiryProduct &p, const QString &lotUnit, double saldo)
{
    LotStockValue v;
    const std::optional<int> scale = common::UnitScale(lotUnit, p.unid);
    if (!scale)
        return v;
    v.converted = true;
    v.balance = scaled(saldo, *scale);
    reports::StagingRow row;
    QStringList messages;   // Summarise lists a divisor of 0 once per product
    if (p.resale)
        reports::PriceResaleRow(row, v.balance, p.custoUnitR, p.divisorUnid, p.precoR);
    else
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

QSet<QString> QuarantineSituations(const QStringList &configured)
{
    QSet<QString> out{platform::asciiUpper(kWaitingSituation)};
    for (const QString &s : configured) {
        const QString folded = platform::asciiUpper(s.trimmed());
        if (!folded.isEmpty())
            out.insert(folded);
    }
    return out;
}

QString ExpiryLotStatement(const QString &labScopeClause, const QDate &today)
{
    const QString scope = browser::StoreScopeCondition(labScopeClause);
    const QString last = QLatin1Char('\'') + db::isoDate(today.addDays(kLastHorizonDays)) + QLatin1Char('\'');
    return QStringLiteral("select CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, UNIDADE, SALDOCORRENTE, VALIDADE, "
                          "SITUACAO, 0 from ESTLOTE where ")
           + scope + QStringLiteral(" and SALDOCORRENTE > 0 and VALIDADE <= ") + last
           + QStringLiteral(" union all select cast(null as varchar(20)), '', '', '', '', '', count(*), cast(null as date), "
                            "'', MOTIVO from (select case when coalesce(SALDOCORRENTE, 0) <= 0 then 1 "
                            "when VALIDADE is null then 2 else 3 end as MOTIVO from ESTLOTE where ")
           + scope + QStringLiteral(" and (coalesce(SALDOCORRENTE, 0) <= 0 or VALIDADE is null or VALIDADE > ") + last
           + QStringLiteral(")) group by MOTIVO");
}

ScopeRead ReadScopeLots(db::Connection &central, const QString &labScopeClause, const QDate &today)
{
    ScopeRead read;
    db::Transaction tx(central);
    db::Cursor c = tx.open(ExpiryLotStatement(labScopeClause, today));
    const auto text = [&c](int i) { return c.value(i).isNull() ? QString() : c.value(i).toString(); };
    while (c.next()) {
        if (c.value(0).isNull()) {
            const int count = int(c.value(6).toInt());
            switch (c.value(9).toInt()) {
            case NoBalance: read.noBalance += count; break;
            case NoExpiry: read.noExpiry += count; break;
            default: read.later += count; break;
            }
            continue;
        }
        ScopeLot l;
        l.codigo = text(0);
        l.descricao = text(1);
        l.lote = text(2);
        l.fornecedor = text(3);
        l.laboratorio = text(4);
        l.unidade = text(5);
        l.saldo = c.value(6).toDouble();
        l.validade = c.value(7).isNull() ? QDate() : c.value(7).toDate();
        l.situacao = text(8);
        read.lots.push_back(std::move(l));
    }
    c.close();
    tx.commit();
    return read;
}

QString StoreStationsStatement(const QString &storeCnpj)
{
    return QStringLiteral("select distinct substring(ESTACAO from 1 for 2) from ESTACOES where CNPJ = ") + db::quoted(storeCnpj);
}

QString UseStatement(const QStringList &stations, const QDate &today, int windowDays)
{
    QStringList quoted;
    for (const QString &s : stations)
        quoted << db::quoted(s);
    return QStringLiteral("select c.CODIGOCOMP, c.UNID, sum(c.QDEESTOQUE) from PEDIDOS p join COMPEDID c on "
                          "c.ESTACAO = p.ESTACAO and c.NPEDIDO = p.NPEDIDO where p.TIPOPEDIDO = 'Pedido' and "
                          "p.DATAPEDIDO > '")
           + db::isoDate(today.addDays(-windowDays)) + QStringLiteral("' and p.DATAPEDIDO <= '") + db::isoDate(today)
           + QStringLiteral("' and c.QDEESTOQUE > 0 and p.ESTACAO in (") + quoted.join(QStringLiteral(", "))
           + QStringLiteral(") group by c.CODIGOCOMP, c.UNID");
}

std::vector<UseTotal> ReadUse(db::Connection &central, const QString &storeCnpj, const QDate &today, int windowDays)
{
    std::vector<UseTotal> use;
    db::Transaction tx(central);
    QStringList stations;
    {
        db::Cursor c = tx.open(StoreStationsStatement(storeCnpj));
        while (c.next())
            if (!c.value(0).isNull())
                stations << c.value(0).toString();
        c.close();
    }
    if (!stations.isEmpty()) {
        db::Cursor c = tx.open(UseStatement(stations, today, windowDays));
        while (c.next())
            use.push_back({c.value(0).isNull() ? QString() : c.value(0).toString(),
                           c.value(1).isNull() ? QString() : c.value(1).toString(), c.value(2).toDouble()});
        c.close();
    }
    tx.commit();
    return use;
}

void AddCells(Cells &to, const Cells &from)
{
    for (size_t h = 0; h < to.size(); ++h)
        to[h].add(from[h]);
}

namespace {

// The unit quantities of one kind are drawn against each other in: grams, millilitres or
// units for the table's codes; any other code stands alone, in any letter case.
struct UnitBase {
    QString key;
    int scale = 0;   // from the unit to the key's
};

UnitBase baseOf(const QString &unit)
{
    for (const char *base : {"G", "ML", "UN"}) {
        const QString key = QLatin1String(base);
        if (const std::optional<int> s = common::UnitScale(unit, key))
            return {key, *s};
    }
    return {common::FoldUnit(unit), 0};
}

// First expiry first out at a steady daily pace: each usable lot, soonest first, gives what is
// used from the day the lots before it ran out until its expiry day (a lot is no longer used
// on that day, as the stock reports no longer count it); the rest is left at its expiry.
void projectLeftovers(std::vector<ExpiringLot> &lots, const std::vector<UseTotal> &use, int windowDays)
{
    // Daily use per product and unit kind.
    QHash<QString, QHash<QString, double>> daily;
    for (const UseTotal &u : use) {
        const UnitBase b = baseOf(u.unidade);
        daily[u.codigo][b.key] += scaled(u.quantity, b.scale) / double(std::max(windowDays, 1));
    }
    // The store's usable lots of each product and kind, soonest first.
    std::map<std::pair<QString, QString>, std::vector<size_t>> groups;
    for (size_t i = 0; i < lots.size(); ++i) {
        if (lots[i].place != Place::Usable)
            continue;
        groups[{lots[i].codigo, baseOf(lots[i].unidade).key}].push_back(i);
    }
    for (auto &[key, members] : groups) {
        std::stable_sort(members.begin(), members.end(), [&](size_t a, size_t b) {
            if (lots[a].validade != lots[b].validade)
                return lots[a].validade < lots[b].validade;
            if (lots[a].laboratorio != lots[b].laboratorio)
                return lots[a].laboratorio < lots[b].laboratorio;
            return lots[a].lote < lots[b].lote;
        });
        const auto product = daily.constFind(key.first);
        const double pace = product == daily.constEnd() ? 0 : product->value(key.second, 0);
        double day = 0;   // when the lots before this one run out, in days from today
        for (size_t i : members) {
            ExpiringLot &l = lots[i];
            const int s = baseOf(l.unidade).scale;
            const double balance = scaled(l.saldo, s);
            double used = 0;
            if (pace > 0 && l.daysLeft > day) {
                used = std::min(balance, pace * (double(l.daysLeft) - day));
                day += used / pace;
            }
            l.projected = true;
            // Back in the lot's unit; what is all used leaves exactly nothing.
            l.leftover = used >= balance ? 0 : scaled(balance - used, -s);
        }
    }
}

} // namespace

Summary Summarise(const ScopeRead &read, const QHash<QString, ExpiryProduct> &products,
                  const std::vector<UseTotal> &use, const QSet<QString> &quarantineSituations, const QDate &today,
                  int useWindowDays)
{
    Summary s;
    s.noBalance = read.noBalance;
    s.noExpiry = read.noExpiry;
    s.later = read.later;
    s.useWindowDays = useWindowDays;
    std::map<QString, LocationRow> byLocation, sharedByLocation;   // by upper-case name
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
        ExpiringLot e;
        e.codigo = l.codigo;
        e.descricao = l.descricao;
        e.lote = l.lote;
        e.fornecedor = l.fornecedor;
        e.laboratorio = l.laboratorio;
        e.unidade = l.unidade;
        e.situacao = l.situacao;
        e.saldo = l.saldo;
        e.validade = l.validade;
        e.daysLeft = days;
        e.horizon = horizon;
        const QString key = platform::asciiUpper(l.laboratorio.trimmed());
        if (key == kQualityControlLocation || key == kInTransitLocation)
            e.place = Place::Shared;
        else if (quarantineSituations.contains(platform::asciiUpper(l.situacao.trimmed())))
            e.place = Place::Quarantine;
        const auto product = products.constFind(l.codigo);
        if (product != products.constEnd()) {
            e.registered = true;
            e.grupo = product->grupo;
            e.outsideReports = !product->inStockReports;
            const LotStockValue v = ValueLot(*product, l.unidade, l.saldo);
            e.valued = v.converted;
            e.cost = v.cost;
            e.sale = v.sale;
            if (v.converted && product->divisorUnid == 0 && !zeroListed.contains(product->codigo)) {
                zeroListed.insert(product->codigo);
                s.divisorZero << reports::DivisorZeroMessage(product->componente);
            }
        }
        if (!e.registered)
            ++s.notRegistered;
        else if (!e.valued)
            ++s.unitNotConverted;
        if (e.valued) {
            if (e.outsideReports)
                ++s.outsideReports;
            if (e.place == Place::Shared) {
                LocationRow &row = sharedByLocation[key];
                // One spelling of the location whatever the order the lots were read in.
                if (row.location.isEmpty() || l.laboratorio.trimmed() > row.location)
                    row.location = l.laboratorio.trimmed();
                row.cells[size_t(horizon)].add(e.cost, e.sale);
                s.total[size_t(horizon)].add(e.cost, e.sale);
            } else {
                if (e.place == Place::Quarantine) {
                    s.quarantine[size_t(horizon)].add(e.cost, e.sale);
                } else {
                    LocationRow &row = byLocation[key];
                    if (row.location.isEmpty() || l.laboratorio.trimmed() > row.location)
                        row.location = l.laboratorio.trimmed();
                    row.cells[size_t(horizon)].add(e.cost, e.sale);
                    s.usable[size_t(horizon)].add(e.cost, e.sale);
                }
                s.store[size_t(horizon)].add(e.cost, e.sale);
                s.total[size_t(horizon)].add(e.cost, e.sale);
            }
        }
        s.lots.push_back(std::move(e));
    }
    for (auto &[key, row] : byLocation)
        s.rows.push_back(std::move(row));
    for (auto &[key, row] : sharedByLocation)
        s.shared.push_back(std::move(row));

    projectLeftovers(s.lots, use, useWindowDays);
    for (ExpiringLot &e : s.lots) {
        if (!e.projected || !e.valued)
            continue;
        // The leftover valued by the lot's own rule: the share of the lot's value it is.
        const ExpiryProduct &p = *products.constFind(e.codigo);
        const LotStockValue v = ValueLot(p, e.unidade, e.leftover);
        e.leftoverCost = v.cost;
        e.leftoverSale = v.sale;
        if (e.leftover > 0)
            s.leftover[size_t(e.horizon)].add(e.leftoverCost, e.leftoverSale);
    }

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

QString LeftOutCounts(const Summary &s)
{
    return QStringLiteral("Fora da tabela: %1 lote(s) sem saldo, %2 sem validade, %3 com vencimento após %4 dias, "
                          "%5 em unidade não convertida, %6 de produto sem cadastro.")
        .arg(s.noBalance)
        .arg(s.noExpiry)
        .arg(s.later)
        .arg(kLastHorizonDays)
        .arg(s.unitNotConverted)
        .arg(s.notRegistered);
}

QString OutsideReportsLine(const Summary &s)
{
    return QStringLiteral("Listados e valorizados fora dos relatórios de estoque físico/financeiro: %1 lote(s).")
        .arg(s.outsideReports);
}

QString LeftOutLine(const Summary &s)
{
    return LeftOutCounts(s) + QLatin1Char(' ') + OutsideReportsLine(s);
}

std::vector<const ExpiringLot *> LotsOf(const Summary &s, int horizon)
{
    std::vector<const ExpiringLot *> out;
    for (const ExpiringLot &l : s.lots)
        if (l.horizon == horizon)
            out.push_back(&l);
    return out;
}

Summary LoadSummary(db::Connection &central, const LoadOptions &o, const QDate &today)
{
    const ScopeRead read = ReadScopeLots(central, o.labScopeClause, today);
    const QHash<QString, ExpiryProduct> products = ReadExpiryProducts(central, o.includeDiluted);
    const std::vector<UseTotal> use = ReadUse(central, o.storeCnpj, today, o.useWindowDays);
    return Summarise(read, products, use, QuarantineSituations(o.quarantineSituations), today, o.useWindowDays);
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
