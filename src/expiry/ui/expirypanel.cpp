#include "expirypanel.h"

#include "expirychart.h"

#include "expiry/expiryoutput.h"

#include "core/runstate.h"
#include "data/ui/panelfocus.h"
#include "data/tdm.h"
#include "platform/clock.h"
#include "platform/numberformat.h"
#include "platform/operator.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace expiry_ui {

namespace {

QString money(double v) { return platform::FormatNumber(QStringLiteral("#,##0.00"), v); }

} // namespace

// The lots of one horizon, soonest first, read straight from the summary.
class ExpiryLotModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setLots(std::vector<const expiry::ExpiringLot *> lots)
    {
        beginResetModel();
        m_lots = std::move(lots);
        endResetModel();
    }
    const expiry::ExpiringLot *lot(int row) const
    {
        return row >= 0 && row < int(m_lots.size()) ? m_lots[size_t(row)] : nullptr;
    }
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_lots.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 10; }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        static const char *const names[] = {"Produto", "Lote",  "Fornecedor", "Local", "Saldo",
                                            "Unid.",   "Validade", "Dias",    "Valor de custo", "Valor de venda"};
        if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 10)
            return QString::fromUtf8(names[section]);
        return {};
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const expiry::ExpiringLot *l = index.isValid() ? lot(index.row()) : nullptr;
        if (!l)
            return {};
        if (role == Qt::TextAlignmentRole)
            return index.column() == 4 || index.column() >= 7 ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                                                               : QVariant();
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case 0: return l->descricao;
        case 1: return l->lote;
        case 2: return l->fornecedor;
        case 3: return l->quarantine ? l->laboratorio + QStringLiteral(" (quarentena)") : l->laboratorio;
        case 4: return platform::FormatNumber(QStringLiteral("#,##0.###"), l->saldo);
        case 5: return l->unidade;
        case 6: return l->validade.toString(QStringLiteral("dd/MM/yyyy"));
        case 7: return l->daysLeft;
        case 8: return money(l->cost);
        case 9: return money(l->sale);
        default: return {};
        }
    }

private:
    std::vector<const expiry::ExpiringLot *> m_lots;
};

