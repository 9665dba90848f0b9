// The controlled-substance book on a store with hand-computed balances (bookfixture.h): every
// figure, the two quarters chained, each planted difference by its cause, the inconsistencies,
// and the quantities and log lines the arithmetic rests on.
#include "controlled/book.h"
#include "controlled/bookread.h"

#include "bookfixture.h"
#include "platform/winpath.h"
#include "support/testdb.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using namespace controlled;

constexpr Qty g(double grams)
{
    return Qty(grams * 1000000.0 + (grams < 0 ? -0.5 : 0.5));
}

TEST(ControlledQuantity, ConvertsExactlyInAnyLetterCase)
{
    struct Case {
        const char *value, *from, *to;
        std::optional<Qty> expected;
    } cases[] = {
        {"1", "KG", "g", g(1000)},          {"250", "g", "G", g(250)},      {"1500", "MG", "g", g(1.5)},
        {"0.24475", "kg", "g", g(244.75)},  {"0.5", "L", "mL", g(500)},     {"3", "ml", "mL", g(3)},
        {"1", "MCG", "g", 1},               {"0.4", "MCG", "g", 0},         {"0.5", "mcg", "g", 1},
        {"-2.5", "G", "g", g(-2.5)},        {"2", "CX", "g", std::nullopt}, {"2", "UN", "mL", std::nullopt},
        {"abc", "G", "g", std::nullopt},    {"", "G", "g", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(QtyInUnit(QLatin1String(c.value), QLatin1String(c.from), QLatin1String(c.to)), c.expected)
            << c.value << ' ' << c.from << " -> " << c.to;
    EXPECT_EQ(FormatQty(g(1248.5)), QStringLiteral("1.248,500"));
    EXPECT_EQ(FormatQty(g(-0.0005)), QStringLiteral("-0,0005"));
    EXPECT_EQ(FormatQty(g(1234567.25)), QStringLiteral("1.234.567,250"));
    EXPECT_EQ(PlainQty(g(1234567.25)), QStringLiteral("1234567,250"));
    EXPECT_EQ(SubstanceUnit(QStringLiteral("kg")), QStringLiteral("g"));
    EXPECT_EQ(SubstanceUnit(QStringLiteral("L")), QStringLiteral("mL"));
    EXPECT_EQ(SubstanceUnit(QStringLiteral("mil")), QStringLiteral("UN"));
}

TEST(ControlledLog, EditsSavedCountPostingsAndCancelledEdits)
{
    const QStringList lines = {
        QStringLiteral("--------------------------------"),
        QStringLiteral("01/02/24-08:00 - ANA - Abriu a edição do registro: Ácido X (lote: A1)"),
        QStringLiteral("01/02/24-08:01 - ANA - Alterou o Saldo Atual de 1.000,5 para 900 (Ácido X, lote: A1)"),
        QStringLiteral("01/02/24-08:01 - ANA - Justificativa: derramou"),
        QStringLiteral("01/02/24-08:02 - ANA - Alterou o Saldo Atual de 1.000,5 para 950 (Ácido X, lote: A1)"),
        QStringLiteral("01/02/24-08:03 - ANA - Salvou o registro corrente. Saldo atual: 950"),
        QStringLiteral("02/02/24-08:00 - ANA - Abriu a edição do registro: Ácido X (lote: A1)"),
        QStringLiteral("02/02/24-08:01 - ANA - Alterou o Saldo Atual de 950 para 1 (Ácido X, lote: A1)"),
        QStringLiteral("02/02/24-08:02 - ANA - Cancelou a operação. Saldo atual: 950"),
        QStringLiteral("03/02/24-08:00 - BIA - Alterou o Saldo Atual de 950 para 940 (Ácido X, lote: A1)"),
        QStringLiteral("03/02/24-08:00 - BIA - Justificativa: Inventário 2 - perda"),
        QStringLiteral("31/01/24-08:00 - BIA - Alterou o Saldo Atual de 5 para 4 (Ácido X, lote: A1)"),
        QStringLiteral("32/01/24-08:00 - BIA - Alterou o Saldo Atual de 5 para 4 (Ácido X, lote: A1)"),
    };
    const std::vector<LoggedChange> got = ParseLogChanges(lines, QDate(2024, 2, 1));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].source, LoggedChange::Source::LotEdit);
    EXPECT_EQ(got[0].from, QStringLiteral("1.000,5"));
    EXPECT_EQ(got[0].to, QStringLiteral("950"));
    EXPECT_EQ(got[0].justification, QStringLiteral("derramou"));
    EXPECT_EQ(got[0].descricao, QStringLiteral("Ácido X"));
    EXPECT_EQ(got[0].at, QDateTime(QDate(2024, 2, 1), QTime(8, 3)));
    EXPECT_EQ(got[1].source, LoggedChange::Source::Stocktake);
    EXPECT_EQ(got[1].to, QStringLiteral("940"));
    EXPECT_EQ(got[1].justification, QStringLiteral("Inventário 2 - perda"));
}

