// The factor between the report builds' lower-case units: the table, and 1 for everything else.
#include "common/units.h"

#include <gtest/gtest.h>

namespace {

TEST(ReportUnitFactor, Table)
{
    struct Case { const char *from, *to; double factor; };
    const Case cases[] = {
        {"mg", "mcg", 1000}, {"g", "mg", 1000}, {"kg", "g", 1000}, {"kg", "mg", 1000000},
        {"mcg", "mg", 0.001}, {"mg", "g", 0.001}, {"g", "kg", 0.001}, {"mg", "kg", 0.000001},
        {"l", "ml", 1000}, {"ml", "mcl", 1000}, {"ml", "l", 0.001}, {"mcl", "ml", 0.001},
        // Equal units, pairs two steps apart the table leaves out, and their reverses.
        {"g", "g", 1}, {"g", "mcg", 1}, {"mcg", "g", 1}, {"kg", "mcg", 1}, {"mcg", "kg", 1},
        {"l", "mcl", 1}, {"mcl", "l", 1}, {"g", "kg ", 1},
        // Case-sensitive: other letter cases are other units.
        {"g", "MG", 1}, {"G", "mg", 1}, {"Kg", "g", 1}, {"kg", "G", 1}, {"ML", "l", 1},
        // Units of different kinds, and empty texts.
        {"g", "ml", 1}, {"un", "g", 1}, {"", "mg", 1}, {"", "", 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(common::ReportUnitFactor(QString::fromUtf8(c.from), QString::fromUtf8(c.to)), c.factor)
            << '"' << c.from << "\" -> \"" << c.to << '"';
}

TEST(ReportUnitFactor, ArgumentOrderIsFromThenTo)
{
    // 2500 mg of a product registered in g: divided by factor(g, mg), it is 2.5 g.
    EXPECT_EQ(2500 / common::ReportUnitFactor(QStringLiteral("g"), QStringLiteral("mg")), 2.5);
}

} // namespace
