#include "tform2.h"

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
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace lotedit_ui {

namespace {

bool isEnter(const QKeyEvent *e)
{
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

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
    Excluiresteregistro1 = PopupMenu2->addAction(QStringLiteral("Excluir este registro"));
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

    auto *buttons = new QHBoxLayout;
    m_buttons = buttons;
    buttons->addWidget(DBNavigator1);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(Bevel2);
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
    resize(560, 420);
}

void TForm2::wireHandlers()
{
    connect(BitBtn1, &QPushButton::clicked, this, [this] { guarded([this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { guarded([this] { BitBtn2Click(); }); });
    connect(DBEdit1, &data_ui::DBEdit::entered, this, &TForm2::DBEdit1Enter);
    connect(DBEdit1, &data_ui::DBEdit::exited, this, [this] { guarded([this] { DBEdit1Exit(); }); });
    connect(DBEdit6, &data_ui::DBEdit::entered, this, &TForm2::DBEdit6Enter);
    connect(DBEdit6, &data_ui::DBEdit::exited, this, [this] { guarded([this] { DBEdit6Exit(); }); });
    connect(DBEdit10, &data_ui::DBEdit::entered, this, &TForm2::DBEdit10Enter);
    connect(DBEdit10, &data_ui::DBEdit::exited, this, [this] { guarded([this] { DBEdit10Exit(); }); });
    connect(Excluiresteregistro1, &QAction::triggered, this, [this] { guarded([this] { Excluiresteregistro1Click(); }); });
    connect(GradeOpComponentes, &QAbstractItemView::doubleClicked, this, [this] { guarded([this] { closeOptions(true); }); });

    // Enter in the description moves on to the lot, which runs the lookup; Esc drops the row.
    DBEdit1->keyPress = [this](QKeyEvent *e) {
        if (isEnter(e)) {
            DBEdit2->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (e->key() == Qt::Key_Escape) {
            guarded([this] { BitBtn2Click(); });
            return true;
        }
        return false;
    };
    const auto enterMovesOn = [this](QKeyEvent *e) {
        if (!isEnter(e))
            return false;
        focusNextChild();
        return true;
    };
    for (data_ui::DBEdit *e : {DBEdit4, DBEdit6, DBEdit7, DBEdit8, DBEdit10, DBEdit12, DBEdit13})
        e->keyPress = enterMovesOn;
    for (data_ui::DBComboBox *c : {DBComboBox1, DBComboBox2, DBFornec, DBComboBox3})
        c->keyPress = enterMovesOn;
    // No blanks in a lot number.
    DBEdit2->keyPress = [enterMovesOn](QKeyEvent *e) { return e->key() == Qt::Key_Space || enterMovesOn(e); };

    Memo1->installEventFilter(this);
    GradeOpComponentes->installEventFilter(this);
    MaskEdit1->installEventFilter(this);
}

bool TForm2::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        bool consumed = false;
        if (watched == Memo1)
            guarded([&] { consumed = Memo1KeyPress(key); });
        else if (watched == GradeOpComponentes)
            guarded([&] { consumed = DBGrid1KeyPress(key); });
        else if (watched == MaskEdit1)
            guarded([&] { consumed = MaskEdit1KeyPress(key); });
        if (consumed)
            return true;
    } else if (event->type() == QEvent::FocusOut && watched == Memo1) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        // A message box or the window going to the back is no leaving of the memo.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !m_closing)
            guarded([this] { Memo1Exit(); });
    }
    return QDialog::eventFilter(watched, event);
}

void TForm2::guarded(const std::function<void()> &step)
{
    try {
        step();
    } catch (const db::DbError &e) {
        m_op.error(e.message());
    } catch (const data::DatasetError &e) {
        m_op.error(e.message());
    } catch (const std::exception &e) {
        m_op.error(QString::fromUtf8(e.what()));
    }
}

bool TForm2::logOn() const
{
    return m_dm.run.siteConfig.logOn();
}

void TForm2::writeLine(const QString &text)
{
    if (logOn())
        m_dm.log.WriteActivityLine(m_dm.run.UserName, text);
}

int TForm2::currentYear() const
{
    return m_clock.today().year();
}

// ---- activation and closing

void TForm2::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && QWidget::isActiveWindow() && !m_activated)
        guarded([this] { FormActivate(); });
}

void TForm2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // A desktop that never reports the window as activated still gets its lists and opening line.
    QTimer::singleShot(0, this, [this] {
        if (!m_activated && isVisible())
            guarded([this] { FormActivate(); });
    });
}

