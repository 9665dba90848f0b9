// A real server stopped and started again between two uses of one connection: the dead link is
// recognised, the next use attaches again, a transaction that could not start and a read are
// tried once more, and a write never twice. A server that stops answering: every call on it ends
// within the program's bound as a lost link, the connection works again once the server goes on,
// a server that is only busy is not cut, and a call that begins while the watch asks after an
// ended one is never taken for it.
#include "db/connection.h"
#include "db/lockwait.h"
#include "db/serverwatch.h"
#include "support/privateserver.h"
#include "support/testdb.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

using namespace db;
using testsupport::PrivateServer;
using Clock = std::chrono::steady_clock;

namespace {

struct ServerRestart : ::testing::Test {
    PrivateServer server;
    Connection conn;

    void SetUp() override
    {
        // Runs once, with its own server: the run through the shared server adds nothing.
        if (!testsupport::testServer().isEmpty())
            GTEST_SKIP() << "runs in the embedded pass only";
        ASSERT_TRUE(server.ready()) << server.failure().toStdString();
        Connection::createDatabase(server.target(QStringLiteral("t.fdb")));
        conn.configure(server.target(QStringLiteral("t.fdb")));
        conn.execute(QStringLiteral("create table T (A integer)"));
        conn.execute(QStringLiteral("insert into T values (1)"));
    }
    void restart()
    {
        server.stop();
        ASSERT_TRUE(server.start());
    }
    int64_t count() { return conn.query(QStringLiteral("select count(*) from T")).rows[0][0].toInt(); }
};

TEST_F(ServerRestart, TheOldLinkFailsAsALostConnection)
{
    ASSERT_TRUE(conn.isOpen());
    Transaction tx(conn);   // its statements go on the old link
    restart();
    // The engine reports the dead link as a network read or write error.
    try {
        tx.query(QStringLiteral("select count(*) from T"));
        FAIL() << "the old attachment still worked";
    } catch (const DbError &e) {
        EXPECT_TRUE(e.isConnectionLost()) << e.message().toStdString();
        EXPECT_TRUE(operatorText(e).startsWith(kConnectionLostMessage + QStringLiteral("\n\n")));
    }
    EXPECT_FALSE(conn.isOpen());   // dropped: the next use attaches again
    EXPECT_EQ(count(), 1);
}

TEST_F(ServerRestart, ATransactionStartedOnTheDeadLinkIsStartedOnANewOne)
{
    restart();
    // Nothing was sent when the start failed: it is made again once on a new attachment.
    Transaction tx(conn);
    tx.execute(QStringLiteral("insert into T values (2)"));
    tx.commit();
    EXPECT_EQ(count(), 2);
}

TEST_F(ServerRestart, QueriesAndDirectStatementsWorkAgainAtTheNextUse)
{
    restart();
    EXPECT_EQ(count(), 1);   // the read is run again on a new attachment
    restart();
    conn.execute(QStringLiteral("insert into T values (2)"));
    EXPECT_EQ(count(), 2);   // written once, not twice
    server.kill();           // a power cut: nothing answers now
    ASSERT_TRUE(server.start());
    EXPECT_EQ(count(), 2);
}

TEST_F(ServerRestart, AServerThatIsDownFailsAtOnceAndIsReachedOnceItIsBack)
{
    server.stop();
    try {
        count();
        FAIL() << "a stopped server answered";
    } catch (const DbError &e) {
        EXPECT_TRUE(e.isConnectionLost()) << e.message().toStdString();
    }
    EXPECT_THROW(count(), DbError);   // refused again while it stays down
    ASSERT_TRUE(server.start());
    EXPECT_EQ(count(), 1);
}

constexpr int kBound = 2;   // seconds

// A server that stops answering (its process frozen, its port still taking connections).
struct SilentServer : ServerRestart {
    void SetUp() override
    {
        setServerAnswerLimit(kBound);
        ServerRestart::SetUp();
    }
    void TearDown() override { setServerAnswerLimit(15); }

