// Several workstation processes transferring at random through the Firebird server: no stock is
// made or lost, no balance goes below zero and no location holds a lot twice, also when one of
// them is killed in the middle of a transfer, and when others move stock between a product's
// rows in the other order meanwhile: no process ends with a failure it threw.
#include "support/testdb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <signal.h>

namespace {

const QString kWorker = QStringLiteral(ESTOQUE_BINARY_DIR "/tests/transfer_worker");
const QString kWriter = QStringLiteral(ESTOQUE_BINARY_DIR "/tests/stock_writer");
const QString kNewLot = QStringLiteral(ESTOQUE_BINARY_DIR "/tests/newlot_worker");

struct Snapshot {
    QMap<QString, QString> totals;   // CODIGO -> sum of SALDOCORRENTE
    int negatives = 0;
    int duplicates = 0;
    bool ok = false;
};

// One consistent view of the whole table, read through isql-fb in a snapshot transaction while
// the workers commit around it.
Snapshot readSnapshot(const QString &location, const QString &folder)
{
    const QString script = folder + QStringLiteral("/totals.sql");
    QFile f(script);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(QStringLiteral(
                "connect '%1' user 'SYSDBA' password 'vortexine';\n"
                "set transaction read only isolation level snapshot;\n"
                "select 'T|' || CODIGO || '|' || cast(sum(SALDOCORRENTE) as varchar(40)) from ESTLOTE group by CODIGO;\n"
                "select 'N|' || count(*) from ESTLOTE where SALDOCORRENTE < 0;\n"
                "select 'D|' || count(*) from (select CODIGO from ESTLOTE group by CODIGO, LOTE, FORNECEDOR, "
                "LABORATORIO having count(*) > 1);\n"
                "commit;\n")
                .arg(location)
                .toUtf8());
    f.close();
    QProcess isql;
    isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-i"), script});
    if (!isql.waitForFinished(30000) || isql.exitCode() != 0)
        return {};
    Snapshot s;
    for (QByteArray line : isql.readAllStandardOutput().split('\n')) {
        line = line.trimmed();
        const QList<QByteArray> parts = line.split('|');
        if (line.startsWith("T|") && parts.size() == 3)
            s.totals[QString::fromLatin1(parts[1])] = QString::fromLatin1(parts[2]);
        else if (line.startsWith("N|"))
            s.negatives = parts.value(1).toInt();
        else if (line.startsWith("D|"))
            s.duplicates = parts.value(1).toInt();
    }
    s.ok = !s.totals.isEmpty();
    return s;
}

class ConcurrentTransfers : public ::testing::Test {
protected:
    std::unique_ptr<testsupport::TempDatabase> tdb;
    QTemporaryDir scratch;

    void SetUp() override
    {
        // Several processes share a database only through a server; the embedded pass has none.
        if (testsupport::testServer().isEmpty())
            GTEST_SKIP() << "runs in the pass through the Firebird server";
        ASSERT_TRUE(QFile::exists(kWorker));
        tdb = std::make_unique<testsupport::TempDatabase>();
        const char *rows[][3] = {
            {"00001", "Almoxarifado", "50"},   {"00001", "Loja 1", "30"},
            {"00002", "Loja 2", "40"},
            {"00'03", "Almoxarifado", "25"},   {"00'03", "Terceiros", "5.5"}, {"00'03", "EmTransito", "0"},
        };
        for (const auto &r : rows)
            tdb->conn().execute(
                QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, SALDOCORRENTE, "
                               "SALDOPREVISTO, UNIDADE, VALIDADE) values ('PRODUTO', 'L1', 'Forn', ?, ?, ?, ?, 'g', "
                               "'2030-01-31')"),
                {db::Value::text(QString::fromLatin1(r[0])), db::Value::text(QString::fromLatin1(r[1])),
                 db::Value::decimal(db::Decimal::fromString(QString::fromLatin1(r[2]))),
                 db::Value::decimal(db::Decimal::fromString(QString::fromLatin1(r[2])))});
    }

