// The transfer form on a real central database: the source lot's values in its controls, the
// keys, refusals that keep the source and the operator where they were, and the stock view
// rebuilt when it closes.
#include "common/stockquery.h"
#include "support/modulerig.h"
#include "transfer/transfer.h"
#include "transfer/ui/tform3.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

using testsupport::ModuleRig;

namespace {

void addLot(ModuleRig &rig, const QString &lab, const QString &saldo, const QString &previsto)
{
    rig.tdb.conn().execute(
        QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, SALDOPREVISTO, "
                       "UNIDADE, CODIGOEAN, FABRICANTE, VALIDADE, SITUACAO, DENSIDADE, FATORCORRECAO, LABORATORIO) "
                       "values ('ACIDO ASCORBICO', 'L100', 'Galena', '00042', %1, %2, 'g', '7891234567890', 'Fab', "
                       "'2027-05-31', 'Aprovado', 1, 1, ?)")
            .arg(saldo, previsto),
        {db::Value::text(lab)});
}

QStringList balances(ModuleRig &rig)
{
    QStringList out;
    for (const auto &r : rig.tdb.conn()
                             .query(QStringLiteral("select LABORATORIO, SALDOCORRENTE, SALDOPREVISTO from ESTLOTE "
                                                   "order by LABORATORIO"))
                             .rows)
        out << r[0].toString() + QStringLiteral(": ") + r[1].toString() + QLatin1Char('/') + r[2].toString();
    return out;
}

// The main window as the form sees it: the two filter indexes, the wait panel, the search box.
struct MainWindowStandIn {
    QWidget window;
    QLineEdit *search = new QLineEdit(&window);
    QLineEdit *other = new QLineEdit(&window);
    MainWindowStandIn()
    {
        auto *l = new QVBoxLayout(&window);
        l->addWidget(search);
        l->addWidget(other);
        window.show();
        other->setFocus();
    }
};

} // namespace

class TForm3Test : public QObject {
    Q_OBJECT

    std::unique_ptr<ModuleRig> rig;
    std::unique_ptr<MainWindowStandIn> main;

    std::unique_ptr<transfer_ui::TForm3> openForm()
    {
        auto form = std::make_unique<transfer_ui::TForm3>(
            rig->dm, rig->clock, rig->op,
            transfer_ui::MainWindowLink{[] { return std::pair{6, 1}; }, &rig->wait, main->search});
        form->show();
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form.get(), 2000))
            form->FormActivate();   // a platform that does not activate windows
        return form;
    }

