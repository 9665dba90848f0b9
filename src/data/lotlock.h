// The lock rule of every write that could add a location to a lot or move its balance between
// locations: the lot's rows at all its locations read and locked in byte order of the location's
// name, inside the caller's transaction. Shared by the transfer, the lot edit and the recall.
#pragma once
#include "db/connection.h"
#include "db/value.h"

#include <QString>
#include <vector>

namespace data {

// The lot's rows were locked while another transaction held one, or a location appeared between
// the read and the locks: the caller starts again (read committed sees the other's work then).
struct LotLockRestart {};
// A statement of the lock failed otherwise: its text with the values written in.
struct LotLockFailure {
    QString command;
};

// One attempt: the rows in LotColumnList order. Throws LotLockRestart or LotLockFailure; a lost
// link and a wait ended by the operator or its bound go on as db::DbError.
db::Rows LockLotOnce(db::Transaction &tx, const db::Value &codigo, const db::Value &lote,
                     const db::Value &fornecedor);

// Attempts until the rows are held. Throws db::DbError with message (1) when they cannot be.
db::Rows LockLotRows(db::Transaction &tx, const db::Value &codigo, const db::Value &lote,
                     const db::Value &fornecedor);

// "(1) Não foi possível executar o seguinte comando: " and the statement.
QString LookupFailedMessage(const QString &command);

// A statement with its values written in, as the operator reads it in a failure message.
QString ReadableStatement(const QString &sql, const std::vector<db::Value> &params);

// Location names (and the lot's other key texts) compare as the server compares them: trailing
// blanks do not count.
bool SameLocation(const QString &a, const QString &b);

// The statement locking one location's rows of the lot (bound: code, lot, supplier, location).
QString LockStatement();
// The lot's key condition (bound: code, lot, supplier), NULLs matching NULLs.
QString LotKeyCondition();

// Every answer of the engine for a row another transaction held or changed, and a wait given up
// because the other transaction was waiting on this one: the caller starts over on what the
// others left.
bool IsRetryable(const db::DbError &e);
// Call only from a handler: a lost link, or a wait the operator cancelled or that ran out (not
// one given up to break a deadlock), is thrown on as it is; it means the same whatever statement
// met it.
void PassOnLostOrEndedWait(const db::DbError &e);

} // namespace data
