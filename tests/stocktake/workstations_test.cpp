// The stocktake among several workstations sharing the central database through the server: a
// posting killed before its commit leaves the whole count unposted with every typed line, and a
// count posted while other workstations transfer the same lots keeps every lot's sum exact.
#include "stocktake/countoutput.h"
#include "stocktake/stocktake.h"

#include "db/connection.h"
#include "platform/cp1252.h"
#include "support/testdb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <map>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString kPoster = QStringLiteral(ESTOQUE_BINARY_DIR "/tests/stocktake_worker");
const QString kTransfers = QStringLiteral(ESTOQUE_BINARY_DIR "/tests/transfer_worker");
const QStringList kStore{QStringLiteral("Almoxarifado"), QStringLiteral("Loja 1"), QStringLiteral("Loja 2")};
using stocktake::Qty;
constexpr Qty kOne = 100000000;

class Workstations : public ::testing::Test {
protected:
    std::unique_ptr<testsupport::TempDatabase> tdb;
    QTemporaryDir share;

    void SetUp() override
    {
        // Several processes share a database only through a server; the embedded pass has none.
        if (testsupport::testServer().isEmpty())
            GTEST_SKIP() << "runs in the pass through the Firebird server";
        ASSERT_TRUE(QFile::exists(kPoster));
        ASSERT_TRUE(QDir(share.path()).mkpath(QStringLiteral("LOG")));
        tdb = std::make_unique<testsupport::TempDatabase>();
        const char *rows[][3] = {
            {"00001", "Almoxarifado", "50"}, {"00001", "Loja 1", "30"},     {"00002", "Loja 2", "40"},
            {"00'03", "Almoxarifado", "25"}, {"00'03", "Terceiros", "5.5"}, {"00'03", "Loja 1", "0"},
        };
        for (const auto &r : rows)
            tdb->conn().execute(
                QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, SALDOCORRENTE, "
                               "SALDOPREVISTO, UNIDADE, VALIDADE, CONTROLADA) values ('PRODUTO ÁGIL', 'L1', 'Forn', ?, "
                               "?, ?, ?, 'g', '2030-01-31', 'Não')"),
                {db::Value::text(QString::fromLatin1(r[0])), db::Value::text(QString::fromLatin1(r[1])),
                 db::Value::decimal(db::Decimal::fromString(QString::fromLatin1(r[2]))),
                 db::Value::decimal(db::Decimal::fromString(QString::fromLatin1(r[2])))});
    }

    // Each product's lot over every location.
    std::map<QString, Qty> sums()
    {
        std::map<QString, Qty> out;
        const db::Rows r = tdb->conn().query(
            QStringLiteral("select CODIGO, sum(SALDOCORRENTE) from ESTLOTE group by CODIGO"));
        for (const auto &row : r.rows)
            out[row[0].toString()] = stocktake::QtyOf(row[1]);
        return out;
    }

    QStringList balances()
    {
        const db::Rows r = tdb->conn().query(
            QStringLiteral("select CODIGO, LABORATORIO, SALDOCORRENTE from ESTLOTE order by CODIGO, LABORATORIO"));
        QStringList out;
        for (const auto &row : r.rows)
            out << row[0].toString() + QLatin1Char('|') + row[1].toString() + QLatin1Char('|') + row[2].toString();
        return out;
    }

    // Every line of the count counted as its snapshot plus one, with a reason.
    int countedPlusOne()
    {
        const int n = stocktake::StartCount(tdb->conn(), {}, kStore, QStringLiteral("1"), QStringLiteral("MARIA"),
                                            QDateTime(QDate(2026, 3, 31), QTime(9, 0)))
                          .numero;
        std::vector<int> all;
        for (const stocktake::Line &l : stocktake::ReadLines(tdb->conn(), n)) {
            stocktake::Found f{l.linha, l.codigo, l.descricao, l.lote, l.fornecedor, l.unidade};
            EXPECT_EQ(stocktake::EnterCount(tdb->conn(), {n, l.laboratorio, f, l.snapshot + kOne,
                                                           stocktake::EntryMode::First, QStringLiteral("ANA"),
                                                           QStringLiteral("02"), QDateTime::currentDateTime()})
                          .step,
                      stocktake::EntryStep::Stored);
            all.push_back(l.linha);
        }
        EXPECT_TRUE(stocktake::SetReason(tdb->conn(), n, all, QStringLiteral("Erro de lançamento"), {}));
        return n;
    }

    QByteArray logText()
    {
        QFile f(share.path() + QStringLiteral("/LOG/LOGESTOQ_2026-03.TXT"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    std::unique_ptr<QProcess> poster(int numero, int holdMs)
    {
        auto p = std::make_unique<QProcess>();
        p->start(kPoster, {tdb->target().location, QString::number(numero), share.path(), QString::number(holdMs)});
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    }
};

TEST_F(Workstations, APostingKilledBeforeItsCommitLeavesTheWholeCountUnpostedAndEveryTypedLine)
{
    const int n = countedPlusOne();
    const QStringList before = balances();
    const std::vector<stocktake::Line> typed = stocktake::ReadLines(tdb->conn(), n);
    ASSERT_EQ(typed.size(), 5u);   // the five rows at the store's locations; Terceiros is not the store's

    std::unique_ptr<QProcess> victim = poster(n, 30000);
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (!out.contains("HOLD") && t.elapsed() < 20000) {
        victim->waitForReadyRead(200);
        out += victim->readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("HOLD")) << out.constData();
    ::kill(pid_t(victim->processId()), SIGKILL);
    ASSERT_TRUE(victim->waitForFinished(10000));
    EXPECT_EQ(victim->exitStatus(), QProcess::CrashExit);

    // Nothing of the posting, everything typed.
    EXPECT_EQ(balances(), before);
    EXPECT_FALSE(stocktake::ReadCount(tdb->conn(), n)->posted());
    const std::vector<stocktake::Line> after = stocktake::ReadLines(tdb->conn(), n);
    ASSERT_EQ(after.size(), typed.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].counted, typed[i].counted);
        EXPECT_FALSE(after[i].saldoDepois.has_value());
    }
    EXPECT_EQ(logText().count("Alterou"), 0);

    // Posted again from another workstation, once the killed one's locks went with it.
    std::unique_ptr<QProcess> again = poster(n, 0);
    ASSERT_TRUE(again->waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(again->readAllStandardOutput()).trimmed(),
              QStringLiteral("POSTED Inventário nº 1 postado: 5 lote(s) com diferença, 0 igual(is) ao sistema."));
    EXPECT_EQ(balances(), (QStringList{"00'03|Almoxarifado|26", "00'03|Loja 1|1", "00'03|Terceiros|5.5",
                                       "00001|Almoxarifado|51", "00001|Loja 1|31", "00002|Loja 2|41"}));
    const QByteArray logged = logText();
    EXPECT_EQ(logged.count("Alterou"), 5);
    EXPECT_TRUE(logged.contains(platform::toCp1252(
        QStringLiteral("31/03/26-10:15 - MARIA - Alterou o Saldo Atual de 0 para 1 (PRODUTO ÁGIL, lote: L1)\r\n"
                       "31/03/26-10:15 - MARIA - Justificativa: Erro de lançamento (inventário nº 1, local Loja 1: "
                       "contado 1, no início 0)\r\n"))));

    // The report as posted.
    const stocktake::Report rep = stocktake::BuildReport(*stocktake::ReadCount(tdb->conn(), n),
                                                         stocktake::ReadLines(tdb->conn(), n), {});
    const QStringList csv = stocktake::ReportCsvLines(rep);
    EXPECT_EQ(csv.at(1), QStringLiteral("Almoxarifado;PRODUTO ÁGIL;00'03;L1;Forn;;g;25;26;1;;;Erro de lançamento;;ANA;"
                                        "%1;;25;26;")
                             .arg(after[0].contadoEm.toString(QStringLiteral("dd/MM/yyyy hh:mm"))));
    EXPECT_EQ(csv.last(), QStringLiteral(";Total geral;;;;;;;5;5;;0,00"));
}