ExpiryPanel::ExpiryPanel(data::TDM &dm, const core::RunState &run, const platform::Clock &clock,
                         const platform::WinPaths &paths, platform::Operator &op, QWidget *window)
    : QFrame(window),
      m_dm(dm),
      m_run(run),
      m_clock(clock),
      m_paths(paths),
      m_op(op),
      m_window(window),
      m_engine(std::make_unique<reports_engine::ReportEngine>(paths, clock, &op))
{
    setObjectName(QStringLiteral("PainelVencimentos"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    m_engine->makeFileRenderersAvailable();

    Titulo = new QLabel(kExpiryPanelTitle, this);
    QFont bold = Titulo->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() + 1);
    Titulo->setFont(bold);

    TabelaResumo = new QTableWidget(this);
    TabelaResumo->setObjectName(QStringLiteral("TabelaResumo"));
    TabelaResumo->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TabelaResumo->setSelectionMode(QAbstractItemView::NoSelection);
    TabelaResumo->verticalHeader()->hide();
    TabelaResumo->horizontalHeader()->hide();
    QFont small = TabelaResumo->font();
    small.setPointSizeF(small.pointSizeF() - 1);
    TabelaResumo->setFont(small);
    TabelaResumo->verticalHeader()->setDefaultSectionSize(TabelaResumo->fontMetrics().height() + 3);

    LinhaFora = new QLabel(this);
    LinhaFora->setObjectName(QStringLiteral("LinhaFora"));
    LinhaFora->setWordWrap(true);

    Grafico = new ExpiryChart(this);

    cbHorizonte = new QComboBox(this);
    cbHorizonte->setObjectName(QStringLiteral("cbHorizonte"));
    for (int h = 0; h < expiry::kHorizonCount; ++h)
        cbHorizonte->addItem(expiry::HorizonName(h));

    m_lots = new ExpiryLotModel(this);
    ListaLotes = new QTableView(this);
    ListaLotes->setObjectName(QStringLiteral("ListaLotes"));
    ListaLotes->setModel(m_lots);
    ListaLotes->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListaLotes->setSelectionMode(QAbstractItemView::SingleSelection);
    ListaLotes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListaLotes->verticalHeader()->hide();
    ListaLotes->verticalHeader()->setDefaultSectionSize(ListaLotes->fontMetrics().height() + 4);
    ListaLotes->horizontalHeader()->setStretchLastSection(true);
    // Column widths from the first rows: a horizon can hold tens of thousands of lots.
    ListaLotes->horizontalHeader()->setResizeContentsPrecision(100);
    ListaLotes->installEventFilter(this);

    btnImprimir = new QPushButton(QStringLiteral("&Imprimir resumo"), this);
    btnImprimir->setObjectName(QStringLiteral("btnImprimir"));
    btnImprimirLotes = new QPushButton(QStringLiteral("Imprimir &lotes"), this);
    btnImprimirLotes->setObjectName(QStringLiteral("btnImprimirLotes"));
    btnExcel = new QPushButton(QStringLiteral("&Excel"), this);
    btnExcel->setObjectName(QStringLiteral("btnExcel"));
    btnExcel->setToolTip(QStringLiteral("Exportar os lotes para o Excel"));
    btnSair = new QPushButton(QStringLiteral("&Sair"), this);
    btnSair->setObjectName(QStringLiteral("btnSair"));
    btnExcel->setAccessibleName(QStringLiteral("Excel: Vencimentos"));
    btnSair->setAccessibleName(QStringLiteral("Sair dos vencimentos"));
    for (QPushButton *b : {btnImprimir, btnImprimirLotes, btnExcel, btnSair})
        b->setAutoDefault(false);

    auto *chooser = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("Lotes do horizonte:"), this);
    label->setBuddy(cbHorizonte);
    chooser->addWidget(label);
    chooser->addWidget(cbHorizonte);
    chooser->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnImprimir);
    buttons->addWidget(btnImprimirLotes);
    buttons->addWidget(btnExcel);
    buttons->addStretch(1);
    buttons->addWidget(btnSair);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(4);
    layout->addWidget(Titulo);
    layout->addWidget(TabelaResumo);
    layout->addWidget(LinhaFora);
    layout->addWidget(Grafico);
    layout->addLayout(chooser);
    layout->addWidget(ListaLotes, 1);
    layout->addLayout(buttons);

    connect(cbHorizonte, &QComboBox::currentIndexChanged, this, &ExpiryPanel::chooseHorizon);
    connect(ListaLotes, &QTableView::doubleClicked, this, [this](const QModelIndex &) { chooseCurrentLot(); });
    connect(btnImprimir, &QPushButton::clicked, this, &ExpiryPanel::btnImprimirClick);
    connect(btnImprimirLotes, &QPushButton::clicked, this, &ExpiryPanel::btnImprimirLotesClick);
    connect(btnExcel, &QPushButton::clicked, this, &ExpiryPanel::btnExcelClick);
    connect(btnSair, &QPushButton::clicked, this, &ExpiryPanel::btnSairClick);
    hide();
    // Over the whole window: what it covers takes no keys, and closing gives the focus back to
    // the button that opened it.
    data_ui::keepPlace(this, nullptr, true);
    data_ui::closeOnEscape(this, [this] { btnSairClick(); });
}

ExpiryPanel::~ExpiryPanel() = default;

void ExpiryPanel::open()
{
    m_lots->setLots({});
    Grafico->setSummary(nullptr);
    m_summary = expiry::LoadSummary(m_dm.SQLConnection1, m_run.LabScopeClause, m_run.siteConfig.IncludeDiluted,
                                    m_clock.today());
    fillTable();
    Grafico->setSummary(&m_summary);
    setGeometry(m_window->rect());
    show();
    raise();
    // The soonest horizon that holds lots, expired ones first.
    int first = 0;
    while (first < expiry::kHorizonCount - 1 && m_summary.total[size_t(first)].lots == 0)
        ++first;
    if (cbHorizonte->currentIndex() == first)
        chooseHorizon(first);
    else
        cbHorizonte->setCurrentIndex(first);
    ListaLotes->setFocus();
}

