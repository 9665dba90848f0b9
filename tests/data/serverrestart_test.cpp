// The lot grid's dataset over a real server that is stopped and started again: every workstation
// works again at its next click, the rows on screen stay while the server is away or frozen, and
// a change whose link broke is told once and never written twice.
#include "data/tdm.h"
#include "db/serverwatch.h"

#include "lotrows.h"
#include "platform/clock.h"
#include "platform/winpath.h"
#include "support/privateserver.h"
#include "support/recordingoperator.h"
#include "support/testdb.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

using datatest::addLot;
using testsupport::MessageKind;
using testsupport::PrivateServer;

namespace {

struct LotsThroughARestartedServer : ::testing::Test {
    PrivateServer server;
    platform::WinPaths paths;
    platform::FixedClock clock{QDate(2024, 3, 7), QTime(14, 5)};
    core::RunState run;
    core::Connections connections{paths};
    core::ActivityLog log{clock, paths};
    testsupport::RecordingOperator op;
    data::TDM dm{run, connections, log, op};
    db::Connection other;   // another workstation

    void SetUp() override
    {
        if (!testsupport::testServer().isEmpty())
            GTEST_SKIP() << "runs in the embedded pass only";
        ASSERT_TRUE(server.ready()) << server.failure().toStdString();
        const db::Target t = server.target(QStringLiteral("central.fdb"));
        db::Connection::createDatabase(t);
        other.configure(t);
        other.runScript(testsupport::sqlScript(QStringLiteral("central")));
        for (int i = 0; i < 3; ++i)
            addLot(other, {.descricao = QStringLiteral("Lote %1").arg(i), .lote = QStringLiteral("L%1").arg(i)});
        connections.SQLConnection1.configure(t);
        dm.ESTLOTE.setCommandText(datatest::lotStatement());
        dm.ESTLOTE.open();
    }
    void restart()
    {
        server.stop();
        ASSERT_TRUE(server.start());
    }
    QStringList shownDescriptions()
    {
        QStringList out;
        const int col = dm.ESTLOTE.fieldIndex(QStringLiteral("DESCRICAO"));
        for (int r = 0; r < dm.ESTLOTE.rowCount(); ++r)
            out << dm.ESTLOTE.valueAt(r, col).toString();
        return out;
    }
    // The current lot's balance changed in the grid and posted (which saves it at once).
    void postBalance(int64_t balance)
    {
        dm.ESTLOTE.edit();
        dm.ESTLOTE.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::decimal({balance, 0}));
        dm.ESTLOTE.post();
    }
    QString storedBalance(const QString &lot)
    {
        return other.query(QStringLiteral("select SALDOCORRENTE from ESTLOTE where LOTE = ?"), {db::Value::text(lot)})
            .rows[0][0].toString();
    }
};

TEST_F(LotsThroughARestartedServer, RefreshAndReopenWorkAtTheNextClick)
{
    restart();
    addLot(other, {.descricao = QStringLiteral("Lote 3"), .lote = QStringLiteral("L3")});
    dm.ESTLOTE.moveTo(1);
    dm.ESTLOTE.refresh();   // the refresh button after the night's restart
    EXPECT_EQ(dm.ESTLOTE.rowCount(), 4);
    EXPECT_EQ(dm.ESTLOTE.text(QStringLiteral("LOTE")), QStringLiteral("L1"));   // same record
    restart();
    // A filter change reopens with another statement.
    dm.ESTLOTE.setCommandText(datatest::lotStatement() .replace(QStringLiteral(" order by"), QStringLiteral(" where LOTE <> 'L0' order by")));
    dm.ESTLOTE.open();
    EXPECT_EQ(shownDescriptions(), (QStringList{"Lote 1", "Lote 2", "Lote 3"}));
    EXPECT_TRUE(op.messages().isEmpty());
}

