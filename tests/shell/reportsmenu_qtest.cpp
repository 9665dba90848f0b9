// The reports panel of the logged-in main window: its "Excel" button writes the lot list, its
// history button opens the activity log viewer over the window, and the lot edit form holds the
// certificate button.
#include "shell/program.h"
#include "shell/tform1.h"
#include "common/accesscodes.h"
#include "browser/ui/adjustmentpanel.h"
#include "browser/ui/lotgrid.h"
#include "common/csvexport.h"
#include "exports/ui/deductionauditpanel.h"
#include "exports/ui/historyviewer.h"
#include "lotedit/ui/painelespecificacoes.h"
#include "lotedit/ui/tform2.h"
#include "platform/cp1252.h"
#include "reports/ui/periodpanel.h"
#include "reports/ui/reportspanel.h"
#include "support/demoinstall.h"
#include "support/mainwindow.h"
#include "support/recordingoperator.h"
#include "users/ui/loginpanel.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
const QDate kToday(2026, 3, 31);
}

class ReportsMenuTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 40, kToday), QString());
    }

    void excelWritesTheGridsLotsAndTheHistoryOpensOverTheWindow()
    {
        testsupport::MainWindowSession s(testsupport::demoProgramFolder(m_dir.path()), kToday);
        auto &[clock, op, program, form] = s;
        QVERIFY(s.logIn());

        form.btn1->click();
        reports_ui::ReportsPanel *panel = form.pnlRelatorios;
        QVERIFY(panel->isVisible());
        for (QPushButton *b : {panel->btn2, panel->btn9}) {
            QCOMPARE(b->text().remove(QLatin1Char('&')), QStringLiteral("Excel"));
            QCOMPARE(b->toolTip(), QStringLiteral("Exportar relatório para o Excel"));
        }
        QCOMPARE(panel->BitBtn2->text(), QStringLiteral("&Histórico de atividades"));

        panel->btn2->click();
        QCOMPARE(op.texts(), QStringList{exports::LotListMessage(kToday)});
        QFile csv(QDir(testsupport::demoProgramFolder(m_dir.path())).filePath(QStringLiteral("LOTVIEW26.03.31.CSV")));
        QVERIFY2(csv.open(QIODevice::ReadOnly), qPrintable(csv.fileName()));
        const QByteArray bytes = csv.readAll();
        QVERIFY(bytes.startsWith(platform::toCp1252(exports::kLotListHeader) + "\r\n"));
        QCOMPARE(bytes.count("\r\n"), program.dm.ESTLOTE.rowCount() + 1);

        panel->BitBtn2->click();
        QVERIFY(form.PainelLOG->isVisible());
        QVERIFY(!form.pnl2->isVisible());
        QCOMPARE(form.PainelLOG->geometry(), form.rect());
        QVERIFY(form.PainelLOG->EditMes->hasFocus());
        form.PainelLOG->BitBtn9->click();
        QVERIFY(!form.PainelLOG->isVisible());
        QVERIFY(form.pnl2->isVisible());
        form.close();
    }

    void theAuditStartsFromThePeriodPanel()
    {
        testsupport::MainWindowSession s(testsupport::demoProgramFolder(m_dir.path()), kToday);
        auto &[clock, op, program, form] = s;
        QVERIFY(s.logIn());
        form.btn1->click();
        reports_ui::ReportsPanel *panel = form.pnlRelatorios;
        QCOMPARE(panel->BitBtn16->text(), QStringLiteral("Conferir &baixas no estoque"));
        QCOMPARE(panel->BitBtn12->text(), QStringLiteral("Ex&cel"));

        panel->BitBtn16->click();
        QVERIFY(panel->PainelPeriodo->isVisible());
        QCOMPARE(panel->PainelPeriodo->Purpose, 2);
        QVERIFY(panel->PainelPeriodo->EditDataInicial->hasFocus());
        panel->PainelPeriodo->EditDataInicial->setText(QStringLiteral("01/03/26"));
        panel->PainelPeriodo->EditDataFinal->setText(QStringLiteral("31/03/26"));
        // Cancelar gives the focus back to the button, not to the window's search box.
        panel->PainelPeriodo->BitBtn14->setFocus();
        QTest::keyClick(panel->PainelPeriodo->BitBtn14, Qt::Key_Return);
        QVERIFY(!panel->PainelPeriodo->isVisible());
        QVERIFY(panel->BitBtn16->hasFocus());
        panel->BitBtn16->click();
        panel->PainelPeriodo->EditDataInicial->setText(QStringLiteral("01/03/26"));
        panel->PainelPeriodo->EditDataFinal->setText(QStringLiteral("31/03/26"));
        panel->PainelPeriodo->BitBtn13->click();
        QCOMPARE(op.texts(), QStringList());
        QVERIFY(!panel->PainelPeriodo->isVisible());
        // The audit goes on with its product choice, for the period just stored.
        QVERIFY(form.Auditoria->Panel5->isVisible());
        QCOMPARE(panel->ReportPeriod.start, QDate(2026, 3, 1));
        QCOMPARE(panel->ReportPeriod.end, QDate(2026, 3, 31));
        form.close();
    }

    void theLotEditFormHoldsTheCertificateButton()
    {
        testsupport::MainWindowSession s(testsupport::demoProgramFolder(m_dir.path()), kToday);
        auto &[clock, op, program, form] = s;
        QVERIFY(s.logIn());
        s.enableAdjustment();
        bool checked = false;
        QTimer::singleShot(0, &form, [&] {
            auto *edit = qobject_cast<lotedit_ui::TForm2 *>(QApplication::activeModalWidget());
            QVERIFY(edit);
            QVERIFY(edit->BitBtn3);
            QCOMPARE(edit->BitBtn3->text(), QStringLiteral("CQ - &Laudo de Análise"));
            QVERIFY(edit->PainelEspecificacoes);
            QVERIFY(!edit->PainelEspecificacoes->isVisible());
            edit->BitBtn3->click();
            QVERIFY(edit->PainelEspecificacoes->isVisible());
            QVERIFY(!edit->BitBtn1->isEnabled());
            checked = true;
            edit->close();
        });
        form.BitBtn3->click();
        QVERIFY(checked);
        QVERIFY(program.dm.lotEditForm == nullptr);
        form.close();
    }
};

QTEST_MAIN(ReportsMenuTest)
#include "reportsmenu_qtest.moc"