    std::unique_ptr<QProcess> start(int seed, int count, int pauseMs = 0)
    {
        auto p = std::make_unique<QProcess>();
        p->start(kWorker, {tdb->target().location, QString::number(seed), QString::number(count),
                           QString::number(pauseMs)});
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    }
    std::unique_ptr<QProcess> startWriter(int seed, int count)
    {
        auto p = std::make_unique<QProcess>();
        p->start(kWriter, {tdb->target().location, QString::number(seed), QString::number(count)});
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    }

    const QMap<QString, QString> kStart = {
        {QStringLiteral("00001"), QStringLiteral("80")},
        {QStringLiteral("00002"), QStringLiteral("40")},
        {QStringLiteral("00'03"), QStringLiteral("30.5")},
    };

    // Reads snapshots while the workers run; every one must show the starting totals.
    int watch(const std::vector<QProcess *> &workers)
    {
        int reads = 0;
        QElapsedTimer t;
        t.start();
        for (;;) {
            bool running = false;
            for (QProcess *w : workers) {
                w->waitForFinished(0);
                running = running || w->state() != QProcess::NotRunning;
            }
            if (!running || t.elapsed() > 60000)
                break;
            const Snapshot s = readSnapshot(tdb->target().location, scratch.path());
            if (s.ok) {
                ++reads;
                EXPECT_EQ(normalised(s.totals), kStart) << "read " << reads;
                EXPECT_EQ(s.negatives, 0);
                EXPECT_EQ(s.duplicates, 0);
            }
        }
        for (QProcess *w : workers)
            w->waitForFinished(30000);
        return reads;
    }

    // isql-fb writes the sums with all 8 decimals.
    static QMap<QString, QString> normalised(QMap<QString, QString> totals)
    {
        for (QString &v : totals) {
            if (v.contains(QLatin1Char('.'))) {
                while (v.endsWith(QLatin1Char('0')))
                    v.chop(1);
                if (v.endsWith(QLatin1Char('.')))
                    v.chop(1);
            }
        }
        return totals;
    }

    void expectConservedAtTheEnd()
    {
        const Snapshot s = readSnapshot(tdb->target().location, scratch.path());
        ASSERT_TRUE(s.ok);
        EXPECT_EQ(normalised(s.totals), kStart);
        EXPECT_EQ(s.negatives, 0);
        EXPECT_EQ(s.duplicates, 0);
    }

    struct Tally {
        int done = 0, refused = 0, quantityRefusals = 0, gaveUp = 0;
        QStringList failures;
        bool ended = false;
    };
    static Tally tally(const QByteArray &output)
    {
        Tally t;
        for (const QByteArray &line : output.split('\n')) {
            if (line == "DONE")
                ++t.done;
            else if (line.startsWith("FAILED"))
                t.failures << QString::fromUtf8(line);
            else if (line.startsWith("GAVEUP"))
                ++t.gaveUp;
            else if (line.startsWith("REFUSED")) {
                ++t.refused;
                if (line.contains("maior que a quantidade"))
                    ++t.quantityRefusals;
            } else if (line.startsWith("END"))
                t.ended = true;
        }
        return t;
    }
};

TEST_F(ConcurrentTransfers, TotalsPerLotAreKeptWhateverTheOthersDo)
{
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int seed : {11, 12, 13})
        workers.push_back(start(seed, 40));
    const int reads = watch({workers[0].get(), workers[1].get(), workers[2].get()});
    EXPECT_GT(reads, 0);

    Tally all;
    for (auto &w : workers) {
        EXPECT_EQ(w->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(w->exitCode(), 0) << w->readAllStandardError().constData();
        const Tally t = tally(w->readAllStandardOutput());
        EXPECT_TRUE(t.ended);
        EXPECT_EQ(t.failures, QStringList());
        all.done += t.done;
        all.quantityRefusals += t.quantityRefusals;
    }
    // The run did real work, and asked for more than there was along the way.
    EXPECT_GT(all.done, 30);
    EXPECT_GT(all.quantityRefusals, 0);
    expectConservedAtTheEnd();
}

