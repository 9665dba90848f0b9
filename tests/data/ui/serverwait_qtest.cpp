// A server that stops answering while the program waits on it, from the window's thread: a
// refresh after idling, a save, a commit and a first attach are each told as a lost link once
// the bound has passed (not twice the bound), the window keeps running its timers throughout,
// the panel "Aguardando o servidor…" comes up with "Cancelar", and "Cancelar" ends the wait at
// once. Each time the connection works again once the server goes on.
#include "data/cacheddataset.h"
#include "data/ui/lockwaitpanel.h"
#include "db/connection.h"
#include "db/lockwait.h"
#include "db/serverwatch.h"
#include "support/privateserver.h"
#include "support/testdb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <optional>

namespace {

constexpr int kBound = 4;   // seconds

enum class Step { RefreshAfterIdling, Save, Commit, FirstAttach };

QWidget *visiblePanel()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == data_ui::kLockWaitPanelName && w->isVisible())
            return w;
    return nullptr;
}

// The window's timer while a step runs: the longest pause between two of its ticks, what the
// panel said, and (when asked) "Cancelar" pressed a moment after the panel came up.
struct Watch {
    QElapsedTimer sinceTick;
    qint64 longestPause = 0;
    QElapsedTimer sinceStart;
    qint64 panelAfterMs = -1;
    QString panelText;
    QTimer ticker;

    explicit Watch(bool cancel)
    {
        sinceTick.start();
        sinceStart.start();
        ticker.setInterval(20);
        QObject::connect(&ticker, &QTimer::timeout, [this, cancel] {
            longestPause = std::max(longestPause, sinceTick.restart());
            QWidget *panel = visiblePanel();
            if (!panel || panelAfterMs >= 0)
                return;
            panelAfterMs = sinceStart.elapsed();
            if (auto *label = panel->findChild<QLabel *>())
                panelText = label->text();
            if (cancel)
                QTimer::singleShot(200, panel, [panel] {
                    auto *button = panel->findChild<QPushButton *>();
                    QVERIFY(button);
                    QTest::mouseClick(button, Qt::LeftButton);
                });
        });
        ticker.start();
    }
};

} // namespace

Q_DECLARE_METATYPE(Step)

class ServerWaitTest : public QObject {
    Q_OBJECT

    data_ui::LockWaitPanel m_panel;
    QWidget m_window;
    std::optional<testsupport::PrivateServer> m_server;
    int m_databases = 0;

    // A database of its own for each case: the watch remembers a silent server by database.
    db::Target freshDatabase()
    {
        const db::Target t = m_server->target(QStringLiteral("w%1.fdb").arg(++m_databases));
        db::Connection::createDatabase(t);
        return t;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!testsupport::testServer().isEmpty())
            QSKIP("runs in the embedded pass only, with a server of its own");
        m_server.emplace();
        QVERIFY2(m_server->ready(), qPrintable(m_server->failure()));
        m_window.resize(300, 200);
        m_window.show();
        QApplication::setActiveWindow(&m_window);
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
        db::setServerAnswerLimit(kBound);
    }
    void cleanupTestCase() { db::setServerAnswerLimit(15); }
    void cleanup()
    {
        if (m_server)
            m_server->thaw();
    }

    void aFrozenServerIsToldWithinTheBoundWithTheWindowAlive_data()
    {
        QTest::addColumn<Step>("step");
        QTest::newRow("refresh after idling") << Step::RefreshAfterIdling;
        QTest::newRow("save") << Step::Save;
        QTest::newRow("commit") << Step::Commit;
        QTest::newRow("first attach") << Step::FirstAttach;
    }

    void aFrozenServerIsToldWithinTheBoundWithTheWindowAlive()
    {
        QFETCH(Step, step);
        db::Connection conn;
        conn.configure(freshDatabase());
        conn.execute(QStringLiteral("create table T (A integer)"));
        conn.execute(QStringLiteral("insert into T values (1)"));
        data::CachedDataset rows(QStringLiteral("T"), &conn);
        rows.setCommandText(QStringLiteral("select A from T"));
        rows.open();
        std::optional<db::Transaction> tx;
        if (step == Step::Commit) {
            tx.emplace(conn);
            tx->execute(QStringLiteral("insert into T values (3)"));
        }
        if (step == Step::FirstAttach)
            conn.close();

        m_server->freeze();
        Watch watch(false);
        QElapsedTimer took;
        took.start();
        try {
            switch (step) {
            case Step::RefreshAfterIdling: rows.refresh(); break;
            case Step::Save: conn.execute(QStringLiteral("insert into T values (2)")); break;
            case Step::Commit: tx->commit(); break;
            case Step::FirstAttach: conn.open(); break;
            }
            QFAIL("a frozen server answered");
        } catch (const db::DbError &e) {
            QVERIFY2(e.isConnectionLost(), qPrintable(e.message()));
            QVERIFY(db::operatorText(e).startsWith(db::kConnectionLostMessage));
        }
        const qint64 ms = took.elapsed();
        watch.ticker.stop();
        // The bound from the call, not twice it; and not before it either.
        QVERIFY2(ms >= (kBound - 1) * 1000 && ms <= (kBound + 1) * 1000, qPrintable(QString::number(ms)));
        QVERIFY2(watch.longestPause < 600, qPrintable(QString::number(watch.longestPause)));
        QVERIFY(watch.panelAfterMs >= 0);
        QCOMPARE(watch.panelText, db::kServerWaitPanelText);
        QVERIFY(!visiblePanel());

        tx.reset();
        m_server->thaw();
        QTest::qWait(100);
        // Cut before the server saw it; only a commit already on its way may be taken when it
        // goes on.
        const int64_t count = conn.query(QStringLiteral("select count(*) from T")).rows.at(0).at(0).toInt();
        QVERIFY(step == Step::Commit ? count <= 2 : count == 1);
    }

    void cancellingAWaitOnTheServerEndsItAtOnce_data()
    {
        QTest::addColumn<Step>("step");
        QTest::newRow("save") << Step::Save;
        QTest::newRow("first attach") << Step::FirstAttach;
    }

    void cancellingAWaitOnTheServerEndsItAtOnce()
    {
        QFETCH(Step, step);
        db::Connection conn;
        conn.configure(freshDatabase());
        conn.execute(QStringLiteral("create table T (A integer)"));
        if (step == Step::FirstAttach)
            conn.close();
        m_server->freeze();
        Watch watch(true);
        QElapsedTimer took;
        took.start();
        try {
            // A first attach is left to end on its own; whatever it gets is never used.
            if (step == Step::FirstAttach)
                conn.open();
            else
                conn.execute(QStringLiteral("insert into T values (2)"));
            QFAIL("a frozen server answered");
        } catch (const db::DbError &e) {
            QCOMPARE(e.wait(), db::DbError::Wait::ServerCancelled);
            QVERIFY(e.isConnectionLost());
            QCOMPARE(db::operatorText(e), db::kServerWaitCancelledMessage + QStringLiteral("\n\n") + db::kServerCancelledReason);
        }
        const qint64 ms = took.elapsed();
        watch.ticker.stop();
        QVERIFY2(ms < kBound * 1000 - 1000, qPrintable(QString::number(ms)));   // the panel, the click, no more
        QCOMPARE(watch.panelText, db::kServerWaitPanelText);
        m_server->thaw();
        QTest::qWait(100);
        conn.execute(QStringLiteral("insert into T values (3)"));
        QCOMPARE(conn.query(QStringLiteral("select count(*) from T")).rows.at(0).at(0).toInt(), 1);
    }
};

QTEST_MAIN(ServerWaitTest)
#include "serverwait_qtest.moc"
