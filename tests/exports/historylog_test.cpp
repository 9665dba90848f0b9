// The activity log read back: month boxes, the file's name, and the line index over real files.
#include "exports/historylog.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QStringList allLines(const exports::LineIndexedFile &file)
{
    QStringList out;
    for (qint64 i = 0; i < file.lineCount(); ++i)
        out << file.line(i);
    return out;
}

TEST(HistoryLog, MonthAndYearBoxesTakeWholeNumbersOnly)
{
    struct Case { const char *text; bool whole; };
    const Case cases[] = {
        {"03", true}, {"3", true}, {"2024", true}, {" 12", true}, {"-1", true}, {"+7", true},
        {"", false}, {" ", false}, {"3a", false}, {"1 ", false}, {"1.0", false}, {"-", false},
        {"99999999999", false}, {"１２", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(exports::IsWholeNumber(QString::fromUtf8(c.text)), c.whole) << c.text;
}

TEST(HistoryLog, NameTakesTheFirstTwoCharactersOfEachBox)
{
    struct Case { const char *month, *year, *name; };
    const Case cases[] = {
        {"03", "24", "LOGESTOQ_2024-03"},
        {"3", "24", "LOGESTOQ_2024-3"},       // one digit: not the name the log writer uses
        {"03", "2025", "LOGESTOQ_2020-03"},   // four digits: the year 2020
        {"123", "245", "LOGESTOQ_2024-12"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(exports::HistoryFileName(QString::fromLatin1(c.month), QString::fromLatin1(c.year)),
                  QString::fromLatin1(c.name));
    EXPECT_EQ(exports::HistoryFilePath(QStringLiteral("192.168.0.10"), QStringLiteral("LOGESTOQ_2024-03")),
              QStringLiteral("\\\\192.168.0.10\\Formulix\\LOG\\LOGESTOQ_2024-03.TXT"));
    EXPECT_EQ(exports::kHistoryBadMonthMessage,
              QStringLiteral("Erro na mês informado!\rFavor corrigir antes de continuar."));
}

TEST(HistoryLog, AnyLineEndAndWindows1252Text)
{
    QTemporaryDir dir;
    const QByteArray bytes =
        "--------------------------------\r\n"
        "  LOG criado em 07/03/24-14:05\r\n"
        "--------------------------------\r\n"
        "07/03/24-14:05 - JOS\xc9 - Entrou no m\xf3" "dulo\n"          // lone LF, É and ó
        "07/03/24-14:06 - ANA - \x80 pre\xe7o\r"                      // lone CR, € and ç
        "\r\n"                                                        // an empty line
        "ultima sem fim";
    exports::LineIndexedFile file;
    ASSERT_TRUE(file.open(writeFile(dir, QStringLiteral("a.txt"), bytes)));
    EXPECT_EQ(allLines(file), (QStringList{
        QStringLiteral("--------------------------------"),
        QStringLiteral("  LOG criado em 07/03/24-14:05"),
        QStringLiteral("--------------------------------"),
        QStringLiteral("07/03/24-14:05 - JOSÉ - Entrou no módulo"),
        QStringLiteral("07/03/24-14:06 - ANA - € preço"),
        QString(),
        QStringLiteral("ultima sem fim")}));
    EXPECT_EQ(file.lineBytes(3), QByteArray("07/03/24-14:05 - JOS\xc9 - Entrou no m\xf3" "dulo"));
    EXPECT_EQ(file.line(7), QString());

    // A final line end makes no empty line; an empty file has none.
    ASSERT_TRUE(file.open(writeFile(dir, QStringLiteral("b.txt"), "x\r\ny\r\n")));
    EXPECT_EQ(allLines(file), (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
    ASSERT_TRUE(file.open(writeFile(dir, QStringLiteral("c.txt"), "")));
    EXPECT_EQ(file.lineCount(), 0);
    EXPECT_FALSE(file.open(dir.filePath(QStringLiteral("missing.txt"))));
}

TEST(HistoryLog, LineEndSplitAcrossReadChunks)
{
    // CR as the last byte of the first megabyte and its LF as the first of the next.
    QTemporaryDir dir;
    const int chunk = 1 << 20;
    QByteArray bytes(chunk - 1, 'a');
    bytes += "\r\nb\r";
    bytes += QByteArray(chunk, 'c');
    bytes += "\r";
    exports::LineIndexedFile file;
    ASSERT_TRUE(file.open(writeFile(dir, QStringLiteral("big.txt"), bytes)));
    ASSERT_EQ(file.lineCount(), 3);
    EXPECT_EQ(file.lineBytes(0).size(), chunk - 1);
    EXPECT_EQ(file.line(1), QStringLiteral("b"));
    EXPECT_EQ(file.lineBytes(2), QByteArray(chunk, 'c'));
    EXPECT_EQ(file.longestLine(), chunk);
}

// A file that is not text: NUL bytes with no line end, one line of megabytes, control bytes. Each
// line is shown cut with its mark and the marks of its control bytes, never decoded whole.
TEST(HistoryLog, LinesTooLongToShowAreCutAndControlBytesShowAsMarks)
{
    QTemporaryDir dir;
    const qint64 kLong = 3 * 1024 * 1024;
    const QString cutNul = QString(exports::kShownLineLength, QChar(0x2400));
    struct Case {
        const char *name;
        QByteArray bytes;
        QStringList lines;
    };
    const QByteArray mixed = QByteArray("a\x01" "b\tc\x1b\x7f\r\n") + QByteArray(kLong, 'x') + "\r\nfim";
    const Case cases[] = {
        {"nul.txt", QByteArray(kLong, '\0'), {cutNul + QStringLiteral(" \u2026 [linha cortada: 3.145.728 caracteres]")}},
        {"mixed.txt", mixed,
         {QStringLiteral("a\u2401b\tc\u241b\u2421"),
          QString(exports::kShownLineLength, QLatin1Char('x')) + QStringLiteral(" \u2026 [linha cortada: 3.145.728 caracteres]"),
          QStringLiteral("fim")}},
        // Exactly a screenful is shown whole, with no mark.
        {"edge.txt", QByteArray(exports::kShownLineLength, 'y') + "\r\n",
         {QString(exports::kShownLineLength, QLatin1Char('y'))}},
    };
    for (const Case &c : cases) {
        exports::LineIndexedFile file;
        ASSERT_TRUE(file.open(writeFile(dir, QString::fromLatin1(c.name), c.bytes))) << c.name;
        EXPECT_EQ(allLines(file), c.lines) << c.name;
        // What the reading holds is a few screenfuls, not the megabytes of the line.
        EXPECT_LT(file.memoryUsed(), size_t(256 * 1024)) << c.name;
    }

    // Millions of empty lines: the index does not grow with them.
    exports::LineIndexedFile file;
    ASSERT_TRUE(file.open(writeFile(dir, QStringLiteral("empty.txt"), QByteArray(4 * 1024 * 1024, '\n') + "fim")));
    EXPECT_EQ(file.lineCount(), 4 * 1024 * 1024 + 1);
    EXPECT_EQ(file.line(4 * 1024 * 1024 - 1), QString());
    EXPECT_EQ(file.line(4 * 1024 * 1024), QStringLiteral("fim"));
    EXPECT_LT(file.memoryUsed(), size_t(512 * 1024));
}

TEST(HistoryLog, ReadsUpToTheSizeAtOpeningWhileAnotherProcessAppends)
{
    QTemporaryDir dir;
    QByteArray start;
    for (int i = 0; i < 200000; ++i)
        start += "07/03/24-14:05 - MARIA - linha " + QByteArray::number(i) + "\r\n";
    const QString path = writeFile(dir, QStringLiteral("LOGESTOQ_2024-03.TXT"), start);

    // Another workstation appending line by line, each an open, append and close.
    QProcess writer;
    writer.start(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral("i=0; while [ $i -lt 3000 ]; do printf 'outra %d\\r\\n' $i >> \"$1\" || exit 9; "
                                 "i=$((i+1)); done"),
                  QStringLiteral("sh"), path});
    ASSERT_TRUE(writer.waitForStarted());
    exports::LineIndexedFile file;
    int opens = 0;
    while (writer.state() != QProcess::NotRunning && opens < 50) {
        ASSERT_TRUE(file.open(path));
        ++opens;
        ASSERT_GE(file.lineCount(), 200000);
        EXPECT_EQ(file.line(199999), QStringLiteral("07/03/24-14:05 - MARIA - linha 199999"));
        // Lines added after opening are not part of this reading, however long it lasts.
        const qint64 seen = file.lineCount();
        writer.waitForFinished(5);
        EXPECT_EQ(file.lineCount(), seen);
        if (seen > 200000) {
            EXPECT_TRUE(file.line(seen - 1).startsWith(QStringLiteral("outra ")));
        }
    }
    ASSERT_TRUE(writer.state() == QProcess::NotRunning || writer.waitForFinished(60000));
    EXPECT_GT(opens, 0);
    EXPECT_EQ(writer.exitCode(), 0);   // no append was refused
    ASSERT_TRUE(file.open(path));
    EXPECT_EQ(file.lineCount(), 203000);
    EXPECT_EQ(file.line(202999), QStringLiteral("outra 2999"));
}

} // namespace