void TForm2::FormActivate()
{
    // Once per opening: the form coming back to the front after one of its own message boxes
    // is no new opening, and its line is not written again.
    m_activated = true;
    JustificationDone = false;

    QStringList suppliers;
    m_dm.Forneced.close();
    m_dm.Forneced.open();
    const int fantasy = m_dm.Forneced.fieldIndex(QStringLiteral("NOMEFANTASIA"));
    for (int r = 0; r < m_dm.Forneced.rowCount(); ++r)
        suppliers << m_dm.Forneced.valueAt(r, fantasy).toString().left(lotedit::kSupplierNameWidth);
    DBFornec->setItems(suppliers);

    QStringList makers;
    m_dm.SQLQuery1.close();
    m_dm.SQLQuery1.setSql(QStringLiteral("Select NOMEFANTASIA from FABRIC order by NOMEFANTASIA"));
    m_dm.SQLQuery1.open();
    for (; !m_dm.SQLQuery1.eof(); m_dm.SQLQuery1.next())
        makers << m_dm.SQLQuery1.value(QStringLiteral("NOMEFANTASIA")).toString();
    m_dm.SQLQuery1.close();
    DBComboBox3->setItems(makers);

    if (lotedit::HasSituationOptions(m_dm.run.siteConfig))
        DBComboBox1->setItems(lotedit::SituationItems(m_dm.run.siteConfig));

    writeLine(lotedit::OpeningLine(descriptionText(), lotText()));
    if (!m_dm.TabLab.isOpen())
        m_dm.TabLab.open();
}

void TForm2::closeLater()
{
    QTimer::singleShot(0, this, [this] { reject(); });
}

void TForm2::done(int result)
{
    if (!m_closing) {
        m_closing = true;
        FormClose();
    }
    QDialog::done(result);
}

void TForm2::FormClose()
{
    // Whatever closes the form, the shared lot dataset is left browsing: a pending edit or
    // insert is cancelled as "Cancelar" does.
    if (DS_ESTLOTE->isEditing() && !DS_ESTLOTE->cancel())
        m_dm.ESTLOTE.cancelUpdates();
    m_dm.Forneced.close();
    m_dm.TabLab.close();
    m_dm.CompNomes.close();
    if (m_dm.lotEditForm == this)
        m_dm.lotEditForm = nullptr;
}

void TForm2::closeEvent(QCloseEvent *event)
{
    QDialog::closeEvent(event);
}

void TForm2::keyPressEvent(QKeyEvent *event)
{
    // Esc on the form closes nothing: what was typed is dropped only by "Cancelar" or the close box.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// The certificate button at the end of the tab chain, and its panel laid over the whole form.
void TForm2::buildCertificate(const platform::WinPaths &paths, platform::Clipboard &clipboard)
{
    BitBtn3 = new QPushButton(QStringLiteral("CQ - Laudo de Análise"), this);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setAutoDefault(false);
    m_buttons->insertWidget(1, BitBtn3);
    PainelEspecificacoes =
        new lotedit_ui::PainelEspecificacoes(m_dm, *DS_ESTLOTE, m_op, m_clock, paths, clipboard, this);
    PainelEspecificacoes->setFormControls({DBNavigator1, BitBtn1, BitBtn2, BitBtn3});
    connect(BitBtn3, &QPushButton::clicked, PainelEspecificacoes, &lotedit_ui::PainelEspecificacoes::BitBtn3Click);
}

void TForm2::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    PainelOpcoesDeComponentes->setGeometry(QRect(QPoint(0, 0), QSize(452, 488)).translated(
        std::max(0, (width() - 452) / 2), std::max(0, (height() - 488) / 2)));
}

// ---- save and cancel

bool TForm2::justificationShown() const
{
    return !Memo1->isHidden();
}

void TForm2::BitBtn1Click()
{
    if (justificationShown() && !JustificationDone) {
        if (Memo1->hasFocus())
            m_op.inform(lotedit::kJustificationPendingMessage);
        Memo1->setFocus(Qt::OtherFocusReason);
        return;
    }
    // Saved from the keyboard (Alt+S) the focus never leaves the box in hand: its value and its
    // audit come first, so no audited change is saved unjustified.
    QWidget *focused = QApplication::focusWidget();
    if (focused == DBEdit6 || focused == DBEdit10) {
        auto *box = static_cast<data_ui::DBEdit *>(focused);
        if (!box->commitPending())
            return;
        if (focused == DBEdit6) {
            DBEdit6Exit();
            DBEdit6Enter();   // the change is on record: leaving the box later is no new change
        } else {
            DBEdit10Exit();
            if (lotedit::ExpiryLeftEmpty(DBEdit10->Text()))
                return;
            DBEdit10Enter();
        }
        if (justificationShown() && !JustificationDone)
            return;
    }
    m_dm.ESTLOTEPostRefused = false;
    if (!DS_ESTLOTE->post())
        return;
    accept();
}

