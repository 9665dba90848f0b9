#include "tform1.h"

#include "keyboardrules.h"
#include "program.h"
#include "startupwait.h"

#include "core/siteconfig.h"
#include "core/startup.h"
#include "platform/cp1252.h"
#include "data/ui/lockwaitpanel.h"
#include "data/ui/panelfocus.h"
#include "db/lockwait.h"
#include "browser/ui/maintenancepanel.h"
#include "browser/ui/stockbrowser.h"
#include "browser/ui/waitpanel.h"
#include "common/stockquery.h"
#include "transfer/ui/tform3.h"
#include "maintenance/ui/maintenancemenu.h"
#include "lotedit/ui/tform2.h"
#include "reports/ui/reportspanel.h"
#include "exports/ui/deductionauditpanel.h"
#include "exports/ui/exporthandlers.h"
#include "exports/ui/historyviewer.h"
#include "expiry/ui/expirypanel.h"
#include "stocktake/ui/stocktakepanel.h"
#include "controlled/ui/bookpanel.h"
#include "users/ui/loginpanel.h"
#include "trace/ui/lottracepanel.h"
#include "trace/ui/ordertracepanel.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace shell {

namespace {
const QStringList kViews = {
    QStringLiteral("Mostrar todos os produtos"),
    QStringLiteral("Mostrar somente produtos no Contr. de Qualidade"),
    QStringLiteral("Mostrar somente produtos controlados"),
    QStringLiteral("Mostrar somente produtos em trânsito"),
    QStringLiteral("Mostrar somente Produtos de Revenda"),
    QStringLiteral("Mostrar somente Matérias Primas"),
    QStringLiteral("Mostrar somente saldos maiores que zero"),
    QStringLiteral("Mostrar somente Suprimentos"),
    QStringLiteral("Mostrar somente os vencimentos mais próximos"),
    QStringLiteral("Somente Mat. Primas saldo > 0 dispon. p/ uso"),
    QStringLiteral("Mostrar somente produtos em Terceiros"),
};
const QStringList kExpiryModes = {
    QStringLiteral("Não mostrar produtos vencidos"),
    QStringLiteral("Inclusive produtos vencidos"),
};
} // namespace

TForm1::TForm1(Program &program, QWidget *parent)
    : QWidget(parent), m_program(program), m_lockWait(std::make_unique<data_ui::LockWaitPanel>())
{
    setObjectName(QStringLiteral("TForm1"));
    // The program's keyboard rules hold for this window and every form opened after it.
    KeyboardRules::install();
    setWindowTitle(QStringLiteral("FORMULIX  -  Posição do Estoque por Lote"));
    buildTopBar();
    buildPanels();
    wireHandlers();
    layOut();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::buildTopBar()
{
    pnl2 = new QFrame(this);
    pnl2->setObjectName(QStringLiteral("pnl2"));
    pnl2->setFrameShape(QFrame::StyledPanel);

    GroupBoxPesquisa = new QGroupBox(QStringLiteral("  Pesquisar pela Descrição "), pnl2);
    Edit1 = new QLineEdit(GroupBoxPesquisa);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setAccessibleName(QStringLiteral("Pesquisar pela descrição"));
    Label2 = new QLabel(QStringLiteral("&Pesquisar"), GroupBoxPesquisa);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setBuddy(Edit1);
    Button1 = new QPushButton(QStringLiteral("&P"), GroupBoxPesquisa);
    Button1->setObjectName(QStringLiteral("Button1"));
    // Only there for its Alt+P: no size, so nothing of it shows, but shown, so the key works.
    Button1->setFixedSize(0, 0);
    Button1->setFlat(true);
    Button1->setFocusPolicy(Qt::NoFocus);
    Button1->setAccessibleName(QStringLiteral("Pesquisar"));

    GroupBoxFiltros = new QGroupBox(QStringLiteral("  Filtros "), pnl2);
    // The two filters: a typed text is what it is, not the item it begins. The longest view name
    // must not widen the window past its 800 pixels (it keeps them with "Relatórios" in view):
    // the lists still open wide.
    const auto filter = [this](const char *name, const QString &accessibleName, const QStringList &items) {
        auto *c = new QComboBox(GroupBoxFiltros);
        c->setObjectName(QString::fromLatin1(name));
        c->setAccessibleName(accessibleName);
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);
        c->addItems(items);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(16);
        c->setCurrentIndex(-1);
        return c;
    };
    ComboBox1 = filter("ComboBox1", QStringLiteral("Filtro: produtos mostrados"), kViews);
    ComboBox2 = filter("ComboBox2", QStringLiteral("Filtro: produtos vencidos"), kExpiryModes);

    DBNavigator1 = new QToolButton(pnl2);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    DBNavigator1->setToolTip(QStringLiteral("Atualizar"));
    DBNavigator1->setAccessibleName(DBNavigator1->toolTip());
    BitBtn3 = new QPushButton(QStringLiteral("E&ditar tabela"), pnl2);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setEnabled(false);
    btnInventario = new QPushButton(QStringLiteral("&Inventário"), pnl2);
    btnInventario->setObjectName(QStringLiteral("btnInventario"));
    btnInventario->setEnabled(false);
    btn1 = new QPushButton(QStringLiteral("Rela&tórios"), pnl2);
    btn1->setObjectName(QStringLiteral("btn1"));
    BitBtn1 = new QPushButton(QStringLiteral("S&air"), pnl2);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    for (QPushButton *b : {BitBtn3, btnInventario, btn1, BitBtn1})
        b->setAutoDefault(false);
    Termometro = new QProgressBar(pnl2);
    Termometro->setObjectName(QStringLiteral("Termometro"));
    Termometro->setFixedWidth(150);
    Termometro->hide();
}

