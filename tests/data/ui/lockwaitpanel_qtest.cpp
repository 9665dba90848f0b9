// Records another workstation holds, met by the lot save, the certificate's opening, the report
// staging and the transfer: the panel comes up over the window, which keeps running its timers
// and holds other input; "Cancelar" and the limit each give the work up, roll it back and say so
// in Portuguese, and every row stays as it was. Once the other workstation ends, the work goes on.
// A timer that uses the same connection meanwhile waits for the work's statement to end, and a
// job that throws ends its wait with its message.
#include "data/ui/lockwaitpanel.h"
#include "data/lotrows.h"
#include "db/lockwait.h"
#include "lotedit/certificate.h"
#include "reports/manufacturing.h"
#include "reports/reportrig.h"
#include "support/modulerig.h"
#include "transfer/transfer.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <thread>

namespace {

enum class Path { LotSave, CertificateOpen, StagingDelete, Transfer };
enum class Ending { Cancel, Limit };

// The waiting panel on screen, if any.
QWidget *visiblePanel()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == data_ui::kLockWaitPanelName && w->isVisible())
            return w;
    return nullptr;
}

struct Rig : reportstest::ReportRig {
    std::unique_ptr<db::Connection> otherCentral = tdb.another();
    std::unique_ptr<db::Connection> otherWorkstation = ws.another();
    std::optional<db::Transaction> holder;
    reports::NoProgress progress;
    reports::ConsistencyErrors errors;

    Rig()
    {
        datatest::addLot(tdb.conn(), {.descricao = QStringLiteral("Ácido bórico"), .lote = QStringLiteral("L1")});
        exec(QStringLiteral("insert into LAUDOPORLOTE (CODIGOLAUDO, CODIGOCOMP, LOTE, FORNECEDOR, ANALISTA) "
                            "values (1, '001', 'L1', 'Galena', 'Ana')"));
        execWs(QStringLiteral("insert into RELESTLOTE (DESCRICAO, LOTE) values ('Antes', 'L1')"));
        dm.ESTLOTE.setCommandText(datatest::lotStatement());
        dm.ESTLOTE.open();
    }

    // The other workstation's uncommitted change on the record the path needs.
    void hold(Path path)
    {
        if (path == Path::StagingDelete) {
            holder.emplace(*otherWorkstation);
            holder->execute(QStringLiteral("update RELESTLOTE set DESCRICAO = 'Outra' where LOTE = 'L1'"));
        } else if (path == Path::CertificateOpen) {
            holder.emplace(*otherCentral);
            holder->execute(QStringLiteral("update LAUDOPORLOTE set ANALISTA = 'Bia' where CODIGOLAUDO = 1"));
        } else {
            holder.emplace(*otherCentral);
            holder->execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 99 where LOTE = 'L1'"));
        }
    }

    // What the operator does on that path; an error that reaches the general display is shown
    // the way it shows it.
    void work(Path path)
    {
        try {
            switch (path) {
            case Path::LotSave:
                dm.ESTLOTE.edit();
                dm.ESTLOTE.setValue(QStringLiteral("DESCRICAO"), db::Value::text(QStringLiteral("Nome digitado")));
                dm.ESTLOTE.post();
                break;
            case Path::CertificateOpen:
                lotedit::FindOrCreateCertificate(dm.SQLConnection1,
                                                 lotedit::CertificateKeyOf(QStringLiteral("001"), QStringLiteral("L2"),
                                                                           QStringLiteral("Galena")));
                break;
            case Path::StagingDelete: {
                reports::ReportContext ctx{dm, run, clock, paths, op, progress, errors};
                reports::BuildManufacturingStaging(ctx);
                break;
            }
            case Path::Transfer:
                transfer::Transfer(dm.SQLConnection1,
                                   {db::Value::text(QStringLiteral("001")), db::Value::text(QStringLiteral("L1")),
                                    db::Value::text(QStringLiteral("Galena")), db::Value::text(QStringLiteral("Almoxarifado")),
                                    QStringLiteral("Ácido bórico")},
                                   QStringLiteral("4"), QStringLiteral("Loja"), op);
                break;
            }
        } catch (const db::DbError &e) {
            op.error(db::operatorText(e));
        }
    }

