// The lot edit form's controls, their places and tab order, and the certificate panel over it.
#include "tform2.h"

#include "lotedit/lotkey.h"
#include "lotedit/lotrules.h"
#include "lotedit/productlookup.h"
#include "painelespecificacoes.h"

#include "data/ui/datasetmodel.h"
#include "db/dberror.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/passwordecho.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace lotedit_ui {

namespace {

// A raised panel laid over the form.
QFrame *overlay(const char *name, QWidget *parent)
{
    auto *f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setFrameShape(QFrame::Panel);
    f->setFrameShadow(QFrame::Raised);
    f->setLineWidth(2);
    f->setAutoFillBackground(true);
    f->hide();
    return f;
}

// Keeps the form the size of what it shows: it grows for the justification group and gives the
// height back when the group hides (no empty band above the buttons), and it grows for the
// certificate panel, within the screen, so the panel is laid out at its own size, and goes back
// to its size when the panel closes.
class FormFit : public QObject {
public:
    FormFit(QDialog *form, QWidget *justification) : QObject(form), m_form(form), m_justification(justification)
    {
        form->installEventFilter(this);
        justification->installEventFilter(this);
    }

    void watchCovering(QWidget *panel, QSize designed)
    {
        m_covering = panel;
        m_designed = designed;
        panel->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The height without the group, as the operator last had it: the form's layout grows the
        // form as the group starts to show, before the group hears of it.
        if (watched == m_form) {
            if (event->type() == QEvent::Resize && m_justification->isHidden())
                m_heightWithout = m_form->height();
            return false;
        }
        const bool shown = event->type() == QEvent::Show;
        if (!shown && event->type() != QEvent::Hide)
            return false;
        if (watched == m_justification) {
            if (!shown && m_heightWithout > 0) {
                // After the form's layout has taken the group out.
                QTimer::singleShot(0, m_form, [form = m_form, before = m_heightWithout] {
                    if (form->layout())
                        form->layout()->activate();
                    if (form->height() > before)
                        form->resize(form->width(), std::max(before, form->minimumHeight()));
                });
            }
        } else if (watched == m_covering) {
            if (shown)
                growFor(m_covering);
            else if (m_sizeBefore.isValid())
                m_form->resize(std::exchange(m_sizeBefore, QSize()));
        }
        return false;
    }

private:
    void growFor(QWidget *panel)
    {
        QSize need = m_designed.expandedTo(panel->minimumSizeHint());
        if (const QScreen *screen = m_form->screen()) {
            // The frame's title bar and borders come on top of the form.
            const QRect area = screen->availableGeometry();
            const QSize frame = m_form->frameGeometry().size() - m_form->size();
            need = need.boundedTo(area.size() - frame);
        }
        const QSize grown = m_form->size().expandedTo(need);
        if (grown != m_form->size()) {
            if (!m_sizeBefore.isValid())
                m_sizeBefore = m_form->size();
            m_form->resize(grown);
            if (const QScreen *screen = m_form->screen()) {
                const QRect area = screen->availableGeometry();
                QRect frame = m_form->frameGeometry();
                frame.moveRight(std::min(frame.right(), area.right()));
                frame.moveBottom(std::min(frame.bottom(), area.bottom()));
                frame.moveLeft(std::max(frame.left(), area.left()));
                frame.moveTop(std::max(frame.top(), area.top()));
                m_form->move(frame.topLeft());
            }
        }
        panel->setGeometry(m_form->rect());
    }

    QDialog *m_form;
    QWidget *m_justification;
    QWidget *m_covering = nullptr;
    QSize m_designed;
    QSize m_sizeBefore;
    int m_heightWithout = 0;
};

} // namespace

