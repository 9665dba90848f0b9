// The lot grid: columns of the lot dataset, a delegate for the expiry colours, and the current row
// kept the same in the grid and in the dataset.
#include "lotgrid.h"

#include "detailpanel.h"

#include "data/cacheddataset.h"
#include "platform/clock.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace browser_ui {

using Col = data_ui::DatasetModel::Column;
const QList<Col> LotGrid::kColumns = {
    {QStringLiteral("Código"), QStringLiteral("CODIGO")},
    {QStringLiteral("Descrição"), QStringLiteral("DESCRICAO")},
    {QStringLiteral("Lote"), QStringLiteral("LOTE")},
    {QStringLiteral("Fornecedor"), QStringLiteral("FORNECEDOR")},
    {QStringLiteral("Local"), QStringLiteral("LABORATORIO")},
    {QStringLiteral("Estoque"), QStringLiteral("SALDOCORRENTE")},
    {QStringLiteral("Unid"), QStringLiteral("UNIDADE")},
    {QStringLiteral("Validade"), QStringLiteral("VALIDADE")},
    {QStringLiteral("Situação"), QStringLiteral("SITUACAO")},
    {QStringLiteral("Control."), QStringLiteral("CONTROLADA")},
    {QStringLiteral("Fabricante"), QStringLiteral("FABRICANTE")},
    {QStringLiteral("Dens."), QStringLiteral("DENSIDADE")},
    {QStringLiteral("Fat. Corr."), QStringLiteral("FATORCORRECAO")},
};

namespace {

const int kBalanceColumn = 5;
const int kSupplierColumn = 3;
const int kLocationColumn = 4;
const int kWidestNameColumn = 230;
const int kWidths[] = {70, 240, 90, 120, 110, 80, 40, 85, 90, 50, 120, 55, 60};   // a whole date in "Validade"

// Windows' default colour of an inactive window's caption, for styles whose inactive highlight
// is too dark to read black text on.
const QColor kInactiveCaptionStandIn(191, 205, 219);

const int kFrameWidth = 2;
const int kIndicatorWidth = 14;

// The grid's row header: no numbers, a black arrowhead on the current row, as a data grid's
// indicator column shows it.
class RowIndicator : public QHeaderView {
public:
    explicit RowIndicator(QTableView *grid) : QHeaderView(Qt::Vertical, grid), m_grid(grid)
    {
        setSectionsClickable(false);
        setHighlightSections(false);
    }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        // The style may leave its own clip behind; the section's is set again for the arrow.
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        if (logicalIndex != m_grid->currentIndex().row())
            return;
        painter->save();
        painter->setClipRect(rect);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(Qt::black);
        const QPointF c = QRectF(rect).center();
        const qreal h = qMin<qreal>(rect.height() * 0.3, rect.width() * 0.3);
        const QPointF arrow[3] = {QPointF(c.x() - h * 0.6, c.y() - h), QPointF(c.x() - h * 0.6, c.y() + h),
                                  QPointF(c.x() + h * 0.8, c.y())};
        painter->drawPolygon(arrow, 3);
        painter->restore();
    }

private:
    QTableView *m_grid;
};

class LotRowDelegate : public QStyledItemDelegate {
public:
    explicit LotRowDelegate(LotGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const browser::RowColours colours = m_grid->rowColours(index.row());
        option->backgroundBrush = m_grid->backgroundColor(colours.background);
        const QColor text = LotGrid::textColor(colours.text);
        option->palette.setColor(QPalette::Text, text);
        option->palette.setColor(QPalette::WindowText, text);
        if (index.column() == kBalanceColumn)
            option->font.setBold(true);
        const db::Value::Kind kind = m_grid->lotModel()->value(index).kind();
        if (kind == db::Value::Kind::Decimal || kind == db::Value::Kind::Integer || kind == db::Value::Kind::Double)
            option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
    }

