// The transfer form with the central server stopped, killed or frozen: each action gives one
// message, the lost-link text, within the bound; closing that message does not ask the server
// again (no chain of boxes); Escape closes the form; the next transfer works once it is back.
#include "db/serverwatch.h"
#include "support/modulerig.h"
#include "support/privateserver.h"
#include "transfer/transfer.h"
#include "transfer/ui/tform3.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using testsupport::ModuleRig;
using testsupport::PrivateServer;

namespace {

constexpr int kBound = 2;   // seconds

// Records every message and shows it as production does, in a real modal box over the form,
// which a timer closes: closing it activates the form again.
struct BoxOperator : testsupport::RecordingOperator {
    int boxes = 0;
    void show(const QString &text)
    {
        ++boxes;
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Estoque"), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        QTimer::singleShot(30, &box, &QMessageBox::accept);
        box.exec();
    }
    void inform(const QString &text) override { RecordingOperator::inform(text); show(text); }
    void warn(const QString &text) override { RecordingOperator::warn(text); show(text); }
};

enum class Outage { Stopped, Killed, Frozen };

} // namespace

Q_DECLARE_METATYPE(Outage)

class ServerDownTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PrivateServer> server;
    std::unique_ptr<ModuleRig> rig;
    db::Connection central;   // another workstation, to set up and read back
    BoxOperator op;

    std::unique_ptr<transfer_ui::TForm3> openForm()
    {
        auto form = std::make_unique<transfer_ui::TForm3>(rig->dm, rig->clock, op, transfer_ui::MainWindowLink{});
        form->show();
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form.get(), 2000))
            form->FormActivate();   // a platform that does not activate windows
        return form;
    }
    void bringDown(Outage how)
    {
        switch (how) {
        case Outage::Stopped: server->stop(); break;
        case Outage::Killed: server->kill(); break;
        case Outage::Frozen: server->freeze(); break;
        }
    }
    void bringBack()
    {
        server->thaw();
        QVERIFY(server->start());
    }
    QStringList balances()
    {
        QStringList out;
        for (const auto &r : central.query(QStringLiteral("select LABORATORIO, SALDOCORRENTE from ESTLOTE "
                                                          "order by LABORATORIO")).rows)
            out << r[0].toString() + QStringLiteral(": ") + r[1].toString();
        return out;
    }
    // Lets every box and activation that would follow happen.
    static void settle() { QTest::qWait(1500); }
    static void outages()
    {
        QTest::addColumn<Outage>("how");
        QTest::newRow("stopped") << Outage::Stopped;
        QTest::newRow("killed") << Outage::Killed;
        QTest::newRow("frozen") << Outage::Frozen;
    }

private Q_SLOTS:
    void init()
    {
        if (!testsupport::testServer().isEmpty())
            QSKIP("runs in the embedded pass only");
        server = std::make_unique<PrivateServer>();
        QVERIFY2(server->ready(), qPrintable(server->failure()));
        db::setServerAnswerLimit(kBound);
        const db::Target t = server->target(QStringLiteral("central.fdb"));
        db::Connection::createDatabase(t);
        central.configure(t);
        central.runScript(testsupport::sqlScript(QStringLiteral("central")));
        central.execute(QStringLiteral(
            "insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, SALDOPREVISTO, UNIDADE, "
            "LABORATORIO) values ('ACIDO ASCORBICO', 'L100', 'Galena', '00042', 20, 20, 'g', 'Almoxarifado')"));
        central.execute(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Loja 1', '1')"));
        rig = std::make_unique<ModuleRig>();
        rig->connections.SQLConnection1.configure(t);
        rig->dm.ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE"));
        rig->dm.ESTLOTE.open();
        op.clear();
        op.boxes = 0;
    }

    void cleanup()
    {
        rig.reset();
        central.close();
        server.reset();
        db::setServerAnswerLimit(15);
    }

    void openingTheFormTellsOnceAndEscapeClosesIt_data() { outages(); }
    void openingTheFormTellsOnceAndEscapeClosesIt()
    {
        QFETCH(Outage, how);
        bringDown(how);
        QElapsedTimer took;
        took.start();
        auto form = openForm();
        settle();
        QCOMPARE(op.boxes, 1);
        QVERIFY2(took.elapsed() < 3 * kBound * 1000 + 3000, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(op.messages().size(), 1);
        QVERIFY2(op.messages()[0].text.startsWith(db::kConnectionLostMessage), qPrintable(op.messages()[0].text));
        QTest::keyClick(form.get(), Qt::Key_Escape);
        QVERIFY(!form->isVisible());
        QCOMPARE(op.boxes, 1);
        bringBack();
    }

    void aTransferTellsTheLostLinkOnceAndWorksWhenTheServerIsBack_data() { outages(); }
    void aTransferTellsTheLostLinkOnceAndWorksWhenTheServerIsBack()
    {
        QFETCH(Outage, how);
        auto form = openForm();
        QCOMPARE(form->ComboBox1->count(), 4);
        form->Edit1->setText(QStringLiteral("5"));
        form->ComboBox1->setEditText(QStringLiteral("Loja 1"));
        bringDown(how);
        QElapsedTimer took;
        took.start();
        form->BitBtn1->click();
        settle();
        QVERIFY2(took.elapsed() < 3 * kBound * 1000 + 3000, qPrintable(QString::number(took.elapsed())));
        // The lost link, not message (1) with the statement that failed; and only once.
        QCOMPARE(op.boxes, 1);
        QVERIFY2(op.messages()[0].text.startsWith(db::kConnectionLostMessage), qPrintable(op.messages()[0].text));
        QVERIFY(form->isVisible());

        bringBack();
        form->BitBtn1->click();
        QCOMPARE(op.boxes, 1);
        QVERIFY(!form->isVisible());
        QCOMPARE(balances(), (QStringList{QStringLiteral("Almoxarifado: 15"), QStringLiteral("Loja 1: 5")}));
    }

    void aTransferAfterARestartGoesThroughAtOnce()
    {
        auto form = openForm();
        form->Edit1->setText(QStringLiteral("5"));
        form->ComboBox1->setEditText(QStringLiteral("Loja 1"));
        server->stop();
        QVERIFY(server->start());
        // The old link fails as the transaction starts, before anything is sent: started again.
        form->BitBtn1->click();
        QCOMPARE(op.texts(), QStringList());
        QVERIFY(!form->isVisible());
        QCOMPARE(balances(), (QStringList{QStringLiteral("Almoxarifado: 15"), QStringLiteral("Loja 1: 5")}));
    }
};

QTEST_MAIN(ServerDownTest)
#include "serverdown_qtest.moc"
