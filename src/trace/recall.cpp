#include "recall.h"

#include "common/textfold.h"
#include "common/units.h"
#include "core/activitylog.h"
#include "data/lotlock.h"
#include "db/connection.h"
#include "db/dberror.h"
#include "common/csvexport.h"
#include "platform/cp1252.h"

namespace trace {

namespace {

constexpr int kScale = 8;   // balances are DECIMAL(18,8)

QString rightTrimmed(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return s.left(n);
}

// A location as the scope statements compare it.
QString placeKey(const QString &laboratorio)
{
    return platform::asciiUpper(rightTrimmed(laboratorio));
}

bool isQualityControl(const QString &laboratorio)
{
    return placeKey(laboratorio) == placeKey(kQualityControl);
}

int64_t pow10(int n)
{
    int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// The balance with 8 decimals (a NULL counts as 0).
int64_t at8(const db::Value &v)
{
    if (v.isNull())
        return 0;
    const db::Decimal d = v.toDecimal();
    if (d.scale <= kScale)
        return d.mantissa * pow10(kScale - d.scale);
    return d.mantissa / pow10(d.scale - kScale);
}

db::Value fromAt8(int64_t m)
{
    return db::Value::decimal(db::Decimal{m, kScale});
}

// Expressed in another unit by a power of ten, rounded half away from zero to 8 decimals.
int64_t scaled(int64_t m, int scale)
{
    if (scale >= 0)
        return m * pow10(scale);
    const int64_t d = pow10(-scale);
    const int64_t q = m / d, r = m % d;
    return q + ((r < 0 ? -r : r) * 2 >= d ? (m < 0 ? -1 : 1) : 0);
}

QString cell(const std::vector<db::Value> &row, int column)
{
    if (column < 0)
        return QString();
    const db::Value &v = row[size_t(column)];
    return v.isNull() ? QString() : v.toString();
}

QString amount(const db::Value &v, const QString &unit)
{
    return FormatQuantity(v.isNull() ? 0 : v.toDouble()) + QLatin1Char(' ') + unit;
}

QString lotText(const LotKey &lot)
{
    return QStringLiteral("o lote ") + lot.lote + QStringLiteral(" de ") + lot.descricao + QStringLiteral(" (")
        + lot.fornecedor + QLatin1Char(')');
}

QString outsideText(const RecallPlan &plan)
{
    if (plan.outside.empty())
        return QString();
    QString out = QStringLiteral("\r\rOutras lojas (não serão alteradas; avise-as):");
    for (const RecallRow &r : plan.outside)
        out += QStringLiteral("\r  ") + r.laboratorio + QStringLiteral(": ") + amount(r.saldo, r.unidade);
    return out;
}

std::vector<db::Value> keyOf(const LotKey &lot)
{
    return {db::Value::text(lot.codigo), db::Value::text(lot.lote), db::Value::text(lot.fornecedor)};
}

bool positive(const db::Value &v)
{
    return at8(v) > 0;
}

RecallRow rowOf(const std::vector<db::Value> &r, int lab, int saldo, int unit, int situacao)
{
    return {cell(r, lab), cell(r, unit), cell(r, situacao), r[size_t(saldo)]};
}

} // namespace

bool InRecallScope(const QString &laboratorio, const QStringList &storeLaboratories)
{
    const QString key = placeKey(laboratorio);
    if (key == placeKey(kInTransit))
        return true;
    for (const QString &l : storeLaboratories)
        if (placeKey(l) == key)
            return true;
    return false;
}

RecallPlan PlanRecall(db::Connection &central, const LotKey &lot, const QStringList &storeLaboratories)
{
    const db::Rows rows = central.query(
        QStringLiteral("select LABORATORIO, SALDOCORRENTE, UNIDADE, SITUACAO from ESTLOTE where ")
            + data::LotKeyCondition() + QStringLiteral(" order by LABORATORIO"),
        keyOf(lot));
    RecallPlan plan;
    for (const auto &r : rows.rows) {
        const RecallRow row = rowOf(r, 0, 1, 2, 3);
        if (isQualityControl(row.laboratorio))
            plan.quarantine.push_back(row);
        else if (!InRecallScope(row.laboratorio, storeLaboratories))
            plan.outside.push_back(row);
        else if (positive(row.saldo))
            plan.toMove.push_back(row);
    }
    return plan;
}

QString RecallQuestion(const LotKey &lot, const RecallPlan &plan)
{
    QString out = QStringLiteral("Recolher ") + lotText(lot) + QStringLiteral(" para ") + kQualityControl
        + QStringLiteral(", situação ") + kAwaiting + QStringLiteral("?\r\rSerá movido:");
    for (const RecallRow &r : plan.toMove)
        out += QStringLiteral("\r  ") + r.laboratorio + QStringLiteral(": ") + amount(r.saldo, r.unidade);
    return out + outsideText(plan);
}

QString NothingToRecallText(const LotKey &lot, const RecallPlan &plan)
{
    QString out = QStringLiteral("Nada a recolher: ") + lotText(lot)
        + QStringLiteral(" não tem saldo nos locais desta loja nem em ") + kInTransit + QLatin1Char('.');
    for (const RecallRow &r : plan.quarantine)
        out += QStringLiteral("\rEm ") + kQualityControl + QStringLiteral(": ") + amount(r.saldo, r.unidade)
            + (r.situacao.isEmpty() ? QString() : QStringLiteral(" (") + r.situacao + QLatin1Char(')'));
    return out + outsideText(plan);
}

QString RecallLogLine(const LotKey &lot, const RecallMove &move, const QString &justification)
{
    return QStringLiteral("Recolheu para ") + kQualityControl + QStringLiteral(" o saldo de ") + move.laboratorio
        + QStringLiteral(": de ") + amount(move.before, move.unidade) + QStringLiteral(" para ")
        + amount(move.after, move.unidade) + QStringLiteral(" (") + lot.descricao + QStringLiteral(", lote: ")
        + lot.lote + QStringLiteral("). Justificativa: ") + justification;
}

QString RecallChangedText(const QString &laboratorio, const db::Value &shown, const db::Value &stored)
{
    auto plain = [](const db::Value &v) { return v.isNull() ? QStringLiteral("nenhum") : FormatQuantity(v.toDouble()); };
    return QStringLiteral("O saldo do lote em ") + laboratorio
        + QStringLiteral(" foi alterado em outra estação (mostrado: ") + plain(shown)
        + QStringLiteral("; gravado agora: ") + plain(stored)
        + QStringLiteral("). Nada foi recolhido; confira e recolha de novo.");
}

RecallResult Recall(db::Connection &central, const LotKey &lot, const QStringList &storeLaboratories,
                    const RecallPlan &confirmed, const QString &justification, const QString &user,
                    const QDateTime &now, core::ActivityLog *log, const AfterLock &afterLock)
{
    RecallResult result;
    result.user = user;
    result.justification = justification;
    result.at = now;
    const std::vector<db::Value> key = keyOf(lot);

    db::Transaction tx(central);
    const db::Rows rows = data::LockLotRows(tx, key[0], key[1], key[2]);
    const int lab = rows.indexOf(QStringLiteral("LABORATORIO"));
    const int saldo = rows.indexOf(QStringLiteral("SALDOCORRENTE"));
    const int unit = rows.indexOf(QStringLiteral("UNIDADE"));
    const int situacao = rows.indexOf(QStringLiteral("SITUACAO"));
    auto stop = [&](RecallStep step, const QString &message) {
        tx.rollback();
        result.step = step;
        result.message = message;
        return result;
    };

    // The lot as stored now that nobody else can change it, against what the operator confirmed.
    std::vector<const std::vector<db::Value> *> movers, quarantine;
    for (const auto &r : rows.rows) {
        const QString place = cell(r, lab);
        if (isQualityControl(place))
            quarantine.push_back(&r);
        else if (InRecallScope(place, storeLaboratories) && positive(r[size_t(saldo)]))
            movers.push_back(&r);
    }
    for (const auto *r : movers) {
        const QString place = cell(*r, lab);
        const RecallRow *shown = nullptr;
        for (const RecallRow &c : confirmed.toMove)
            if (placeKey(c.laboratorio) == placeKey(place))
                shown = &c;
        if (!shown || at8(shown->saldo) != at8((*r)[size_t(saldo)]))
            return stop(RecallStep::Changed, RecallChangedText(place, shown ? shown->saldo : db::Value(),
                                                               (*r)[size_t(saldo)]));
    }
    for (const RecallRow &c : confirmed.toMove) {
        bool still = false;
        for (const auto *r : movers)
            still = still || placeKey(cell(*r, lab)) == placeKey(c.laboratorio);
        if (!still) {
            db::Value stored;
            for (const auto &r : rows.rows)
                if (placeKey(cell(r, lab)) == placeKey(c.laboratorio))
                    stored = r[size_t(saldo)];
            return stop(RecallStep::Changed, RecallChangedText(c.laboratorio, c.saldo, stored));
        }
    }
    if (movers.empty()) {
        RecallPlan now;
        for (const auto *r : quarantine)
            now.quarantine.push_back(rowOf(*r, lab, saldo, unit, situacao));
        now.outside = confirmed.outside;
        return stop(RecallStep::Nothing, NothingToRecallText(lot, now));
    }
    if (quarantine.size() > 1)
        return stop(RecallStep::Failed, QStringLiteral("O lote tem mais de uma linha em ") + kQualityControl
                                            + QStringLiteral(": nada foi recolhido."));

    // Quality control keeps its unit; a new row takes the first location's.
    result.quarantineUnit = quarantine.empty() ? cell(*movers.front(), unit) : cell(*quarantine.front(), unit);
    int64_t credit = 0;
    for (const auto *r : movers) {
        const std::optional<int> s = common::UnitScale(cell(*r, unit), result.quarantineUnit);
        if (!s)
            return stop(RecallStep::NoConversion,
                        QStringLiteral("O saldo do lote em ") + cell(*r, lab) + QStringLiteral(" está em ")
                            + cell(*r, unit) + QStringLiteral(", que não se converte para ")
                            + result.quarantineUnit + QStringLiteral(". Nada foi recolhido."));
        credit += scaled(at8((*r)[size_t(saldo)]), *s);
    }

    if (afterLock)
        afterLock();

    // Each location debited by what it holds, and only while it holds that.
    const QString debit = QStringLiteral("update ESTLOTE set SALDOCORRENTE = SALDOCORRENTE - ?, "
                                         "SALDOPREVISTO = SALDOCORRENTE - ? where ")
        + data::LotKeyCondition() + QStringLiteral(" and LABORATORIO is not distinct from ? and SALDOCORRENTE = ?");
    for (const auto *r : movers) {
        const db::Value q = fromAt8(at8((*r)[size_t(saldo)]));
        std::vector<db::Value> p{q, q};
        p.insert(p.end(), key.begin(), key.end());
        p.push_back((*r)[size_t(lab)]);
        p.push_back(q);
        if (tx.execute(debit, p) != 1)
            return stop(RecallStep::Changed, RecallChangedText(cell(*r, lab), (*r)[size_t(saldo)], db::Value()));
        result.moved.push_back({cell(*r, lab), cell(*r, unit), (*r)[size_t(saldo)], fromAt8(0)});
    }
    const db::Value creditValue = fromAt8(credit);
    if (!quarantine.empty()) {
        const auto &qc = *quarantine.front();
        result.quarantineBefore = qc[size_t(saldo)];
        result.quarantineAfter = fromAt8(at8(qc[size_t(saldo)]) + credit);
        std::vector<db::Value> p{creditValue, creditValue, db::Value::text(kAwaiting)};
        p.insert(p.end(), key.begin(), key.end());
        p.push_back(qc[size_t(lab)]);
        if (tx.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = coalesce(SALDOCORRENTE, 0) + ?, "
                                      "SALDOPREVISTO = coalesce(SALDOPREVISTO, 0) + ?, SITUACAO = ? where ")
                           + data::LotKeyCondition() + QStringLiteral(" and LABORATORIO is not distinct from ?"),
                       p)
            != 1)
            return stop(RecallStep::Failed, QStringLiteral("Não foi possível acrescentar o saldo em ")
                                                + kQualityControl + QStringLiteral(": nada foi recolhido."));
    } else {
        const auto &src = *movers.front();
        auto at = [&](const char *name) { return src[size_t(rows.indexOf(QLatin1String(name)))]; };
        result.quarantineBefore = fromAt8(0);
        result.quarantineAfter = creditValue;
        tx.execute(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, "
                                  "SALDOPREVISTO, UNIDADE, CODIGOEAN, FABRICANTE, VALIDADE, SITUACAO, DENSIDADE, "
                                  "FATORCORRECAO, LABORATORIO, CONTROLADA) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                  "?, ?, ?)"),
                   {at("DESCRICAO"), at("LOTE"), at("FORNECEDOR"), at("CODIGO"), creditValue, creditValue,
                    at("UNIDADE"), at("CODIGOEAN"), at("FABRICANTE"), at("VALIDADE"), db::Value::text(kAwaiting),
                    at("DENSIDADE"), at("FATORCORRECAO"), db::Value::text(kQualityControl), at("CONTROLADA")});
    }
    tx.commit();

    result.step = RecallStep::Done;
    QString message = kRecallDoneLead;
    for (const RecallMove &m : result.moved) {
        message += QStringLiteral("\r  ") + m.laboratorio + QStringLiteral(": de ") + amount(m.before, m.unidade)
            + QStringLiteral(" para ") + amount(m.after, m.unidade);
        if (log)
            log->WriteActivityLine(user, RecallLogLine(lot, m, justification));
    }
    message += QStringLiteral("\r  ") + kQualityControl + QStringLiteral(": de ")
        + amount(result.quarantineBefore, result.quarantineUnit) + QStringLiteral(" para ")
        + amount(result.quarantineAfter, result.quarantineUnit);
    result.message = message + outsideText(confirmed);
    return result;
}

