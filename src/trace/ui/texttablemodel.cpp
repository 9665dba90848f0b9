#include "texttablemodel.h"

#include <QBrush>

namespace trace_ui {

TextTableModel::TextTableModel(const QStringList &titles, const QList<int> &rightAligned, QObject *parent)
    : QAbstractTableModel(parent), m_titles(titles), m_right(rightAligned)
{
}

void TextTableModel::reset(int rows, CellText text)
{
    beginResetModel();
    m_rows = rows;
    m_text = std::move(text);
    endResetModel();
}

void TextTableModel::setWarning(std::function<bool(int)> warning)
{
    m_warning = std::move(warning);
}

int TextTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TextTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_titles.size());
}

QVariant TextTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || index.column() >= m_titles.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_text ? m_text(index.row(), index.column()) : QString();
    case Qt::TextAlignmentRole:
        if (m_right.contains(index.column()))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::ForegroundRole:
        if (m_warning && m_warning(index.row()))
            return QBrush(Qt::red);
        return {};
    default:
        return {};
    }
}

QVariant TextTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_titles.size())
        return m_titles.at(section);
    return {};
}

} // namespace trace_ui
