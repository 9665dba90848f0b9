// "Editar tabela" in the logged-in main window: the lot edit form opens modally on the grid's
// current lot, moves the grid's row with its navigator, and leaves the grid browsing when closed.
#include "shell/program.h"
#include "shell/tform1.h"
#include "common/accesscodes.h"
#include "browser/ui/adjustmentpanel.h"
#include "browser/ui/lotgrid.h"
#include "lotedit/ui/tform2.h"
#include "support/demoinstall.h"
#include "support/mainwindow.h"
#include "support/recordingoperator.h"
#include "users/ui/loginpanel.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {
const QDate kToday(2026, 3, 31);
}

class EditLotTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 120, kToday), QString());
    }

    void editarTabelaOpensTheFormOnTheCurrentLot()
    {
        testsupport::MainWindowSession s(testsupport::demoProgramFolder(m_dir.path()), kToday);
        auto &[clock, op, program, form] = s;
        QVERIFY(s.logIn());
        s.enableAdjustment();
        QVERIFY(form.BitBtn3->isEnabled());

        data::CachedDataset &lots = program.dm.ESTLOTE;
        lots.moveTo(5);
        const QString sixth = lots.text(QStringLiteral("DESCRICAO"));
        const QString seventh = lots.valueAt(6, lots.fieldIndex(QStringLiteral("DESCRICAO"))).toString();
        bool checked = false;
        QTimer::singleShot(0, &form, [&] {
            auto *edit = qobject_cast<lotedit_ui::TForm2 *>(QApplication::activeModalWidget());
            QVERIFY(edit);
            QVERIFY(program.dm.lotEditForm == edit);
            QCOMPARE(edit->DBEdit1->text(), sixth);
            edit->DBNavigator1->button(data_ui::DBNavigator::Next)->click();
            QCOMPARE(edit->DBEdit1->text(), seventh);
            QCOMPARE(form.DBGrid1->currentIndex().row(), 6);
            // A pending change, then the close box: nothing is saved, the grid browses.
            edit->DBEdit12->setFocus();
            QTest::keyClicks(edit->DBEdit12, QStringLiteral("7"));
            QCOMPARE(lots.state(), data::CachedDataset::State::Edit);
            checked = true;
            edit->close();
        });
        form.BitBtn3->click();
        QVERIFY(checked);
        QCOMPARE(lots.state(), data::CachedDataset::State::Browse);
        QCOMPARE(lots.currentRow(), 6);
        QVERIFY(program.dm.lotEditForm == nullptr);
        QVERIFY(form.findChildren<lotedit_ui::TForm2 *>().isEmpty());
        QCOMPARE(op.texts(), QStringList());
        form.close();
    }
};

QTEST_MAIN(EditLotTest)
#include "editlot_qtest.moc"