std::vector<LotFound> FindLotsByNumber(db::Connection &central, const QString &number,
                                       const QStringList &storeLaboratories)
{
    std::vector<LotFound> out;
    const QString wanted = common::FoldText(number);
    if (wanted.isEmpty())
        return out;
    // The engine's UPPER changes ASCII letters only, as asciiUpper does: the index finds the rows
    // typed in any letter case; accents are folded here.
    const db::Rows rows = central.query(
        QStringLiteral("select CODIGO, DESCRICAO, LOTE, FORNECEDOR, UNIDADE, LABORATORIO, SALDOCORRENTE from ESTLOTE "
                       "where upper(LOTE) = ? order by DESCRICAO, FORNECEDOR, LABORATORIO"),
        {db::Value::text(platform::asciiUpper(number.trimmed()))});
    for (const auto &r : rows.rows) {
        const QString place = cell(r, 5);
        if (common::FoldText(cell(r, 2)) != wanted
            || !(InRecallScope(place, storeLaboratories) || isQualityControl(place)))
            continue;
        out.push_back({{cell(r, 0), cell(r, 1), cell(r, 2), cell(r, 3), cell(r, 4)}, place, r[6]});
    }
    return out;
}

QString Pharmacy::identification() const
{
    if (!found)
        return QStringLiteral("Farmácia de CNPJ ") + cnpj + QStringLiteral(" sem cabeçalho em DADOSGER");
    QStringList parts;
    for (const QString &p : {farmacia, firma, endereco})
        if (!p.isEmpty())
            parts << p;
    parts << QStringLiteral("CNPJ ") + cnpj;
    return parts.join(QStringLiteral(" - "));
}

