// Bulk inserts: a statement is prepared once and executed per row inside a long transaction.
#include "bulkwriter.h"

#include <stdexcept>

namespace makedemo {

BulkWriter::BulkWriter(db::Connection &conn, int commitEvery)
    : m_conn(conn), m_commitEvery(commitEvery)
{
}

BulkWriter::~BulkWriter()
{
    m_statements.clear();
}

void BulkWriter::insert(const QString &table, const QStringList &columns, const std::vector<db::Value> &values)
{
    if (columns.size() != qsizetype(values.size()))
        throw std::logic_error("column and value counts differ for " + table.toStdString());
    const QString key = table + QLatin1Char('(') + columns.join(QLatin1Char(',')) + QLatin1Char(')');
    if (!m_tx)
        m_tx = std::make_unique<db::Transaction>(m_conn);
    auto it = m_statements.find(key);
    if (it == m_statements.end()) {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
        it = m_statements.emplace(key, std::make_unique<db::Prepared>(*m_tx, sql)).first;
    }
    it->second->execute(values);
    ++m_rows[table];
    if (++m_pending >= m_commitEvery)
        finish();
}

// Statements are released before the commit: they were prepared within this transaction.
void BulkWriter::finish()
{
    m_statements.clear();
    if (m_tx)
        m_tx->commit();
    m_tx.reset();
    m_pending = 0;
}

int BulkWriter::rows(const QString &table) const
{
    const auto it = m_rows.find(table);
    return it == m_rows.end() ? 0 : it->second;
}

} // namespace makedemo
