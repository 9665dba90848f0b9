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

} // namespace
