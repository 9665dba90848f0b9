// "Recolher lote" on a central database: every location of the store and the in-transit one
// moved into quality control in one step, other stores untouched, the log written, a second
// recall moving nothing, and a balance another workstation saved meanwhile never lost.
#include "trace/recall.h"

#include "core/activitylog.h"
#include "db/connection.h"
#include "common/csvexport.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/winpath.h"
#include "support/recordingoperator.h"
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <thread>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const trace::LotKey kLot{QStringLiteral("500"), QStringLiteral("CLORIDRATO DE FLUOXETINA"), QStringLiteral("R1"),
                         QStringLiteral("Química Ávila"), QStringLiteral("g")};
const QStringList kStore{QStringLiteral("LAB1"), QStringLiteral("lab2"), QStringLiteral("Lab3")};

class RecallDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto row = [&](const char *place, const char *balance, const char *unit, const char *situation) {
            m_db.conn().execute(
                QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, "
                               "SALDOPREVISTO, UNIDADE, SITUACAO, CONTROLADA, VALIDADE) values (?, ?, ?, ?, ?, ?, ?, ?, "
                               "?, 'S', '2027-01-31')"),
                {db::Value::text(kLot.codigo), db::Value::text(kLot.descricao), db::Value::text(kLot.lote),
                 db::Value::text(kLot.fornecedor), db::Value::text(QLatin1String(place)),
                 db::Value::text(QLatin1String(balance)), db::Value::text(QLatin1String(balance)),
                 db::Value::text(QLatin1String(unit)), db::Value::text(QLatin1String(situation))});
        };
        row("Lab1", "10", "g", "Liberado");          // the store's laboratory, named in another case
        row("LAB2", "500", "MG", "Liberado");        // kept in milligrams
        row("EmTransito", "2", "g", "Liberado");
        row("LAB3", "0", "g", "Liberado");           // the store's, nothing to move
        row("LOJA2", "5", "g", "Liberado");          // another store's
        row("Terceiros", "1", "g", "Liberado");
        // Another lot of the product at the same place: never touched.
        m_db.conn().execute(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, "
                                           "SALDOCORRENTE, UNIDADE) values ('500', 'X', 'R2', 'Química Ávila', 'Lab1', "
                                           "7, 'g')"));
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("share/LOG")));
        m_paths = platform::WinPaths::parse(QStringLiteral("\\\\SERVIDOR\\Formulix = share\n"), m_dir.path());
    }

    // LABORATORIO, SALDOCORRENTE, SALDOPREVISTO, UNIDADE, SITUACAO of the lot, by location.
    QStringList rows()
    {
        const db::Rows r = m_db.conn().query(QStringLiteral(
            "select LABORATORIO, SALDOCORRENTE, SALDOPREVISTO, UNIDADE, SITUACAO, CONTROLADA from ESTLOTE "
            "where LOTE = 'R1' order by LABORATORIO"));
        QStringList out;
        for (const auto &row : r.rows) {
            QStringList cells;
            for (const db::Value &v : row)
                cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }

    // The lot over all its locations, in grams.
    double totalGrams()
    {
        const db::Rows r = m_db.conn().query(QStringLiteral(
            "select sum(case when upper(UNIDADE) = 'MG' then SALDOCORRENTE / 1000 else SALDOCORRENTE end) "
            "from ESTLOTE where LOTE = 'R1'"));
        return r.rows[0][0].toDouble();
    }

    QByteArray logText()
    {
        QFile f(m_dir.path() + QStringLiteral("/share/LOG/LOGESTOQ_2026-03.TXT"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    testsupport::TempDatabase m_db;
    QTemporaryDir m_dir;
    platform::WinPaths m_paths;
    platform::FixedClock m_clock{QDateTime(QDate(2026, 3, 31), QTime(10, 15))};
    testsupport::RecordingOperator m_op;
};

TEST_F(RecallDatabase, MovesTheStoresBalancesIntoQuarantineOnceAndOnlyOnce)
{
    const trace::RecallPlan plan = trace::PlanRecall(m_db.conn(), kLot, kStore);
    ASSERT_EQ(plan.toMove.size(), 3u);
    EXPECT_EQ(trace::RecallQuestion(kLot, plan),
              QStringLiteral("Recolher o lote R1 de CLORIDRATO DE FLUOXETINA (Química Ávila) para Controle Qualidade, "
                             "situação Aguardando?\r\rSerá movido:\r  EmTransito: 2,00000 g\r  LAB2: 500,00000 MG\r"
                             "  Lab1: 10,00000 g\r\rOutras lojas (não serão alteradas; avise-as):\r  LOJA2: 5,00000 g\r"
                             "  Terceiros: 1,00000 g"));
    const double before = totalGrams();
    EXPECT_DOUBLE_EQ(before, 18.5);

    core::ActivityLog log(m_clock, m_paths);
    ASSERT_TRUE(log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    const trace::RecallResult r = trace::Recall(m_db.conn(), kLot, kStore, plan, QStringLiteral("Alerta do fabricante"),
                                                QStringLiteral("MARIA"), m_clock.now(), &log);
    ASSERT_EQ(r.step, trace::RecallStep::Done) << r.message.toStdString();
    EXPECT_EQ(r.message, QStringLiteral("Lote recolhido para Controle Qualidade (Aguardando):\r"
                                        "  EmTransito: de 2,00000 g para 0,00000 g\r"
                                        "  LAB2: de 500,00000 MG para 0,00000 MG\r"
                                        "  Lab1: de 10,00000 g para 0,00000 g\r"
                                        "  Controle Qualidade: de 0,00000 g para 12,50000 g\r\r"
                                        "Outras lojas (não serão alteradas; avise-as):\r  LOJA2: 5,00000 g\r"
                                        "  Terceiros: 1,00000 g"));
    EXPECT_EQ(rows(), (QStringList{QStringLiteral("Controle Qualidade|12.5|12.5|g|Aguardando|S"),
                                   QStringLiteral("EmTransito|0|0|g|Liberado|S"),
                                   QStringLiteral("LAB2|0|0|MG|Liberado|S"), QStringLiteral("LAB3|0|0|g|Liberado|S"),
                                   QStringLiteral("LOJA2|5|5|g|Liberado|S"), QStringLiteral("Lab1|0|0|g|Liberado|S"),
                                   QStringLiteral("Terceiros|1|1|g|Liberado|S")}));
    EXPECT_DOUBLE_EQ(totalGrams(), before);
    const QByteArray logged = logText();
    for (const char *line : {"31/03/26-10:15 - MARIA - Recolheu para Controle Qualidade o saldo de EmTransito: de 2,00000 g "
                             "para 0,00000 g (CLORIDRATO DE FLUOXETINA, lote: R1). Justificativa: Alerta do fabricante\r\n",
                             "31/03/26-10:15 - MARIA - Recolheu para Controle Qualidade o saldo de LAB2: de 500,00000 MG "
                             "para 0,00000 MG (CLORIDRATO DE FLUOXETINA, lote: R1). Justificativa: Alerta do fabricante\r\n",
                             "31/03/26-10:15 - MARIA - Recolheu para Controle Qualidade o saldo de Lab1: de 10,00000 g "
                             "para 0,00000 g (CLORIDRATO DE FLUOXETINA, lote: R1). Justificativa: Alerta do fabricante\r\n"})
        EXPECT_TRUE(logged.contains(line)) << line;
    EXPECT_EQ(logged.count("Recolheu"), 3);

    // The dossier: the pharmacy, who recalled what from where and why, the other stores, the trace.
    m_db.conn().execute(QStringLiteral(
        "insert into DADOSGER (FARMACIA, FIRMA, ENDERECO, NUMERO, BAIRRO, CIDADE, ESTADO, CNPJ) values ('Farmácia "
        "Boa Saúde', 'Boa Saúde Manipulação Ltda', 'Rua das Flores', '12', 'Centro', 'Campinas', 'SP', "
        "'12.345.678/0001-90')"));
    trace::RecallDossier dossier;
    dossier.pharmacy = trace::ReadPharmacy(m_db.conn(), QStringLiteral("12.345.678/0001-90"));
    dossier.trace = trace::ReadLotTrace(m_db.conn(), kLot);
    dossier.recall = r;
    dossier.otherStores = plan.outside;
    QTemporaryDir drive;
    QDir(drive.path()).mkpath(QStringLiteral("c/FORMULIX"));
    const platform::WinPaths c = platform::WinPaths::parse(QStringLiteral("C: = c\n"), drive.path());
    const QString target = trace::RecallDossierPath(m_clock.today(), kLot.lote);
    EXPECT_EQ(target, QStringLiteral("C:\\FORMULIX\\RECOLHIMENTO26.03.31_R1.CSV"));
    exports::WriteCsvFile(c, target, trace::RecallDossierLines(dossier));
    QFile file(drive.filePath(QStringLiteral("c/FORMULIX/RECOLHIMENTO26.03.31_R1.CSV")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString p = QStringLiteral("CLORIDRATO DE FLUOXETINA;R1;Química Ávila;");
    const QString by = QStringLiteral("por MARIA em 31/03/2026 10:15. Justificativa: Alerta do fabricante\"");
    const QStringList expected{
        trace::kLotTraceHeader,
        p + QStringLiteral("Farmácia;;;;;;;;;;Farmácia Boa Saúde - Boa Saúde Manipulação Ltda - Rua das Flores, 12, "
                           "Centro, Campinas/SP - CNPJ 12.345.678/0001-90"),
        p + QStringLiteral("Recolhido do local;31/03/2026;;;;;EmTransito;2;g;2,00000;\"Saldo depois: 0,00000 g; ") + by,
        p + QStringLiteral("Recolhido do local;31/03/2026;;;;;LAB2;500;MG;0,50000;\"Saldo depois: 0,00000 MG; ") + by,
        p + QStringLiteral("Recolhido do local;31/03/2026;;;;;Lab1;10;g;10,00000;\"Saldo depois: 0,00000 g; ") + by,
        p + QStringLiteral("Quarentena;31/03/2026;;;;;Controle Qualidade;12,5;g;12,50000;\"Aguardando; saldo antes: "
                           "0,00000 g\""),
        p + QStringLiteral("Outra loja (não alterada);;;;;;LOJA2;5;g;5,00000;Liberado"),
        p + QStringLiteral("Outra loja (não alterada);;;;;;Terceiros;1;g;1,00000;Liberado"),
        p + QStringLiteral("Saldo no local;;;;;;Controle Qualidade;12,5;g;12,50000;Aguardando"),
        p + QStringLiteral("Saldo no local;;;;;;EmTransito;0;g;0,00000;Liberado"),
        p + QStringLiteral("Saldo no local;;;;;;LAB2;0;MG;0,00000;Liberado"),
        p + QStringLiteral("Saldo no local;;;;;;LAB3;0;g;0,00000;Liberado"),
        p + QStringLiteral("Saldo no local;;;;;;LOJA2;5;g;5,00000;Liberado"),
        p + QStringLiteral("Saldo no local;;;;;;Lab1;0;g;0,00000;Liberado"),
        p + QStringLiteral("Saldo no local;;;;;;Terceiros;1;g;1,00000;Liberado"),
        p + QStringLiteral("Total comprado;;;;;;;;g;0,00000;"),
        p + QStringLiteral("Total movimentado;;;;;;;;g;0,00000;"),
        p + QStringLiteral("Saldo nos locais;;;;;;;;g;18,50000;"),
        p + QStringLiteral("Diferença;;;;;;;;g;18,50000;"),
        p + QStringLiteral("Causa;;;;;;;;;;Nenhuma nota fiscal de compra deste lote: o estoque nos locais entrou sem "
                           "nota fiscal."),
        p + QStringLiteral("Causa;;;;;;;;;;Transferências entre locais não geram movimento: a divisão do saldo entre "
                           "os locais não aparece nos movimentos."),
    };
    EXPECT_EQ(QString::fromLatin1(file.readAll()),
              QString::fromLatin1(platform::toCp1252(expected.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"))));
    // A store without its header row is named by its CNPJ, not left blank.
    EXPECT_EQ(trace::ReadPharmacy(m_db.conn(), QStringLiteral("99.999.999/0001-99")).identification(),
              QStringLiteral("Farmácia de CNPJ 99.999.999/0001-99 sem cabeçalho em DADOSGER"));

    // A second recall finds nothing to move, says so and writes nothing.
    const trace::RecallPlan again = trace::PlanRecall(m_db.conn(), kLot, kStore);
    EXPECT_TRUE(again.nothingToMove());
    EXPECT_EQ(trace::NothingToRecallText(kLot, again),
              QStringLiteral("Nada a recolher: o lote R1 de CLORIDRATO DE FLUOXETINA (Química Ávila) não tem saldo nos "
                             "locais desta loja nem em EmTransito.\rEm Controle Qualidade: 12,50000 g (Aguardando)\r\r"
                             "Outras lojas (não serão alteradas; avise-as):\r  LOJA2: 5,00000 g\r  Terceiros: 1,00000 g"));
    const trace::RecallResult second = trace::Recall(m_db.conn(), kLot, kStore, again, QStringLiteral("de novo"),
                                                     QStringLiteral("MARIA"), m_clock.now(), &log);
    EXPECT_EQ(second.step, trace::RecallStep::Nothing);
    EXPECT_EQ(second.message, trace::NothingToRecallText(kLot, again));
    EXPECT_EQ(rows().first(), QStringLiteral("Controle Qualidade|12.5|12.5|g|Aguardando|S"));
    EXPECT_EQ(logText().count("Recolheu"), 3);
    EXPECT_DOUBLE_EQ(totalGrams(), before);
}

// A recall notice names the lot number only: every product, supplier and location of the store
// holding it is found, in any letter case; other stores' rows are not.
TEST_F(RecallDatabase, ALotIsFoundByItsNumberAlone)
{
    m_db.conn().execute(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, "
                                       "SALDOCORRENTE, UNIDADE) values ('600', 'ÁCIDO BÓRICO', 'r1', 'Outro', 'LAB2', 3, 'g')"));
    const uint64_t before = db::statementsIssued();
    const std::vector<trace::LotFound> found = trace::FindLotsByNumber(m_db.conn(), QStringLiteral(" R1 "), kStore);
    EXPECT_EQ(db::statementsIssued() - before, 1u);
    QStringList seen;
    for (const trace::LotFound &f : found)
        seen << f.key.descricao + QLatin1Char('|') + f.key.lote + QLatin1Char('|') + f.key.fornecedor + QLatin1Char('|')
                + f.laboratorio + QLatin1Char('|') + f.saldo.toString();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("CLORIDRATO DE FLUOXETINA|R1|Química Ávila|EmTransito|2"),
                                 QStringLiteral("CLORIDRATO DE FLUOXETINA|R1|Química Ávila|LAB2|500"),
                                 QStringLiteral("CLORIDRATO DE FLUOXETINA|R1|Química Ávila|LAB3|0"),
                                 QStringLiteral("CLORIDRATO DE FLUOXETINA|R1|Química Ávila|Lab1|10"),
                                 QStringLiteral("ÁCIDO BÓRICO|r1|Outro|LAB2|3")}));
    EXPECT_TRUE(trace::FindLotsByNumber(m_db.conn(), QStringLiteral("R9"), kStore).empty());
    EXPECT_TRUE(trace::FindLotsByNumber(m_db.conn(), QStringLiteral("  "), kStore).empty());
}

// Another workstation saves the lot between the confirmation and the recall: the recall names the
// row that changed and writes nothing; the other's balance stays. A location that appeared in the
// store meanwhile stops it too.
TEST_F(RecallDatabase, ABalanceSavedElsewhereMeanwhileIsNeverLost)
{
    const trace::RecallPlan plan = trace::PlanRecall(m_db.conn(), kLot, kStore);
    const std::unique_ptr<db::Connection> other = m_db.another();
    other->execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 7 where LOTE = 'R1' and LABORATORIO = 'Lab1'"));
    const QStringList saved = rows();
    const trace::RecallResult r = trace::Recall(m_db.conn(), kLot, kStore, plan, QStringLiteral("x"),
                                                QStringLiteral("MARIA"), m_clock.now(), nullptr);
    EXPECT_EQ(r.step, trace::RecallStep::Changed);
    EXPECT_EQ(r.message, QStringLiteral("O saldo do lote em Lab1 foi alterado em outra estação (mostrado: 10,00000; "
                                        "gravado agora: 7,00000). Nada foi recolhido; confira e recolha de novo."));
    EXPECT_EQ(rows(), saved);

    const trace::RecallPlan fresh = trace::PlanRecall(m_db.conn(), kLot, kStore);
    other->execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 3 where LOTE = 'R1' and LABORATORIO = 'LAB3'"));
    const trace::RecallResult appeared = trace::Recall(m_db.conn(), kLot, kStore, fresh, QStringLiteral("x"),
                                                       QStringLiteral("MARIA"), m_clock.now(), nullptr);
    EXPECT_EQ(appeared.step, trace::RecallStep::Changed);
    EXPECT_EQ(appeared.message, QStringLiteral("O saldo do lote em LAB3 foi alterado em outra estação (mostrado: "
                                               "nenhum; gravado agora: 3,00000). Nada foi recolhido; confira e "
                                               "recolha de novo."));

    // The other workstation saves the lot while the recall holds its rows: its save waits, then
    // finds the balance it started from gone and writes nothing; the recall's totals hold.
    const trace::RecallPlan last = trace::PlanRecall(m_db.conn(), kLot, kStore);
    const double before = totalGrams();
    std::thread saver;
    std::atomic<int64_t> savedRows{-1};
    const trace::RecallResult done = trace::Recall(
        m_db.conn(), kLot, kStore, last, QStringLiteral("x"), QStringLiteral("MARIA"), m_clock.now(), nullptr, [&] {
            saver = std::thread([&] {
                db::Transaction tx(*other);
                savedRows = int64_t(tx.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 9 where LOTE = 'R1' "
                                                              "and LABORATORIO = 'Lab1' and SALDOCORRENTE = 7")));
                tx.commit();
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_EQ(savedRows.load(), -1);   // still waiting on the recall's lock
        });
    saver.join();
    ASSERT_EQ(done.step, trace::RecallStep::Done) << done.message.toStdString();
    EXPECT_EQ(savedRows.load(), 0);
    EXPECT_DOUBLE_EQ(totalGrams(), before);
    EXPECT_EQ(rows().first(), QStringLiteral("Controle Qualidade|12.5|12.5|g|Aguardando|S"));
}

} // namespace