void TForm2::BitBtn2Click()
{
    if (!DS_ESTLOTE->cancel())
        return;
    reject();
}

// ---- product lookup

void TForm2::DBEdit1Enter()
{
    EntryDescription = DBEdit1->text().left(lotedit::kEntryDescriptionWidth);
}

void TForm2::DBEdit1Exit()
{
    if (!DS_ESTLOTE->isEditing() || m_closing)
        return;
    const QString text = DBEdit1->text();
    switch (lotedit::ClassifyDescription(text)) {
    case lotedit::DescriptionAction::CancelAndClose:
        DS_ESTLOTE->cancel();
        closeLater();
        return;
    case lotedit::DescriptionAction::Nothing:
        return;
    case lotedit::DescriptionAction::ByCode: {
        if (text == EntryDescription) {
            data_ui::FocusLater(DBEdit2);
            return;
        }
        const QString code = lotedit::ProductCode(text);
        if (lotedit::LookUpProductByCode(m_dm, code)) {
            data_ui::FocusLater(DBEdit2);
        } else {
            m_op.inform(lotedit::CodeNotFoundMessage(code));
            data_ui::FocusLater(DBEdit1);
        }
        return;
    }
    case lotedit::DescriptionAction::ByName: {
        // A name picked from the options list is the register's own: looked up as it stands.
        const QString name = (!m_chosenName.isEmpty() && text == m_chosenName) ? text : lotedit::ProductName(text);
        if (lotedit::LookUpProductByName(m_dm, name)) {
            m_chosenName.clear();
            data_ui::FocusLater(DBEdit2);
            return;
        }
        BitBtn1->setEnabled(false);
        BitBtn2->setEnabled(false);
        lotedit::OpenProductOptions(m_dm, name);
        PainelOpcoesDeComponentes->show();
        PainelOpcoesDeComponentes->raise();
        if (m_dm.CompNomes.currentRow() >= 0) {
            const QModelIndex at = DS_CompNomes->index(m_dm.CompNomes.currentRow(), 0);
            GradeOpComponentes->setCurrentIndex(at);
            GradeOpComponentes->scrollTo(at, QAbstractItemView::PositionAtTop);
        }
        data_ui::FocusLater(GradeOpComponentes);
        return;
    }
    }
}

bool TForm2::DBGrid1KeyPress(QKeyEvent *key)
{
    if (isEnter(key)) {
        closeOptions(true);
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        // Nothing picked: back to the description to type another name.
        closeOptions(false);
        return true;
    }
    return false;
}

void TForm2::closeOptions(bool choose)
{
    if (choose && GradeOpComponentes->currentIndex().isValid()) {
        m_dm.CompNomes.moveTo(GradeOpComponentes->currentIndex().row());
        m_chosenName = m_dm.CompNomes.text(QStringLiteral("COMPONENTE"));
        if (DS_ESTLOTE->isEditing())
            lotedit::ChooseProductOption(m_dm);
    }
    BitBtn1->setEnabled(true);
    BitBtn2->setEnabled(true);
    DBEdit1->setFocus(Qt::OtherFocusReason);
    PainelOpcoesDeComponentes->hide();
}

// ---- balance and expiry audit

void TForm2::DBEdit6Enter()
{
    EntryBalance = DBEdit6->text().left(lotedit::kEntryBalanceWidth);
}

void TForm2::DBEdit6Exit()
{
    const QString now = DBEdit6->text();
    if (!lotedit::BalanceChangeAudited(EntryBalance, now, logOn()))
        return;
    writeLine(lotedit::BalanceLine(EntryBalance, now, descriptionText(), lotText()));
    showJustification(1);
}

void TForm2::DBEdit10Enter()
{
    EntryExpiry = lotedit::EntryExpiryFor(DBEdit10->Text(), currentYear());
}

