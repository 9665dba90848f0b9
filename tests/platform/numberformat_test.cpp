// pt-BR number pictures and the general number form of the diagnostic lines.
#include "platform/numberformat.h"

#include "support/qtprint.h"

#include <gtest/gtest.h>

namespace {

TEST(NumberFormat, Pictures)
{
    struct Case { const char *format; double value; const char *text; };
    const Case cases[] = {
        {"0.0000", 3.26666667, "3,2667"},
        {"0.00", 2.675, "2,68"},                       // the decimal text rounds, not the binary value
        {"0.00", -2.675, "-2,68"},                     // half away from zero
        {"0.00", 0.125, "0,13"},
        {"0.00", -0.001, "0,00"},                      // no sign on a value that rounds to zero
        {"0.000", 2502.5, "2502,500"},
        {"#,###,##0.00000", 1234.5, "1.234,50000"},
        {"#,###,##0.00", 1234567.891, "1.234.567,89"},
        {"#,###,##0.00", 0, "0,00"},
        {"#,###,##0.00", -9999.995, "-10.000,00"},
        {"##,###,##0.00", 999.999, "1.000,00"},
        {"0.########", 0.5, "0,5"},
        {"0", 2.5, "3"},
        {"0", -2.5, "-3"},
        {"#.##", 0.5, ",5"},
        {"R$ #,##0.00", 1500, "R$ 1.500,00"},
        {"0.00;(0.00)", -3.1, "(3,10)"},
        {"0.00;(0.00);zero", 0, "zero"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(platform::FormatNumber(QString::fromUtf8(c.format), c.value), QString::fromUtf8(c.text))
            << c.format << " " << c.value;
}

TEST(NumberFormat, GeneralForm)
{
    struct Case { double value; const char *text; };
    const Case cases[] = {
        {2.5, "2,5"}, {2500, "2500"}, {1000000, "1000000"}, {0.001, "0,001"}, {0.0001, "0,0001"},
        {0.0000015, "1,5E-6"}, {1e20, "1E20"}, {-0.25, "-0,25"}, {1.0 / 3, "0,333333333333333"},
        {123456789012345678.0, "1,23456789012346E17"}, {0, "0"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(platform::GeneralNumber(c.value), QString::fromUtf8(c.text)) << c.value;
}

} // namespace