class ControlledBook : public ::testing::Test {
protected:
    void SetUp() override
    {
        bookfixture::Plant(m_db.conn());
        QDir(m_dir.path()).mkpath(QStringLiteral("share"));
        bookfixture::WriteLogs(m_dir.filePath(QStringLiteral("share")));
        m_paths = platform::WinPaths::parse(QStringLiteral("\\\\SRV\\Formulix = share\n"), m_dir.path());
    }

    Book build(const QDate &start, const QDate &end, ReadFigures *figures = nullptr)
    {
        const Scope scope{{QStringLiteral("Laboratório")}, bookfixture::kStore, QStringLiteral("SRV")};
        return BuildBook(ReadBookInput(m_db.conn(), m_paths, scope, start, end, QDate(2024, 7, 10), figures));
    }

    static const Substance &substance(const Book &b, const QString &name)
    {
        for (const Substance &s : b.substances)
            if (s.name == name)
                return s;
        ADD_FAILURE() << "no substance " << name.toStdString();
        static Substance none;
        return none;
    }
    static const BookLot &lot(const Substance &s, const QString &lote)
    {
        for (const BookLot &l : s.lots)
            if (l.lote == lote)
                return l;
        ADD_FAILURE() << "no lot " << lote.toStdString();
        static BookLot none;
        return none;
    }
    static std::vector<Qty> balances(const BookLot &l)
    {
        std::vector<Qty> out;
        for (const BookLine &line : l.lines)
            out.push_back(line.balance);
        return out;
    }
    static std::vector<QString> causes(const Substance &s)
    {
        std::vector<QString> out;
        for (const Difference &d : s.differences)
            out.push_back(d.date.toString(QStringLiteral("dd/MM")) + QLatin1Char(' ') + CauseKindText(d.cause) + QLatin1Char(' ')
                          + d.lote + QLatin1Char(' ') + (d.quantity ? FormatQty(*d.quantity) : QStringLiteral("?")));
        return out;
    }

    testsupport::TempDatabase m_db;
    QTemporaryDir m_dir;
    platform::WinPaths m_paths;
};