TEST_F(ConcurrentTransfers, AWorkstationKilledInTheMiddleOfATransferLosesNothing)
{
    std::vector<std::unique_ptr<QProcess>> workers;
    workers.push_back(start(21, 30));
    workers.push_back(start(22, 30));
    // This one pauses after its credit, holding the lot's rows; it is killed there.
    auto victim = start(23, 1000, 40);
    int mids = 0;
    QElapsedTimer t;
    t.start();
    while (mids < 4 && t.elapsed() < 30000) {
        victim->waitForReadyRead(1000);
        while (victim->canReadLine())
            if (victim->readLine().trimmed() == "MID")
                ++mids;
    }
    ASSERT_EQ(mids, 4);
    ::kill(pid_t(victim->processId()), SIGKILL);
    victim->waitForFinished(10000);
    EXPECT_EQ(victim->exitStatus(), QProcess::CrashExit);

    // The others go on: the killed one's locks go with its connection.
    const int reads = watch({workers[0].get(), workers[1].get()});
    EXPECT_GT(reads, 0);
    for (auto &w : workers) {
        EXPECT_EQ(w->exitCode(), 0) << w->readAllStandardError().constData();
        EXPECT_TRUE(tally(w->readAllStandardOutput()).ended);
    }
    expectConservedAtTheEnd();
}

TEST_F(ConcurrentTransfers, WritersMovingStockInTheOtherOrderAbortNoTransfer)
{
    // Three transfer workers and two workstations moving stock between two rows of a product in
    // one transaction, in random order: they meet the transfers' row locks in the other order
    // (each waiting on the other), and every conflict the engine gives is taken in stride.
    std::vector<std::unique_ptr<QProcess>> all;
    for (int seed : {31, 32, 33})
        all.push_back(start(seed, 20));
    for (int seed : {34, 35})
        all.push_back(startWriter(seed, 20));
    std::vector<QProcess *> running;
    for (auto &p : all)
        running.push_back(p.get());
    EXPECT_GT(watch(running), 0);

    int transfersDone = 0, writesDone = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        QProcess &p = *all[i];
        SCOPED_TRACE(i < 3 ? "transfer worker" : "writer");
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
        const Tally t = tally(p.readAllStandardOutput());
        EXPECT_TRUE(t.ended);
        EXPECT_EQ(t.failures, QStringList());
        (i < 3 ? transfersDone : writesDone) += t.done;
    }
    EXPECT_GT(transfersDone, 15);
    EXPECT_GT(writesDone, 10);
    expectConservedAtTheEnd();
}

