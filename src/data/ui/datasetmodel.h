// A cached dataset seen by a grid: one row per dataset row in its current order, chosen columns.
#pragma once
#include "data/cacheddataset.h"

#include <QAbstractTableModel>
#include <QList>

namespace data_ui {

class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString caption;
        QString field;
    };

    DatasetModel(data::CachedDataset *dataset, QList<Column> columns, QObject *parent = nullptr);

    data::CachedDataset *dataset() const { return m_dataset; }
    const QList<Column> &columns() const { return m_columns; }
    void setColumns(QList<Column> columns);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The raw value under an index (what the display text is made from).
    db::Value value(const QModelIndex &index) const;

private:
    void resolveFields();
    void onRowsReset();
    void onRowChanged(int row);

    data::CachedDataset *m_dataset;
    QList<Column> m_columns;
    std::vector<int> m_fieldIndex;   // column -> dataset field, -1 when the dataset lacks it
    int m_rows = 0;                  // what the views were last told
};

} // namespace data_ui
