// The controlled-substance book as an operator reaches it, keyboard only: the reports panel's
// button, the shared period panel (impossible and reversed dates refused), the book's panel with
// whether it closes, the period balance and the differences, the preview's pages and the CSV.
#include "controlled/ui/bookpanel.h"
#include "controlled/bookoutput.h"
#include "reports/ui/periodpanel.h"
#include "reports/ui/reportspanel.h"

#include "../bookfixture.h"
#include "reports/reportrig.h"
#include "support/modulerig.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QVBoxLayout>

namespace {

struct Fixture : reportstest::ReportRig {
    QWidget window;
    QTableView *grid;
    reports_ui::ReportsPanel *panel;
    controlled_ui::BookPanel *book;
    reportstest::RecordingView view;

    Fixture()
    {
        window.resize(1024, 768);
        auto *layout = new QVBoxLayout(&window);
        grid = new QTableView(&window);
        layout->addWidget(grid);
        panel = new reports_ui::ReportsPanel(dm, run, clock, paths, op, grid, &window);
        book = new controlled_ui::BookPanel(dm, run, clock, paths, op, &window);
        book->setReportView(&view);
        QObject::connect(panel, &reports_ui::ReportsPanel::controlledPeriodConfirmed, book,
                         &controlled_ui::BookPanel::open);
        QObject::connect(book, &controlled_ui::BookPanel::closed, panel->btnControlados,
                         [this] { panel->btnControlados->setFocus(); });
        bookfixture::Plant(tdb.conn());
        bookfixture::WriteLogs(dir.filePath(QStringLiteral("share")));
        execWs(QStringLiteral("insert into PERIODO (DATAINICIAL, DATAFINAL) values ('2024-04-01', '2024-04-30')"));
        run.StoreCnpj = bookfixture::kStore;
        run.StoreLaboratories = {QStringLiteral("Laboratório")};
        run.siteConfig.LogEnabled = QStringLiteral("S");
        clock.set(QDateTime(QDate(2024, 7, 10), QTime(9, 0)));
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }

    void type(QLineEdit *box, const char *digits)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, QLatin1String(digits));
    }
    QString cell(QTableWidget *t, int row, int column) const
    {
        const QTableWidgetItem *item = t->item(row, column);
        return item ? item->text() : QString();
    }
};

} // namespace

class BookPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keyboardOnlyFromTheReportsPanelToTheBook()
    {
        Fixture f;
        f.panel->open();
        QTest::keyClick(f.panel->btn3, Qt::Key_D, Qt::AltModifier);   // "Livro &de controlados"
        QTRY_VERIFY(f.panel->PainelPeriodo->isVisible());
        reports_ui::PeriodPanel *p = f.panel->PainelPeriodo;
        QVERIFY(p->isVisible());
        QVERIFY(p->Purpose == reports_ui::PeriodPanel::Purposes::ControlledBook);
        QCOMPARE(p->EditDataInicial->text(), QStringLiteral("01/04/24"));

        // An impossible date and a reversed period are refused; the panel stays.
        f.type(p->EditDataInicial, "320124");
        QTest::keyClick(p->EditDataInicial, Qt::Key_Return);
        f.type(p->EditDataFinal, "310324");
        QTest::keyClick(p->EditDataFinal, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->BitBtn13));
        QTest::keyClick(p->BitBtn13, Qt::Key_Space);
        QCOMPARE(f.op.texts(), QStringList{QStringLiteral("'32/01/24' não é uma data válida")});
        QVERIFY(p->isVisible());
        QVERIFY(!f.book->isVisible());
        f.op.clear();
        f.type(p->EditDataInicial, "010424");
        QTest::keyClick(p->BitBtn13, Qt::Key_Space);
        QCOMPARE(f.op.texts(), QStringList{reports::kReversedPeriodMessage});
        QVERIFY(!f.book->isVisible());

        // The first quarter.
        f.op.clear();
        f.type(p->EditDataInicial, "010124");
        QTest::keyClick(p->EditDataInicial, Qt::Key_Return);
        QTest::keyClick(p->EditDataFinal, Qt::Key_Return);
        QTest::keyClick(p->BitBtn13, Qt::Key_Space);
        QVERIFY(f.op.texts().isEmpty());
        QVERIFY(f.book->isVisible());
        QCOMPARE(f.book->geometry(), f.window.rect());
        QCOMPARE(f.book->Titulo->text(), QStringLiteral("Livro de controlados - Período: 01/01/2024 a 31/03/2024"));
        QCOMPARE(f.book->LinhaConferencia->text(), QStringLiteral("O livro não fecha com o estoque: 5 diferenças."));
        QCOMPARE(f.book->figures().statements, 8);   // seven for the book, one for the pharmacy
        QTableWidget *t = f.book->TabelaBalanco;
        QCOMPARE(t->rowCount(), 6);
        QCOMPARE(f.cell(t, 0, 0), QStringLiteral("CLONAZEPAM"));
        QCOMPARE(f.cell(t, 0, 8), QStringLiteral("1.248,000"));
        QCOMPARE(f.cell(t, 2, 0), QStringLiteral("FENOBARBITAL"));
        QCOMPARE(f.cell(t, 2, 9), QStringLiteral("3"));
        QCOMPARE(f.cell(t, 4, 0), QStringLiteral("Total (g)"));
        QCOMPARE(f.cell(t, 4, 8), QStringLiteral("1.308,000"));
        QCOMPARE(f.book->TabelaDiferencas->rowCount(), 5);
        QCOMPARE(f.cell(f.book->TabelaDiferencas, 1, 3), QStringLiteral("Saldo zerado na inicialização"));
        QVERIFY(f.book->LinhaInconsistencias->text().startsWith(QStringLiteral("Inconsistências de cadastro: 2\n")));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(t));

        if (!qEnvironmentVariableIsEmpty("ESTOQUE_SHOT") && (QTest::qWait(100), true))
            f.window.grab().save(qEnvironmentVariable("ESTOQUE_SHOT"));

        // The book's pages and its spreadsheet, by their Alt letters.
        QTest::keyClick(t, Qt::Key_V, Qt::AltModifier);
        QTRY_COMPARE(f.view.presented, 1);   // a button's Alt key clicks a moment later
        QCOMPARE(f.view.model.pages.size(), size_t(6));
        QVERIFY(f.view.texts().contains(QStringLiteral("página 6 de 6")));
        QTest::keyClick(t, Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(!f.op.texts().isEmpty());
        QCOMPARE(f.op.texts(), QStringList{QStringLiteral(
                                   "Arquivo \"C:\\FORMULIX\\CONTROLADOS240101-240331.CSV\" gerado com sucesso. \rAbra-o no Excel.")});
        QVERIFY(f.fileBytes(QStringLiteral("c/FORMULIX/CONTROLADOS240101-240331.CSV"))
                    .startsWith(platform::toCp1252(controlled::kBookCsvHeader) + "\r\n"));

        // Esc closes the book and gives the focus back to its button.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!f.book->isVisible());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(f.panel->btnControlados));
    }

    void periodWithoutSubstancesSaysSo()
    {
        Fixture f;
        f.tdb.conn().execute(QStringLiteral("delete from COMPONEN"));
        f.tdb.conn().execute(QStringLiteral("update ESTLOTE set CONTROLADA = 'Não'"));
        f.book->open(QDate(2024, 1, 1), QDate(2024, 1, 31));
        QCOMPARE(f.book->LinhaConferencia->text(), controlled_ui::kNothingText);
        QCOMPARE(f.book->TabelaBalanco->rowCount(), 0);
        QVERIFY(!f.book->btnVisualizar->isEnabled());
        QVERIFY(!f.book->btnExcel->isEnabled());
    }
};

QTEST_MAIN(BookPanelTest)
#include "bookpanel_qtest.moc"
