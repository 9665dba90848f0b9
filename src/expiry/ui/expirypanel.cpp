#include "expirypanel.h"

#include "expirychart.h"

#include "expiry/expiryoutput.h"

#include "reports/buildsupport.h"
#include "reports/manufacturing.h"

#include "core/runstate.h"
#include "data/ui/panelfocus.h"
#include "data/tdm.h"
#include "platform/clock.h"
#include "platform/numberformat.h"
#include "platform/operator.h"

#include "db/connection.h"
#include "db/dberror.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QProgressBar>
#include <mutex>
#include <thread>
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

// The lots of one horizon, soonest first or by the largest projected leftover, read straight
// from the summary.
class ExpiryLotModel : public QAbstractTableModel {
public:
    enum Column { Produto, Grupo, Lote, Fornecedor, Local, Saldo, Unid, Validade, Dias, Custo, Venda, Sobra,
                  CustoSobra, Observacao, ColumnCount };
    using QAbstractTableModel::QAbstractTableModel;
    void setLots(std::vector<const expiry::ExpiringLot *> lots, int order)
    {
        beginResetModel();
        m_lots = std::move(lots);
        if (order == 1)
            std::stable_sort(m_lots.begin(), m_lots.end(), [](const expiry::ExpiringLot *a, const expiry::ExpiringLot *b) {
                const double x = a->projected && a->valued ? a->leftoverCost : -1;
                const double y = b->projected && b->valued ? b->leftoverCost : -1;
                return x > y;
            });
        endResetModel();
    }
    const expiry::ExpiringLot *lot(int row) const
    {
        return row >= 0 && row < int(m_lots.size()) ? m_lots[size_t(row)] : nullptr;
    }
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_lots.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        static const char *const names[ColumnCount] = {
            "Produto", "Grupo", "Lote", "Fornecedor", "Local", "Saldo", "Unid.", "Validade", "Dias", "Valor de custo",
            "Valor de venda", "Sobra prevista no vencimento", "Custo da sobra", "Observação"};
        if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
            return QString::fromUtf8(names[section]);
        return {};
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const expiry::ExpiringLot *l = index.isValid() ? lot(index.row()) : nullptr;
        if (!l)
            return {};
        const int c = index.column();
        if (role == Qt::TextAlignmentRole)
            return c == Saldo || (c >= Dias && c <= CustoSobra) ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                                                                 : QVariant();
        if (role != Qt::DisplayRole)
            return {};
        switch (c) {
        case Produto: return l->descricao;
        case Grupo: return l->grupo;
        case Lote: return l->lote;
        case Fornecedor: return l->fornecedor;
        case Local:
            return l->quarantine() ? l->laboratorio + QStringLiteral(" (quarentena)")
                   : l->shared()   ? l->laboratorio + expiry::kSharedSuffix
                                   : l->laboratorio;
        case Saldo: return platform::FormatNumber(QStringLiteral("#,##0.###"), l->saldo);
        case Unid: return l->unidade;
        case Validade: return l->validade.toString(QStringLiteral("dd/MM/yyyy"));
        case Dias: return l->daysLeft;
        case Custo:
            if (!l->registered)
                return expiry::kNotRegisteredText;
            return l->valued ? money(l->cost) : expiry::kUnitNotConvertedText;
        case Venda: return l->valued ? money(l->sale) : QString();
        case Sobra: return l->projected ? platform::FormatNumber(QStringLiteral("#,##0.###"), l->leftover) : QString();
        case CustoSobra: return l->projected && l->valued ? money(l->leftoverCost) : QString();
        case Observacao: return expiry::LotNote(*l);
        default: return {};
        }
    }

private:
    std::vector<const expiry::ExpiringLot *> m_lots;
};

// The store's use read on a worker with a connection of its own; a cancel interrupts its statement.
struct ExpiryPanel::Projection {
    std::mutex mutex;
    bool cancelled = false;
    db::Connection *connection = nullptr;   // while the worker reads
    std::thread worker;

