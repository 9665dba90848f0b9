// The lot browser inside the main window after a real login on a demo installation: panels hidden,
// the filter boxes and the title sort together, the day's code enabling "Editar tabela".
#include "shell/program.h"
#include "shell/tform1.h"
#include "common/accesscodes.h"
#include "browser/ui/adjustmentpanel.h"
#include "browser/ui/detailpanel.h"
#include "browser/ui/invoicepanel.h"
#include "browser/ui/maintenancepanel.h"
#include "browser/ui/waitpanel.h"
#include "support/demoinstall.h"
#include "support/mainwindow.h"
#include "support/recordingoperator.h"
#include "users/ui/loginpanel.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using testsupport::RecordingOperator;

namespace {
const QDate kToday(2026, 3, 31);
}

class MainWindowBrowserTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString programFolder() const { return testsupport::demoProgramFolder(m_dir.path()); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 300, kToday), QString());
    }

    void theBrowserWorksInsideTheLoggedInWindow()
    {
        testsupport::MainWindowSession s(programFolder(), kToday);
        auto &[clock, op, program, form] = s;
        QVERIFY(program.dm.invoicePanel == form.PainelNF);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (QWidget *w : std::initializer_list<QWidget *>{form.pnlDetalha, form.PainelNF, form.PainelSenha,
                                                           form.Panel1, form.PanelAguarde})
            QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
        QVERIFY(!form.BitBtn3->isEnabled());

        form.PainelLogin->EditNome->setText(QStringLiteral("maria"));
        form.PainelLogin->EditSenhaU->setText(QStringLiteral("1234"));
        QTest::keyClick(form.PainelLogin->EditSenhaU, Qt::Key_Return);
        QCOMPARE(op.texts(), QStringList());
        data::CachedDataset &lots = program.dm.ESTLOTE;
        QVERIFY(lots.rowCount() > 10);
        QCOMPARE(form.DBGrid1->model()->rowCount(), lots.rowCount());
        QVERIFY(form.PanelAguarde->isHidden());

        // A title click, then another filter: the new rows come sorted the same way.
        QHeaderView *header = form.DBGrid1->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(7) + 10, header->height() / 2));
        QCOMPARE(lots.indexFieldNames(), QStringLiteral("VALIDADE"));
        form.ComboBox2->setCurrentIndex(1);
        const int validade = lots.fieldIndex(QStringLiteral("VALIDADE"));
        QVERIFY(lots.rowCount() > 10);
        for (int r = 1; r < lots.rowCount(); ++r) {
            const QDate a = lots.valueAt(r - 1, validade).toDate(), b = lots.valueAt(r, validade).toDate();
            QVERIFY2(!b.isValid() ? !a.isValid() : (!a.isValid() || a <= b), qPrintable(QString::number(r)));
        }
        QVERIFY(header->isSortIndicatorShown());

        // The nearest-expiries view colours its rows with the quieter highlight.
        form.ComboBox1->setCurrentIndex(8);
        QVERIFY(lots.rowCount() > 0);
        const int situacao = lots.fieldIndex(QStringLiteral("SITUACAO"));
        for (int r = 0; r < lots.rowCount(); ++r)
            if (lots.valueAt(r, situacao).toString() != QLatin1String("Vencido"))
                QCOMPARE(form.DBGrid1->rowColours(r).background, browser::CellBackground::InactiveCaption);
        form.ComboBox1->setCurrentIndex(0);

        // Typed text runs a view only once it is an item: the start of one is no choice.
        const QString chosen = lots.commandText();
        form.ComboBox1->setFocus();
        form.ComboBox1->lineEdit()->selectAll();
        QTest::keyClicks(form.ComboBox1, QStringLiteral("Mostrar somente produtos"));
        QCOMPARE(lots.commandText(), chosen);
        QTest::keyClicks(form.ComboBox1, QStringLiteral(" em Terceiros"));
        QVERIFY(lots.commandText().contains(QStringLiteral("UPPER(LABORATORIO) = 'TERCEIROS' order by")));
        form.ComboBox1->setCurrentIndex(0);

        // The search box walks the sorted column.
        QTest::mouseClick(form.Edit1, Qt::LeftButton);
        QTest::keyClicks(form.Edit1, kToday.addDays(90).toString(QStringLiteral("dd/MM/yyyy")));
        QVERIFY(lots.value(validade).toDate() >= kToday.addDays(90));
        QVERIFY(lots.currentRow() == 0 || lots.valueAt(lots.currentRow() - 1, validade).toDate() < kToday.addDays(90));
        QTest::keyClick(form.Edit1, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), form.DBGrid1);

        // Esc in the code panel hides it and leaves the window open.
        form.DBGrid1->AjustedeEstoque1->trigger();
        QVERIFY(form.PainelSenha->isVisible());
        QTest::keyClick(form.PainelSenha->MaskEdit1, Qt::Key_Escape);
        QVERIFY(form.PainelSenha->isHidden());
        QVERIFY(form.isVisible());

        // The day's code from the configured key enables the lot editing button.
        QCOMPARE(program.run.siteConfig.StockKey, QStringLiteral("4817"));
        form.DBGrid1->AjustedeEstoque1->trigger();
        QTest::keyClicks(form.PainelSenha->MaskEdit1, browser::AdjustmentCode(kToday, QStringLiteral("4817")));
        QTest::keyClick(form.PainelSenha->MaskEdit1, Qt::Key_Return);
        QVERIFY(form.BitBtn3->isEnabled());
        QCOMPARE(QApplication::focusWidget(), form.BitBtn3);

        // The refresh button reloads the current statement.
        const QString statement = lots.commandText();
        const int before = lots.rowCount();
        form.DBNavigator1->click();
        QCOMPARE(lots.commandText(), statement);
        QCOMPARE(lots.rowCount(), before);

        // The invoice panel from the grid's menu, over the grid.
        form.DBGrid1->NotaFiscal1->trigger();
        QVERIFY(form.PainelNF->isVisible());
        QVERIFY(form.PainelNF->NomeComponente->text() == lots.text(QStringLiteral("DESCRICAO")));
        QVERIFY(form.DBGrid1->geometry().intersects(form.PainelNF->geometry()));
        QCOMPARE(op.texts(), QStringList());
        form.close();
    }
};

QTEST_MAIN(MainWindowBrowserTest)
#include "mainwindow_qtest.moc"
