// The named data connections a report reads: a dataset exposed to the layouts under a fixed name.
// Rows are read by position, so an open dataset's current row never moves during a run.
#pragma once
#include "db/value.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace data {
class CachedDataset;
class Query;
}

namespace reports_engine {

class DataConnection {
public:
    virtual ~DataConnection() = default;
    virtual bool isOpen() const = 0;
    virtual void open() = 0;
    virtual void close() = 0;
    virtual int rowCount() const = 0;
    virtual int fieldIndex(const QString &field) const = 0;   // -1 when absent
    virtual db::Value value(int row, int field) const = 0;
};

// Rows held in memory, read by the engine like any dataset; fields found without regard to case.
class RowsConnection : public DataConnection {
public:
    RowsConnection(QStringList fields, std::vector<std::vector<db::Value>> rows)
        : m_fields(std::move(fields)), m_rows(std::move(rows)) {}
    bool isOpen() const override { return true; }
    void open() override {}
    void close() override {}
    int rowCount() const override { return int(m_rows.size()); }
    int fieldIndex(const QString &field) const override;
    db::Value value(int row, int field) const override { return m_rows[size_t(row)][size_t(field)]; }

private:
    QStringList m_fields;
    std::vector<std::vector<db::Value>> m_rows;
};

std::unique_ptr<DataConnection> ConnectDataset(data::CachedDataset &dataset);
std::unique_ptr<DataConnection> ConnectQuery(data::Query &query);

} // namespace reports_engine