// The features' panels, in the order they lie over the grid (the later over the earlier).
void TForm1::buildPanels()
{
    // The lot browser: the grid, its search through Edit1, and the panels hidden over the grid.
    // The data module's invoice panel is PainelNF from here on.
    browser_ui::TopBar browserBar{Edit1, Label2, Button1, DBNavigator1, BitBtn3, [this] {
        return ComboBox1->findText(ComboBox1->currentText(), Qt::MatchExactly);
    }};
    Browser = new browser_ui::StockBrowser(m_program.dm, m_program.clock, m_program.op, browserBar, this);
    DBGrid1 = Browser->DBGrid1;
    pnlDetalha = Browser->pnlDetalha;
    PainelNF = Browser->PainelNF;
    PainelSenha = Browser->PainelSenha;
    Panel1 = Browser->Panel1;
    PanelAguarde = Browser->PanelAguarde;
    DBGrid1->setEnabled(false);

    // PopupMenu1: the guarded items go through the maintenance password panel, which runs them.
    Maintenance = new maintenance_ui::MaintenanceMenu(m_program.dm, m_program.op, m_program.clock, this, BitBtn3,
                                                      Termometro, [this](int tag) { Panel1->open(tag); });

    pnlRelatorios = new reports_ui::ReportsPanel(m_program.dm, m_program.run, m_program.clock, m_program.paths,
                                                 m_program.op, DBGrid1, this);
    Exports = new exports_ui::ExportHandlers(m_program.dm, m_program.paths, m_program.clock, this);
    Auditoria = new exports_ui::DeductionAuditPanel(m_program.dm.SQLConnection1, m_program.paths, pnlRelatorios);
    PainelLOG = new exports_ui::HistoryViewer(m_program.op, m_program.paths, m_program.run.siteConfig, this);
    PainelLOG->setCentralDatabase(&m_program.dm.SQLConnection1);
    PainelLOG->setTopPanel(pnl2);
    PainelVencimentos = new expiry_ui::ExpiryPanel(m_program.dm, m_program.run, m_program.clock, m_program.paths,
                                                   m_program.op, this);
    LinhaStatus = new QLabel(this);
    LinhaStatus->setObjectName(QStringLiteral("LinhaStatus"));
    LinhaStatus->setWordWrap(true);
    LinhaStatus->setContentsMargins(6, 2, 6, 2);
    LinhaStatus->hide();

    PainelLogin = new users_ui::LoginPanel(this);
    PainelLogin->hide();
    PainelRastreio = new trace_ui::LotTracePanel(m_program.dm.SQLConnection1, m_program.paths, m_program.clock,
                                                 m_program.op, DBGrid1, this);
    PainelRastreio->setRecallContext(&m_program.run, &m_program.log);
    PainelRastreioPedido = new trace_ui::OrderTracePanel(m_program.dm.SQLConnection1, m_program.paths,
                                                         m_program.clock, m_program.op, this);
    PainelControlados = new controlled_ui::BookPanel(m_program.dm, m_program.run, m_program.clock, m_program.paths,
                                                     m_program.op, this);
    PainelInventario = new stocktake_ui::StocktakePanel(m_program.dm.SQLConnection1, m_program.run, m_program.log,
                                                        m_program.clock, m_program.paths, m_program.op, this);
}