    // Every row the paths could have changed, as the databases hold them.
    QStringList stored()
    {
        QStringList out;
        for (const auto &r : tdb.conn().query(QStringLiteral("select DESCRICAO, LABORATORIO, SALDOCORRENTE from ESTLOTE order by LABORATORIO")).rows)
            out << r[0].toString() + u'|' + r[1].toString() + u'|' + r[2].toString();
        for (const auto &r : tdb.conn().query(QStringLiteral("select CODIGOLAUDO, LOTE, ANALISTA from LAUDOPORLOTE order by 1")).rows)
            out << r[0].toString() + u'|' + r[1].toString() + u'|' + r[2].toString();
        out << tdb.conn().query(QStringLiteral("select count(*) from CQPORLOTE")).rows[0][0].toString();
        for (const auto &r : ws.conn().query(QStringLiteral("select DESCRICAO from RELESTLOTE")).rows)
            out << r[0].toString();
        return out;
    }
};

// Watches the screen while the work runs: counts the timer's ticks, notes the panel, types into
// another window meanwhile and, when asked, presses "Cancelar" on the panel.
struct Watch {
    int ticks = 0;
    int ticksBeforePanel = -1;
    bool panelSeen = false;
    QString panelText;
    QTimer ticker;

    Watch(bool cancel, QWidget &elsewhere)
    {
        ticker.setInterval(25);
        QObject::connect(&ticker, &QTimer::timeout, [this, cancel, &elsewhere] {
            ++ticks;
            QWidget *panel = visiblePanel();
            if (!panel)
                return;
            // What it says while it waits (a call says it waits on the server until the engine
            // has said the record is held).
            if (auto *label = panel->findChild<QLabel *>(); label && label->text() != data_ui::kLockWaitCancellingText)
                panelText = label->text();
            if (panelSeen)
                return;
            panelSeen = true;
            ticksBeforePanel = ticks;
            QTest::keyClick(elsewhere.windowHandle(), Qt::Key_X);
            if (cancel)
                QTimer::singleShot(200, panel, [panel] {
                    auto *button = panel->findChild<QPushButton *>();
                    QVERIFY(button);
                    QCOMPARE(button->text(), data_ui::kLockWaitCancelText);
                    QTest::mouseClick(button, Qt::LeftButton);
                });
        });
        ticker.start();
    }
};

} // namespace

class LockWaitPanelTest : public QObject {
    Q_OBJECT

