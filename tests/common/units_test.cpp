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

} // namespace
