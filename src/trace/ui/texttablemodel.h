// A read-only table whose cells are computed when the view paints them: a lot's thousands of
// movements cost a row count, not thousands of items.
#pragma once
#include <QAbstractTableModel>
#include <QStringList>
#include <functional>

namespace trace_ui {

class TextTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using CellText = std::function<QString(int row, int column)>;

    TextTableModel(const QStringList &titles, const QList<int> &rightAligned, QObject *parent);

    // Replaces the rows: `rows` of them, each cell given by `text`.
    void reset(int rows, CellText text);
    // Paints a row red (a line no movement deducted, a difference to look at).
    void setWarning(std::function<bool(int row)> warning);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList m_titles;
    QList<int> m_right;
    int m_rows = 0;
    CellText m_text;
    std::function<bool(int)> m_warning;
};

} // namespace trace_ui
