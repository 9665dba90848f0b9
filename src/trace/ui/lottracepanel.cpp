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

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace trace_ui {

namespace {

QTableWidget *table(const QString &name, const QStringList &titles, QWidget *parent)
{
    auto *t = new QTableWidget(0, int(titles.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(titles);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(20);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void setRow(QTableWidget *t, int row, const QStringList &cells, const QList<int> &rightAligned = {})
{
    for (int c = 0; c < int(cells.size()); ++c) {
        auto *item = new QTableWidgetItem(cells.at(c));
        if (rightAligned.contains(c))
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t->setItem(row, c, item);
    }
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
                        QStringLiteral("Unid")}, this);
    tblLocais = table(QStringLiteral("tblLocais"),
                      {QStringLiteral("Local"), QStringLiteral("Saldo"), QStringLiteral("Unid")}, this);
    tblMovimentos = table(QStringLiteral("tblMovimentos"),
                          {QStringLiteral("Data"), QStringLiteral("Tipo"), QStringLiteral("Estação"),
                           QStringLiteral("Pedido"), QStringLiteral("Fórmula"), QStringLiteral("Quantidade"),
                           QStringLiteral("Unid"), QStringLiteral("Laboratório")}, this);
    tblPedidos = table(QStringLiteral("tblPedidos"),
                       {QStringLiteral("Estação"), QStringLiteral("Pedido"), QStringLiteral("Data"),
                        QStringLiteral("Tipo")}, this);
    lblBalanco = new QLabel(this);
    lblBalanco->setObjectName(QStringLiteral("lblBalanco"));
    lblBalanco->setTextFormat(Qt::PlainText);
    lblDiferenca = new QLabel(this);
    lblDiferenca->setObjectName(QStringLiteral("lblDiferenca"));
    lblDiferenca->setTextFormat(Qt::PlainText);
    lblDiferenca->setWordWrap(true);

    auto *grid2 = new QGridLayout;
    grid2->addWidget(caption(QStringLiteral("Origem (compras)"), this), 0, 0);
    grid2->addWidget(caption(QStringLiteral("Saldo atual por local"), this), 0, 1);
    grid2->addWidget(tblCompras, 1, 0);
    grid2->addWidget(tblLocais, 1, 1);
    grid2->addWidget(caption(QStringLiteral("Movimentos do lote"), this), 2, 0);
    grid2->addWidget(caption(QStringLiteral("Pedidos que usaram o lote"), this), 2, 1);
    grid2->addWidget(tblMovimentos, 3, 0);
    grid2->addWidget(tblPedidos, 3, 1);
    grid2->setColumnStretch(0, 3);
    grid2->setColumnStretch(1, 2);
    grid2->setRowStretch(3, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->addWidget(lblLote);
    layout->addLayout(grid2, 1);
    layout->addWidget(lblBalanco);
    layout->addWidget(lblDiferenca);
    layout->addLayout(buttonRow());

    connect(btnImprimir, &QPushButton::clicked, this, &LotTracePanel::btnImprimirClick);
    connect(btnExportar, &QPushButton::clicked, this, &LotTracePanel::btnExportarClick);
    data_ui::keepPlace(this, grid);
}

void LotTracePanel::open(const trace::LotKey &lot)
{
    try {
        m_trace = trace::ReadLotTrace(m_central, lot);
    } catch (const db::DbError &e) {
        m_central.noteError(e);
        m_op.error(QStringLiteral("Não foi possível ler o histórico do lote: ") + db::operatorText(e));
        return;
    }
    fill();
    // As large as the window allows: the movements of a lot can be many.
    if (QWidget *w = parentWidget())
        setMinimumSize(qMax(640, w->width() - 40), qMax(420, w->height() - 80));
    browser_ui::showCentredOver(this, m_grid);
    btnFechar->setFocus();
}

void LotTracePanel::fill()
{
    const trace::LotTrace &t = m_trace;
    lblLote->setText(t.lot.descricao + QStringLiteral("  -  Lote ") + t.lot.lote + QStringLiteral("  -  ")
                     + t.lot.fornecedor);
    tblCompras->setRowCount(int(t.purchases.size()));
    for (int r = 0; r < int(t.purchases.size()); ++r) {
        const auto &p = t.purchases[size_t(r)];
        setRow(tblCompras, r, {p.notaFiscal, date(p.data), quantity(p.quantidade), p.unidade}, {2});
    }
    tblLocais->setRowCount(int(t.locations.size()));
    for (int r = 0; r < int(t.locations.size()); ++r) {
        const auto &b = t.locations[size_t(r)];
        setRow(tblLocais, r, {b.laboratorio, quantity(b.saldo), b.unidade}, {1});
    }
    tblMovimentos->setRowCount(int(t.movements.size()));
    for (int r = 0; r < int(t.movements.size()); ++r) {
        const auto &m = t.movements[size_t(r)];
        setRow(tblMovimentos, r,
               {date(m.data), trace::KindText(m.kind), m.estacao, value(m.npedido), value(m.nformula),
                quantity(m.quantidade), m.unidade, m.laboratorio},
               {3, 4, 5});
    }
    tblPedidos->setRowCount(int(t.orders.size()));
    for (int r = 0; r < int(t.orders.size()); ++r) {
        const auto &o = t.orders[size_t(r)];
        setRow(tblPedidos, r, {o.estacao, value(o.npedido), date(o.data), o.tipo}, {1});
    }
    for (QTableWidget *tw : {tblCompras, tblLocais, tblMovimentos, tblPedidos})
        tw->resizeColumnsToContents();
    const QString unit = QLatin1Char(' ') + t.lot.unidade;
    lblBalanco->setText(QStringLiteral("Comprado ") + trace::FormatQuantity(t.bought) + unit
                        + QStringLiteral("  -  movimentado ") + trace::FormatQuantity(t.movedOut) + unit
                        + QStringLiteral("  =  ") + trace::FormatQuantity(t.bought - t.movedOut) + unit
                        + QStringLiteral("   |   nos locais ") + trace::FormatQuantity(t.held) + unit
                        + QStringLiteral("   |   diferença ") + trace::FormatQuantity(t.difference()) + unit);
    lblDiferenca->setText(t.explanation());
    lblDiferenca->setVisible(!t.explanation().isEmpty());
}

void LotTracePanel::btnExportarClick()
{
    exportCsv(trace::LotTracePath(m_clock.today()), trace::LotTraceLines(m_trace));
}

void LotTracePanel::btnImprimirClick()
{
    printReport([this](reports_engine::ReportEngine &engine) { trace::ConnectLotTrace(engine, m_trace); },
                trace::kLotReport);
}

} // namespace trace_ui
