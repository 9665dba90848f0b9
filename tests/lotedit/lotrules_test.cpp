// The lot edit form's decisions without a window: what leaving the description does, which
// changes are audited and the exact lines, the situation list and the deletion code.
#include "lotedit/lotrules.h"

#include <gtest/gtest.h>

using namespace lotedit;

TEST(LotRules, LeavingTheDescription)
{
    const struct {
        const char *text;
        DescriptionAction action;
    } cases[] = {
        {"", DescriptionAction::CancelAndClose}, {"12", DescriptionAction::ByCode},
        {"5", DescriptionAction::Nothing},        {"5a", DescriptionAction::ByName},
        {"-3", DescriptionAction::Nothing},       {"+7", DescriptionAction::Nothing},
        {"00123 ABC", DescriptionAction::ByCode}, {"Cafeina", DescriptionAction::ByName},
        {"1 ", DescriptionAction::ByName},        {"9999999999", DescriptionAction::ByCode},
        {"-99999999999", DescriptionAction::ByName},   // past 32 bits: not an integer, a name
    };
    for (const auto &c : cases)
        EXPECT_EQ(ClassifyDescription(QString::fromUtf8(c.text)), c.action) << c.text;
    EXPECT_EQ(ProductCode(QStringLiteral("123456789012345678901234")), QStringLiteral("12345678901234567890"));
    EXPECT_EQ(ProductName(QStringLiteral("OLEO D'OLIVA")), QStringLiteral("Oleo d'oliva"));
    EXPECT_EQ(ProductName(QString(80, u'x')).size(), 70);
    EXPECT_EQ(CodeNotFoundMessage(QStringLiteral("77")), QStringLiteral("Código 77 não encontrado no Cad. de Produtos."));
}

TEST(LotRules, AuditLinesAndWhenTheyAreWritten)
{
    EXPECT_EQ(OpeningLine(QStringLiteral("Cafeína"), QStringLiteral("L1")),
              QStringLiteral("Abriu a edição do registro: Cafeína (lote: L1)"));
    EXPECT_EQ(BalanceLine(QStringLiteral("12,5"), QStringLiteral("10"), QStringLiteral("Cafeína"), QStringLiteral("L1")),
              QStringLiteral("Alterou o Saldo Atual de 12,5 para 10 (Cafeína, lote: L1)"));
    EXPECT_EQ(ExpiryLine(QDate(2024, 3, 7), QStringLiteral("08/04/25"), QStringLiteral("Cafeína"), QStringLiteral("L1")),
              QStringLiteral("Alterou a Validade de 07/03/24 para 08/04/25 (Cafeína, lote: L1)"));
    EXPECT_EQ(JustificationLine(QStringLiteral("contagem")), QStringLiteral("Justificativa: contagem"));

    EXPECT_TRUE(BalanceChangeAudited(QStringLiteral("12,5"), QStringLiteral("10"), true));
    EXPECT_FALSE(BalanceChangeAudited(QStringLiteral("12,5"), QStringLiteral("12,5"), true));
    EXPECT_FALSE(BalanceChangeAudited(QString(), QStringLiteral("10"), true));   // empty on entry
    EXPECT_FALSE(BalanceChangeAudited(QStringLiteral("12,5"), QStringLiteral("10"), false));   // log off
}

TEST(LotRules, ExpiryReadingAndItsAudit)
{
    const struct {
        const char *text;
        QDate date;   // invalid: no date
    } cases[] = {
        {"07/03/24", QDate(2024, 3, 7)}, {"07/03/2024", QDate(2024, 3, 7)}, {"01/01/76", QDate(1976, 1, 1)},
        {"  /  /  ", QDate()},            {"31/02/24", QDate()},             {"", QDate()},
        {"07/03/2", QDate()},
    };
    for (const auto &c : cases) {
        const std::optional<QDate> d = ReadExpiry(QString::fromUtf8(c.text), 2026);
        EXPECT_EQ(d.value_or(QDate()), c.date) << c.text;
        EXPECT_EQ(EntryExpiryFor(QString::fromUtf8(c.text), 2026), c.date.isValid() ? c.date : kExpirySentinel) << c.text;
    }
    EXPECT_TRUE(ExpiryLeftEmpty(QStringLiteral("  /  /  ")));
    EXPECT_FALSE(ExpiryLeftEmpty(QStringLiteral("07/03/24")));

    EXPECT_TRUE(ExpiryChangeAudited(QDate(2024, 3, 7), QDate(2025, 3, 7), true));
    EXPECT_FALSE(ExpiryChangeAudited(QDate(2024, 3, 7), QDate(2024, 3, 7), true));
    EXPECT_FALSE(ExpiryChangeAudited(kExpirySentinel, QDate(2025, 3, 7), true));   // unreadable, empty or 01/01/2000
    EXPECT_FALSE(ExpiryChangeAudited(QDate(2024, 3, 7), QDate(2025, 3, 7), false));
}

TEST(LotRules, SituationList)
{
    core::SiteConfig config;
    EXPECT_FALSE(HasSituationOptions(config));
    EXPECT_EQ(SituationItems(config), kDefaultSituations);
    config.SituationOptionsText = QStringLiteral("A//B");
    core::SplitSituationOptions(config);
    EXPECT_TRUE(HasSituationOptions(config));
    EXPECT_EQ(SituationItems(config), QStringList{QStringLiteral("A")});
    config = {};
    config.SituationOptionsText = QStringLiteral("Estoque/Quarentena/Vencido");
    core::SplitSituationOptions(config);
    EXPECT_EQ(SituationItems(config),
              (QStringList{QStringLiteral("Estoque"), QStringLiteral("Quarentena"), QStringLiteral("Vencido")}));
}

TEST(LotRules, DeletionQuestionAndCode)
{
    EXPECT_EQ(DeleteQuestion(QStringLiteral("Cafeína anidra"), QStringLiteral("L1")),
              QStringLiteral("Tem certeza que deseja excluir \"CAFEíNA ANIDRA\" (Lote: L1)? "));
    // 5 March: 503 plus the built-in key, whatever the configuration says.
    const QDate day(2024, 3, 5);
    const QString code = QString::number(503 + core::kDefaultStockKey.toInt());
    EXPECT_EQ(DeletionCode(day), code);
    EXPECT_EQ(CheckDeletionCode(code, day), DeletionCheck::Granted);
    EXPECT_EQ(CheckDeletionCode(QStringLiteral("0") + code, day), DeletionCheck::Denied);
    EXPECT_EQ(CheckDeletionCode(code, day.addDays(1)), DeletionCheck::Denied);
    EXPECT_EQ(CheckDeletionCode(code, QDate()), DeletionCheck::DateError);
}