TEST_F(LotsThroughARestartedServer, TheRowsOnScreenStayWhileTheServerIsDown)
{
    const QStringList before = shownDescriptions();
    dm.ESTLOTE.moveTo(2);
    server.stop();
    EXPECT_THROW(dm.ESTLOTE.refresh(), db::DbError);
    EXPECT_EQ(shownDescriptions(), before);
    dm.ESTLOTE.setCommandText(datatest::lotStatement(QStringLiteral("LOTE desc")));
    try {
        dm.ESTLOTE.open();
        FAIL() << "opened with the server down";
    } catch (const db::DbError &e) {
        EXPECT_TRUE(db::operatorText(e).startsWith(db::kConnectionLostMessage)) << e.message().toStdString();
    }
    EXPECT_EQ(shownDescriptions(), before);
    EXPECT_EQ(dm.ESTLOTE.currentRow(), 2);
    ASSERT_TRUE(server.start());
    dm.ESTLOTE.open();
    EXPECT_EQ(shownDescriptions(), (QStringList{"Lote 2", "Lote 1", "Lote 0"}));
}

TEST_F(LotsThroughARestartedServer, AnEditAfterARestartIsSavedAtOnce)
{
    // The dead link is found when the save's transaction starts, before anything is sent: it is
    // started again on a new attachment, so the save needs no second click.
    dm.ESTLOTE.moveTo(0);
    restart();
    postBalance(25);
    EXPECT_TRUE(op.messages().isEmpty()) << op.texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(storedBalance(QStringLiteral("L0")), QStringLiteral("25"));
    EXPECT_EQ(other.query(QStringLiteral("select count(*) from ESTLOTE")).rows[0][0].toInt(), 3);
}

TEST_F(LotsThroughARestartedServer, AFrozenServerGivesOneMessageForARefreshAndForASave)
{
    db::setServerAnswerLimit(2);
    const QStringList before = shownDescriptions();
    dm.ESTLOTE.moveTo(0);
    server.freeze();
    QElapsedTimer took;
    took.start();
    try {
        dm.ESTLOTE.refresh();
        ADD_FAILURE() << "a frozen server answered";
    } catch (const db::DbError &e) {
        EXPECT_TRUE(db::operatorText(e).startsWith(db::kConnectionLostMessage)) << e.message().toStdString();
    }
    EXPECT_EQ(shownDescriptions(), before);
    // A save while it stays frozen: told once that the link is gone (the reload that follows
    // fails the same way and says nothing more) and that the save could not be checked, nothing
    // pending, the grid as it was.
    postBalance(25);
    EXPECT_LT(took.elapsed(), 4 * 2 * 2000);   // two actions, each within a couple of bounds
    ASSERT_EQ(op.messages().size(), 2) << op.texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(op.messages()[0].kind, MessageKind::Warn);
    EXPECT_TRUE(op.messages()[0].text.startsWith(db::kConnectionLostMessage + QStringLiteral("\n\n")))
        << op.messages()[0].text.toStdString();
    EXPECT_EQ(op.messages()[1].text, data::kUnconfirmedSaveMessage);
    EXPECT_FALSE(dm.ESTLOTE.hasPendingChanges());
    server.thaw();
    db::setServerAnswerLimit(15);
    // The server goes on: the change never reached it, and made again it is saved once.
    op.clear();
    EXPECT_EQ(storedBalance(QStringLiteral("L0")), QStringLiteral("10"));
    dm.ESTLOTE.refresh();
    dm.ESTLOTE.moveTo(0);
    postBalance(25);
    EXPECT_TRUE(op.messages().isEmpty()) << op.texts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(storedBalance(QStringLiteral("L0")), QStringLiteral("25"));
}

// The lot edit window as the data module sees it: what it was told of the save.
struct SaveWatcher : data::LotEditFormView {
    QStringList calls;
    bool isActiveWindow() const override { return false; }
    void setDescriptionEnabled(bool) override {}
    void focusDescription() override {}
    QString descriptionText() const override { return {}; }
    QString lotText() const override { return {}; }
    QString balanceText() const override { return {}; }
    void hideJustification() override {}
    void rowSaved() override { calls << QStringLiteral("saved"); }
    void rowSavedAfterReconnection() override { calls << QStringLiteral("saved after reconnection"); }
    void rowChangedElsewhere() override { calls << QStringLiteral("changed elsewhere"); }
};

