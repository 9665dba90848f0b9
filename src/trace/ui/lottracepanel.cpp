// The lot trace panel: four tables and the balance, filled from one read of the lot's history.
#include "lottracepanel.h"

#include "browser/ui/overlay.h"
#include "data/ui/panelfocus.h"
#include "db/connection.h"
#include "db/dberror.h"
#include "platform/clock.h"
#include "platform/numberformat.h"
#include "platform/operator.h"
#include "trace/tracereport.h"
#include "texttablemodel.h"

#include "core/activitylog.h"
#include "core/runstate.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace trace_ui {

namespace {

QTableView *table(const QString &name, const QStringList &titles, const QList<int> &rightAligned, QWidget *parent)
{
    auto *t = new QTableView(parent);
    t->setObjectName(name);
    t->setModel(new TextTableModel(titles, rightAligned, t));
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->hide();
    t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->verticalHeader()->setDefaultSectionSize(20);
    t->horizontalHeader()->setStretchLastSection(true);
    // Small enough that the panel, with its five tables, fits a 1024x768 screen; it grows with it.
    t->setMinimumHeight(48);
    return t;
}

QString date(const QDate &d)
{
    return platform::FormatDate(QStringLiteral("dd/MM/yyyy"), d);
}

QString value(const db::Value &v)
{
    return v.isNull() ? QString() : v.toString();
}

QString quantity(const db::Value &v)
{
    return v.isNull() ? QString() : trace::FormatQuantity(v.toDouble());
}

// Columns sized from the header and the first rows: measuring every row of a busy lot would cost
// what the model saves.
void sizeColumns(QTableView *t)
{
    QAbstractItemModel *m = t->model();
    const QFontMetrics fm(t->font());
    const int rows = qMin(m->rowCount(), 200);
    for (int c = 0; c < m->columnCount(); ++c) {
        int w = fm.horizontalAdvance(m->headerData(c, Qt::Horizontal).toString()) + 16;
        for (int r = 0; r < rows; ++r)
            w = qMax(w, fm.horizontalAdvance(m->index(r, c).data().toString()) + 12);
        t->setColumnWidth(c, qMin(w, 320));
    }
}

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

} // namespace