void TForm1::wireHandlers()
{
    for (int tag = 2; tag <= 6; ++tag)
        Panel1->operations[tag] = [this, tag] { Maintenance->runGuarded(tag); };
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        if (m_loggedIn)   // before the login there is no store to work on
            Maintenance->PopupMenu1->popup(mapToGlobal(at));
    });

    connect(btn1, &QPushButton::clicked, this, &TForm1::btn1Click);
    connect(pnlRelatorios->btn2, &QPushButton::clicked, Exports, &exports_ui::ExportHandlers::btn2Click);
    connect(pnlRelatorios->btn9, &QPushButton::clicked, Exports, &exports_ui::ExportHandlers::btn9Click);
    connect(pnlRelatorios->BitBtn12, &QPushButton::clicked, Exports, &exports_ui::ExportHandlers::BitBtn12Click);
    connect(Exports, &exports_ui::ExportHandlers::busyChanged, pnlRelatorios, &reports_ui::ReportsPanel::holdForWork);
    Auditoria->enlargeReportsPanel = [this](bool on) { pnlRelatorios->setEnlarged(on); };
    connect(pnlRelatorios, &reports_ui::ReportsPanel::auditPeriodConfirmed, Auditoria,
            &exports_ui::DeductionAuditPanel::ShowProductChoice);
    connect(pnlRelatorios->BitBtn2, &QPushButton::clicked, PainelLOG, &exports_ui::HistoryViewer::BitBtn2Click);
    connect(pnlRelatorios->btnVencimentos, &QPushButton::clicked, PainelVencimentos, &expiry_ui::ExpiryPanel::open);
    connect(PainelVencimentos, &expiry_ui::ExpiryPanel::lotShown, pnlRelatorios, &reports_ui::ReportsPanel::btn4Click);
    connect(pnlRelatorios, &reports_ui::ReportsPanel::controlledPeriodConfirmed, PainelControlados,
            &controlled_ui::BookPanel::open);
    connect(PainelControlados, &controlled_ui::BookPanel::closed, pnlRelatorios->btnControlados,
            [this] { pnlRelatorios->btnControlados->setFocus(); });
    // Every lot of the store's scope, expired ones included: the list that holds any lot the
    // expiry panel lists.
    PainelVencimentos->showEveryLot = [this] {
        {
            const QSignalBlocker b1(ComboBox1), b2(ComboBox2);
            ComboBox1->setCurrentIndex(0);
            ComboBox2->setCurrentIndex(browser::kIncludeExpiredIndex);
        }
        rebuildStockQuery();
    };
    PainelVencimentos->tellStatus = [this](const QString &text) {
        LinhaStatus->setText(text);
        LinhaStatus->setVisible(!text.isEmpty());
    };

    connect(PainelLogin, &users_ui::LoginPanel::cancelRequested, this, &TForm1::BotCancSenhaClick);
    connect(PainelLogin, &users_ui::LoginPanel::loginRequested, this, &TForm1::BotOkSenhaClick);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(DBGrid1->ransferirestoqueparaoutraunidade1, &QAction::triggered, this,
            &TForm1::ransferirestoqueparaoutraunidade1Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm1::BitBtn3Click);
    connect(DBGrid1->RastrearLote1, &QAction::triggered, this, &TForm1::RastrearLote1Click);
    // Ctrl+L on the grid: a lot found by its number, as a recall notice names it.
    auto *findLot = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), DBGrid1);
    findLot->setContext(Qt::WidgetWithChildrenShortcut);
    connect(findLot, &QShortcut::activated, PainelRastreio, &trace_ui::LotTracePanel::openSearch);
    connect(PainelRastreio, &trace_ui::LotTracePanel::lotRecalled, this, [this] {
        data::CachedDataset &lots = m_program.dm.ESTLOTE;
        if (lots.isOpen())
            lots.refresh();
    });
    // "Inventário" opens with the same day's code as "Editar tabela": it follows that button.
    BitBtn3->installEventFilter(this);
    connect(btnInventario, &QPushButton::clicked, this, [this] {
        data_ui::noteOpener(PainelInventario, btnInventario);   // Alt+I leaves the focus where it was
        PainelInventario->open();
    });
    connect(PainelInventario, &stocktake_ui::StocktakePanel::posted, this, [this] {
        data::CachedDataset &lots = m_program.dm.ESTLOTE;
        if (lots.isOpen())
            lots.refresh();
    });
    connect(pnlRelatorios->btnRastrearPedido, &QPushButton::clicked, this,
            [this] { PainelRastreioPedido->open(pnlRelatorios->btnRastrearPedido); });
    // Typed text that matches no item counts as no selection, as picking does.
    connect(ComboBox1, &QComboBox::editTextChanged, this, &TForm1::ComboBox1Change);
    connect(ComboBox2, &QComboBox::editTextChanged, this, &TForm1::ComboBox2Change);
}

