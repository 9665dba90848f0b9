// The lot edit form's handlers: activation and closing, saving and cancelling, the product options
// list and the deletion code; the audit trail of what a save changes is in tform2audit.cpp.
#include "tform2.h"

#include "lotedit/lotrules.h"
#include "lotedit/productlookup.h"
#include "lotedit/registerlists.h"
#include "painelespecificacoes.h"

#include "data/fieldtext.h"
#include "data/ui/datasetmodel.h"
#include "platform/clock.h"
#include "platform/error.h"
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
#include <utility>

namespace lotedit_ui {

namespace {

bool isEnter(const QKeyEvent *e)
{
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

} // namespace

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
    connect(DBEdit12, &data_ui::DBEdit::entered, this, &TForm2::DBEdit12Enter);
    connect(DBEdit12, &data_ui::DBEdit::exited, this, [this] { guarded([this] { DBEdit12Exit(); }); });
    // A stored lot's identity changed in its box is justified before the operator goes on.
    // (The code is the register's, never typed here: a save still audits it.)
    connect(DBEdit2, &data_ui::DBEdit::exited, this, [this] { guarded([this] { auditIdentity(DBFornec); }); });
    connect(DBFornec, &data_ui::DBComboBox::exited, this, [this] { guarded([this] { auditIdentity(DBEdit6); }); });
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

    // After a move or a save the row on show is another (or stored anew): the box in hand
    // audits against it, never against the row it was entered on.
    connect(DS_ESTLOTE, &data::DataSource::recordChanged, this, &TForm2::noteEntryValues);
    connect(DS_ESTLOTE, &data::DataSource::stateChanged, this, &TForm2::noteEntryValues);

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
        // A message box or the window going to the back is no leaving of the memo, and neither is
        // "Cancelar", which drops the whole edit.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !m_closing
            && !data_ui::DropsEdit(QApplication::focusWidget()))
            guarded([this] { Memo1Exit(); });
    }
    return QDialog::eventFilter(watched, event);
}

void TForm2::guarded(const std::function<void()> &step)
{
    try {
        step();
    } catch (...) {
        m_op.error(platform::CurrentErrorText());
    }
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
    // The operator's first key is for the data: the first box open to typing takes the focus, as
    // Tab gives it, with its frame lit.
    for (QWidget *box : {static_cast<QWidget *>(DBEdit1), static_cast<QWidget *>(DBEdit2)}) {
        if (box->isEnabled() && box->isVisible()) {
            box->setFocus(Qt::TabFocusReason);
            break;
        }
    }
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

    DBFornec->setItems(lotedit::SupplierNames(m_dm.SQLConnection1));
    DBComboBox3->setItems(lotedit::MakerNames(m_dm.SQLConnection1));

    if (lotedit::HasSituationOptions(m_dm.run.siteConfig))
        DBComboBox1->setItems(lotedit::SituationItems(m_dm.run.siteConfig));

    writeNow(lotedit::OpeningLine(descriptionText(), lotText()));
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
    m_dm.TabLab.close();
    m_dm.CompNomes.close();
    if (m_dm.lotEditForm == this)
        m_dm.lotEditForm = nullptr;
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

// ---- save and cancel

bool TForm2::justificationShown() const
{
    return !Memo1->isHidden();
}

void TForm2::BitBtn1Click()
{
    // Saved from the keyboard (Alt+S) the focus never leaves the box in hand: the data source's
    // check before posting audits it first, so no audited change is saved unjustified.
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
    if (!DBEdit1->isVisible())
        return;
    // The row on show is a new one: the box the focus leaves was audited before the row was
    // left, and is not audited again against the new row.
    m_focusingNewRow = true;
    DBEdit1->setFocus(Qt::OtherFocusReason);
    m_focusingNewRow = false;
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