TEST_F(ControlledBook, FirstQuarterEveryFigureByHand)
{
    ReadFigures figures;
    const Book b = build(QDate(2024, 1, 1), QDate(2024, 3, 31), &figures);
    EXPECT_EQ(figures.statements, 7);   // whatever the number of lots
    EXPECT_TRUE(figures.byLot);
    EXPECT_EQ(figures.logFiles, 6);     // January to July but March

    // Clonazepam: kg, g and mg purchases and order in grams; the move between locations is no movement.
    const Substance &clz = substance(b, QStringLiteral("CLONAZEPAM"));
    EXPECT_EQ(clz.dcb, QStringLiteral("02345"));
    EXPECT_EQ(clz.unit, QStringLiteral("g"));
    const BookLot &l1 = lot(clz, QStringLiteral("L1"));
    EXPECT_EQ(l1.start, 0);
    EXPECT_EQ(balances(l1), (std::vector<Qty>{g(1000), g(1250), g(1248.5), g(1248)}));
    EXPECT_EQ(l1.lines[0].kind, LineKind::Purchase);
    EXPECT_EQ(l1.lines[0].document, QStringLiteral("NF 501 - Química Ávila"));
    EXPECT_EQ(l1.lines[0].original, QStringLiteral("1 KG"));
    EXPECT_EQ(l1.lines[2].kind, LineKind::Order);
    EXPECT_EQ(l1.lines[2].document, QStringLiteral("Pedido 01.100 fórmula 1 (Laboratório)"));
    EXPECT_EQ(l1.lines[2].quantity, -g(1.5));
    EXPECT_EQ(l1.lines[3].kind, LineKind::Loss);
    EXPECT_EQ(l1.end, g(1248));
    EXPECT_EQ(l1.entries, g(1250));
    EXPECT_EQ(l1.exits, g(1.5));
    EXPECT_EQ(l1.losses, g(0.5));
    // The check: 1234,75 held = 1248 + 0 after - (2 + 0,25 + 1) after - 10 changed by hand in May.
    EXPECT_EQ(l1.held, g(1234.75));
    EXPECT_EQ(l1.afterExits, g(3.25));
    EXPECT_EQ(l1.checkDifference(), -g(10));
    EXPECT_EQ(causes(clz), (std::vector<QString>{QStringLiteral("20/05 Alteração no formulário do lote L1 -10,000")}));

    // Fenobarbital: below zero after the second order, so the start-up zeroed it.
    const Substance &fen = substance(b, QStringLiteral("FENOBARBITAL"));
    EXPECT_TRUE(fen.dcb.isEmpty());
    const BookLot &f1 = lot(fen, QStringLiteral("F1"));
    EXPECT_EQ(f1.start, 0);
    EXPECT_EQ(balances(f1), (std::vector<Qty>{g(100), g(20), g(-20), 0, g(50)}));
    EXPECT_EQ(f1.lines[3].kind, LineKind::Zeroed);
    EXPECT_EQ(f1.end, g(50));
    EXPECT_EQ(f1.adjustments, g(20));
    EXPECT_EQ(f1.checkDifference(), -g(2));
    EXPECT_EQ(causes(fen), (std::vector<QString>{QStringLiteral("25/01 Saldo zerado na inicialização F1 20,000"),
                                                 QStringLiteral("05/03 Linha de pedido sem baixa F1 -5,000"),
                                                 QStringLiteral("15/06 Lançamento de inventário F1 -2,000")}));

    // Morfina: two products of one DCB in mL; the "CX" movement cannot be expressed.
    const Substance &mor = substance(b, QStringLiteral("Morfina Sulfato 1%"));
    EXPECT_EQ(mor.dcb, QStringLiteral("06104"));
    EXPECT_EQ(mor.unit, QStringLiteral("mL"));
    EXPECT_EQ(balances(lot(mor, QStringLiteral("M1"))), (std::vector<Qty>{g(500), g(497)}));
    EXPECT_EQ(lot(mor, QStringLiteral("M2")).start, g(100));
    EXPECT_EQ(lot(mor, QStringLiteral("M2")).end, g(100));
    EXPECT_EQ(mor.start, g(100));
    EXPECT_EQ(mor.end, g(597));
    EXPECT_EQ(causes(mor), (std::vector<QString>{QStringLiteral("25/02 Unidade sem conversão M1 ?")}));

    // Diazepam: in the book by its register, and both marks listed.
    EXPECT_EQ(substance(b, QStringLiteral("DIAZEPAM")).end, g(10));
    ASSERT_EQ(b.inconsistencies.size(), 2u);
    EXPECT_EQ(b.inconsistencies[0].componente, QStringLiteral("DIAZEPAM"));
    EXPECT_EQ(b.inconsistencies[0].kind, Inconsistency::ProductOnly);
    EXPECT_EQ(b.inconsistencies[1].componente, QStringLiteral("Sulfato de Morfina"));
    EXPECT_EQ(b.inconsistencies[1].kind, Inconsistency::LotsOnly);
    EXPECT_EQ(b.inconsistencies[1].lots, QStringList{QStringLiteral("M2")});

    for (const Substance &s : b.substances)
        EXPECT_NE(s.name, QStringLiteral("LACTOSE"));
    EXPECT_EQ(b.differenceCount(), 5);
    EXPECT_FALSE(b.closes());
    EXPECT_EQ(b.logMonthsMissing, QStringList{QStringLiteral("03/2024")});
}

TEST_F(ControlledBook, SecondQuarterStartsWhereTheFirstEnds)
{
    const Book q1 = build(QDate(2024, 1, 1), QDate(2024, 3, 31));
    const Book q2 = build(QDate(2024, 4, 1), QDate(2024, 6, 30));
    ASSERT_EQ(q1.substances.size(), q2.substances.size());
    for (size_t i = 0; i < q1.substances.size(); ++i) {
        const Substance &a = q1.substances[i], &b = q2.substances[i];
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.end, b.start) << a.name.toStdString();
        for (const BookLot &l : a.lots)
            EXPECT_EQ(l.end, lot(b, l.lote).start) << l.lote.toStdString();
    }
    const BookLot &l1 = lot(substance(q2, QStringLiteral("CLONAZEPAM")), QStringLiteral("L1"));
    EXPECT_EQ(balances(l1), (std::vector<Qty>{g(1246), g(1245.75), g(1235.75)}));
    EXPECT_EQ(l1.lines[1].kind, LineKind::QualityControl);   // found by name, without a product code
    EXPECT_EQ(l1.lines[2].kind, LineKind::LotEdit);
    EXPECT_EQ(l1.lines[2].document, QStringLiteral("MARIA às 09:14: frasco quebrado"));
    EXPECT_EQ(l1.lines[2].original, QStringLiteral("1000 → 990 g"));
    EXPECT_EQ(l1.checkDifference(), 0);
    const BookLot &f1 = lot(substance(q2, QStringLiteral("FENOBARBITAL")), QStringLiteral("F1"));
    EXPECT_EQ(balances(f1), (std::vector<Qty>{g(48)}));
    EXPECT_EQ(f1.lines[0].kind, LineKind::Stocktake);

    // The whole half year: the two quarters' lines one after the other.
    const Book half = build(QDate(2024, 1, 1), QDate(2024, 6, 30));
    const BookLot &h = lot(substance(half, QStringLiteral("CLONAZEPAM")), QStringLiteral("L1"));
    EXPECT_EQ(h.start, 0);
    EXPECT_EQ(h.end, g(1235.75));
    EXPECT_EQ(h.lines.size(), 7u);
}