void TForm1::layOut()
{
    auto *search = new QHBoxLayout(GroupBoxPesquisa);
    search->addWidget(Label2);
    search->addWidget(Edit1, 1);
    search->addWidget(Button1);
    auto *filters = new QVBoxLayout(GroupBoxFiltros);
    filters->setSpacing(2);
    filters->addWidget(ComboBox1);
    filters->addWidget(ComboBox2);
    auto *bar = new QHBoxLayout(pnl2);
    bar->setContentsMargins(4, 2, 4, 4);
    bar->addWidget(GroupBoxPesquisa, 3);
    bar->addWidget(GroupBoxFiltros, 4);
    bar->addWidget(DBNavigator1, 0, Qt::AlignBottom);
    bar->addWidget(BitBtn3, 0, Qt::AlignBottom);
    bar->addWidget(btnInventario, 0, Qt::AlignBottom);
    bar->addWidget(Termometro, 0, Qt::AlignBottom);
    bar->addWidget(btn1, 0, Qt::AlignBottom);
    bar->addWidget(BitBtn1, 0, Qt::AlignBottom);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnl2);
    layout->addWidget(DBGrid1, 1);
    layout->addWidget(LinhaStatus);
    // Tab leaves the grid for the filters and goes round the top bar back to it; the search box
    // comes last, as entering it starts a new search.
    DBGrid1->setTabKeyNavigation(false);
    const QList<QWidget *> chain{DBGrid1, ComboBox1, ComboBox2, DBNavigator1, BitBtn3, btnInventario, btn1, BitBtn1,
                                 Edit1};
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TForm1::FormCreate()
{
    core::RunState &run = m_program.run;
    core::SetSiteConfigDefaults(run.siteConfig);
    resize(800, 600);
    // Opens maximised, so every column of the grid (the expiry date behind the colours among
    // them) is in view. Restored, or where nothing maximises it, it is wide enough for all the
    // columns as far as the screen allows, and centred.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(qBound(width(), DBGrid1->widthForAllColumns(), qMax(width(), available.width())), height());
        move(available.center() - rect().center());
    }
    setWindowState(windowState() | Qt::WindowMaximized);

    const QString windowsFolder = m_program.paths.windowsFolderOf(m_program.localProgramFolder);
    QString error;
    switch (core::ReadSiteConfig(windowsFolder, m_program.localProgramFolder, run.siteConfig, &error)) {
    case core::ConfigRead::Ok:
        break;
    case core::ConfigRead::Missing:
        m_program.op.warn(core::kConfigMissingMessage);
        return;
    case core::ConfigRead::Unreadable:
        m_program.op.error(error);
        return;
    }
    db::setLockWaitLimit(run.siteConfig.LockWaitSeconds);
    run.LotColumnList = core::kLotColumnList;
    run.StoreDataColumnList = core::kStoreDataColumnList;
    m_created = true;
}

