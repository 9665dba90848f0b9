// The lot grid: columns of the lot dataset, a delegate for the expiry colours, and the current row
// kept the same in the grid and in the dataset.
#include "lotgrid.h"

#include "detailpanel.h"

#include "data/cacheddataset.h"
#include "platform/clock.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

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
const int kWidths[] = {70, 240, 90, 120, 110, 80, 40, 75, 75, 50, 120, 55, 60};

// Windows' default colour of an inactive window's caption, for styles whose inactive highlight
// is too dark to read black text on.
const QColor kInactiveCaptionStandIn(191, 205, 219);

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

    // Every row keeps its expiry colours, the current one too; a dotted frame marks where the
    // operator is.
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem plain(option);
        const bool current = plain.state & QStyle::State_Selected;
        plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        QStyledItemDelegate::paint(painter, plain, index);
        if (!current)
            return;
        painter->save();
        painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
        const QRect r = option.rect.adjusted(0, 0, -1, -1);
        painter->drawLine(r.topLeft(), r.topRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        if (index.column() == 0)
            painter->drawLine(r.topLeft(), r.bottomLeft());
        if (index.column() == index.model()->columnCount() - 1)
            painter->drawLine(r.topRight(), r.bottomRight());
        painter->restore();
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
    verticalHeader()->setDefaultSectionSize(20);
    verticalHeader()->setFixedWidth(12);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < int(kColumns.size()); ++c)
        setColumnWidth(c, kWidths[c]);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    NotaFiscal1 = PopupMenu2->addAction(QStringLiteral("Nota Fiscal"));
    NotaFiscal1->setObjectName(QStringLiteral("NotaFiscal1"));
    AjustedeEstoque1 = PopupMenu2->addAction(QStringLiteral("Habilitar ajuste manual"));
    AjustedeEstoque1->setObjectName(QStringLiteral("AjustedeEstoque1"));
    ransferirestoqueparaoutraunidade1 = PopupMenu2->addAction(QStringLiteral("Transferir estoque para outra unidade"));
    ransferirestoqueparaoutraunidade1->setObjectName(QStringLiteral("ransferirestoqueparaoutraunidade1"));
    // A transfer needs a lot to start from.
    connect(PopupMenu2, &QMenu::aboutToShow, this, [this] {
        ransferirestoqueparaoutraunidade1->setEnabled(m_lots.isOpen() && m_lots.currentRow() >= 0);
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

void LotGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    DBGrid1DblClick();
}

void LotGrid::followDataset()
{
    const int row = m_lots.isOpen() ? m_lots.currentRow() : -1;
    m_following = true;
    if (row >= 0 && row < m_model->rowCount()) {
        const int column = qMax(currentIndex().column(), 0);
        const QModelIndex target = m_model->index(row, column);
        if (currentIndex() != target)
            selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(target);
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
