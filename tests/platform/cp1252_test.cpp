// Windows-1252 bytes at the boundaries and the ASCII-only case mapping.
#include "platform/cp1252.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(Cp1252, TextAndBytesRoundTrip)
{
    struct Case {
        QString text;
        QByteArray bytes;
    };
    const Case cases[] = {
        {QStringLiteral("€ 12,50"), QByteArray("\x80 12,50")},
        {QStringLiteral("Posição Atual"), QByteArray("Posi\xE7\xE3o Atual")},
        {QStringLiteral("ÁÉÍÓÚÂÊÔÃÕÇÜ"), QByteArray("\xC1\xC9\xCD\xD3\xDA\xC2\xCA\xD4\xC3\xD5\xC7\xDC")},
        {QStringLiteral("áéíóúâêôãõçü"), QByteArray("\xE1\xE9\xED\xF3\xFA\xE2\xEA\xF4\xE3\xF5\xE7\xFC")},
        // the 0x80-0x9F range, where Latin-1 would go wrong
        {QStringLiteral("‘aspas’ “duplas” – — … ™ Œ œ Š š Ž ž Ÿ ƒ"),
         QByteArray("\x91" "aspas\x92 \x93" "duplas\x94 \x96 \x97 \x85 \x99 \x8C \x9C \x8A \x9A \x8E \x9E \x9F \x83")},
        {QStringLiteral("º ª ° ± ²"), QByteArray("\xBA \xAA \xB0 \xB1 \xB2")},
        {QString(), QByteArray()},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(toCp1252(c.text), c.bytes) << c.text.toStdString();
        EXPECT_EQ(fromCp1252(c.bytes), c.text) << c.text.toStdString();
        EXPECT_EQ(fromCp1252(c.bytes.constData(), int(c.bytes.size())), c.text) << c.text.toStdString();
    }
}

TEST(Cp1252, EveryByteSurvivesTheRoundTrip)
{
    // Bytes read from a file or a row must be written back unchanged, the five unassigned ones too.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = fromCp1252(all);
    EXPECT_EQ(text.size(), 256);
    EXPECT_EQ(toCp1252(text), all);
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ(toCp1252(QStringLiteral("a中b")), QByteArray("a?b"));
    EXPECT_EQ(toCp1252(QStringLiteral("x\U0001F600y")), QByteArray("x?y"));  // one mark for a surrogate pair
    EXPECT_EQ(toCp1252(QStringLiteral("ő€")), QByteArray("?\x80"));
}

TEST(Cp1252, CaseMappingTouchesOnlyAsciiLetters)
{
    EXPECT_EQ(asciiUpper(QStringLiteral("ação é sódio, vitamina c 10mg")), QStringLiteral("AçãO é SóDIO, VITAMINA C 10MG"));
    EXPECT_EQ(asciiLower(QStringLiteral("ÁCIDO ASCÓRBICO Ç")), QStringLiteral("Ácido ascÓrbico Ç"));
    EXPECT_EQ(asciiUpper(QStringLiteral("az[]{}@`~")), QStringLiteral("AZ[]{}@`~"));
    EXPECT_EQ(asciiLower(QStringLiteral("AZ[]{}@`~")), QStringLiteral("az[]{}@`~"));
}

} // namespace