void ExpiryPanel::fillTable()
{
    const int columns = 1 + 3 * expiry::kHorizonCount;
    const int rows = 2 + int(m_summary.rows.size()) + 1 + (m_summary.quarantine ? 1 : 0);
    TabelaResumo->clearSpans();
    TabelaResumo->clear();
    TabelaResumo->setColumnCount(columns);
    TabelaResumo->setRowCount(rows);
    const auto put = [this](int r, int c, const QString &text, bool isBold = false, bool right = false) {
        auto *item = new QTableWidgetItem(text);
        if (isBold) {
            QFont f = item->font();
            f.setBold(true);
            item->setFont(f);
        }
        item->setTextAlignment(right ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignCenter);
        TabelaResumo->setItem(r, c, item);
    };
    put(0, 0, QStringLiteral("Local"), true);
    TabelaResumo->setSpan(0, 0, 2, 1);
    for (int h = 0; h < expiry::kHorizonCount; ++h) {
        put(0, 1 + 3 * h, expiry::HorizonName(h), true);
        TabelaResumo->setSpan(0, 1 + 3 * h, 1, 3);
        put(1, 1 + 3 * h, QStringLiteral("Lotes"), true);
        put(1, 2 + 3 * h, QStringLiteral("Custo"), true);
        put(1, 3 + 3 * h, QStringLiteral("Venda"), true);
    }
    int r = 2;
    const auto line = [&](const QString &location, const expiry::Cells &cells, bool isBold) {
        auto *name = new QTableWidgetItem(location);
        if (isBold) {
            QFont f = name->font();
            f.setBold(true);
            name->setFont(f);
        }
        TabelaResumo->setItem(r, 0, name);
        for (int h = 0; h < expiry::kHorizonCount; ++h) {
            const expiry::Cell &c = cells[size_t(h)];
            put(r, 1 + 3 * h, QString::number(c.lots), isBold, true);
            put(r, 2 + 3 * h, money(c.cost), isBold, true);
            put(r, 3 + 3 * h, money(c.sale), isBold, true);
        }
        ++r;
    };
    for (int n = 0; n < int(m_summary.rows.size()); ++n) {
        line(m_summary.rows[size_t(n)].location, m_summary.rows[size_t(n)].cells, false);
        TabelaResumo->item(r - 1, 0)->setIcon([n] {
            QPixmap swatch(10, 10);
            swatch.fill(ExpiryChart::locationColour(n));
            return QIcon(swatch);
        }());
    }
    line(QStringLiteral("Total sem quarentena"), m_summary.total, true);
    if (m_summary.quarantine)
        line(m_summary.quarantine->location + QStringLiteral(" (quarentena)"),
             m_summary.quarantine->cells, false);
    TabelaResumo->resizeColumnsToContents();
    TabelaResumo->setColumnWidth(0, std::min(TabelaResumo->columnWidth(0), 150));
    int width = 2 * TabelaResumo->frameWidth();
    for (int i = 0; i < columns; ++i)
        width += TabelaResumo->columnWidth(i);
    int height = 2 * TabelaResumo->frameWidth();
    if (width > TabelaResumo->width())
        height += TabelaResumo->horizontalScrollBar()->sizeHint().height();
    for (int i = 0; i < rows; ++i)
        height += TabelaResumo->rowHeight(i);
    TabelaResumo->setFixedHeight(std::min(height + 2, 300));
    QStringList under{expiry::LeftOutLine(m_summary)};
    under << m_summary.divisorZero;
    LinhaFora->setText(under.join(QLatin1Char('\n')));
}

void ExpiryPanel::chooseHorizon(int horizon)
{
    m_lots->setLots(expiry::LotsOf(m_summary, horizon));
    ListaLotes->resizeColumnsToContents();
    for (int c = 0; c < 4; ++c)
        ListaLotes->setColumnWidth(c, std::min(ListaLotes->columnWidth(c), 190));
    if (m_lots->rowCount() > 0)
        ListaLotes->selectRow(0);
}

void ExpiryPanel::chooseCurrentLot()
{
    if (const expiry::ExpiringLot *l = m_lots->lot(ListaLotes->currentIndex().row()))
        goToLot(*l);
}

void ExpiryPanel::goToLot(const expiry::ExpiringLot &lot)
{
    const int row = expiry::LotRow(m_dm.ESTLOTE, lot);
    if (row < 0) {
        m_op.inform(expiry::kLotNotListedMessage);
        return;
    }
    m_dm.ESTLOTE.moveTo(row);
    hide();
    Q_EMIT lotShown();
}

bool ExpiryPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListaLotes && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            chooseCurrentLot();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void ExpiryPanel::print(const QString &report, std::unique_ptr<reports_engine::DataConnection> connection,
                        const QString &connectionName)
{
    m_engine->addConnection(connectionName, std::move(connection));
    try {
        m_engine->execute(expiry::kExpiryProject, report);
    } catch (const reports_engine::ReportError &e) {
        m_op.warn(e.operatorText());
    }
}

void ExpiryPanel::btnImprimirClick()
{
    print(QStringLiteral("Resumo"), expiry::SummaryConnection(m_summary), expiry::kSummaryConnection);
}

void ExpiryPanel::btnImprimirLotesClick()
{
    print(QStringLiteral("Lotes"), expiry::LotsConnection(m_summary, cbHorizonte->currentIndex()),
          expiry::kLotsConnection);
}

void ExpiryPanel::btnExcelClick()
{
    expiry::ExportExpiry(m_summary, m_paths, m_clock.today(), m_op);
}

void ExpiryPanel::btnSairClick()
{
    hide();
    Q_EMIT closed();
}

} // namespace expiry_ui
