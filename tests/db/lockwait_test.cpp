// A row held by another connection: the wait is bounded, can be cancelled from another thread,
// leaves the data as it was when it gives up, and goes on as soon as the other connection ends.
#include "db/connection.h"
#include "db/lockwait.h"
#include "support/testdb.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

using namespace db;
using testsupport::TempDatabase;
using Clock = std::chrono::steady_clock;

namespace {

// Runs the calls of this thread on a thread of their own, as the window's host does; notes each
// that was said to wait on a held row and, when asked, cancels it once it has waited on the row
// for a while.
struct ThreadHost : LockWaitHost {
    int cancelAfterMs = -1;
    int rowWaits = 0;
    std::thread::id caller = std::this_thread::get_id();

    bool keepsThreadAlive() const override { return std::this_thread::get_id() == caller; }
    void wait(const std::function<QString()> &what, const std::function<void()> &job,
              const std::function<void()> &cancel) override
    {
        std::atomic<bool> done{false};
        std::exception_ptr failure;
        std::thread worker([&] {
            try {
                job();
            } catch (...) {
                failure = std::current_exception();
            }
            done = true;
        });
        std::optional<Clock::time_point> onRowSince;
        bool cancelled = false;
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!onRowSince && what() == kLockWaitPanelText)
                onRowSince = Clock::now();
            if (onRowSince && cancelAfterMs >= 0 && !cancelled
                && Clock::now() - *onRowSince >= std::chrono::milliseconds(cancelAfterMs)) {
                cancel();
                cancelled = true;
            }
        }
        worker.join();
        if (onRowSince)
            ++rowWaits;
        else
            EXPECT_EQ(what(), kServerWaitPanelText);   // nothing known held: what a call waits for first
        if (failure)
            std::rethrow_exception(failure);
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
            // What happened in our words; the engine's text is for the diagnostic output only.
            EXPECT_EQ(operatorText(e), e.wait() == DbError::Wait::Cancelled
                                           ? kLockWaitCancelledMessage + QStringLiteral("\n\n") + kCancelledReason
                                           : kLockWaitTimeoutMessage.arg(2) + QStringLiteral("\n\n") + kHeldRowReason);
            return e.wait();
        }
    }
};

TEST_F(LockWait, TheLimitAndCancellingBothRollBackAndLeaveTheRowsAsTheyWere)
{
    struct Case { int cancelAfterMs; DbError::Wait ended; double maxSeconds; };
    for (const Case &c : {Case{-1, DbError::Wait::TimedOut, 4.9}, Case{300, DbError::Wait::Cancelled, 2.4}}) {
        SCOPED_TRACE(c.cancelAfterMs);
        host.cancelAfterMs = c.cancelAfterMs;
        const auto started = Clock::now();
        EXPECT_EQ(save(), c.ended);
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - started).count(), c.maxSeconds);
        EXPECT_EQ(saldo(2), 20);   // the row saved before the wait was rolled back
    }
    EXPECT_EQ(host.rowWaits, 2);
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
    EXPECT_EQ(host.rowWaits, 1);
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
    EXPECT_EQ(host.rowWaits, 1);
    EXPECT_EQ(locked.rows.at(0).at(0).toInt(), 110);   // the other's committed row, never the old one
}

TEST_F(LockWait, AStatementThatDoesNotWaitIsNeverSaidToWaitOnARow)
{
    Transaction tx(tdb.conn());
    EXPECT_EQ(tx.execute(QStringLiteral("update LOTE set SALDO = 0 where CODIGO = 2")), 1u);
    tx.commit();
    EXPECT_EQ(host.rowWaits, 0);
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
    EXPECT_EQ(host.rowWaits, 1);
}

TEST_F(LockWait, TwoConnectionsWaitingOnEachOtherAreToldAtOnceNotAtTheLimit)
{
    // The other connection holds row 1 and, on a thread of its own, goes on to row 2, which ours
    // holds; ours then asks for row 1. The younger transaction (ours) gives up, with its own
    // message, long before the limit; the other's update then goes through.
    setLockWaitLimit(20);
    Transaction tx(tdb.conn());
    tx.execute(QStringLiteral("update LOTE set SALDO = SALDO - 1 where CODIGO = 2"));
    std::atomic<bool> otherDone{false};
    std::thread otherSide([&] {
        try {
            holder->execute(QStringLiteral("update LOTE set SALDO = SALDO + 100 where CODIGO = 2"));
            otherDone = true;
        } catch (const DbError &e) {
            ADD_FAILURE() << "the older transaction gave up too: " << e.message().toStdString();
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto started = Clock::now();
    try {
        tx.execute(QStringLiteral("update LOTE set SALDO = SALDO - 1 where CODIGO = 1"));
        ADD_FAILURE() << "both went through";
    } catch (const DbError &e) {
        EXPECT_EQ(e.wait(), DbError::Wait::Deadlock) << e.message().toStdString();
        EXPECT_EQ(operatorText(e), kDeadlockMessage + QStringLiteral("\n\n") + kDeadlockReason);
    }
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - started).count(), 6.0);
    tx.rollback();
    otherSide.join();
    EXPECT_TRUE(otherDone);
    holder->commit();
    EXPECT_EQ(saldo(1), 110);
    EXPECT_EQ(saldo(2), 120);
}

TEST_F(LockWait, ARowChangedByTheTransactionWaitedOnIsToldFromAStepThatRanOut)
{
    // A locking select whose holder commits at once is told the row changed (the caller reads it
    // again); one whose holder stays is waited on until the limit, whatever the time each step
    // of the engine took (counted in whole seconds, a step may end well before a second).
    setLockWaitLimit(1);
    for (int run = 0; run < 2; ++run) {
        Transaction tx(tdb.conn());
        try {
            tx.query(QStringLiteral("select SALDO from LOTE where CODIGO = 1 with lock"));
            ADD_FAILURE() << "a held row was locked";
        } catch (const DbError &e) {
            EXPECT_EQ(e.wait(), DbError::Wait::TimedOut) << run << ": " << e.message().toStdString();
        }
    }
}

} // namespace
