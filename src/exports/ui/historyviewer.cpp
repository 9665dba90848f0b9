// The activity history viewer: month choice, then the file through a line index.
#include "historyviewer.h"

#include "core/logchain.h"
#include "core/siteconfig.h"
#include "db/dberror.h"
#include "platform/operator.h"
#include "platform/winpath.h"
#include "data/ui/panelfocus.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace exports_ui {

void LogLinesModel::setFile(const exports::LineIndexedFile *file)
{
    beginResetModel();
    m_file = file;
    endResetModel();
}

int LogLinesModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_file)
        return 0;
    return int(std::min<qint64>(m_file->lineCount(), std::numeric_limits<int>::max()));
}

int LogLinesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant LogLinesModel::data(const QModelIndex &index, int role) const
{
    if (!m_file || !index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return role == Qt::ToolTipRole ? QVariant() : QVariant(m_file->line(index.row()));
    return {};
}

LogTextView::LogTextView(QWidget *parent) : QTableView(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setShowGrid(false);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideNone);
    setTabKeyNavigation(false);
    setAccessibleName(QStringLiteral("Histórico de atividades"));
    horizontalScrollBar()->setSingleStep(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 4);
}

void LogTextView::fitToLongestLine(int bytes)
{
    // A cut line is as wide as its shown part and its mark.
    const int shown = bytes > exports::kShownLineLength ? exports::kShownLineLength + 40 : bytes;
    const int width = fontMetrics().horizontalAdvance(QLatin1Char('M')) * shown + 16;
    horizontalHeader()->resizeSection(0, std::max(width, viewport()->width()));
}

QString LogTextView::selectedText() const
{
    QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex &i : rows)
        lines << i.data().toString();
    return lines.join(QStringLiteral("\r\n"));
}

void LogTextView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        QApplication::clipboard()->setText(selectedText());
        event->accept();
        return;
    }
    // One column of long lines: the arrows sideways scroll them, a few characters at a time.
    if ((event->key() == Qt::Key_Right || event->key() == Qt::Key_Left) && event->modifiers() == Qt::NoModifier) {
        horizontalScrollBar()->triggerAction(event->key() == Qt::Key_Right ? QAbstractSlider::SliderSingleStepAdd
                                                                             : QAbstractSlider::SliderSingleStepSub);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

HistoryViewer::HistoryViewer(platform::Operator &op, const platform::WinPaths &paths,
                             const core::SiteConfig &config, QWidget *parent)
    : QWidget(parent), m_op(op), m_paths(paths), m_config(config)
{
    setObjectName(QStringLiteral("PainelLOG"));
    setAutoFillBackground(true);

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::Panel);
    Panel2->setFrameShadow(QFrame::Raised);
    Label7 = new QLabel(QStringLiteral("Histórico de atividades"), Panel2);
    Label7->setObjectName(QStringLiteral("Label7"));
    QFont title = Label7->font();
    title.setBold(true);
    title.setPointSize(title.pointSize() + 4);
    Label7->setFont(title);
    BitBtn9 = new QPushButton(QStringLiteral("&Voltar"), Panel2);
    BitBtn9->setObjectName(QStringLiteral("BitBtn9"));
    btnVerificarIntegridade = new QPushButton(QStringLiteral("Verificar &integridade"), Panel2);
    btnVerificarIntegridade->setObjectName(QStringLiteral("btnVerificarIntegridade"));
    btnVerificarIntegridade->hide();
    auto *titleRow = new QHBoxLayout(Panel2);
    titleRow->addWidget(Label7);
    titleRow->addStretch(1);
    titleRow->addWidget(btnVerificarIntegridade);
    titleRow->addWidget(BitBtn9);

    PainelSelecioneMes = new QFrame(this);
    PainelSelecioneMes->setObjectName(QStringLiteral("PainelSelecioneMes"));
    PainelSelecioneMes->setFrameShape(QFrame::Panel);
    PainelSelecioneMes->setFrameShadow(QFrame::Raised);
    Label8 = new QLabel(QStringLiteral("Selecione o mês desejado"), PainelSelecioneMes);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label9 = new QLabel(QStringLiteral("Mês"), PainelSelecioneMes);
    Label9->setObjectName(QStringLiteral("Label9"));
    Label10 = new QLabel(QStringLiteral("Ano"), PainelSelecioneMes);
    Label10->setObjectName(QStringLiteral("Label10"));
    Label11 = new QLabel(QStringLiteral("/"), PainelSelecioneMes);
    Label11->setObjectName(QStringLiteral("Label11"));
    EditMes = new QLineEdit(PainelSelecioneMes);
    EditMes->setObjectName(QStringLiteral("EditMes"));
    EditAno = new QLineEdit(PainelSelecioneMes);
    EditAno->setObjectName(QStringLiteral("EditAno"));
    for (QLineEdit *e : {EditMes, EditAno}) {
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);
        e->installEventFilter(this);
    }
    Label9->setBuddy(EditMes);
    Label10->setBuddy(EditAno);
    BitBtn10 = new QPushButton(QStringLiteral("Ver &histórico"), PainelSelecioneMes);
    BitBtn10->setObjectName(QStringLiteral("BitBtn10"));
    // Each caption over its own box.
    auto *choice = new QGridLayout(PainelSelecioneMes);
    choice->addWidget(Label8, 0, 0, 1, 5);
    choice->addWidget(Label9, 1, 0);
    choice->addWidget(Label10, 1, 2);
    choice->addWidget(EditMes, 2, 0);
    choice->addWidget(Label11, 2, 1);
    choice->addWidget(EditAno, 2, 2);
    choice->setColumnStretch(3, 1);
    choice->addWidget(BitBtn10, 2, 4);

    Memo1 = new LogTextView(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    m_model = new LogLinesModel(this);
    Memo1->setModel(m_model);
    Memo1->hide();

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->addWidget(Panel2);
    auto *middle = new QHBoxLayout;
    middle->addStretch(1);
    middle->addWidget(PainelSelecioneMes, 0, Qt::AlignTop);
    middle->addStretch(1);
    page->addLayout(middle);
    page->addWidget(Memo1, 1);
    page->addStretch(0);

    connect(BitBtn9, &QPushButton::clicked, this, &HistoryViewer::BitBtn9Click);
    connect(BitBtn10, &QPushButton::clicked, this, &HistoryViewer::BitBtn10Click);
    connect(btnVerificarIntegridade, &QPushButton::clicked, this, &HistoryViewer::btnVerificarIntegridadeClick);
    setWindowTitle(QStringLiteral("Histórico de atividades"));
    // The viewer covers the window: what lies under it takes no focus, and "Voltar" gives the
    // focus back to the button that opened it.
    data_ui::keepPlace(this, nullptr, true);
    data_ui::closeOnEscape(this, [this] { BitBtn9Click(); });
    hide();
}

