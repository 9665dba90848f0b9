// Parameterised inserts in long transactions, committed every few thousand rows.
#pragma once
#include "db/connection.h"

#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <vector>

namespace makedemo {

class BulkWriter {
public:
    explicit BulkWriter(db::Connection &conn, int commitEvery = 20000);
    ~BulkWriter();   // rolls back what was not finished
    BulkWriter(const BulkWriter &) = delete;
    BulkWriter &operator=(const BulkWriter &) = delete;

    // One row; the statement for this table and column list is prepared once per transaction.
    void insert(const QString &table, const QStringList &columns, const std::vector<db::Value> &values);
    void finish();   // commits; the next insert starts a new transaction
    int rows(const QString &table) const;

private:
    db::Connection &m_conn;
    int m_commitEvery;
    int m_pending = 0;
    std::unique_ptr<db::Transaction> m_tx;
    std::map<QString, std::unique_ptr<db::Prepared>> m_statements;
    std::map<QString, int> m_rows;
};

} // namespace makedemo
