// Rules of the lot grid: row colours, the search text, the column a search walks and where it lands.
#include "browser/lotgrid.h"
#include "common/stockquery.h"
#include "data/cacheddataset.h"
#include "support/testdb.h"

#include <gtest/gtest.h>

using browser::CellBackground;
using browser::CellText;
using browser::RowColours;

namespace {

const QDate kToday(2024, 3, 7);

TEST(RowColour, FollowsTheSituationTheExpiryAndTheView)
{
    struct Case {
        const char *what;
        QString situacao;
        QDate validade;
        int filterIndex;
        RowColours expected;
    };
    const RowColours expired{CellBackground::White, CellText::Silver};
    const RowColours plain{CellBackground::Info, CellText::Black};
    const RowColours near{CellBackground::Yellow, CellText::Black};
    const RowColours nearInView8{CellBackground::InactiveCaption, CellText::Black};
    const Case cases[] = {
        {"Vencido with a future date", "Vencido", kToday.addDays(300), 6, expired},
        {"Vencido with no date", "Vencido", QDate(), 8, expired},
        {"Vencido compared exactly", "VENCIDO", kToday.addDays(300), 6, plain},
        {"Vencido with a blank is another situation", "Vencido ", kToday.addDays(300), 6, plain},
        {"60 days ahead", "Estoque", kToday.addDays(60), 6, near},
        {"61 days ahead", "Estoque", kToday.addDays(61), 6, plain},
        {"already past, not yet marked", "Estoque", kToday.addDays(-3), 0, near},
        {"today", "", kToday, 0, near},
        {"no date", "Estoque", QDate(), 6, near},
        {"60 days ahead in the nearest-expiries view", "Estoque", kToday.addDays(60), 8, nearInView8},
        {"no date in the nearest-expiries view", "Estoque", QDate(), 8, nearInView8},
        {"61 days ahead in the nearest-expiries view", "Estoque", kToday.addDays(61), 8, plain},
    };
    for (const Case &c : cases) {
        const RowColours got = browser::colourFor(c.situacao, c.validade, kToday, c.filterIndex);
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST(SearchText, CapitalisesTheFirstLetterAndLowersTheRest)
{
    const std::pair<QString, QString> cases[] = {
        {"", ""},
        {"a", "A"},
        {"aCIDO bórico", "Acido bórico"},
        {"ÁCIDO", "Ácido"},          // accented letters stay as typed
        {"ácido", "ácido"},
        {"óLEO DE AMÊNDOA", "óleo de amÊndoa"},
        {"1,3-BUTILENO", "1,3-butileno"},
        {" ab", " ab"},
    };
    for (const auto &[typed, expected] : cases)
        EXPECT_EQ(browser::SearchText(typed), expected) << typed.toStdString();
}

TEST(LeadingOrderColumn, IsTheSortedColumnOrTheFirstFieldOfTheOrderClause)
{
    const QString scope = QStringLiteral("UPPER(LABORATORIO) = 'MANIPULACAO'");
    EXPECT_EQ(browser::LeadingOrderColumn(browser::StockStatement(6, 0, scope, kToday), {}), "DESCRICAO");
    EXPECT_EQ(browser::LeadingOrderColumn(browser::StockStatement(8, 1, scope, kToday), {}), "VALIDADE");
    // The joined view orders by the aliased column; the grid knows it without the alias.
    EXPECT_EQ(browser::LeadingOrderColumn(browser::StockStatement(4, 0, scope, kToday), {}), "DESCRICAO");
    EXPECT_EQ(browser::LeadingOrderColumn(browser::StockStatement(4, 1, scope, kToday), {}), "DESCRICAO");
    // The group views hold a subquery: only the outer order counts.
    EXPECT_EQ(browser::LeadingOrderColumn(browser::StockStatement(9, 0, scope, kToday), {}), "DESCRICAO");
    // A title click wins over the statement.
    EXPECT_EQ(browser::LeadingOrderColumn(browser::StockStatement(6, 0, scope, kToday), "VALIDADE"), "VALIDADE");

    EXPECT_EQ(browser::LeadingOrderColumn("select X from T where A = 'order by Y'", {}), "");
    EXPECT_EQ(browser::LeadingOrderColumn("select X from T where A = (select first 1 B from U order by B)", {}), "");
    EXPECT_EQ(browser::LeadingOrderColumn("select X from T\norder  by\tLOTE desc", {}), "");
    EXPECT_EQ(browser::LeadingOrderColumn("select X from T ORDER BY 2", {}), "");
    EXPECT_EQ(browser::LeadingOrderColumn("select X from T ORDER BY t.LOTE asc, X", {}), "LOTE");
    EXPECT_EQ(browser::LeadingOrderColumn("select BORDER from T order by BORDER", {}), "BORDER");
}

TEST(SearchDate, ReadsADayFirstPrefixCompletedFromToday)
{
    const struct {
        QString typed;
        QDate expected;   // invalid: no date
    } cases[] = {
        {"15", QDate(2024, 3, 15)},
        {"1", QDate(2024, 4, 1)},           // the 1st of March is past
        {"7", QDate(2024, 3, 7)},           // today counts
        {"31", QDate(2024, 3, 31)},
        {"15/", QDate(2024, 3, 15)},
        {"15/0", QDate(2024, 3, 15)},       // month still being typed
        {"15/02", QDate(2025, 2, 15)},      // February has passed this year
        {"29/02", QDate(2028, 2, 29)},
        {"15/03/2", QDate(2024, 3, 15)},
        {"15/03/23", QDate(2023, 3, 15)},
        {"15/03/202", QDate(2024, 3, 15)},
        {"15/03/2025", QDate(2025, 3, 15)},
        {"15-03-2025", QDate(2025, 3, 15)},
        {"15.3.2025", QDate(2025, 3, 15)},
        {"31/04/2024", QDate()},
        {"32", QDate()},
        {"0", QDate()},
        {"15/13", QDate()},
        {"Abc", QDate()},
        {"15/03/2025/1", QDate()},
        {"", QDate()},
    };
    for (const auto &c : cases) {
        const std::optional<QDate> got = browser::SearchDate(c.typed, kToday);
        if (c.expected.isValid()) {
            ASSERT_TRUE(got.has_value()) << c.typed.toStdString();
            EXPECT_EQ(*got, c.expected) << c.typed.toStdString();
        } else {
            EXPECT_FALSE(got.has_value()) << c.typed.toStdString();
        }
    }
}

class SearchRowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *rows[] = {
            "('Acido ascorbico', 'A1', 'F', '1', 10, '2024-05-01', 'Estoque')",
            "('Acido bórico', 'B1', 'F', '2', 2.5, '2024-03-20', 'Estoque')",
            "('Benzocaína', 'C1', 'F', '3', 0.75, null, 'Estoque')",
            "('Cafeína', 'D1', 'F', '4', 100, '2024-04-10', 'Estoque')",
            "('Cafeína', 'D2', 'F', '5', 7, '2025-01-31', 'Estoque')",
            "('Zinco', 'E1', 'F', '6', 3, '2024-03-07', 'Estoque')",
            "('ácido glicólico', 'F1', 'F', '7', 1, '2024-09-09', 'Estoque')",
        };
        for (const char *r : rows)
            db.conn().execute(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, "
                                             "VALIDADE, SITUACAO) values ")
                              + QString::fromUtf8(r));
        lots.setCommandText(QStringLiteral("select DESCRICAO, LOTE, SALDOCORRENTE, VALIDADE from ESTLOTE "
                                           "order by DESCRICAO, VALIDADE"));
        lots.open();
    }

