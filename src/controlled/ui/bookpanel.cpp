#include "bookpanel.h"

#include "controlled/bookoutput.h"
#include "core/runstate.h"
#include "data/tdm.h"
#include "data/ui/panelfocus.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "reports/engine/previewdialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace controlled_ui {

using namespace controlled;

namespace {

QTableWidget *table(QWidget *parent, const char *name, const QString &accessible, const QStringList &headers)
{
    auto *t = new QTableWidget(parent);
    t->setObjectName(QLatin1String(name));
    t->setAccessibleName(accessible);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setTabKeyNavigation(false);
    t->verticalHeader()->hide();
    t->setColumnCount(int(headers.size()));
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 4);
    return t;
}

void put(QTableWidget *t, int row, int column, const QString &text, bool right = false, bool bold = false)
{
    auto *item = new QTableWidgetItem(text);
    item->setToolTip(text);
    item->setTextAlignment(int((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    if (bold) {
        QFont f = item->font();
        f.setBold(true);
        item->setFont(f);
    }
    t->setItem(row, column, item);
}

} // namespace

BookPanel::BookPanel(data::TDM &dm, const core::RunState &run, const platform::Clock &clock,
                     const platform::WinPaths &paths, platform::Operator &op, QWidget *window)
    : QFrame(window), m_dm(dm), m_run(run), m_clock(clock), m_paths(paths), m_op(op), m_window(window)
{
    setObjectName(QStringLiteral("PainelControlados"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);

    Titulo = new QLabel(kPanelTitle, this);
    Titulo->setObjectName(QStringLiteral("Titulo"));
    Titulo->setAlignment(Qt::AlignCenter);
    Titulo->setAutoFillBackground(true);
    QPalette title = Titulo->palette();
    title.setColor(QPalette::Window, QColor(0, 0, 128));
    title.setColor(QPalette::WindowText, Qt::white);
    Titulo->setPalette(title);
    QFont big = Titulo->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() + 1);
    Titulo->setFont(big);

    LinhaConferencia = new QLabel(this);
    LinhaConferencia->setObjectName(QStringLiteral("LinhaConferencia"));
    LinhaConferencia->setWordWrap(true);
    QFont bold = LinhaConferencia->font();
    bold.setBold(true);
    LinhaConferencia->setFont(bold);

    TabelaBalanco = table(this, "TabelaBalanco", QStringLiteral("Balanço do período"),
                          {QStringLiteral("Substância"), QStringLiteral("DCB"), QStringLiteral("Unid."),
                           QStringLiteral("Saldo inicial"), QStringLiteral("Entradas"), QStringLiteral("Saídas"),
                           QStringLiteral("Perdas"), QStringLiteral("Acertos"), QStringLiteral("Saldo final"),
                           QStringLiteral("Diferenças")});
    TabelaBalanco->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    LinhaDiferencas = new QLabel(this);
    LinhaDiferencas->setObjectName(QStringLiteral("LinhaDiferencas"));
    TabelaDiferencas = table(this, "TabelaDiferencas", QStringLiteral("Diferenças entre o livro e o estoque"),
                             {QStringLiteral("Data"), QStringLiteral("Substância"), QStringLiteral("Lote"),
                              QStringLiteral("Causa"), QStringLiteral("Quantidade"), QStringLiteral("Detalhe")});
    TabelaDiferencas->horizontalHeader()->setSectionResizeMode(5, QHeaderView::Stretch);
    LinhaInconsistencias = new QLabel(this);
    LinhaInconsistencias->setObjectName(QStringLiteral("LinhaInconsistencias"));
    LinhaInconsistencias->setTextFormat(Qt::PlainText);
    LinhaInconsistencias->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);

    btnVisualizar = new QPushButton(QStringLiteral("&Visualizar / imprimir o livro"), this);
    btnVisualizar->setObjectName(QStringLiteral("btnVisualizar"));
    btnExcel = new QPushButton(QStringLiteral("&Exportar CSV"), this);
    btnExcel->setObjectName(QStringLiteral("btnExcel"));
    btnSair = new QPushButton(QStringLiteral("&Sair"), this);
    btnSair->setObjectName(QStringLiteral("btnSair"));
    for (QPushButton *b : {btnVisualizar, btnExcel, btnSair}) {
        b->setAutoDefault(false);
        b->setMinimumHeight(28);
    }
    connect(btnVisualizar, &QPushButton::clicked, this, &BookPanel::btnVisualizarClick);
    connect(btnExcel, &QPushButton::clicked, this, &BookPanel::btnExcelClick);
    connect(btnSair, &QPushButton::clicked, this, &BookPanel::btnSairClick);

    auto *l = new QVBoxLayout(this);
    l->addWidget(Titulo);
    l->addWidget(LinhaConferencia);
    l->addWidget(new QLabel(QStringLiteral("Balanço do período"), this));
    l->addWidget(TabelaBalanco, 3);
    l->addWidget(LinhaDiferencas);
    l->addWidget(TabelaDiferencas, 2);
    l->addWidget(LinhaInconsistencias);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnVisualizar);
    buttons->addWidget(btnExcel);
    buttons->addStretch();
    buttons->addWidget(btnSair);
    l->addLayout(buttons);
    setTabOrder(TabelaBalanco, TabelaDiferencas);
    setTabOrder(TabelaDiferencas, btnVisualizar);
    setTabOrder(btnVisualizar, btnExcel);
    setTabOrder(btnExcel, btnSair);

    PainelAguarde = new QLabel(kWaitText, this);
    PainelAguarde->setObjectName(QStringLiteral("PainelAguarde"));
    PainelAguarde->setAlignment(Qt::AlignCenter);
    PainelAguarde->setFrameShape(QFrame::Panel);
    PainelAguarde->setFrameShadow(QFrame::Raised);
    PainelAguarde->setAutoFillBackground(true);
    PainelAguarde->hide();
    hide();
    // It covers the window: the controls under it take no key, its Alt letters are its own.
    data_ui::keepPlace(this, nullptr, true);
    data_ui::closeOnEscape(this, [this] { btnSairClick(); });
}

