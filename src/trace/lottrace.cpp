// Lot and order traces: a fixed handful of statements, whatever the length of the history.
#include "lottrace.h"

#include "db/connection.h"
#include "exports/csvexport.h"
#include "exports/deductionaudit.h"
#include "platform/cp1252.h"
#include "platform/numberformat.h"
#include "reports/unitconversion.h"

#include <QHash>
#include <cmath>

namespace trace {

namespace {

QString cell(const std::vector<db::Value> &row, int column)
{
    const db::Value &v = row[size_t(column)];
    return v.isNull() ? QString() : v.toString().trimmed();
}

double number(const db::Value &v)
{
    return v.isNull() ? 0 : v.toDouble();
}

double round5(double v)
{
    const double r = std::round(v * 100000.0) / 100000.0;
    return r == 0 ? 0 : r;   // no "-0"
}

QString plainQuantity(double v)
{
    return exports::FixedDecimals(db::Value::real(round5(v)), 5);
}

QString dateText(const QDate &d)
{
    return platform::FormatDate(QStringLiteral("dd/MM/yyyy"), d);
}

} // namespace

QString KindText(MovementKind kind)
{
    switch (kind) {
    case MovementKind::Order:
        return QStringLiteral("Pedido");
    case MovementKind::Loss:
        return QStringLiteral("Perda");
    case MovementKind::QualityControl:
        return QStringLiteral("Controle de qualidade");
    case MovementKind::Purchase:
        return QStringLiteral("Compra");
    case MovementKind::Other:
        break;
    }
    return QStringLiteral("Outro");
}

MovementKind KindOf(const db::Value &npedido, const db::Value &codperda, const db::Value &codigocq,
                    const db::Value &codcompra)
{
    if (!npedido.isNull())
        return MovementKind::Order;
    if (!codperda.isNull() && !codperda.toString().trimmed().isEmpty())
        return MovementKind::Loss;
    if (!codigocq.isNull())
        return MovementKind::QualityControl;
    if (!codcompra.isNull())
        return MovementKind::Purchase;
    return MovementKind::Other;
}

double ToLotUnit(double quantity, const QString &from, const QString &to)
{
    return quantity * reports::UnitConversionFactor(from.trimmed().toLower(), to.trimmed().toLower());
}

double LotTrace::difference() const
{
    return round5(held - (bought - movedOut));
}

QString LotTrace::explanation() const
{
    const double d = difference();
    if (d == 0)
        return QString();
    const QString amount = FormatQuantity(std::fabs(d)) + QLatin1Char(' ') + lot.unidade;
    if (d > 0)
        return QStringLiteral("Os locais têm ") + amount
            + QStringLiteral(" a mais do que o comprado menos o movimentado: entrou estoque deste lote sem "
                             "nota fiscal registrada, ou uma saída foi lançada sem que o estoque baixasse.");
    return QStringLiteral("Os locais têm ") + amount
        + QStringLiteral(" a menos do que o comprado menos o movimentado: houve saída deste lote sem "
                         "movimento registrado, ou o saldo foi ajustado à mão.");
}

QString FormatQuantity(double value)
{
    return platform::FormatNumber(QStringLiteral("#,###,##0.00000"), round5(value));
}

LotTrace ReadLotTrace(db::Connection &central, const LotKey &lot)
{
    LotTrace t;
    t.lot = lot;
    // Movements name the product as the order lines do (folded) or as the lot does, and carry its code.
    const db::Value name = db::Value::text(platform::asciiUpper(lot.descricao));
    const db::Value folded = db::Value::text(platform::asciiUpper(exports::FoldProductName(lot.descricao)));
    const db::Value lote = db::Value::text(lot.lote);
    const db::Value supplier = db::Value::text(platform::asciiUpper(lot.fornecedor));
    db::Transaction tx(central);

    // Where it came from: the purchase lines, by the product-and-lot index of the invoices.
    const db::Rows purchases = tx.query(
        QStringLiteral("select NOTAFISCAL, DATA, QUANTIDADE, UNIDADE from COMPRAS where COMPONENTE = ? and LOTE = ? "
                       "and upper(FORNECEDOR) = ? order by DATA, CODCOMPRA"),
        {db::Value::text(lot.descricao), lote, supplier});
    for (const auto &r : purchases.rows) {
        PurchaseLine p;
        p.notaFiscal = cell(r, 0);
        p.data = r[1].toDate();
        p.quantidade = r[2];
        p.unidade = cell(r, 3);
        p.inLotUnit = ToLotUnit(number(p.quantidade), p.unidade, lot.unidade);
        t.bought += p.inLotUnit;
        t.purchases.push_back(std::move(p));
    }

    // Where it is now: every location holding the lot.
    const db::Rows locations = tx.query(
        QStringLiteral("select LABORATORIO, SALDOCORRENTE, UNIDADE from ESTLOTE where CODIGO = ? and LOTE = ? "
                       "and upper(FORNECEDOR) = ? order by LABORATORIO"),
        {db::Value::text(lot.codigo), lote, supplier});
    for (const auto &r : locations.rows) {
        LocationBalance b;
        b.laboratorio = cell(r, 0);
        b.saldo = r[1];
        b.unidade = cell(r, 2);
        b.inLotUnit = ToLotUnit(number(b.saldo), b.unidade, lot.unidade);
        t.held += b.inLotUnit;
        t.locations.push_back(std::move(b));
    }

    // Where it went: the movements through the lot index, each with its order when it has one.
    const db::Rows moves = tx.query(
        QStringLiteral("select M.DATA, M.ESTACAO, M.NPEDIDO, M.NFORMULA, M.CODPERDA, M.CODIGOCQ, M.CODCOMPRA, "
                       "M.QUANTIDADE, M.UNIDADE, M.LABORATORIO, M.NNOTAFISCAL, P.DATAPEDIDO, P.TIPOPEDIDO "
                       "from MOVEST M left join PEDIDOS P on P.ESTACAO = M.ESTACAO and P.NPEDIDO = M.NPEDIDO "
                       "where M.LOTE = ? and upper(M.FORNECEDOR) = ? "
                       "and (M.CODPROD = ? or upper(M.DESCRICAO) = ? or upper(M.DESCRICAO) = ?) "
                       "order by M.DATA, M.CODMOVEST"),
        {lote, supplier, db::Value::text(lot.codigo), name, folded});
    tx.commit();
    QHash<QString, bool> seen;
    for (const auto &r : moves.rows) {
        LotMovement m;
        m.data = r[0].toDate();
        m.estacao = cell(r, 1);
        m.npedido = r[2];
        m.nformula = r[3];
        m.kind = KindOf(r[2], r[4], r[5], r[6]);
        m.quantidade = r[7];
        m.unidade = cell(r, 8);
        m.laboratorio = cell(r, 9);
        m.notaFiscal = cell(r, 10);
        m.inLotUnit = ToLotUnit(number(m.quantidade), m.unidade, lot.unidade);
        if (m.kind != MovementKind::Purchase)
            t.movedOut += m.inLotUnit;
        if (m.kind == MovementKind::Order) {
            const QString key = m.estacao + QLatin1Char('.') + m.npedido.toString();
            if (!seen.contains(key)) {
                seen.insert(key, true);
                t.orders.push_back({m.estacao, cell(r, 12), m.npedido, r[11].toDate()});
            }
        }
        t.movements.push_back(std::move(m));
    }
    return t;
}

QStringList LotTraceLines(const LotTrace &t)
{
    using exports::CsvField;
    const QString front = CsvField(t.lot.descricao) + QLatin1Char(';') + CsvField(t.lot.lote) + QLatin1Char(';')
        + CsvField(t.lot.fornecedor) + QLatin1Char(';');
    auto line = [&](const QString &what, const QDate &date, const QString &estacao, const db::Value &npedido,
                    const db::Value &nformula, const QString &nf, const QString &local, const db::Value &qty,
                    const QString &unit, double inLot) {
        return front
            + QStringList{CsvField(what), dateText(date), CsvField(estacao), exports::PlainValue(npedido),
                          exports::PlainValue(nformula), CsvField(nf), CsvField(local),
                          qty.isNull() ? QString() : exports::PlainValue(qty), CsvField(unit), plainQuantity(inLot)}
                  .join(QLatin1Char(';'));
    };
    QStringList out{kLotTraceHeader};
    for (const PurchaseLine &p : t.purchases)
        out << line(QStringLiteral("Nota fiscal"), p.data, {}, {}, {}, p.notaFiscal, {}, p.quantidade, p.unidade,
                    p.inLotUnit);
    for (const LocationBalance &b : t.locations)
        out << line(QStringLiteral("Saldo no local"), {}, {}, {}, {}, {}, b.laboratorio, b.saldo, b.unidade,
                    b.inLotUnit);
    for (const LotMovement &m : t.movements)
        out << line(KindText(m.kind), m.data, m.estacao, m.npedido, m.nformula, m.notaFiscal, m.laboratorio,
                    m.quantidade, m.unidade, m.inLotUnit);
    const QString unit = t.lot.unidade;
    out << line(QStringLiteral("Total comprado"), {}, {}, {}, {}, {}, {}, {}, unit, t.bought);
    out << line(QStringLiteral("Total movimentado"), {}, {}, {}, {}, {}, {}, {}, unit, t.movedOut);
    out << line(QStringLiteral("Saldo nos locais"), {}, {}, {}, {}, {}, {}, {}, unit, t.held);
    out << line(QStringLiteral("Diferença"), {}, {}, {}, {}, {}, {}, {}, unit, t.difference());
    return out;
}

QString LotTracePath(const QDate &today)
{
    return QStringLiteral("C:\\FORMULIX\\RASTRO") + today.toString(QStringLiteral("yy.MM.dd")) + QStringLiteral(".CSV");
}

QStringList OrderTraceLines(const OrderTrace &o)
{
    using exports::CsvField;
    QStringList out{kOrderTraceHeader};
    for (const OrderComponent &c : o.components)
        out << QStringList{CsvField(o.estacao), QString::number(o.npedido), exports::PlainValue(c.nformula),
                           CsvField(c.componente), CsvField(c.lote), CsvField(c.fornecedor),
                           exports::PlainValue(c.qdeestoque), CsvField(c.unid),
                           c.moved ? dateText(c.movementDate) : kNotMoved, exports::PlainValue(c.movedQuantity),
                           CsvField(c.movedUnit), CsvField(c.laboratorio)}
                   .join(QLatin1Char(';'));
    return out;
}

QString OrderTracePath(const QDate &today)
{
    return QStringLiteral("C:\\FORMULIX\\RASTROPED") + today.toString(QStringLiteral("yy.MM.dd"))
        + QStringLiteral(".CSV");
}

int OrderTrace::notMoved() const
{
    int n = 0;
    for (const OrderComponent &c : components)
        n += c.moved ? 0 : 1;
    return n;
}

OrderTrace ReadOrderTrace(db::Connection &central, const QString &estacao, int npedido)
{
    OrderTrace o;
    o.estacao = estacao;
    o.npedido = npedido;
    db::Transaction tx(central);
    const db::Rows head = tx.query(
        QStringLiteral("select DATAPEDIDO, TIPOPEDIDO from PEDIDOS where ESTACAO = ? and NPEDIDO = ?"),
        {db::Value::text(estacao), db::Value::integer(npedido)});
    if (!head.rows.empty()) {
        o.found = true;
        o.data = head.rows.front()[0].toDate();
        o.tipo = cell(head.rows.front(), 1);
    }
    // The lines and the order's movements (by the order-number index), paired in C++: a line takes
    // the first movement not yet taken with its formula and lot, its supplier ignoring letter case and
    // its name folded as the order lines fold it (accents, case, apostrophes), so an order with the
    // same component twice shows each line against its own movement.
    const std::vector<db::Value> key{db::Value::text(estacao), db::Value::integer(npedido)};
    const db::Rows lines = tx.query(
        QStringLiteral("select COMPONENTE, LOTE, FORNECEDOR, UNID, NFORMULA, QDEESTOQUE from COMPEDID "
                       "where ESTACAO = ? and NPEDIDO = ? order by NFORMULA, COMPONENTE, QDEESTOQUE"),
        key);
    const db::Rows moves = tx.query(
        QStringLiteral("select NFORMULA, DESCRICAO, LOTE, FORNECEDOR, DATA, QUANTIDADE, UNIDADE, LABORATORIO "
                       "from MOVEST where ESTACAO = ? and NPEDIDO = ? order by DATA, CODMOVEST"),
        key);
    tx.commit();
    auto raw = [](const db::Value &v) { return v.isNull() ? QString() : v.toString(); };
    auto matchKey = [&](const db::Value &formula, const db::Value &name, const db::Value &lot,
                        const db::Value &supplier) {
        return (formula.isNull() ? QStringLiteral("\2") : raw(formula)) + QChar(1)
            + platform::asciiUpper(exports::FoldProductName(raw(name)))
            + QChar(1) + raw(lot) + QChar(1) + platform::asciiUpper(raw(supplier));
    };
    QHash<QString, std::vector<size_t>> waiting;   // movements not yet taken, in date order
    for (size_t m = 0; m < moves.rows.size(); ++m) {
        const auto &r = moves.rows[m];
        waiting[matchKey(r[0], r[1], r[2], r[3])].push_back(m);
    }
    std::vector<QString> keys;
    for (const auto &r : lines.rows) {
        OrderComponent c;
        c.componente = cell(r, 0);
        c.lote = cell(r, 1);
        c.fornecedor = cell(r, 2);
        c.unid = cell(r, 3);
        c.nformula = r[4];
        c.qdeestoque = r[5];
        keys.push_back(matchKey(r[4], r[0], r[1], r[2]));
        o.components.push_back(std::move(c));
    }
    auto take = [&](OrderComponent &c, std::vector<size_t> &candidates, size_t at) {
        const auto &m = moves.rows[candidates[at]];
        c.moved = true;
        c.movementDate = m[4].toDate();
        c.movedQuantity = m[5];
        c.movedUnit = cell(m, 6);
        c.laboratorio = cell(m, 7);
        candidates.erase(candidates.begin() + qsizetype(at));
    };
    // A movement of the line's own quantity first; then, in order, whatever is left.
    for (size_t l = 0; l < o.components.size(); ++l) {
        OrderComponent &c = o.components[l];
        auto it = waiting.find(keys[l]);
        if (it == waiting.end() || c.qdeestoque.isNull())
            continue;
        for (size_t at = 0; at < it->size(); ++at) {
            const db::Value &q = moves.rows[(*it)[at]][5];
            if (!q.isNull() && q.toDouble() == c.qdeestoque.toDouble()) {
                take(c, *it, at);
                break;
            }
        }
    }
    for (size_t l = 0; l < o.components.size(); ++l) {
        OrderComponent &c = o.components[l];
        auto it = waiting.find(keys[l]);
        if (!c.moved && it != waiting.end() && !it->empty())
            take(c, *it, 0);
    }
    return o;
}

} // namespace trace
