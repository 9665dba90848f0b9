// Lot and order traces: a fixed handful of statements, whatever the length of the history.
#include "lottrace.h"

#include "db/connection.h"
#include "common/csvexport.h"
#include "platform/cp1252.h"
#include "platform/numberformat.h"
#include "common/textfold.h"
#include "common/units.h"
#include "platform/winpath.h"

#include <QFileInfo>
#include <QHash>
#include <algorithm>
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

LotQuantity ToLotUnit(double quantity, const QString &from, const QString &to)
{
    const std::optional<double> f = common::UnitFactorBetween(from, to);
    if (!f)
        return std::nullopt;
    return quantity * *f;
}

QString NameKey(const QString &name)
{
    QString s = name;
    s.replace(QLatin1Char('\''), QLatin1Char(' '));
    return common::FoldText(s);
}

QString StateText(OrderState state)
{
    switch (state) {
    case OrderState::Deducted:
        return QStringLiteral("Baixado");
    case OrderState::NotDeducted:
        return kNotMoved;
    case OrderState::MovementWithoutLine:
        return QStringLiteral("Movimento sem linha no pedido");
    case OrderState::QuantityDiffers:
        break;
    }
    return QStringLiteral("Quantidades diferentes");
}

bool IsDispensed(const QString &tipo)
{
    return common::FoldText(tipo) == QLatin1String("PEDIDO");
}

OrderState LotOrder::state() const
{
    OrderState worst = OrderState::Deducted;
    for (const OrderLotLine &l : lines)
        if (int(l.state) > int(worst))
            worst = l.state;
    return worst;
}

QString LotOrder::stateText() const
{
    QStringList out;
    for (const OrderLotLine &l : lines)
        if (!out.contains(StateText(l.state)))
            out << StateText(l.state);
    return out.join(QStringLiteral(" / "));
}