TEST_F(ControlledBook, WithoutTheMovementsLotIndexTheSameBook)
{
    const Book with = build(QDate(2024, 1, 1), QDate(2024, 6, 30));
    m_db.conn().execute(QStringLiteral("drop index IX_MOVEST_LOTE"));
    ReadFigures figures;
    const Book without = build(QDate(2024, 1, 1), QDate(2024, 6, 30), &figures);
    EXPECT_FALSE(figures.byLot);
    ASSERT_EQ(with.substances.size(), without.substances.size());
    for (size_t i = 0; i < with.substances.size(); ++i) {
        const Substance &a = with.substances[i], &b = without.substances[i];
        EXPECT_EQ(a.start, b.start);
        EXPECT_EQ(a.end, b.end);
        ASSERT_EQ(a.lots.size(), b.lots.size());
        for (size_t k = 0; k < a.lots.size(); ++k)
            EXPECT_EQ(balances(a.lots[k]), balances(b.lots[k])) << a.lots[k].lote.toStdString();
        EXPECT_EQ(causes(a), causes(b));
    }
}

TEST_F(ControlledBook, PeriodBalanceTotalsPerUnit)
{
    const Book b = build(QDate(2024, 1, 1), QDate(2024, 3, 31));
    const std::vector<BalanceLine> lines = PeriodBalance(b);
    ASSERT_EQ(lines.size(), 6u);   // four substances, totals in g and in mL
    const BalanceLine &clz = lines[0];
    EXPECT_EQ(clz.name, QStringLiteral("CLONAZEPAM"));
    EXPECT_EQ(clz.start + clz.entries - clz.exits - clz.losses + clz.adjustments, clz.end);
    const BalanceLine &tg = lines[4];
    EXPECT_EQ(tg.name, QStringLiteral("Total (g)"));
    // 0 + 0 + 10 start; entries 1250 + 150; exits 1,5 + 120; losses 0,5; zeroing +20.
    EXPECT_EQ(tg.start, g(10));
    EXPECT_EQ(tg.entries, g(1400));
    EXPECT_EQ(tg.exits, g(121.5));
    EXPECT_EQ(tg.losses, g(0.5));
    EXPECT_EQ(tg.adjustments, g(20));
    EXPECT_EQ(tg.end, g(1308));
    EXPECT_EQ(lines[5].name, QStringLiteral("Total (mL)"));
    EXPECT_EQ(lines[5].end, g(597));
}

TEST_F(ControlledBook, EmptyStoreAndPeriodWithoutMovements)
{
    testsupport::TempDatabase empty;
    const Scope scope{{QStringLiteral("Laboratório")}, bookfixture::kStore, QString()};
    const Book none = BuildBook(ReadBookInput(empty.conn(), m_paths, scope, QDate(2024, 1, 1), QDate(2024, 3, 31),
                                              QDate(2024, 7, 10)));
    EXPECT_TRUE(none.substances.empty());
    EXPECT_TRUE(none.closes());
    // A period after every movement: balances carried, no lines.
    const Book later = build(QDate(2024, 7, 3), QDate(2024, 7, 9));
    const BookLot &l1 = lot(substance(later, QStringLiteral("CLONAZEPAM")), QStringLiteral("L1"));
    EXPECT_TRUE(l1.lines.empty());
    EXPECT_EQ(l1.start, g(1234.75));
    EXPECT_EQ(l1.end, g(1234.75));
    EXPECT_EQ(l1.checkDifference(), 0);
}

} // namespace
