// The stocktake on a central database: the snapshot of a scope, entry line by line (twice, from
// two workstations, a lot found that the snapshot does not hold), reasons and the second user's
// approval, and the posting that keeps every movement made during the count.
#include "stocktake/countoutput.h"
#include "stocktake/stocktake.h"

#include "common/usercheck.h"
#include "core/activitylog.h"
#include "data/fieldinput.h"
#include "db/connection.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/winpath.h"
#include "support/recordingoperator.h"
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using stocktake::Qty;
constexpr Qty kOne = 100000000;   // 1 in the balances' 8 decimals

const QStringList kStore{QStringLiteral("LAB1"), QStringLiteral("Lab2")};

class Stocktake : public ::testing::Test {
protected:
    void SetUp() override
    {
        lot("100", "DIPIRONA SÓDICA", "A1", "Química Ávila", "LAB1", "10", "g", "Não");
        lot("100", "DIPIRONA SÓDICA", "A1", "Química Ávila", "lab2", "5", "g", "Não");   // the store's, in lower case
        lot("200", "FLUOXETINA", "F-01", "Pharma D'Oeste", "LAB1", "2", "g", "SIM");
        lot("300", "ÁCIDO ASCÓRBICO", "ác-7", "Química Ávila", "LAB1", "1000", "MG", "Não");
        lot("400", "ÓLEO DE AMÊNDOAS", "N1", "Forn", "LAB1", "3", "ml", "Não");
        lot("100", "DIPIRONA SÓDICA", "A1", "Química Ávila", "LOJA3", "7", "g", "Não");  // another store's
        product("100", "DIPIRONA SÓDICA", "MP", "G", "2.5", "1");
        product("200", "FLUOXETINA", "PSI", "g", "40", "1");
        product("300", "ÁCIDO ASCÓRBICO", "mp", "g", "900", "1000");   // 0,90 a gram
        m_db.conn().execute(QStringLiteral("insert into USUARIOS (USUARIO, SENHA, ACESSO) values (?, ?, ?)"),
                            {db::Value::text(common::ScrambleText(QStringLiteral("JOÃO"))),
                             db::Value::text(common::ScrambleText(QStringLiteral("S3NHA"))),
                             db::Value::text(QStringLiteral("1234567S"))});
        m_db.conn().execute(QStringLiteral("insert into USUARIOS (USUARIO, SENHA, ACESSO) values (?, ?, 'XXXXXXXV')"),
                            {db::Value::text(common::ScrambleText(QStringLiteral("MARIA"))),
                             db::Value::text(common::ScrambleText(QStringLiteral("1234")))});
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("share/LOG")));
        m_paths = platform::WinPaths::parse(QStringLiteral("\\\\SERVIDOR\\Formulix = share\n"), m_dir.path());
    }

    void lot(const char *code, const char *name, const char *lote, const char *supplier, const char *place,
             const char *balance, const char *unit, const char *controlled)
    {
        const db::Value b = db::Value::decimal(db::Decimal::fromString(QString::fromLatin1(balance)));
        m_db.conn().execute(
            QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, "
                           "SALDOPREVISTO, UNIDADE, CONTROLADA, VALIDADE, SITUACAO) values (?, ?, ?, ?, ?, ?, ?, ?, ?, "
                           "'2027-01-31', 'Liberado')"),
            {db::Value::text(QString::fromUtf8(code)), db::Value::text(QString::fromUtf8(name)),
             db::Value::text(QString::fromUtf8(lote)), db::Value::text(QString::fromUtf8(supplier)),
             db::Value::text(QString::fromUtf8(place)), b, b, db::Value::text(QString::fromUtf8(unit)),
             db::Value::text(QString::fromUtf8(controlled))});
    }

    void product(const char *code, const char *name, const char *group, const char *unit, const char *cost,
                 const char *divisor)
    {
        m_db.conn().execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, "
                                           "DIVISORUNID, PRECOR) values (?, ?, ?, ?, ?, ?, 0)"),
                            {db::Value::text(QString::fromUtf8(code)), db::Value::text(QString::fromUtf8(name)),
                             db::Value::text(QString::fromUtf8(group)), db::Value::text(QString::fromUtf8(unit)),
                             db::Value::decimal(db::Decimal::fromString(QString::fromLatin1(cost))),
                             db::Value::decimal(db::Decimal::fromString(QString::fromLatin1(divisor)))});
    }

    // LOTE@LABORATORIO of the count's lines, by line number.
    QStringList places(int numero)
    {
        QStringList out;
        for (const stocktake::Line &l : stocktake::ReadLines(m_db.conn(), numero))
            out << l.lote + QLatin1Char('@') + l.laboratorio;
        return out;
    }

    stocktake::Line line(const std::vector<stocktake::Line> &lines, const char *lote, const char *place)
    {
        for (const stocktake::Line &l : lines)
            if (l.lote == QString::fromUtf8(lote) && l.laboratorio == QString::fromUtf8(place))
                return l;
        ADD_FAILURE() << lote << "@" << place;
        return {};
    }

    stocktake::EntryResult enter(int numero, const char *place, const char *typed, const char *quantity,
                                 stocktake::EntryMode mode = stocktake::EntryMode::First,
                                 db::Connection *conn = nullptr)
    {
        db::Connection &c = conn ? *conn : m_db.conn();
        const std::vector<stocktake::Found> found = stocktake::FindLot(c, stocktake::ReadLines(c, numero),
                                                                       QString::fromUtf8(place),
                                                                       QString::fromUtf8(typed), kStore);
        EXPECT_EQ(found.size(), 1u) << typed;
        if (found.empty())
            return {};
        stocktake::Entry e{numero, QString::fromUtf8(place), found.front(),
                           stocktake::ParseCounted(QString::fromUtf8(quantity)), mode, QStringLiteral("MARIA"),
                           QStringLiteral("01"), m_clock.now()};
        return stocktake::EnterCount(c, e);
    }

    // Every lot row: LABORATORIO|SALDOCORRENTE|SALDOPREVISTO, by lot then location.
    QStringList balances()
    {
        const db::Rows r = m_db.conn().query(QStringLiteral(
            "select LOTE, LABORATORIO, SALDOCORRENTE, SALDOPREVISTO from ESTLOTE order by LOTE, LABORATORIO"));
        QStringList out;
        for (const auto &row : r.rows)
            out << QStringList{row[0].toString(), row[1].toString(), row[2].toString(), row[3].toString()}.join(
                QLatin1Char('|'));
        return out;
    }

    QByteArray logText()
    {
        QFile f(m_dir.path() + QStringLiteral("/share/LOG/LOGESTOQ_2026-03.TXT"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    int start(const stocktake::Scope &scope = {})
    {
        return stocktake::StartCount(m_db.conn(), scope, kStore, QStringLiteral("12345678000190"),
                                     QStringLiteral("MARIA"), m_clock.now())
            .numero;
    }

    testsupport::TempDatabase m_db;
    QTemporaryDir m_dir;
    platform::WinPaths m_paths;
    platform::FixedClock m_clock{QDateTime(QDate(2026, 3, 31), QTime(10, 15))};
    testsupport::RecordingOperator m_op;
};

TEST_F(Stocktake, TheSnapshotHoldsEveryLotRowOfTheScopeWithItsBalance)
{
    struct Case {
        const char *what;
        stocktake::Scope scope;
        QStringList expected;
    };
    stocktake::Scope lab2, controlled, groupMp, lotF, productDip, otherStore, none;
    lab2.locations = {QStringLiteral("LAB2")};
    controlled.controlledOnly = true;
    groupMp.groups = {QStringLiteral("mp")};
    lotF.lotFrom = lotF.lotTo = QStringLiteral("f");
    productDip.productFrom = productDip.productTo = QStringLiteral("dip");
    otherStore.locations = {QStringLiteral("LOJA3")};
    const Case cases[] = {
        {"the whole store", none,
         {"A1@LAB1", "F-01@LAB1", "ác-7@LAB1", "N1@LAB1", "A1@lab2"}},
        {"one location, named in another case", lab2, {"A1@lab2"}},
        {"controlled only (SIM)", controlled, {"F-01@LAB1"}},
        {"a group in any case", groupMp, {"A1@LAB1", "ác-7@LAB1", "A1@lab2"}},
        {"a lot range", lotF, {"F-01@LAB1"}},
        {"a product range", productDip, {"A1@LAB1", "A1@lab2"}},
        {"another store's location is never counted", otherStore, {}},
    };
    int expectedNumber = 0;
    for (const Case &c : cases) {
        const int n = start(c.scope);
        EXPECT_EQ(n, ++expectedNumber);
        EXPECT_EQ(places(n), c.expected) << c.what;
    }
    const std::vector<stocktake::Line> lines = stocktake::ReadLines(m_db.conn(), 1);
    EXPECT_EQ(line(lines, "ác-7", "LAB1").snapshot, 1000 * kOne);
    EXPECT_EQ(line(stocktake::ReadLines(m_db.conn(), 4), "ác-7", "LAB1").grupo, QStringLiteral("mp"));   // by group
    EXPECT_TRUE(line(lines, "F-01", "LAB1").controlled());
    EXPECT_FALSE(line(lines, "A1", "LAB1").counted.has_value());
    const std::optional<stocktake::Count> c = stocktake::ReadCount(m_db.conn(), 2);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->situacao, stocktake::kOpen);
    EXPECT_EQ(c->escopo, QStringLiteral("Locais: LAB2"));
    EXPECT_EQ(stocktake::ReadCount(m_db.conn(), 1)->escopo, QStringLiteral("Locais: todos da loja (LAB1, Lab2)"));
    EXPECT_EQ(stocktake::ListCounts(m_db.conn(), QStringLiteral("12345678000190")).size(), 7u);
}

TEST_F(Stocktake, TypedQuantitiesAreCheckedAsEveryNumberBox)
{
    const struct {
        const char *typed;
        Qty expected;   // -1: refused
        const char *message;
    } cases[] = {
        {"12,5", 1250000000, ""},
        {" 0 ", 0, ""},
        {"0,00000001", 1, ""},
        {"", -1, "Informe a quantidade contada."},
        {"-1", -1, "A quantidade contada não pode ser negativa."},
        {"1e3", -1, nullptr},
        {"12.5.3", -1, nullptr},
        {"abc", -1, nullptr},
        {"12345678901", -1, nullptr},   // more digits than a balance holds
        {"1\n2", -1, nullptr},
    };
    for (const auto &c : cases) {
        if (c.expected >= 0) {
            EXPECT_EQ(stocktake::ParseCounted(QString::fromUtf8(c.typed)), c.expected) << c.typed;
            continue;
        }
        try {
            stocktake::ParseCounted(QString::fromUtf8(c.typed));
            ADD_FAILURE() << "accepted " << c.typed;
        } catch (const data::FieldInputError &e) {
            if (c.message)
                EXPECT_EQ(e.message(), QString::fromUtf8(c.message));
            else
                EXPECT_FALSE(e.message().isEmpty());
        }
    }
}

TEST_F(Stocktake, EntryStoresEachLineAsTypedAndAsksBeforeCountingALotTwice)
{
    const int n = start();
    // Found as the recall finds a lot: letter case and accents aside, blanks around.
    const std::vector<stocktake::Line> lines = stocktake::ReadLines(m_db.conn(), n);
    EXPECT_EQ(stocktake::FindLot(m_db.conn(), lines, QStringLiteral("LAB1"), QStringLiteral("AC-7"), kStore).size(), 1u);
    EXPECT_TRUE(stocktake::FindLot(m_db.conn(), lines, QStringLiteral("LAB1"), QStringLiteral("ZZZ"), kStore).empty());
    EXPECT_TRUE(stocktake::FindLot(m_db.conn(), lines, QStringLiteral("LAB1"), QStringLiteral("'; --"), kStore).empty());

    stocktake::EntryResult r = enter(n, "LAB1", " a1 ", "9,5");
    EXPECT_EQ(r.step, stocktake::EntryStep::Stored);
    EXPECT_EQ(r.counted, 950000000);
    r = enter(n, "LAB1", "A1", "1");
    EXPECT_EQ(r.step, stocktake::EntryStep::AlreadyCounted);
    EXPECT_EQ(r.before, std::optional<Qty>(950000000));
    EXPECT_EQ(line(stocktake::ReadLines(m_db.conn(), n), "A1", "LAB1").counted, std::optional<Qty>(950000000));
    EXPECT_EQ(enter(n, "LAB1", "A1", "1", stocktake::EntryMode::Add).counted, 1050000000);
    EXPECT_EQ(enter(n, "LAB1", "A1", "8", stocktake::EntryMode::Replace).counted, 8 * kOne);

    // A lot the snapshot does not hold at this location: a new line, its snapshot taken now.
    r = enter(n, "Lab2", "n1", "2");
    EXPECT_EQ(r.step, stocktake::EntryStep::Stored);
    EXPECT_TRUE(r.newLine);
    const stocktake::Line added = line(stocktake::ReadLines(m_db.conn(), n), "N1", "Lab2");
    EXPECT_FALSE(added.inSnapshot);
    EXPECT_EQ(added.snapshot, 0);
    EXPECT_EQ(added.descricao, QStringLiteral("ÓLEO DE AMÊNDOAS"));
    EXPECT_EQ(added.unidade, QStringLiteral("ml"));
    EXPECT_EQ(added.contadoPor, QStringLiteral("MARIA"));
    // Typed again by a workstation whose list did not have it yet: the same line, asked about.
    stocktake::Found again{std::nullopt, added.codigo, added.descricao, added.lote, added.fornecedor, added.unidade};
    r = stocktake::EnterCount(m_db.conn(), {n, QStringLiteral("LAB2"), again, kOne, stocktake::EntryMode::First,
                                             QStringLiteral("ANA"), QStringLiteral("02"), m_clock.now()});
    EXPECT_EQ(r.step, stocktake::EntryStep::AlreadyCounted);
    EXPECT_EQ(r.linha, added.linha);
    EXPECT_EQ(places(n).size(), 6);
}

TEST_F(Stocktake, TwoWorkstationsTypingIntoOneCountLoseNothing)
{
    const int n = start();
    std::unique_ptr<db::Connection> second = m_db.another();
    ASSERT_EQ(enter(n, "LAB1", "A1", "0").step, stocktake::EntryStep::Stored);
    auto typist = [&](db::Connection *conn, const char *newLot) {
        for (int i = 0; i < 15; ++i)
            enter(n, "LAB1", "A1", "1", stocktake::EntryMode::Add, conn);
        enter(n, "Lab2", newLot, "1", stocktake::EntryMode::Add, conn);
    };
    std::unique_ptr<db::Connection> first = m_db.another();
    std::thread a(typist, first.get(), "F-01");
    std::thread b(typist, second.get(), "F-01");   // both find the same lot new at Lab2
    a.join();
    b.join();
    const std::vector<stocktake::Line> lines = stocktake::ReadLines(m_db.conn(), n);
    EXPECT_EQ(line(lines, "A1", "LAB1").counted, std::optional<Qty>(30 * kOne));
    EXPECT_EQ(line(lines, "F-01", "Lab2").counted, std::optional<Qty>(2 * kOne));
    EXPECT_EQ(lines.size(), 6u);
}

TEST_F(Stocktake, PostingKeepsWhatMovedDuringTheCountAndNeedsReasonsApprovalAndAChoiceForLotsNotCounted)
{
    const int n = start();
    ASSERT_EQ(enter(n, "LAB1", "A1", "8").step, stocktake::EntryStep::Stored);      // 10 at the start
    ASSERT_EQ(enter(n, "lab2", "A1", "5").step, stocktake::EntryStep::Stored);      // equal
    ASSERT_EQ(enter(n, "LAB1", "F-01", "1,5").step, stocktake::EntryStep::Stored);  // controlled, 2 at the start
    ASSERT_EQ(enter(n, "LAB1", "ÁC-7", "1200").step, stocktake::EntryStep::Stored); // MG, 1000 at the start
    ASSERT_EQ(enter(n, "Lab2", "N1", "2").step, stocktake::EntryStep::Stored);      // found where it has no row
    // N1 at LAB1 is never counted.

    // While counting: an order weighs 3 g of A1 at LAB1, 1 g of it comes over from lab2, 100 MG
    // of ác-7 is used.
    m_db.conn().execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = SALDOCORRENTE - 3 where LOTE = 'A1' and "
                                       "LABORATORIO = 'LAB1'"));
    m_db.conn().execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = SALDOCORRENTE + 1 where LOTE = 'A1' and "
                                       "LABORATORIO = 'LAB1'"));
    m_db.conn().execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = SALDOCORRENTE - 1 where LOTE = 'A1' and "
                                       "LABORATORIO = 'lab2'"));
    m_db.conn().execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = SALDOCORRENTE - 100 where LOTE = 'ác-7'"));
    const QStringList moved = balances();

    core::ActivityLog log(m_clock, m_paths);
    ASSERT_TRUE(log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    auto post = [&](stocktake::NotCountedChoice choice) {
        return stocktake::PostCount(m_db.conn(), n, choice, QStringLiteral("MARIA"), m_clock.now(), &log);
    };
    std::vector<stocktake::Line> lines = stocktake::ReadLines(m_db.conn(), n);
    auto linha = [&](const char *lote, const char *place) { return line(lines, lote, place).linha; };

    stocktake::PostResult r = post(stocktake::NotCountedChoice::Ask);
    EXPECT_EQ(r.step, stocktake::PostStep::NeedsReasons);
    EXPECT_EQ(r.message, QStringLiteral("O inventário não foi postado: 4 diferença(s) sem motivo (\"Outro\" pede o texto):\r"
                                        "  DIPIRONA SÓDICA lote A1 (Química Ávila) em LAB1\r"
                                        "  FLUOXETINA lote F-01 (Pharma D'Oeste) em LAB1\r"
                                        "  ÁCIDO ASCÓRBICO lote ác-7 (Química Ávila) em LAB1\r"
                                        "  ÓLEO DE AMÊNDOAS lote N1 (Forn) em Lab2"));
    ASSERT_TRUE(stocktake::SetReason(m_db.conn(), n, {linha("A1", "LAB1")}, QStringLiteral("Perda"),
                                     QStringLiteral("frasco\r\nderramado")));
    ASSERT_TRUE(stocktake::SetReason(m_db.conn(), n, {linha("F-01", "LAB1"), linha("ác-7", "LAB1")},
                                     QStringLiteral("Erro de lançamento"), QString()));
    ASSERT_TRUE(stocktake::SetReason(m_db.conn(), n, {linha("N1", "Lab2")}, QStringLiteral("Outro"), QString()));
    EXPECT_EQ(post(stocktake::NotCountedChoice::Keep).step, stocktake::PostStep::NeedsReasons);   // "Outro" alone
    ASSERT_TRUE(stocktake::SetReason(m_db.conn(), n, {linha("N1", "Lab2")}, QStringLiteral("Outro"),
                                     QStringLiteral("achado na prateleira de O'Brien")));

    // The controlled difference waits for a second user.
    r = post(stocktake::NotCountedChoice::Keep);
    EXPECT_EQ(r.step, stocktake::PostStep::NeedsApproval);
    EXPECT_EQ(r.message, QStringLiteral("O inventário não foi postado: 1 diferença(s) de produto controlado sem a "
                                        "aprovação de um segundo usuário:\r  FLUOXETINA lote F-01 (Pharma D'Oeste) em LAB1"));
    auto approve = [&](const char *who, const char *password) {
        return stocktake::ApproveControlled(m_db.conn(), n, QString::fromUtf8(who), QString::fromUtf8(password),
                                            QStringLiteral("MARIA"), m_clock.now());
    };
    EXPECT_EQ(approve("JOÃO", "errada").message, QStringLiteral("Senha incorreta: a diferença não foi aprovada."));
    EXPECT_EQ(approve("ZÉ", "S3NHA").message, QStringLiteral("Usuário não encontrado: a diferença não foi aprovada."));
    EXPECT_EQ(approve("maria", "1234").message, stocktake::kApprovalSameUserMessage);   // the one posting
    EXPECT_EQ(post(stocktake::NotCountedChoice::Keep).step, stocktake::PostStep::NeedsApproval);
    stocktake::ApprovalResult a = approve("joÃo", "s3nha");
    EXPECT_TRUE(a.approved);
    EXPECT_EQ(a.message, QStringLiteral("Diferenças de produtos controlados aprovadas por JOÃO: 1."));
    // A changed count drops the approval; approved again.
    ASSERT_EQ(enter(n, "LAB1", "F-01", "1,5", stocktake::EntryMode::Replace).step, stocktake::EntryStep::Stored);
    EXPECT_EQ(post(stocktake::NotCountedChoice::Keep).step, stocktake::PostStep::NeedsApproval);
    ASSERT_TRUE(approve("JOÃO", "S3NHA").approved);

    // The lot never counted: the pharmacist decides.
    r = post(stocktake::NotCountedChoice::Ask);
    EXPECT_EQ(r.step, stocktake::PostStep::NotCountedLeft);
    EXPECT_EQ(r.message, QStringLiteral("1 lote(s) do inventário não foram contados:\r  ÓLEO DE AMÊNDOAS lote N1 (Forn) "
                                        "em LAB1\r\rPostar deixando-os como estão? (Para contá-los como zero, use \"Zerar "
                                        "não contados\" e dê o motivo.)"));
    EXPECT_EQ(balances(), moved);   // nothing written by any refusal
    EXPECT_EQ(logText().count("Alterou"), 0);

    r = post(stocktake::NotCountedChoice::Keep);
    ASSERT_EQ(r.step, stocktake::PostStep::Posted) << r.message.toStdString();
    EXPECT_EQ(r.message, QStringLiteral("Inventário nº 1 postado: 4 lote(s) com diferença, 1 igual(is) ao sistema, 1 não "
                                        "contado(s) deixado(s) como estavam."));
    // new = current + (counted - snapshot): A1@LAB1 8 + (8 - 10), A1@lab2 4 + 0, F-01 2 - 0,5,
    // ác-7 900 + 200, N1 at LAB1 as it was, N1 at Lab2 a new row with 2; SALDOPREVISTO alike.
    EXPECT_EQ(balances(), (QStringList{"A1|LAB1|6|8", "A1|LOJA3|7|7", "A1|lab2|4|5", "F-01|LAB1|1.5|1.5",
                                       "N1|LAB1|3|3", "N1|Lab2|2|2", "ác-7|LAB1|1100|1200"}));
    // Each lot's sum over every location is its start, plus what moved, plus the differences.
    // A1: 22 - 3 (the order) + 0 (the transfer) - 2 = 17.
    EXPECT_EQ(m_db.conn().query(QStringLiteral("select sum(SALDOCORRENTE) from ESTLOTE where LOTE = 'A1'")).rows[0][0],
              db::Value::decimal(db::Decimal::fromString(QStringLiteral("17"))));
    const QByteArray logged = logText();
    const QByteArray stamp = "31/03/26-10:15 - MARIA - ";
    for (const QString &text : {
             QStringLiteral("Alterou o Saldo Atual de 8 para 6 (DIPIRONA SÓDICA, lote: A1)"),
             QStringLiteral("Justificativa: Perda - frasco derramado (inventário nº 1, local LAB1: contado 8, no início 10)"),
             QStringLiteral("Alterou o Saldo Atual de 2 para 1,5 (FLUOXETINA, lote: F-01)"),
             QStringLiteral("Justificativa: Erro de lançamento (inventário nº 1, local LAB1: contado 1,5, no início 2)"),
             QStringLiteral("Alterou o Saldo Atual de 900 para 1100 (ÁCIDO ASCÓRBICO, lote: ác-7)"),
             QStringLiteral("Justificativa: Erro de lançamento (inventário nº 1, local LAB1: contado 1200, no início 1000)"),
             QStringLiteral("Alterou o Saldo Atual de 0 para 2 (ÓLEO DE AMÊNDOAS, lote: N1)"),
             QStringLiteral("Justificativa: Outro - achado na prateleira de O'Brien (inventário nº 1, local Lab2: contado 2, "
                            "no início 0)"),
         })
        EXPECT_TRUE(logged.contains(stamp + platform::toCp1252(text) + "\r\n")) << text.toStdString();
    EXPECT_EQ(logged.count("Alterou"), 4);
    EXPECT_EQ(logged.count("Justificativa"), 4);

    // Read-only from now on.
    EXPECT_EQ(post(stocktake::NotCountedChoice::Keep).step, stocktake::PostStep::AlreadyPosted);
    EXPECT_EQ(enter(n, "LAB1", "A1", "1", stocktake::EntryMode::Replace).step, stocktake::EntryStep::Posted);
    EXPECT_FALSE(stocktake::SetReason(m_db.conn(), n, {1}, QStringLiteral("Perda"), {}));
    EXPECT_EQ(stocktake::ZeroNotCounted(m_db.conn(), n, QStringLiteral("MARIA"), {}, m_clock.now()), 0);
    EXPECT_EQ(logText().count("Alterou"), 4);

    // The report: differences valued at the manufacturing report's cost, totals by location and group.
    const std::optional<stocktake::Count> count = stocktake::ReadCount(m_db.conn(), n);
    ASSERT_TRUE(count && count->posted());
    EXPECT_EQ(count->naoContados, stocktake::kKeepNotCounted);
    lines = stocktake::ReadLines(m_db.conn(), n);
    const stocktake::Report rep = stocktake::BuildReport(*count, lines, stocktake::ReadProducts(m_db.conn()));
    EXPECT_EQ(rep.approvers, QStringList{QStringLiteral("JOÃO")});
    EXPECT_EQ(rep.counters, QStringList{QStringLiteral("MARIA")});
    EXPECT_EQ(stocktake::ReportCsvLines(rep).join(QLatin1Char('\n')),
              QStringList({
                  QStringLiteral("LOCAL;PRODUTO;CÓDIGO;LOTE;FORNECEDOR;GRUPO;UNID.;SALDO NA FOTO;CONTADO;DIFERENÇA;"
                                 "CUSTO UNIT.;VALOR DA DIFERENÇA;MOTIVO;OBSERVAÇÃO;CONTADO POR;CONTADO EM;APROVADO POR;"
                                 "SALDO ANTES;SALDO DEPOIS;OBS. DA LINHA"),
                  QStringLiteral("LAB1;ÁCIDO ASCÓRBICO;300;ác-7;Química Ávila;mp;MG;1000;1200;200;0,9;0,18;Erro de "
                                 "lançamento;;MARIA;31/03/2026 10:15;;900;1100;"),
                  QStringLiteral("LAB1;DIPIRONA SÓDICA;100;A1;Química Ávila;MP;g;10;8;-2;2,5;-5,00;Perda;frasco "
                                 "derramado;MARIA;31/03/2026 10:15;;8;6;"),
                  QStringLiteral("LAB1;FLUOXETINA;200;F-01;Pharma D'Oeste;PSI;g;2;1,5;-0,5;40;-20,00;Erro de "
                                 "lançamento;;MARIA;31/03/2026 10:15;JOÃO;2;1,5;"),
                  QStringLiteral("LAB1;ÓLEO DE AMÊNDOAS;400;N1;Forn;;ml;3;;;;;;;;;;;;não contado"),
                  QStringLiteral("lab2;DIPIRONA SÓDICA;100;A1;Química Ávila;MP;g;5;5;0;2,5;0,00;;;MARIA;31/03/2026 "
                                 "10:15;;4;4;"),
                  QStringLiteral("Lab2;ÓLEO DE AMÊNDOAS;400;N1;Forn;;ml;0;2;2;;;Outro;achado na prateleira de "
                                 "O'Brien;MARIA;31/03/2026 10:15;;0;2;fora da foto"),
                  QStringLiteral(";Total de LAB1;;;;;;;4;3;;-24,82"),
                  QStringLiteral(";Total de lab2;;;;;;;2;1;;0,00"),
                  QStringLiteral(";Total do grupo (sem grupo);;;;;;;2;1;;0,00"),
                  QStringLiteral(";Total do grupo mp;;;;;;;3;2;;-4,82"),   // as its first lot names it
                  QStringLiteral(";Total do grupo PSI;;;;;;;1;1;;-20,00"),
                  QStringLiteral(";Total geral;;;;;;;6;4;;-24,82"),
              }).join(QLatin1Char('\n')));
}

