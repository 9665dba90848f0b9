// Plain queries: the whole result read in its own transaction, then walked front to back.
#include "query.h"

#include "cacheddataset.h"

namespace data {

void Query::open()
{
    m_rows.reset();
    m_pos = 0;
    m_rows = m_conn->query(m_sql);
}

db::Value Query::value(const QString &column) const
{
    if (!m_rows)
        throw DatasetError(QStringLiteral("%1: operação não permitida com o conjunto de dados fechado").arg(m_name));
    const int i = m_rows->indexOf(column);
    if (i < 0)
        throw DatasetError(QStringLiteral("%1: campo '%2' não encontrado").arg(m_name, column));
    if (m_pos >= m_rows->rows.size())
        return db::Value();
    return m_rows->rows[m_pos][size_t(i)];
}

} // namespace data