LotTracePanel::LotTracePanel(db::Connection &central, const platform::WinPaths &paths,
                             const platform::Clock &clock, platform::Operator &op, QWidget *grid, QWidget *window)
    : TracePanel(QStringLiteral("PainelRastreio"), paths, clock, op, window), m_central(central), m_grid(grid)
{

    lblLote = new QLabel(this);
    lblLote->setObjectName(QStringLiteral("lblLote"));
    lblLote->setTextFormat(Qt::PlainText);
    QFont big = lblLote->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() + 1);
    lblLote->setFont(big);

    tblCompras = table(QStringLiteral("tblCompras"),
                       {QStringLiteral("Nota fiscal"), QStringLiteral("Data"), QStringLiteral("Quantidade"),
                        QStringLiteral("Unid")}, {2}, this);
    tblLocais = table(QStringLiteral("tblLocais"),
                      {QStringLiteral("Local"), QStringLiteral("Saldo"), QStringLiteral("Unid"),
                       QStringLiteral("Situação")}, {1}, this);
    tblMovimentos = table(QStringLiteral("tblMovimentos"),
                          {QStringLiteral("Data"), QStringLiteral("Tipo"), QStringLiteral("Estação"),
                           QStringLiteral("Pedido"), QStringLiteral("Fórmula"), QStringLiteral("Quantidade"),
                           QStringLiteral("Unid"), QStringLiteral("Laboratório")}, {3, 4, 5}, this);
    const QStringList orderTitles{QStringLiteral("Estação"), QStringLiteral("Pedido"), QStringLiteral("Data"),
                                  QStringLiteral("Tipo"), QStringLiteral("Fórmula"), QStringLiteral("Quantidade"),
                                  QStringLiteral("Unid"), QStringLiteral("Situação")};
    tblPedidos = table(QStringLiteral("tblPedidos"), orderTitles, {1, 4, 5}, this);
    tblOutrosPedidos = table(QStringLiteral("tblOutrosPedidos"), orderTitles, {1, 4, 5}, this);
    lblBalanco = new QLabel(this);
    lblBalanco->setObjectName(QStringLiteral("lblBalanco"));
    lblBalanco->setTextFormat(Qt::PlainText);
    lblDiferenca = new QLabel(this);
    lblDiferenca->setObjectName(QStringLiteral("lblDiferenca"));
    lblDiferenca->setTextFormat(Qt::PlainText);
    lblDiferenca->setWordWrap(true);
    lblCausas = new QLabel(this);
    lblCausas->setObjectName(QStringLiteral("lblCausas"));
    lblCausas->setTextFormat(Qt::PlainText);
    lblCausas->setWordWrap(true);

    auto *grid2 = new QGridLayout;
    grid2->addWidget(caption(QStringLiteral("Origem (compras)"), this), 0, 0);
    grid2->addWidget(caption(QStringLiteral("Saldo atual por local"), this), 0, 1);
    grid2->addWidget(tblCompras, 1, 0);
    grid2->addWidget(tblLocais, 1, 1);
    grid2->addWidget(caption(QStringLiteral("Movimentos do lote"), this), 2, 0);
    grid2->addWidget(caption(QStringLiteral("Pedidos que usaram o lote"), this), 2, 1);
    grid2->addWidget(tblMovimentos, 3, 0, 3, 1);
    grid2->addWidget(tblPedidos, 3, 1);
    grid2->addWidget(caption(QStringLiteral("Outros tipos de pedido (não dispensados)"), this), 4, 1);
    grid2->addWidget(tblOutrosPedidos, 5, 1);
    grid2->setColumnStretch(0, 3);
    grid2->setColumnStretch(1, 2);
    grid2->setRowStretch(3, 2);
    grid2->setRowStretch(5, 1);

    edtNumeroLote = new QLineEdit(this);
    edtNumeroLote->setObjectName(QStringLiteral("edtNumeroLote"));
    edtNumeroLote->setMaxLength(30);
    edtNumeroLote->setPlaceholderText(QStringLiteral("número do lote"));
    tblLotesEncontrados = table(QStringLiteral("tblLotesEncontrados"),
                                {QStringLiteral("Produto"), QStringLiteral("Código"), QStringLiteral("Lote"),
                                 QStringLiteral("Fornecedor"), QStringLiteral("Local"), QStringLiteral("Saldo"),
                                 QStringLiteral("Unid")},
                                {5}, this);
    tblLotesEncontrados->setMaximumHeight(140);
    tblLotesEncontrados->hide();
    tblLotesEncontrados->installEventFilter(this);
    connect(edtNumeroLote, &QLineEdit::returnPressed, this, &LotTracePanel::edtNumeroLoteReturn);
    connect(tblLotesEncontrados, &QTableView::activated, this,
            [this](const QModelIndex &index) { openFound(index.row()); });
    auto *top = new QHBoxLayout;
    top->addWidget(lblLote, 1);
    auto *lblNumeroLote = new QLabel(QStringLiteral("Rastrear &lote nº:"), this);
    lblNumeroLote->setBuddy(edtNumeroLote);
    top->addWidget(lblNumeroLote);
    top->addWidget(edtNumeroLote);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->addLayout(top);
    layout->addWidget(tblLotesEncontrados);
    layout->addLayout(grid2, 1);
    layout->addWidget(lblBalanco);
    layout->addWidget(lblDiferenca);
    layout->addWidget(lblCausas);
    btnRecolher = new QPushButton(QStringLiteral("Re&colher lote"), this);
    btnRecolher->setObjectName(QStringLiteral("btnRecolher"));
    btnRecolher->setAutoDefault(false);
    btnRecolher->hide();
    pnlJustificativa = new QFrame(this);
    pnlJustificativa->setObjectName(QStringLiteral("pnlJustificativa"));
    auto *justLabel = new QLabel(QStringLiteral("Justificativa do recolhimento (Enter confirma, Esc desiste):"),
                                 pnlJustificativa);
    edtJustificativa = new QLineEdit(pnlJustificativa);
    edtJustificativa->setObjectName(QStringLiteral("edtJustificativa"));
    edtJustificativa->setMaxLength(200);
    edtJustificativa->setAccessibleName(QStringLiteral("Justificativa do recolhimento"));
    auto *justRow = new QHBoxLayout(pnlJustificativa);
    justRow->setContentsMargins(0, 0, 0, 0);
    justRow->addWidget(justLabel);
    justRow->addWidget(edtJustificativa, 1);
    pnlJustificativa->hide();
    edtJustificativa->installEventFilter(this);
    layout->addWidget(pnlJustificativa);
    QHBoxLayout *buttons = buttonRow();
    buttons->insertWidget(0, btnRecolher);
    layout->addLayout(buttons);
    connect(btnRecolher, &QPushButton::clicked, this, &LotTracePanel::btnRecolherClick);
    connect(edtJustificativa, &QLineEdit::returnPressed, this, &LotTracePanel::edtJustificativaReturn);

    connect(btnImprimir, &QPushButton::clicked, this, &LotTracePanel::btnImprimirClick);
    connect(btnExportar, &QPushButton::clicked, this, &LotTracePanel::btnExportarClick);
    data_ui::keepPlace(this, grid);
}

