// The book's arithmetic: exact quantities in millionths of the substance's unit, lots keyed by
// folded names, start balances worked back from the stock held now.
#include "book.h"

#include "common/textfold.h"
#include "common/units.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <QMap>
#include <algorithm>
#include <cmath>
#include <map>

namespace controlled {

namespace {

bool isYes(const QString &mark)
{
    return common::FoldText(mark).startsWith(QLatin1Char('S'));
}

// "12.5" or "-3" (the database's own text) into its digits and the place of the point.
bool splitDecimal(const QString &text, QString &digits, int &decimals, bool &negative)
{
    QString t = text.trimmed();
    negative = t.startsWith(QLatin1Char('-'));
    if (negative || t.startsWith(QLatin1Char('+')))
        t.remove(0, 1);
    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    decimals = dot < 0 ? 0 : int(t.size() - dot - 1);
    digits = dot < 0 ? t : t.left(dot) + t.mid(dot + 1);
    if (digits.isEmpty())
        return false;
    for (QChar c : digits)
        if (!c.isDigit())
            return false;
    return true;
}

} // namespace

std::optional<Qty> QtyInUnit(const QString &decimal, const QString &from, const QString &to)
{
    const std::optional<int> scale = common::UnitScale(from, to);
    if (!scale)
        return std::nullopt;
    QString digits;
    int decimals = 0;
    bool negative = false;
    if (!splitDecimal(decimal, digits, decimals, negative))
        return std::nullopt;
    // value = digits * 10^(scale - decimals); in millionths: digits * 10^(6 + scale - decimals).
    int power = 6 + *scale - decimals;
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    if (power < 0) {
        // Drop digits, rounding half away from zero.
        const int drop = -power;
        if (drop > digits.size()) {
            digits = QStringLiteral("0");
        } else {
            const bool up = drop <= digits.size() && digits.at(digits.size() - drop).digitValue() >= 5;
            digits.chop(drop);
            if (digits.isEmpty())
                digits = QStringLiteral("0");
            bool ok = false;
            qint64 v = digits.toLongLong(&ok);
            if (!ok)
                return std::nullopt;
            if (up)
                ++v;
            return negative ? -v : v;
        }
        power = 0;
    }
    if (digits.size() + power > 18)
        return std::nullopt;
    bool ok = false;
    qint64 v = digits.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    for (int i = 0; i < power; ++i)
        v *= 10;
    return negative ? -v : v;
}

namespace {

QString qtyText(Qty q, QChar point, bool group)
{
    const bool negative = q < 0;
    const quint64 a = negative ? quint64(-q) : quint64(q);
    QString whole = QString::number(a / quint64(kQtyOne));
    if (group)
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
            whole.insert(i, QLatin1Char('.'));
    QString frac = QStringLiteral("%1").arg(a % quint64(kQtyOne), 6, 10, QLatin1Char('0'));
    while (frac.size() > 3 && frac.endsWith(QLatin1Char('0')))
        frac.chop(1);
    return (negative ? QStringLiteral("-") : QString()) + whole + point + frac;
}

} // namespace

QString FormatQty(Qty q)
{
    return qtyText(q, QLatin1Char(','), true);
}

QString PlainQty(Qty q)
{
    return qtyText(q, QLatin1Char(','), false);
}

QString SubstanceUnit(const QString &productUnit)
{
    if (common::UnitsConvert(productUnit, QStringLiteral("G")) && !productUnit.trimmed().isEmpty())
        return QStringLiteral("g");
    if (common::UnitsConvert(productUnit, QStringLiteral("ML")) && !productUnit.trimmed().isEmpty())
        return QStringLiteral("mL");
    if (common::UnitsConvert(productUnit, QStringLiteral("UN")) && !productUnit.trimmed().isEmpty())
        return QStringLiteral("UN");
    return common::FoldUnit(productUnit);
}

QString LineKindText(LineKind kind)
{
    switch (kind) {
    case LineKind::Purchase:
        return QStringLiteral("Compra");
    case LineKind::Order:
        return QStringLiteral("Pedido");
    case LineKind::Loss:
        return QStringLiteral("Perda");
    case LineKind::QualityControl:
        return QStringLiteral("Controle de qualidade");
    case LineKind::Other:
        return QStringLiteral("Outra saída");
    case LineKind::LotEdit:
        return QStringLiteral("Alteração no cadastro do lote");
    case LineKind::Stocktake:
        return QStringLiteral("Lançamento de inventário");
    case LineKind::Zeroed:
        break;
    }
    return QStringLiteral("Saldo zerado na inicialização");
}

bool IsAdjustment(LineKind kind)
{
    return kind == LineKind::LotEdit || kind == LineKind::Stocktake || kind == LineKind::Zeroed;
}

QString CauseKindText(CauseKind kind)
{
    switch (kind) {
    case CauseKind::NotDeducted:
        return QStringLiteral("Linha de pedido sem baixa");
    case CauseKind::Unconvertible:
        return QStringLiteral("Unidade sem conversão");
    case CauseKind::Zeroed:
        return QStringLiteral("Saldo zerado na inicialização");
    case CauseKind::LotEdit:
        return QStringLiteral("Alteração no formulário do lote");
    case CauseKind::Stocktake:
        return QStringLiteral("Lançamento de inventário");
    case CauseKind::Unexplained:
        break;
    }
    return QStringLiteral("Sem causa registrada");
}

QString InconsistencyText(Inconsistency kind)
{
    return kind == Inconsistency::ProductOnly
        ? QStringLiteral("Cadastro marcado como controlado, lotes não")
        : QStringLiteral("Lotes marcados como controlados, cadastro não");
}

int Book::differenceCount() const
{
    int n = 0;
    for (const Substance &s : substances)
        n += int(s.differences.size());
    return n;
}

QString LotKey(const QString &codigo, const QString &lote, const QString &fornecedor)
{
    return codigo.trimmed() + QChar(0x1f) + common::FoldText(lote) + QChar(0x1f) + common::FoldText(fornecedor);
}

namespace {

// A balance as the lot edit form's box shows it: "1.500,5" or "1500,5" or "1500.5".
QString logNumberToDecimal(const QString &text)
{
    QString t = text.trimmed();
    t.remove(QLatin1Char(' '));
    if (t.contains(QLatin1Char(','))) {
        t.remove(QLatin1Char('.'));
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    }
    return t;
}

struct Event {
    LineKind kind = LineKind::Other;
    QDate date;
    qint64 order = 0;
    Qty quantity = 0;
    QString document, original;
};

struct LotWork {
    QString codigo, descricao, lote, fornecedor;
    QString unitOfRows;          // ESTLOTE's unit, for the logged balances
    Qty held = 0;
    bool seenInStock = false;
    bool purchased = false;      // a purchase on record, any date
    bool earlierUnknown = false; // a movement before the start in a unit without conversion
    bool unconvertedSince = false; // one from the start on: it explains what the documents miss
    Qty earlier = 0;             // documents before the start
    std::vector<Event> events;   // on or after the start
};

struct SubstanceWork {
    Substance s;
    std::map<QString, LotWork> lots;   // by LotKey
};

QString original(const QString &quantity, const QString &unit)
{
    QString q = quantity.trimmed();
    if (q.contains(QLatin1Char('.'))) {
        while (q.endsWith(QLatin1Char('0')))
            q.chop(1);
        if (q.endsWith(QLatin1Char('.')))
            q.chop(1);
    }
    q.replace(QLatin1Char('.'), QLatin1Char(','));
    return q + QLatin1Char(' ') + unit.trimmed();
}

QString orderName(const QString &estacao, const QString &npedido)
{
    return estacao.trimmed() + QLatin1Char('.') + npedido.trimmed();
}

} // namespace

Book BuildBook(const BookInput &in)
{
    Book book;
    book.start = in.start;
    book.end = in.end;
    book.today = in.today;
    book.logMonthsMissing = in.logMonthsMissing;

    // Products and their substances.
    QHash<QString, const ProductRow *> byCode;
    QHash<QString, QString> codeByName;   // folded name -> code
    for (const ProductRow &p : in.products) {
        byCode.insert(p.codigo.trimmed(), &p);
        const QString name = common::FoldText(p.componente);
        if (!codeByName.contains(name))
            codeByName.insert(name, p.codigo.trimmed());
    }
    // Which products are controlled: by the register or by a lot's mark; the disagreements noted.
    QHash<QString, QStringList> lotsMarked, lotsUnmarked;
    for (const LotRow &l : in.lots)
        (isYes(l.controlada) ? lotsMarked : lotsUnmarked)[l.codigo.trimmed()] << l.lote.trimmed();
    QSet<QString> controlledCodes;
    for (const ProductRow &p : in.products) {
        const QString code = p.codigo.trimmed();
        const bool reg = isYes(p.controlada);
        if (reg || lotsMarked.contains(code))
            controlledCodes.insert(code);
        if (reg && lotsUnmarked.contains(code)) {
            QStringList lots = lotsUnmarked.value(code);
            lots.removeDuplicates();
            book.inconsistencies.push_back({Inconsistency::ProductOnly, code, p.componente.trimmed(), lots});
        } else if (!reg && lotsMarked.contains(code)) {
            QStringList lots = lotsMarked.value(code);
            lots.removeDuplicates();
            book.inconsistencies.push_back({Inconsistency::LotsOnly, code, p.componente.trimmed(), lots});
        }
    }

    std::map<QString, SubstanceWork> subs;
    QHash<QString, QString> substanceOfCode;
    // A DCB's name: its products' scientific name, else the first of their names.
    std::vector<const ProductRow *> ordered;
    for (const ProductRow &p : in.products)
        if (controlledCodes.contains(p.codigo.trimmed()))
            ordered.push_back(&p);
    std::sort(ordered.begin(), ordered.end(), [](const ProductRow *a, const ProductRow *b) {
        return common::FoldText(a->componente) < common::FoldText(b->componente);
    });
    for (const ProductRow *p : ordered) {
        const QString code = p->codigo.trimmed();
        const QString dcb = p->dcb.trimmed();
        const QString key = dcb.isEmpty() ? QStringLiteral("P:") + code : QStringLiteral("D:") + common::FoldText(dcb);
        SubstanceWork &w = subs[key];
        if (w.s.key.isEmpty()) {
            w.s.key = key;
            w.s.dcb = dcb;
            w.s.name = !dcb.isEmpty() && !p->nomeCientifico.trimmed().isEmpty() ? p->nomeCientifico.trimmed()
                                                                                 : p->componente.trimmed();
            w.s.unit = SubstanceUnit(p->unid);
        } else if (w.s.unit.isEmpty()) {
            w.s.unit = SubstanceUnit(p->unid);
        }
        w.s.codes << code;
        substanceOfCode.insert(code, key);
    }
    // A product without a unit in the register takes its lots' unit.
    for (const LotRow &l : in.lots) {
        auto it = subs.find(substanceOfCode.value(l.codigo.trimmed()));
        if (it != subs.end() && it->second.s.unit.isEmpty())
            it->second.s.unit = SubstanceUnit(l.unidade);
    }

    auto codeOf = [&](const QString &code, const QString &name) -> QString {
        const QString c = code.trimmed();
        if (!c.isEmpty() && byCode.contains(c))
            return c;
        return codeByName.value(common::FoldText(name));
    };
    auto lotFor = [&](const QString &code, const QString &descricao, const QString &lote,
                      const QString &fornecedor) -> std::pair<SubstanceWork *, LotWork *> {
        auto it = subs.find(substanceOfCode.value(code));
        if (code.isEmpty() || it == subs.end())
            return {nullptr, nullptr};
        LotWork &lot = it->second.lots[LotKey(code, lote, fornecedor)];
        if (lot.codigo.isEmpty()) {
            lot.codigo = code;
            lot.descricao = descricao.trimmed();
            lot.lote = lote.trimmed();
            lot.fornecedor = fornecedor.trimmed();
        }
        return {&it->second, &lot};
    };
    auto unconvertible = [](SubstanceWork &w, LotWork *lot, const QDate &date, const QString &lote,
                            const QString &detail) {
        w.s.differences.push_back({CauseKind::Unconvertible, date, lote.trimmed(), detail, std::nullopt});
        if (lot)
            lot->unconvertedSince = true;
    };

    // What the locations hold now.
    for (const LotRow &l : in.lots) {
        auto [w, lot] = lotFor(l.codigo.trimmed(), l.descricao, l.lote, l.fornecedor);
        if (!lot)
            continue;
        lot->seenInStock = true;
        if (lot->unitOfRows.isEmpty())
            lot->unitOfRows = l.unidade.trimmed();
        const std::optional<Qty> q = QtyInUnit(l.saldo.isEmpty() ? QStringLiteral("0") : l.saldo, l.unidade, w->s.unit);
        if (q)
            lot->held += *q;
        else
            unconvertible(*w, lot, in.today, l.lote,
                          QStringLiteral("Saldo em ") + l.laboratorio.trimmed() + QStringLiteral(": ")
                              + original(l.saldo, l.unidade) + QStringLiteral(" (fora do livro)"));
    }

    // Purchases: before the start they make the documentary balance, from it on they are entries.
    for (const PurchaseRow &p : in.purchases) {
        auto [w, lot] = lotFor(codeOf(p.codigo, p.componente), p.componente, p.lote, p.fornecedor);
        if (!lot)
            continue;
        lot->purchased = true;
        const std::optional<Qty> q = QtyInUnit(p.quantidade, p.unidade, w->s.unit);
        const QString doc = QStringLiteral("NF ") + p.notaFiscal.trimmed() + QStringLiteral(" - ") + p.fornecedor.trimmed();
        if (!q) {
            if (p.data >= in.start)
                unconvertible(*w, lot, p.data, p.lote, QStringLiteral("Compra ") + doc + QStringLiteral(": ")
                                                      + original(p.quantidade, p.unidade));
            else
                lot->earlierUnknown = true;
            continue;
        }
        if (p.data < in.start) {
            lot->earlier += *q;
            continue;
        }
        lot->events.push_back({LineKind::Purchase, p.data, p.codcompra.toLongLong(), *q, doc,
                               original(p.quantidade, p.unidade)});
    }

    // Movements before the start, summed.
    for (const MovementSum &m : in.earlier) {
        if (m.purchase)
            continue;
        auto [w, lot] = lotFor(codeOf(m.codprod, m.descricao), m.descricao, m.lote, m.fornecedor);
        if (!lot)
            continue;
        const std::optional<Qty> q = QtyInUnit(m.quantidade, m.unidade, w->s.unit);
        if (q)
            lot->earlier -= *q;
        else
            lot->earlierUnknown = true;
    }

    // Movements from the start on: every exit, each with its document.
    for (const MovementRow &m : in.movements) {
        LineKind kind = LineKind::Other;
        QString doc;
        if (!m.npedido.trimmed().isEmpty()) {
            kind = LineKind::Order;
            doc = QStringLiteral("Pedido ") + orderName(m.estacao, m.npedido);
            if (!m.nformula.trimmed().isEmpty())
                doc += QStringLiteral(" fórmula ") + m.nformula.trimmed();
        } else if (!m.codperda.trimmed().isEmpty()) {
            kind = LineKind::Loss;
            doc = QStringLiteral("Perda ") + m.codperda.trimmed();
        } else if (!m.codigocq.trimmed().isEmpty()) {
            kind = LineKind::QualityControl;
            doc = QStringLiteral("Análise ") + m.codigocq.trimmed();
        } else if (!m.codcompra.trimmed().isEmpty()) {
            continue;   // a purchase's own movement: its COMPRAS line is the entry
        } else {
            doc = QStringLiteral("Movimento ") + QString::number(m.codmovest);
        }
        if (!m.laboratorio.trimmed().isEmpty())
            doc += QStringLiteral(" (") + m.laboratorio.trimmed() + QLatin1Char(')');
        auto [w, lot] = lotFor(codeOf(m.codprod, m.descricao), m.descricao, m.lote, m.fornecedor);
        if (!lot)
            continue;
        const std::optional<Qty> q = QtyInUnit(m.quantidade, m.unidade, w->s.unit);
        if (!q) {
            unconvertible(*w, lot, m.data, m.lote,
                          doc + QStringLiteral(": ") + original(m.quantidade, m.unidade));
            continue;
        }
        lot->events.push_back({kind, m.data, 1000000000000LL + m.codmovest, -*q, doc, original(m.quantidade, m.unidade)});
    }

    // Order lines no movement deducted: the shelf holds less than the stock says.
    for (const UndeductedLine &u : in.undeducted) {
        auto [w, lot] = lotFor(codeOf(u.codigo, u.componente), u.componente, u.lote, u.fornecedor);
        if (!lot)
            continue;
        const std::optional<Qty> q = QtyInUnit(u.quantidade, u.unid, w->s.unit);
        QString detail = QStringLiteral("Pedido ") + orderName(u.estacao, u.npedido);
        if (!u.nformula.trimmed().isEmpty())
            detail += QStringLiteral(" fórmula ") + u.nformula.trimmed();
        detail += QStringLiteral(": ") + original(u.quantidade, u.unid)
            + QStringLiteral(" não baixados; o estoque mostra esta quantidade a mais");
        w->s.differences.push_back({CauseKind::NotDeducted, u.data, u.lote.trimmed(), detail,
                                    q ? std::optional<Qty>(-*q) : std::nullopt});
    }

    // Balances changed by hand or by a count's posting, as the activity log tells them.
    for (const LoggedChange &c : in.changes) {
        const QString code = codeOf(QString(), c.descricao);
        auto it = subs.find(substanceOfCode.value(code));
        if (code.isEmpty() || it == subs.end())
            continue;
        // The log names product and lot, not the supplier: the lot held in stock first.
        LotWork *lot = nullptr;
        for (auto &[key, l] : it->second.lots)
            if (l.codigo == code && common::FoldText(l.lote) == common::FoldText(c.lote)
                && (!lot || (l.seenInStock && !lot->seenInStock)))
                lot = &l;
        if (!lot)
            lot = lotFor(code, c.descricao, c.lote, QString()).second;
        const QString unit = lot->unitOfRows.isEmpty() ? it->second.s.unit : lot->unitOfRows;
        const std::optional<Qty> from = QtyInUnit(logNumberToDecimal(c.from), unit, it->second.s.unit);
        const std::optional<Qty> to = QtyInUnit(logNumberToDecimal(c.to), unit, it->second.s.unit);
        const LineKind kind = c.source == LoggedChange::Source::LotEdit ? LineKind::LotEdit : LineKind::Stocktake;
        QString doc = c.user + QStringLiteral(" às ") + c.at.time().toString(QStringLiteral("hh:mm"));
        if (!c.justification.isEmpty())
            doc += QStringLiteral(": ") + c.justification;
        if (!from || !to) {
            unconvertible(it->second, lot, c.at.date(), c.lote,
                          LineKindText(kind) + QStringLiteral(" de ") + c.from + QStringLiteral(" para ") + c.to);
            continue;
        }
        lot->events.push_back({kind, c.at.date(), 2000000000000LL + c.at.time().msecsSinceStartOfDay(), *to - *from,
                               doc, c.from + QStringLiteral(" → ") + c.to + QLatin1Char(' ') + unit});
    }

    // Each lot: in order, the zeroings the documents reveal, the start worked back, the lines.
    for (auto &[key, w] : subs) {
        for (auto &[lk, lot] : w.lots) {
            std::stable_sort(lot.events.begin(), lot.events.end(), [](const Event &a, const Event &b) {
                return a.date != b.date ? a.date < b.date : a.order < b.order;
            });
            const bool originKnown = lot.purchased && !lot.earlierUnknown;
            if (originKnown) {
                // The start-up sets a negative balance to zero: where the documents run below
                // zero, that is what happened next.
                Qty bal = std::max<Qty>(lot.earlier, 0);
                std::vector<Event> with;
                with.reserve(lot.events.size());
                for (const Event &e : lot.events) {
                    with.push_back(e);
                    bal += e.quantity;
                    if (bal < 0) {
                        with.push_back({LineKind::Zeroed, e.date, e.order, -bal,
                                        QStringLiteral("Saldo negativo após ") + e.document, QString()});
                        bal = 0;
                    }
                }
                lot.events = std::move(with);
            }
            Qty since = 0;
            for (const Event &e : lot.events)
                since += e.quantity;
            BookLot b;
            b.codigo = lot.codigo;
            b.descricao = lot.descricao;
            b.lote = lot.lote;
            b.fornecedor = lot.fornecedor;
            b.held = lot.held;
            b.originKnown = originKnown;
            b.start = lot.held - since;
            Qty bal = b.start;
            for (const Event &e : lot.events) {
                const bool inPeriod = e.date <= in.end;
                if (inPeriod) {
                    bal += e.quantity;
                    b.lines.push_back({e.kind, e.date, e.document, lot.lote, e.quantity, e.original, bal, e.order});
                }
                Qty &entries = inPeriod ? b.entries : b.afterEntries;
                Qty &exits = inPeriod ? b.exits : b.afterExits;
                Qty &adjust = inPeriod ? b.adjustments : b.afterAdjustments;
                if (IsAdjustment(e.kind))
                    adjust += e.quantity;
                else if (e.kind == LineKind::Purchase)
                    entries += e.quantity;
                else if (e.kind == LineKind::Loss && inPeriod)
                    b.losses -= e.quantity;
                else
                    exits -= e.quantity;
                if (IsAdjustment(e.kind)) {
                    const CauseKind cause = e.kind == LineKind::LotEdit  ? CauseKind::LotEdit
                                          : e.kind == LineKind::Stocktake ? CauseKind::Stocktake
                                                                          : CauseKind::Zeroed;
                    QString detail = e.document;
                    if (!e.original.isEmpty())
                        detail += QStringLiteral(" (") + e.original + QLatin1Char(')');
                    if (!inPeriod)
                        detail += QStringLiteral(" - após o período");
                    w.s.differences.push_back({cause, e.date, lot.lote, detail, e.quantity});
                }
            }
            b.end = bal;
            // What neither the documents nor the log explain: the documents from the purchase
            // on do not give what the locations hold.
            if (originKnown && !lot.unconvertedSince) {
                const Qty fromDocs = std::max<Qty>(lot.earlier, 0);
                const Qty unexplained = b.start - fromDocs;
                if (unexplained != 0)
                    w.s.differences.push_back(
                        {CauseKind::Unexplained, in.start, lot.lote,
                         QStringLiteral("O saldo inicial pelo estoque de agora difere do saldo pelas notas e "
                                        "movimentos desde a compra (")
                             + FormatQty(fromDocs) + QLatin1Char(' ') + w.s.unit + QLatin1Char(')'),
                         unexplained});
            }
            const bool active = b.start != 0 || b.held != 0 || !lot.events.empty();
            if (!active)
                continue;
            w.s.start += b.start;
            w.s.entries += b.entries;
            w.s.exits += b.exits;
            w.s.losses += b.losses;
            w.s.adjustments += b.adjustments;
            w.s.end += b.end;
            w.s.lots.push_back(std::move(b));
        }
        std::sort(w.s.lots.begin(), w.s.lots.end(), [](const BookLot &a, const BookLot &b) {
            return common::FoldText(a.lote) != common::FoldText(b.lote) ? common::FoldText(a.lote) < common::FoldText(b.lote)
                                                                        : common::FoldText(a.fornecedor) < common::FoldText(b.fornecedor);
        });
        std::stable_sort(w.s.differences.begin(), w.s.differences.end(),
                         [](const Difference &a, const Difference &b) { return a.date < b.date; });
        if (!w.s.lots.empty() || !w.s.differences.empty())
            book.substances.push_back(std::move(w.s));
    }
    QCollator collator(QLocale(QLocale::Portuguese, QLocale::Brazil));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(book.substances.begin(), book.substances.end(),
              [&](const Substance &a, const Substance &b) { return collator.compare(a.name, b.name) < 0; });
    std::sort(book.inconsistencies.begin(), book.inconsistencies.end(),
              [&](const InconsistentProduct &a, const InconsistentProduct &b) {
                  return collator.compare(a.componente, b.componente) < 0;
              });
    return book;
}

QStringList StartBalanceNote(const Book &book)
{
    QStringList out;
    out << QStringLiteral("O sistema não guarda saldos por data. O saldo inicial de cada lote foi obtido do saldo "
                          "atual (ESTLOTE, locais da loja e locais compartilhados), descontando as compras, as saídas "
                          "registradas e as alterações de saldo do registro de atividades desde ")
            + book.start.toString(QStringLiteral("dd/MM/yyyy")) + QLatin1Char('.');
    out << QStringLiteral("Para os lotes com compra registrada, as notas e os movimentos desde a compra foram "
                          "conferidos com esse saldo; um saldo que ficou negativo indica o saldo zerado na "
                          "inicialização do sistema.");
    if (!book.logMonthsMissing.isEmpty())
        out << QStringLiteral("Registro de atividades não encontrado para: ") + book.logMonthsMissing.join(QStringLiteral(", "))
                + QStringLiteral("; alterações feitas nesses meses não puderam ser consideradas.");
    return out;
}

std::vector<BalanceLine> PeriodBalance(const Book &book)
{
    std::vector<BalanceLine> out;
    QMap<QString, BalanceLine> totals;
    for (const Substance &s : book.substances) {
        out.push_back({s.name, s.dcb, s.unit, s.start, s.entries, s.exits, s.losses, s.adjustments, s.end});
        BalanceLine &t = totals[s.unit];
        t.name = QStringLiteral("Total (") + s.unit + QLatin1Char(')');
        t.unit = s.unit;
        t.start += s.start;
        t.entries += s.entries;
        t.exits += s.exits;
        t.losses += s.losses;
        t.adjustments += s.adjustments;
        t.end += s.end;
    }
    for (const BalanceLine &t : totals)
        out.push_back(t);
    return out;
}

} // namespace controlled
