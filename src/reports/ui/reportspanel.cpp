#include "reportspanel.h"

#include "errorpanel.h"

#include "data/tdm.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace reports_ui {

// While a build or a report runs: no second start, no closing the window under it.
class ReportsPanel::Busy {
public:
    explicit Busy(ReportsPanel &p) : m_p(p) { m_p.setBusy(true); }
    ~Busy() { m_p.setBusy(false); }

private:
    ReportsPanel &m_p;
};

ReportsPanel::ReportsPanel(data::TDM &dm, const app::RunState &run, const platform::Clock &clock,
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
    GroupBoxProgresso = new QGroupBox(QStringLiteral("  Progresso  "), this);
    gg1 = new QProgressBar(GroupBoxProgresso);
    gg1->setObjectName(QStringLiteral("gg1"));
    gg1->setRange(0, 100);
    gg1->setValue(0);
    auto *progress = new QVBoxLayout(GroupBoxProgresso);
    progress->addWidget(gg1);
    const auto excel = [this](const char *name) {
        auto *b = new QPushButton(QStringLiteral("Excel"), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(QStringLiteral("Exportar relatório para o Excel"));
        return b;
    };
    btn2 = excel("btn2");
    btn9 = excel("btn9");
    BitBtn2 = new QPushButton(QStringLiteral("Histórico de atividades"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    btn4 = new QPushButton(QStringLiteral("Sair"), this);
    btn4->setObjectName(QStringLiteral("btn4"));
    for (QPushButton *b : {btn3, btn2, btn_1, btn6, btn9, BitBtn2, btn4}) {
        b->setAutoDefault(false);
        b->setMinimumHeight(28);
    }
    btn_1->setMinimumWidth(250);

    auto *grid_ = new QGridLayout(this);
    grid_->setContentsMargins(10, 10, 10, 10);
    grid_->addWidget(btn3, 0, 0, 1, 2);
    grid_->addWidget(btn2, 0, 2);
    grid_->addWidget(btn_1, 1, 0);
    grid_->addWidget(btn6, 1, 1);
    grid_->addWidget(btn9, 1, 2);
    grid_->addWidget(BitBtn2, 2, 0, 1, 3);
    grid_->addWidget(GroupBoxProgresso, 3, 0, 1, 3);
    grid_->addWidget(btn4, 4, 0, 1, 3);

    PainelDeErros = new ErrorPanel(window);

    connect(btn3, &QPushButton::clicked, this, &ReportsPanel::btn3Click);
    connect(btn_1, &QPushButton::clicked, this, &ReportsPanel::btn_1Click);
    connect(btn6, &QPushButton::clicked, this, &ReportsPanel::btn6Click);
    connect(btn4, &QPushButton::clicked, this, &ReportsPanel::btn4Click);
    window->installEventFilter(this);
    hide();
}

ReportsPanel::~ReportsPanel()
{
    m_window->removeEventFilter(this);
}

reports::ReportContext ReportsPanel::context()
{
    return reports::ReportContext{m_dm, m_run, m_clock, m_paths, m_op, *this, errors};
}

void ReportsPanel::open()
{
    // Centred over the grid, inside the window.
    adjustSize();
    QRect area = m_grid ? m_grid->rect() : m_window->rect();
    if (m_grid && m_grid != m_window)
        area.moveTopLeft(m_grid->mapTo(m_window, QPoint(0, 0)));
    QRect r(QPoint(0, 0), size());
    r.moveCenter(area.center());
    r.moveLeft(qBound(0, r.left(), qMax(0, m_window->width() - r.width())));
    r.moveTop(qBound(0, r.top(), qMax(0, m_window->height() - r.height())));
    setGeometry(r);
    show();
    raise();
    RM.PanelOpened();
    btn3->setFocus();
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
        PainelDeErros->showErrors(errors.lines);
}

void ReportsPanel::btn6Click()
{
    if (m_busy)
        return;
    Busy busy(*this);
    reports::ReportContext ctx = context();
    reports::ViewManufacturingReport(ctx, RM);
}

void ReportsPanel::btn4Click()
{
    if (m_busy)
        return;
    hide();
    if (m_grid)
        m_grid->setFocus();
}

void ReportsPanel::setBusy(bool busy)
{
    m_busy = busy;
    for (QPushButton *b : {btn3, btn2, btn_1, btn6, btn9, BitBtn2, btn4})
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
    gg1->setValue(0);
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
