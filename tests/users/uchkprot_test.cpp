// ScrambleText against the suite's stored values and a bit-by-bit reading of its rule.
#include "users/uchkprot.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// The rule done literally on a string of '0' and '1' characters, with its own Windows-1252
// encoder, so it shares nothing with the routine under test.
QString referenceScramble(const QString &text)
{
    QStringEncoder enc("windows-1252");
    const QByteArray bytes = enc.encode(text);
    std::string bits;
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        for (int i = 7; i >= 0; --i)
            bits += ((b >> i) & 1) ? '1' : '0';
    }
    if (bits.size() >= 3)
        bits = bits.substr(3) + bits.substr(0, 3);
    QString out;
    for (size_t end = bits.size(); end >= 8; end -= 8) {
        const int value = std::stoi(bits.substr(end - 8, 8), nullptr, 2);
        out += QChar(u'A' + value / 16);
        out += QChar(u'A' + value % 16);
    }
    return out;
}

QString fromCp1252(const char *bytes)
{
    QStringDecoder dec("windows-1252");
    return dec.decode(QByteArray(bytes));
}

} // namespace

TEST(ScrambleText, SuiteExamples)
{
    EXPECT_EQ(users::ScrambleText(QStringLiteral("A")), QStringLiteral("AK"));
    EXPECT_EQ(users::ScrambleText(QStringLiteral("ABC")), QStringLiteral("BKBCAK"));
    EXPECT_EQ(users::ScrambleText(QString()), QString());
    EXPECT_EQ(referenceScramble(QStringLiteral("ABC")), QStringLiteral("BKBCAK"));
}

TEST(ScrambleText, MatchesTheBitRuleUpTo31Characters)
{
    // Bytes above 127 (accents, the euro sign at 0x80) exercise the high bits and the code page.
    const QString texts[] = {
        QStringLiteral("MARIA"),
        QStringLiteral("1234"),
        QStringLiteral("JOÃO"),
        fromCp1252("\x80\xff\x01 Z"),
        QStringLiteral("ÁCIDO HIALURÔNICO D'ÁGUA 123456"),  // 31 characters
    };
    for (const QString &t : texts) {
        const QString got = users::ScrambleText(t);
        EXPECT_EQ(got, referenceScramble(t)) << t.toStdString();
        EXPECT_EQ(got.size(), 2 * t.size()) << t.toStdString();
    }
    EXPECT_EQ(texts[4].size(), 31);
}

TEST(ScrambleText, LongInputsNeverMatchAStoredValue)
{
    // 32 characters and more: the whole text is scrambled by the same rule, so the result is as
    // distinct as the input and too long for USUARIO (30) and SENHA (12).
    const QString base = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    ASSERT_EQ(base.size(), 32);
    const QString variants[] = {base, base + QStringLiteral("6"), QStringLiteral("B") + base.mid(1),
                                base.left(31) + QStringLiteral("6"), base.left(31), QString(),
                                base.repeated(4)};
    QSet<QString> seen;
    for (const QString &v : variants) {
        const QString got = users::ScrambleText(v);
        EXPECT_EQ(got, referenceScramble(v)) << v.toStdString();
        if (v.size() >= 32)
            EXPECT_GE(got.size(), 64);
        EXPECT_FALSE(seen.contains(got)) << v.toStdString();
        seen.insert(got);
    }
}