void LotTracePanel::open(const trace::LotKey &lot)
{
    if (!(lot.codigo == m_trace.lot.codigo && lot.lote == m_trace.lot.lote && lot.fornecedor == m_trace.lot.fornecedor))
        m_recall.reset();
    pnlJustificativa->hide();
    try {
        m_trace = trace::ReadLotTrace(m_central, lot);
    } catch (const db::DbError &e) {
        m_central.noteError(e);
        m_op.error(QStringLiteral("Não foi possível ler o histórico do lote: ") + db::operatorText(e));
        return;
    }
    fill();
    for (QPushButton *b : {btnImprimir, btnExportar, btnRecolher})
        b->setEnabled(true);
    // As large as the window allows: the movements of a lot can be many.
    if (QWidget *w = parentWidget())
        setFixedSize(qMax(640, w->width() - 40), qMax(420, w->height() - 80));   // never past the window
    browser_ui::showCentredOver(this, m_grid);
    btnFechar->setFocus();
}

TextTableModel *LotTracePanel::model(QTableView *view) const
{
    return static_cast<TextTableModel *>(view->model());
}

void LotTracePanel::fill()
{
    const trace::LotTrace &t = m_trace;
    lblLote->setText(t.lot.descricao + QStringLiteral("  -  Lote ") + t.lot.lote + QStringLiteral("  -  ")
                     + t.lot.fornecedor);
    model(tblCompras)->reset(int(t.purchases.size()), [&t](int r, int c) {
        const auto &p = t.purchases[size_t(r)];
        switch (c) {
        case 0: return p.notaFiscal;
        case 1: return date(p.data);
        case 2: return quantity(p.quantidade);
        default: return p.unidade;
        }
    });
    model(tblLocais)->reset(int(t.locations.size()), [&t](int r, int c) {
        const auto &b = t.locations[size_t(r)];
        switch (c) {
        case 0: return b.laboratorio;
        case 1: return quantity(b.saldo);
        case 2: return b.unidade;
        default: return b.situacao;
        }
    });
    model(tblMovimentos)->reset(int(t.movements.size()), [&t](int r, int c) {
        const auto &m = t.movements[size_t(r)];
        switch (c) {
        case 0: return date(m.data);
        case 1: return trace::KindText(m.kind);
        case 2: return m.estacao;
        case 3: return value(m.npedido);
        case 4: return value(m.nformula);
        case 5: return quantity(m.quantidade);
        case 6: return m.unidade;
        default: return m.laboratorio;
        }
    });
    // One row per line of an order (or movement without its line), the order repeated on each.
    auto orderRows = [](const std::vector<trace::LotOrder> &orders) {
        std::vector<std::pair<const trace::LotOrder *, const trace::OrderLotLine *>> rows;
        for (const auto &o : orders)
            for (const auto &l : o.lines)
                rows.emplace_back(&o, &l);
        return rows;
    };
    auto fillOrders = [&](QTableView *view, const std::vector<trace::LotOrder> &orders) {
        auto rows = std::make_shared<std::vector<std::pair<const trace::LotOrder *, const trace::OrderLotLine *>>>(
            orderRows(orders));
        model(view)->reset(int(rows->size()), [rows](int r, int c) {
            const trace::LotOrder &o = *(*rows)[size_t(r)].first;
            const trace::OrderLotLine &l = *(*rows)[size_t(r)].second;
            switch (c) {
            case 0: return o.estacao;
            case 1: return value(o.npedido);
            case 2: return date(o.data);
            case 3: return o.found ? o.tipo : QStringLiteral("(sem registro)");
            case 4: return value(l.nformula);
            case 5: return quantity(l.hasLine ? l.lineQuantity : l.movedQuantity);
            case 6: return l.hasLine ? l.lineUnit : l.movedUnit;
            default: return trace::StateText(l.state);
            }
        });
        model(view)->setWarning([rows](int r) {
            return (*rows)[size_t(r)].second->state != trace::OrderState::Deducted;
        });
    };
    fillOrders(tblPedidos, t.orders);
    fillOrders(tblOutrosPedidos, t.otherOrders);
    for (QTableView *tv : {tblCompras, tblLocais, tblMovimentos, tblPedidos, tblOutrosPedidos})
        sizeColumns(tv);
    const QString unit = QLatin1Char(' ') + t.lot.unidade;
    lblBalanco->setText(QStringLiteral("Comprado ") + trace::FormatQuantity(t.bought) + unit
                        + QStringLiteral("  -  movimentado ") + trace::FormatQuantity(t.movedOut) + unit
                        + QStringLiteral("  =  ") + trace::FormatQuantity(t.bought - t.movedOut) + unit
                        + QStringLiteral("   |   nos locais ") + trace::FormatQuantity(t.held) + unit
                        + QStringLiteral("   |   diferença ") + trace::FormatQuantity(t.difference()) + unit);
    lblDiferenca->setText(t.explanation());
    lblDiferenca->setVisible(!t.explanation().isEmpty());
    lblCausas->setText(t.causes.join(QLatin1Char('\n')));
    lblCausas->setVisible(!t.causes.isEmpty());
}