    data_ui::LockWaitPanel m_panel;
    QWidget m_window;
    QLineEdit *m_elsewhere = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        m_elsewhere = new QLineEdit(&m_window);
        m_window.show();
        QApplication::setActiveWindow(&m_window);
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
        QVERIFY(db::lockWaitHost() == &m_panel);
        // Typed the way the tests below type while waiting, a key reaches the field.
        m_elsewhere->setFocus();
        QTest::keyClick(m_window.windowHandle(), Qt::Key_X);
        QCOMPARE(m_elsewhere->text(), QStringLiteral("x"));
    }
    void cleanup() { db::setLockWaitLimit(30); }

    void aHeldRecordIsWaitedOnUnderThePanelAndGivingUpChangesNothing_data()
    {
        QTest::addColumn<Path>("path");
        QTest::addColumn<Ending>("ending");
        const std::pair<const char *, Path> paths[] = {{"lot save", Path::LotSave},
                                                       {"certificate open", Path::CertificateOpen},
                                                       {"staging delete", Path::StagingDelete},
                                                       {"transfer", Path::Transfer}};
        for (const auto &[name, path] : paths) {
            QTest::addRow("%s, Cancelar", name) << path << Ending::Cancel;
            QTest::addRow("%s, limit", name) << path << Ending::Limit;
        }
    }

    void aHeldRecordIsWaitedOnUnderThePanelAndGivingUpChangesNothing()
    {
        QFETCH(Path, path);
        QFETCH(Ending, ending);
        Rig rig;
        const QStringList before = rig.stored();
        db::setLockWaitLimit(ending == Ending::Limit ? 1 : 20);
        rig.hold(path);
        m_elsewhere->clear();

        Watch watch(ending == Ending::Cancel, m_window);
        rig.work(path);
        const int ticksAfter = watch.ticks;
        watch.ticker.stop();

        QVERIFY(watch.panelSeen);
        QCOMPARE(watch.panelText, db::kLockWaitPanelText);
        QVERIFY2(ticksAfter > watch.ticksBeforePanel, "no timer fired while the panel was up");
        QVERIFY(!visiblePanel());
        QCOMPARE(m_elsewhere->text(), QString());   // typing elsewhere meanwhile went nowhere
        const QString lead = ending == Ending::Cancel ? db::kLockWaitCancelledMessage : db::kLockWaitTimeoutMessage.arg(1);
        QCOMPARE(rig.op.messages().size(), 1);
        QVERIFY2(rig.op.messages().front().text.startsWith(lead), qPrintable(rig.op.messages().front().text));

        // Nothing of the work was kept: once the other workstation gives its change up, every
        // row is as it was, and the same connection works on.
        rig.holder->rollback();
        QCOMPARE(rig.stored(), before);
        if (path == Path::LotSave)
            QCOMPARE(rig.dm.ESTLOTE.text(QStringLiteral("DESCRICAO")), QStringLiteral("Ácido bórico"));
        rig.op.clear();
        rig.work(path);
        QCOMPARE(rig.op.texts(), QStringList());
        QVERIFY(rig.stored() != before);
    }

    void theWorkGoesOnWhenTheOtherWorkstationCommits()
    {
        Rig rig;
        db::setLockWaitLimit(20);
        rig.hold(Path::LotSave);
        m_elsewhere->clear();
        Watch watch(false, m_window);
        QTimer committer;
        committer.setInterval(25);
        QObject::connect(&committer, &QTimer::timeout, [&] {
            if (watch.panelSeen && rig.holder->isActive())
                rig.holder->commit();
        });
        committer.start();
        rig.work(Path::LotSave);
        watch.ticker.stop();
        committer.stop();

        QVERIFY(watch.panelSeen);
        QVERIFY(!visiblePanel());
        QCOMPARE(rig.op.texts(), QStringList());
        // Written over the other workstation's committed balance, not in its place.
        QCOMPARE(rig.stored().front(), QStringLiteral("Nome digitado|Almoxarifado|99"));
    }

    void aTimerUsingTheConnectionDuringAWaitWaitsForTheStatementToEnd()
    {
        // FocusLater and queued calls run while the panel's loop turns: one that reads through
        // the connection the waiting save is using is held until that statement has ended.
        Rig rig;
        db::setLockWaitLimit(2);
        rig.hold(Path::LotSave);
        db::Connection &conn = rig.dm.SQLConnection1;
        bool ranDuringTheWait = false;
        QString read;
        QTimer::singleShot(300, &m_window, [&] {
            ranDuringTheWait = conn.inUseElsewhere();
            read = conn.query(QStringLiteral("select DESCRICAO from ESTLOTE where LOTE = 'L1'")).rows.at(0).at(0).toString();
        });
        Watch watch(false, m_window);
        rig.work(Path::LotSave);
        watch.ticker.stop();
        QVERIFY(ranDuringTheWait);
        QCOMPARE(read, QStringLiteral("Ácido bórico"));   // the committed row, read once the save's statement let go
        QCOMPARE(rig.op.messages().size(), 1);
        QVERIFY2(rig.op.messages().front().text.startsWith(db::kLockWaitTimeoutMessage.arg(2)),
                 qPrintable(rig.op.messages().front().text));
        rig.holder->rollback();
        QCOMPARE(conn.query(QStringLiteral("select count(*) from ESTLOTE")).rows.at(0).at(0).toInt(), 1);
    }

    void aJobThatThrowsEndsTheWaitWithItsMessage()
    {
        // Thrown on the worker after the panel is up, it reaches the caller as it was thrown.
        const auto failing = [] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1300));
            throw db::DbError(QStringLiteral("falhou no meio"));
        };
        try {
            m_panel.wait([] { return db::kServerWaitPanelText; }, failing, [] {});
            QFAIL("nothing was thrown");
        } catch (const db::DbError &e) {
            QCOMPARE(e.message(), QStringLiteral("falhou no meio"));
        }
        QVERIFY(!visiblePanel());
    }
};

QTEST_MAIN(LockWaitPanelTest)
#include "lockwaitpanel_qtest.moc"