QString LotOrder::name() const
{
    return estacao + QLatin1Char('.') + (npedido.isNull() ? QString() : npedido.toString());
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

namespace {

// Two quantities in the lot's unit are the same when they agree to the five decimals shown.
bool sameQuantity(const LotQuantity &a, const LotQuantity &b)
{
    return a && b && round5(*a - *b) == 0;
}

QString orderKey(const QString &estacao, const db::Value &npedido)
{
    return estacao + QLatin1Char('.') + (npedido.isNull() ? QString() : npedido.toString());
}

QString formulaKey(const db::Value &nformula)
{
    return nformula.isNull() ? QStringLiteral("-") : nformula.toString();
}

// The lines and movements of one order (already of the lot) paired by formula: a movement of the
// line's own quantity first, then whatever of the formula is left.
struct Pairing {
    struct Line {
        db::Value nformula, quantidade;
        QString unidade;
        LotQuantity inLot;
    };
    struct Move {
        db::Value nformula, quantidade;
        QString unidade;
        LotQuantity inLot;
        QDate data;
    };
    std::vector<Line> lines;
    std::vector<Move> moves;

    std::vector<OrderLotLine> pair() const
    {
        std::vector<int> taken(moves.size(), 0);
        std::vector<int> lineMove(lines.size(), -1);
        for (int pass = 0; pass < 2; ++pass)
            for (size_t l = 0; l < lines.size(); ++l) {
                if (lineMove[l] >= 0)
                    continue;
                for (size_t m = 0; m < moves.size(); ++m) {
                    if (taken[m] || formulaKey(moves[m].nformula) != formulaKey(lines[l].nformula))
                        continue;
                    if (pass == 0 && !sameQuantity(moves[m].inLot, lines[l].inLot))
                        continue;
                    taken[m] = 1;
                    lineMove[l] = int(m);
                    break;
                }
            }
        std::vector<OrderLotLine> out;
        for (size_t l = 0; l < lines.size(); ++l) {
            OrderLotLine o;
            o.nformula = lines[l].nformula;
            o.hasLine = true;
            o.lineQuantity = lines[l].quantidade;
            o.lineUnit = lines[l].unidade;
            if (lineMove[l] < 0) {
                o.state = OrderState::NotDeducted;
            } else {
                const Move &m = moves[size_t(lineMove[l])];
                o.hasMovement = true;
                o.movedQuantity = m.quantidade;
                o.movedUnit = m.unidade;
                o.movementDate = m.data;
                o.state = sameQuantity(m.inLot, lines[l].inLot) ? OrderState::Deducted : OrderState::QuantityDiffers;
            }
            out.push_back(std::move(o));
        }
        for (size_t m = 0; m < moves.size(); ++m) {
            if (taken[m])
                continue;
            OrderLotLine o;
            o.nformula = moves[m].nformula;
            o.hasMovement = true;
            o.movedQuantity = moves[m].quantidade;
            o.movedUnit = moves[m].unidade;
            o.movementDate = moves[m].data;
            o.state = OrderState::MovementWithoutLine;
            out.push_back(std::move(o));
        }
        return out;
    }
};

QString qtyText(const db::Value &q, const QString &unit)
{
    return (q.isNull() ? QStringLiteral("0") : FormatQuantity(q.toDouble())) + QLatin1Char(' ') + unit;
}

void addCauses(LotTrace &t)
{
    const QString lotUnit = t.lot.unidade;
    auto unitCause = [&](const QString &what, const db::Value &q, const QString &unit) {
        t.causes << QStringLiteral("Unidade sem conversão para ") + lotUnit + QStringLiteral(": ") + what
                + QStringLiteral(", ") + qtyText(q, unit.isEmpty() ? QStringLiteral("(sem unidade)") : unit)
                + QStringLiteral(" fora das contas.");
    };
    for (const PurchaseLine &p : t.purchases)
        if (!p.inLotUnit)
            unitCause(QStringLiteral("nota fiscal ") + p.notaFiscal, p.quantidade, p.unidade);
    for (const LocationBalance &b : t.locations)
        if (!b.inLotUnit)
            unitCause(QStringLiteral("saldo em ") + b.laboratorio, b.saldo, b.unidade);
    for (const LotMovement &m : t.movements)
        if (!m.inLotUnit)
            unitCause(KindText(m.kind) + QLatin1Char(' ') + dateText(m.data)
                          + (m.npedido.isNull() ? QString() : QLatin1Char(' ') + orderKey(m.estacao, m.npedido)),
                      m.quantidade, m.unidade);

    // The lot's balance through time: purchases in, every other movement out, a day's purchases
    // before its movements. Below zero, the start-up's correction sets the locations to zero.
    struct Step {
        QDate data;
        int order;
        double delta;
        const LotMovement *move;
    };
    std::vector<Step> steps;
    for (const PurchaseLine &p : t.purchases)
        if (p.inLotUnit)
            steps.push_back({p.data, 0, *p.inLotUnit, nullptr});
    for (size_t i = 0; i < t.movements.size(); ++i) {
        const LotMovement &m = t.movements[i];
        if (m.kind != MovementKind::Purchase && m.inLotUnit)
            steps.push_back({m.data, 1 + int(i), -*m.inLotUnit, &m});
    }
    std::stable_sort(steps.begin(), steps.end(), [](const Step &a, const Step &b) {
        if (a.data != b.data)
            return a.data < b.data;
        return a.order < b.order;
    });
    double running = 0;
    for (const Step &s : steps) {
        running += s.delta;
        if (round5(running) < 0 && s.move) {
            const LotMovement &m = *s.move;
            t.causes << (t.controlled ? QStringLiteral("Substância controlada: saiu mais do que foi comprado. ")
                                      : QString())
                    + QStringLiteral("O saldo do lote ficou abaixo de zero (") + FormatQuantity(running)
                    + QLatin1Char(' ') + lotUnit + QStringLiteral(") em ") + dateText(m.data) + QStringLiteral(" com ")
                    + KindText(m.kind)
                    + (m.npedido.isNull() ? QString() : QLatin1Char(' ') + orderKey(m.estacao, m.npedido))
                    + QStringLiteral("; a abertura do programa zera saldos negativos, então os locais não mostram a "
                                     "falta.");
            break;
        }
    }

    if (t.difference() != 0) {
        // A quotation deducts nothing: only dispensed orders explain a balance.
        for (const std::vector<LotOrder> *list : {&t.orders})
            for (const LotOrder &o : *list)
                for (const OrderLotLine &l : o.lines) {
                    if (l.state == OrderState::NotDeducted)
                        t.causes << QStringLiteral("Pedido ") + o.name() + QStringLiteral(", fórmula ")
                                + formulaKey(l.nformula) + QStringLiteral(": ") + kNotMoved + QStringLiteral(" (")
                                + qtyText(l.lineQuantity, l.lineUnit) + QStringLiteral(").");
                    else if (l.state == OrderState::MovementWithoutLine)
                        t.causes << QStringLiteral("Pedido ") + o.name() + QStringLiteral(", fórmula ")
                                + formulaKey(l.nformula) + QStringLiteral(": movimento de ") + dateText(l.movementDate)
                                + QStringLiteral(" sem linha no pedido (") + qtyText(l.movedQuantity, l.movedUnit)
                                + QStringLiteral(").");
                    else if (l.state == OrderState::QuantityDiffers)
                        t.causes << QStringLiteral("Pedido ") + o.name() + QStringLiteral(", fórmula ")
                                + formulaKey(l.nformula) + QStringLiteral(": linha de ")
                                + qtyText(l.lineQuantity, l.lineUnit) + QStringLiteral(", movimento de ")
                                + qtyText(l.movedQuantity, l.movedUnit) + QLatin1Char('.');
                }
        // A lot that went below zero was set to zero at start-up: that much of the difference is
        // the correction, not stock that came in.
        const double zeroed = std::max(0.0, -(t.bought - t.movedOut));
        if (round5(t.difference() - zeroed) > 0) {
            if (t.purchases.empty())
                t.causes << QStringLiteral("Nenhuma nota fiscal de compra deste lote: o estoque nos locais entrou "
                                           "sem nota fiscal.");
            else
                t.causes << FormatQuantity(t.difference() - zeroed) + QLatin1Char(' ') + lotUnit
                        + QStringLiteral(" nos locais sem nota fiscal de compra que os explique.");
        }
    }
    if (t.locations.size() > 1)
        t.causes << QStringLiteral("Transferências entre locais não geram movimento: a divisão do saldo entre os "
                                   "locais não aparece nos movimentos.");
}

} // namespace

LotTrace ReadLotTrace(db::Connection &central, const LotKey &lot)
{
    LotTrace t;
    t.lot = lot;
    const QString nameKey = NameKey(lot.descricao);
    const QString supplierKey = common::FoldText(lot.fornecedor);
    const QString code = lot.codigo.trimmed();
    const db::Value lote = db::Value::text(lot.lote);
    // A busy lot repeats a handful of spellings thousands of times: each is folded once.
    QHash<QString, bool> supplierSeen, nameSeen;
    auto sameSupplier = [&](const std::vector<db::Value> &r, int column) {
        const QString raw = cell(r, column);
        auto it = supplierSeen.constFind(raw);
        if (it == supplierSeen.constEnd())
            it = supplierSeen.insert(raw, common::FoldText(raw) == supplierKey);
        return *it;
    };
    // A product is named by its code where the row has one, and by either form of its name.
    auto sameProduct = [&](const std::vector<db::Value> &r, int codeColumn, int nameColumn) {
        if (codeColumn >= 0 && !code.isEmpty() && cell(r, codeColumn) == code)
            return true;
        const QString raw = cell(r, nameColumn);
        auto it = nameSeen.constFind(raw);
        if (it == nameSeen.constEnd())
            it = nameSeen.insert(raw, NameKey(raw) == nameKey);
        return *it;
    };
    db::Transaction tx(central);

    // Where it came from: the purchase lines, by the product-and-lot index of the invoices.
    const db::Rows purchases = tx.query(
        QStringLiteral("select NOTAFISCAL, DATA, QUANTIDADE, UNIDADE, FORNECEDOR from COMPRAS where COMPONENTE = ? "
                       "and LOTE = ? order by DATA, CODCOMPRA"),
        {db::Value::text(lot.descricao), lote});
    // Where it is now: every location holding the lot.
    const db::Rows locations = tx.query(
        QStringLiteral("select LABORATORIO, SALDOCORRENTE, UNIDADE, FORNECEDOR, SITUACAO, CONTROLADA from ESTLOTE "
                       "where CODIGO = ? and LOTE = ? order by LABORATORIO"),
        {db::Value::text(lot.codigo), lote});
    // Where it went: the movements through the lot index, each with its order when it has one.
    const db::Rows moves = tx.query(
        QStringLiteral("select M.DATA, M.ESTACAO, M.NPEDIDO, M.NFORMULA, M.CODPERDA, M.CODIGOCQ, M.CODCOMPRA, "
                       "M.QUANTIDADE, M.UNIDADE, M.LABORATORIO, M.NNOTAFISCAL, P.DATAPEDIDO, P.TIPOPEDIDO, "
                       "M.FORNECEDOR, M.CODPROD, M.DESCRICAO, P.NPEDIDO "
                       "from MOVEST M left join PEDIDOS P on P.ESTACAO = M.ESTACAO and P.NPEDIDO = M.NPEDIDO "
                       "where M.LOTE = ? order by M.DATA, M.CODMOVEST"),
        {lote});
    // Who named it: the order component lines of the lot, through their lot index.
    const db::Rows lines = tx.query(
        QStringLiteral("select C.ESTACAO, C.NPEDIDO, C.NFORMULA, C.QDEESTOQUE, C.UNID, C.FORNECEDOR, C.CODIGOCOMP, "
                       "C.COMPONENTE, P.DATAPEDIDO, P.TIPOPEDIDO, P.NPEDIDO "
                       "from COMPEDID C left join PEDIDOS P on P.ESTACAO = C.ESTACAO and P.NPEDIDO = C.NPEDIDO "
                       "where C.LOTE = ? order by C.ESTACAO, C.NPEDIDO, C.NFORMULA"),
        {lote});
    tx.commit();

    for (const auto &r : purchases.rows) {
        if (!sameSupplier(r, 4))
            continue;
        PurchaseLine p;
        p.notaFiscal = cell(r, 0);
        p.data = r[1].toDate();
        p.quantidade = r[2];
        p.unidade = cell(r, 3);
        p.fornecedor = cell(r, 4);
        p.inLotUnit = ToLotUnit(number(p.quantidade), p.unidade, lot.unidade);
        t.bought += p.inLotUnit.value_or(0);
        t.purchases.push_back(std::move(p));
    }
    for (const auto &r : locations.rows) {
        if (!sameSupplier(r, 3))
            continue;
        LocationBalance b;
        b.laboratorio = cell(r, 0);
        b.saldo = r[1];
        b.unidade = cell(r, 2);
        b.fornecedor = cell(r, 3);
        b.situacao = cell(r, 4);
        b.inLotUnit = ToLotUnit(number(b.saldo), b.unidade, lot.unidade);
        t.held += b.inLotUnit.value_or(0);
        if (common::FoldText(cell(r, 5)).startsWith(QLatin1Char('S')))
            t.controlled = true;
        t.locations.push_back(std::move(b));
    }

    struct OrderHead {
        QString estacao, tipo;
        db::Value npedido;
        QDate data;
        bool found = false;
        Pairing pairing;
    };
    QHash<QString, size_t> orderAt;
    std::vector<OrderHead> heads;
    auto headOf = [&](const std::vector<db::Value> &r, int estacao, int npedido, int data, int tipo,
                      int found) -> OrderHead & {
        const QString key = orderKey(cell(r, estacao), r[size_t(npedido)]);
        auto it = orderAt.find(key);
        if (it != orderAt.end())
            return heads[*it];
        OrderHead h;
        h.estacao = cell(r, estacao);
        h.npedido = r[size_t(npedido)];
        h.data = r[size_t(data)].toDate();
        h.tipo = cell(r, tipo);
        h.found = !r[size_t(found)].isNull();
        orderAt.insert(key, heads.size());
        heads.push_back(std::move(h));
        return heads.back();
    };

    for (const auto &r : moves.rows) {
        if (!sameSupplier(r, 13) || !sameProduct(r, 14, 15))
            continue;
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
            t.movedOut += m.inLotUnit.value_or(0);
        if (m.kind == MovementKind::Order)
            headOf(r, 1, 2, 11, 12, 16).pairing.moves.push_back({m.nformula, m.quantidade, m.unidade, m.inLotUnit,
                                                                 m.data});
        t.movements.push_back(std::move(m));
    }
    for (const auto &r : lines.rows) {
        if (!sameSupplier(r, 5) || !sameProduct(r, 6, 7))
            continue;
        headOf(r, 0, 1, 8, 9, 10).pairing.lines.push_back(
            {r[2], r[3], cell(r, 4), ToLotUnit(number(r[3]), cell(r, 4), lot.unidade)});
    }
    std::stable_sort(heads.begin(), heads.end(), [](const OrderHead &a, const OrderHead &b) {
        if (a.data != b.data)
            return a.data < b.data;
        if (a.estacao != b.estacao)
            return a.estacao < b.estacao;
        return number(a.npedido) < number(b.npedido);
    });
    for (const OrderHead &h : heads) {
        LotOrder o;
        o.estacao = h.estacao;
        o.tipo = h.tipo;
        o.npedido = h.npedido;
        o.data = h.data;
        o.found = h.found;
        o.lines = h.pairing.pair();
        (IsDispensed(o.tipo) ? t.orders : t.otherOrders).push_back(std::move(o));
    }
    addCauses(t);
    return t;
}

QStringList LotTraceLines(const LotTrace &t)
{
    using exports::CsvField;
    const QString front = CsvField(t.lot.descricao) + QLatin1Char(';') + CsvField(t.lot.lote) + QLatin1Char(';')
        + CsvField(t.lot.fornecedor) + QLatin1Char(';');
    auto line = [&](const QString &what, const QDate &date, const QString &estacao, const db::Value &npedido,
                    const db::Value &nformula, const QString &nf, const QString &local, const db::Value &qty,
                    const QString &unit, const LotQuantity &inLot, const QString &state = QString()) {
        return front
            + QStringList{CsvField(what), dateText(date), CsvField(estacao), exports::PlainValue(npedido),
                          exports::PlainValue(nformula), CsvField(nf), CsvField(local),
                          qty.isNull() ? QString() : exports::PlainValue(qty), CsvField(unit),
                          inLot ? plainQuantity(*inLot) : QString(), CsvField(state)}
                  .join(QLatin1Char(';'));
    };
    QStringList out{kLotTraceHeader};
    for (const PurchaseLine &p : t.purchases)
        out << line(QStringLiteral("Nota fiscal"), p.data, {}, {}, {}, p.notaFiscal, {}, p.quantidade, p.unidade,
                    p.inLotUnit);
    for (const LocationBalance &b : t.locations)
        out << line(QStringLiteral("Saldo no local"), {}, {}, {}, {}, {}, b.laboratorio, b.saldo, b.unidade,
                    b.inLotUnit, b.situacao);
    for (const LotMovement &m : t.movements)
        out << line(KindText(m.kind), m.data, m.estacao, m.npedido, m.nformula, m.notaFiscal, m.laboratorio,
                    m.quantidade, m.unidade, m.inLotUnit);
    auto orderLines = [&](const std::vector<LotOrder> &orders, bool dispensed) {
        for (const LotOrder &o : orders)
            for (const OrderLotLine &l : o.lines) {
                const bool byLine = l.hasLine;
                const db::Value &q = byLine ? l.lineQuantity : l.movedQuantity;
                const QString unit = byLine ? l.lineUnit : l.movedUnit;
                const QString what = dispensed ? QStringLiteral("Pedido dispensado")
                                               : QStringLiteral("Outro tipo de pedido: ")
                        + (o.found ? o.tipo : QStringLiteral("sem registro em PEDIDOS"));
                out << line(what, o.data, o.estacao, o.npedido, l.nformula, {}, {}, q, unit,
                            ToLotUnit(number(q), unit, t.lot.unidade), StateText(l.state));
            }
    };
    orderLines(t.orders, true);
    orderLines(t.otherOrders, false);
    const QString unit = t.lot.unidade;
    out << line(QStringLiteral("Total comprado"), {}, {}, {}, {}, {}, {}, {}, unit, t.bought);
    out << line(QStringLiteral("Total movimentado"), {}, {}, {}, {}, {}, {}, {}, unit, t.movedOut);
    out << line(QStringLiteral("Saldo nos locais"), {}, {}, {}, {}, {}, {}, {}, unit, t.held);
    out << line(QStringLiteral("Diferença"), {}, {}, {}, {}, {}, {}, {}, unit, t.difference());
    for (const QString &c : t.causes)
        out << line(QStringLiteral("Causa"), {}, {}, {}, {}, {}, {}, {}, {}, std::nullopt, c);
    return out;
}

namespace {

// Characters a Windows file name cannot hold become "_".
QString fileNamePart(const QString &text)
{
    QString out = text.trimmed();
    for (QChar &c : out)
        if (QStringLiteral("\\/:*?\"<>|").contains(c) || c.unicode() < 32)
            c = QLatin1Char('_');
    return out;
}

} // namespace

QString LotTracePath(const QDate &today, const QString &lote)
{
    return QStringLiteral("C:\\FORMULIX\\RASTRO") + today.toString(QStringLiteral("yy.MM.dd")) + QLatin1Char('_')
        + fileNamePart(lote) + QStringLiteral(".CSV");
}

QString FreeFilePath(const platform::WinPaths &paths, const QString &windowsPath)
{
    const qsizetype dot = windowsPath.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = windowsPath.lastIndexOf(QLatin1Char('\\'));
    const bool hasExtension = dot > slash;
    const QString stem = hasExtension ? windowsPath.left(dot) : windowsPath;
    const QString extension = hasExtension ? windowsPath.mid(dot) : QString();
    QString candidate = windowsPath;
    for (int n = 2;; ++n) {
        const QString local = paths.toLocal(candidate);
        if (local.isEmpty() || !QFileInfo::exists(local))
            return candidate;
        candidate = stem + QStringLiteral(" (") + QString::number(n) + QLatin1Char(')') + extension;
    }
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
                           CsvField(c.movedUnit), CsvField(c.laboratorio), CsvField(StateText(c.state))}
                   .join(QLatin1Char(';'));
    return out;
}

