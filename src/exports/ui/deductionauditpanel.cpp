// The deduction audit's product choice and result panels.
#include "deductionauditpanel.h"

#include "common/textfold.h"

#include "data/ui/panelfocus.h"
#include "db/connection.h"
#include "exports/deductionaudit.h"
#include "platform/cp1252.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QCompleter>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace exports_ui {

namespace {

constexpr int kBatchLines = 500;

QPlainTextEdit *memo(const char *name, QWidget *parent)
{
    auto *m = new QPlainTextEdit(parent);
    m->setObjectName(QLatin1String(name));
    m->setReadOnly(true);
    m->setLineWrapMode(QPlainTextEdit::NoWrap);
    m->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m->setUndoRedoEnabled(false);
    return m;
}

QFrame *panel(const char *name, QWidget *parent)
{
    auto *f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setFrameShape(QFrame::Panel);
    f->setFrameShadow(QFrame::Raised);
    f->setAutoFillBackground(true);
    f->hide();
    return f;
}

void centre(QWidget *w, QWidget *host)
{
    w->adjustSize();
    w->move((host->width() - w->width()) / 2, (host->height() - w->height()) / 2);
    w->show();
    w->raise();
}

// Appends lines to a memo a batch at a time, letting the window breathe between batches.
void fill(QPlainTextEdit *m, const QStringList &lines)
{
    for (qsizetype i = 0; i < lines.size(); i += kBatchLines) {
        m->appendPlainText(lines.mid(i, kBatchLines).join(QLatin1Char('\n')));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

// The product box offers every name that holds what was typed, with or without accents, in any
// case: "acido", "ácido" and "ACIDO" all offer "Ácido ascórbico".
class FoldedCompleter : public QCompleter {
public:
    explicit FoldedCompleter(QObject *parent) : QCompleter(parent), m_names(new QStandardItemModel(this))
    {
        setModel(m_names);
        setCompletionRole(kFoldedRole);
        setCaseSensitivity(Qt::CaseSensitive);   // both sides are folded already
        setFilterMode(Qt::MatchContains);
        setCompletionMode(QCompleter::PopupCompletion);
        setMaxVisibleItems(12);
    }

    void setNames(const QStringList &names)
    {
        m_names->clear();
        for (const QString &name : names) {
            auto *item = new QStandardItem(name);
            item->setData(common::FoldText(name), kFoldedRole);
            m_names->appendRow(item);
        }
    }

    QStringList splitPath(const QString &path) const override { return {common::FoldText(path)}; }
    QString pathFromIndex(const QModelIndex &index) const override { return index.data(Qt::DisplayRole).toString(); }

private:
    static constexpr int kFoldedRole = Qt::UserRole + 1;
    QStandardItemModel *m_names;
};

} // namespace

DeductionAuditPanel::DeductionAuditPanel(db::Connection &central, const platform::WinPaths &paths, QWidget *host)
    : QObject(host), m_central(central), m_paths(paths), m_host(host)
{
    Panel5 = panel("Panel5", host);
    auto *title5 = new QLabel(QStringLiteral("Componente / Produto"), Panel5);
    QFont bold = title5->font();
    bold.setBold(true);
    title5->setFont(bold);
    Label15 = new QLabel(QStringLiteral("Selecione o Componente ou Produto a ser rastreado"), Panel5);
    Label15->setObjectName(QStringLiteral("Label15"));
    ComboBox3 = new QComboBox(Panel5);
    ComboBox3->setObjectName(QStringLiteral("ComboBox3"));
    ComboBox3->setEditable(true);
    ComboBox3->setInsertPolicy(QComboBox::NoInsert);
    ComboBox3->setMinimumWidth(380);
    ComboBox3->installEventFilter(this);
    ComboBox3->setCompleter(new FoldedCompleter(ComboBox3));
    Label15->setBuddy(ComboBox3);
    BitBtn17 = new QPushButton(QStringLiteral("&Rastrear"), Panel5);
    BitBtn17->setObjectName(QStringLiteral("BitBtn17"));
    BitBtn18 = new QPushButton(QStringLiteral("&Cancelar"), Panel5);
    BitBtn18->setObjectName(QStringLiteral("BitBtn18"));
    auto *l5 = new QVBoxLayout(Panel5);
    l5->addWidget(title5);
    l5->addWidget(Label15);
    l5->addWidget(ComboBox3);
    auto *b5 = new QHBoxLayout;
    b5->addStretch(1);
    b5->addWidget(BitBtn17);
    b5->addWidget(BitBtn18);
    l5->addLayout(b5);
    QWidget::setTabOrder(ComboBox3, BitBtn17);
    QWidget::setTabOrder(BitBtn17, BitBtn18);

    PainelAguarde2 = panel("PainelAguarde2", host);
    auto *wait = new QLabel(QStringLiteral("Aguarde..."), PainelAguarde2);
    wait->setFont(bold);
    (new QVBoxLayout(PainelAguarde2))->addWidget(wait);

    Panel7 = panel("Panel7", host);
    Label16 = new QLabel(Panel7);
    Label16->setObjectName(QStringLiteral("Label16"));
    Label17 = new QLabel(Panel7);
    Label17->setObjectName(QStringLiteral("Label17"));
    Label17->setFont(bold);
    BitBtn19 = new QPushButton(QStringLiteral("&Sair"), Panel7);
    BitBtn19->setObjectName(QStringLiteral("BitBtn19"));
    BitBtn19->setAccessibleName(QStringLiteral("Sair do resultado da conferência"));
    ComboBox4 = new QComboBox(Panel7);
    ComboBox4->setObjectName(QStringLiteral("ComboBox4"));
    ComboBox4->addItems({exports::kSeeAll, exports::kSeeFailures});
    Memo4 = memo("Memo4", Panel7);
    Memo2 = memo("Memo2", Panel7);
    Memo5 = memo("Memo5", Panel7);
    Memo3 = memo("Memo3", Panel7);
    Memo4->setPlainText(exports::AuditHeading().join(QLatin1Char('\n')));
    Memo5->setPlainText(exports::AuditFailureHeading().join(QLatin1Char('\n')));
    const int line = QFontMetrics(Memo4->font()).lineSpacing();
    Memo4->setFixedHeight(line * 3 + 12);
    Memo5->setFixedHeight(line * 6 + 12);
    Memo4->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo5->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The headings are read with their view; only the view on top takes the focus.
    Memo4->setFocusPolicy(Qt::NoFocus);
    Memo5->setFocusPolicy(Qt::NoFocus);
    Memo4->setAccessibleName(QStringLiteral("Cabeçalho"));
    Memo5->setAccessibleName(QStringLiteral("Cabeçalho das baixas incorretas"));
    Memo2->setAccessibleName(exports::kSeeAll);
    Memo3->setAccessibleName(exports::kSeeFailures);
    Versomenteasbaixasincorretas1 = new QAction(QStringLiteral("Ver &somente as baixas incorretas"), Memo2);
    Versomenteasbaixasincorretas1->setObjectName(QStringLiteral("Versomenteasbaixasincorretas1"));
    Memo2->addAction(Versomenteasbaixasincorretas1);
    Memo2->setContextMenuPolicy(Qt::ActionsContextMenu);
    Vertodos1 = new QAction(QStringLiteral("Ver &todos"), Memo3);
    Vertodos1->setObjectName(QStringLiteral("Vertodos1"));
    Memo3->addAction(Vertodos1);
    Memo3->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *top = new QHBoxLayout;
    auto *labels = new QVBoxLayout;
    labels->addWidget(Label16);
    labels->addWidget(Label17);
    top->addLayout(labels, 1);
    top->addWidget(ComboBox4);
    top->addWidget(BitBtn19);
    auto *l7 = new QVBoxLayout(Panel7);
    l7->addLayout(top);
    l7->addWidget(Memo4);
    l7->addWidget(Memo2, 1);
    // The failures view lies over the all-lines view.
    Memo5->setParent(Memo2->parentWidget());
    Memo3->setParent(Memo2->parentWidget());
    Memo5->hide();
    Memo3->hide();
    Panel7->installEventFilter(this);
    host->installEventFilter(this);
    // The choice and the result give the focus back to the button that started the audit; the
    // result covers the reports panel and keeps the keyboard while it is shown.
    data_ui::keepPlace(Panel5, nullptr, true);
    data_ui::keepPlace(Panel7, nullptr, true);
    data_ui::closeOnEscape(Panel5, [this] { BitBtn18Click(); });
    data_ui::closeOnEscape(Panel7, [this] { BitBtn19Click(); });

    connect(BitBtn17, &QPushButton::clicked, this, &DeductionAuditPanel::BitBtn17Click);
    connect(BitBtn18, &QPushButton::clicked, this, &DeductionAuditPanel::BitBtn18Click);
    connect(BitBtn19, &QPushButton::clicked, this, &DeductionAuditPanel::BitBtn19Click);
    connect(ComboBox4, &QComboBox::activated, this, &DeductionAuditPanel::ComboBox4Change);
    connect(Versomenteasbaixasincorretas1, &QAction::triggered, this,
            &DeductionAuditPanel::Versomenteasbaixasincorretas1Click);
    connect(Vertodos1, &QAction::triggered, this, &DeductionAuditPanel::Vertodos1Click);
}

DeductionAuditPanel::~DeductionAuditPanel() = default;

void DeductionAuditPanel::ShowProductChoice(const QDate &start, const QDate &end)
{
    m_start = start;
    m_end = end;
    const db::Rows rows = m_central.query(QStringLiteral("Select COMPONENTE, CODIGO from COMPONEN order by COMPONENTE"));
    QStringList names;
    names.reserve(qsizetype(rows.rows.size()));
    for (const auto &r : rows.rows)
        names << (r[0].isNull() ? QString() : r[0].toString());
    ComboBox3->clear();
    ComboBox3->addItems(names);
    if (auto *completer = dynamic_cast<FoldedCompleter *>(ComboBox3->completer()))
        completer->setNames(names);
    centre(Panel5, m_host);
    ComboBox3->setFocus();
}

void DeductionAuditPanel::BitBtn18Click()
{
    ComboBox3->clear();
    Panel5->hide();
}

void DeductionAuditPanel::BitBtn17Click()
{
    if (m_running)
        return;   // one audit at a time
    m_running = true;
    struct Running {
        DeductionAuditPanel *p;
        ~Running()
        {
            p->m_running = false;
            p->PainelAguarde2->hide();
            QApplication::restoreOverrideCursor();
        }
    } running{this};
    QApplication::setOverrideCursor(Qt::WaitCursor);

    ComboBox4->setCurrentIndex(0);
    showFailures(false);
    const QString product = common::FoldProductName(ComboBox3->currentText()).left(80);
    ComboBox3->setEditText(product);
    Panel5->hide();
    centre(PainelAguarde2, m_host);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    const exports::AuditResult result = exports::RunDeductionAudit(m_central, m_paths, m_start, m_end, product);

    if (enlargeReportsPanel)
        enlargeReportsPanel(true);
    layOutResult();
    Panel7->show();
    Panel7->raise();
    Memo2->clear();
    Memo3->clear();
    Label16->setText(QStringLiteral("De ") + m_start.toString(QStringLiteral("dd/MM/yy")) + QStringLiteral(" a ")
                     + m_end.toString(QStringLiteral("dd/MM/yy")));
    Label17->setText(platform::asciiUpper(product));
    PainelAguarde2->hide();
    // A name that matches no order line says so above the empty totals.
    if (result.report.lineCount() == 0)
        Memo2->appendPlainText(exports::NoOrderLinesText(Label17->text(), m_start, m_end));
    fill(Memo2, result.report.allLines());
    fill(Memo3, result.report.failureLines());
    Memo2->moveCursor(QTextCursor::Start);
    Memo3->moveCursor(QTextCursor::Start);
    Memo2->setFocus();
    if (result.report.totalsDiffer()) {
        ComboBox4->setCurrentIndex(1);
        showFailures(true);
    }
}

void DeductionAuditPanel::BitBtn19Click()
{
    Panel7->hide();
    if (enlargeReportsPanel)
        enlargeReportsPanel(false);
}

void DeductionAuditPanel::ComboBox4Change()
{
    showFailures(ComboBox4->currentIndex() == 1);
}

void DeductionAuditPanel::Versomenteasbaixasincorretas1Click()
{
    showFailures(true);
}

void DeductionAuditPanel::Vertodos1Click()
{
    showFailures(false);
}

void DeductionAuditPanel::showFailures(bool shown)
{
    // The window's focus, not the application's: a context menu was holding it a moment ago.
    const QWidget *focus = Panel7->window()->focusWidget();
    const bool viewHadFocus = focus == Memo2 || focus == Memo3;
    layOutResult();
    Memo5->setVisible(shown);
    Memo3->setVisible(shown);
    if (shown) {
        Memo5->raise();
        Memo3->raise();
    }
    // The view lying under the other takes no focus; a focus in one view goes to the one shown.
    QPlainTextEdit *top = shown ? Memo3 : Memo2;
    (shown ? Memo2 : Memo3)->setFocusPolicy(Qt::NoFocus);
    top->setFocusPolicy(Qt::StrongFocus);
    if (viewHadFocus)
        top->setFocus(Qt::OtherFocusReason);
}

void DeductionAuditPanel::layOutResult()
{
    Panel7->setGeometry(m_host->rect());
    Panel7->layout()->activate();
    // Memo5 and Memo3 cover Memo4 and Memo2 exactly, the heading of failures being taller.
    const QRect heading = Memo4->geometry();
    const QRect body = Memo2->geometry();
    const int h5 = Memo5->height();
    Memo5->setGeometry(heading.x(), heading.y(), heading.width(), h5);
    Memo3->setGeometry(body.x(), heading.y() + h5, body.width(), body.bottom() - (heading.y() + h5) + 1);
}

bool DeductionAuditPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ComboBox3 && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            BitBtn17->setFocus();   // ComboBox3KeyPress
            return true;
        }
    }
    if ((watched == m_host || watched == Panel7) && event->type() == QEvent::Resize && Panel7->isVisible()) {
        if (watched == m_host)
            Panel7->setGeometry(m_host->rect());
        else
            layOutResult();
    }
    if (watched == Panel7 && event->type() == QEvent::LayoutRequest)
        QMetaObject::invokeMethod(this, [this] { if (Memo3->isVisible()) layOutResult(); }, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}

} // namespace exports_ui
