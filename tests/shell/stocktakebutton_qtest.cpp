// "Inventário" in the logged-in main window: off until the day's access code is given, as
// "Editar tabela"; Alt+I opens the counts over the window, a count started there holds the
// store's lots, and Esc goes back to the button.
#include "shell/program.h"
#include "shell/tform1.h"
#include "stocktake/ui/stocktakepanel.h"
#include "support/demoinstall.h"
#include "support/mainwindow.h"

#include <QCheckBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
const QDate kToday(2026, 3, 31);
}

class StocktakeButtonTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 120, kToday), QString());
    }

    void enabledByTheDaysCodeAndOpenedByItsKey()
    {
        testsupport::MainWindowSession s(testsupport::demoProgramFolder(m_dir.path()), kToday);
        auto &[clock, op, program, form] = s;
        QVERIFY(s.logIn());
        QVERIFY(!form.btnInventario->isEnabled());
        QTest::keyClick(&form, Qt::Key_I, Qt::AltModifier);
        QTest::qWait(300);   // a button's Alt key clicks a moment later
        QVERIFY(!form.PainelInventario->isVisible());

        s.enableAdjustment();
        QVERIFY(form.BitBtn3->isEnabled());
        QVERIFY(form.btnInventario->isEnabled());
        QTest::keyClick(&form, Qt::Key_I, Qt::AltModifier);
        QTRY_VERIFY(form.PainelInventario->isVisible());
        QCOMPARE(form.PainelInventario->geometry(), form.rect());
        QCOMPARE(form.PainelInventario->ListaInventarios->rowCount(), 0);

        // A count of the whole store, started from the keyboard.
        form.PainelInventario->beforeDialog = [](QDialog *d) {
            QTimer::singleShot(0, d, [d] { QTest::keyClick(d, Qt::Key_Return); });
        };
        QTest::keyClick(form.PainelInventario->btnNovo, Qt::Key_Space);
        QCOMPARE(form.PainelInventario->Paginas->currentIndex(), 1);
        const db::Rows scope = program.dm.SQLConnection1.query(
            QStringLiteral("select count(*) from ESTLOTE where ") + program.run.LabScopeClause);
        QVERIFY(scope.rows[0][0].toInt() > 0);
        QCOMPARE(qint64(form.PainelInventario->lines().size()), scope.rows[0][0].toInt());

        QTest::keyClick(form.PainelInventario->edLote, Qt::Key_Escape);
        QCOMPARE(form.PainelInventario->Paginas->currentIndex(), 0);
        QCOMPARE(form.PainelInventario->ListaInventarios->rowCount(), 1);
        QTest::keyClick(form.PainelInventario->ListaInventarios, Qt::Key_Escape);
        QVERIFY(!form.PainelInventario->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), form.btnInventario);
        QCOMPARE(op.texts(), QStringList());
        form.close();
    }
};

QTEST_MAIN(StocktakeButtonTest)
#include "stocktakebutton_qtest.moc"
