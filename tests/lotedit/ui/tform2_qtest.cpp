// The lot edit form driven through its widgets over a real database: the audit trail byte for
// byte in the activity log, the product lookup of a new lot, refusals that keep what was typed,
// and the guarded deletion.
#include "lotedit/lotrules.h"
#include "lotedit/ui/tform2.h"

#include "data/ui/datasetmodel.h"
#include "platform/cp1252.h"
#include "support/modulerig.h"

#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using lotedit_ui::TForm2;
using State = data::CachedDataset::State;

namespace {

struct Rig : testsupport::ModuleRig {
    explicit Rig(bool logOn = true)
    {
        run.UserName = QStringLiteral("ANA");
        run.Laboratory = QStringLiteral("Manipulação");
        run.siteConfig.LogEnabled = logOn ? QStringLiteral("S") : QStringLiteral("N");
        if (logOn)
            log.OpenActivityLog(QStringLiteral("SRV"), run.UserName, op);
        addLot(QStringLiteral("Cafeína"), QStringLiteral("C1"), QStringLiteral("12.5"), QDate(2025, 3, 1));
        addLot(QStringLiteral("Benzoato"), QStringLiteral("B1"), QString(), QDate());
        addLot(QStringLiteral("Talco"), QStringLiteral("T1"), QStringLiteral("4"), QDate(2000, 1, 1));
        exec(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Manipulação', '1')"));
        exec(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Almoxarifado', '1')"));
        exec(QStringLiteral("insert into FORNECED (CODIGO, NOME, NOMEFANTASIA) values ('1', 'B', 'Galena Quimica e Farmaceutica Ltda SP')"));
        exec(QStringLiteral("insert into FORNECED (CODIGO, NOME, NOMEFANTASIA) values ('2', 'A', 'Pharma')"));
        exec(QStringLiteral("insert into FABRIC (CODIGO, NOMEFANTASIA) values ('1', 'Merck')"));
        exec(QStringLiteral("insert into FABRIC (CODIGO, NOMEFANTASIA) values ('2', 'Basf')"));
        addProduct(QStringLiteral("00077"), QStringLiteral("Vitamina C"), QStringLiteral("VC-9"));
        addProduct(QStringLiteral("00078"), QStringLiteral("Oleo d'oliva"), QStringLiteral("OL-1"));
        addProduct(QStringLiteral("00079"), QStringLiteral("VASELINA SOLIDA"), QStringLiteral("VS-2"));
        dm.ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE order by DESCRICAO"));
        dm.ESTLOTE.open();
        op.clear();
    }

    void addLot(const QString &description, const QString &lot, const QString &balance, const QDate &expiry)
    {
        tdb.conn().execute(
            QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, SALDOCORRENTE, VALIDADE, SITUACAO) "
                           "values (?, ?, 'Pharma', '001', 'Manipulação', ?, ?, 'Estoque')"),
            {db::Value::text(description), db::Value::text(lot),
             balance.isEmpty() ? db::Value() : db::Value::decimal(db::Decimal::fromString(balance)),
             expiry.isValid() ? db::Value::date(expiry) : db::Value()});
    }

    void addProduct(const QString &code, const QString &name, const QString &lot)
    {
        tdb.conn().execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, LOTE, FORNECEDOR, FABRICANTE, UNID, "
                                          "VALIDADE, DENSIDADE, FATORCORRECAO) "
                                          "values (?, ?, ?, 'Galena', 'Merck', 'G', '2027-05-31 00:00:00', 1.1, 1)"),
                           {db::Value::text(code), db::Value::text(name), db::Value::text(lot)});
    }

    // The log's lines after its header and the two login lines, as stored.
    QByteArray auditBytes() const
    {
        const QByteArray all = fileBytes(QStringLiteral("share/LOG/LOGESTOQ_2024-03.TXT"));
        int at = 0;
        for (int i = 0; i < 5 && at >= 0; ++i)
            at = int(all.indexOf("\r\n", at)) + 2;
        return all.mid(at);
    }

    db::Rows query(const QString &sql) { return tdb.conn().query(sql); }
    // C1's stored balance and expiry.
    db::Decimal storedBalance() { return query(QStringLiteral("select SALDOCORRENTE from ESTLOTE where LOTE = 'C1'")).rows[0][0].toDecimal(); }
    QDate storedExpiry() { return query(QStringLiteral("select VALIDADE from ESTLOTE where LOTE = 'C1'")).rows[0][0].toDate(); }
};

QByteArray lines(const QStringList &texts)
{
    QByteArray out;
    for (const QString &t : texts)
        out += platform::toCp1252(QStringLiteral("07/03/24-14:05 - ANA - ") + t) + "\r\n";
    return out;
}

// Roads out of the row besides the navigator's buttons.
constexpr int kAltS = 100;
constexpr int kSalvar = 101;

void settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

void openOn(Rig &rig, TForm2 &form, const QString &lot)
{
    if (!lot.isEmpty())
        QVERIFY(rig.dm.ESTLOTE.locate(QStringLiteral("LOTE"), db::Value::text(lot)));
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    settle();
}

void focusOn(QWidget *w)
{
    w->setFocus(Qt::TabFocusReason);
    settle();
    QTRY_COMPARE(QApplication::focusWidget(), w);
}

void leaveWithTab()
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    settle();
}

void typeInto(QLineEdit *box, const QString &text)
{
    focusOn(box);
    box->selectAll();
    QTest::keyClicks(box, text);
}

void clickNavigator(TForm2 &form, data_ui::DBNavigator::Button button)
{
    QTest::mouseClick(form.DBNavigator1->button(button), Qt::LeftButton);
    settle();
}

// The justification the form asks for, typed and ended with Enter.
void justify(TForm2 &form, const QString &text)
{
    QTRY_COMPARE(QApplication::focusWidget(), form.Memo1);
    QTest::keyClicks(form.Memo1, text);
    QTest::keyClick(form.Memo1, Qt::Key_Return);
    settle();
}

} // namespace

