// The certificate panel hosted as the lot edit form hosts it, driven through its own widgets on a
// real database: opened for the form's lot, header and results typed and saved, the header kept
// in step across tests, a refused date keeping the panel open, the calendar and the print button.
#include "lotedit/ui/painelespecificacoes.h"

#include "platform/clipboard.h"
#include "support/modulerig.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QGuiApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using lotedit_ui::PainelEspecificacoes;

namespace {

struct Host {
    testsupport::ModuleRig rig;
    data::DataSource DS_ESTLOTE{rig.dm.ESTLOTE, rig.op};
    platform::SystemClipboard clipboard;
    QWidget form;
    QPushButton *BitBtn1, *BitBtn2, *BitBtn3;
    PainelEspecificacoes *panel = nullptr;

    Host()
    {
        rig.run.UserName = QStringLiteral("MARIA");
        rig.exec(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, VALIDADE) "
                                "values ('Ácido Bórico', 'L-1', 'D''Ávila', '001', 'Almoxarifado', '2027-05-31')"));
        rig.exec(QStringLiteral("insert into ESPECIFICACOES values (1, 'Aspecto', 'Pó branco')"));
        rig.exec(QStringLiteral("insert into ESPECIFICACOES values (2, 'pH', '5,0 a 7,0')"));
        rig.exec(QStringLiteral("insert into ENSAIOS values ('001', 1)"));
        rig.exec(QStringLiteral("insert into ENSAIOS values ('001', 2)"));
        rig.dm.ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE"));
        rig.dm.ESTLOTE.open();

        form.resize(704, 521);
        BitBtn1 = new QPushButton(QStringLiteral("Salvar"), &form);
        BitBtn2 = new QPushButton(QStringLiteral("Cancelar"), &form);
        BitBtn3 = new QPushButton(QStringLiteral("CQ - Laudo de Análise"), &form);
        panel = new PainelEspecificacoes(rig.dm, DS_ESTLOTE, rig.op, rig.clock, rig.paths, clipboard, &form);
        panel->setFormControls({BitBtn1, BitBtn2, BitBtn3});
        QObject::connect(BitBtn3, &QPushButton::clicked, panel, &PainelEspecificacoes::BitBtn3Click);
        form.show();
        form.activateWindow();
    }

    db::Rows query(const QString &sql) { return rig.tdb.conn().query(sql); }
    QString header(const char *column)
    {
        return query(QStringLiteral("select %1 from LAUDOPORLOTE").arg(QLatin1String(column))).rows.front().front().toString();
    }
    QString result(int entryCode)
    {
        return query(QStringLiteral("select RESULTADO from CQPORLOTE where CODIGOESPEC = %1").arg(entryCode)).rows.front().front().toString();
    }
    int laudoTestCode(int row) const
    {
        const data::CachedDataset &ds = rig.dm.Laudo;
        return int(ds.valueAt(row, ds.fieldIndex(QStringLiteral("CODIGOESPEC"))).toInt());
    }
};

// Typing, accented letters included (QTest's own typing takes ASCII only).
void typeText(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 128)
            QTest::keyClick(w, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void replaceText(QWidget *w, const QString &text)
{
    w->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), w);
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    typeText(w, text);
}

void enter(QWidget *w)
{
    QTest::keyClick(w, Qt::Key_Return);
}

} // namespace

class PainelEspecificacoesTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Host> h;

