// pnlDetalha: the current lot's main fields in large, over the grid, following the grid's row.
#pragma once
#include <QFrame>
#include <QList>

class QLabel;
class QPushButton;

namespace data {
class CachedDataset;
}

namespace browser_ui {

class DetailPanel : public QFrame {
    Q_OBJECT
public:
    // grid: what the panel lies over and what gets the focus back.
    DetailPanel(data::CachedDataset &lots, QWidget *grid, QWidget *window);

    // Captions and the field texts under them, in the order of kFields.
    QList<QLabel *> captions;
    QList<QLabel *> texts;
    QPushButton *btn8;

    static const QStringList kCaptions;
    static const QStringList kFields;

    void showOverGrid();
    void btn8Click();
    // The text shown for a field of the current lot.
    QString fieldText(const QString &field) const;

private:
    void refresh();

    data::CachedDataset &m_lots;
    QWidget *m_grid;
};

} // namespace browser_ui
