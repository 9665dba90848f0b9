#include "transfer.h"

#include "core/runstate.h"
#include "data/lotlock.h"
#include "db/sqltext.h"
#include "platform/cp1252.h"
#include "platform/numberformat.h"
#include "platform/operator.h"

#include <QRegularExpression>
#include <algorithm>

namespace transfer {

namespace {

const QString kLocationsStatement =
    QStringLiteral("select LABORATORIO from ESTLOTE where ") + data::LotKeyCondition();

// A wait that ended in another transfer's commit starts the whole attempt again on what it left;
// each new attempt means another workstation got through, so this only bounds a pathological case.
const int kMaxAttempts = 200;

QString rightTrimmed(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return s.left(n);
}

QString readable(const QString &sql, const std::vector<db::Value> &params)
{
    return data::ReadableStatement(sql, params);
}

// The stored balance with 8 decimals (a NULL counts as 0).
int64_t mantissaAt8(const db::Value &v)
{
    if (v.isNull())
        return 0;
    db::Decimal d = v.toDecimal();
    static const int64_t pow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
    if (d.scale <= kQuantityScale)
        return d.mantissa * pow10[kQuantityScale - d.scale];
    int64_t m = d.mantissa;
    for (int s = d.scale; s > kQuantityScale; --s)
        m /= 10;
    return m;
}

// Every answer of the engine for a row another transaction held or changed, and a wait given up
// because the other transaction was waiting on this one: the transfer starts over on what the
// others left.
bool isRetryable(const db::DbError &e)
{
    return data::IsRetryable(e);
}

void passOnLostOrEndedWait(const db::DbError &e)
{
    data::PassOnLostOrEndedWait(e);
}

struct Locked {
    std::vector<db::Column> columns;
    std::vector<std::vector<db::Value>> rows;
    int col(const char *name) const
    {
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i].name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    }
};

// Thrown inside an attempt to start it again.
struct Restart {};
// A lookup failure with the statement that failed.
struct LookupFailure {
    QString command;
};

std::vector<db::Value> keyParams(const SourceLot &s)
{
    return {s.codigo, s.lote, s.fornecedor};
}

// The lot's rows locked by the shared rule, its outcomes in this file's terms.
Locked lockLot(db::Transaction &tx, const SourceLot &source)
{
    try {
        db::Rows rows = data::LockLotOnce(tx, source.codigo, source.lote, source.fornecedor);
        Locked locked;
        locked.columns = std::move(rows.columns);
        locked.rows = std::move(rows.rows);
        return locked;
    } catch (const data::LotLockRestart &) {
        throw Restart{};
    } catch (const data::LotLockFailure &f) {
        throw LookupFailure{f.command};
    }
}

bool sameLocationValue(const db::Value &stored, const db::Value &wanted)
{
    if (stored.isNull() || wanted.isNull())
        return stored.isNull() && wanted.isNull();
    return SameLocation(stored.toString(), wanted.toString());
}

} // namespace

db::Rows LockLotRows(db::Transaction &tx, const db::Value &codigo, const db::Value &lote, const db::Value &fornecedor)
{
    return data::LockLotRows(tx, codigo, lote, fornecedor);
}

QString LookupFailedMessage(const QString &command)
{
    return data::LookupFailedMessage(command);
}

QString CreditFailedMessage(const QString &descricao)
{
    return QStringLiteral("(2) Erro ACRESCENTANDO SALDO para ") + descricao;
}

QString InsertFailedMessage(const QString &lote, const QString &fornecedor, const QString &destination,
                            const QString &statement)
{
    return QStringLiteral("(3) Não foi possível INSERIR o LOTE ") + lote + QStringLiteral(", FORNECEDOR ") + fornecedor
        + QStringLiteral(" em ") + destination + QLatin1Char('\r') + statement;
}

QuantityFormatError::QuantityFormatError(const QString &text)
    : std::runtime_error((QStringLiteral("'") + text + QStringLiteral("' não é um valor numérico válido"))
                             .toLocal8Bit()
                             .toStdString()),
      m_text(text)
{
}

