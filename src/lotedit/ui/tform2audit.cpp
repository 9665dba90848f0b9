// The lot edit form's audit trail: changes of a lot's balance, expiry and identity put on record
// with the justification each asks for, written when the edit is saved; the numbers a lot held
// that may not be emptied.
#include "tform2.h"

#include "lotedit/lotrules.h"

#include "data/fieldtext.h"
#include "platform/clock.h"
#include "platform/operator.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <utility>

namespace lotedit_ui {

namespace {

bool isEnter(const QKeyEvent *e)
{
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

} // namespace

// ---- what is put on record

bool TForm2::logOn() const
{
    return m_dm.run.siteConfig.logOn();
}

void TForm2::writeLine(const QString &text)
{
    if (!logOn())
        return;
    if (DS_ESTLOTE->isEditing())
        m_pendingAudit << text;
    else
        writeNow(text);
}

void TForm2::writeNow(const QString &text)
{
    if (logOn())
        m_dm.log.WriteActivityLine(m_dm.run.UserName, text);
}

void TForm2::rowSaved()
{
    const QStringList saved = std::exchange(m_pendingAudit, {});
    m_identityOnRecord.clear();
    m_identityLines.clear();
    m_reauditBalance = m_reauditExpiry = false;
    allowMoves();
    for (const QString &line : saved)
        writeNow(line);
}

void TForm2::rowSavedAfterReconnection()
{
    for (QString &line : m_pendingAudit)
        line += data::kConfirmedAfterReconnectionMark;
    rowSaved();
}

void TForm2::rowCancelled()
{
    m_pendingAudit.clear();
    m_identityOnRecord.clear();
    m_identityLines.clear();
    m_reauditBalance = m_reauditExpiry = false;
    allowMoves();
}

void TForm2::rowChangedElsewhere()
{
    // What was audited went from values no longer stored: nothing of it is on record, and the
    // next save audits the typed values against the stored ones. Until then no move may save it.
    m_pendingAudit.clear();
    m_identityOnRecord.clear();
    m_identityLines.clear();
    m_reauditBalance = m_reauditExpiry = true;
    allowMoves();
}

void TForm2::allowMoves()
{
    const bool free = Memo1->isHidden() && !m_reauditBalance && !m_reauditExpiry;
    DBNavigator1->setEnabled(free);
    Excluiresteregistro1->setEnabled(free);
}

bool TForm2::auditAgainstStored()
{
    if (m_reauditBalance) {
        m_reauditBalance = false;
        EntryBalance = data::FieldText(m_dm.ESTLOTE.valueBeforeEdit(QStringLiteral("SALDOCORRENTE")))
                           .left(lotedit::kEntryBalanceWidth);
        DBEdit6Exit();
        DBEdit6Enter();
        if (justificationShown() && !JustificationDone)
            return false;
    }
    if (m_reauditExpiry) {
        m_reauditExpiry = false;
        const db::Value stored = m_dm.ESTLOTE.valueBeforeEdit(QStringLiteral("VALIDADE"));
        EntryExpiry = lotedit::EntryExpiryFor(stored.isNull() ? QString() : stored.toDate().toString(QStringLiteral("dd/MM/yy")),
                                              currentYear());
        if (!lotedit::ExpiryLeftEmpty(DBEdit10->Text()))
            DBEdit10Exit();
        DBEdit10Enter();
        if (justificationShown() && !JustificationDone)
            return false;
    }
    allowMoves();
    return true;
}

int TForm2::currentYear() const
{
    return m_clock.today().year();
}

// ---- leaving a row

bool TForm2::auditBeforeLeaving()
{
    if (justificationShown() && !JustificationDone) {
        if (Memo1->hasFocus())
            m_op.inform(lotedit::kJustificationPendingMessage);
        Memo1->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (!auditAgainstStored())
        return false;
    QWidget *inHand = focusWidget();
    if (inHand == DBEdit6 || inHand == DBEdit10) {
        auto *box = static_cast<data_ui::DBEdit *>(inHand);
        if (!box->commitPending())
            return false;
        if (inHand == DBEdit6) {
            // An emptied balance is told once, below.
            if (!DBEdit6->text().trimmed().isEmpty()) {
                DBEdit6Exit();
                DBEdit6Enter();   // the change is on record: leaving the box later is no new change
            }
        } else {
            DBEdit10Exit();
            if (lotedit::ExpiryLeftEmpty(DBEdit10->Text()))
                return false;
            DBEdit10Enter();
        }
        if (justificationShown() && !JustificationDone)
            return false;
    }
    if (!auditIdentity(BitBtn1))
        return false;
    return !expiryMissing() && !requiredNumberMissing();
}

bool TForm2::requiredNumberMissing()
{
    const data::CachedDataset &lot = m_dm.ESTLOTE;
    const struct {
        data_ui::DBEdit *box;
        QString field;
        bool emptied;
        const QString &message;
    } numbers[] = {
        {DBEdit6, QStringLiteral("SALDOCORRENTE"), m_balanceEmptied, lotedit::kBalanceMissingMessage},
        {DBEdit12, QStringLiteral("DENSIDADE"), m_densityEmptied, lotedit::kDensityMissingMessage},
    };
    for (const auto &n : numbers) {
        if (lot.fieldIndex(n.field) < 0 || !lot.value(n.field).isNull())
            continue;
        // A lot stored without one may keep it so; a number emptied in the box may not be saved:
        // the lot would drop out of every sum.
        if (!n.emptied && (lot.state() != data::CachedDataset::State::Edit || lot.valueBeforeEdit(n.field).isNull()))
            continue;
        m_op.inform(n.message);
        data_ui::FocusLater(n.box);
        return true;
    }
    return false;
}

bool TForm2::numberLeftEmpty(data_ui::DBEdit *box, const QString &field, const QString &entryText, bool &emptied,
                             const QString &message)
{
    if (!DS_ESTLOTE->isEditing() || !box->text().trimmed().isEmpty()) {
        emptied = false;
        return false;
    }
    const data::CachedDataset &lot = m_dm.ESTLOTE;
    const bool held = emptied || !entryText.trimmed().isEmpty()
                      || (lot.state() == data::CachedDataset::State::Edit && !lot.valueBeforeEdit(field).isNull());
    if (!held)
        return false;
    emptied = true;
    m_op.inform(message);
    data_ui::FocusLater(box);
    return true;
}

bool TForm2::auditIdentity(QWidget *next)
{
    const data::CachedDataset &lot = m_dm.ESTLOTE;
    if (!logOn() || lot.state() != data::CachedDataset::State::Edit || m_focusingNewRow)
        return true;
    if (justificationShown() && !JustificationDone)
        return false;
    const struct {
        const char *field;
        const char *label;
    } identity[] = {{"LOTE", "Lote"}, {"FORNECEDOR", "Fornecedor"}, {"CODIGO", "Código"}};
    for (const auto &i : identity) {
        const QString field = QString::fromLatin1(i.field);
        if (lot.fieldIndex(field) < 0)
            continue;
        const QString stored = data::FieldText(lot.valueBeforeEdit(field));
        const QString now = data::FieldText(lot.value(field));
        if (now == m_identityOnRecord.value(field, stored))
            continue;
        m_identityOnRecord[field] = now;
        // Back to what is stored: nothing of the change will be saved, nor put on record.
        if (const QString line = m_identityLines.take(field); !line.isEmpty()) {
            const qsizetype at = m_pendingAudit.indexOf(line);
            if (at >= 0) {
                m_pendingAudit.removeAt(at);
                if (at < m_pendingAudit.size() && m_pendingAudit[at].startsWith(lotedit::JustificationLine(QString())))
                    m_pendingAudit.removeAt(at);
            }
        }
        if (now == stored)
            continue;
        const QString line = lotedit::IdentityLine(QString::fromUtf8(i.label), stored, now, descriptionText(), lotText());
        writeLine(line);
        m_identityLines[field] = line;
        m_afterJustification = next;
        showJustification(Justifying::Identity);
        return false;
    }
    return true;
}

bool TForm2::expiryMissing()
{
    const data::CachedDataset &lot = m_dm.ESTLOTE;
    const QString expiry = QStringLiteral("VALIDADE");
    if (lot.fieldIndex(expiry) < 0 || !lot.value(expiry).isNull())
        return false;
    // A lot stored without an expiry may keep it so; an expiry emptied in the box may not be saved.
    if (!m_expiryEmptied && (lot.state() != data::CachedDataset::State::Edit || lot.valueBeforeEdit(expiry).isNull()))
        return false;
    m_op.inform(lotedit::kExpiryMissingMessage);
    data_ui::FocusLater(DBEdit10);
    return true;
}

void TForm2::noteEntryValues()
{
    if (DS_ESTLOTE->isEditing())
        return;
    m_expiryEmptied = m_balanceEmptied = m_densityEmptied = false;
    QWidget *inHand = focusWidget();
    if (inHand == DBEdit6)
        DBEdit6Enter();
    else if (inHand == DBEdit10)
        DBEdit10Enter();
}

// ---- balance and expiry audit

void TForm2::DBEdit6Enter()
{
    // Back in a box left empty: the change from the balance on record is still to be audited.
    if (m_balanceEmptied)
        return;
    EntryBalance = DBEdit6->text().left(lotedit::kEntryBalanceWidth);
}

void TForm2::DBEdit6Exit()
{
    if (m_focusingNewRow)
        return;
    if (numberLeftEmpty(DBEdit6, QStringLiteral("SALDOCORRENTE"), EntryBalance, m_balanceEmptied,
                        lotedit::kBalanceMissingMessage))
        return;
    const QString now = DBEdit6->text();
    if (!lotedit::BalanceChangeAudited(EntryBalance, now, logOn()))
        return;
    writeLine(lotedit::BalanceLine(EntryBalance, now, descriptionText(), lotText()));
    showJustification(Justifying::Balance);
}

void TForm2::DBEdit10Enter()
{
    // Back in a box left empty: the change from the expiry on record is still to be audited.
    if (m_expiryEmptied)
        return;
    EntryExpiry = lotedit::EntryExpiryFor(DBEdit10->Text(), currentYear());
}

void TForm2::DBEdit10Exit()
{
    if (m_focusingNewRow)
        return;
    const QString text = DBEdit10->Text();
    if (lotedit::ExpiryLeftEmpty(text)) {
        m_expiryEmptied = true;
        m_op.inform(lotedit::kExpiryMissingMessage);
        data_ui::FocusLater(DBEdit10);
        return;
    }
    m_expiryEmptied = false;
    const std::optional<QDate> now = lotedit::ReadExpiry(text, currentYear());
    if (!lotedit::ExpiryChangeAudited(EntryExpiry, now, logOn()))
        return;
    writeLine(lotedit::ExpiryLine(EntryExpiry, text, descriptionText(), lotText()));
    showJustification(Justifying::Expiry);
}

void TForm2::DBEdit12Enter()
{
    if (!m_densityEmptied)
        m_entryDensity = DBEdit12->text();
}

void TForm2::DBEdit12Exit()
{
    if (!m_focusingNewRow)
        numberLeftEmpty(DBEdit12, QStringLiteral("DENSIDADE"), m_entryDensity, m_densityEmptied,
                        lotedit::kDensityMissingMessage);
}

QWidget *TForm2::afterJustification() const
{
    switch (Memo1Tag) {
    case Justifying::Expiry: return DBComboBox1;
    case Justifying::Identity: return m_afterJustification ? m_afterJustification : static_cast<QWidget *>(DBEdit10);
    case Justifying::Nothing:
    case Justifying::Balance: break;
    }
    return DBEdit10;
}

void TForm2::showJustification(Justifying change)
{
    JustificationDone = false;
    for (QWidget *w : std::initializer_list<QWidget *>{Bevel2, Label27, Memo1, Label29})
        w->show();
    // Moving to another row would save the change unjustified: no moves until the memo is done.
    DBNavigator1->setEnabled(false);
    Excluiresteregistro1->setEnabled(false);
    Memo1Tag = change;
    // A justification typed before is selected: the new one replaces it.
    Memo1->selectAll();
    data_ui::FocusLater(Memo1);
}

bool TForm2::Memo1KeyPress(QKeyEvent *key)
{
    if (!isEnter(key))
        return false;
    JustificationDone = true;
    writeLine(lotedit::JustificationLine(Memo1->toPlainText()));
    // The focus goes on before the memo hides, so it never lands on a box by accident.
    afterJustification()->setFocus(Qt::OtherFocusReason);
    hideJustification();
    return true;
}

void TForm2::Memo1Exit()
{
    if (JustificationDone) {
        data_ui::FocusLater(afterJustification());
        return;
    }
    m_op.inform(lotedit::kJustificationPendingMessage);
    data_ui::FocusLater(Memo1);
}

void TForm2::hideJustification()
{
    for (QWidget *w : std::initializer_list<QWidget *>{Bevel2, Label27, Memo1, Label29})
        w->hide();
    allowMoves();
    JustificationDone = true;
}

} // namespace lotedit_ui