TForm2::TForm2(data::TDM &dm, const platform::Clock &clock, platform::Operator &op, QWidget *parent,
               const platform::WinPaths *paths, platform::Clipboard *clipboard)
    : QDialog(parent), m_dm(dm), m_clock(clock), m_op(op)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("  Tabela de Estoque por Lote"));
    setModal(true);
    DS_ESTLOTE = new data::DataSource(dm.ESTLOTE, op, this);
    DS_ESTLOTE->setObjectName(QStringLiteral("DS_ESTLOTE"));
    DS_ESTLOTE->currentYear = [this] { return currentYear(); };
    DS_ESTLOTE->postRefused = [this] { return m_dm.ESTLOTEPostRefused; };
    DS_ESTLOTE->beforePostOrMove = [this] {
        bool ready = false;
        guarded([&] { ready = auditBeforeLeaving(); });
        return ready;
    };
    // A new lot, or a lot moved to another key, never gives a lot a second row at one location.
    m_dm.ESTLOTE.beforeWrite = lotedit::RefuseSecondLotRow;
    buildControls();
    if (paths && clipboard)
        buildCertificate(*paths, *clipboard);
    wireHandlers();
    m_dm.lotEditForm = this;
    setDescriptionEnabled(dm.ESTLOTE.state() == data::CachedDataset::State::Insert);
}

TForm2::~TForm2()
{
    if (m_dm.lotEditForm == this)
        m_dm.lotEditForm = nullptr;
    m_dm.ESTLOTE.beforeWrite = nullptr;
}