    // Every row keeps its expiry colours, the current one too; a solid frame marks where the
    // operator is, dark enough to stand out on yellow as well as on the paler colours.
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem plain(option);
        const bool current = plain.state & QStyle::State_Selected;
        plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        QStyledItemDelegate::paint(painter, plain, index);
        if (!current)
            return;
        const QRect r = option.rect;
        const QColor frame(Qt::black);
        painter->fillRect(QRect(r.left(), r.top(), r.width(), kFrameWidth), frame);
        painter->fillRect(QRect(r.left(), r.bottom() - kFrameWidth + 1, r.width(), kFrameWidth), frame);
        if (index.column() == 0)
            painter->fillRect(QRect(r.left(), r.top(), kFrameWidth, r.height()), frame);
        if (index.column() == index.model()->columnCount() - 1)
            painter->fillRect(QRect(r.right() - kFrameWidth + 1, r.top(), kFrameWidth, r.height()), frame);
    }

private:
    LotGrid *m_grid;
};

} // namespace

LotGrid::LotGrid(data::CachedDataset &lots, const platform::Clock &clock, std::function<int()> filterIndex,
                 QWidget *parent)
    : QTableView(parent), m_lots(lots), m_clock(clock), m_filterIndex(std::move(filterIndex))
{
    setObjectName(QStringLiteral("DBGrid1"));
    m_model = new data_ui::DatasetModel(&m_lots, kColumns, this);
    setModel(m_model);
    setItemDelegate(new LotRowDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setVerticalHeader(new RowIndicator(this));
    verticalHeader()->setDefaultSectionSize(20);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setFixedWidth(kIndicatorWidth);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < int(kColumns.size()); ++c)
        setColumnWidth(c, kWidths[c]);
    // "Fornecedor" and "Local" as wide as their names need (read from the rows in sight and a
    // sample around them), within a bound that keeps both on a 1024-pixel screen.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        for (int c : {kSupplierColumn, kLocationColumn})
            setColumnWidth(c, std::clamp(sizeHintForColumn(c), columnWidth(c), kWidestNameColumn));
    });

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    ransferirestoqueparaoutraunidade1 = PopupMenu2->addAction(QStringLiteral("&Transferir estoque para outra unidade"));
    ransferirestoqueparaoutraunidade1->setObjectName(QStringLiteral("ransferirestoqueparaoutraunidade1"));
    NotaFiscal1 = PopupMenu2->addAction(QStringLiteral("&Nota Fiscal"));
    NotaFiscal1->setObjectName(QStringLiteral("NotaFiscal1"));
    AjustedeEstoque1 = PopupMenu2->addAction(QStringLiteral("Habilitar &ajuste manual"));
    AjustedeEstoque1->setObjectName(QStringLiteral("AjustedeEstoque1"));
    // A transfer needs a lot to start from.
    connect(PopupMenu2, &QMenu::aboutToShow, this, [this] {
        ransferirestoqueparaoutraunidade1->setEnabled(m_lots.isOpen() && m_lots.currentRow() >= 0);
    });
    // The lot trace, after the system's items: it too needs a current lot.
    RastrearLote1 = PopupMenu2->addAction(QStringLiteral("&Rastrear este lote"));
    RastrearLote1->setObjectName(QStringLiteral("RastrearLote1"));
    connect(PopupMenu2, &QMenu::aboutToShow, this, [this] {
        const bool current = m_lots.isOpen() && m_lots.currentRow() >= 0;
        RastrearLote1->setEnabled(current);
        RastrearLote1->setVisible(current);
    });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu2->popup(viewport()->mapToGlobal(at)); });

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &LotGrid::DBGrid1TitleClick);
    // The model was connected first, so it has taken the new rows when these run.
    connect(&m_lots, &data::CachedDataset::rowsReset, this, &LotGrid::followDataset);
    connect(&m_lots, &data::CachedDataset::currentChanged, this, &LotGrid::followDataset);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (m_following || !current.isValid() || !m_lots.isOpen())
                    return;
                if (current.row() != m_lots.currentRow())
                    m_lots.moveTo(current.row());
            });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, verticalHeader()->viewport(),
            qOverload<>(&QWidget::update));
    showSortColumn();
    followDataset();
}