BookPanel::~BookPanel() = default;

void BookPanel::open(const QDate &start, const QDate &end)
{
    setGeometry(m_window->rect());
    show();
    raise();
    Titulo->setText(kPanelTitle + QStringLiteral(" - Período: ") + start.toString(QStringLiteral("dd/MM/yyyy"))
                    + QStringLiteral(" a ") + end.toString(QStringLiteral("dd/MM/yyyy")));
    PainelAguarde->resize(std::max(320, width() / 2), 60);
    PainelAguarde->move((width() - PainelAguarde->width()) / 2, (height() - PainelAguarde->height()) / 2);
    PainelAguarde->show();
    PainelAguarde->raise();
    for (QPushButton *b : {btnVisualizar, btnExcel})
        b->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // Whatever a read raises goes on to the general error display; the wait goes first.
    struct Restore {
        BookPanel *p;
        ~Restore()
        {
            p->PainelAguarde->hide();
            QApplication::restoreOverrideCursor();
        }
    } restore{this};
    m_figures = {};
    m_book = {};
    TabelaBalanco->setRowCount(0);
    TabelaDiferencas->setRowCount(0);
    const Scope scope{m_run.StoreLaboratories, m_run.StoreCnpj,
                      m_run.siteConfig.logOn()
                          ? m_run.siteConfig.ServerAddress
                          : QString()};
    const auto pump = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
    m_book = BuildBook(ReadBookInput(m_dm.SQLConnection1, m_paths, scope, start, end, m_clock.today(), &m_figures, pump));
    m_pharmacy = ReadPharmacy(m_dm.SQLConnection1, m_run.StoreCnpj, &m_figures);
    fill();
    for (QPushButton *b : {btnVisualizar, btnExcel})
        b->setEnabled(!m_book.substances.empty());
    TabelaBalanco->setFocus();
}

