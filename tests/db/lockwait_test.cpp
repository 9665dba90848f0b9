// A row held by another connection: the wait is bounded, can be cancelled from another thread,
// leaves the data as it was when it gives up, and goes on as soon as the other connection ends.
#include "db/connection.h"
#include "db/lockwait.h"
#include "support/testdb.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace db;
using testsupport::TempDatabase;
using Clock = std::chrono::steady_clock;

namespace {

// Runs the job on a thread of its own, as the window's host does, and cancels it after a delay
// when asked to.
struct ThreadHost : LockWaitHost {
    int cancelAfterMs = -1;
    int calls = 0;
    void wait(const QString &what, const std::function<void()> &job, const std::function<void()> &cancel) override
    {
        ++calls;
        EXPECT_EQ(what, kLockWaitPanelText);
        std::thread worker(job);
        if (cancelAfterMs >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(cancelAfterMs));
            cancel();
        }
        worker.join();
    }
};

struct LockWait : ::testing::Test {
    TempDatabase tdb{QStringList{}};
    std::unique_ptr<Connection> other;
    std::optional<Transaction> holder;
    ThreadHost host;

    void SetUp() override
    {
        tdb.conn().execute(QStringLiteral("create table LOTE (CODIGO integer not null primary key, SALDO integer)"));
        tdb.conn().execute(QStringLiteral("insert into LOTE values (1, 10)"));
        tdb.conn().execute(QStringLiteral("insert into LOTE values (2, 20)"));
        other = tdb.another();
        holder.emplace(*other);
        holder->execute(QStringLiteral("update LOTE set SALDO = SALDO + 100 where CODIGO = 1"));
        setLockWaitLimit(2);
        setLockWaitHost(&host);
    }
    void TearDown() override
    {
        setLockWaitHost(nullptr);
        setLockWaitLimit(30);
    }
    int saldo(int code)
    {
        return int(tdb.conn().query(QStringLiteral("select SALDO from LOTE where CODIGO = ?"), {Value::integer(code)}).rows[0][0].toInt());
    }
    // Our update of both rows, the held one last; returns how the wait ended.
    DbError::Wait save()
    {
        try {
            Transaction tx(tdb.conn());
            tx.execute(QStringLiteral("update LOTE set SALDO = SALDO - 1 where CODIGO = 2"));
            tx.execute(QStringLiteral("update LOTE set SALDO = SALDO - 1 where CODIGO = 1"));
            tx.commit();
            return DbError::Wait::None;
        } catch (const DbError &e) {
            EXPECT_TRUE(operatorText(e).startsWith(e.wait() == DbError::Wait::Cancelled
                                                       ? kLockWaitCancelledMessage
                                                       : kLockWaitTimeoutMessage.arg(2)))
                << operatorText(e).toStdString();
            return e.wait();
        }
    }
};

TEST_F(LockWait, TheLimitAndCancellingBothRollBackAndLeaveTheRowsAsTheyWere)
{
    struct Case { int cancelAfterMs; DbError::Wait ended; double maxSeconds; };
    for (const Case &c : {Case{-1, DbError::Wait::TimedOut, 3.9}, Case{300, DbError::Wait::Cancelled, 1.9}}) {
        SCOPED_TRACE(c.cancelAfterMs);
        host.cancelAfterMs = c.cancelAfterMs;
        const auto started = Clock::now();
        EXPECT_EQ(save(), c.ended);
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - started).count(), c.maxSeconds);
        EXPECT_EQ(saldo(2), 20);   // the row saved before the wait was rolled back
    }
    EXPECT_EQ(host.calls, 2);
    holder->rollback();
    EXPECT_EQ(saldo(1), 10);
    EXPECT_EQ(save(), DbError::Wait::None);   // once free, the same save goes through
    EXPECT_EQ(saldo(1), 9);
    EXPECT_EQ(saldo(2), 19);
}

TEST_F(LockWait, TheWaitGoesOnAsSoonAsTheOtherConnectionCommits)
{
    setLockWaitLimit(20);
    std::thread committer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        holder->commit();
    });
    EXPECT_EQ(save(), DbError::Wait::None);
    committer.join();
    EXPECT_EQ(host.calls, 1);
    EXPECT_EQ(saldo(1), 109);   // applied on the committed version, not over it
    EXPECT_EQ(saldo(2), 19);
}

TEST_F(LockWait, ALockingSelectWaitsTheSameWayAndEndsOnTheCommittedRow)
{
    setLockWaitLimit(20);
    std::thread committer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        holder->commit();
    });
    Transaction tx(tdb.conn());
    const QString lockRow = QStringLiteral("select SALDO from LOTE where CODIGO = 1 with lock");
    Rows locked;
    try {
        locked = tx.query(lockRow);
    } catch (const DbError &e) {
        // Told the row changed while it waited: the caller (the transfer) reads it again.
        EXPECT_TRUE(e.isUpdateConflict()) << e.message().toStdString();
        EXPECT_FALSE(e.waitEnded());
        locked = tx.query(lockRow);
    }
    committer.join();
    EXPECT_EQ(host.calls, 1);
    EXPECT_EQ(locked.rows.at(0).at(0).toInt(), 110);   // the other's committed row, never the old one
}

TEST_F(LockWait, AStatementThatDoesNotWaitNeverCallsTheHost)
{
    Transaction tx(tdb.conn());
    EXPECT_EQ(tx.execute(QStringLiteral("update LOTE set SALDO = 0 where CODIGO = 2")), 1u);
    tx.commit();
    EXPECT_EQ(host.calls, 0);
}

TEST_F(LockWait, ReservingATableAnotherConnectionReservedIsBoundedToo)
{
    holder->rollback();
    Transaction reserving(*other, QStringList{QStringLiteral("LOTE")});
    host.cancelAfterMs = 200;
    try {
        Transaction tx(tdb.conn(), QStringList{QStringLiteral("LOTE")});
        FAIL() << "the reservation went through while another connection held it";
    } catch (const DbError &e) {
        EXPECT_EQ(e.wait(), DbError::Wait::Cancelled) << e.message().toStdString();
    }
    EXPECT_EQ(host.calls, 1);
}

} // namespace
