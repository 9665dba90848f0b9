// A plain query: set a statement, open, read front to back, close. Never written through.
#pragma once
#include "db/connection.h"

#include <optional>

namespace data {

class Query {
public:
    Query(QString name, db::Connection *connection, QString sql = {})
        : m_name(std::move(name)), m_conn(connection), m_sql(std::move(sql)) {}

    void setSql(const QString &sql) { m_sql = sql; }
    const QString &sql() const { return m_sql; }
    void open();                 // runs the statement and reads its rows
    void close() { m_rows.reset(); m_pos = 0; }
    bool isOpen() const { return m_rows.has_value(); }
    bool eof() const { return !m_rows || m_pos >= m_rows->rows.size(); }
    bool isEmpty() const { return !m_rows || m_rows->rows.empty(); }
    void next() { ++m_pos; }
    // A column of the current row; a null value past the end.
    db::Value value(const QString &column) const;
    const db::Rows *rows() const { return m_rows ? &*m_rows : nullptr; }
    // The rows moved out to the caller, the query left closed: a walk over them that lets the
    // window process events cannot lose them to someone else's close or reopen meanwhile.
    db::Rows takeRows()
    {
        db::Rows out = m_rows ? std::move(*m_rows) : db::Rows{};
        close();
        return out;
    }
    db::Connection *connection() const { return m_conn; }

private:
    QString m_name;
    db::Connection *m_conn;
    QString m_sql;
    std::optional<db::Rows> m_rows;
    size_t m_pos = 0;
};

} // namespace data