void TForm2::DBEdit10Exit()
{
    const QString text = DBEdit10->Text();
    if (lotedit::ExpiryLeftEmpty(text)) {
        m_op.inform(lotedit::kExpiryMissingMessage);
        data_ui::FocusLater(DBEdit10);
        return;
    }
    const std::optional<QDate> now = lotedit::ReadExpiry(text, currentYear());
    if (!lotedit::ExpiryChangeAudited(EntryExpiry, now, logOn()))
        return;
    writeLine(lotedit::ExpiryLine(EntryExpiry, text, descriptionText(), lotText()));
    showJustification(2);
}

void TForm2::showJustification(int tag)
{
    JustificationDone = false;
    for (QWidget *w : std::initializer_list<QWidget *>{Bevel2, Label27, Memo1, Label29})
        w->show();
    // Moving to another row would save the change unjustified: no moves until the memo is done.
    DBNavigator1->setEnabled(false);
    Excluiresteregistro1->setEnabled(false);
    Memo1Tag = tag;
    data_ui::FocusLater(Memo1);
}

bool TForm2::Memo1KeyPress(QKeyEvent *key)
{
    if (!isEnter(key))
        return false;
    JustificationDone = true;
    writeLine(lotedit::JustificationLine(Memo1->toPlainText()));
    // The focus goes on before the memo hides, so it never lands on a box by accident.
    (Memo1Tag == 2 ? static_cast<QWidget *>(DBComboBox1) : DBEdit10)->setFocus(Qt::OtherFocusReason);
    hideJustification();
    return true;
}

void TForm2::Memo1Exit()
{
    if (JustificationDone) {
        data_ui::FocusLater(Memo1Tag == 2 ? static_cast<QWidget *>(DBComboBox1) : DBEdit10);
        return;
    }
    m_op.inform(lotedit::kJustificationPendingMessage);
    data_ui::FocusLater(Memo1);
}

void TForm2::hideJustification()
{
    for (QWidget *w : std::initializer_list<QWidget *>{Bevel2, Label27, Memo1, Label29})
        w->hide();
    DBNavigator1->setEnabled(true);
    Excluiresteregistro1->setEnabled(true);
    JustificationDone = true;
}

// ---- protected deletion

void TForm2::Excluiresteregistro1Click()
{
    if (!m_dm.ESTLOTE.isOpen() || m_dm.ESTLOTE.isEmpty())
        return;
    const QString question = lotedit::DeleteQuestion(m_dm.ESTLOTE.text(QStringLiteral("DESCRICAO")),
                                                     m_dm.ESTLOTE.text(QStringLiteral("LOTE")));
    if (m_op.ask(question) != platform::Answer::Yes)
        return;
    PainelSenha->adjustSize();
    PainelSenha->move((width() - PainelSenha->width()) / 2, (height() - PainelSenha->height()) / 2);
    PainelSenha->show();
    PainelSenha->raise();
    MaskEdit1->setFocus(Qt::OtherFocusReason);
    MaskEdit1->selectAll();
}

bool TForm2::MaskEdit1KeyPress(QKeyEvent *key)
{
    if (key->key() == Qt::Key_Escape) {
        PainelSenha->hide();
        return true;
    }
    if (!isEnter(key))
        return false;
    const lotedit::DeletionCheck check = lotedit::CheckDeletionCode(MaskEdit1->text(), m_clock.today());
    PainelSenha->hide();
    switch (check) {
    case lotedit::DeletionCheck::Granted:
        DS_ESTLOTE->remove();
        break;
    case lotedit::DeletionCheck::Denied:
        m_op.inform(lotedit::kDeletionDeniedMessage);
        break;
    case lotedit::DeletionCheck::DateError:
        m_op.inform(lotedit::kDateCheckErrorMessage);
        break;
    }
    return true;
}

// ---- what the data module's hooks reach

bool TForm2::isActiveWindow() const
{
    return isVisible() && (QWidget::isActiveWindow() || QApplication::activeModalWidget() == this);
}

void TForm2::setDescriptionEnabled(bool enabled)
{
    DBEdit1->setEnabled(enabled);
}

void TForm2::focusDescription()
{
    if (DBEdit1->isVisible())
        DBEdit1->setFocus(Qt::OtherFocusReason);
}

QString TForm2::descriptionText() const
{
    return DBEdit1->text();
}

QString TForm2::lotText() const
{
    return DBEdit2->text();
}

QString TForm2::balanceText() const
{
    return DBEdit6->text();
}

} // namespace lotedit_ui