// The long run (scripts/soak sets ESTOQUE_SOAK_SECONDS; skipped otherwise): two workstations
// saving the same new lots through the lot dataset's save, three transfer workers and two
// writers, each started again as it ends, until the time is up. No process may end with a
// failure it threw, the totals stay as they began in every snapshot, and no lot is saved twice.
TEST_F(ConcurrentTransfers, SoakOfTwoWorkstationsThreeTransferWorkersAndTwoWriters)
{
    const int seconds = qEnvironmentVariableIntValue("ESTOQUE_SOAK_SECONDS");
    if (seconds <= 0)
        GTEST_SKIP() << "the long run: scripts/soak";
    tdb->conn().execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE) values ('00077', 'Vitamina C')"));
    auto readLine = [](QProcess &p) {
        while (!p.canReadLine())
            if (!p.waitForReadyRead(60000))
                return QByteArray("TIMEOUT");
        return p.readLine().trimmed();
    };
    std::unique_ptr<QProcess> stations[2];
    for (auto &w : stations) {
        w = std::make_unique<QProcess>();
        w->start(kNewLot, {tdb->target().location});
        ASSERT_TRUE(w->waitForStarted(10000));
        ASSERT_EQ(readLine(*w), "READY") << w->readAllStandardError().constData();
    }
    std::vector<std::unique_ptr<QProcess>> crew;
    int seed = 100;
    for (int i = 0; i < 5; ++i)
        crew.push_back(i < 3 ? start(++seed, 20) : startWriter(++seed, 20));

    Tally all;
    int runs = 0, writerRuns = 0, lotsSaved = 0, rounds = 0, snapshots = 0;
    auto collect = [&](size_t i) {
        QProcess &p = *crew[i];
        SCOPED_TRACE(i < 3 ? "transfer worker" : "writer");
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
        const Tally t = tally(p.readAllStandardOutput());
        EXPECT_TRUE(t.ended);
        EXPECT_EQ(t.failures, QStringList());
        all.done += t.done;
        all.refused += t.refused;
        all.gaveUp += t.gaveUp;
        ++(i < 3 ? runs : writerRuns);
    };
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000LL) {
        for (size_t i = 0; i < crew.size(); ++i) {
            crew[i]->waitForFinished(0);
            if (crew[i]->state() == QProcess::NotRunning) {
                collect(i);
                crew[i] = i < 3 ? start(++seed, 20) : startWriter(++seed, 20);
            }
        }
        // Both workstations save the same new lot at once: one row, one refusal.
        const QByteArray go = "GO 00077 S" + QByteArray::number(++rounds) + "\n";
        for (auto &w : stations)
            w->write(go);
        const QByteArray said[2] = {readLine(*stations[0]), readLine(*stations[1])};
        EXPECT_EQ(int(said[0] == "SAVED") + int(said[1] == "SAVED"), 1)
            << "round " << rounds << ": " << said[0].constData() << " / " << said[1].constData();
        lotsSaved += int(said[0] == "SAVED") + int(said[1] == "SAVED");
        if (rounds % 10 == 0) {
            const Snapshot snap = readSnapshot(tdb->target().location, scratch.path());
            if (snap.ok) {
                ++snapshots;
                QMap<QString, QString> seeded = normalised(snap.totals);
                seeded.remove(QStringLiteral("00077"));
                EXPECT_EQ(seeded, kStart) << "snapshot " << snapshots;
                EXPECT_EQ(snap.negatives, 0);
                EXPECT_EQ(snap.duplicates, 0);
            }
        }
    }
    for (size_t i = 0; i < crew.size(); ++i) {
        EXPECT_TRUE(crew[i]->waitForFinished(120000));
        collect(i);
    }
    for (auto &w : stations) {
        w->closeWriteChannel();
        EXPECT_TRUE(w->waitForFinished(10000));
    }
    const Snapshot end = readSnapshot(tdb->target().location, scratch.path());
    ASSERT_TRUE(end.ok);
    QMap<QString, QString> seeded = normalised(end.totals);
    seeded.remove(QStringLiteral("00077"));
    EXPECT_EQ(seeded, kStart);
    EXPECT_EQ(end.negatives, 0);
    EXPECT_EQ(end.duplicates, 0);
    EXPECT_EQ(lotsSaved, rounds);
    // The transfers carry the new lots to other locations too: one lot each, however many rows.
    EXPECT_EQ(tdb->conn()
                  .query(QStringLiteral("select count(distinct LOTE) from ESTLOTE where CODIGO = '00077'"))
                  .rows[0][0]
                  .toInt(),
              rounds);
    std::printf("soak %d s: %d transfer runs, %d writer runs, %d transfers and writes done, %d refused, %d given up; "
                "%d new lots raced by two workstations, %d saved; %d snapshots exact\n",
                seconds, runs, writerRuns, all.done, all.refused, all.gaveUp, rounds, lotsSaved, snapshots);
}

} // namespace
