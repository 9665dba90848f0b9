// pt-BR folding: one rule for searches and for names compared between tables.
#include "common/textfold.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>

using namespace common;

namespace {

TEST(TextFold, CaseAccentsAndBlanks)
{
    struct Case {
        QString text;
        QString folded;
    };
    const Case cases[] = {
        {QStringLiteral("Ácido ascórbico"), QStringLiteral("ACIDO ASCORBICO")},
        {QStringLiteral("ÁCIDO ASCÓRBICO"), QStringLiteral("ACIDO ASCORBICO")},
        {QStringLiteral("Química  Ávila "), QStringLiteral("QUIMICA AVILA")},
        {QStringLiteral("QUÍMICA ÁVILA"), QStringLiteral("QUIMICA AVILA")},
        {QStringLiteral("Açaí, pão, ÔNIBUS, Über, àçõ"), QStringLiteral("ACAI, PAO, ONIBUS, UBER, ACO")},
        {QStringLiteral("Vitamina B12 1º lote D'Água"), QStringLiteral("VITAMINA B12 1º LOTE D'AGUA")},
        {QString(), QString()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FoldText(c.text), c.folded) << c.text.toStdString();
}

TEST(TextFold, ContainsForgivesAccentsAndCase)
{
    for (const char *typed : {"acido", "ácido", "ACIDO", "Ácido", "ascorb"})
        EXPECT_TRUE(FoldedContains(QStringLiteral("Ácido ascórbico"), QString::fromUtf8(typed))) << typed;
    EXPECT_FALSE(FoldedContains(QStringLiteral("Ácido ascórbico"), QStringLiteral("acida")));
    EXPECT_TRUE(FoldedContains(QStringLiteral("Ácido"), QString()));
}

// The two foldings on one text: FoldText compares (blanks made one, every accent dropped, upper
// case); FoldProductName writes the name as the order lines store it, so it keeps the blanks,
// knows only the accents of its list and leaves the case of the register's rule.
TEST(TextFold, SearchFoldingBesideProductNameFolding)
{
    struct Case {
        QString text, search, productName;
    };
    const Case cases[] = {
        {QStringLiteral("Ácido Ascórbico"), QStringLiteral("ACIDO ASCORBICO"), QStringLiteral("acido ascorbico")},
        {QStringLiteral("VITAMINA c"), QStringLiteral("VITAMINA C"), QStringLiteral("Vitamina C")},
        {QStringLiteral("Química  Ávila "), QStringLiteral("QUIMICA AVILA"), QStringLiteral("Quimica  avila ")},
        {QStringLiteral("D'ÁGUA"), QStringLiteral("D'AGUA"), QStringLiteral("D agua")},
        {QStringLiteral("Crème"), QStringLiteral("CREME"), QStringLiteral("Crème")},
        {QString(), QString(), QString()},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FoldText(c.text), c.search) << c.text.toStdString();
        EXPECT_EQ(FoldProductName(c.text), c.productName) << c.text.toStdString();
    }
}

} // namespace