    // Runs `step` with the server frozen; expects a lost link within a few bounds.
    void expectLostWhileFrozen(const std::function<void()> &step)
    {
        server.freeze();
        const auto start = Clock::now();
        try {
            step();
            ADD_FAILURE() << "a frozen server answered";
        } catch (const DbError &e) {
            EXPECT_TRUE(e.isConnectionLost()) << e.message().toStdString();
            EXPECT_TRUE(operatorText(e).startsWith(kConnectionLostMessage)) << operatorText(e).toStdString();
        }
        // The bound, not the minutes a frozen server would hold the caller.
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(3 * kBound));
        server.thaw();
    }
};

TEST_F(SilentServer, EveryCallEndsWithinTheBoundAndTheNextUseWorks)
{
    // A read, a write in its own transaction, a statement inside an open transaction, a commit,
    // and a first attach on a closed connection.
    expectLostWhileFrozen([&] { count(); });
    EXPECT_EQ(count(), 1);
    expectLostWhileFrozen([&] { conn.execute(QStringLiteral("insert into T values (2)")); });
    EXPECT_EQ(count(), 1);   // cut before the server saw it
    {
        Transaction tx(conn);
        tx.execute(QStringLiteral("insert into T values (3)"));
        expectLostWhileFrozen([&] { tx.query(QStringLiteral("select count(*) from T")); });
    }
    EXPECT_EQ(count(), 1);
    {
        Transaction tx(conn);
        tx.execute(QStringLiteral("insert into T values (4)"));
        expectLostWhileFrozen([&] { tx.commit(); });
    }
    conn.close();
    expectLostWhileFrozen([&] { conn.open(); });
    EXPECT_LE(count(), 2);   // the frozen commit may or may not have reached the server
}

TEST_F(SilentServer, ABusyServerIsNotCut)
{
    // Our statement waits on a row another connection holds for longer than the bound, on a
    // server that answers everything else: it goes through when the other one commits.
    Connection other;
    other.configure(conn.target());
    Transaction holder(other);
    holder.execute(QStringLiteral("update T set A = 10"));
    setLockWaitStep(4 * kBound);
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::seconds(2 * kBound));
        holder.commit();
    });
    uint64_t changed = 0;
    try {
        Transaction tx(conn);
        changed = tx.execute(QStringLiteral("update T set A = A + 1"));
        tx.commit();
    } catch (const DbError &e) {
        ADD_FAILURE() << e.message().toStdString();
    }
    releaser.join();
    setLockWaitStep(1);
    EXPECT_EQ(changed, 1u);
    EXPECT_EQ(conn.query(QStringLiteral("select A from T")).rows[0][0].toInt(), 11);
}

TEST_F(SilentServer, ACallThatBeganWhileTheWatchProbedIsNotTakenForTheOneThatEnded)
{
    // A call to the frozen server is watched until the watch starts asking that server for a new
    // attach; it ends meanwhile and a call to another, answering server begins (the memory of
    // the ended one is at hand for it). When the probe finds the frozen server silent, the new
    // call must not be the one cut.
    PrivateServer answering;
    ASSERT_TRUE(answering.ready()) << answering.failure().toStdString();
    Connection::createDatabase(answering.target(QStringLiteral("a.fdb")));
    Connection alive;
    alive.configure(answering.target(QStringLiteral("a.fdb")));
    alive.execute(QStringLiteral("create table A (X integer)"));
    server.freeze();
    auto first = std::make_unique<ServerCall>(conn);
    std::this_thread::sleep_for(std::chrono::milliseconds(kBound * 500 + 200));   // the probe is under way
    first.reset();
    {
        ServerCall second(alive);
        std::this_thread::sleep_for(std::chrono::milliseconds(kBound * 500 + 500));   // the probe has given up
        EXPECT_FALSE(second.abandoned());
    }
    server.thaw();
    alive.execute(QStringLiteral("insert into A values (1)"));   // its link was never cut
    EXPECT_EQ(alive.query(QStringLiteral("select count(*) from A")).rows[0][0].toInt(), 1);
}

} // namespace