TEST_F(Stocktake, ALotThatWouldGoNegativeOrAKeyHeldTwiceStopsTheWholePosting)
{
    const int n = start();
    ASSERT_EQ(enter(n, "LAB1", "A1", "2").step, stocktake::EntryStep::Stored);     // 10 - 8
    ASSERT_EQ(enter(n, "LAB1", "F-01", "3").step, stocktake::EntryStep::Stored);   // 2 + 1
    const std::vector<stocktake::Line> lines = stocktake::ReadLines(m_db.conn(), n);
    ASSERT_TRUE(stocktake::SetReason(m_db.conn(), n, {line(lines, "A1", "LAB1").linha, line(lines, "F-01", "LAB1").linha},
                                     QStringLiteral("Quebra"), {}));
    ASSERT_TRUE(stocktake::ApproveControlled(m_db.conn(), n, QStringLiteral("JOÃO"), QStringLiteral("S3NHA"),
                                             QStringLiteral("MARIA"), m_clock.now())
                    .approved);
    // 9 g weighed during the count: 1 left, and 1 - 8 is below zero.
    m_db.conn().execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 1 where LOTE = 'A1' and LABORATORIO = 'LAB1'"));
    const QStringList before = balances();
    stocktake::PostResult r = stocktake::PostCount(m_db.conn(), n, stocktake::NotCountedChoice::Keep,
                                                   QStringLiteral("MARIA"), m_clock.now(), nullptr);
    EXPECT_EQ(r.step, stocktake::PostStep::WouldGoNegative);
    EXPECT_EQ(r.message, QStringLiteral("O inventário não foi postado: com o que foi movimentado durante a contagem, o "
                                        "saldo destes lotes ficaria negativo. Conte-os de novo:\r  DIPIRONA SÓDICA lote "
                                        "A1 (Química Ávila) em LAB1"));
    EXPECT_EQ(balances(), before);   // F-01 was not written either
    EXPECT_FALSE(stocktake::ReadCount(m_db.conn(), n)->posted());

    m_db.conn().execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 20 where LOTE = 'A1' and LABORATORIO = 'LAB1'"));
    lot("200", "FLUOXETINA", "F-01", "Pharma D'Oeste", "LAB1", "2", "g", "SIM");   // the same key twice
    r = stocktake::PostCount(m_db.conn(), n, stocktake::NotCountedChoice::Keep, QStringLiteral("MARIA"),
                             m_clock.now(), nullptr);
    EXPECT_EQ(r.step, stocktake::PostStep::Duplicate);
    EXPECT_EQ(r.message, QStringLiteral("O inventário não foi postado: há mais de um registro com a mesma chave para:\r"
                                        "  FLUOXETINA lote F-01 (Pharma D'Oeste) em LAB1\rCorrija-os antes de postar."));
    EXPECT_EQ(balances().filter(QStringLiteral("A1|LAB1|20")).size(), 1);
}