class TForm2Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void balanceAndExpiryChangesAreJustifiedAndLoggedByteForByte()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        QCOMPARE(form.windowTitle(), QStringLiteral("  Tabela de Estoque por Lote"));
        QVERIFY(!form.DBEdit1->isEnabled());
        // Suppliers in the order of their names, each cut to 35 characters.
        QCOMPARE(form.DBFornec->count(), 2);
        QCOMPARE(form.DBFornec->itemText(0), QStringLiteral("Pharma"));
        QCOMPARE(form.DBFornec->itemText(1), QStringLiteral("Galena Quimica e Farmaceutica Ltda "));
        QCOMPARE(form.DBComboBox3->itemText(0), QStringLiteral("Basf"));

        typeInto(form.DBEdit6, QStringLiteral("10,75"));
        QCOMPARE(rig.dm.ESTLOTE.state(), State::Edit);
        leaveWithTab();
        QVERIFY(form.justificationShown());
        QTRY_COMPARE(QApplication::focusWidget(), form.Memo1);
        // Saving is refused until the justification is given, and no move can save it either.
        QVERIFY(!form.DBNavigator1->isEnabled());
        QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
        settle();
        QTRY_COMPARE(QApplication::focusWidget(), form.Memo1);
        QVERIFY(form.isVisible());
        QCOMPARE(rig.dm.ESTLOTE.state(), State::Edit);
        QTest::keyClicks(form.Memo1, QStringLiteral("contagem"));
        QTest::keyClick(form.Memo1, Qt::Key_Return);
        settle();
        QVERIFY(!form.justificationShown());
        QVERIFY(form.DBNavigator1->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), form.DBEdit10);

        form.DBEdit10->setCursorPosition(0);
        QTest::keyClicks(form.DBEdit10, QStringLiteral("310826"));
        leaveWithTab();
        QVERIFY(form.justificationShown());
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("contagem"));   // the memo keeps the last text
        QTRY_COMPARE(QApplication::focusWidget(), form.Memo1);
        QTest::keyClick(form.Memo1, Qt::Key_Return);
        settle();
        QTRY_COMPARE(QApplication::focusWidget(), form.DBComboBox1);

        form.BitBtn1->click();
        settle();
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(rig.op.texts(), QStringList{lotedit::kJustificationPendingMessage});   // the refused first save
        const db::Rows row = rig.query(QStringLiteral("select SALDOCORRENTE, VALIDADE from ESTLOTE where LOTE = 'C1'"));
        QCOMPARE(row.rows[0][0].toDecimal(), db::Decimal::fromString(QStringLiteral("10.75")));
        QCOMPARE(row.rows[0][1].toDate(), QDate(2026, 8, 31));
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
            QStringLiteral("Alterou o Saldo Atual de 12,5 para 10,75 (Cafeína, lote: C1)"),
            QStringLiteral("Justificativa: contagem"),
            QStringLiteral("Alterou a Validade de 01/03/25 para 31/08/26 (Cafeína, lote: C1)"),
            QStringLiteral("Justificativa: contagem"),
            QStringLiteral("Salvou o registro corrente. Saldo atual: 10,75"),
        }));
        QVERIFY(rig.dm.lotEditForm == nullptr);
    }

    void whatIsNotAuditedDemandsNoJustification()
    {
        // Log off: no line, no justification.
        {
            Rig rig(false);
            TForm2 form(rig.dm, rig.clock, rig.op);
            openOn(rig, form, QStringLiteral("C1"));
            typeInto(form.DBEdit6, QStringLiteral("1"));
            leaveWithTab();
            QVERIFY(!form.justificationShown());
            form.BitBtn1->click();
            QCOMPARE(rig.fileBytes(QStringLiteral("share/LOG/LOGESTOQ_2024-03.TXT")), QByteArray());
        }
        // Empty balance and expiry on entry; an expiry of exactly 01/01/2000.
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("B1"));
        typeInto(form.DBEdit6, QStringLiteral("3"));
        leaveWithTab();
        QVERIFY(!form.justificationShown());
        focusOn(form.DBEdit10);
        form.DBEdit10->setCursorPosition(0);
        QTest::keyClicks(form.DBEdit10, QStringLiteral("010127"));
        leaveWithTab();
        QVERIFY(!form.justificationShown());
        QVERIFY(form.DS_ESTLOTE->post());
        QVERIFY(rig.dm.ESTLOTE.locate(QStringLiteral("LOTE"), db::Value::text(QStringLiteral("T1"))));
        focusOn(form.DBEdit10);
        form.DBEdit10->setCursorPosition(0);
        QTest::keyClicks(form.DBEdit10, QStringLiteral("010127"));
        leaveWithTab();
        QVERIFY(!form.justificationShown());
        // Leaving the expiry blank is refused with the message, the focus back in the box.
        focusOn(form.DBEdit10);
        form.DBEdit10->selectAll();
        QTest::keyClick(form.DBEdit10, Qt::Key_Delete);
        leaveWithTab();
        QCOMPARE(rig.op.texts(), QStringList{lotedit::kExpiryMissingMessage});
        QTRY_COMPARE(QApplication::focusWidget(), form.DBEdit10);
        form.BitBtn2->click();
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Benzoato (lote: B1)"),
            QStringLiteral("Salvou o registro corrente. Saldo atual: 3"),
            QStringLiteral("Cancelou a operação. Saldo atual: 4"),
        }));
    }

    void savingFromTheKeyboardAuditsTheBoxInHandFirst()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        typeInto(form.DBEdit6, QStringLiteral("9"));
        QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(form.justificationShown());
        QTRY_COMPARE(QApplication::focusWidget(), form.Memo1);
        QVERIFY(form.isVisible());
        QCOMPARE(rig.dm.ESTLOTE.state(), State::Edit);
        // Alt+S in the memo before Enter: told, still not saved.
        QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(rig.op.texts(), QStringList{lotedit::kJustificationPendingMessage});
        QVERIFY(form.isVisible());
        QTest::keyClicks(form.Memo1, QStringLiteral("quebra"));
        QTest::keyClick(form.Memo1, Qt::Key_Return);
        settle();
        QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(!form.isVisible());
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
            QStringLiteral("Alterou o Saldo Atual de 12,5 para 9 (Cafeína, lote: C1)"),
            QStringLiteral("Justificativa: quebra"),
            QStringLiteral("Salvou o registro corrente. Saldo atual: 9"),
        }));
    }

    // Every road that posts or leaves the row, with a balance or an expiry typed and the box not
    // left: the change is audited and justified before anything reaches the database.
    void everyRoadOutOfTheRowAuditsThePendingFieldFirst_data()
    {
        QTest::addColumn<int>("road");
        QTest::addColumn<bool>("expiry");
        using N = data_ui::DBNavigator;
        QTest::newRow("Gravar, saldo") << int(N::Post) << false;
        QTest::newRow("Gravar, validade") << int(N::Post) << true;
        QTest::newRow("Próximo, saldo") << int(N::Next) << false;
        QTest::newRow("Próximo, validade") << int(N::Next) << true;
        QTest::newRow("Primeiro, saldo") << int(N::First) << false;
        QTest::newRow("Anterior, saldo") << int(N::Prior) << false;
        QTest::newRow("Último, saldo") << int(N::Last) << false;
        QTest::newRow("Incluir, saldo") << int(N::Insert) << false;
        QTest::newRow("Alt+S, saldo") << kAltS << false;
        QTest::newRow("Alt+S, validade") << kAltS << true;
        QTest::newRow("Salvar, saldo") << kSalvar << false;
    }

    void everyRoadOutOfTheRowAuditsThePendingFieldFirst()
    {
        QFETCH(int, road);
        QFETCH(bool, expiry);
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        const QString changed = expiry
            ? QStringLiteral("Alterou a Validade de 01/03/25 para 31/08/26 (Cafeína, lote: C1)")
            : QStringLiteral("Alterou o Saldo Atual de 12,5 para 7 (Cafeína, lote: C1)");
        if (expiry) {
            focusOn(form.DBEdit10);
            QTest::keyClicks(form.DBEdit10, QStringLiteral("310826"));
        } else {
            typeInto(form.DBEdit6, QStringLiteral("7"));
        }
        const auto take = [&] {
            if (road == kAltS)
                QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
            else if (road == kSalvar)
                QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
            else
                clickNavigator(form, data_ui::DBNavigator::Button(road));
            settle();
        };
        take();
        // Nothing saved, the row still in edit where it was, the justification asked for.
        QTRY_COMPARE(QApplication::focusWidget(), form.Memo1);
        QVERIFY(form.justificationShown());
        QCOMPARE(rig.dm.ESTLOTE.state(), State::Edit);
        QCOMPARE(rig.dm.ESTLOTE.text(QStringLiteral("LOTE")), QStringLiteral("C1"));
        QCOMPARE(rig.storedBalance(), db::Decimal::fromString(QStringLiteral("12.5")));
        QCOMPARE(rig.storedExpiry(), QDate(2025, 3, 1));
        // Nothing on record either: the change line waits for the save.
        QCOMPARE(rig.auditBytes(), lines({QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)")}));

        justify(form, QStringLiteral("recontagem"));
        take();
        QTRY_COMPARE(rig.storedBalance(), db::Decimal::fromString(expiry ? QStringLiteral("12.5") : QStringLiteral("7")));
        QTRY_COMPARE(rig.storedExpiry(), expiry ? QDate(2026, 8, 31) : QDate(2025, 3, 1));
        // Leaving the box afterwards is no new change.
        if (form.isVisible() && rig.dm.ESTLOTE.state() == State::Browse
            && rig.dm.ESTLOTE.text(QStringLiteral("LOTE")) == QStringLiteral("C1")) {
            leaveWithTab();
            QVERIFY(!form.justificationShown());
        }
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
            changed,
            QStringLiteral("Justificativa: recontagem"),
            QStringLiteral("Salvou o registro corrente. Saldo atual: ") + (expiry ? QStringLiteral("12,5") : QStringLiteral("7")),
        }));
        QCOMPARE(rig.op.texts(), QStringList());
    }

    void theAuditComparesWithTheRowOnShow()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        focusOn(form.DBEdit6);
        // "Próximo" with the focus in the untouched balance: the next lot's balance is the one on entry.
        clickNavigator(form, data_ui::DBNavigator::Next);
        QCOMPARE(rig.dm.ESTLOTE.text(QStringLiteral("LOTE")), QStringLiteral("T1"));
        QCOMPARE(QApplication::focusWidget(), form.DBEdit6);
        leaveWithTab();
        QVERIFY(!form.justificationShown());
        typeInto(form.DBEdit6, QStringLiteral("5"));
        leaveWithTab();
        QVERIFY(form.justificationShown());
        justify(form, QStringLiteral("contagem"));
        clickNavigator(form, data_ui::DBNavigator::Post);
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
            QStringLiteral("Alterou o Saldo Atual de 4 para 5 (Talco, lote: T1)"),
            QStringLiteral("Justificativa: contagem"),
            QStringLiteral("Salvou o registro corrente. Saldo atual: 5"),
        }));
    }

    void anEmptiedExpiryIsNeverSaved()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        focusOn(form.DBEdit10);
        form.DBEdit10->selectAll();
        QTest::keyClick(form.DBEdit10, Qt::Key_Delete);
        leaveWithTab();
        QTRY_COMPARE(QApplication::focusWidget(), form.DBEdit10);
        QCOMPARE(rig.op.texts(), QStringList{lotedit::kExpiryMissingMessage});
        // The navigator's "Gravar" from the box, and "Salvar" clicked away from it.
        clickNavigator(form, data_ui::DBNavigator::Post);
        QCOMPARE(rig.op.texts().size(), 2);
        QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
        settle();
        QVERIFY(form.isVisible());
        QCOMPARE(rig.op.texts().size(), 4);   // told on leaving the box, and again by the refused save
        QCOMPARE(rig.op.texts().filter(lotedit::kExpiryMissingMessage).size(), 4);
        QCOMPARE(rig.dm.ESTLOTE.state(), State::Edit);
        QCOMPARE(rig.storedExpiry(), QDate(2025, 3, 1));
        QTRY_COMPARE(QApplication::focusWidget(), form.DBEdit10);
        // A date typed in its place is audited against the expiry on record, and saved.
        QTest::keyClicks(form.DBEdit10, QStringLiteral("300926"));
        clickNavigator(form, data_ui::DBNavigator::Post);
        justify(form, QStringLiteral("rotulo novo"));
        clickNavigator(form, data_ui::DBNavigator::Post);
        QCOMPARE(rig.storedExpiry(), QDate(2026, 9, 30));
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
            QStringLiteral("Alterou a Validade de 01/03/25 para 30/09/26 (Cafeína, lote: C1)"),
            QStringLiteral("Justificativa: rotulo novo"),
            QStringLiteral("Salvou o registro corrente. Saldo atual: 12,5"),
        }));
    }

    // A justification pasted on several lines is one line of the log; the expiry box the program
    // focuses after it takes the digits typed straight away.
    void aMultiLineJustificationIsOneLogLineAndTheExpiryTakesTypedDigits()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        typeInto(form.DBEdit6, QStringLiteral("9"));
        leaveWithTab();
        QTRY_COMPARE(QApplication::focusWidget(), form.Memo1);
        QGuiApplication::clipboard()->setText(QStringLiteral("quebra\r\nna contagem\nconferida"));
        QTest::keyClick(form.Memo1, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(form.Memo1, Qt::Key_Return);
        QTRY_COMPARE(QApplication::focusWidget(), form.DBEdit10);
        QTest::keyClicks(form.DBEdit10, QStringLiteral("310826"));
        QCOMPARE(form.DBEdit10->Text(), QStringLiteral("31/08/26"));
        leaveWithTab();
        justify(form, QString());   // the memo keeps the pasted text
        form.BitBtn1->click();
        QTRY_VERIFY(!form.isVisible());
        QCOMPARE(rig.storedExpiry(), QDate(2026, 8, 31));
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
            QStringLiteral("Alterou o Saldo Atual de 12,5 para 9 (Cafeína, lote: C1)"),
            QStringLiteral("Justificativa: quebra na contagem conferida"),
            QStringLiteral("Alterou a Validade de 01/03/25 para 31/08/26 (Cafeína, lote: C1)"),
            QStringLiteral("Justificativa: quebra na contagem conferida"),
            QStringLiteral("Salvou o registro corrente. Saldo atual: 9"),
        }));
    }

    void aNewLotIsFilledFromTheRegisterAndSaved()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        form.DBNavigator1->button(data_ui::DBNavigator::Insert)->click();
        settle();
        QCOMPARE(rig.dm.ESTLOTE.state(), State::Insert);
        QVERIFY(form.DBEdit1->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), form.DBEdit1);

        // 12 is a code, and not in the register; the same text again moves on without a lookup.
        QTest::keyClicks(form.DBEdit1, QStringLiteral("12"));
        QTest::keyClick(form.DBEdit1, Qt::Key_Return);
        settle();
        QCOMPARE(rig.op.texts(), QStringList{QStringLiteral("Código 12 não encontrado no Cad. de Produtos.")});
        QTRY_COMPARE(QApplication::focusWidget(), form.DBEdit1);
        QTest::keyClick(form.DBEdit1, Qt::Key_Return);
        settle();
        QTRY_COMPARE(QApplication::focusWidget(), form.DBEdit2);
        QCOMPARE(rig.op.texts().size(), 1);

        // 5 is neither code nor name; 5a is a name with no match: the options list.
        typeInto(form.DBEdit1, QStringLiteral("5"));
        QTest::keyClick(form.DBEdit1, Qt::Key_Return);
        settle();
        QVERIFY(form.PainelOpcoesDeComponentes->isHidden());
        typeInto(form.DBEdit1, QStringLiteral("OLEO"));
        QTest::keyClick(form.DBEdit1, Qt::Key_Return);
        settle();
        QVERIFY(!form.PainelOpcoesDeComponentes->isHidden());
        QVERIFY(!form.BitBtn1->isEnabled() && !form.BitBtn2->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), form.GradeOpComponentes);
        QCOMPARE(form.GradeOpComponentes->currentIndex().data().toString(), QStringLiteral("Oleo d'oliva"));
        QTest::keyClick(form.GradeOpComponentes, Qt::Key_Down);   // the register's own spelling
        QTest::keyClick(form.GradeOpComponentes, Qt::Key_Return);
        settle();
        QVERIFY(form.PainelOpcoesDeComponentes->isHidden());
        QVERIFY(form.BitBtn1->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), form.DBEdit1);
        QCOMPARE(form.DBEdit1->text(), QStringLiteral("VASELINA SOLIDA"));
        QTest::keyClick(form.DBEdit1, Qt::Key_Return);
        settle();
        QCOMPARE(form.DBEdit4->text(), QStringLiteral("00079"));
        QCOMPARE(form.DBEdit2->text(), QStringLiteral("VS-2"));

        // A typed name is normalised: "vitamina c" is the register's "Vitamina C".
        typeInto(form.DBEdit1, QStringLiteral("vitamina c"));
        QTest::keyClick(form.DBEdit1, Qt::Key_Return);
        settle();
        QTRY_COMPARE(QApplication::focusWidget(), form.DBEdit2);
        QCOMPARE(form.DBEdit1->text(), QStringLiteral("Vitamina C"));
        QCOMPARE(form.DBEdit4->text(), QStringLiteral("00077"));
        QCOMPARE(form.DBEdit8->text(), QStringLiteral("00077"));
        QCOMPARE(form.DBEdit7->text(), QStringLiteral("G"));
        QCOMPARE(form.DBEdit10->Text(), QStringLiteral("31/05/27"));
        form.DBEdit2->end(false);
        QTest::keyClick(form.DBEdit2, Qt::Key_Space);   // no blanks in a lot number
        QTest::keyClicks(form.DBEdit2, QStringLiteral("X"));
        QCOMPARE(form.DBEdit2->text(), QStringLiteral("VC-9X"));
        typeInto(form.DBEdit6, QStringLiteral("250,5"));
        form.BitBtn1->click();
        settle();
        QVERIFY(!form.isVisible());
        const db::Rows rows = rig.query(QStringLiteral(
            "select DESCRICAO, CODIGO, CODIGOEAN, LOTE, FORNECEDOR, UNIDADE, FABRICANTE, VALIDADE, SALDOCORRENTE, "
            "LABORATORIO, DENSIDADE from ESTLOTE where CODIGO = '00077'"));
        QCOMPARE(rows.rows.size(), size_t(1));
        QStringList got;
        for (const db::Value &v : rows.rows[0])
            got << v.toString();
        QCOMPARE(got, (QStringList{"Vitamina C", "00077", "00077", "VC-9X", "Galena", "G", "Merck", "31/05/2027", "250.5",
                                   "Manipulação", "1.1"}));
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
            QStringLiteral("Salvou o registro corrente. Saldo atual: 250,5"),
        }));
    }

    void anApostropheNameIsFoundAndAnEmptyDescriptionDropsTheRow()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        form.DBNavigator1->button(data_ui::DBNavigator::Insert)->click();
        settle();
        QTest::keyClicks(form.DBEdit1, QStringLiteral("OLEO D'OLIVA"));
        QTest::keyClick(form.DBEdit1, Qt::Key_Return);
        settle();
        QCOMPARE(form.DBEdit4->text(), QStringLiteral("00078"));
        QVERIFY(form.PainelOpcoesDeComponentes->isHidden());
        typeInto(form.DBEdit1, QString());
        form.DBEdit1->clear();
        QTest::keyClick(form.DBEdit1, Qt::Key_Backspace);
        QTest::keyClick(form.DBEdit1, Qt::Key_Return);
        QTRY_VERIFY(!form.isVisible());
        QCOMPARE(rig.dm.ESTLOTE.state(), State::Browse);
        QCOMPARE(rig.dm.ESTLOTE.rowCount(), 3);
        QCOMPARE(rig.query(QStringLiteral("select count(*) from ESTLOTE")).rows[0][0].toInt(), 3);
    }

    void aRefusedSaveKeepsTheFormOpenWithItsValues()
    {
        Rig rig;
        rig.exec(QStringLiteral("create exception E_RECUSADO 'Lote recusado pelo servidor'"));
        rig.exec(QStringLiteral("create trigger T_RECUSA for ESTLOTE before update as begin "
                                "if (new.LOTE = 'RECUSADO') then exception E_RECUSADO; end"));
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        typeInto(form.DBEdit2, QStringLiteral("RECUSADO"));
        form.BitBtn1->click();
        settle();
        justify(form, QStringLiteral("lote errado"));   // a change of the lot's identity
        form.BitBtn1->click();
        settle();
        QVERIFY(form.isVisible());
        QCOMPARE(rig.op.texts().size(), 1);
        QVERIFY(rig.op.texts()[0].contains(QStringLiteral("Lote recusado pelo servidor")));
        QCOMPARE(rig.dm.ESTLOTE.state(), State::Edit);
        QCOMPARE(form.DBEdit2->text(), QStringLiteral("RECUSADO"));
        QCOMPARE(form.DBEdit1->text(), QStringLiteral("Cafeína"));
        QCOMPARE(rig.query(QStringLiteral("select count(*) from ESTLOTE where LOTE = 'C1'")).rows[0][0].toInt(), 1);
        // Corrected, it is saved.
        typeInto(form.DBEdit2, QStringLiteral("C2"));
        form.BitBtn1->click();
        settle();
        justify(form, QStringLiteral("lote certo"));
        form.BitBtn1->click();
        settle();
        QVERIFY(!form.isVisible());
        QCOMPARE(rig.query(QStringLiteral("select count(*) from ESTLOTE where LOTE = 'C2'")).rows[0][0].toInt(), 1);
    }

    void aNumberItsColumnCannotHoldIsRefusedAndKeptInTheBox()
    {
        const struct {
            const char *box;
            const char *typed;
            const char *message;
        } cases[] = {
            {"DBEdit6", "1e15", "Saldo Atual: '1e15' não é um valor numérico válido"},
            {"DBEdit6", "12345678901", "Saldo Atual: o valor '12345678901' não cabe no campo (até 10 dígitos antes da vírgula)."},
            {"DBEdit12", "1e400", "Densidade: '1e400' não é um valor numérico válido"},
            {"DBEdit12", "12345678", "Densidade: o valor '12345678' não cabe no campo (até 7 dígitos antes da vírgula)."},
            {"DBEdit13", "-99999999,5", "Fator de Correção: o valor '-99999999,5' não cabe no campo (até 7 dígitos antes da vírgula)."},
            {"DBEdit13", "1,2,3", "Fator de Correção: '1,2,3' não é um valor numérico válido"},
        };
        for (const auto &c : cases) {
            const QString typed = QString::fromLatin1(c.typed);
            Rig rig;
            TForm2 form(rig.dm, rig.clock, rig.op);
            openOn(rig, form, QStringLiteral("C1"));
            auto *box = form.findChild<QLineEdit *>(QString::fromLatin1(c.box));
            QVERIFY2(box, c.box);
            typeInto(box, typed);
            leaveWithTab();
            QCOMPARE(rig.op.texts(), QStringList{QString::fromUtf8(c.message)});
            QCOMPARE(QApplication::focusWidget(), box);
            QCOMPARE(box->text(), typed);
            // Saving from the keyboard meets the same refusal: nothing reaches the database.
            QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
            settle();
            QVERIFY(form.isVisible());
            QCOMPARE(box->text(), typed);
            QVERIFY(!form.justificationShown());
            const db::Rows row = rig.query(QStringLiteral("select SALDOCORRENTE, DENSIDADE, FATORCORRECAO from ESTLOTE where LOTE = 'C1'"));
            QCOMPARE(row.rows[0][0].toDecimal(), db::Decimal::fromString(QStringLiteral("12.5")));
            QVERIFY(row.rows[0][1].isNull() && row.rows[0][2].isNull());
            QCOMPARE(rig.auditBytes(), lines({QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)")}));
        }
    }

    void theSavedLineCarriesTheSavedRowsBalanceWhenTheRowLeavesTheView()
    {
        Rig rig;
        // The grid shows lots holding more than one unit: the saved lot leaves it on the reload.
        rig.dm.ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList
                                      + QStringLiteral(" from ESTLOTE where SALDOCORRENTE > 1 order by DESCRICAO"));
        rig.dm.ESTLOTE.open();
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        typeInto(form.DBEdit6, QStringLiteral("0,5"));
        leaveWithTab();
        QTRY_COMPARE(QApplication::focusWidget(), form.Memo1);
        QTest::keyClicks(form.Memo1, QStringLiteral("perda"));
        QTest::keyClick(form.Memo1, Qt::Key_Return);
        settle();
        form.BitBtn1->click();
        settle();
        QVERIFY(!form.isVisible());
        QCOMPARE(rig.dm.ESTLOTE.text(QStringLiteral("LOTE")), QStringLiteral("T1"));
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
            QStringLiteral("Alterou o Saldo Atual de 12,5 para 0,5 (Cafeína, lote: C1)"),
            QStringLiteral("Justificativa: perda"),
            QStringLiteral("Salvou o registro corrente. Saldo atual: 0,5"),
        }));
    }

    void aLotNeverGetsASecondRowAtOneLocation()
    {
        Rig rig;
        rig.exec(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, SALDOCORRENTE) "
                                "values ('Vitamina C', 'VC-9', 'Galena', '00077', 'Manipulação', 3)"));
        rig.dm.ESTLOTE.refresh();
        const auto count = [&](const QString &where) {
            return rig.query(QStringLiteral("select count(*) from ESTLOTE where ") + where).rows[0][0].toInt();
        };
        const QString exists = QStringLiteral("O lote VC-9 de Vitamina C (código 00077, fornecedor Galena) já existe em "
                                              "Manipulação. O registro não foi gravado.");
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));

        // A new lot filled from the register with the lot this location already holds.
        form.DBNavigator1->button(data_ui::DBNavigator::Insert)->click();
        settle();
        QTRY_COMPARE(QApplication::focusWidget(), form.DBEdit1);
        QTest::keyClicks(form.DBEdit1, QStringLiteral("00077"));
        QTest::keyClick(form.DBEdit1, Qt::Key_Return);
        settle();
        QCOMPARE(form.DBEdit2->text(), QStringLiteral("VC-9"));
        form.BitBtn1->click();
        settle();
        QVERIFY(form.isVisible());
        QCOMPARE(rig.op.texts(), QStringList{exists});
        QCOMPARE(count(QStringLiteral("LOTE = 'VC-9'")), 1);
        QCOMPARE(rig.dm.ESTLOTE.state(), State::Insert);   // what was typed is still there to correct
        QCOMPARE(form.DBEdit2->text(), QStringLiteral("VC-9"));
        // At another location the same lot is a row of its own.
        rig.op.clear();
        const int elsewhere = form.DBLookupComboBox2->findText(QStringLiteral("Almoxarifado"));
        form.DBLookupComboBox2->setCurrentIndex(elsewhere);
        Q_EMIT form.DBLookupComboBox2->activated(elsewhere);
        settle();
        form.BitBtn1->click();
        settle();
        QVERIFY(!form.isVisible());
        QVERIFY(rig.op.texts().isEmpty());
        QCOMPARE(count(QStringLiteral("LOTE = 'VC-9' and LABORATORIO = 'Almoxarifado'")), 1);

        // An existing row moved onto that key is refused the same way; the row keeps its own.
        rig.op.clear();
        rig.exec(QStringLiteral("update ESTLOTE set CODIGO = '00077', FORNECEDOR = 'Galena', DESCRICAO = 'Vitamina C' "
                                "where LOTE = 'T1'"));
        rig.dm.ESTLOTE.refresh();
        TForm2 again(rig.dm, rig.clock, rig.op);
        openOn(rig, again, QStringLiteral("T1"));
        typeInto(again.DBEdit2, QStringLiteral("VC-9"));
        again.BitBtn1->click();
        settle();
        justify(again, QStringLiteral("lote do cadastro"));   // a change of the lot's identity
        again.BitBtn1->click();
        settle();
        QVERIFY(again.isVisible());
        QCOMPARE(rig.op.texts(), QStringList{exists});
        QCOMPARE(count(QStringLiteral("LOTE = 'VC-9' and LABORATORIO = 'Manipulação'")), 1);
        QCOMPARE(count(QStringLiteral("LOTE = 'T1'")), 1);
        // Re-saving the row under its own key is no duplicate of itself.
        typeInto(again.DBEdit2, QStringLiteral("T1"));
        typeInto(again.DBEdit12, QStringLiteral("2"));
        again.BitBtn1->click();
        settle();
        QVERIFY(!again.isVisible());
        QCOMPARE(count(QStringLiteral("LOTE = 'T1' and DENSIDADE = 2")), 1);
    }

    void aChangeThatIsNotSavedLeavesNoChangeLine()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        typeInto(form.DBEdit6, QStringLiteral("9"));
        leaveWithTab();
        QTRY_COMPARE(QApplication::focusWidget(), form.Memo1);
        QTest::keyClicks(form.Memo1, QStringLiteral("quebra"));
        QTest::keyClick(form.Memo1, Qt::Key_Return);
        settle();
        form.BitBtn2->click();
        settle();
        QVERIFY(!form.isVisible());
        QCOMPARE(rig.query(QStringLiteral("select SALDOCORRENTE from ESTLOTE where LOTE = 'C1'")).rows[0][0].toDecimal(),
                 db::Decimal::fromString(QStringLiteral("12.5")));
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
            QStringLiteral("Cancelou a operação. Saldo atual: 12,5"),
        }));
    }

    // A balance or a density the lot holds, emptied: refused with a message naming it, on leaving
    // the box and on saving, so the lot never drops out of the sums; the factor may be emptied.
    void aRequiredNumberEmptiedIsRefusedNamingIt_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("column");
        QTest::newRow("Saldo Atual") << QStringLiteral("DBEdit6") << lotedit::kBalanceMissingMessage << QStringLiteral("SALDOCORRENTE");
        QTest::newRow("Densidade") << QStringLiteral("DBEdit12") << lotedit::kDensityMissingMessage << QStringLiteral("DENSIDADE");
    }

    void aRequiredNumberEmptiedIsRefusedNamingIt()
    {
        QFETCH(QString, box);
        QFETCH(QString, message);
        QFETCH(QString, column);
        Rig rig;
        rig.exec(QStringLiteral("update ESTLOTE set DENSIDADE = 0.95, FATORCORRECAO = 1.2 where LOTE = 'C1'"));
        rig.dm.ESTLOTE.refresh();
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        auto *edit = form.findChild<QLineEdit *>(box);
        focusOn(edit);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        leaveWithTab();
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(rig.op.texts(), QStringList{message});
        QVERIFY(!form.justificationShown());
        // Saved from the keyboard, and with "Salvar" clicked: refused alike, nothing written.
        QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(rig.op.texts().size(), 2);
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
        settle();
        QVERIFY(form.isVisible());
        // Told on leaving the box, by the refused Alt+S, on leaving it for "Salvar" and by that save.
        QTRY_COMPARE(rig.op.texts(), QStringList({message, message, message, message}));
        const db::Rows row = rig.query(QStringLiteral("select %1 from ESTLOTE where LOTE = 'C1'").arg(column));
        QVERIFY(!row.rows[0][0].isNull());
        // A value typed in its place is saved (a balance after its justification).
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        QTest::keyClicks(edit, QStringLiteral("3"));
        QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(form.justificationShown() || !form.isVisible());
        if (form.justificationShown()) {
            justify(form, QStringLiteral("recontagem"));
            QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
            settle();
        }
        QTRY_VERIFY(!form.isVisible());
        QCOMPARE(rig.query(QStringLiteral("select %1 from ESTLOTE where LOTE = 'C1'").arg(column)).rows[0][0].toDecimal(),
                 db::Decimal::fromString(QStringLiteral("3")));
        // No line ever told of a change to nothing.
        QVERIFY(!rig.auditBytes().contains("para  ("));

        // The factor, the one other number of the form, may be left empty: it is stored as no value.
        rig.op.clear();
        TForm2 again(rig.dm, rig.clock, rig.op);
        openOn(rig, again, QStringLiteral("C1"));
        focusOn(again.DBEdit13);
        again.DBEdit13->selectAll();
        QTest::keyClick(again.DBEdit13, Qt::Key_Delete);
        leaveWithTab();
        QTest::keyClick(&again, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(!again.isVisible());
        QVERIFY(rig.op.texts().isEmpty());
        QVERIFY(rig.query(QStringLiteral("select FATORCORRECAO from ESTLOTE where LOTE = 'C1'")).rows[0][0].isNull());
    }

    // A date that is no date is refused naming its box; while a box holds it (or an emptied
    // expiry or balance), "Cancelar" and the close box still drop the whole edit.
    void anUnreadableOrEmptiedBoxNeverHoldsTheFormOpen_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("closeBox");
        const QString noDate = QStringLiteral("Validade: '31/02/25' não é uma data válida");
        QTest::newRow("no date, Cancelar") << QStringLiteral("DBEdit10") << QStringLiteral("310225") << noDate << false;
        QTest::newRow("no date, close box") << QStringLiteral("DBEdit10") << QStringLiteral("310225") << noDate << true;
        QTest::newRow("emptied expiry, Cancelar") << QStringLiteral("DBEdit10") << QString() << lotedit::kExpiryMissingMessage << false;
        QTest::newRow("emptied expiry, close box") << QStringLiteral("DBEdit10") << QString() << lotedit::kExpiryMissingMessage << true;
        QTest::newRow("emptied balance, Cancelar") << QStringLiteral("DBEdit6") << QString() << lotedit::kBalanceMissingMessage << false;
    }

    void anUnreadableOrEmptiedBoxNeverHoldsTheFormOpen()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(bool, closeBox);
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        auto *edit = form.findChild<QLineEdit *>(box);
        focusOn(edit);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        edit->setCursorPosition(0);
        QTest::keyClicks(edit, typed);
        leaveWithTab();
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(rig.op.texts(), QStringList{message});
        if (closeBox)
            QVERIFY(form.close());
        else
            QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
        settle();
        QTRY_VERIFY(!form.isVisible());
        QCOMPARE(rig.op.texts(), QStringList{message});   // nothing more to answer on the way out
        QCOMPARE(rig.dm.ESTLOTE.state(), State::Browse);
        QCOMPARE(rig.storedExpiry(), QDate(2025, 3, 1));
        QCOMPARE(rig.storedBalance(), db::Decimal::fromString(QStringLiteral("12.5")));
        QVERIFY(rig.auditBytes().endsWith(lines({QStringLiteral("Cancelou a operação. Saldo atual: 12,5")})));
    }

    // What did not happen is not on record: a refused keystroke then "Salvar" saves nothing, and
    // passing through every box then "Próximo" cancels nothing.
    void nothingTypedLeavesNoSaveOrCancelLine()
    {
        Rig rig;
        {
            TForm2 form(rig.dm, rig.clock, rig.op);
            openOn(rig, form, QStringLiteral("C1"));
            focusOn(form.DBEdit6);
            // A letter the number refuses, and a Backspace with nothing before the cursor.
            QTest::keyClicks(form.DBEdit6, QStringLiteral("x"));
            QTest::keyClick(form.DBEdit6, Qt::Key_Home);
            QTest::keyClick(form.DBEdit6, Qt::Key_Backspace);
            QCOMPARE(form.DBEdit6->text(), QStringLiteral("12,5"));
            QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
            QTRY_VERIFY(!form.isVisible());
        }
        {
            TForm2 form(rig.dm, rig.clock, rig.op);
            openOn(rig, form, QStringLiteral("C1"));
            focusOn(form.DBEdit2);
            for (int i = 0; i < 22; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                settle();
            }
            QCOMPARE(rig.dm.ESTLOTE.state(), State::Browse);
            clickNavigator(form, data_ui::DBNavigator::Next);
            form.BitBtn2->click();
            settle();
        }
        QVERIFY(rig.op.texts().isEmpty());
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
        }));
    }

    // A stored lot given another lot number or supplier (or code) is detached from its purchases,
    // movements and certificate: the change is justified and put on record, old and new value.
    void anIdentityChangeIsJustifiedAndLogged()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        typeInto(form.DBEdit2, QStringLiteral("C-01"));
        leaveWithTab();
        QVERIFY(form.justificationShown());
        QVERIFY(!form.DBNavigator1->isEnabled());
        justify(form, QStringLiteral("etiqueta trocada"));
        QTRY_COMPARE(QApplication::focusWidget(), form.DBFornec);
        form.Memo1->clear();   // the memo keeps the last justification otherwise
        // Another supplier picked and saved from the keyboard without leaving its box: asked first.
        const int galena = form.DBFornec->findText(QStringLiteral("Galena"), Qt::MatchStartsWith);
        form.DBFornec->setCurrentIndex(galena);
        Q_EMIT form.DBFornec->activated(galena);
        settle();
        QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(form.justificationShown());
        QVERIFY(form.isVisible());
        QCOMPARE(rig.query(QStringLiteral("select count(*) from ESTLOTE where LOTE = 'C1'")).rows[0][0].toInt(), 1);
        justify(form, QStringLiteral("nota do fornecedor"));
        QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(!form.isVisible());
        QCOMPARE(rig.query(QStringLiteral("select FORNECEDOR from ESTLOTE where LOTE = 'C-01'")).rows[0][0].toString(),
                 QStringLiteral("Galena Quimica e Farmaceutica Ltda "));
        QCOMPARE(rig.auditBytes(), lines({
            QStringLiteral("Abriu a edição do registro: Cafeína (lote: C1)"),
            QStringLiteral("Alterou o Lote de C1 para C-01 (Cafeína, lote: C-01)"),
            QStringLiteral("Justificativa: etiqueta trocada"),
            QStringLiteral("Alterou o Fornecedor de Pharma para Galena Quimica e Farmaceutica Ltda  (Cafeína, lote: C-01)"),
            QStringLiteral("Justificativa: nota do fornecedor"),
            QStringLiteral("Salvou o registro corrente. Saldo atual: 12,5"),
        }));
    }

    void theCloseBoxCancelsWhatIsPending()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        typeInto(form.DBEdit2, QStringLiteral("ZZ"));
        QVERIFY(form.close());
        QCOMPARE(rig.dm.ESTLOTE.state(), State::Browse);
        QCOMPARE(rig.dm.ESTLOTE.text(QStringLiteral("LOTE")), QStringLiteral("C1"));
        QCOMPARE(rig.query(QStringLiteral("select count(*) from ESTLOTE where LOTE = 'ZZ'")).rows[0][0].toInt(), 0);
        QVERIFY(!rig.dm.TabLab.isOpen() && !rig.dm.Forneced.isOpen());
        QVERIFY(rig.auditBytes().endsWith(lines({QStringLiteral("Cancelou a operação. Saldo atual: 12,5")})));
    }

    void theDeletionCodeGuardsTheMenuDeletion()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        const QString code = lotedit::DeletionCode(rig.clock.today());
        rig.op.answer({platform::Answer::Yes, platform::Answer::Yes});
        form.Excluiresteregistro1->trigger();
        QVERIFY(!form.PainelSenha->isHidden());
        QTRY_COMPARE(QApplication::focusWidget(), form.MaskEdit1);
        QTest::keyClicks(form.MaskEdit1, QStringLiteral("0") + code);
        QTest::keyClick(form.MaskEdit1, Qt::Key_Return);
        QVERIFY(form.PainelSenha->isHidden());
        QCOMPARE(rig.dm.ESTLOTE.rowCount(), 3);
        form.Excluiresteregistro1->trigger();
        form.MaskEdit1->clear();
        QTest::keyClicks(form.MaskEdit1, code);
        QTest::keyClick(form.MaskEdit1, Qt::Key_Return);
        QCOMPARE(rig.op.texts(), (QStringList{lotedit::DeleteQuestion(QStringLiteral("Cafeína"), QStringLiteral("C1")),
                                              lotedit::kDeletionDeniedMessage,
                                              lotedit::DeleteQuestion(QStringLiteral("Cafeína"), QStringLiteral("C1"))}));
        QCOMPARE(rig.query(QStringLiteral("select count(*) from ESTLOTE where LOTE = 'C1'")).rows[0][0].toInt(), 0);
        QCOMPARE(rig.dm.ESTLOTE.rowCount(), 2);
        QVERIFY(rig.auditBytes().endsWith(lines({QStringLiteral("Excluiu o registro de Cafeína (C1)")})));
    }

    void aConfiguredSituationListEndsAtItsFirstEmptyOption()
    {
        Rig rig;
        rig.run.siteConfig.SituationOptionsText = QStringLiteral("A//B");
        core::SplitSituationOptions(rig.run.siteConfig);
        TForm2 form(rig.dm, rig.clock, rig.op);
        openOn(rig, form, QStringLiteral("C1"));
        QCOMPARE(form.DBComboBox1->count(), 1);
        QCOMPARE(form.DBComboBox1->itemText(0), QStringLiteral("A"));
        QCOMPARE(form.DBComboBox1->currentText(), QStringLiteral("Estoque"));
    }
};

QTEST_MAIN(TForm2Test)
#include "tform2_qtest.moc"