void LotTracePanel::setRecallContext(const core::RunState *run, core::ActivityLog *log)
{
    m_run = run;
    m_log = log;
    btnRecolher->setVisible(run != nullptr);
}

bool LotTracePanel::eventFilter(QObject *watched, QEvent *event)
{
    // Enter on a row found opens its trace (the view's own Enter only moves on some styles).
    if (watched == tblLotesEncontrados && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (tblLotesEncontrados->currentIndex().isValid())
                openFound(tblLotesEncontrados->currentIndex().row());
            return true;
        }
    }
    // Esc in the justification gives the recall up, not the panel.
    if (watched == edtJustificativa && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        pnlJustificativa->hide();
        btnRecolher->setFocus();
        return true;
    }
    return TracePanel::eventFilter(watched, event);
}

void LotTracePanel::openSearch()
{
    if (m_trace.lot.lote.isEmpty() && m_trace.lot.codigo.isEmpty()) {
        lblLote->setText(QStringLiteral("Rastrear lote pelo número"));
        for (QPushButton *b : {btnImprimir, btnExportar, btnRecolher})
            b->setEnabled(false);
    }
    if (QWidget *w = parentWidget())
        setFixedSize(qMax(640, w->width() - 40), qMax(420, w->height() - 80));   // never past the window
    browser_ui::showCentredOver(this, m_grid);
    edtNumeroLote->setFocus();
    edtNumeroLote->selectAll();
}

void LotTracePanel::edtNumeroLoteReturn()
{
    const QString number = edtNumeroLote->text().trimmed();
    if (number.isEmpty())
        return;
    try {
        m_found = trace::FindLotsByNumber(m_central, number, m_run ? m_run->StoreLaboratories : QStringList());
    } catch (const db::DbError &e) {
        m_central.noteError(e);
        m_op.error(QStringLiteral("Não foi possível procurar o lote: ") + db::operatorText(e));
        return;
    }
    if (m_found.empty()) {
        tblLotesEncontrados->hide();
        m_op.inform(QStringLiteral("Nenhum lote de número ") + number + QStringLiteral(" nos locais desta loja."));
        edtNumeroLote->setFocus();
        edtNumeroLote->selectAll();
        return;
    }
    auto found = m_found;
    model(tblLotesEncontrados)->reset(int(found.size()), [found](int r, int c) {
        const trace::LotFound &f = found[size_t(r)];
        switch (c) {
        case 0: return f.key.descricao;
        case 1: return f.key.codigo;
        case 2: return f.key.lote;
        case 3: return f.key.fornecedor;
        case 4: return f.laboratorio;
        case 5: return quantity(f.saldo);
        default: return f.key.unidade;
        }
    });
    sizeColumns(tblLotesEncontrados);
    tblLotesEncontrados->show();
    tblLotesEncontrados->setCurrentIndex(tblLotesEncontrados->model()->index(0, 0));
    tblLotesEncontrados->setFocus();
}

