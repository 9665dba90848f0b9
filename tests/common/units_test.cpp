// The complete unit table: every pair of one kind, letter case ignored, other kinds refused.
#include "common/units.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>

using namespace common;

namespace {

TEST(Units, ScaleBetweenCodesInAnyCase)
{
    struct Case {
        const char *from;
        const char *to;
        std::optional<int> scale;
    };
    const Case cases[] = {
        {"G", "G", 0},       {"g", "G", 0},        {" mg", "MG ", 0},    {"KG", "G", 3},
        {"kg", "mg", 6},     {"MG", "G", -3},      {"mcg", "g", -6},     {"MCG", "kg", -9},
        {"Kg", "MCG", 9},    {"L", "ML", 3},       {"mcl", "ML", -3},    {"l", "mcl", 6},
        {"MIL", "UN", 3},    {"un", "mil", -3},
        // different kinds, unknown codes, one side empty
        {"G", "ML", std::nullopt},   {"UN", "G", std::nullopt},  {"CX", "G", std::nullopt},
        {"G", "", std::nullopt},     {"", "MG", std::nullopt},
        // the same code is the same unit even when the table does not know it
        {"", "", 0},         {"cx", "CX", 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(UnitScale(QString::fromLatin1(c.from), QString::fromLatin1(c.to)), c.scale)
            << c.from << " -> " << c.to;
    }
}

TEST(Units, FactorIsExactForMilliAndKilo)
{
    EXPECT_EQ(UnitFactorBetween(QStringLiteral("MG"), QStringLiteral("g")), 0.001);
    EXPECT_EQ(UnitFactorBetween(QStringLiteral("kg"), QStringLiteral("G")), 1000.0);
    // 5 000 MG of a product priced by the g at 0,50 is 2,50
    EXPECT_DOUBLE_EQ(5000 * *UnitFactorBetween(QStringLiteral("MG"), QStringLiteral("g")) * 0.50, 2.50);
    EXPECT_FALSE(UnitFactorBetween(QStringLiteral("G"), QStringLiteral("L")).has_value());
    EXPECT_TRUE(UnitsConvert(QStringLiteral("mcg"), QStringLiteral("KG")));
}

// The three tables on one quantity in unit `a` expressed in unit `b`. They differ on purpose: the
// report builds and the maintenance operations keep the tables the stored figures were made
// with, and only new rules take the complete one.
TEST(Units, ThreeTablesSideBySide)
{
    struct Case {
        const char *a, *b;
        std::optional<double> complete;   // UnitFactorBetween(a, b)
        double report;                    // ReportUnitFactor(a, b)
        double registers;                 // RegisterUnitFactor(b, a): target first
    };
    const Case cases[] = {
        {"g", "mg", 1000.0, 1000, 1000},
        {"G", "MG", 1000.0, 1, 1000},            // the report table is lower case only
        {"kg", "mcg", 1e9, 1, 1},                // three steps: only the complete table
        {"l", "mcl", 1e6, 1, 1},                 // two steps of volume: only the complete table
        {"MIL", "UN", 1000.0, 1, 1000},          // counts: not in the report table
        {" mg", "g", 0.001, 1, 1},               // blanks at the ends: only the complete table drops them
        {"g", "ml", std::nullopt, 1, 1},         // other kinds: the old tables answer 1
        {"", "", 1.0, 1, 1},
    };
    for (const Case &c : cases) {
        const QString a = QString::fromLatin1(c.a), b = QString::fromLatin1(c.b);
        EXPECT_EQ(UnitFactorBetween(a, b), c.complete) << c.a << " -> " << c.b;
        EXPECT_EQ(ReportUnitFactor(a, b), c.report) << c.a << " -> " << c.b;
        EXPECT_EQ(RegisterUnitFactor(b, a), c.registers) << c.a << " -> " << c.b;
    }
}

} // namespace
