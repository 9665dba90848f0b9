// The lock every creator of a lot takes: a second workstation creating the same lot waits on the
// product's row until the first one's transaction ends, then sees the row it made; with a code
// the register lacks, on the register's first row.
#include "common/lotlock.h"

#include "support/testdb.h"

#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(LockLotForNewRow, ASecondCreatorOfTheLotWaitsAndThenSeesTheFirstOnesRow)
{
    testsupport::TempDatabase tdb;
    tdb.conn().execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE) values ('00077', 'Vitamina C')"));
    tdb.conn().execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE) values ('00012', 'Cafeína')"));
    const std::unique_ptr<db::Connection> second = tdb.another();
    // Registered code; a code no register row holds; none at all.
    for (const db::Value &code : {db::Value::text(QStringLiteral("00077")), db::Value::text(QStringLiteral("99999")),
                                  db::Value()}) {
        SCOPED_TRACE(code.isNull() ? std::string("null") : code.toString().toStdString());
        tdb.conn().execute(QStringLiteral("delete from ESTLOTE"));
        const db::Value lote = db::Value::text(QStringLiteral("VC-9"));
        const db::Value forn = db::Value::text(QStringLiteral("Galena"));
        db::Transaction first(tdb.conn());
        ASSERT_TRUE(common::LockLotForNewRow(first, code, lote, forn).isEmpty());
        first.execute(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO) "
                                     "values ('Vitamina C', ?, ?, ?, 'Manipulação ')"),
                      {lote, forn, code});

        std::atomic<bool> done{false};
        db::Rows seen;
        std::string failure;
        std::thread other([&] {
            try {
                db::Transaction tx(*second);
                seen = common::LockLotForNewRow(tx, code, lote, forn);
                tx.commit();
            } catch (const std::exception &e) {
                failure = e.what();
            }
            done = true;
        });
        QThread::msleep(400);
        EXPECT_FALSE(done.load());   // still waiting on the product
        first.commit();
        other.join();
        ASSERT_TRUE(failure.empty()) << failure;
        ASSERT_EQ(seen.rows.size(), 1u);
        EXPECT_EQ(common::RowAtLocation(seen, db::Value::text(QStringLiteral("Manipulação"))), 0);
        EXPECT_EQ(common::RowAtLocation(seen, db::Value::text(QStringLiteral("Almoxarifado"))), -1);
    }
}

} // namespace
