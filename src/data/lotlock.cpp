#include "lotlock.h"

#include "core/runstate.h"
#include "db/dberror.h"
#include "db/sqltext.h"
#include "platform/numberformat.h"

namespace data {

namespace {

// Every write of a lot's locations locks all of the lot's rows in one order (the key index's:
// location names byte by byte, trailing blanks not counting, no location first) before it writes
// anything: two of them queue on the first row instead of deadlocking, and a location created by
// one is seen by the other when its wait ends in a conflict and it starts again.
const QString kKeyCondition = QStringLiteral(
    "CODIGO is not distinct from ? and LOTE is not distinct from ? and FORNECEDOR is not distinct from ?");

// A wait that ended in another transaction's commit starts again on what it left; each new
// attempt means another workstation got through, so this only bounds a pathological case.
const int kMaxAttempts = 200;

QString rightTrimmed(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return s.left(n);
}

} // namespace

bool SameLocation(const QString &a, const QString &b)
{
    return rightTrimmed(a) == rightTrimmed(b);
}

QString LotKeyCondition()
{
    return kKeyCondition;
}

QString LockStatement()
{
    return QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE where ") + kKeyCondition
        + QStringLiteral(" order by CODIGO, LOTE, FORNECEDOR, LABORATORIO with lock");
}

bool IsRetryable(const db::DbError &e)
{
    return e.wait() == db::DbError::Wait::Deadlock || (e.wait() == db::DbError::Wait::None && e.isConflict());
}

void PassOnLostOrEndedWait(const db::DbError &e)
{
    if (e.isConnectionLost() || (e.waitEnded() && !IsRetryable(e)))
        throw;
}

QString ReadableStatement(const QString &sql, const std::vector<db::Value> &params)
{
    QString out;
    size_t next = 0;
    for (const QChar c : sql) {
        if (c != QLatin1Char('?') || next >= params.size()) {
            out += c;
            continue;
        }
        const db::Value &v = params[next++];
        switch (v.kind()) {
        case db::Value::Kind::Null: out += QStringLiteral("NULL"); break;
        case db::Value::Kind::Integer:
        case db::Value::Kind::Decimal:
        case db::Value::Kind::Double: {
            // The general decimal form with "." (5, 2.5, 0.001).
            QString n = platform::GeneralNumber(v.toDouble());
            n.replace(QLatin1Char(','), QLatin1Char('.'));
            out += n;
            break;
        }
        case db::Value::Kind::Date: out += db::quoted(db::monthFirstDate(v.toDate(), false)); break;
        default: out += db::quoted(v.toString()); break;
        }
    }
    return out;
}

QString LookupFailedMessage(const QString &command)
{
    return QStringLiteral("(1) Não foi possível executar o seguinte comando: ") + QLatin1Char('\r') + command;
}

db::Rows LockLotOnce(db::Transaction &tx, const db::Value &codigo, const db::Value &lote, const db::Value &fornecedor)
{
    // One statement, kept prepared on the connection: the rows are locked as the index on the
    // lot's key and location hands them over, so every writer takes them in the same order.
    const std::vector<db::Value> params{codigo, lote, fornecedor};
    const QString lockSql = LockStatement();
    try {
        return tx.queryKept(lockSql, params);
    } catch (const db::DbError &e) {
        PassOnLostOrEndedWait(e);
        if (IsRetryable(e))
            throw LotLockRestart{};
        throw LotLockFailure{ReadableStatement(lockSql, params)};
    }
}

db::Rows LockLotRows(db::Transaction &tx, const db::Value &codigo, const db::Value &lote, const db::Value &fornecedor)
{
    for (int attempt = 1;; ++attempt) {
        try {
            return LockLotOnce(tx, codigo, lote, fornecedor);
        } catch (const LotLockRestart &) {
            if (attempt >= kMaxAttempts)
                throw db::DbError(LookupFailedMessage(ReadableStatement(LockStatement(), {codigo, lote, fornecedor})));
        } catch (const LotLockFailure &f) {
            throw db::DbError(LookupFailedMessage(f.command));
        }
    }
}

} // namespace data
