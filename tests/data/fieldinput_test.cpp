// Typed text to column values: the pt-BR conventions, widths, and two-digit years read exactly as
// the database server reads them.
#include "data/columns.h"
#include "data/fieldinput.h"
#include "platform/twodigityear.h"

#include "support/testdb.h"

#include <gtest/gtest.h>

using data::ColumnInfo;
using data::ParseFieldText;

namespace {

ColumnInfo info(const char *table, const char *column)
{
    return *data::FindColumnInfo(QString::fromLatin1(table), QString::fromLatin1(column));
}

} // namespace

TEST(FieldInput, TypedTextsBecomeTheColumnsValues)
{
    const ColumnInfo saldo = info("ESTLOTE", "SALDOCORRENTE");
    EXPECT_EQ(ParseFieldText(saldo, QStringLiteral("12,5"), 2026).toDecimal(), db::Decimal::fromString(QStringLiteral("12.5")));
    EXPECT_EQ(ParseFieldText(saldo, QStringLiteral("-0,25"), 2026).toDecimal(), db::Decimal::fromString(QStringLiteral("-0.25")));
    // The largest balance the column holds, and a rounding that stays inside it.
    EXPECT_EQ(ParseFieldText(saldo, QStringLiteral("9999999999,99999999"), 2026).toDecimal(),
              db::Decimal::fromString(QStringLiteral("9999999999.99999999")));
    EXPECT_EQ(ParseFieldText(saldo, QStringLiteral("-0009999999999"), 2026).toDecimal(),
              db::Decimal::fromString(QStringLiteral("-9999999999")));
    // Past the column's eight decimals the value is rounded, as the server stores it.
    EXPECT_EQ(ParseFieldText(saldo, QStringLiteral("0,123456785"), 2026).toDecimal(),
              db::Decimal::fromString(QStringLiteral("0.12345679")));
    EXPECT_TRUE(ParseFieldText(saldo, QStringLiteral("  "), 2026).isNull());

    const ColumnInfo validade = info("ESTLOTE", "VALIDADE");
    EXPECT_EQ(ParseFieldText(validade, QStringLiteral("07/03/24"), 2026).toDate(), QDate(2024, 3, 7));
    EXPECT_EQ(ParseFieldText(validade, QStringLiteral("07/03/2024"), 2026).toDate(), QDate(2024, 3, 7));
    EXPECT_EQ(ParseFieldText(validade, QStringLiteral("01/01/76"), 2026).toDate(), QDate(1976, 1, 1));
    EXPECT_EQ(ParseFieldText(validade, QStringLiteral("01/01/75"), 2026).toDate(), QDate(2075, 1, 1));
    EXPECT_TRUE(ParseFieldText(validade, QStringLiteral("  /  /  "), 2026).isNull());

    // Text is cut to the column's width.
    EXPECT_EQ(ParseFieldText(info("ESTLOTE", "SITUACAO"), QStringLiteral("Aguardando análise"), 2026).toString(),
              QStringLiteral("Aguardando"));
}