Pharmacy ReadPharmacy(db::Connection &central, const QString &storeCnpj)
{
    Pharmacy p;
    p.cnpj = storeCnpj.trimmed();
    const db::Rows rows = central.query(
        QStringLiteral("select FARMACIA, FIRMA, ENDERECO, NUMERO, BAIRRO, CIDADE, ESTADO, CNPJ from DADOSGER "
                       "where CNPJ = ?"),
        {db::Value::text(storeCnpj)});
    if (rows.rows.empty())
        return p;
    const auto &r = rows.rows.front();
    auto text = [&](int c) { return cell(r, c).trimmed(); };
    p.found = true;
    p.farmacia = text(0);
    p.firma = text(1);
    QString address = text(2);
    if (!text(3).isEmpty())
        address += QStringLiteral(", ") + text(3);
    for (const QString &part : {text(4), text(5)})
        if (!part.isEmpty())
            address += (address.isEmpty() ? QString() : QStringLiteral(", ")) + part;
    if (!text(6).isEmpty())
        address += QLatin1Char('/') + text(6);
    p.endereco = address;
    p.cnpj = text(7);
    return p;
}

QStringList RecallDossierLines(const RecallDossier &d)
{
    const QStringList traceLines = LotTraceLines(d.trace);
    QStringList out{traceLines.first()};
    const QString front = exports::CsvField(d.trace.lot.descricao) + QLatin1Char(';')
        + exports::CsvField(d.trace.lot.lote) + QLatin1Char(';') + exports::CsvField(d.trace.lot.fornecedor)
        + QLatin1Char(';');
    // REGISTRO;DATA;ESTAÇÃO;PEDIDO;FÓRMULA;NOTA FISCAL;LOCAL;QUANTIDADE;UNID.;NA UNID. DO LOTE;SITUAÇÃO
    auto line = [&](const QString &what, const QString &date, const QString &local, const db::Value &qty,
                    const QString &unit, const QString &state) {
        const LotQuantity inLot = qty.isNull() ? LotQuantity()
                                               : ToLotUnit(qty.toDouble(), unit, d.trace.lot.unidade);
        return front
            + QStringList{exports::CsvField(what), date, QString(), QString(), QString(), QString(),
                          exports::CsvField(local), qty.isNull() ? QString() : exports::PlainValue(qty),
                          exports::CsvField(unit),
                          inLot ? exports::FixedDecimals(db::Value::real(*inLot), 5) : QString(),
                          exports::CsvField(state)}
                  .join(QLatin1Char(';'));
    };
    out << line(QStringLiteral("Farmácia"), {}, {}, {}, {}, d.pharmacy.identification());
    if (d.recall) {
        const RecallResult &r = *d.recall;
        const QString when = r.at.toString(QStringLiteral("dd/MM/yyyy"));
        const QString by = QStringLiteral("por ") + r.user + QStringLiteral(" em ")
            + r.at.toString(QStringLiteral("dd/MM/yyyy hh:mm")) + QStringLiteral(". Justificativa: ") + r.justification;
        for (const RecallMove &m : r.moved)
            out << line(QStringLiteral("Recolhido do local"), when, m.laboratorio, m.before, m.unidade,
                        QStringLiteral("Saldo depois: ") + amount(m.after, m.unidade) + QStringLiteral("; ") + by);
        out << line(QStringLiteral("Quarentena"), when, kQualityControl, r.quarantineAfter, r.quarantineUnit,
                    kAwaiting + QStringLiteral("; saldo antes: ") + amount(r.quarantineBefore, r.quarantineUnit));
    }
    for (const RecallRow &o : d.otherStores)
        out << line(QStringLiteral("Outra loja (não alterada)"), {}, o.laboratorio, o.saldo, o.unidade, o.situacao);
    for (qsizetype i = 1; i < traceLines.size(); ++i)
        out << traceLines.at(i);
    return out;
}

QString RecallDossierPath(const QDate &today, const QString &lote)
{
    QString name = lote.trimmed();
    for (QChar &c : name)
        if (QStringLiteral("\\/:*?\"<>|").contains(c) || c.unicode() < 32)
            c = QLatin1Char('_');
    return QStringLiteral("C:\\FORMULIX\\RECOLHIMENTO") + today.toString(QStringLiteral("yy.MM.dd"))
        + QLatin1Char('_') + name + QStringLiteral(".CSV");
}

} // namespace trace