private Q_SLOTS:
    void init()
    {
        h = std::make_unique<Host>();
        QVERIFY(QTest::qWaitForWindowActive(&h->form));
    }
    void cleanup() { h.reset(); }

    void openingFindsOrCreatesTheLotsCertificate()
    {
        QVERIFY(!h->panel->isVisible());
        QTest::mouseClick(h->BitBtn3, Qt::LeftButton);
        QVERIFY(h->panel->isVisible());
        QCOMPARE(h->panel->geometry(), h->form.rect());
        QCOMPARE(h->panel->Panel2->text(), QStringLiteral("Controle de Qualidade - Laudo de Análise"));
        QCOMPARE(h->panel->DBText1->text(), QStringLiteral("Ácido Bórico"));
        QCOMPARE(h->panel->DBText3->text(), QStringLiteral("D'Ávila"));
        QCOMPARE(h->panel->DBGrid1->model()->rowCount(), 2);
        QCOMPARE(h->panel->DBGrid1->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Especificação"));
        for (QWidget *w : {static_cast<QWidget *>(h->BitBtn1), static_cast<QWidget *>(h->BitBtn2), static_cast<QWidget *>(h->BitBtn3)})
            QVERIFY(!w->isEnabled());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(h->panel->DBEdit3));
        QCOMPARE(h->query(QStringLiteral("select count(*) from LAUDOPORLOTE")).rows.front().front().toInt(), 1);
        QCOMPARE(h->header("FORNECEDOR"), QStringLiteral("D'Ávila"));
        QCOMPARE(h->result(1), QStringLiteral("Pó branco"));

        // Sair with nothing typed closes and gives the form its buttons back; opening again
        // creates nothing.
        QTest::mouseClick(h->panel->BitBtn7, Qt::LeftButton);
        QVERIFY(!h->panel->isVisible());
        QVERIFY(h->BitBtn3->isEnabled());
        QVERIFY(!h->rig.dm.Laudo.isOpen());
        QTest::mouseClick(h->BitBtn3, Qt::LeftButton);
        QCOMPARE(h->query(QStringLiteral("select count(*) from CQPORLOTE")).rows.front().front().toInt(), 2);
        QVERIFY(h->rig.op.texts().isEmpty());

        // The form closed with the panel open drops the display rows.
        QVERIFY(h->rig.dm.Laudo.isOpen());
        delete h->panel;
        h->panel = nullptr;
        QVERIFY(!h->rig.dm.Laudo.isOpen());
    }

    void headerAndResultsTypedAreSavedAndTheHeaderFollowsEveryTest()
    {
        auto *p = h->panel;
        QTest::mouseClick(h->BitBtn3, Qt::LeftButton);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->DBEdit3));
        p->DBEdit3->setCursorPosition(0);
        typeText(p->DBEdit3, QStringLiteral("010324"));
        enter(p->DBEdit3);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->DBEdit5));
        typeText(p->DBEdit5, QStringLiteral("25 kg"));
        enter(p->DBEdit5);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->DBComboBox4));
        typeText(p->DBComboBox4, QStringLiteral("Aprovado"));
        enter(p->DBComboBox4);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->DBEdit11));
        typeText(p->DBEdit11, QStringLiteral("D'Ávila"));
        enter(p->DBEdit11);
        typeText(p->DBEdit14, QStringLiteral("Zé"));
        enter(p->DBEdit14);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->DBMemo2));

        // Enter in the result saves the header and this test's result, then goes to the next test.
        const int first = h->laudoTestCode(0), second = h->laudoTestCode(1);
        replaceText(p->DBMemo2, QStringLiteral("conforme 'USP'"));
        enter(p->DBMemo2);
        QCOMPARE(h->rig.dm.Laudo.currentRow(), 1);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->DBMemo2));
        QCOMPARE(h->header("DATA"), QStringLiteral("01/03/2024"));
        QCOMPARE(h->header("ANALISTA"), QStringLiteral("D'Ávila"));
        QCOMPARE(h->header("RESULTADOFINAL"), QStringLiteral("Aprovado"));
        QCOMPARE(h->result(first), QStringLiteral("conforme 'USP'"));
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("Update CQPORLOTE set RESULTADO  = 'conforme ''USP''' where CODIGOLAUDO = 1 and CODIGOESPEC = %1").arg(first));
        // The next test shows the header just typed.
        QCOMPARE(p->DBEdit11->text(), QStringLiteral("D'Ávila"));
        QCOMPARE(p->DBEdit3->Text(), QStringLiteral("01/03/24"));

        // On the second test: its result and a new analyst; back on the first test the analyst
        // is the new one, and Sair there writes it.
        replaceText(p->DBMemo2, QStringLiteral("6,1"));
        replaceText(p->DBEdit11, QStringLiteral("Beltrano"));
        const QRect cell = p->DBGrid1->visualRect(p->DBGrid1->model()->index(0, 1));
        QTest::mouseClick(p->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(h->rig.dm.Laudo.currentRow(), 0);
        QCOMPARE(p->DBEdit11->text(), QStringLiteral("Beltrano"));
        QCOMPARE(p->DBMemo2->toPlainText(), QStringLiteral("conforme 'USP'"));

        QTest::mouseClick(p->BitBtn7, Qt::LeftButton);
        QVERIFY(!p->isVisible());
        QCOMPARE(h->header("ANALISTA"), QStringLiteral("Beltrano"));
        QCOMPARE(h->header("MANIPULADOR"), QStringLiteral("Zé"));
        QCOMPARE(h->result(first), QStringLiteral("conforme 'USP'"));
        QCOMPARE(h->result(second), QStringLiteral("6,1"));
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("Update CQPORLOTE set RESULTADO  = '6,1' where CODIGOLAUDO = 1 and CODIGOESPEC = %1").arg(second));
        QVERIFY(h->rig.op.texts().isEmpty());

        // Opened again, the panel shows what was saved.
        QTest::mouseClick(h->BitBtn3, Qt::LeftButton);
        QCOMPARE(p->DBEdit11->text(), QStringLiteral("Beltrano"));
        QCOMPARE(p->DBEdit5->text(), QStringLiteral("25 kg"));
    }

    void aDateThatIsNoDateKeepsThePanelOpenWithWhatWasTyped()
    {
        auto *p = h->panel;
        QTest::mouseClick(h->BitBtn3, Qt::LeftButton);
        replaceText(p->DBEdit11, QStringLiteral("Ana"));
        replaceText(p->DBEdit3, QString());
        p->DBEdit3->setCursorPosition(0);
        typeText(p->DBEdit3, QStringLiteral("310224"));
        QTest::mouseClick(p->BitBtn7, Qt::LeftButton);
        QVERIFY(p->isVisible());
        QVERIFY(h->rig.op.texts().contains(QStringLiteral("Data: '31/02/24' não é uma data válida")));
        QCOMPARE(p->DBEdit11->text(), QStringLiteral("Ana"));
        QCOMPARE(p->DBEdit3->Text(), QStringLiteral("31/02/24"));
        QVERIFY(h->query(QStringLiteral("select ANALISTA from LAUDOPORLOTE")).rows.front().front().isNull());
        QVERIFY(!h->BitBtn3->isEnabled());

        // Corrected, Sair writes everything.
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->DBEdit3));
        p->DBEdit3->setCursorPosition(0);
        typeText(p->DBEdit3, QStringLiteral("280224"));
        QCOMPARE(p->DBEdit3->Text(), QStringLiteral("28/02/24"));
        QTest::mouseClick(p->BitBtn7, Qt::LeftButton);
        QVERIFY(!p->isVisible());
        QCOMPARE(h->header("DATA"), QStringLiteral("28/02/2024"));
        QCOMPARE(h->header("ANALISTA"), QStringLiteral("Ana"));
    }

    void aFailedSaveTellsTheOperatorAndLeavesTheCertificateAsItWas()
    {
        // The server refuses one of the results.
        h->rig.exec(QStringLiteral("create exception RECUSADO 'Resultado recusado'"));
        h->rig.exec(QStringLiteral("create trigger CQ_RECUSA for CQPORLOTE before update as begin "
                                   "if (new.RESULTADO = 'falha') then exception RECUSADO; end"));
        auto *p = h->panel;
        QTest::mouseClick(h->BitBtn3, Qt::LeftButton);
        replaceText(p->DBEdit11, QStringLiteral("Ana"));
        const QRect cell = p->DBGrid1->visualRect(p->DBGrid1->model()->index(1, 1));
        QTest::mouseClick(p->DBGrid1->viewport(), Qt::LeftButton, {}, cell.center());
        replaceText(p->DBMemo2, QStringLiteral("falha"));
        QTest::mouseClick(p->BitBtn7, Qt::LeftButton);
        QVERIFY(p->isVisible());
        QCOMPARE(h->rig.op.messages().size(), 1);
        QCOMPARE(h->rig.op.messages().front().kind, testsupport::MessageKind::Error);
        QVERIFY(h->rig.op.texts().front().contains(QStringLiteral("Resultado recusado")));
        QVERIFY(h->query(QStringLiteral("select ANALISTA from LAUDOPORLOTE")).rows.front().front().isNull());
        QCOMPARE(p->DBEdit11->text(), QStringLiteral("Ana"));
        QCOMPARE(p->DBMemo2->toPlainText(), QStringLiteral("falha"));
    }

    void theDateTakesDigitsTypedAsSoonAsThePanelOpens()
    {
        auto *p = h->panel;
        QTest::mouseClick(h->BitBtn3, Qt::LeftButton);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->DBEdit3));
        typeText(p->DBEdit3, QStringLiteral("150324"));
        QCOMPARE(p->DBEdit3->Text(), QStringLiteral("15/03/24"));
        QTest::mouseClick(p->BitBtn7, Qt::LeftButton);
        QVERIFY(!p->isVisible());
        QCOMPARE(h->header("DATA"), QStringLiteral("15/03/2024"));
    }

    void aResultLongerThanItsColumnIsRefusedNotCut()
    {
        auto *p = h->panel;
        QTest::mouseClick(h->BitBtn3, Qt::LeftButton);
        const int first = h->laudoTestCode(0);
        const QString tooLong = QStringLiteral("conforme ").repeated(33) + QStringLiteral("USP 44");   // 303 characters
        QCOMPARE(tooLong.size(), 303);
        const auto paste = [&](const QString &text) {
            QGuiApplication::clipboard()->setText(text);
            p->DBMemo2->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->DBMemo2));
            QTest::keyClick(p->DBMemo2, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(p->DBMemo2, Qt::Key_V, Qt::ControlModifier);
        };
        paste(tooLong);
        // Neither Enter in the memo nor "Sair" writes it: the operator is told, the text stays whole.
        enter(p->DBMemo2);
        QTest::mouseClick(p->BitBtn7, Qt::LeftButton);
        QVERIFY(p->isVisible());
        // Told by each road (leaving the memo, Enter, Sair), always the same words.
        QStringList told = h->rig.op.texts();
        QVERIFY(told.size() >= 2);
        told.removeDuplicates();
        QCOMPARE(told, QStringList{data::TextTooLongMessage(QStringLiteral("Resultado do ensaio"), 303, 250)});
        QCOMPARE(p->DBMemo2->toPlainText(), tooLong);
        QCOMPARE(h->result(first), QStringLiteral("Pó branco"));
        // Shortened to the column, it is saved as typed.
        paste(tooLong.left(250));
        QTest::mouseClick(p->BitBtn7, Qt::LeftButton);
        QVERIFY(!p->isVisible());
        QCOMPARE(h->result(first), tooLong.left(250));
    }

    void aCertificateWithoutTestsKeepsItsHeaderAndShowsNoRow()
    {
        h->rig.exec(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, VALIDADE) "
                                   "values ('Talco', 'T-9', 'Pharma', '002', 'Almoxarifado', '2027-01-31')"));
        data::CachedDataset &lot = h->rig.dm.ESTLOTE;
        lot.close();
        lot.open();
        QVERIFY(lot.locate(QStringLiteral("LOTE"), db::Value::text(QStringLiteral("T-9"))));
        auto *p = h->panel;
        const auto opened = [&] {
            QTest::mouseClick(h->BitBtn3, Qt::LeftButton);
            QVERIFY(p->isVisible());
            QCOMPARE(h->rig.dm.Laudo.rowCount(), 1);
            QVERIFY(p->DBGrid1->isRowHidden(0));
            QVERIFY(p->DBMemo2->isReadOnly());
        };
        opened();
        replaceText(p->DBEdit11, QStringLiteral("Fulano"));
        replaceText(p->DBEdit5, QStringLiteral("5 kg"));
        // Typing in the header adds no row.
        QCOMPARE(h->rig.dm.Laudo.rowCount(), 1);
        QCOMPARE(h->rig.dm.Laudo.state(), data::CachedDataset::State::Edit);
        QTest::mouseClick(p->BitBtn7, Qt::LeftButton);
        QVERIFY(!p->isVisible());
        QVERIFY(h->rig.op.texts().isEmpty());
        const db::Rows saved = h->query(QStringLiteral("select ANALISTA, TAMANHOLOTE from LAUDOPORLOTE where CODIGOCOMP = '002'"));
        QCOMPARE(saved.rows.size(), size_t(1));
        QCOMPARE(saved.rows[0][0].toString(), QStringLiteral("Fulano"));
        QCOMPARE(saved.rows[0][1].toString(), QStringLiteral("5 kg"));
        QCOMPARE(h->query(QStringLiteral("select count(*) from CQPORLOTE")).rows.front().front().toInt(), 0);
        // The next opening shows it.
        opened();
        QCOMPARE(p->DBEdit11->text(), QStringLiteral("Fulano"));
        QCOMPARE(p->DBEdit5->text(), QStringLiteral("5 kg"));
    }

    void aCertificateChangedElsewhereIsNotOverwritten()
    {
        auto *p = h->panel;
        QTest::mouseClick(h->BitBtn3, Qt::LeftButton);
        replaceText(p->DBEdit11, QStringLiteral("Bia"));
        // Another workstation saves the same certificate meanwhile.
        auto other = h->rig.tdb.another();
        other->execute(QStringLiteral("update LAUDOPORLOTE set MANIPULADOR = 'Caio', ANALISTA = 'Davi'"));
        other->execute(QStringLiteral("update CQPORLOTE set RESULTADO = '6,1' where CODIGOESPEC = 2"));

        QTest::mouseClick(p->BitBtn7, Qt::LeftButton);
        QVERIFY(p->isVisible());
        QCOMPARE(h->rig.op.texts(),
                 QStringList{QStringLiteral("Outra estação alterou este registro depois que você o abriu. Nada foi gravado.\r"
                                            "Manipulador: gravado Caio, era (vazio) quando você começou\r"
                                            "Analista: gravado Davi, era (vazio) quando você começou\r"
                                            "Resultado do ensaio: gravado 6,1, era 5,0 a 7,0 quando você começou\r"
                                            "O que você digitou foi mantido: confira os valores gravados e salve de novo "
                                            "para gravá-lo.")});
        QCOMPARE(h->header("ANALISTA"), QStringLiteral("Davi"));
        // What was typed stays; what the operator left alone shows the stored values.
        QCOMPARE(p->DBEdit11->text(), QStringLiteral("Bia"));
        QCOMPARE(p->DBEdit14->text(), QStringLiteral("Caio"));
        int ph = h->laudoTestCode(0) == 2 ? 0 : 1;
        QCOMPARE(h->rig.dm.Laudo.valueAt(ph, h->rig.dm.Laudo.fieldIndex(QStringLiteral("RESULTADO"))).toString(),
                 QStringLiteral("6,1"));

        // The second Sair is deliberate: the typed analyst over the stored values, the rest kept.
        h->rig.op.clear();
        QTest::mouseClick(p->BitBtn7, Qt::LeftButton);
        QVERIFY(!p->isVisible());
        QVERIFY(h->rig.op.texts().isEmpty());
        QCOMPARE(h->header("ANALISTA"), QStringLiteral("Bia"));
        QCOMPARE(h->header("MANIPULADOR"), QStringLiteral("Caio"));
        QCOMPARE(h->result(2), QStringLiteral("6,1"));
    }

    void theCalendarWritesTheDayItIsGiven()
    {
        auto *p = h->panel;
        QTest::mouseClick(h->BitBtn3, Qt::LeftButton);
        QCOMPARE(p->PopupMenu1->actions().value(0)->text(), QStringLiteral("&Calendário"));
        p->Calendrio1->trigger();
        QVERIFY(p->MonthCalendar1->isVisible());
        Q_EMIT p->MonthCalendar1->clicked(QDate(2024, 5, 2));
        QVERIFY(!p->MonthCalendar1->isVisible());
        QCOMPARE(p->DBEdit3->Text(), QStringLiteral("02/05/24"));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->DBEdit3));
        // A click on the panel's background hides the calendar.
        p->Calendrio1->trigger();
        QVERIFY(p->MonthCalendar1->isVisible());
        QTest::mouseClick(p, Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(!p->MonthCalendar1->isVisible());
        QTest::mouseClick(p->BitBtn7, Qt::LeftButton);
        QCOMPARE(h->header("DATA"), QStringLiteral("02/05/2024"));
    }

    void printButtonStartsTheCertificateProgramWithTheLotsArguments()
    {
        auto *p = h->panel;
        QTest::mouseClick(h->BitBtn3, Qt::LeftButton);
        QTest::mouseClick(p->BitBtn4, Qt::LeftButton);
        QCOMPARE(h->rig.op.texts(), QStringList{QStringLiteral("Arquivo \"\\\\SRV\\FORMULIX\\Arinto.exe\" não encontrado!")});

        // A stand-in on the share records its arguments.
        const QString record = h->rig.dir.filePath(QStringLiteral("args.txt"));
        QFile f(h->rig.dir.filePath(QStringLiteral("share/Arinto.exe")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '%1.part'\nmv '%1.part' '%1'\n")
                    .arg(record).toUtf8());
        f.close();
        f.setPermissions(f.permissions() | QFile::ExeOwner);
        h->rig.op.clear();
        QTest::mouseClick(p->BitBtn4, Qt::LeftButton);
        QVERIFY(h->rig.op.texts().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QFile r(record);
        QVERIFY(r.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(r.readAll()), QStringLiteral("001\nL-1\nD'Ávila\n31/05/2027\nMARIA\n"));
    }
};

QTEST_MAIN(PainelEspecificacoesTest)
#include "painelespecificacoes_qtest.moc"