void TForm1::FormShow()
{
    core::RunState &run = m_program.run;
    m_program.connections.ConfigureCentralConnection(run.siteConfig.ProgramFolder);
    m_loggedIn = false;
    DBGrid1->setEnabled(true);
    // Both lists are constants; setting them here too keeps them in place for a login on a
    // desktop that never reports the window as activated.
    FormActivate();

    {
        StartupWait wait(m_program.op);
        m_startupFailed = core::RunStartupStatements(m_program.connections.SQLConnection1,
                                                    m_program.connections.centralPath(), m_program.clock, wait);
    }

    run.UserName = m_program.osUserName().left(49);
    PainelLogin->EditNome->setText(run.UserName);
    coverWithLoginPanel();
    // Nor can its shortcuts (Alt+P) reach the top bar under the panel.
    pnl2->setEnabled(false);
    PainelLogin->show();
    PainelLogin->raise();

    if (m_startupFailed) {
        BotCancSenhaClick();
        return;
    }
    if (PainelLogin->EditNome->isEnabled() && PainelLogin->EditNome->isVisible())
        focusName();
}

void TForm1::FormActivate()
{
    m_program.run.ProductColumnList = core::kProductColumnList;
    m_program.run.WorkstationColumnList = core::kWorkstationColumnList;
}

void TForm1::FormClose()
{
    if (m_program.run.siteConfig.logOn())
        m_program.log.WriteActivityLine(m_program.run.UserName, core::kExitLine);
    m_program.dm.ESTLOTE.close();
}

void TForm1::BitBtn1Click()
{
    close();
}

void TForm1::btn1Click()
{
    pnlRelatorios->open();
}