HistoryViewer::~HistoryViewer() = default;

void HistoryViewer::fillParent()
{
    if (QWidget *p = parentWidget())
        setGeometry(p->rect());
}

void HistoryViewer::BitBtn2Click()
{
    if (m_pnl2)
        m_pnl2->hide();
    if (QWidget *p = parentWidget())
        p->installEventFilter(this);
    fillParent();
    show();
    raise();
    PainelSelecioneMes->show();
    EditMes->setFocus();
}

void HistoryViewer::BitBtn9Click()
{
    btnVerificarIntegridade->hide();
    m_shownPath.clear();
    Memo1->hide();
    m_model->setFile(nullptr);
    m_file.close();
    hide();
    if (m_pnl2)
        m_pnl2->show();
}

void HistoryViewer::BitBtn10Click()
{
    if (!exports::IsWholeNumber(EditMes->text()) || !exports::IsWholeNumber(EditAno->text())) {
        m_op.inform(exports::kHistoryBadMonthMessage);
        EditMes->setFocus();
        return;
    }
    const QString name = exports::HistoryFileName(EditMes->text(), EditAno->text());
    PainelSelecioneMes->hide();
    const QString path = exports::HistoryFilePath(m_config.ServerAddress, name);
    const QString local = m_paths.toLocal(path);
    bool found = false;
    {
        // The wait cursor goes away however the reading ends.
        struct WaitCursor {
            WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
            ~WaitCursor() { QApplication::restoreOverrideCursor(); }
        } busy;
        found = !local.isEmpty() && QFileInfo(local).isFile() && m_file.open(local);
    }
    if (!found) {
        m_op.inform(exports::kHistoryNotFoundMessage);
        BitBtn9Click();
        return;
    }
    m_shownPath = path;
    m_model->setFile(&m_file);
    Memo1->show();
    btnVerificarIntegridade->show();
    Memo1->fitToLongestLine(m_file.longestLine());
    // A file opens at its top, whatever was read before.
    Memo1->scrollToTop();
    Memo1->horizontalScrollBar()->setValue(0);
    if (m_model->rowCount() > 0)
        Memo1->setCurrentIndex(m_model->index(0, 0));
    Memo1->setFocus();
}

void HistoryViewer::btnVerificarIntegridadeClick()
{
    if (m_shownPath.isEmpty())
        return;
    const QString chainPath = core::ChainFilePath(m_shownPath);
    core::ChainCheck check;
    QString anchorsProblem;
    {
        struct WaitCursor {
            WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
            ~WaitCursor() { QApplication::restoreOverrideCursor(); }
        } busy;
        std::optional<std::vector<core::ChainAnchor>> anchors;
        if (m_central) {
            try {
                anchors = core::ReadChainAnchors(*m_central, core::ChainAnchorName(m_shownPath));
            } catch (const db::DbError &e) {
                anchorsProblem = e.message();
            }
        } else {
            anchorsProblem = QStringLiteral("sem conexão");
        }
        check = core::VerifyChain(m_paths.toLocal(m_shownPath), m_paths.toLocal(chainPath),
                                  anchors ? &*anchors : nullptr);
    }
    const QString name = chainPath.mid(chainPath.lastIndexOf(QLatin1Char('\\')) + 1);
    const QString message = core::ChainCheckMessage(check, name, anchorsProblem);
    if (core::ChainTampered(check) && check.line > 0 && m_model->rowCount() > 0) {
        const int row = int(std::min<qint64>(check.line - 1, m_model->rowCount() - 1));
        Memo1->setCurrentIndex(m_model->index(row, 0));
        Memo1->scrollTo(m_model->index(row, 0), QAbstractItemView::PositionAtCenter);
    }
    if (core::ChainTampered(check))
        m_op.warn(message);
    else
        m_op.inform(message);
    Memo1->setFocus();
}

bool HistoryViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        fillParent();
    // A box entered has its text selected, so the month typed replaces the month shown.
    if ((watched == EditMes || watched == EditAno) && event->type() == QEvent::FocusIn)
        QMetaObject::invokeMethod(static_cast<QLineEdit *>(watched), &QLineEdit::selectAll, Qt::QueuedConnection);
    if ((watched == EditMes || watched == EditAno) && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == EditMes)
                EditAno->setFocus();   // EditMesKeyPress
            else
                BitBtn10->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace exports_ui
