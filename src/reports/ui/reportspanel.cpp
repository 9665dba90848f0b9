#include "reportspanel.h"

#include "errorpanel.h"
#include "periodpanel.h"

#include "reports/resale.h"

#include "data/tdm.h"
#include "data/ui/panelfocus.h"
#include "platform/clock.h"
#include "platform/operator.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace reports_ui {

// While a build or a report runs: no second start, no closing the window under it. The focus
// waits on the panel while its buttons are disabled and goes back to the button after.
class ReportsPanel::Busy {
public:
    explicit Busy(ReportsPanel &p) : m_parking(&p), m_p(p) { m_p.setBusy(true); }
    ~Busy() { m_p.setBusy(false); }

private:
    data_ui::FocusParking m_parking;
    ReportsPanel &m_p;
};

ReportsPanel::ReportsPanel(data::TDM &dm, const core::RunState &run, const platform::Clock &clock,
                           const platform::WinPaths &paths, platform::Operator &op, QWidget *grid, QWidget *window)
    : QFrame(window),
      RM(dm, paths, clock, op),
      m_dm(dm),
      m_run(run),
      m_clock(clock),
      m_paths(paths),
      m_op(op),
      m_grid(grid),
      m_window(window)
{
    buildControls();
    wireHandlers();
    layOut();
    hide();
}