void TForm1::BotCancSenhaClick()
{
    PainelLogin->hide();
    repaint();
    // Closing from inside the show that failed would leave the window half made: close once the
    // event loop has it.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TForm1::BotOkSenhaClick()
{
    // The checks, the work area and the first grid take a second on a large stock: a busy pointer
    // meanwhile (a message on the way gets the normal one).
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    users::LoginContext ctx{m_program.dm, *this, m_program.op, m_program.clock, m_program.log, m_program.paths,
                            waitIndicator()};
    users::CheckLogin(ctx);
}

browser::WaitIndicator &TForm1::waitIndicator()
{
    return *PanelAguarde;
}

void TForm1::rebuildStockQuery()
{
    if (!m_loggedIn)
        return;
    const int view = ComboBox1->findText(ComboBox1->currentText(), Qt::MatchExactly);
    const int mode = ComboBox2->findText(ComboBox2->currentText(), Qt::MatchExactly);
    browser::BuildStockQuery(m_program.dm, view, mode, m_program.clock, waitIndicator());
}

void TForm1::ComboBox1Change()
{
    LinhaStatus->clear();
    LinhaStatus->hide();
    rebuildStockQuery();
}

void TForm1::ComboBox2Change()
{
    LinhaStatus->clear();
    LinhaStatus->hide();
    rebuildStockQuery();
}

void TForm1::ransferirestoqueparaoutraunidade1Click()
{
    data::CachedDataset &lots = m_program.dm.ESTLOTE;
    if (!lots.isOpen() || lots.currentRow() < 0)
        return;
    transfer_ui::MainWindowLink link{[this] {
                                         return std::pair{ComboBox1->findText(ComboBox1->currentText(), Qt::MatchExactly),
                                                          ComboBox2->findText(ComboBox2->currentText(), Qt::MatchExactly)};
                                     },
                                     &waitIndicator(), Edit1};
    transfer_ui::TForm3 form(m_program.dm, m_program.clock, m_program.op, std::move(link), this);
    form.exec();
}

void TForm1::RastrearLote1Click()
{
    const data::CachedDataset &lots = m_program.dm.ESTLOTE;
    const int row = lots.isOpen() ? lots.currentRow() : -1;
    if (row < 0)
        return;
    auto field = [&](const char *name) {
        const int c = lots.fieldIndex(QLatin1String(name));
        const db::Value v = c < 0 ? db::Value() : lots.valueAt(row, c);
        return v.isNull() ? QString() : v.toString();   // as stored: a blank is part of a lot number
    };
    PainelRastreio->open({field("CODIGO"), field("DESCRICAO"), field("LOTE"), field("FORNECEDOR"), field("UNIDADE")});
}

QString TForm1::nameText() const
{
    return PainelLogin->EditNome->text();
}

QString TForm1::passwordText() const
{
    return PainelLogin->EditSenhaU->text();
}

void TForm1::setPasswordText(const QString &text)
{
    PainelLogin->EditSenhaU->setText(text);
}

void TForm1::setNameText(const QString &text)
{
    PainelLogin->EditNome->setText(text);
}

void TForm1::setCaption(const QString &text)
{
    setWindowTitle(text);
}

// A box focused for the operator has its text selected, so typing replaces it (the name
// offered at start, a refused password).
void TForm1::focusName()
{
    PainelLogin->EditNome->setFocus();
    PainelLogin->EditNome->selectAll();
}

void TForm1::focusPassword()
{
    PainelLogin->EditSenhaU->setFocus();
    PainelLogin->EditSenhaU->selectAll();
}

void TForm1::hideLoginPanel()
{
    pnl2->setEnabled(true);
    PainelLogin->hide();
}

void TForm1::afterLoginSucceeded()
{
    m_loggedIn = true;
    DBGrid1->setEnabled(true);
    DBGrid1->setFocus();
    Edit1->setFocus();
    const QSignalBlocker b1(ComboBox1), b2(ComboBox2);
    ComboBox1->setCurrentIndex(users::kFirstView);
    ComboBox2->setCurrentIndex(users::kFirstExpiredMode);
}

void TForm1::closeMainWindow()
{
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // An export or the audit still writing waits for its end; the window closes after.
    if (Exports->busy() || Auditoria->busy()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TForm1::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
    QWidget::changeEvent(event);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == BitBtn3 && event->type() == QEvent::EnabledChange)
        btnInventario->setEnabled(BitBtn3->isEnabled());
    return QWidget::eventFilter(watched, event);
}

bool TForm1::event(QEvent *event)
{
    // The Menu key on a control with no menu of its own opens the lot menu on the current row;
    // only the mouse opens the window's maintenance menu where it points.
    if (event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
        if (m_loggedIn && DBGrid1->isEnabled())
            DBGrid1->popupLotMenu();
        return true;
    }
    return QWidget::event(event);
}

void TForm1::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        if (m_loggedIn && DBGrid1->isEnabled())
            DBGrid1->popupLotMenu();
        return;
    }
    // Esc closes what is on top: a panel shown over the window is closed as its own button
    // would; on the bare window Esc presses the cancel button: "Sair" and, before login,
    // "Cancela" too; both close.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (!m_loggedIn && PainelLogin->isVisible())
            BotCancSenhaClick();
        else if (!data_ui::escapeTopPanel(this))
            BitBtn1Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    coverWithLoginPanel();
}

// The login panel covers the whole working area at any size of the window, so nothing under it
// can be clicked before the login.
void TForm1::coverWithLoginPanel()
{
    if (PainelLogin)
        PainelLogin->setGeometry(rect());
}

void TForm1::BitBtn3Click()
{
    if (!m_program.dm.ESTLOTE.isOpen())
        return;
    // A fresh form for each opening, released when it closes.
    lotedit_ui::TForm2 form(m_program.dm, m_program.clock, m_program.op, this, &m_program.paths,
                            &m_program.clipboard);
    form.exec();
}

} // namespace shell
