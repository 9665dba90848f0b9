#include "lotlock.h"

#include "data/lotlock.h"
#include "db/dberror.h"

namespace common {

namespace {

// A lock that waited on another transaction's commit is taken again on what it left (read
// committed sees it at the next statement); each new try means another writer got through, so
// this only bounds a pathological case.
const int kMaxAttempts = 200;

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
            if (!data::IsRetryable(e) || e.isConnectionLost() || attempt >= kMaxAttempts)
                throw;
        }
    }
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
    return data::LockLotRows(tx, codigo, lote, fornecedor);
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
