// A report build with the workstation's database on a server that restarted, stopped, was killed
// or froze: after a restart the build works at the first click; while the server is away the
// operator reads the lost-link text once, within the bound, never the advice to overwrite the
// workstation's database, which is kept for a staging table that is really missing.
#include "db/serverwatch.h"
#include "reports/resale.h"
#include "reportrig.h"
#include "support/privateserver.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using testsupport::PrivateServer;

namespace {

constexpr int kBound = 2;   // seconds

class StagingOnAServer : public ::testing::Test, public reportstest::ReportRig {
protected:
    PrivateServer server;
    db::Connection workstation;   // to set up and read back
    reports::NoProgress progress;
    reports::ConsistencyErrors errors;

    void SetUp() override
    {
        if (!testsupport::testServer().isEmpty())
            GTEST_SKIP() << "runs in the embedded pass only";
        ASSERT_TRUE(server.ready()) << server.failure().toStdString();
        db::setServerAnswerLimit(kBound);
        const db::Target central = server.target(QStringLiteral("central.fdb"));
        const db::Target ws = server.target(QStringLiteral("formulix.bd"));
        db::Connection::createDatabase(central);
        db::Connection::createDatabase(ws);
        db::Connection c;
        c.configure(central);
        c.runScript(testsupport::sqlScript(QStringLiteral("central")));
        workstation.configure(ws);
        workstation.runScript(testsupport::sqlScript(QStringLiteral("workstation")));
        connections.SQLConnection1.configure(central);
        connections.SQLConnection2.configure(ws);
    }
    void TearDown() override { db::setServerAnswerLimit(15); }

    reports::ReportContext ctx() { return reports::ReportContext{dm, run, clock, paths, op, progress, errors}; }
    // An old report's row, which a build that runs replaces (with nothing: the central has no lots).
    void oldRow()
    {
        workstation.execute(QStringLiteral("insert into RELESTLOTE (LOTE, FORNECEDOR, CODIGO, LABORATORIO) "
                                           "values ('L', 'F', 'C', 'Lab')"));
    }
    int64_t stagedRows()
    {
        return workstation.query(QStringLiteral("select count(*) from RELESTLOTE")).rows[0][0].toInt();
    }
};

TEST_F(StagingOnAServer, TheFirstBuildAfterARestartWorks)
{
    auto c = ctx();
    ASSERT_TRUE(reports::BuildResaleStaging(c));   // the workstation's links are up
    oldRow();
    server.stop();
    ASSERT_TRUE(server.start());
    EXPECT_TRUE(reports::BuildResaleStaging(c));
    EXPECT_EQ(op.texts(), QStringList());
    EXPECT_EQ(stagedRows(), 0);
}

TEST_F(StagingOnAServer, AServerAwayIsToldOnceAsALostLinkAndTheNextBuildWorks)
{
    auto c = ctx();
    ASSERT_TRUE(reports::BuildResaleStaging(c));
    for (const char *how : {"stopped", "killed", "frozen"}) {
        SCOPED_TRACE(how);
        oldRow();
        op.clear();
        if (QByteArray(how) == "stopped")
            server.stop();
        else if (QByteArray(how) == "killed")
            server.kill();
        else
            server.freeze();
        QElapsedTimer took;
        took.start();
        EXPECT_FALSE(reports::BuildResaleStaging(c));
        EXPECT_LT(took.elapsed(), 3 * kBound * 1000);
        ASSERT_EQ(op.texts().size(), 1);
        EXPECT_TRUE(op.texts()[0].startsWith(db::kConnectionLostMessage)) << op.texts()[0].toStdString();
        server.thaw();
        ASSERT_TRUE(server.start());
        EXPECT_EQ(stagedRows(), 1);   // the previous report's rows stay
        op.clear();
        EXPECT_TRUE(reports::BuildResaleStaging(c));
        EXPECT_EQ(op.texts(), QStringList());
        EXPECT_EQ(stagedRows(), 0);
    }
}

TEST_F(StagingOnAServer, AMissingStagingTableStillGetsTheAdvice)
{
    workstation.execute(QStringLiteral("drop table RELESTLOTE"));
    auto c = ctx();
    EXPECT_FALSE(reports::BuildResaleStaging(c));
    EXPECT_EQ(op.texts(), QStringList{reports::StagingTableErrorMessage(QStringLiteral("ANA"), QStringLiteral("01"))});
}

} // namespace