void ReportsPanel::buildControls()
{
    setObjectName(QStringLiteral("pnlRelatorios"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);

    btn3 = new QPushButton(QStringLiteral("Listar Estoque"), this);
    btn3->setObjectName(QStringLiteral("btn3"));
    btn_1 = new QPushButton(QStringLiteral("Estoq. Físico/Financ. Manipulação"), this);
    btn_1->setObjectName(QStringLiteral("btn_1"));
    btn6 = new QPushButton(QStringLiteral("Visualizar"), this);
    btn6->setObjectName(QStringLiteral("btn6"));
    btnFinanceiro = new QPushButton(QStringLiteral("Estoq. Físico e Financ. Revenda"), this);
    btnFinanceiro->setObjectName(QStringLiteral("btnFinanceiro"));
    BitBtn6 = new QPushButton(QStringLiteral("Visualizar"), this);
    BitBtn6->setObjectName(QStringLiteral("BitBtn6"));
    BitBtn11 = new QPushButton(QStringLiteral("CPV"), this);
    BitBtn11->setObjectName(QStringLiteral("BitBtn11"));
    BitBtn15 = new QPushButton(QStringLiteral("Visualizar"), this);
    BitBtn15->setObjectName(QStringLiteral("BitBtn15"));
    GroupBoxProgresso = new QGroupBox(QStringLiteral("  Progresso  "), this);
    gg1 = new QProgressBar(GroupBoxProgresso);
    gg1->setObjectName(QStringLiteral("gg1"));
    gg1->setRange(0, 100);
    gg1->setValue(0);
    const auto excel = [this](const char *name) {
        auto *b = new QPushButton(QStringLiteral("Excel"), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(QStringLiteral("Exportar relatório para o Excel"));
        return b;
    };
    btn2 = excel("btn2");
    btn9 = excel("btn9");
    BitBtn12 = new QPushButton(QStringLiteral("Excel"), this);
    BitBtn12->setObjectName(QStringLiteral("BitBtn12"));
    BitBtn16 = new QPushButton(QStringLiteral("Conferir baixas no estoque"), this);
    BitBtn16->setObjectName(QStringLiteral("BitBtn16"));
    btnRastrearPedido = new QPushButton(QStringLiteral("Rastrear pedido"), this);
    btnRastrearPedido->setObjectName(QStringLiteral("btnRastrearPedido"));
    BitBtn2 = new QPushButton(QStringLiteral("Histórico de atividades"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    btnVencimentos = new QPushButton(QStringLiteral("Vencimentos e valor em risco"), this);
    btnVencimentos->setObjectName(QStringLiteral("btnVencimentos"));
    btnControlados = new QPushButton(QStringLiteral("Livro de controlados"), this);
    btnControlados->setObjectName(QStringLiteral("btnControlados"));
    btn4 = new QPushButton(QStringLiteral("Sair"), this);
    btn4->setObjectName(QStringLiteral("btn4"));
    for (QPushButton *b : buttons()) {
        b->setAutoDefault(false);
        b->setMinimumHeight(28);
    }
    // Alt shortcuts for the panel's main buttons; the buttons that share a caption are told
    // apart by their report for a screen reader.
    for (const auto &[b, caption] : {std::pair{btn3, "&Listar Estoque"}, {btn_1, "Estoq. Físico/Financ. &Manipulação"},
                                     {btnFinanceiro, "Estoq. Físico e Financ. &Revenda"}, {BitBtn11, "CP&V"},
                                     {BitBtn16, "Conferir &baixas no estoque"}, {BitBtn2, "&Histórico de atividades"},
                                     {btnRastrearPedido, "Rastrear pedid&o"}, {btnVencimentos, "Ve&ncimentos e valor em risco"},
                                     {btnControlados, "Livro &de controlados"},

                                     {btn2, "&Excel"}, {btn9, "E&xcel"}, {BitBtn12, "Ex&cel"}, {btn6, "Visuali&zar"},
                                     {BitBtn6, "V&isualizar"}, {BitBtn15, "Vis&ualizar"}, {btn4, "&Sair"}})
        b->setText(QString::fromUtf8(caption));
    for (const auto &[b, name] : {std::pair{btn2, "Excel: Listar Estoque"}, {btn9, "Excel: Estoque Físico/Financeiro"},
                                  {BitBtn12, "Excel: CPV"}, {btn6, "Visualizar: Estoq. Físico/Financ. Manipulação"},
                                  {BitBtn6, "Visualizar: Estoq. Físico e Financ. Revenda"}, {BitBtn15, "Visualizar: CPV"}})
        b->setAccessibleName(QString::fromUtf8(name));
    btn_1->setMinimumWidth(250);

    auto waitPanel = [this](const char *name, const QString &caption) {
        auto *l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        l->setAlignment(Qt::AlignCenter);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Raised);
        l->setAutoFillBackground(true);
        QFont bold = l->font();
        bold.setBold(true);
        l->setFont(bold);
        l->hide();
        return l;
    };
    PainelAguarde = waitPanel("PainelAguarde", QStringLiteral("Finalizando. Favor aguardar..."));
    PainelAguarde2 = waitPanel("PainelAguarde2", QStringLiteral("Aguarde..."));
    PainelPeriodo = new PeriodPanel(this);

    PainelDeErros = new ErrorPanel(m_window);
    btn4->setAccessibleName(QStringLiteral("Sair dos relatórios"));
    PainelDeErros->BitBtn8->setAccessibleName(QStringLiteral("Sair da lista de erros"));
}

void ReportsPanel::wireHandlers()
{
    connect(btn3, &QPushButton::clicked, this, &ReportsPanel::btn3Click);
    connect(btn_1, &QPushButton::clicked, this, &ReportsPanel::btn_1Click);
    connect(btn6, &QPushButton::clicked, this, &ReportsPanel::btn6Click);
    connect(btn4, &QPushButton::clicked, this, &ReportsPanel::btn4Click);
    connect(BitBtn16, &QPushButton::clicked, this, &ReportsPanel::BitBtn16Click);
    connect(btnControlados, &QPushButton::clicked, this, &ReportsPanel::btnControladosClick);
    connect(btnFinanceiro, &QPushButton::clicked, this, &ReportsPanel::btnFinanceiroClick);
    connect(BitBtn6, &QPushButton::clicked, this, &ReportsPanel::BitBtn6Click);
    connect(BitBtn11, &QPushButton::clicked, this, &ReportsPanel::BitBtn11Click);
    connect(BitBtn15, &QPushButton::clicked, this, &ReportsPanel::BitBtn15Click);
    connect(PainelPeriodo->BitBtn13, &QPushButton::clicked, this, &ReportsPanel::BitBtn13Click);
    connect(PainelPeriodo->BitBtn14, &QPushButton::clicked, this, &ReportsPanel::BitBtn14Click);
    m_window->installEventFilter(this);
    // "Sair" gives the focus back to the grid; the period and error panels to the button that
    // opened them. The error panel covers the whole window while it is shown, the period panel
    // the reports panel: the buttons under it take no key (nor an Alt letter) meanwhile.
    data_ui::keepPlace(this, m_grid);
    data_ui::keepPlace(PainelPeriodo, nullptr, true);
    data_ui::keepPlace(PainelDeErros, nullptr, true);
    // Esc closes the panel on top as its own button would: "Sair" (not while a report is made),
    // the period's "Cancelar", the error list's "Sair".
    data_ui::closeOnEscape(this, [this] { btn4Click(); });
    data_ui::closeOnEscape(PainelPeriodo, [this] { BitBtn14Click(); });
    data_ui::closeOnEscape(PainelDeErros, [this] { PainelDeErros->BitBtn8Click(); });
}

void ReportsPanel::layOut()
{
    auto *progress = new QVBoxLayout(GroupBoxProgresso);
    progress->addWidget(gg1);
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(btn3, 0, 0, 1, 2);
    layout->addWidget(btn2, 0, 2);
    layout->addWidget(btn_1, 1, 0);
    layout->addWidget(btn6, 1, 1);
    layout->addWidget(btn9, 1, 2, 2, 1);
    layout->addWidget(btnFinanceiro, 2, 0);
    layout->addWidget(BitBtn6, 2, 1);
    layout->addWidget(BitBtn11, 3, 0);
    layout->addWidget(BitBtn15, 3, 1);
    layout->addWidget(BitBtn12, 3, 2);
    layout->addWidget(BitBtn16, 4, 0, 1, 2);
    layout->addWidget(btnRastrearPedido, 4, 2);
    layout->addWidget(BitBtn2, 5, 0, 1, 3);
    layout->addWidget(btnVencimentos, 6, 0, 1, 3);
    layout->addWidget(btnControlados, 7, 0, 1, 3);
    layout->addWidget(GroupBoxProgresso, 8, 0, 1, 3);
    layout->addWidget(btn4, 9, 0, 1, 3);
}

ReportsPanel::~ReportsPanel()
{
    m_window->removeEventFilter(this);
}

void ReportsPanel::holdForWork(bool running)
{
    if (running && !m_held && !m_busy)
        m_held = std::make_shared<Busy>(*this);
    else if (!running)
        m_held.reset();
}

reports::ReportContext ReportsPanel::context()
{
    return reports::ReportContext{m_dm, m_run, m_clock, m_paths, m_op, *this, errors, &m_staged};
}

bool ReportsPanel::stagedRowsFit(reports::StagedBuild asked)
{
    const reports::ReportPeriod shown =
        asked == reports::StagedBuild::CostOfSales ? reports::StoredPeriod(m_dm) : reports::ReportPeriod{};
    m_dm.Periodo.close();
    const QString question = reports::StagedRowsQuestion(asked, m_staged, shown);
    if (question.isEmpty())
        return true;
    if (m_op.ask(question) == platform::Answer::Yes) {
        switch (asked) {
        case reports::StagedBuild::Manufacturing: btn_1Click(); break;
        case reports::StagedBuild::Resale: btnFinanceiroClick(); break;
        case reports::StagedBuild::CostOfSales: showPeriodPanel(PeriodPanel::Purposes::CostOfSales); break;
        case reports::StagedBuild::Unknown: break;
        }
    }
    return false;
}

void ReportsPanel::open()
{
    // Opened again while the audit's result fills it, it keeps the room the result needs.
    if (m_enlarged)
        setEnlarged(true);
    else
        place();
    show();
    raise();
    RM.PanelOpened();
    RM.rvstm1.setSaveFolder(m_run.siteConfig.ProgramFolder);
    btn3->setFocus();
}

// Centred over the grid, inside the window, at the size its buttons need.
void ReportsPanel::place()
{
    adjustSize();
    QRect area = m_grid ? m_grid->rect() : m_window->rect();
    if (m_grid && m_grid != m_window)
        area.moveTopLeft(m_grid->mapTo(m_window, QPoint(0, 0)));
    QRect r(QPoint(0, 0), size());
    r.moveCenter(area.center());
    r.moveLeft(qBound(0, r.left(), qMax(0, m_window->width() - r.width())));
    r.moveTop(qBound(0, r.top(), qMax(0, m_window->height() - r.height())));
    setGeometry(r);
}

void ReportsPanel::btn3Click()
{
    if (m_busy)
        return;
    Busy busy(*this);
    RM.ListStock();
}

void ReportsPanel::btn_1Click()
{
    if (m_busy)
        return;
    bool showErrors = false;
    {
        Busy busy(*this);
        reports::ReportContext ctx = context();
        showErrors = reports::RunManufacturingReport(ctx, RM);
    }
    if (showErrors)
        showErrorPanel(btn_1);
}

void ReportsPanel::btn6Click()
{
    if (m_busy)
        return;
    if (!stagedRowsFit(reports::StagedBuild::Manufacturing))
        return;
    Busy busy(*this);
    reports::ReportContext ctx = context();
    reports::ViewManufacturingReport(ctx, RM);
}

void ReportsPanel::btnFinanceiroClick()
{
    if (m_busy)
        return;
    bool showErrors = false;
    {
        Busy busy(*this);
        reports::ReportContext ctx = context();
        showErrors = reports::RunResaleReport(ctx, RM);
    }
    if (showErrors)
        showErrorPanel(btnFinanceiro);
}

void ReportsPanel::BitBtn6Click()
{
    if (m_busy)
        return;
    if (!stagedRowsFit(reports::StagedBuild::Resale))
        return;
    Busy busy(*this);
    reports::ReportContext ctx = context();
    reports::ViewResaleReport(ctx, RM);
}

void ReportsPanel::BitBtn11Click()
{
    showPeriodPanel(PeriodPanel::Purposes::CostOfSales);
}

void ReportsPanel::BitBtn16Click()
{
    showPeriodPanel(PeriodPanel::Purposes::DeductionAudit);
}

void ReportsPanel::btnControladosClick()
{
    showPeriodPanel(PeriodPanel::Purposes::ControlledBook);
}

// The period panel, filled from the workstation's stored period; the purpose says what Ok does.
void ReportsPanel::showPeriodPanel(PeriodPanel::Purposes purpose)
{
    if (m_busy)
        return;
    PainelPeriodo->Purpose = purpose;
    data_ui::noteOpener(PainelPeriodo, purpose == PeriodPanel::Purposes::DeductionAudit ? BitBtn16
                                       : purpose == PeriodPanel::Purposes::ControlledBook ? btnControlados
                                                                                          : BitBtn11);
    m_shownPeriod = reports::StoredPeriod(m_dm);
    PainelPeriodo->EditDataInicial->setText(reports::PeriodBoxText(m_shownPeriod.start));
    PainelPeriodo->EditDataFinal->setText(reports::PeriodBoxText(m_shownPeriod.end));
    placeOver(PainelPeriodo);
    PainelPeriodo->EditDataInicial->setFocus();
    PainelPeriodo->EditDataInicial->setCursorPosition(0);
}

void ReportsPanel::BitBtn14Click()
{
    m_dm.Periodo.close();
    hidePeriodPanel();
}

void ReportsPanel::hidePeriodPanel()
{
    PainelPeriodo->hide();
}

void ReportsPanel::BitBtn13Click()
{
    if (m_busy)
        return;
    const QString startText = reports_ui::PeriodPanel::boxText(PainelPeriodo->EditDataInicial);
    const QString endText = reports_ui::PeriodPanel::boxText(PainelPeriodo->EditDataFinal);
    m_dm.Periodo.close();
    const QDate today = m_clock.today();
    reports::ReportPeriod period;
    period.start = reports::ReadPeriodBox(startText, m_shownPeriod.start, today);
    period.end = reports::ReadPeriodBox(endText, m_shownPeriod.end, today);
    for (const auto &[date, text] : {std::pair{period.start, startText}, std::pair{period.end, endText}}) {
        if (!date.isValid()) {
            m_op.error(reports::NotADateMessage(text));
            return;
        }
    }
    // A period that ends before it starts would report nothing and look like an empty period.
    if (period.end < period.start) {
        m_op.warn(reports::kReversedPeriodMessage);
        PainelPeriodo->EditDataFinal->setFocus();
        PainelPeriodo->EditDataFinal->selectAll();
        return;
    }
    ReportPeriod = period;
    reports::StorePeriod(m_dm.SQLConnection2, period, today);
    hidePeriodPanel();
    // The stock deduction audit goes on from here with its own panels.
    if (PainelPeriodo->Purpose == PeriodPanel::Purposes::DeductionAudit) {
        Q_EMIT auditPeriodConfirmed(period.start, period.end);
        return;
    }
    if (PainelPeriodo->Purpose == PeriodPanel::Purposes::ControlledBook) {
        Q_EMIT controlledPeriodConfirmed(period.start, period.end);
        return;
    }
    if (PainelPeriodo->Purpose != PeriodPanel::Purposes::CostOfSales)
        return;
    bool showErrors = false;
    {
        Busy busy(*this);
        reports::ReportContext ctx = context();
        showErrors = reports::RunCostOfProductsSold(ctx, RM, period);
    }
    if (showErrors)
        showErrorPanel(BitBtn11);
}

void ReportsPanel::BitBtn15Click()
{
    if (m_busy)
        return;
    if (!stagedRowsFit(reports::StagedBuild::CostOfSales))
        return;
    Busy busy(*this);
    reports::ReportContext ctx = context();
    reports::ViewCostOfProductsSold(ctx, RM);
}

// The errors of the build over the whole window; "Sair" goes back to the button that ran it.
void ReportsPanel::showErrorPanel(QWidget *opener)
{
    data_ui::noteOpener(PainelDeErros, opener);
    PainelDeErros->showErrors(errors.lines);
}

void ReportsPanel::showWait(Wait which)
{
    QLabel *panel = which == Wait::Finalizing ? PainelAguarde : PainelAguarde2;
    panel->resize(std::max(260, width() - 40), 60);
    panel->move((width() - panel->width()) / 2, (height() - panel->height()) / 2);
    panel->show();
    panel->raise();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ReportsPanel::hideWait(Wait which)
{
    (which == Wait::Finalizing ? PainelAguarde : PainelAguarde2)->hide();
}

void ReportsPanel::gaugeColour(unsigned rgb)
{
    QPalette p = gg1->palette();
    p.setColor(QPalette::Highlight, QColor::fromRgb(QRgb(rgb)));
    gg1->setPalette(p);
}

void ReportsPanel::setEnlarged(bool on)
{
    m_enlarged = on;
    if (!on) {
        place();
        return;
    }
    QRect area = m_grid ? m_grid->rect() : m_window->rect();
    if (m_grid && m_grid != m_window)
        area.moveTopLeft(m_grid->mapTo(m_window, QPoint(0, 0)));
    setGeometry(area);
    raise();
}

void ReportsPanel::placeOver(QWidget *panel)
{
    panel->adjustSize();
    panel->resize(std::max(panel->width(), 260), panel->height());
    panel->move((width() - panel->width()) / 2, (height() - panel->height()) / 2);
    panel->show();
    panel->raise();
}

QList<QPushButton *> ReportsPanel::buttons() const
{
    return {btn3, btn2, btn_1, btn6, btn9, btnFinanceiro, BitBtn6, BitBtn11, BitBtn15, BitBtn12, BitBtn16, btnRastrearPedido, BitBtn2, btnVencimentos, btnControlados, btn4};
}

void ReportsPanel::btn4Click()
{
    if (m_busy)
        return;
    hide();
}

void ReportsPanel::setBusy(bool busy)
{
    m_busy = busy;
    for (QPushButton *b : buttons())
        b->setEnabled(!busy);
    if (!busy)
        end();
}

void ReportsPanel::start(int total)
{
    m_total = std::max(total, 0);
    m_shownPercent = -1;
    gg1->setRange(0, std::max(m_total, 1));
    gg1->setValue(0);
}

void ReportsPanel::step(int position)
{
    if (m_total <= 0)
        return;
    // Repainting for every lot would cost more than the lot itself: once a percent.
    const int percent = int(qint64(position) * 100 / m_total);
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    gg1->setValue(std::min(position, m_total));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ReportsPanel::end()
{
    m_total = 0;
    if (gg1->maximum() == 0)
        gg1->setRange(0, 100);
    gg1->setValue(0);
}

void ReportsPanel::working(bool on)
{
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // No number of steps yet: the gauge says "busy" until start() gives one.
        if (m_total == 0)
            gg1->setRange(0, 0);
        gg1->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return;
    }
    QApplication::restoreOverrideCursor();
    if (gg1->maximum() == 0)
        gg1->setRange(0, 100);
}

bool ReportsPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Close && m_busy) {
        event->ignore();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace reports_ui
