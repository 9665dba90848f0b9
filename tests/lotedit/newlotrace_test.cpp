// Two workstations saving the same new lot at the same moment, through the Firebird server: one
// row is written, the other workstation is told the lot exists, every time.
#include "support/qtprint.h"
#include "support/testdb.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kWorker = QStringLiteral(ESTOQUE_BINARY_DIR "/tests/newlot_worker");

QByteArray readLine(QProcess &p)
{
    while (!p.canReadLine())
        if (!p.waitForReadyRead(30000))
            return {};
    return p.readLine().trimmed();
}

TEST(NewLotRace, TwoWorkstationsSavingOneNewLotTogetherMakeOneRow)
{
    // Several processes share a database only through a server; the embedded pass has none.
    if (testsupport::testServer().isEmpty())
        GTEST_SKIP() << "runs in the pass through the Firebird server";
    ASSERT_TRUE(QFile::exists(kWorker));
    testsupport::TempDatabase tdb;
    // One product in the register; the other code is in no register row (the lock falls back).
    tdb.conn().execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE) values ('00077', 'Vitamina C')"));
    tdb.conn().execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE) values ('00012', 'Cafeína')"));

    std::unique_ptr<QProcess> workers[2];
    for (auto &w : workers) {
        w = std::make_unique<QProcess>();
        w->start(kWorker, {tdb.target().location});
        ASSERT_TRUE(w->waitForStarted(10000));
        ASSERT_EQ(readLine(*w), "READY") << w->readAllStandardError().constData();
    }
    const int kRounds = 50;
    int saved = 0;
    for (int round = 0; round < kRounds; ++round) {
        const QByteArray code = round % 5 == 4 ? "99999" : "00077";
        const QByteArray go = "GO " + code + " R" + QByteArray::number(round) + "\n";
        // Both told before either answers: the saves overlap.
        for (auto &w : workers)
            w->write(go);
        for (auto &w : workers)
            ASSERT_TRUE(w->waitForBytesWritten(10000));
        QByteArray said[2];
        for (int i = 0; i < 2; ++i)
            said[i] = readLine(*workers[i]);
        const int savedNow = int(said[0] == "SAVED") + int(said[1] == "SAVED");
        EXPECT_EQ(savedNow, 1) << "round " << round << ": " << said[0].constData() << " / " << said[1].constData();
        saved += savedNow;
        const QByteArray refused = said[0] == "SAVED" ? said[1] : said[0];
        EXPECT_EQ(QString::fromUtf8(refused),
                  QStringLiteral("REFUSED O lote R%1 de Vitamina C (código %2, fornecedor Galena) já existe em "
                                 "Manipulação. O registro não foi gravado.")
                      .arg(round)
                      .arg(QString::fromLatin1(code)))
            << "round " << round;
    }
    for (auto &w : workers) {
        w->closeWriteChannel();
        EXPECT_TRUE(w->waitForFinished(10000));
    }
    EXPECT_EQ(saved, kRounds);
    const db::Rows dup = tdb.conn().query(QStringLiteral(
        "select count(*) from (select CODIGO from ESTLOTE group by CODIGO, LOTE, FORNECEDOR, LABORATORIO "
        "having count(*) > 1)"));
    EXPECT_EQ(dup.rows[0][0].toInt(), 0);
    EXPECT_EQ(tdb.conn().query(QStringLiteral("select count(*) from ESTLOTE")).rows[0][0].toInt(), kRounds);
}

} // namespace