void LotTracePanel::openFound(int row)
{
    if (row < 0 || row >= int(m_found.size()))
        return;
    const trace::LotKey key = m_found[size_t(row)].key;
    tblLotesEncontrados->hide();
    open(key);
}

void LotTracePanel::btnRecolherClick()
{
    if (!m_run)
        return;
    try {
        m_plan = trace::PlanRecall(m_central, m_trace.lot, m_run->StoreLaboratories);
    } catch (const db::DbError &e) {
        m_central.noteError(e);
        m_op.error(QStringLiteral("Não foi possível ler os saldos do lote: ") + db::operatorText(e));
        return;
    }
    if (m_plan.nothingToMove()) {
        m_op.inform(trace::NothingToRecallText(m_trace.lot, m_plan));
        return;
    }
    if (m_op.ask(trace::RecallQuestion(m_trace.lot, m_plan)) != platform::Answer::Yes)
        return;
    edtJustificativa->clear();
    pnlJustificativa->show();
    edtJustificativa->setFocus();
}

void LotTracePanel::edtJustificativaReturn()
{
    const QString justification = edtJustificativa->text().trimmed();
    if (justification.isEmpty()) {
        m_op.warn(QStringLiteral("Informe a justificativa do recolhimento."));
        edtJustificativa->setFocus();
        return;
    }
    pnlJustificativa->hide();
    trace::RecallResult r;
    try {
        const bool logOn = m_log && m_run->siteConfig.logOn();
        r = trace::Recall(m_central, m_trace.lot, m_run->StoreLaboratories, m_plan, justification, m_run->UserName,
                          m_clock.now(), logOn ? m_log : nullptr);
    } catch (const db::DbError &e) {
        m_central.noteError(e);
        m_op.error(QStringLiteral("O lote não foi recolhido: ") + db::operatorText(e));
        btnRecolher->setFocus();
        return;
    }
    if (r.step == trace::RecallStep::Done || r.step == trace::RecallStep::Nothing)
        m_op.inform(r.message);
    else
        m_op.warn(r.message);
    if (r.step == trace::RecallStep::Done) {
        m_recall = r;
        Q_EMIT lotRecalled();
    }
    // What is stored now, whatever the outcome.
    try {
        m_trace = trace::ReadLotTrace(m_central, m_trace.lot);
        fill();
    } catch (const db::DbError &e) {
        m_central.noteError(e);
    }
    btnRecolher->setFocus();
}

trace::RecallDossier LotTracePanel::dossier()
{
    trace::RecallDossier d;
    d.trace = m_trace;
    d.recall = m_recall;
    if (!m_run)
        return d;
    try {
        d.pharmacy = trace::ReadPharmacy(m_central, m_run->StoreCnpj);
        d.otherStores = trace::PlanRecall(m_central, m_trace.lot, m_run->StoreLaboratories).outside;
    } catch (const db::DbError &e) {
        // The dossier still goes out; the pharmacy's line says its header was not found.
        m_central.noteError(e);
        d.pharmacy.cnpj = m_run->StoreCnpj;
    }
    return d;
}

void LotTracePanel::btnExportarClick()
{
    // After a recall the file is its dossier; before, the lot's trace.
    if (m_recall)
        exportCsv(trace::RecallDossierPath(m_clock.today(), m_trace.lot.lote), trace::RecallDossierLines(dossier()));
    else
        exportCsv(trace::LotTracePath(m_clock.today(), m_trace.lot.lote), trace::LotTraceLines(m_trace));
}

void LotTracePanel::btnImprimirClick()
{
    const trace::RecallDossier d = dossier();
    printReport([this, &d](reports_engine::ReportEngine &engine) { trace::ConnectLotTrace(engine, m_trace, &d); },
                trace::kLotReport);
}

} // namespace trace_ui