private Q_SLOTS:
    void init()
    {
        rig = std::make_unique<ModuleRig>();
        addLot(*rig, QStringLiteral("Almoxarifado"), QStringLiteral("20"), QStringLiteral("30"));
        addLot(*rig, QStringLiteral("Loja 1"), QStringLiteral("2"), QStringLiteral("4"));
        rig->exec(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Loja 1', '1')"));
        rig->exec(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Loja 2', '2')"));
        rig->run.LabScopeClause = QStringLiteral("(UPPER(LABORATORIO) = 'ALMOXARIFADO') OR (UPPER(LABORATORIO) = 'LOJA 1')");
        rig->dm.ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList
                                       + QStringLiteral(" from ESTLOTE order by LABORATORIO"));
        rig->dm.ESTLOTE.open();
        main = std::make_unique<MainWindowStandIn>();
    }

    void cleanup()
    {
        main.reset();
        rig.reset();
    }

    void showsTheSourceLotAndTheDestinations()
    {
        auto form = openForm();
        QCOMPARE(form->windowTitle(), QStringLiteral("  Transferência de estoque entre laboratórios e lojas"));
        QCOMPARE(form->DBEdit1->text(), QStringLiteral("ACIDO ASCORBICO"));
        QCOMPARE(form->DBEdit2->text(), QStringLiteral("L100"));
        QCOMPARE(form->DBText2->text(), QStringLiteral("Galena"));
        QCOMPARE(form->DBEdit4->text(), QStringLiteral("00042"));
        QVERIFY(!form->DBEdit4->isEnabled() && !form->DBEdit8->isEnabled());
        QCOMPARE(form->DBEdit8->text(), QStringLiteral("7891234567890"));
        QCOMPARE(form->DBEdit10->text(), QStringLiteral("31/05/2027"));
        QCOMPARE(form->DBText3->text(), QStringLiteral("Aprovado"));
        QCOMPARE(form->DBText4->text(), QStringLiteral("Almoxarifado"));
        QCOMPARE(form->DBText1->text(), QStringLiteral("g"));
        QCOMPARE(form->Label7->text(), QStringLiteral("20 g  "));
        QStringList items;
        for (int i = 0; i < form->ComboBox1->count(); ++i)
            items << form->ComboBox1->itemText(i);
        QCOMPARE(items, (QStringList{QStringLiteral("Almoxarifado"), QStringLiteral("Loja 1"), QStringLiteral("Loja 2"),
                                     QStringLiteral("EmTransito"), QStringLiteral("Terceiros")}));
        QCOMPARE(form->focusWidget(), form->Edit1);

        // Enter walks quantity -> destination -> "Transferir"; a new activation keeps the typed place.
        QTest::keyClicks(form->Edit1, QStringLiteral("3"));
        QTest::keyClick(form->Edit1, Qt::Key_Return);
        QCOMPARE(form->focusWidget(), form->ComboBox1);
        QTest::keyClicks(form->ComboBox1, QStringLiteral("Loja 9"));
        QTest::keyClick(form->ComboBox1, Qt::Key_Return);
        QCOMPARE(form->focusWidget(), form->BitBtn1);
        QVERIFY(form->isVisible());
        form->FormActivate();
        QCOMPARE(form->ComboBox1->currentText(), QStringLiteral("Loja 9"));
        QCOMPARE(form->ComboBox1->count(), 5);
        QCOMPARE(rig->op.texts(), QStringList());
    }

    void refusalsKeepTheSourceAndTheOperatorInPlace()
    {
        auto form = openForm();
        // The lot dataset moves on (another row current): the form's source stays the lot it opened on.
        rig->dm.ESTLOTE.next();
        QCOMPARE(rig->dm.ESTLOTE.text(QStringLiteral("LABORATORIO")), QStringLiteral("Loja 1"));
        const QStringList before = balances(*rig);

        form->Edit1->setText(QStringLiteral("21"));
        form->ComboBox1->setEditText(QStringLiteral("Loja 1"));
        form->BitBtn1->click();
        QCOMPARE(rig->op.texts(), QStringList{transfer::kQuantityMessage});
        QCOMPARE(form->focusWidget(), form->Edit1);
        // The refused quantity is selected, also back from the message box: typing replaces it.
        form->FormActivate();
        QCOMPARE(form->Edit1->selectedText(), QStringLiteral("21"));
        QTest::keyClicks(form->Edit1, QStringLiteral("99999999999"));
        form->BitBtn1->click();
        QCOMPARE(rig->op.texts().last(), transfer::kQuantityMessage);
        QCOMPARE(form->Edit1->selectedText(), QStringLiteral("99999999999"));

        form->Edit1->setText(QStringLiteral("5"));
        form->ComboBox1->setEditText(QStringLiteral("Almoxarifado"));
        form->BitBtn1->click();
        QCOMPARE(rig->op.texts().last(), transfer::kOwnLocationMessage);
        QCOMPARE(form->focusWidget(), form->ComboBox1);
        // Back from the message box, the operator is where the message sent him.
        form->FormActivate();
        QCOMPARE(form->focusWidget(), form->ComboBox1);

        form->Edit1->setText(QStringLiteral("cinco"));
        QVERIFY_THROWS_EXCEPTION(transfer::QuantityFormatError, form->BitBtn1Click());
        QVERIFY(form->isVisible());
        QCOMPARE(form->DBText4->text(), QStringLiteral("Almoxarifado"));
        QCOMPARE(balances(*rig), before);

        // Another workstation took stock meanwhile: the refusal shows the balance as stored.
        rig->exec(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 4 where LABORATORIO = 'Almoxarifado'"));
        form->Edit1->setText(QStringLiteral("4,5"));
        form->ComboBox1->setEditText(QStringLiteral("Loja 1"));
        form->BitBtn1->click();
        QCOMPARE(rig->op.texts().last(), transfer::kQuantityMessage);
        QCOMPARE(form->Label7->text(), QStringLiteral("4 g  "));
        QVERIFY(form->isVisible());
    }

    void aTransferClosesTheFormAndTheStockViewIsBuiltAgain()
    {
        auto form = openForm();
        rig->dm.ESTLOTE.next();
        form->Edit1->setText(QStringLiteral("5"));
        form->ComboBox1->setEditText(QStringLiteral("Loja 1"));
        form->BitBtn1->click();
        QCOMPARE(rig->op.texts(), QStringList());
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QCOMPARE(balances(*rig), (QStringList{QStringLiteral("Almoxarifado: 15/15"), QStringLiteral("Loja 1: 7/9")}));

        // The current filter's statement again, on the lot the transfer started from (whatever row
        // the grid had moved to meanwhile); the search box has the focus.
        data::CachedDataset &lots = rig->dm.ESTLOTE;
        QVERIFY(lots.isOpen());
        QCOMPARE(lots.commandText(), browser::StockStatement(6, 1, rig->run.LabScopeClause, rig->clock.today()));
        QCOMPARE(lots.rowCount(), 2);
        QCOMPARE(lots.text(QStringLiteral("LOTE")), form->DBEdit2->text());
        QCOMPARE(lots.text(QStringLiteral("LABORATORIO")), form->DBText4->text());
        QCOMPARE(rig->wait.calls, (QStringList{QStringLiteral("show"), QStringLiteral("hide")}));
        QCOMPARE(main->window.focusWidget(), main->search);
    }

    void sairClosesWithoutChangesAndStillRebuildsTheView()
    {
        auto form = openForm();
        const QStringList before = balances(*rig);
        form->Edit1->setText(QStringLiteral("5"));
        form->BitBtn2->click();
        QVERIFY(!form->isVisible());
        QCOMPARE(balances(*rig), before);
        QCOMPARE(rig->wait.shown(), 1);
        QCOMPARE(rig->dm.ESTLOTE.commandText(), browser::StockStatement(6, 1, rig->run.LabScopeClause, rig->clock.today()));
        QCOMPARE(rig->op.texts(), QStringList());
    }
};

QTEST_MAIN(TForm3Test)
#include "tform3_qtest.moc"