db::Decimal ParseQuantity(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*([+-]?)([0-9]*)(?:,([0-9]*))?\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        throw QuantityFormatError(text);
    QString whole = m.captured(2);
    const QString fraction = m.captured(3);
    if (whole.isEmpty() && fraction.isEmpty())
        throw QuantityFormatError(text);
    while (whole.size() > 1 && whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    // DECIMAL(18,8) holds ten digits before the point.
    if (whole.size() > 18 - kQuantityScale)
        throw QuantityTooLarge{};
    int64_t mantissa = whole.isEmpty() ? 0 : whole.toLongLong();
    for (int i = 0; i < kQuantityScale; ++i)
        mantissa = mantissa * 10 + (i < fraction.size() ? fraction.at(i).digitValue() : 0);
    if (fraction.size() > kQuantityScale && fraction.at(kQuantityScale).digitValue() >= 5)
        ++mantissa;
    if (mantissa >= 1000000000000000000LL)
        throw QuantityTooLarge{};
    if (m.captured(1) == QLatin1String("-"))
        mantissa = -mantissa;
    return db::Decimal{mantissa, kQuantityScale};
}

QString LookupStatementText(const SourceLot &source, const QString &destination)
{
    const auto text = [](const db::Value &v) { return db::escapeQuotes(v.isNull() ? QString() : v.toString()); };
    return QStringLiteral("Select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE where CODIGO = '")
        + text(source.codigo) + QStringLiteral("' and LOTE = '") + text(source.lote)
        + QStringLiteral("' and FORNECEDOR = '") + text(source.fornecedor) + QStringLiteral("' and LABORATORIO = '")
        + db::escapeQuotes(destination) + QLatin1Char('\'');
}

QStringList DestinationList(db::Connection &central)
{
    QStringList out{core::kDefaultLaboratory};
    const db::Rows rows = central.query(QStringLiteral("select LABORATORIO from TABLAB"));
    for (const auto &r : rows.rows)
        if (!r[0].isNull())
            out << r[0].toString();
    out << QStringLiteral("EmTransito") << QStringLiteral("Terceiros");
    return out;
}

QString LockStatement()
{
    return data::LockStatement();
}

QString CreditStatement()
{
    return QStringLiteral("update ESTLOTE set SALDOCORRENTE = coalesce(SALDOCORRENTE, 0) + ?, "
                          "SALDOPREVISTO = coalesce(SALDOPREVISTO, 0) + ? where ")
        + data::LotKeyCondition() + QStringLiteral(" and LABORATORIO = ?");
}

QString InsertStatement()
{
    return QStringLiteral("INSERT INTO ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, SALDOPREVISTO, "
                          "UNIDADE, CODIGOEAN, FABRICANTE, VALIDADE, SITUACAO, DENSIDADE, FATORCORRECAO, "
                          "LABORATORIO) Values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
}

QString DebitStatement()
{
    // Both balances from the stored one: SALDOPREVISTO becomes the new SALDOCORRENTE.
    return QStringLiteral("UPDATE ESTLOTE SET SaldoCorrente = SaldoCorrente - ?, SaldoPrevisto = SaldoCorrente - ? "
                          "where ")
        + data::LotKeyCondition() + QStringLiteral(" and LABORATORIO is not distinct from ? and SaldoCorrente >= ?");
}

namespace {

Outcome transferOnce(db::Connection &central, const SourceLot &source, const db::Decimal &q, const QString &dest,
                     platform::Operator &op, const BetweenCreditAndDebit &betweenHook);

} // namespace

Outcome Transfer(db::Connection &central, const SourceLot &source, const QString &quantityText,
                 const QString &destinationText, platform::Operator &op, const BetweenCreditAndDebit &betweenHook)
{
    db::Decimal q;
    try {
        q = ParseQuantity(quantityText);
    } catch (const QuantityTooLarge &) {
        op.inform(kQuantityMessage);
        return {Step::Quantity, {}};
    }
    if (q.mantissa <= 0) {
        op.inform(kNotPositiveMessage);
        return {Step::NotPositive, {}};
    }
    const QString dest = rightTrimmed(destinationText);
    if (dest.trimmed().isEmpty()) {
        op.inform(kNoDestinationMessage);
        return {Step::NoDestination, {}};
    }
    try {
        return transferOnce(central, source, q, dest, op, betweenHook);
    } catch (const db::DbError &e) {
        if (!e.isConnectionLost())
            throw;
        op.warn(db::operatorText(e));
        return {Step::ConnectionLost, {}};
    }
}

namespace {

Outcome transferOnce(db::Connection &central, const SourceLot &source, const db::Decimal &q, const QString &dest,
                     platform::Operator &op, const BetweenCreditAndDebit &betweenHook)
{
    const db::Value qv = db::Value::decimal(q);

    for (int attempt = 1;; ++attempt) {
        std::optional<db::Transaction> started;
        Locked lot;
        try {
            try {
                started.emplace(central);
            } catch (const db::DbError &e) {
                passOnLostOrEndedWait(e);
                throw LookupFailure{readable(kLocationsStatement, keyParams(source))};
            }
            lot = lockLot(*started, source);
        } catch (const Restart &) {
            if (attempt < kMaxAttempts)
                continue;
            op.inform(LookupFailedMessage(LookupStatementText(source, dest)));
            return {Step::Lookup, {}};
        } catch (const LookupFailure &) {
            op.inform(LookupFailedMessage(LookupStatementText(source, dest)));
            return {Step::Lookup, {}};
        }

        db::Transaction &tx = *started;
        const int lab = lot.col("LABORATORIO");
        const int saldo = lot.col("SALDOCORRENTE");
        std::vector<const std::vector<db::Value> *> sources, destinations;
        for (const auto &r : lot.rows) {
            if (sameLocationValue(r[size_t(lab)], source.laboratorio))
                sources.push_back(&r);
            else if (!r[size_t(lab)].isNull() && SameLocation(r[size_t(lab)].toString(), dest))
                destinations.push_back(&r);
        }
        Outcome out;
        if (sources.size() == 1)
            out.storedSource = *sources.front();

        // The balance as stored now, not as the form showed it.
        if (sources.size() != 1 || mantissaAt8((*sources.front())[size_t(saldo)]) < q.mantissa) {
            op.inform(kQuantityMessage);
            out.step = Step::Quantity;
            return out;
        }
        if (!source.laboratorio.isNull() && SameLocation(source.laboratorio.toString(), dest)) {
            op.inform(kOwnLocationMessage);
            out.step = Step::OwnLocation;
            return out;
        }
        const std::vector<db::Value> &src = *sources.front();
        auto at = [&](const char *name) { return src[size_t(lot.col(name))]; };

        if (!destinations.empty()) {
            std::vector<db::Value> p{qv, qv};
            for (const db::Value &k : keyParams(source))
                p.push_back(k);
            p.push_back(db::Value::text(dest));
            uint64_t changed = 0;
            bool again = false;
            try {
                changed = tx.execute(CreditStatement(), p);
            } catch (const db::DbError &e) {
                passOnLostOrEndedWait(e);
                again = isRetryable(e) && attempt < kMaxAttempts;
                changed = 0;
            }
            if (again) {
                tx.rollback();
                continue;
            }
            // Two stored rows for one location would both be credited: refused, not doubled.
            if (changed != 1) {
                tx.rollback();
                op.inform(CreditFailedMessage(at("DESCRICAO").toString()));
                out.step = Step::Credit;
                return out;
            }
        } else {
            const std::vector<db::Value> p{at("DESCRICAO"), at("LOTE"), at("FORNECEDOR"), at("CODIGO"), qv, qv,
                                           at("UNIDADE"), at("CODIGOEAN"), at("FABRICANTE"), at("VALIDADE"),
                                           at("SITUACAO"), at("DENSIDADE"), at("FATORCORRECAO"),
                                           db::Value::text(dest)};
            bool again = false;
            try {
                tx.execute(InsertStatement(), p);
            } catch (const db::DbError &e) {
                passOnLostOrEndedWait(e);
                again = isRetryable(e) && attempt < kMaxAttempts;
                tx.rollback();
                if (again)
                    continue;
                op.inform(InsertFailedMessage(at("LOTE").toString(), at("FORNECEDOR").toString(), dest,
                                              readable(InsertStatement(), p)));
                out.step = Step::Insert;
                return out;
            }
        }

        if (betweenHook)
            betweenHook();

        std::vector<db::Value> p{qv, qv};
        for (const db::Value &k : keyParams(source))
            p.push_back(k);
        p.push_back(source.laboratorio);
        p.push_back(qv);
        // Exactly the locked source row, and only while it still covers the quantity.
        uint64_t debited = 0;
        try {
            debited = tx.execute(DebitStatement(), p);
            if (debited == 1)
                tx.commit();
        } catch (const db::DbError &e) {
            passOnLostOrEndedWait(e);
            if (!isRetryable(e) || attempt >= kMaxAttempts)
                throw;
            tx.rollback();
            continue;
        }
        if (debited != 1) {
            tx.rollback();
            op.inform(kQuantityMessage);
            out.step = Step::Quantity;
            return out;
        }
        out.step = Step::Done;
        return out;
    }
}

} // namespace

} // namespace transfer
