// Building the apply's statements: text and parameters side by side, in the order the marks come.
#include "rowstatements.h"

#include <algorithm>

namespace data {

QString RowCondition(const WriteTarget &t, const std::vector<int> &columns, const std::vector<db::Value> &row,
                     std::vector<db::Value> &params)
{
    QStringList terms;
    for (int c : columns) {
        const db::Value &v = row[size_t(c)];
        if (v.isNull()) {
            terms << t.names[c] + QStringLiteral(" is null");
        } else {
            terms << t.names[c] + QStringLiteral(" = ?");
            params.push_back(v);
        }
    }
    return terms.join(QStringLiteral(" and "));
}

RowStatement InsertStatement(const WriteTarget &t, const std::vector<db::Value> &values)
{
    RowStatement s;
    QStringList cols, marks;
    for (int c : t.writable) {
        cols << t.names[c];
        marks << QStringLiteral("?");
        s.params.push_back(values[size_t(c)]);
    }
    s.sql = QStringLiteral("insert into %1 (%2) values (%3)")
                .arg(t.table, cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    return s;
}

RowStatement UpdateStatement(const WriteTarget &t, const std::vector<db::Value> &old,
                             const std::vector<db::Value> &values)
{
    RowStatement s;
    QStringList sets;
    for (int c : t.writable) {
        if (values[size_t(c)] != old[size_t(c)]) {
            sets << t.names[c] + QStringLiteral(" = ?");
            s.params.push_back(values[size_t(c)]);
            s.changed.push_back(c);
        }
    }
    if (sets.isEmpty())
        return s;
    QStringList where;
    if (const QString at = RowCondition(t, t.locator, old, s.params); !at.isEmpty())
        where << at;
    // Each column written must still hold what this edit started from, checked in the same
    // statement: another workstation's change is never overwritten.
    for (int c : s.changed) {
        if (t.isBlob[size_t(c)] || std::find(t.locator.begin(), t.locator.end(), c) != t.locator.end())
            continue;
        if (old[size_t(c)].isNull()) {
            where << t.names[c] + QStringLiteral(" is null");
        } else {
            where << t.names[c] + QStringLiteral(" is not distinct from ?");
            s.params.push_back(old[size_t(c)]);
        }
    }
    s.sql = QStringLiteral("update %1 set %2").arg(t.table, sets.join(QStringLiteral(", ")));
    if (!where.isEmpty())
        s.sql += QStringLiteral(" where ") + where.join(QStringLiteral(" and "));
    return s;
}

RowStatement DeleteStatement(const WriteTarget &t, const std::vector<db::Value> &old)
{
    RowStatement s;
    const QString where = RowCondition(t, t.locator, old, s.params);
    s.sql = QStringLiteral("delete from %1").arg(t.table);
    if (!where.isEmpty())
        s.sql += QStringLiteral(" where ") + where;
    return s;
}

} // namespace data
