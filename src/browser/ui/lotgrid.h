// DBGrid1: the read-only grid of the lot dataset, coloured by expiry, sorted by a title click.
#pragma once
#include "browser/lotgrid.h"
#include "data/ui/datasetmodel.h"

#include <QTableView>
#include <functional>

class QAction;
class QMenu;

namespace platform {
class Clock;
}

namespace browser_ui {

class DetailPanel;

class LotGrid : public QTableView {
    Q_OBJECT
public:
    // filterIndex: ComboBox1's index, read at every paint (the nearest-expiries view colours differently).
    LotGrid(data::CachedDataset &lots, const platform::Clock &clock, std::function<int()> filterIndex,
            QWidget *parent = nullptr);

    static const QList<data_ui::DatasetModel::Column> kColumns;

    data_ui::DatasetModel *lotModel() const { return m_model; }
    data::CachedDataset &lots() const { return m_lots; }

    // The grid's context menu; its items' handlers belong to the panels they open.
    QMenu *PopupMenu2;
    QAction *NotaFiscal1;
    QAction *AjustedeEstoque1;
    QAction *ransferirestoqueparaoutraunidade1;   // answered by the main window (the transfer form)
    QAction *RastrearLote1;   // answered by the main window (the lot trace panel)

    // What a double click shows.
    void setDetailPanel(DetailPanel *panel) { m_detail = panel; }

    void DBGrid1TitleClick(int column);
    void DBGrid1DblClick();

    // The colours of a row of the dataset's current order, and what they are on this screen.
    browser::RowColours rowColours(int row) const;
    QColor backgroundColor(browser::CellBackground background) const;
    static QColor textColor(browser::CellText text);

    // The width that shows every column side by side, the row header and a scroll bar included.
    int widthForAllColumns() const;

    // Typed letters do not move the current row: searching is the search box's job.
    void keyboardSearch(const QString &search) override;

    // The lot menu opened from the keyboard (the Menu key, Shift+F10): under the current row,
    // wherever the mouse pointer is.
    void popupLotMenu();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void followDataset();
    void bringIntoView(const QModelIndex &index);
    void showSortColumn();

    data::CachedDataset &m_lots;
    const platform::Clock &m_clock;
    std::function<int()> m_filterIndex;
    data_ui::DatasetModel *m_model;
    DetailPanel *m_detail = nullptr;
    bool m_following = false;
};

} // namespace browser_ui
