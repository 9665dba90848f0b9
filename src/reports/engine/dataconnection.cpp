#include "dataconnection.h"

#include "data/cacheddataset.h"
#include "data/query.h"

namespace reports_engine {

namespace {

class DatasetConnection : public DataConnection {
public:
    explicit DatasetConnection(data::CachedDataset &ds) : m_ds(ds) {}
    bool isOpen() const override { return m_ds.isOpen(); }
    void open() override { m_ds.open(); }
    void close() override { m_ds.close(); }
    int rowCount() const override { return m_ds.isOpen() ? m_ds.rowCount() : 0; }
    int fieldIndex(const QString &field) const override { return m_ds.isOpen() ? m_ds.fieldIndex(field) : -1; }
    db::Value value(int row, int field) const override { return m_ds.valueAt(row, field); }

private:
    data::CachedDataset &m_ds;
};

class QueryConnection : public DataConnection {
public:
    explicit QueryConnection(data::Query &q) : m_q(q) {}
    bool isOpen() const override { return m_q.isOpen(); }
    void open() override { m_q.open(); }
    void close() override { m_q.close(); }
    int rowCount() const override { return m_q.rows() ? int(m_q.rows()->rows.size()) : 0; }
    int fieldIndex(const QString &field) const override { return m_q.rows() ? m_q.rows()->indexOf(field) : -1; }
    db::Value value(int row, int field) const override { return m_q.rows()->rows[size_t(row)][size_t(field)]; }

private:
    data::Query &m_q;
};

} // namespace

int RowsConnection::fieldIndex(const QString &field) const
{
    for (int i = 0; i < int(m_fields.size()); ++i)
        if (m_fields.at(i).compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

std::unique_ptr<DataConnection> ConnectDataset(data::CachedDataset &dataset)
{
    return std::make_unique<DatasetConnection>(dataset);
}

std::unique_ptr<DataConnection> ConnectQuery(data::Query &query)
{
    return std::make_unique<QueryConnection>(query);
}

} // namespace reports_engine
