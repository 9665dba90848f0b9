#include "lotlock.h"

#include "core/runstate.h"
#include "db/dberror.h"
#include "db/sqltext.h"
#include "platform/cp1252.h"
#include "platform/numberformat.h"

#include <algorithm>

namespace data {

namespace {

// Every write of a lot's locations locks all of the lot's rows, location by location in this
// order, before it writes anything: two of them queue on the first row instead of deadlocking,
// and a location created by one is seen by the other when it gets its turn.
const QString kKeyCondition = QStringLiteral(
    "CODIGO is not distinct from ? and LOTE is not distinct from ? and FORNECEDOR is not distinct from ?");

const QString kLocationsStatement = QStringLiteral("select LABORATORIO from ESTLOTE where ") + kKeyCondition;

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
        + QStringLiteral(" and LABORATORIO is not distinct from ? with lock");
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
    const std::vector<db::Value> params{codigo, lote, fornecedor};
    db::Rows locations;
    try {
        locations = tx.query(kLocationsStatement, params);
    } catch (const db::DbError &e) {
        PassOnLostOrEndedWait(e);
        if (IsRetryable(e))
            throw LotLockRestart{};
        throw LotLockFailure{ReadableStatement(kLocationsStatement, params)};
    }
    std::vector<std::pair<QByteArray, db::Value>> names;
    for (const auto &r : locations.rows) {
        const QByteArray key = r[0].isNull() ? QByteArray() : platform::toCp1252(rightTrimmed(r[0].toString()));
        const bool seen = std::any_of(names.begin(), names.end(), [&](const auto &n) {
            return n.first == key && n.second.isNull() == r[0].isNull();
        });
        if (!seen)
            names.emplace_back(key, r[0]);
    }
    std::sort(names.begin(), names.end(), [](const auto &a, const auto &b) {
        if (a.second.isNull() != b.second.isNull())
            return a.second.isNull();
        return a.first < b.first;
    });

    db::Rows locked;
    const QString lockSql = LockStatement();
    for (const auto &n : names) {
        std::vector<db::Value> p = params;
        p.push_back(n.second);
        try {
            db::Rows rows = tx.query(lockSql, p);
            if (locked.columns.empty())
                locked.columns = rows.columns;
            for (auto &r : rows.rows)
                locked.rows.push_back(std::move(r));
        } catch (const db::DbError &e) {
            PassOnLostOrEndedWait(e);
            if (IsRetryable(e))
                throw LotLockRestart{};
            throw LotLockFailure{ReadableStatement(lockSql, p)};
        }
    }
    // A location another transaction created and committed between the first read and the locks
    // is not locked yet: start again so it takes its place in the order. Once every row is held,
    // no other such write of the lot can add one before this one ends.
    try {
        if (tx.query(kLocationsStatement, params).rows.size() != locked.rows.size())
            throw LotLockRestart{};
    } catch (const db::DbError &e) {
        PassOnLostOrEndedWait(e);
        if (IsRetryable(e))
            throw LotLockRestart{};
        throw LotLockFailure{ReadableStatement(kLocationsStatement, params)};
    }
    return locked;
}

db::Rows LockLotRows(db::Transaction &tx, const db::Value &codigo, const db::Value &lote, const db::Value &fornecedor)
{
    for (int attempt = 1;; ++attempt) {
        try {
            return LockLotOnce(tx, codigo, lote, fornecedor);
        } catch (const LotLockRestart &) {
            if (attempt >= kMaxAttempts)
                throw db::DbError(LookupFailedMessage(ReadableStatement(kLocationsStatement, {codigo, lote, fornecedor})));
        } catch (const LotLockFailure &f) {
            throw db::DbError(LookupFailedMessage(f.command));
        }
    }
}

} // namespace data
