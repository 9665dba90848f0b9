// The "Excel" buttons' handlers: one export at a time, even when a click arrives while a long
// export lets the window process events.
#include "common/csvexport.h"
#include "exports/ui/exporthandlers.h"
#include "support/modulerig.h"

#include <QTest>
#include <QTimer>

using testsupport::MessageKind;
using testsupport::RecordedMessage;

namespace {

class ExportHandlersTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aSecondClickWhileExportingStartsNothing()
    {
        testsupport::ModuleRig rig;
        testsupport::TempDatabase workstation{{QStringLiteral("workstation")}};
        rig.connections.SQLConnection2.configure(workstation.target());
        {
            db::Transaction tx(workstation.conn());
            db::Prepared ins(tx, QStringLiteral("insert into RELESTLOTE (DESCRICAO, CODIGO, SALDOCORRENTE) values (?, ?, 1)"));
            for (int i = 0; i < 1200; ++i)
                ins.execute({db::Value::text(QStringLiteral("P%1").arg(i, 5, 10, QLatin1Char('0'))),
                             db::Value::text(QString::number(i))});
            tx.commit();
        }
        exports_ui::ExportHandlers handlers(rig.dm, rig.paths, rig.clock);
        int refused = 0;
        QTimer::singleShot(0, &handlers, [&] {
            QVERIFY(handlers.busy());
            handlers.BitBtn12Click();
            ++refused;
        });
        handlers.btn9Click();
        QCOMPARE(refused, 1);
        QVERIFY(!handlers.busy());
        QCOMPARE(rig.op.messages(),
                 (QList<RecordedMessage>{{MessageKind::Inform, exports::StockValueMessage(rig.clock.today())}}));
        QVERIFY(rig.fileBytes(QStringLiteral("c/FORMULIX/CPV24.03.07.CSV")).isEmpty());
        QCOMPARE(rig.fileBytes(QStringLiteral("c/FORMULIX/ESTOQFIN24.03.07.CSV")).count("\r\n"), 1201);

        // Once it is over, the next click runs.
        handlers.BitBtn12Click();
        QCOMPARE(rig.op.texts().last(), exports::CostOfSalesMessage(rig.clock.today()));
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ExportHandlersTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "exporthandlers_qtest.moc"
