// TForm2, "  Tabela de Estoque por Lote": the lot edit form over the shared lot dataset, with the
// product lookup of new lots, the audit trail of balance and expiry changes and the guarded deletion.
#pragma once
#include "data/datasource.h"
#include "data/tdm.h"
#include "data/ui/dbcontrols.h"
#include "data/ui/dbnavigator.h"

#include <QDate>
#include <QDialog>
#include <QMap>
#include <functional>

class QAction;
class QFrame;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace platform {
class Clipboard;
class Clock;
class Operator;
class WinPaths;
}
namespace data_ui {
class DatasetModel;
}

namespace lotedit_ui {

class PainelEspecificacoes;

class TForm2 : public QDialog, public data::LotEditFormView {
    Q_OBJECT
public:
    // Works on dm.ESTLOTE at its current row; the data module reaches the form while it exists.
    // With the installation's places and a clipboard the form also holds the lot's certificate.
    TForm2(data::TDM &dm, const platform::Clock &clock, platform::Operator &op, QWidget *parent = nullptr,
           const platform::WinPaths *paths = nullptr, platform::Clipboard *clipboard = nullptr);
    ~TForm2() override;

    data::DataSource *DS_ESTLOTE;
    QPushButton *BitBtn3 = nullptr;   // "CQ - Laudo de Análise"
    lotedit_ui::PainelEspecificacoes *PainelEspecificacoes = nullptr;
    QPushButton *BitBtn1;   // "&Salvar"
    QPushButton *BitBtn2;   // "&Cancelar"
    data_ui::DBEdit *DBEdit1;    // DESCRICAO
    data_ui::DBEdit *DBEdit2;    // LOTE
    data_ui::DBComboBox *DBFornec;   // FORNECEDOR
    data_ui::DBEdit *DBEdit4;    // CODIGO
    data_ui::DBEdit *DBEdit6;    // SALDOCORRENTE
    data_ui::DBEdit *DBEdit7;    // UNIDADE
    data_ui::DBEdit *DBEdit8;    // CODIGOEAN
    data_ui::DBComboBox *DBComboBox3;   // FABRICANTE
    data_ui::DBEdit *DBEdit10;   // VALIDADE
    data_ui::DBComboBox *DBComboBox1;   // SITUACAO
    data_ui::DBEdit *DBEdit12;   // DENSIDADE
    data_ui::DBEdit *DBEdit13;   // FATORCORRECAO
    data_ui::DBComboBox *DBComboBox2;   // CONTROLADA
    data_ui::DBLookupComboBox *DBLookupComboBox2;   // LABORATORIO
    data_ui::DBNavigator *DBNavigator1;
    QMenu *PopupMenu2;
    QAction *Excluiresteregistro1;

    // Justification group.
    QFrame *Bevel2;
    QLabel *Label27;
    QPlainTextEdit *Memo1;
    QLabel *Label29;
    // The change being justified, which says where the focus goes once it is given: back to the
    // expiry after a balance change, to the situation after an expiry change, to the box after
    // the one whose identity (lot, supplier, code) changed.
    enum class Justifying { Nothing, Balance, Expiry, Identity };
    Justifying Memo1Tag = Justifying::Nothing;

    // Product options list.
    QFrame *PainelOpcoesDeComponentes;
    QLabel *Panel24;
    QTableView *GradeOpComponentes;
    data_ui::DatasetModel *DS_CompNomes;

    // Deletion code.
    QFrame *PainelSenha;
    QLabel *Label25;
    QLabel *Label26;
    QLineEdit *MaskEdit1;

    QString EntryDescription;
    QString EntryBalance;
    QDate EntryExpiry;
    bool JustificationDone = false;

    void FormActivate();
    void FormClose();
    void BitBtn1Click();
    void BitBtn2Click();
    void DBEdit1Enter();
    void DBEdit1Exit();
    void DBEdit6Enter();
    void DBEdit6Exit();
    void DBEdit10Enter();
    void DBEdit10Exit();
    void DBEdit12Enter();
    void DBEdit12Exit();
    bool Memo1KeyPress(QKeyEvent *key);
    void Memo1Exit();
    bool DBGrid1KeyPress(QKeyEvent *key);
    void Excluiresteregistro1Click();
    bool MaskEdit1KeyPress(QKeyEvent *key);

    bool justificationShown() const;

    // What the data module's hooks reach.
    bool isActiveWindow() const override;
    void setDescriptionEnabled(bool enabled) override;
    void focusDescription() override;
    QString descriptionText() const override;
    QString lotText() const override;
    QString balanceText() const override;
    void hideJustification() override;
    void rowSaved() override;
    void rowSavedAfterReconnection() override;
    void rowCancelled() override;
    void rowChangedElsewhere() override;

    void done(int result) override;

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildCertificate(const platform::WinPaths &paths, platform::Clipboard &clipboard);
    QHBoxLayout *m_buttons = nullptr;
    QObject *m_fit = nullptr;   // the form's size follows the justification group and the certificate panel
    void buildControls();
    void wireHandlers();
    void showJustification(Justifying change);
    QWidget *afterJustification() const;
    // Before the edited row is posted or left by any road: the box in hand written and audited as
    // leaving it would, and the justification given. False keeps the row in edit, unposted.
    bool auditBeforeLeaving();
    // The expiry a post would store was emptied: told, and back to the box.
    bool expiryMissing();
    // A required number (balance, density) the lot held was emptied: told, and back to the box.
    bool requiredNumberMissing();
    // Leaving a required number's box empty when the lot held one: told, and back to the box.
    bool numberLeftEmpty(data_ui::DBEdit *box, const QString &field, const QString &entryText, bool &emptied,
                         const QString &message);
    // A stored lot given another lot number, supplier or code: put on record with the old and new
    // value and justified as a balance change is. False while that justification is due; next is
    // where the focus goes once it is given.
    bool auditIdentity(QWidget *next);
    // The row on show changed while browsing: the box in hand's entry value is this row's.
    void noteEntryValues();
    void closeOptions(bool choose);
    void closeLater();
    bool logOn() const;
    // Audit lines of an edit wait for its save: only what reaches the database is on record.
    void writeLine(const QString &text);
    void writeNow(const QString &text);
    // After a save refused because another workstation changed the lot: the balance and expiry
    // typed are audited again against what is now stored. False while a justification is due.
    bool auditAgainstStored();
    // The navigator and the deletion only while no justification or re-audit is due.
    void allowMoves();
    int currentYear() const;
    // A handler's failure goes to the operator, as the general error display would show it.
    void guarded(const std::function<void()> &step);

    data::TDM &m_dm;
    const platform::Clock &m_clock;
    platform::Operator &m_op;
    bool m_activated = false;
    bool m_closing = false;
    bool m_expiryEmptied = false;   // the expiry box was left empty during this edit
    bool m_balanceEmptied = false;  // so were the balance's and the density's
    bool m_densityEmptied = false;
    QString m_entryDensity;
    QMap<QString, QString> m_identityOnRecord;   // identity columns' values already audited in this edit
    QMap<QString, QString> m_identityLines;      // the pending line of each identity change
    QWidget *m_afterJustification = nullptr;
    bool m_focusingNewRow = false;  // the focus goes to the description of a row just inserted
    QString m_chosenName;   // the name last picked in the options list
    QStringList m_pendingAudit;     // lines of the edit in hand, written when it is saved
    bool m_reauditBalance = false;
    bool m_reauditExpiry = false;
};

} // namespace lotedit_ui
