// Grid adapter over a cached dataset: display texts as the desktop writes them, resets on reload.
#include "datasetmodel.h"

#include "data/fieldtext.h"

namespace data_ui {

DatasetModel::DatasetModel(data::CachedDataset *dataset, QList<Column> columns, QObject *parent)
    : QAbstractTableModel(parent), m_dataset(dataset), m_columns(std::move(columns))
{
    resolveFields();
    m_rows = m_dataset->rowCount();
    connect(m_dataset, &data::CachedDataset::rowsReset, this, &DatasetModel::onRowsReset);
    connect(m_dataset, &data::CachedDataset::rowChanged, this, &DatasetModel::onRowChanged);
}

void DatasetModel::setColumns(QList<Column> columns)
{
    beginResetModel();
    m_columns = std::move(columns);
    resolveFields();
    m_rows = m_dataset->rowCount();
    endResetModel();
}

void DatasetModel::resolveFields()
{
    m_fieldIndex.clear();
    for (const Column &c : m_columns)
        m_fieldIndex.push_back(m_dataset->isOpen() ? m_dataset->fieldIndex(c.field) : -1);
}

void DatasetModel::onRowsReset()
{
    // The dataset has already changed under us; views hold no row data across a reset.
    beginResetModel();
    resolveFields();
    m_rows = m_dataset->rowCount();
    endResetModel();
}

void DatasetModel::onRowChanged(int row)
{
    if (row < 0 || row >= m_rows || m_columns.isEmpty())
        return;
    Q_EMIT dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1), {Qt::DisplayRole});
}

int DatasetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DatasetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

db::Value DatasetModel::value(const QModelIndex &index) const
{
    if (!index.isValid() || index.row() >= m_rows || index.column() >= int(m_fieldIndex.size()))
        return db::Value();
    const int field = m_fieldIndex[size_t(index.column())];
    return field < 0 ? db::Value() : m_dataset->valueAt(index.row(), field);
}

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    if (role != Qt::DisplayRole)
        return QVariant();
    return data::FieldText(value(index));
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_columns.size() ? QVariant(m_columns[section].caption) : QVariant();
    return QVariant();
}

} // namespace data_ui
