// Clicks on every button of the reports panel while each staged export writes its file: nothing
// starts under the export, the file is whole, and the panel answers again once it is written.
#include "common/csvexport.h"
#include "reports/ui/reportspanel.h"
#include "support/demoinstall.h"
#include "support/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
const QDate kToday(2026, 3, 31);
constexpr int kStagedRows = 1600;   // enough rows for the export to let the window breathe thrice
}

class ExportClicksTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 40, kToday), QString());
    }

    void everyReportButtonClickedDuringEachExport()
    {
        testsupport::MainWindowSession s(testsupport::demoProgramFolder(m_dir.path()), kToday);
        auto &[clock, op, program, form] = s;
        QVERIFY(s.logIn());
        {
            db::Transaction tx(program.dm.SQLConnection2);
            tx.execute(QStringLiteral("delete from RELESTLOTE"));
            db::Prepared ins(tx, QStringLiteral("insert into RELESTLOTE (DESCRICAO, CODIGO, SALDOCORRENTE, UNIDADE) "
                                                "values (?, ?, 1, 'G')"));
            for (int i = 0; i < kStagedRows; ++i)
                ins.execute({db::Value::text(QStringLiteral("ÁCIDO %1").arg(i, 5, 10, QLatin1Char('0'))),
                             db::Value::text(QString::number(i))});
            tx.commit();
        }
        form.btn1->click();
        reports_ui::ReportsPanel *panel = form.pnlRelatorios;
        QVERIFY(panel->isVisible());
        const QList<QPushButton *> buttons = panel->findChildren<QPushButton *>(Qt::FindDirectChildrenOnly);
        QVERIFY(buttons.size() >= 15);

        struct Export {
            QPushButton *button;
            QString file;
            QString message;
        };
        const Export exportsRun[] = {
            {panel->btn9, QStringLiteral("ESTOQFIN26.03.31.CSV"), exports::StockValueMessage(kToday)},
            {panel->BitBtn12, QStringLiteral("CPV26.03.31.CSV"), exports::CostOfSalesMessage(kToday)},
        };
        for (const Export &e : exportsRun) {
            op.clear();
            int rounds = 0;
            int enabledDuring = 0;
            QTimer clicker;
            clicker.setInterval(0);
            connect(&clicker, &QTimer::timeout, &clicker, [&] {
                ++rounds;
                for (QPushButton *b : buttons) {
                    if (!b->isVisible())
                        continue;
                    enabledDuring += b->isEnabled();
                    // A click delivered at once, and one queued as the window system would.
                    QTest::mouseClick(b, Qt::LeftButton);
                    const QPointF at = QRectF(b->rect()).center();
                    QCoreApplication::postEvent(b, new QMouseEvent(QEvent::MouseButtonPress, at, b->mapToGlobal(at),
                                                                   Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
                    QCoreApplication::postEvent(b, new QMouseEvent(QEvent::MouseButtonRelease, at, b->mapToGlobal(at),
                                                                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
                }
            });
            // Whatever a click might open (a preview, a panel's dialog) is closed again, so a fault
            // shows as a failure or a crash here rather than as a wait on a dialog.
            QTimer closer;
            closer.setInterval(50);
            connect(&closer, &QTimer::timeout, &closer, [] {
                if (QWidget *modal = QApplication::activeModalWidget())
                    modal->close();
            });
            closer.start();
            clicker.start();
            e.button->click();
            clicker.stop();
            closer.stop();
            // Clicks queued by the last round, after the export's last breath, are not the test's.
            for (QPushButton *b : buttons)
                QCoreApplication::removePostedEvents(b);

            QVERIFY2(rounds >= 3, qPrintable(e.file));
            QCOMPARE(enabledDuring, 0);
            QCOMPARE(op.texts(), QStringList{e.message});
            QFile csv(QDir(testsupport::demoProgramFolder(m_dir.path())).filePath(e.file));
            QVERIFY2(csv.open(QIODevice::ReadOnly), qPrintable(csv.fileName()));
            QCOMPARE(csv.readAll().count("\r\n"), kStagedRows + 1);
            QVERIFY(!panel->busy());
            for (QPushButton *b : buttons)
                QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
        }
        form.close();
    }
};

QTEST_MAIN(ExportClicksTest)
#include "exportclicks_qtest.moc"