    void cancel()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        cancelled = true;
        if (connection)
            connection->interrupt();
    }
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

    lblProjecao = new QLabel(this);
    lblProjecao->setObjectName(QStringLiteral("lblProjecao"));
    BarraProjecao = new QProgressBar(this);
    BarraProjecao->setObjectName(QStringLiteral("BarraProjecao"));
    BarraProjecao->setRange(0, 0);   // one statement: how far it is is not known
    BarraProjecao->setMaximumWidth(200);
    BarraProjecao->setMaximumHeight(lblProjecao->sizeHint().height());

    Grafico = new ExpiryChart(this);

    cbHorizonte = new QComboBox(this);
    cbHorizonte->setObjectName(QStringLiteral("cbHorizonte"));
    for (int h = 0; h < expiry::kHorizonCount; ++h)
        cbHorizonte->addItem(expiry::HorizonName(h));

    cbOrdem = new QComboBox(this);
    cbOrdem->setObjectName(QStringLiteral("cbOrdem"));
    cbOrdem->addItems({QStringLiteral("Vencimento mais próximo primeiro"),
                       QStringLiteral("Maior custo da sobra prevista primeiro")});

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
    auto *orderLabel = new QLabel(QStringLiteral("&Ordem:"), this);
    orderLabel->setBuddy(cbOrdem);
    chooser->addSpacing(12);
    chooser->addWidget(orderLabel);
    chooser->addWidget(cbOrdem);
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
    auto *projection = new QHBoxLayout;
    projection->addWidget(lblProjecao);
    projection->addWidget(BarraProjecao);
    projection->addStretch(1);
    layout->addLayout(projection);
    lblProjecao->hide();
    BarraProjecao->hide();
    layout->addWidget(Grafico);
    layout->addLayout(chooser);
    layout->addWidget(ListaLotes, 1);
    layout->addLayout(buttons);

    connect(cbHorizonte, &QComboBox::currentIndexChanged, this, &ExpiryPanel::chooseHorizon);
    connect(cbOrdem, &QComboBox::currentIndexChanged, this, &ExpiryPanel::chooseOrder);
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

ExpiryPanel::~ExpiryPanel()
{
    stopProjection();
}

bool ExpiryPanel::projecting() const
{
    return m_projection != nullptr;
}

void ExpiryPanel::stopProjection()
{
    if (!m_projection)
        return;
    m_projection->cancel();
    // The interrupted statement returns at once; the worker then only closes its connection.
    if (m_projection->worker.joinable())
        m_projection->worker.join();
    m_projection.reset();
    lblProjecao->hide();
    BarraProjecao->hide();
}

void ExpiryPanel::startProjection()
{
    stopProjection();
    auto job = std::make_shared<Projection>();
    m_projection = job;
    const quint64 generation = ++m_generation;
    const db::Target target = m_dm.SQLConnection1.target();
    const QString cnpj = m_run.StoreCnpj;
    const QDate today = m_clock.today();
    const int window = m_summary.useWindowDays;
    lblProjecao->setText(QStringLiteral("Calculando a sobra prevista no vencimento (uso dos últimos %1 dias)...")
                             .arg(window));
    lblProjecao->show();
    BarraProjecao->show();
    QPointer<ExpiryPanel> panel(this);
    job->worker = std::thread([job, panel, generation, target, cnpj, today, window] {
        std::vector<expiry::UseTotal> use;
        QString failure;
        {
            db::Connection connection;
            connection.configure(target);
            {
                const std::lock_guard<std::mutex> lock(job->mutex);
                if (job->cancelled)
                    return;
                job->connection = &connection;
            }
            try {
                connection.open();
                if (!job->cancelled)
                    use = expiry::ReadUse(connection, cnpj, today, window);
            } catch (const db::DbError &e) {
                failure = db::operatorText(e);
            }
            const std::lock_guard<std::mutex> lock(job->mutex);
            job->connection = nullptr;
            if (job->cancelled)
                return;
        }
        QMetaObject::invokeMethod(
            panel.data(), [panel, generation, use = std::move(use), failure] {
                if (panel)
                    panel->showProjection(generation, use, failure);
            },
            Qt::QueuedConnection);
    });
}

void ExpiryPanel::showProjection(quint64 generation, const std::vector<expiry::UseTotal> &use, const QString &failure)
{
    if (generation != m_generation || !m_projection)
        return;
    if (m_projection->worker.joinable())
        m_projection->worker.join();
    m_projection.reset();
    BarraProjecao->hide();
    if (!failure.isEmpty()) {
        lblProjecao->setText(QStringLiteral("Não foi possível calcular a sobra prevista no vencimento: ") + failure);
        Q_EMIT projectionShown();
        return;
    }
    lblProjecao->hide();
    const expiry::ExpiringLot *current = m_lots->lot(ListaLotes->currentIndex().row());
    expiry::ProjectLeftovers(m_summary, m_products, use);
    fillTable();
    Grafico->setSummary(&m_summary);
    // The list keeps its horizon, its order and the lot it stands on.
    m_lots->setLots(expiry::LotsOf(m_summary, cbHorizonte->currentIndex()), cbOrdem->currentIndex());
    for (int r = 0; current && r < m_lots->rowCount(); ++r)
        if (m_lots->lot(r) == current) {
            ListaLotes->selectRow(r);
            break;
        }
    Q_EMIT projectionShown();
}