void BookPanel::fill()
{
    const bool empty = m_book.substances.empty();
    LinhaConferencia->setText(empty ? kNothingText : ClosingSentence(m_book));
    QPalette p = LinhaConferencia->palette();
    p.setColor(QPalette::WindowText, m_book.closes() ? QColor(0, 110, 0) : QColor(170, 0, 0));
    LinhaConferencia->setPalette(p);

    const std::vector<BalanceLine> lines = PeriodBalance(m_book);
    TabelaBalanco->setRowCount(int(lines.size()));
    for (int r = 0; r < int(lines.size()); ++r) {
        const BalanceLine &b = lines[size_t(r)];
        const bool total = r >= int(m_book.substances.size());
        put(TabelaBalanco, r, 0, b.name, false, total);
        put(TabelaBalanco, r, 1, b.dcb);
        put(TabelaBalanco, r, 2, b.unit);
        int c = 3;
        for (Qty q : {b.start, b.entries, b.exits, b.losses, b.adjustments, b.end})
            put(TabelaBalanco, r, c++, FormatQty(q), true, total);
        put(TabelaBalanco, r, 9, total ? QString() : QString::number(m_book.substances[size_t(r)].differences.size()), true);
    }
    TabelaBalanco->resizeColumnsToContents();
    TabelaBalanco->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    if (!lines.empty())
        TabelaBalanco->setCurrentCell(0, 0);

    LinhaDiferencas->setText(QStringLiteral("Diferenças entre o livro e o estoque: ")
                             + QString::number(m_book.differenceCount()));
    TabelaDiferencas->setRowCount(m_book.differenceCount());
    int r = 0;
    for (const Substance &s : m_book.substances)
        for (const Difference &d : s.differences) {
            put(TabelaDiferencas, r, 0, d.date.toString(QStringLiteral("dd/MM/yyyy")));
            put(TabelaDiferencas, r, 1, s.name);
            put(TabelaDiferencas, r, 2, d.lote);
            put(TabelaDiferencas, r, 3, CauseKindText(d.cause));
            put(TabelaDiferencas, r, 4, d.quantity ? FormatQty(*d.quantity) + QLatin1Char(' ') + s.unit : QStringLiteral("-"),
                true);
            put(TabelaDiferencas, r, 5, d.detail);
            ++r;
        }
    TabelaDiferencas->resizeColumnsToContents();
    TabelaDiferencas->horizontalHeader()->setSectionResizeMode(5, QHeaderView::Stretch);

    QStringList marks;
    for (const InconsistentProduct &i : m_book.inconsistencies)
        marks << i.codigo + QStringLiteral(" - ") + i.componente + QStringLiteral(": ") + InconsistencyText(i.kind)
                + QStringLiteral(" (lotes ") + i.lots.join(QStringLiteral(", ")) + QLatin1Char(')');
    LinhaInconsistencias->setText(QStringLiteral("Inconsistências de cadastro: ") + QString::number(marks.size())
                                  + (marks.isEmpty() ? QString() : QStringLiteral("\n") + marks.join(QLatin1Char('\n'))));
}

void BookPanel::btnVisualizarClick()
{
    if (m_book.substances.empty())
        return;
    const reports_engine::PageModel model = BookPages(m_book, m_pharmacy);
    if (m_view) {
        m_view->present(model, reports_engine::FileRenderers());
        return;
    }
    const auto view = reports_engine::MakePreviewView(&m_op, &m_paths, QStringLiteral("C:\\FORMULIX\\"));
    view->present(model, reports_engine::FileRenderers());
}

void BookPanel::btnExcelClick()
{
    if (m_book.substances.empty())
        return;
    ExportBookCsv(m_book, m_paths, m_op);
}

void BookPanel::btnSairClick()
{
    hide();
    Q_EMIT closed();
}

void BookPanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnSairClick();
        event->accept();
        return;
    }

    QFrame::keyPressEvent(event);
}

} // namespace controlled_ui
