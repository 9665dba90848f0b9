// The order trace panel: two boxes, the component lines with their movements, the CSV export.
#include "ordertracepanel.h"

#include "browser/ui/overlay.h"
#include "data/ui/panelfocus.h"
#include "db/connection.h"
#include "db/dberror.h"
#include "platform/clock.h"
#include "platform/numberformat.h"
#include "platform/operator.h"
#include "trace/tracereport.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace trace_ui {

namespace {

QString value(const db::Value &v)
{
    return v.isNull() ? QString() : v.toString();
}

QString quantity(const db::Value &v)
{
    return v.isNull() ? QString() : trace::FormatQuantity(v.toDouble());
}

} // namespace

OrderTracePanel::OrderTracePanel(db::Connection &central, const platform::WinPaths &paths,
                                 const platform::Clock &clock, platform::Operator &op, QWidget *window)
    : TracePanel(QStringLiteral("PainelRastreioPedido"), paths, clock, op, window), m_central(central)
{

    auto *lblEstacao = new QLabel(QStringLiteral("&Estação"), this);
    edtEstacao = new QLineEdit(this);
    edtEstacao->setObjectName(QStringLiteral("edtEstacao"));
    edtEstacao->setMaxLength(2);
    edtEstacao->setFixedWidth(40);
    lblEstacao->setBuddy(edtEstacao);
    auto *lblNumero = new QLabel(QStringLiteral("&Pedido"), this);
    edtPedido = new QLineEdit(this);
    edtPedido->setObjectName(QStringLiteral("edtPedido"));
    edtPedido->setValidator(new QIntValidator(0, 2147483647, edtPedido));
    edtPedido->setFixedWidth(100);
    lblNumero->setBuddy(edtPedido);
    btnRastrear = new QPushButton(QStringLiteral("&Rastrear"), this);
    btnRastrear->setObjectName(QStringLiteral("btnRastrear"));
    lblPedido = new QLabel(this);
    lblPedido->setObjectName(QStringLiteral("lblPedido"));
    lblPedido->setTextFormat(Qt::PlainText);
    tblComponentes = new QTableWidget(0, 11, this);
    tblComponentes->setObjectName(QStringLiteral("tblComponentes"));
    tblComponentes->setHorizontalHeaderLabels(
        {QStringLiteral("Fórmula"), QStringLiteral("Componente"), QStringLiteral("Lote"), QStringLiteral("Fornecedor"),
         QStringLiteral("Quantidade"), QStringLiteral("Unid"), QStringLiteral("Baixa"), QStringLiteral("Qtde. baixada"),
         QStringLiteral("Unid"), QStringLiteral("Local"), QStringLiteral("Situação")});
    tblComponentes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblComponentes->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblComponentes->verticalHeader()->hide();
    tblComponentes->verticalHeader()->setDefaultSectionSize(20);
    tblComponentes->horizontalHeader()->setStretchLastSection(true);
    btnExportar->setEnabled(false);
    btnImprimir->setEnabled(false);
    btnRastrear->setDefault(true);

    auto *ask = new QHBoxLayout;
    ask->addWidget(lblEstacao);
    ask->addWidget(edtEstacao);
    ask->addSpacing(12);
    ask->addWidget(lblNumero);
    ask->addWidget(edtPedido);
    ask->addWidget(btnRastrear);
    ask->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->addLayout(ask);
    layout->addWidget(lblPedido);
    layout->addWidget(tblComponentes, 1);
    layout->addLayout(buttonRow());

    connect(btnRastrear, &QPushButton::clicked, this, &OrderTracePanel::btnRastrearClick);
    connect(edtPedido, &QLineEdit::returnPressed, this, &OrderTracePanel::btnRastrearClick);
    connect(btnImprimir, &QPushButton::clicked, this, &OrderTracePanel::btnImprimirClick);
    connect(btnExportar, &QPushButton::clicked, this, &OrderTracePanel::btnExportarClick);
}

void OrderTracePanel::open(QWidget *placeOwner)
{
    if (placeOwner && !m_placeKept) {
        data_ui::keepPlace(this, placeOwner, true);
        m_placeKept = true;
    }
    if (QWidget *w = parentWidget()) {
        setMinimumSize(qMax(640, w->width() - 60), qMax(360, w->height() - 120));
        browser_ui::showCentredOver(this, w);
    }
    edtEstacao->setFocus();
    edtEstacao->selectAll();
}

void OrderTracePanel::btnRastrearClick()
{
    const QString station = edtEstacao->text().trimmed();
    bool ok = false;
    const int number = edtPedido->text().trimmed().toInt(&ok);
    if (station.isEmpty() || !ok) {
        m_op.warn(QStringLiteral("Informe a estação e o número do pedido."));
        (station.isEmpty() ? edtEstacao : edtPedido)->setFocus();
        return;
    }
    try {
        m_order = trace::ReadOrderTrace(m_central, station.rightJustified(2, QLatin1Char('0')), number);
    } catch (const db::DbError &e) {
        m_central.noteError(e);
        m_op.error(QStringLiteral("Não foi possível ler o pedido: ") + db::operatorText(e));
        return;
    }
    m_traced = true;
    const trace::OrderTrace &o = m_order;
    const QString name = o.estacao + QLatin1Char('.') + QString::number(o.npedido);
    if (!o.found && o.components.empty())
        lblPedido->setText(QStringLiteral("Pedido ") + name + QStringLiteral(" não encontrado."));
    else
        lblPedido->setText(QStringLiteral("Pedido ") + name + QStringLiteral("  -  ")
                           + platform::FormatDate(QStringLiteral("dd/MM/yyyy"), o.data) + QStringLiteral("  -  ")
                           + o.tipo + QStringLiteral("  -  ") + QString::number(o.lines())
                           + QStringLiteral(" linha(s), ") + QString::number(o.notMoved())
                           + QStringLiteral(" sem baixa")
                           + (o.lines() < int(o.components.size())
                                  ? QStringLiteral(", ") + QString::number(int(o.components.size()) - o.lines())
                                      + QStringLiteral(" movimento(s) sem linha")
                                  : QString()));
    tblComponentes->setRowCount(int(o.components.size()));
    for (int r = 0; r < int(o.components.size()); ++r) {
        const trace::OrderComponent &c = o.components[size_t(r)];
        const QStringList cells{value(c.nformula), c.componente, c.lote, c.fornecedor, quantity(c.qdeestoque), c.unid,
                                c.moved ? platform::FormatDate(QStringLiteral("dd/MM/yyyy"), c.movementDate)
                                        : trace::kNotMoved,
                                quantity(c.movedQuantity), c.movedUnit, c.laboratorio, trace::StateText(c.state)};
        for (int col = 0; col < int(cells.size()); ++col) {
            auto *item = new QTableWidgetItem(cells.at(col));
            if (col == 0 || col == 4 || col == 7)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c.state != trace::OrderState::Deducted)
                item->setForeground(Qt::red);
            tblComponentes->setItem(r, col, item);
        }
    }
    tblComponentes->resizeColumnsToContents();
    btnExportar->setEnabled(!o.components.empty());
    btnImprimir->setEnabled(!o.components.empty());
}

void OrderTracePanel::btnExportarClick()
{
    if (m_traced)
        exportCsv(trace::OrderTracePath(m_clock.today(), m_order.estacao, m_order.npedido),
                  trace::OrderTraceLines(m_order));
}

void OrderTracePanel::btnImprimirClick()
{
    if (m_traced)
        printReport([this](reports_engine::ReportEngine &engine) { trace::ConnectOrderTrace(engine, m_order); },
                    trace::kOrderReport);
}

} // namespace trace_ui