QString OrderTracePath(const QDate &today, const QString &estacao, int npedido)
{
    return QStringLiteral("C:\\FORMULIX\\RASTROPED") + today.toString(QStringLiteral("yy.MM.dd")) + QLatin1Char('_')
        + fileNamePart(estacao) + QLatin1Char('-') + QString::number(npedido) + QStringLiteral(".CSV");
}

int OrderTrace::notMoved() const
{
    int n = 0;
    for (const OrderComponent &c : components)
        n += c.moved ? 0 : 1;
    return n;
}

int OrderTrace::lines() const
{
    int n = 0;
    for (const OrderComponent &c : components)
        n += c.hasLine ? 1 : 0;
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
    // the first movement not yet taken with its formula and lot, its supplier and its name folded
    // for case, accents and apostrophes, so an order with the same component twice shows each line
    // against its own movement. Movements no line takes are shown after the lines.
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
        return (formula.isNull() ? QStringLiteral("\2") : raw(formula)) + QChar(1) + NameKey(raw(name)) + QChar(1)
            + raw(lot).trimmed() + QChar(1) + common::FoldText(raw(supplier));
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
    // Quantities compare in the line's unit, converted by the unit table.
    auto sameAsLine = [&](const OrderComponent &c, const std::vector<db::Value> &m) {
        if (c.qdeestoque.isNull() || m[5].isNull())
            return false;
        const LotQuantity moved = ToLotUnit(m[5].toDouble(), cell(m, 6), c.unid);
        return sameQuantity(moved, c.qdeestoque.toDouble());
    };
    std::vector<bool> used(moves.rows.size(), false);
    auto take = [&](OrderComponent &c, std::vector<size_t> &candidates, size_t at) {
        const auto &m = moves.rows[candidates[at]];
        used[candidates[at]] = true;
        c.moved = true;
        c.movementDate = m[4].toDate();
        c.movedQuantity = m[5];
        c.movedUnit = cell(m, 6);
        c.laboratorio = cell(m, 7);
        c.state = sameAsLine(c, m) ? OrderState::Deducted : OrderState::QuantityDiffers;
        candidates.erase(candidates.begin() + qsizetype(at));
    };
    // A movement of the line's own quantity first; then, in order, whatever is left.
    for (size_t l = 0; l < o.components.size(); ++l) {
        OrderComponent &c = o.components[l];
        auto it = waiting.find(keys[l]);
        if (it == waiting.end() || c.qdeestoque.isNull())
            continue;
        for (size_t at = 0; at < it->size(); ++at) {
            if (sameAsLine(c, moves.rows[(*it)[at]])) {
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
    for (size_t m = 0; m < moves.rows.size(); ++m) {
        if (used[m])
            continue;
        const auto &r = moves.rows[m];
        OrderComponent c;
        c.hasLine = false;
        c.moved = true;
        c.state = OrderState::MovementWithoutLine;
        c.nformula = r[0];
        c.componente = cell(r, 1);
        c.lote = cell(r, 2);
        c.fornecedor = cell(r, 3);
        c.movementDate = r[4].toDate();
        c.movedQuantity = r[5];
        c.movedUnit = cell(r, 6);
        c.laboratorio = cell(r, 7);
        o.components.push_back(std::move(c));
    }
    return o;
}

} // namespace trace