// The link lost while the save is on its way (the server restarted between the save's start and
// its update): once it is back the row is read; what it holds says whether the change is on
// record, and the operator is told which, never left to guess.
TEST_F(LotsThroughARestartedServer, ASaveWhoseLinkWasLostIsConfirmedFromTheRowOnceTheLinkIsBack)
{
    for (const bool reached : {true, false}) {
        SCOPED_TRACE(reached ? "the change reached the server" : "the change was lost with the link");
        op.clear();
        SaveWatcher form;
        dm.lotEditForm = &form;
        dm.ESTLOTE.beforeWrite = [&](data::CachedDataset &, db::Transaction &, const std::vector<db::Value> &,
                                     const std::vector<db::Value> &) -> std::optional<QString> {
            // As if the update had been taken just before the link went.
            if (reached)
                other.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 31 where LOTE = 'L1'"));
            restart();
            return std::nullopt;
        };
        dm.ESTLOTE.refresh();
        dm.ESTLOTE.moveTo(1);
        postBalance(31);
        dm.ESTLOTE.beforeWrite = nullptr;
        dm.lotEditForm = nullptr;
        ASSERT_EQ(op.messages().size(), 2) << op.texts().join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(op.messages()[0].text.startsWith(db::kConnectionLostMessage)) << op.texts()[0].toStdString();
        if (reached) {
            EXPECT_EQ(op.messages()[1].kind, MessageKind::Inform);
            EXPECT_EQ(op.messages()[1].text, data::kConfirmedAfterReconnectionMessage);
            EXPECT_EQ(form.calls, QStringList{QStringLiteral("saved after reconnection")});
            EXPECT_FALSE(dm.ESTLOTEPostRefused);
            EXPECT_EQ(storedBalance(QStringLiteral("L1")), QStringLiteral("31"));
            other.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 10 where LOTE = 'L1'"));
        } else {
            EXPECT_EQ(op.messages()[1].kind, MessageKind::Warn);
            EXPECT_EQ(op.messages()[1].text, data::kNotSavedAfterReconnectionMessage);
            EXPECT_TRUE(form.calls.isEmpty());
            EXPECT_TRUE(dm.ESTLOTEPostRefused);
            EXPECT_EQ(storedBalance(QStringLiteral("L1")), QStringLiteral("10"));
        }
        EXPECT_FALSE(dm.ESTLOTE.hasPendingChanges());
    }
}

// The server is still down when the save is first checked and comes back a moment later: the
// check is made again until it can read the row, then says the change is on record; a server that
// stays down is told as unchecked once the short bound has passed.
TEST_F(LotsThroughARestartedServer, ASaveIsCheckedAgainWhileTheLinkComesBack)
{
    for (const bool comesBack : {true, false}) {
        SCOPED_TRACE(comesBack ? "the server comes back" : "the server stays down");
        op.clear();
        SaveWatcher form;
        dm.lotEditForm = &form;
        dm.ESTLOTE.refresh();
        dm.ESTLOTE.moveTo(1);
        dm.ESTLOTE.beforeWrite = [&](data::CachedDataset &, db::Transaction &, const std::vector<db::Value> &,
                                     const std::vector<db::Value> &) -> std::optional<QString> {
            other.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 31 where LOTE = 'L1'"));
            server.stop();
            return std::nullopt;
        };
        int pauses = 0;
        dm.pauseBetweenSaveChecks = [&](int ms) {
            EXPECT_LE(ms, 1000);
            if (++pauses == 2 && comesBack)
                EXPECT_TRUE(server.start());
            else
                QThread::msleep(unsigned(ms));
        };
        QElapsedTimer took;
        took.start();
        postBalance(31);
        dm.ESTLOTE.beforeWrite = nullptr;
        dm.lotEditForm = nullptr;
        dm.pauseBetweenSaveChecks = data::PauseKeepingWindowAlive;
        ASSERT_EQ(op.messages().size(), 2) << op.texts().join(QLatin1Char('\n')).toStdString();
        if (comesBack) {
            EXPECT_EQ(pauses, 2);
            EXPECT_EQ(op.messages()[1].text, data::kConfirmedAfterReconnectionMessage);
            EXPECT_EQ(form.calls, QStringList{QStringLiteral("saved after reconnection")});
            other.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 10 where LOTE = 'L1'"));
        } else {
            EXPECT_GE(pauses, 3);
            EXPECT_LT(took.elapsed(), data::SaveCheckBoundMs() + 5000);
            EXPECT_EQ(op.messages()[1].text, data::kUnconfirmedSaveMessage);
            EXPECT_TRUE(form.calls.isEmpty());
            ASSERT_TRUE(server.start());
        }
        EXPECT_FALSE(dm.ESTLOTE.hasPendingChanges());
    }
}

} // namespace
