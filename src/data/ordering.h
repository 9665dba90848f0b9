// The column a statement's rows come ordered by, read from its outer order clause.
#pragma once
#include <QString>

namespace data {

// The first column of the outer "order by" (not one inside a subquery or a quoted text), without
// a table alias; empty when there is none, when it is descending or when it is a position.
QString StatementOrderColumn(const QString &statement);

} // namespace data