void TForm2::buildControls()
{
    const auto edit = [this](const char *name, const char *field) {
        auto *e = new data_ui::DBEdit(DS_ESTLOTE, QString::fromLatin1(field), this);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    const auto combo = [this](const char *name, const char *field) {
        auto *c = new data_ui::DBComboBox(DS_ESTLOTE, QString::fromLatin1(field), this);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };

    BitBtn1 = new QPushButton(QStringLiteral("&Salvar"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(QStringLiteral("&Cancelar"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    // "Cancelar" drops the whole edit, whatever a box still holds.
    data_ui::SetDropsEdit(BitBtn2);
    for (QPushButton *b : {BitBtn1, BitBtn2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    DBEdit1 = edit("DBEdit1", "DESCRICAO");
    DBEdit2 = edit("DBEdit2", "LOTE");
    DBFornec = combo("DBFornec", "FORNECEDOR");
    DBFornec->setStyle(data_ui::DBComboBox::Style::DropDownList);
    DBEdit4 = edit("DBEdit4", "CODIGO");
    DBEdit6 = edit("DBEdit6", "SALDOCORRENTE");
    DBEdit7 = edit("DBEdit7", "UNIDADE");
    DBEdit8 = edit("DBEdit8", "CODIGOEAN");
    DBComboBox3 = combo("DBComboBox3", "FABRICANTE");
    DBComboBox3->setStyle(data_ui::DBComboBox::Style::DropDownList);
    DBEdit10 = edit("DBEdit10", "VALIDADE");
    DBEdit10->setEditMask(QStringLiteral("!99/99/00;1;_"));
    DBComboBox1 = combo("DBComboBox1", "SITUACAO");
    DBComboBox1->setItems(lotedit::kDefaultSituations);
    DBEdit12 = edit("DBEdit12", "DENSIDADE");
    DBEdit13 = edit("DBEdit13", "FATORCORRECAO");
    DBComboBox2 = combo("DBComboBox2", "CONTROLADA");
    DBComboBox2->setItems(lotedit::kControlledItems);
    DBLookupComboBox2 = new data_ui::DBLookupComboBox(DS_ESTLOTE, QStringLiteral("LABORATORIO"), &m_dm.TabLab,
                                                      QStringLiteral("LABORATORIO"), QStringLiteral("LABORATORIO"), this);
    DBLookupComboBox2->setObjectName(QStringLiteral("DBLookupComboBox2"));
    for (QWidget *w : std::initializer_list<QWidget *>{DBEdit4, DBEdit7, DBEdit8})
        w->setEnabled(false);

    DBNavigator1 = new data_ui::DBNavigator(DS_ESTLOTE, this);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    Excluiresteregistro1 = PopupMenu2->addAction(QStringLiteral("&Excluir este registro"));
    Excluiresteregistro1->setObjectName(QStringLiteral("Excluiresteregistro1"));
    DBNavigator1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBNavigator1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu2->popup(DBNavigator1->mapToGlobal(at)); });

    // The main area: each box under its label, in the order of the tab chain.
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    int row = 0;
    const auto place = [&](const char *caption, QWidget *w, int col, int span = 1) {
        auto *label = new QLabel(QString::fromUtf8(caption), this);
        label->setBuddy(w);
        grid->addWidget(label, row, col, 1, span);
        grid->addWidget(w, row + 1, col, 1, span);
    };
    place("Descrição", DBEdit1, 0, 3);
    row += 2;
    place("Lote", DBEdit2, 0);
    place("Fornecedor", DBFornec, 1, 2);
    row += 2;
    place("Código", DBEdit4, 0);
    place("Saldo Atual", DBEdit6, 1);
    place("Unidade", DBEdit7, 2);
    row += 2;
    place("Código de Barras", DBEdit8, 0);
    place("Fabricante", DBComboBox3, 1, 2);
    row += 2;
    place("Validade", DBEdit10, 0);
    place("Situação", DBComboBox1, 1);
    place("Densidade", DBEdit12, 2);
    row += 2;
    place("Fator de Correção", DBEdit13, 0);
    place("Controlada?", DBComboBox2, 1);
    place("Local", DBLookupComboBox2, 2);
    row += 2;

    // Justification group, hidden until a change demands it.
    Bevel2 = new QFrame(this);
    Bevel2->setObjectName(QStringLiteral("Bevel2"));
    Bevel2->setFrameShape(QFrame::Box);
    Bevel2->setFrameShadow(QFrame::Sunken);
    Label27 = new QLabel(QStringLiteral("Justifique essa alteração"), Bevel2);
    Label27->setObjectName(QStringLiteral("Label27"));
    Memo1 = new QPlainTextEdit(Bevel2);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("Justificativa"));
    Memo1->setTabChangesFocus(true);
    Memo1->setFixedHeight(60);
    Label29 = new QLabel(QStringLiteral("Finalize teclando <ENTER> para salvar "), Bevel2);
    Label29->setObjectName(QStringLiteral("Label29"));
    Label29->setTextFormat(Qt::PlainText);
    auto *justification = new QVBoxLayout(Bevel2);
    justification->addWidget(Label27);
    justification->addWidget(Memo1);
    justification->addWidget(Label29);
    for (QWidget *w : std::initializer_list<QWidget *>{Bevel2, Label27, Memo1, Label29})
        w->hide();
    m_fit = new FormFit(this, Bevel2);

    auto *buttons = new QHBoxLayout;
    m_buttons = buttons;
    buttons->addWidget(DBNavigator1);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(Bevel2);
    layout->addSpacing(6);
    layout->addStretch(1);
    layout->addLayout(buttons);

    // Product options list, laid over the form.
    PainelOpcoesDeComponentes = overlay("PainelOpcoesDeComponentes", this);
    Panel24 = new QLabel(QStringLiteral("Opções de Produtos"), PainelOpcoesDeComponentes);
    Panel24->setObjectName(QStringLiteral("Panel24"));
    Panel24->setAlignment(Qt::AlignCenter);
    Panel24->setAutoFillBackground(true);
    QPalette title = Panel24->palette();
    title.setColor(QPalette::Window, title.color(QPalette::Highlight));
    title.setColor(QPalette::WindowText, title.color(QPalette::HighlightedText));
    Panel24->setPalette(title);
    GradeOpComponentes = new QTableView(PainelOpcoesDeComponentes);
    GradeOpComponentes->setObjectName(QStringLiteral("GradeOpComponentes"));
    DS_CompNomes = new data_ui::DatasetModel(&m_dm.CompNomes, {{QStringLiteral("Componente"), QStringLiteral("COMPONENTE")}},
                                             this);
    GradeOpComponentes->setModel(DS_CompNomes);
    GradeOpComponentes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GradeOpComponentes->setSelectionBehavior(QAbstractItemView::SelectRows);
    GradeOpComponentes->setSelectionMode(QAbstractItemView::SingleSelection);
    GradeOpComponentes->horizontalHeader()->setStretchLastSection(true);
    GradeOpComponentes->verticalHeader()->setDefaultSectionSize(20);
    auto *options = new QVBoxLayout(PainelOpcoesDeComponentes);
    options->setContentsMargins(2, 2, 2, 2);
    options->setSpacing(0);
    options->addWidget(Panel24);
    options->addWidget(GradeOpComponentes, 1);

    // Deletion code.
    PainelSenha = overlay("PainelSenha", this);
    QPalette info = PainelSenha->palette();
    info.setColor(QPalette::Window, info.color(QPalette::ToolTipBase));
    info.setColor(QPalette::WindowText, info.color(QPalette::ToolTipText));
    PainelSenha->setPalette(info);
    Label25 = new QLabel(QStringLiteral("Senha"), PainelSenha);
    Label25->setObjectName(QStringLiteral("Label25"));
    Label26 = new QLabel(QStringLiteral("tecle enter"), PainelSenha);
    Label26->setObjectName(QStringLiteral("Label26"));
    MaskEdit1 = new QLineEdit(PainelSenha);
    MaskEdit1->setObjectName(QStringLiteral("MaskEdit1"));
    MaskEdit1->setFixedWidth(110);
    platform::useHashPasswordEcho(MaskEdit1);
    Label25->setBuddy(MaskEdit1);
    auto *code = new QHBoxLayout(PainelSenha);
    code->setContentsMargins(14, 10, 14, 10);
    code->addWidget(Label25);
    code->addWidget(MaskEdit1);
    code->addWidget(Label26);

    QWidget *chain[] = {BitBtn1, BitBtn2, DBEdit1, DBEdit2, DBFornec, DBEdit4, DBEdit6, DBEdit7, DBEdit8,
                        DBComboBox3, DBEdit10, DBComboBox1, DBEdit12, DBEdit13, DBComboBox2, DBLookupComboBox2, Memo1};
    for (size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    // As tall as its boxes need: the justification group adds its own height when it shows.
    resize(QSize(560, 0).expandedTo(sizeHint()));
}

// The certificate button at the end of the tab chain, and its panel laid over the whole form.
void TForm2::buildCertificate(const platform::WinPaths &paths, platform::Clipboard &clipboard)
{
    BitBtn3 = new QPushButton(QStringLiteral("CQ - &Laudo de Análise"), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setAutoDefault(false);
    m_buttons->insertWidget(1, BitBtn3);
    PainelEspecificacoes =
        new lotedit_ui::PainelEspecificacoes(m_dm, *DS_ESTLOTE, m_op, m_clock, paths, clipboard, this);
    PainelEspecificacoes->setFormControls({DBNavigator1, BitBtn1, BitBtn2, BitBtn3});
    static_cast<FormFit *>(m_fit)->watchCovering(PainelEspecificacoes, PainelEspecificacoes->size());
    connect(BitBtn3, &QPushButton::clicked, PainelEspecificacoes, &lotedit_ui::PainelEspecificacoes::BitBtn3Click);
}

void TForm2::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The options list at its own size, or the form's where the form is smaller: never past its edge.
    const QSize options = QSize(452, 488).boundedTo(size() - QSize(8, 8));
    PainelOpcoesDeComponentes->setGeometry(QRect(QPoint((width() - options.width()) / 2, (height() - options.height()) / 2),
                                                 options));
    if (PainelEspecificacoes && PainelEspecificacoes->isVisible())
        PainelEspecificacoes->setGeometry(rect());
}

} // namespace lotedit_ui
