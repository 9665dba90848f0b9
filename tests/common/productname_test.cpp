// Typed product names as the register writes them.
#include "common/textfold.h"

#include <gtest/gtest.h>

TEST(NormaliseProductName, LowersRaisesFirstAndTheVitaminLetter)
{
    const struct {
        QString typed;
        QString name;
    } cases[] = {
        {"VITAMINA C", "Vitamina C"},
        {"vitamina b12", "Vitamina B12"},
        {"ACIDO ASCORBICO", "Acido ascorbico"},
        {"ÁCIDO ASCÓRBICO", "Ácido ascÓrbico"},   // accented letters are not ASCII: left alone
        {"cafeína ANIDRA", "Cafeína anidra"},
        {"Oleo D'OLIVA", "Oleo d'oliva"},
        {"vitaminas", "Vitaminas"},               // nine characters: no tenth to raise
        {"vitamina", "Vitamina"},
        {"VITAMINAXE", "VitaminaxE"},             // the tenth character, whatever stands ninth
        {"a", "A"},
        {"", ""},
        {"12 abc", "12 abc"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(common::NormaliseProductName(c.typed), c.name) << c.typed.toStdString();
}