TEST_F(Stocktake, ABlindCountsSheetsNeverShowTheSystemsQuantity)
{
    stocktake::Scope blind;
    blind.blind = true;
    blind.locations = {QStringLiteral("lab1")};
    const int n = start(blind);
    const stocktake::Count c = *stocktake::ReadCount(m_db.conn(), n);
    EXPECT_TRUE(c.blind);
    EXPECT_EQ(c.escopo, QStringLiteral("Locais: lab1; Contagem cega"));
    const std::vector<stocktake::Line> lines = stocktake::ReadLines(m_db.conn(), n);
    EXPECT_EQ(stocktake::SheetCsvLines(c, lines),
              (QStringList{"LOCAL;PRODUTO;CÓDIGO;LOTE;FORNECEDOR;UNID.;QUANTIDADE CONTADA",
                           "LAB1;ÁCIDO ASCÓRBICO;300;ác-7;Química Ávila;MG;",
                           "LAB1;DIPIRONA SÓDICA;100;A1;Química Ávila;g;",
                           "LAB1;FLUOXETINA;200;F-01;Pharma D'Oeste;g;",
                           "LAB1;ÓLEO DE AMÊNDOAS;400;N1;Forn;ml;"}));
    const auto sheet = stocktake::SheetsConnection(c, lines);
    for (int row = 0; row < sheet->rowCount(); ++row)
        EXPECT_TRUE(sheet->value(row, sheet->fieldIndex(QStringLiteral("SISTEMA"))).isNull());
    stocktake::Count open = c;
    open.blind = false;
    EXPECT_EQ(stocktake::SheetCsvLines(open, lines).at(1),
              QStringLiteral("LAB1;ÁCIDO ASCÓRBICO;300;ác-7;Química Ávila;MG;1000;"));
}

TEST_F(Stocktake, WithoutItsTablesTheTechniciansScriptMakesThem)
{
    {
        std::unique_ptr<db::Connection> technician = m_db.another();
        technician->runScript(QStringLiteral("DROP TABLE INVENTARIOITEM;\nDROP TABLE INVENTARIO;\n"));
    }
    EXPECT_FALSE(stocktake::TablesPresent(m_db.conn()));
    // isql needs its COMMIT; the test runs each statement committed.
    m_db.conn().runScript(QString(stocktake::TablesScript()).remove(QStringLiteral("COMMIT;")));
    EXPECT_TRUE(stocktake::TablesPresent(m_db.conn()));
    EXPECT_EQ(start(), 1);
    // The README gives the technician the same statement the panel shows.
    QFile readme(QStringLiteral(ESTOQUE_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(readme.readAll()).contains(stocktake::TablesScript()));
    EXPECT_EQ(places(1).size(), 5);
}

} // namespace
