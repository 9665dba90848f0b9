// The deduction audit as the row-by-row algorithm does it: the order statement as written, then one
// movement statement per order line.
// Kept only as the reference the set-based audit is checked and measured against.
#pragma once
#include "db/connection.h"
#include "exports/deductionaudit.h"

namespace testsupport {

inline exports::AuditReport RunAuditLineByLine(db::Connection &central, const QDate &start, const QDate &end,
                                               const QString &productName)
{
    exports::AuditReport report;
    for (const exports::OrderLine &line : exports::ReadOrderLines(central, exports::OrderQuery(start, end, productName))) {
        const db::Rows rows = central.query(exports::MovementQuery(line));
        report.add(line, rows.rows.empty() ? std::nullopt
                                           : std::optional<exports::Movement>(exports::MovementFromRow(rows.rows[0], 0)));
    }
    report.finish();
    return report;
}

} // namespace testsupport
