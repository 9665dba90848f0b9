// The database layer against a real engine: exact values, Windows-1252 text, waiting on locks,
// reconnecting after a lost link.
#include "db/connection.h"
#include "db/sqltext.h"
#include "platform/cp1252.h"
#include "support/testdb.h"

#include <gtest/gtest.h>
#include <ibase.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace db;
using testsupport::TempDatabase;

namespace {

const char *kLotTable =
    "create table LOTES (DESCRICAO varchar(70), LOTE varchar(30), SALDO decimal(18,8), "
    "PRECO decimal(15,8), VALIDADE date, MOMENTO timestamp, PESO double precision, QTD integer, FICHA blob sub_type 0)";

struct Db : ::testing::Test {
    TempDatabase tdb{QStringList{}};
    void SetUp() override { tdb.conn().execute(QString::fromLatin1(kLotTable)); }
};

TEST_F(Db, ValuesComeBackExactly)
{
    const QString name = QStringLiteral("Óleo de Amêndoas d'Água €");
    tdb.conn().execute(QStringLiteral("insert into LOTES (DESCRICAO, LOTE, SALDO, PRECO, VALIDADE, MOMENTO, PESO, QTD) values (")
                       + quoted(name) + QStringLiteral(", 'L1', 9999999999.12345678, -0.5, '")
                       + monthFirstDate(QDate(2024, 3, 7), true) + QStringLiteral("', '2024-03-07 14:05:00', 2.5, 42)"));
    Rows r = tdb.conn().query(QStringLiteral("select DESCRICAO, SALDO, PRECO, VALIDADE, MOMENTO, PESO, QTD, LOTE as L from LOTES"));
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.at(0, "DESCRICAO").toString(), name);
    EXPECT_EQ(r.at(0, "SALDO").toString(), QStringLiteral("9999999999.12345678"));
    EXPECT_EQ(r.at(0, "SALDO").toDecimal().mantissa, 999999999912345678LL);
    EXPECT_EQ(r.at(0, "PRECO").toString(), QStringLiteral("-0.5"));
    EXPECT_EQ(r.at(0, "VALIDADE").toDate(), QDate(2024, 3, 7));   // month first: 03/07 is 7 March
    EXPECT_EQ(r.at(0, "MOMENTO").toDateTime(), QDateTime(QDate(2024, 3, 7), QTime(14, 5)));
    EXPECT_DOUBLE_EQ(r.at(0, "PESO").toDouble(), 2.5);
    EXPECT_EQ(r.at(0, "QTD").toInt(), 42);
    EXPECT_EQ(r.at(0, "L").toString(), QStringLiteral("L1"));   // alias names the column

    // The bytes stored are Windows-1252: the engine compares them as such.
    Rows bytes = tdb.conn().query(QStringLiteral("select octet_length(DESCRICAO) from LOTES"));
    EXPECT_EQ(bytes.rows[0][0].toInt(), platform::toCp1252(name).size());
}

TEST_F(Db, ParametersOfEveryKindAndLongTextsAreStoredWhole)
{
    Transaction tx(tdb.conn());
    Prepared ins(tx, QStringLiteral("insert into LOTES (DESCRICAO, LOTE, SALDO, VALIDADE, PESO, QTD, FICHA) values (?, ?, ?, ?, ?, ?, ?)"));
    // A short value first, then a long one in the same slot: the long one must not become NULL.
    ins.execute({Value::text(QStringLiteral("A")), Value::text(QStringLiteral("x")), Value::decimal({-5, 1}),
                 Value::date(QDate(2030, 1, 31)), Value::real(1.25), Value::integer(7), Value::blob("ficha")});
    ins.execute({Value::text(QString(70, QChar(0xE7))), Value(), Value::decimal({123456789012345678LL, 8}),
                 Value(), Value(), Value(), Value()});
    tx.commit();
    Rows r = tdb.conn().query(QStringLiteral("select DESCRICAO, LOTE, SALDO, VALIDADE, FICHA from LOTES order by QTD nulls last"));
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.at(0, "SALDO").toString(), QStringLiteral("-0.5"));
    EXPECT_EQ(r.at(0, "FICHA").toBytes(), QByteArray("ficha"));
    EXPECT_EQ(r.at(1, "DESCRICAO").toString(), QString(70, QChar(0xE7)));
    EXPECT_TRUE(r.at(1, "LOTE").isNull());
    EXPECT_TRUE(r.at(1, "VALIDADE").isNull());
    EXPECT_EQ(r.at(1, "SALDO").toString(), QStringLiteral("1234567890.12345678"));
}

