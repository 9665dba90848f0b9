// The statement an apply sends for one pending row, as text and parameters: an insert of the
// table's columns, an update of the changed ones that writes only while they still hold what the
// edit started from, a delete; the row found by its key's values before the change.
#pragma once
#include "db/value.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace data {

// The table a cache writes to, as the statements see it. Columns are the dataset's indexes.
struct WriteTarget {
    QString table;
    QStringList names;          // every column of the dataset
    std::vector<bool> isBlob;   // by column: a blob is never compared
    std::vector<int> writable;  // the columns an insert or an update writes
    std::vector<int> locator;   // the columns that find the row: the key, or every plain column
    bool keyed = false;         // the locator is the table's key
};

struct RowStatement {
    QString sql;                     // empty: an update that changes no column of the table
    std::vector<db::Value> params;
    std::vector<int> changed;        // the columns an update writes
};

// "A = ? and B is null": the row whose `columns` hold the values of `row`; the parameters go
// to the end of `params`.
QString RowCondition(const WriteTarget &t, const std::vector<int> &columns, const std::vector<db::Value> &row,
                     std::vector<db::Value> &params);

RowStatement InsertStatement(const WriteTarget &t, const std::vector<db::Value> &values);
RowStatement UpdateStatement(const WriteTarget &t, const std::vector<db::Value> &old,
                             const std::vector<db::Value> &values);
RowStatement DeleteStatement(const WriteTarget &t, const std::vector<db::Value> &old);

} // namespace data