    QString lotAt(int row) const { return row < 0 ? QStringLiteral("-") : lots.valueAt(row, 1).toString(); }
    QString search(const QString &typed) const
    {
        return lotAt(browser::SearchRow(lots, browser::SearchText(typed), kToday));
    }

    testsupport::TempDatabase db;
    data::CachedDataset lots{QStringLiteral("ESTLOTE"), &db.conn()};
};

TEST_F(SearchRowTest, TextLandsOnTheFirstKeyNotBelowTheTypedText)
{
    EXPECT_EQ(search(""), "A1");
    EXPECT_EQ(search("a"), "A1");
    EXPECT_EQ(search("acido b"), "B1");
    EXPECT_EQ(search("CAF"), "D1");
    EXPECT_EQ(search("d"), "E1");
    // After every key: the last row (the accented name sorts after the plain letters).
    EXPECT_EQ(search("zz"), "F1");
    EXPECT_EQ(search("á"), "F1");
    // The comparison is case-sensitive: a lower-case first letter sorts after "Z".
    EXPECT_EQ(lotAt(browser::SearchRow(lots, QStringLiteral("acido"), kToday)), "F1");
}

TEST_F(SearchRowTest, TextForgivesAccentsAndCase)
{
    // "ácido glicólico" sorts after "Zinco" by its bytes: typed without its accent, in any case,
    // it is still reached; a text that begins no name leaves the byte order's answer.
    for (const char *typed : {"acido g", "ACIDO GLI", "Ácido gli", "ácido glicólico", "acido glicolico"})
        EXPECT_EQ(search(QString::fromUtf8(typed)), "F1") << typed;
    EXPECT_EQ(search("benzocaina"), "C1");
    EXPECT_EQ(search("cafeina"), "D1");
    EXPECT_EQ(search("acido b"), "B1");   // the nearest row begins with the text: it stays
    EXPECT_EQ(search("xarope"), "E1");
}

TEST_F(SearchRowTest, ADateColumnIsSearchedAsDates)
{
    lots.setIndexFieldNames(QStringLiteral("VALIDADE"));
    EXPECT_EQ(lotAt(0), "C1");   // no date first
    EXPECT_EQ(search(""), "C1");
    EXPECT_EQ(search("20"), "B1");             // the next 20th: 20 March
    EXPECT_EQ(search("07/03/2024"), "E1");
    EXPECT_EQ(search("01/04"), "D1");
    EXPECT_EQ(search("01/01/2025"), "D2");
    EXPECT_EQ(search("01/01/2030"), "D2");     // after every date: the last row
    EXPECT_EQ(search("abc"), "-");             // no date: the grid stays where it is
}

TEST_F(SearchRowTest, ANumberColumnIsSearchedAsNumbers)
{
    lots.setIndexFieldNames(QStringLiteral("SALDOCORRENTE"));
    EXPECT_EQ(search("2,5"), "B1");
    EXPECT_EQ(search("2.6"), "E1");
    EXPECT_EQ(search("8"), "A1");
    EXPECT_EQ(search("1000"), "D1");
    EXPECT_EQ(search("x"), "-");
}

TEST_F(SearchRowTest, RowsInNoOrderAreNotSearched)
{
    lots.close();
    lots.setCommandText(QStringLiteral("select DESCRICAO, LOTE from ESTLOTE"));
    lots.open();
    EXPECT_EQ(browser::SearchRow(lots, QStringLiteral("Cafeína"), kToday), -1);
    lots.setIndexFieldNames(QStringLiteral("DESCRICAO"));
    EXPECT_EQ(search("Cafeína"), "D1");
    lots.close();
    EXPECT_EQ(browser::SearchRow(lots, QStringLiteral("Cafeína"), kToday), -1);
}

} // namespace
