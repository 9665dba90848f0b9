// The day's manual-adjustment code, the maintenance password and the backup question.
#include "common/accesscodes.h"
#include "support/recordingoperator.h"

#include <gtest/gtest.h>

using platform::Answer;
using testsupport::MessageKind;
using testsupport::RecordedMessage;
using testsupport::RecordingOperator;

namespace {

TEST(AdjustmentCode, IsDayAndMonthPlusTheKey)
{
    const struct {
        QDate day;
        QString key;
        QString code;
    } cases[] = {
        {QDate(2024, 3, 7), "4817", "5520"},     // 0703 -> 703
        {QDate(2024, 12, 31), "4817", "7929"},   // 3112
        {QDate(2024, 1, 1), "4817", "4918"},     // 0101 -> 101
        {QDate(2024, 1, 1), "0", "101"},         // no leading zero
        {QDate(2024, 10, 20), "9999", "12009"},  // five digits
        {QDate(2024, 3, 7), " 1000 ", "1703"},
        {QDate(2024, 3, 7), "-703", "0"},
        {QDate(2024, 3, 7), "+1", "704"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(browser::AdjustmentCode(c.day, c.key), c.code) << c.key.toStdString();
}

TEST(AdjustmentCode, IsComparedAsTextAndOnlyOnItsDay)
{
    const QDate day(2024, 3, 7);
    EXPECT_TRUE(browser::AdjustmentCodeMatches("5520", day, "4817"));
    EXPECT_FALSE(browser::AdjustmentCodeMatches("05520", day, "4817"));
    EXPECT_FALSE(browser::AdjustmentCodeMatches("5520 ", day, "4817"));
    EXPECT_FALSE(browser::AdjustmentCodeMatches("", day, "4817"));
    EXPECT_FALSE(browser::AdjustmentCodeMatches("5520", day.addDays(1), "4817"));
    EXPECT_TRUE(browser::AdjustmentCodeMatches("5620", day.addDays(1), "4817"));
}

TEST(AdjustmentCode, AKeyThatIsNoIntegerIsAnError)
{
    for (const QString key : {"", " ", "48 17", "4817a", "0x12", "1.5", "-", "99999999999", "４８１７"}) {
        try {
            browser::AdjustmentCode(QDate(2024, 3, 7), key);
            ADD_FAILURE() << "accepted " << key.toStdString();
        } catch (const browser::ConversionError &e) {
            EXPECT_EQ(e.text(), key);
            EXPECT_EQ(QString::fromUtf8(e.what()), "'" + key + "' não é um valor inteiro válido");
        }
    }
}

TEST(MaintenancePassword, OnlyTheExactTextPasses)
{
    RecordingOperator op;
    EXPECT_TRUE(browser::CheckMaintenancePassword("580274", op));
    EXPECT_TRUE(op.texts().isEmpty());
    for (const QString typed : {"", "58027", "5802740", " 580274", "580275"})
        EXPECT_FALSE(browser::CheckMaintenancePassword(typed, op)) << typed.toStdString();
    EXPECT_EQ(op.texts(), QStringList(5, "Senha Incorreta"));
}

TEST(BackupQuestion, GuardsOnlyTheDeletions)
{
    for (int tag : {2, 3, 4}) {
        RecordingOperator op;
        EXPECT_TRUE(browser::ConfirmBackupBefore(tag, op));
        EXPECT_TRUE(op.messages().isEmpty());
    }
    for (int tag : {5, 6}) {
        RecordingOperator yes;
        yes.answer(Answer::Yes);
        EXPECT_TRUE(browser::ConfirmBackupBefore(tag, yes));
        EXPECT_EQ(yes.messages(), QList<RecordedMessage>({{MessageKind::Ask, "Já fez um backup do banco de dados? "}}));

        RecordingOperator no;
        no.answer(Answer::No);
        EXPECT_FALSE(browser::ConfirmBackupBefore(tag, no));
        EXPECT_EQ(no.messages(),
                  QList<RecordedMessage>(
                      {{MessageKind::Ask, "Já fez um backup do banco de dados? "},
                       {MessageKind::Inform,
                        "Então, primeiro faça o backup do banco de dados. Depois volte aqui e continue."}}));
    }
}

} // namespace