void LotGrid::DBGrid1TitleClick(int column)
{
    if (column < 0 || column >= int(kColumns.size()))
        return;
    m_lots.setIndexFieldNames(kColumns.at(column).field);
    showSortColumn();
}

void LotGrid::DBGrid1DblClick()
{
    if (m_detail)
        m_detail->showOverGrid();
}

browser::RowColours LotGrid::rowColours(int row) const
{
    const int situacao = m_lots.fieldIndex(QStringLiteral("SITUACAO"));
    const int validade = m_lots.fieldIndex(QStringLiteral("VALIDADE"));
    const QString situation = situacao < 0 ? QString() : m_lots.valueAt(row, situacao).toString();
    const QDate expiry = validade < 0 ? QDate() : m_lots.valueAt(row, validade).toDate();
    return browser::colourFor(situation, expiry, m_clock.today(), m_filterIndex ? m_filterIndex() : -1);
}

QColor LotGrid::backgroundColor(browser::CellBackground background) const
{
    switch (background) {
    case browser::CellBackground::White:
        return Qt::white;
    case browser::CellBackground::Info:
        return palette().color(QPalette::ToolTipBase);
    case browser::CellBackground::Yellow:
        return Qt::yellow;
    case browser::CellBackground::InactiveCaption: {
        const QColor c = palette().color(QPalette::Inactive, QPalette::Highlight);
        return c.lightness() >= 160 ? c : kInactiveCaptionStandIn;
    }
    }
    return Qt::white;
}

QColor LotGrid::textColor(browser::CellText text)
{
    return text == browser::CellText::Silver ? QColor(192, 192, 192) : QColor(Qt::black);
}

void LotGrid::popupLotMenu()
{
    const QRect row = visualRect(currentIndex());
    const QPoint at = row.isValid() && viewport()->rect().intersects(row)
                          ? QPoint(qMax(row.left(), 0) + 8, row.bottom())
                          : viewport()->rect().topLeft();
    PopupMenu2->popup(viewport()->mapToGlobal(at));
}

bool LotGrid::event(QEvent *event)
{
    if (event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
        popupLotMenu();
        return true;
    }
    return QTableView::event(event);
}

void LotGrid::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)
        || (event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier)) {
        popupLotMenu();
        return;
    }
    QTableView::keyPressEvent(event);
}

void LotGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    DBGrid1DblClick();
}

int LotGrid::widthForAllColumns() const
{
    int width = verticalHeader()->width() + 2 * frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int c = 0; c < m_model->columnCount(); ++c)
        width += columnWidth(c);
    return width;
}

void LotGrid::keyboardSearch(const QString &)
{
}

// A row the grid is sent to (a search, a reload) is shown with the lots that follow it: at the
// top unless it already sits in the upper half of the view.
void LotGrid::bringIntoView(const QModelIndex &index)
{
    const QRect r = visualRect(index);
    if (r.isValid() && r.top() >= 0 && r.bottom() < viewport()->height() / 2)
        return;
    scrollTo(index, QAbstractItemView::PositionAtTop);
}

void LotGrid::followDataset()
{
    const int row = m_lots.isOpen() ? m_lots.currentRow() : -1;
    m_following = true;
    if (row >= 0 && row < m_model->rowCount()) {
        const int column = qMax(currentIndex().column(), 0);
        const QModelIndex target = m_model->index(row, column);
        if (currentIndex() != target) {
            selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            bringIntoView(target);
        } else {
            scrollTo(target);
        }
    } else {
        selectionModel()->clear();
    }
    m_following = false;
    showSortColumn();
}

void LotGrid::showSortColumn()
{
    int section = -1;
    if (!m_lots.indexFieldNames().isEmpty())
        for (int c = 0; c < int(kColumns.size()); ++c)
            if (kColumns.at(c).field.compare(m_lots.indexFieldNames(), Qt::CaseInsensitive) == 0)
                section = c;
    horizontalHeader()->setSortIndicatorShown(section >= 0);
    if (section >= 0)
        horizontalHeader()->setSortIndicator(section, Qt::AscendingOrder);
}

} // namespace browser_ui