TEST_F(Db, ErrorsCarryTheServerTextAndATooLongValueIsRefused)
{
    try {
        tdb.conn().execute(QStringLiteral("insert into LOTES (LOTE) values ('") + QString(31, QLatin1Char('9')) + QStringLiteral("')"));
        FAIL() << "a value longer than its column was accepted";
    } catch (const DbError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("string right truncation"))) << e.message().toStdString();
    }
    try {
        tdb.conn().execute(QStringLiteral("update NOSUCH set X = 1"));
        FAIL();
    } catch (const DbError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("NOSUCH"))) << e.message().toStdString();
    }
    // The connection is still usable after a refused statement.
    EXPECT_NO_THROW(tdb.conn().execute(QStringLiteral("insert into LOTES (LOTE) values ('ok')")));
}

// Statements, their messages and blobs go back to the engine whatever ends the call: a failed
// prepare, a wrong number of parameters, a refused value, a cursor that fails, blobs written and
// read. The attachment holds no more statements after a hundred such calls than before.
TEST_F(Db, FailedCallsLeaveNoStatementOnTheAttachment)
{
    Connection &conn = tdb.conn();
    const auto statementsHeld = [&] {
        return conn.query(QStringLiteral("select count(*) from MON$STATEMENTS where MON$ATTACHMENT_ID = CURRENT_CONNECTION"))
            .rows[0][0]
            .toInt();
    };
    conn.execute(QStringLiteral("insert into LOTES (DESCRICAO, FICHA) values ('A', ?)"), {Value::blob(QByteArray(70000, 'f'))});
    const int64_t before = statementsHeld();
    for (int i = 0; i < 25; ++i) {
        Transaction tx(conn);
        EXPECT_THROW(tx.execute(QStringLiteral("insert into LOTES (DESCRICAO) values (?)"), {}), DbError);
        EXPECT_THROW(tx.execute(QStringLiteral("insert into LOTES (QTD) values ('abc')")), DbError);
        EXPECT_THROW(tx.execute(QStringLiteral("insert into NAO_EXISTE (A) values (1)")), DbError);
        EXPECT_THROW(tx.open(QStringLiteral("select DESCRICAO from LOTES where LOTE = ?")), DbError);
        EXPECT_THROW(tx.query(QStringLiteral("select 1 / (char_length(DESCRICAO) - 1) from LOTES where DESCRICAO = ?"),
                              {Value::text(QStringLiteral("A"))}),
                     DbError);
        tx.execute(QStringLiteral("update LOTES set FICHA = ? where DESCRICAO = 'A'"), {Value::blob(QByteArray(40000, 'g'))});
        EXPECT_EQ(tx.query(QStringLiteral("select FICHA from LOTES")).rows[0][0].toBytes().size(), 40000);
        tx.rollback();
    }
    EXPECT_EQ(statementsHeld(), before);
}

