// A real server stopped and started again between two uses of one connection: the dead link is
// recognised, the next use attaches again, a transaction that could not start and a read are
// tried once more, and a write never twice.
#include "db/connection.h"
#include "support/privateserver.h"
#include "support/testdb.h"

#include <gtest/gtest.h>

using namespace db;
using testsupport::PrivateServer;

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

} // namespace