void ExpiryPanel::open()
{
    stopProjection();
    m_lots->setLots({}, 0);
    Grafico->setSummary(nullptr);
    const core::SiteConfig &site = m_run.siteConfig;
    m_summary = expiry::LoadLots(m_dm.SQLConnection1,
                                 {m_run.LabScopeClause, site.IncludeDiluted, m_run.StoreCnpj,
                                  site.QuarantineSituations, site.UseWindowDays},
                                 m_clock.today(), m_products);
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
    startProjection();
}

void ExpiryPanel::fillTable()
{
    const int columns = 1 + 3 * expiry::kHorizonCount;
    const std::vector<expiry::TableRow> tableRows = expiry::TableRows(m_summary);
    const int rows = 2 + int(tableRows.size());
    TabelaResumo->clearSpans();
    TabelaResumo->clear();
    TabelaResumo->setColumnCount(columns);
    TabelaResumo->setRowCount(rows);
    // The header stays hidden (the first two rows show it), but a screen reader reads its labels.
    QStringList headers{QStringLiteral("Local")};
    for (int h = 0; h < expiry::kHorizonCount; ++h)
        for (const char *measure : {"Lotes", "Custo", "Venda"})
            headers << expiry::HorizonName(h) + QStringLiteral(" - ") + QLatin1String(measure);
    TabelaResumo->setHorizontalHeaderLabels(headers);
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
    for (const expiry::TableRow &t : tableRows)
        line(t.name, *t.cells, t.total);
    // The chart's colours beside the rows it stacks.
    for (int i = 0, n = 0; i < int(tableRows.size()); ++i) {
        const expiry::TableRow &t = tableRows[size_t(i)];
        if (t.total || t.cells == &m_summary.leftover)
            continue;
        QPixmap swatch(10, 10);
        swatch.fill(ExpiryChart::locationColour(n++));
        TabelaResumo->item(2 + i, 0)->setIcon(QIcon(swatch));
    }
    TabelaResumo->resizeColumnsToContents();
    TabelaResumo->setColumnWidth(0, std::min(TabelaResumo->columnWidth(0), 190));
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
    if (m_summary.projectionReady)
        under << expiry::ProjectionNote(m_summary);
    LinhaFora->setText(under.join(QLatin1Char('\n')));
}

void ExpiryPanel::chooseHorizon(int horizon)
{
    m_lots->setLots(expiry::LotsOf(m_summary, horizon), cbOrdem->currentIndex());
    ListaLotes->resizeColumnsToContents();
    for (int c = 0; c < ExpiryLotModel::ColumnCount; ++c)
        ListaLotes->setColumnWidth(c, std::min(ListaLotes->columnWidth(c), c == 0 ? 190 : 150));
    if (m_lots->rowCount() > 0)
        ListaLotes->selectRow(0);
}

void ExpiryPanel::chooseOrder(int order)
{
    if (cbOrdem->currentIndex() != order)
        cbOrdem->setCurrentIndex(order);   // comes back here through the signal
    else
        chooseHorizon(cbHorizonte->currentIndex());
}

void ExpiryPanel::chooseCurrentLot()
{
    if (const expiry::ExpiringLot *l = m_lots->lot(ListaLotes->currentIndex().row()))
        goToLot(*l);
}

void ExpiryPanel::goToLot(const expiry::ExpiringLot &lot)
{
    int row = expiry::LotRow(m_dm.ESTLOTE, lot);
    bool switched = false;
    if (row < 0 && showEveryLot) {
        showEveryLot();
        row = expiry::LotRow(m_dm.ESTLOTE, lot);
        switched = true;
    }
    if (row < 0) {
        m_op.inform(expiry::kLotNotListedMessage);
        return;
    }
    m_dm.ESTLOTE.moveTo(row);
    stopProjection();
    hide();
    if (switched && tellStatus)
        tellStatus(expiry::kViewSwitchedStatus);
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

void ExpiryPanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnSairClick();
        event->accept();
        return;
    }
    QFrame::keyPressEvent(event);
}

void ExpiryPanel::print(const QString &report, std::unique_ptr<reports_engine::DataConnection> connection,
                        const QString &connectionName)
{
    // The pharmacy's identification heads every printout; without it nothing is printed.
    if (!reports::OpenStoreHeader(m_dm, m_run)) {
        m_op.warn(reports::kStoreHeaderViewMessage);
        return;
    }
    m_engine->addConnection(QStringLiteral("rvdsDadosGer"), reports_engine::ConnectDataset(m_dm.DadosGer));
    m_engine->addConnection(expiry::kHeaderConnection, expiry::HeaderConnection(m_summary, m_run.UserName));
    m_engine->addConnection(connectionName, std::move(connection));
    try {
        m_engine->execute(expiry::kExpiryProject, report);
    } catch (const reports_engine::ReportError &e) {
        m_op.warn(e.operatorText());
    }
    m_dm.DadosGer.close();
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
    stopProjection();
    hide();
    Q_EMIT closed();
}

} // namespace expiry_ui