TEST_F(Db, ConcurrentUpdatesWaitForEachOtherAndLoseNothing)
{
    tdb.conn().execute(QStringLiteral("insert into LOTES (LOTE, SALDO) values ('L1', 100)"));
    auto first = tdb.another();
    Transaction holder(*first);
    holder.execute(QStringLiteral("update LOTES set SALDO = SALDO + 1 where LOTE = 'L1'"));

    std::atomic<bool> done{false};
    std::string failure;
    std::thread second([&] {
        try {
            auto other = tdb.another();
            other->execute(QStringLiteral("update LOTES set SALDO = SALDO + 10 where LOTE = 'L1'"));
        } catch (const DbError &e) {
            failure = e.message().toStdString();
        }
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(done) << "the second update did not wait for the lock";
    holder.commit();
    second.join();
    EXPECT_EQ(failure, "");
    Rows r = tdb.conn().query(QStringLiteral("select SALDO from LOTES"));
    EXPECT_EQ(r.rows[0][0].toString(), QStringLiteral("111"));
}

TEST_F(Db, ALostConnectionIsReopenedOnTheNextUse)
{
    tdb.conn().execute(QStringLiteral("insert into LOTES (LOTE) values ('a')"));
    // Another attachment throws this one out, as a server restart or a dropped link would.
    auto admin = tdb.another();
    admin->execute(QStringLiteral("delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID <> CURRENT_CONNECTION"));
    Rows r = tdb.conn().query(QStringLiteral("select count(*) from LOTES"));
    EXPECT_EQ(r.rows[0][0].toInt(), 1);
    EXPECT_TRUE(tdb.conn().isOpen());
}

// Statements kept prepared on the attachment: run in transaction after transaction with new
// values, each run sent once; prepared again on the attachment that replaces a lost one.
TEST_F(Db, KeptStatementsServeEveryTransactionAndOutliveALostLink)
{
    Connection &conn = tdb.conn();
    const QString insert = QStringLiteral("insert into LOTES (LOTE, QTD) values (?, ?)");
    const QString add = QStringLiteral("update LOTES set QTD = QTD + ? where LOTE = ? returning 1");
    const QString read = QStringLiteral("select LOTE, QTD from LOTES where LOTE starting with ? order by LOTE, QTD with lock");
    const auto lotsAndQuantities = [&](Transaction &tx) {
        QStringList out;
        for (const auto &r : tx.queryKept(read, {Value::text(QStringLiteral("L"))}).rows)
            out << r[0].toString() + u'=' + r[1].toString();
        return out;
    };
    for (int round = 0; round < 2; ++round) {
        const uint64_t before = statementsIssued();
        for (int i = 1; i <= 3; ++i) {
            Transaction tx(conn);
            EXPECT_EQ(tx.executeKept(insert, {Value::text(QStringLiteral("L%1%2").arg(round).arg(i)), Value::integer(i)}), 1u);
            EXPECT_EQ(tx.executeKeptOneRow(add, {Value::integer(10), Value::text(QStringLiteral("L%1%2").arg(round).arg(i))}), 1u);
            EXPECT_EQ(tx.executeKeptOneRow(add, {Value::integer(10), Value::text(QStringLiteral("nenhum"))}), 0u);
            tx.commit();
        }
        EXPECT_EQ(statementsIssued() - before, 9u);
        // Another attachment throws this one out: the kept statements go with it.
        auto admin = tdb.another();
        admin->execute(QStringLiteral("delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID <> CURRENT_CONNECTION"));
    }
    Transaction tx(conn);
    EXPECT_EQ(lotsAndQuantities(tx), QStringList({QStringLiteral("L01=11"), QStringLiteral("L02=12"), QStringLiteral("L03=13"),
                                                  QStringLiteral("L11=11"), QStringLiteral("L12=12"), QStringLiteral("L13=13")}));
    // More than one row for an update that tells one: refused by the engine, nothing changed.
    tx.executeKept(insert, {Value::text(QStringLiteral("L01")), Value::integer(1)});
    EXPECT_THROW(tx.executeKeptOneRow(add, {Value::integer(5), Value::text(QStringLiteral("L01"))}), DbError);
    EXPECT_EQ(lotsAndQuantities(tx).mid(0, 2), QStringList({QStringLiteral("L01=1"), QStringLiteral("L01=11")}));
    tx.rollback();
    conn.close();
    Transaction again(conn);
    EXPECT_EQ(again.queryKept(read, {Value::text(QStringLiteral("L1"))}).rows.size(), 3u);
}

TEST(DbTarget, AnUnreachableTargetFailsWithAnError)
{
    Connection c;
    c.configure(Target{QStringLiteral(":C:\\formulix\\Dados\\FORMULIX.BD"), false, false});
    EXPECT_THROW(c.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 0")), DbError);
    c.configure(Target{QStringLiteral("/nonexistent/folder/FORMULIX.BD"), true, true});
    EXPECT_THROW(c.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 0")), DbError);
}

TEST(DbErrorKind, ALostLinkIsToldFirstWhateverElseTheErrorSays)
{
    struct Case {
        const char *text;
        std::vector<intptr_t> codes;
        bool lost;
    };
    const Case cases[] = {
        {"connection rejected by remote interface", {isc_connect_reject}, true},
        {"Dynamic SQL Error / Error reading data from the connection", {isc_dsql_error, isc_net_read_err}, true},
        {"Failed to locate host machine", {isc_network_error, isc_net_lookup_err}, true},
        {"Dynamic SQL Error / Table unknown", {isc_dsql_error, isc_dsql_relation_err}, false},
        {"lock conflict on no wait transaction / update conflicts", {isc_lock_conflict, isc_update_conflict}, false},
    };
    for (const Case &c : cases) {
        const DbError e(QString::fromLatin1(c.text), c.codes);
        EXPECT_EQ(e.isConnectionLost(), c.lost) << c.text;
        EXPECT_EQ(operatorText(e).startsWith(kConnectionLostMessage), c.lost) << c.text;
        EXPECT_TRUE(operatorText(e).endsWith(QString::fromLatin1(c.text))) << c.text;
    }
}

TEST(Script, SplitsOnSemicolonsOutsideQuotesAndDropsComments)
{
    const QStringList parts = splitScript(QStringLiteral(
        "-- a comment\ncreate table T (A varchar(5));\ninsert into T values ('a;b'); -- trailing\n\ninsert into T values ('c')"));
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts[0], QStringLiteral("create table T (A varchar(5))"));
    EXPECT_EQ(parts[1], QStringLiteral("insert into T values ('a;b')"));
    EXPECT_EQ(parts[2], QStringLiteral("insert into T values ('c')"));
}

TEST(SqlText, QuotesAreDoubledAndDatesTakeTheirForms)
{
    EXPECT_EQ(quoted(QStringLiteral("Pó d'Arroz")), QStringLiteral("'Pó d''Arroz'"));
    EXPECT_EQ(monthFirstDate(QDate(2024, 3, 7), true), QStringLiteral("03/07/2024"));
    EXPECT_EQ(monthFirstDate(QDate(2024, 3, 7), false), QStringLiteral("03/07/24"));
    EXPECT_EQ(isoDate(QDate(2024, 3, 7)), QStringLiteral("2024-03-07"));
}

} // namespace
