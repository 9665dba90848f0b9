#include "lotlock.h"

#include "core/runstate.h"
#include "db/dberror.h"
#include "platform/cp1252.h"

#include <algorithm>

namespace common {

namespace {

const QString kKeyCondition = QStringLiteral(
    "CODIGO is not distinct from ? and LOTE is not distinct from ? and FORNECEDOR is not distinct from ?");

// A lock that waited on another transaction's commit is taken again on what it left (read
// committed sees it at the next statement); each new try means another writer got through, so
// this only bounds a pathological case.
const int kMaxAttempts = 200;

// A real deadlock is not tried again: waiting once more would only meet it again.
bool retryable(const db::DbError &e)
{
    return !e.isConnectionLost() && !e.waitEnded() && e.isUpdateConflict();
}

QString rightTrimmed(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return s.left(n);
}

db::Rows lockedQuery(db::Transaction &tx, const QString &sql, const std::vector<db::Value> &params)
{
    for (int attempt = 1;; ++attempt) {
        try {
            return tx.query(sql, params);
        } catch (const db::DbError &e) {
            if (!retryable(e) || attempt >= kMaxAttempts)
                throw;
        }
    }
}

QString locationsStatement()
{
    return QStringLiteral("select LABORATORIO from ESTLOTE where ") + kKeyCondition;
}

QString lockLocationStatement()
{
    return QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE where ") + kKeyCondition
        + QStringLiteral(" and LABORATORIO is not distinct from ? with lock");
}

} // namespace

QString LockProductStatement()
{
    return QStringLiteral("select CODIGO from COMPONEN where CODIGO = ? with lock");
}

QString LockFirstProductStatement()
{
    return QStringLiteral("select first 1 CODIGO from COMPONEN where CODIGO is not null order by CODIGO with lock");
}

void LockProduct(db::Transaction &tx, const db::Value &codigo)
{
    if (!codigo.isNull() && !lockedQuery(tx, LockProductStatement(), {codigo}).isEmpty())
        return;
    lockedQuery(tx, LockFirstProductStatement(), {});
}

db::Rows LockLotForNewRow(db::Transaction &tx, const db::Value &codigo, const db::Value &lote,
                          const db::Value &fornecedor)
{
    LockProduct(tx, codigo);
    const std::vector<db::Value> key{codigo, lote, fornecedor};
    for (int attempt = 1;; ++attempt) {
        const db::Rows locations = lockedQuery(tx, locationsStatement(), key);
        std::vector<std::pair<QByteArray, db::Value>> names;
        for (const auto &r : locations.rows) {
            const QByteArray name = r[0].isNull() ? QByteArray() : platform::toCp1252(rightTrimmed(r[0].toString()));
            const bool seen = std::any_of(names.begin(), names.end(), [&](const auto &n) {
                return n.first == name && n.second.isNull() == r[0].isNull();
            });
            if (!seen)
                names.emplace_back(name, r[0]);
        }
        std::sort(names.begin(), names.end(), [](const auto &a, const auto &b) {
            if (a.second.isNull() != b.second.isNull())
                return a.second.isNull();
            return a.first < b.first;
        });
        db::Rows locked;
        for (const auto &n : names) {
            std::vector<db::Value> p = key;
            p.push_back(n.second);
            db::Rows rows = lockedQuery(tx, lockLocationStatement(), p);
            if (locked.columns.empty())
                locked.columns = rows.columns;
            for (auto &r : rows.rows)
                locked.rows.push_back(std::move(r));
        }
        // A location a transfer added between the first read and the locks is not locked yet:
        // read again, so it takes its place in the order.
        if (lockedQuery(tx, locationsStatement(), key).rows.size() == locked.rows.size() || attempt >= kMaxAttempts)
            return locked;
    }
}

int RowAtLocation(const db::Rows &rows, const db::Value &laboratorio)
{
    const int lab = rows.indexOf(QStringLiteral("LABORATORIO"));
    if (lab < 0)
        return -1;
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        const db::Value &v = rows.rows[i][size_t(lab)];
        if (v.isNull() || laboratorio.isNull() ? (v.isNull() && laboratorio.isNull())
                                               : rightTrimmed(v.toString()) == rightTrimmed(laboratorio.toString()))
            return int(i);
    }
    return -1;
}

} // namespace common