TEST(FieldInput, WhatIsNoValueIsRefusedWithTheOperatorsMessage)
{
    const struct {
        const char *table, *column, *typed, *message;
    } cases[] = {
        {"ESTLOTE", "SALDOCORRENTE", "1.5", "'1.5' não é um valor numérico válido"},
        {"ESTLOTE", "SALDOCORRENTE", "1,2,3", "'1,2,3' não é um valor numérico válido"},
        {"ESTLOTE", "SALDOCORRENTE", "abc", "'abc' não é um valor numérico válido"},
        {"ESTLOTE", "VALIDADE", "31/02/24", "'31/02/24' não é uma data válida"},
        {"ESTLOTE", "VALIDADE", "07/03/2 ", "'07/03/2 ' não é uma data válida"},
        {"ESTLOTE", "VALIDADE", " 7/  /24", "' 7/  /24' não é uma data válida"},
        {"LAUDOPORLOTE", "CODIGOLAUDO", "12,5", "'12,5' não é um valor numérico válido"},
        // An exponent is no Brazilian number, whatever its size.
        {"ESTLOTE", "SALDOCORRENTE", "1,5E3", "'1,5E3' não é um valor numérico válido"},
        {"ESTLOTE", "SALDOCORRENTE", "1e15", "'1e15' não é um valor numérico válido"},
        // Numbers past the column's digits, which the column would hold as some other number.
        {"ESTLOTE", "SALDOCORRENTE", "10000000000", "o valor '10000000000' não cabe no campo (até 10 dígitos antes da vírgula)."},
        {"ESTLOTE", "SALDOCORRENTE", "-99999999999,5", "o valor '-99999999999,5' não cabe no campo (até 10 dígitos antes da vírgula)."},
        {"ESTLOTE", "SALDOCORRENTE", "9999999999,999999995", "o valor '9999999999,999999995' não cabe no campo (até 10 dígitos antes da vírgula)."},
        {"ESTLOTE", "DENSIDADE", "10000000", "o valor '10000000' não cabe no campo (até 7 dígitos antes da vírgula)."},
        {"LAUDOPORLOTE", "CODIGOLAUDO", "2147483648", "o valor '2147483648' não cabe no campo (de -2147483648 a 2147483647)."},
        {"LAUDOPORLOTE", "CODIGOLAUDO", "1e3", "'1e3' não é um valor numérico válido"},
        {"RELESTLOTE", "ESTOQUECUSTO", "1e400", "'1e400' não é um valor numérico válido"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        try {
            ParseFieldText(info(c.table, c.column), QString::fromUtf8(c.typed), 2026);
            ADD_FAILURE() << "accepted";
        } catch (const data::FieldInputError &e) {
            EXPECT_EQ(e.message(), QString::fromUtf8(c.message));
        }
    }
}

// The one reading of a typed number, for every box and the transfer's quantity: a table of what
// an operator types, at the balance's DECIMAL(18,8) and at a column of fewer digits.
TEST(TypedDecimal, ReadTheBrazilianWayRoundedOnceAndKeptWithinTheColumn)
{
    using Status = data::TypedDecimal::Status;
    const struct {
        const char *typed;
        int precision, scale;
        Status status;
        const char *value;   // as db::Decimal::toString writes it
        int decimals;        // the value's scale: the decimals typed, up to the column's
    } cases[] = {
        {"2,5", 18, 8, Status::Ok, "2.5", 1},
        {" 3 ", 18, 8, Status::Ok, "3", 0},
        {",5", 18, 8, Status::Ok, "0.5", 1},
        {"7,", 18, 8, Status::Ok, "7", 0},
        {"+0012", 18, 8, Status::Ok, "12", 0},
        {"-0", 18, 8, Status::Ok, "0", 0},
        {"-1,25", 18, 8, Status::Ok, "-1.25", 2},
        // Half away from zero at the ninth decimal, once.
        {"0,123456785", 18, 8, Status::Ok, "0.12345679", 8},
        {"0,123456784999", 18, 8, Status::Ok, "0.12345678", 8},
        {"-0,000000005", 18, 8, Status::Ok, "-0.00000001", 8},
        {"9999999999,99999999", 18, 8, Status::Ok, "9999999999.99999999", 8},
        {"1,2345", 9, 2, Status::Ok, "1.23", 2},
        {"1,235", 9, 2, Status::Ok, "1.24", 2},
        {"9999999,994", 9, 2, Status::Ok, "9999999.99", 2},
        // Past the digits before the comma, or carried past them by the rounding.
        {"10000000000", 18, 8, Status::TooLarge, "", 0},
        {"-99999999999,5", 18, 8, Status::TooLarge, "", 0},
        {"9999999999,999999995", 18, 8, Status::TooLarge, "", 0},
        {"9999999,995", 9, 2, Status::TooLarge, "", 0},
        // No number an operator types.
        {"", 18, 8, Status::NotANumber, "", 0},
        {" ", 18, 8, Status::NotANumber, "", 0},
        {",", 18, 8, Status::NotANumber, "", 0},
        {"1.5", 18, 8, Status::NotANumber, "", 0},
        {"1.000,5", 18, 8, Status::NotANumber, "", 0},
        {"1,2,3", 18, 8, Status::NotANumber, "", 0},
        {"1e3", 18, 8, Status::NotANumber, "", 0},
        {"+-1", 18, 8, Status::NotANumber, "", 0},
        {"R$ 3", 18, 8, Status::NotANumber, "", 0},
        {"１２", 18, 8, Status::NotANumber, "", 0},   // digits of another script
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        const data::TypedDecimal read = data::ParseTypedDecimal(QString::fromUtf8(c.typed), c.precision, c.scale);
        EXPECT_EQ(read.status, c.status);
        if (c.status == Status::Ok) {
            EXPECT_EQ(read.value.toString(), QString::fromLatin1(c.value));
            EXPECT_EQ(read.value.scale, c.decimals);
        }
    }
}

TEST(FieldInput, ARefusedDateNamesItsField)
{
    try {
        ParseFieldText(info("ESTLOTE", "VALIDADE"), QStringLiteral("31/02/25"), 2026, QStringLiteral("Validade"));
        ADD_FAILURE() << "accepted";
    } catch (const data::FieldInputError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Validade: '31/02/25' não é uma data válida"));
    }
}

TEST(FieldInput, EmptyMaskText)
{
    EXPECT_EQ(data::EmptyMaskText(QStringLiteral("!99/99/00;1;_")), QStringLiteral("  /  /  "));
}

// Every two-digit year lands in the century the server gives it, so a date typed in a box and the
// same date pasted into a statement are the same day.
TEST(TwoDigitYear, MatchesTheServerForEveryYear)
{
    testsupport::TempDatabase tdb;
    QString sql = QStringLiteral("select extract(year from current_date) as Y");
    for (int yy = 0; yy < 100; ++yy)
        sql += QStringLiteral(", extract(year from cast('01/01/%1' as date)) as Y%1").arg(yy, 2, 10, QLatin1Char('0'));
    const db::Rows rows = tdb.conn().query(sql + QStringLiteral(" from RDB$DATABASE"));
    const int current = int(rows.rows[0][0].toInt());
    for (int yy = 0; yy < 100; ++yy)
        EXPECT_EQ(platform::ExpandTwoDigitYear(yy, current), int(rows.rows[0][size_t(yy + 1)].toInt())) << yy;
    // The window moves with the year.
    EXPECT_EQ(platform::ExpandTwoDigitYear(29, 2080), 2129);
    EXPECT_EQ(platform::ExpandTwoDigitYear(30, 2080), 2030);
    EXPECT_EQ(platform::ExpandTwoDigitYear(2024, 2026), 2024);
}