TEST_F(Workstations, ACountPostedWhileOthersTransferTheSameLotsKeepsEverySumExact)
{
    ASSERT_TRUE(QFile::exists(kTransfers));
    const int n = countedPlusOne();
    std::map<QString, Qty> expected = sums();
    for (const stocktake::Line &l : stocktake::ReadLines(tdb->conn(), n))
        expected[l.codigo] += kOne;   // each line's difference

    std::vector<std::unique_ptr<QProcess>> workers;
    for (int seed : {7, 8}) {
        auto p = std::make_unique<QProcess>();
        p->start(kTransfers, {tdb->target().location, QString::number(seed), QStringLiteral("40")});
        ASSERT_TRUE(p->waitForStarted(10000));
        workers.push_back(std::move(p));
    }
    // Post once the transfers are under way.
    QByteArray first;
    QElapsedTimer t;
    t.start();
    while (!first.contains("DONE") && t.elapsed() < 20000) {
        workers[0]->waitForReadyRead(100);
        first += workers[0]->readAllStandardOutput();
    }
    const stocktake::PostResult r = stocktake::PostCount(tdb->conn(), n, stocktake::NotCountedChoice::Keep,
                                                         QStringLiteral("MARIA"), QDateTime::currentDateTime(), nullptr);
    EXPECT_EQ(r.step, stocktake::PostStep::Posted) << r.message.toStdString();
    // A snapshot of every location taken while the transfers go on sees each lot whole: its lines
    // sum to the lot's total, never a debit without its credit.
    const QStringList everywhere = kStore + QStringList{QStringLiteral("EmTransito"), QStringLiteral("Terceiros")};
    const int whole = stocktake::StartCount(tdb->conn(), {}, everywhere, QStringLiteral("1"), QStringLiteral("MARIA"),
                                            QDateTime::currentDateTime())
                          .numero;
    std::map<QString, Qty> seen;
    for (const stocktake::Line &l : stocktake::ReadLines(tdb->conn(), whole))
        seen[l.codigo] += l.snapshot;
    EXPECT_EQ(seen, expected);
    int done = 0;
    for (auto &w : workers) {
        ASSERT_TRUE(w->waitForFinished(60000));
        const QString output = QString::fromUtf8(first + w->readAllStandardOutput());
        first.clear();
        done += output.count(QStringLiteral("DONE"));
        EXPECT_FALSE(output.contains(QStringLiteral("FAILED"))) << output.toStdString();
    }
    EXPECT_GT(done, 0);
    EXPECT_EQ(sums(), expected);
    EXPECT_TRUE(stocktake::ReadCount(tdb->conn(), n)->posted());
}

} // namespace
