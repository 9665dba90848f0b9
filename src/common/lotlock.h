// The lock rule of every write that may give a lot a row at a location where it has none (a new
// lot typed in the lot edit form, a lot given another key, the imports): the product's register
// rows are locked first, then the lot's rows at all its locations in byte order of the location's
// name, as the transfer locks them. A new lot has no row yet to lock; its product has, so two
// workstations creating the same lot queue on it, and the second one sees the first one's row.
#pragma once
#include "db/connection.h"
#include "db/value.h"

namespace common {

// Locks, inside tx, the product register's (COMPONEN) rows of the code; a code the register does
// not hold (or none) locks the register's first row by code instead, so every creator of a lot
// still meets on one row. Waits as every statement waits on a held row; throws db::DbError.
void LockProduct(db::Transaction &tx, const db::Value &codigo);

// The product locked, then the lot's rows at all its locations by the lot lock rule of the data
// layer (data::LockLotRows). The rows are in LotColumnList order, as they are
// now that no other writer of the lot can add or change one before tx ends. Throws db::DbError.
db::Rows LockLotForNewRow(db::Transaction &tx, const db::Value &codigo, const db::Value &lote,
                          const db::Value &fornecedor);

// The first of those rows at the location (names compared as the server compares them: trailing
// blanks do not count), or -1.
int RowAtLocation(const db::Rows &rows, const db::Value &laboratorio);

// The statements, for the tests.
QString LockProductStatement();
QString LockFirstProductStatement();

} // namespace common
