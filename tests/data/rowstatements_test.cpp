// The apply's statements built without a database: the text each kind of change sends, its
// parameters in the order of the marks, and the guard an update carries.
#include "data/rowstatements.h"

#include "support/qtprint.h"

#include <gtest/gtest.h>

namespace db {
inline void PrintTo(const Value &v, std::ostream *out)
{
    *out << (v.isNull() ? std::string("null") : v.toString().toStdString());
}
} // namespace db

using data::WriteTarget;
using db::Value;

namespace {

Value t(const char *s)
{
    return Value::text(QString::fromUtf8(s));
}

// CODIGO and LOTE are the key; OBS is a blob; a join repeats CODIGO at the end and it is not written.
WriteTarget lots()
{
    WriteTarget w;
    w.table = QStringLiteral("ESTLOTE");
    w.names = QStringList{"CODIGO", "LOTE", "SALDO", "OBS", "CODIGO"};
    w.isBlob = {false, false, false, true, false};
    w.writable = {0, 1, 2, 3};
    w.locator = {0, 1};
    w.keyed = true;
    return w;
}

// The same table without a key: every plain written column finds the row.
WriteTarget keyless()
{
    WriteTarget w = lots();
    w.locator = {0, 1, 2};
    w.keyed = false;
    return w;
}

std::vector<Value> row(Value codigo, Value lote, Value saldo, Value obs = Value())
{
    return {codigo, lote, saldo, obs, codigo};
}

struct UpdateCase {
    const char *what;
    WriteTarget target;
    std::vector<Value> old, now;
    QString sql;
    std::vector<Value> params;
    std::vector<int> changed;
};

} // namespace

TEST(RowStatements, AnUpdateSetsTheChangedColumnsOfTheRowFoundByItsOldKeyOverTheValuesItStartedFrom)
{
    const Value five = Value::decimal({5, 0}), seven = Value::decimal({7, 0});
    const std::vector<UpdateCase> cases = {
        {"one column, guarded by its old value", lots(), row(t("C1"), t("L1"), five), row(t("C1"), t("L1"), seven),
         "update ESTLOTE set SALDO = ? where CODIGO = ? and LOTE = ? and SALDO is not distinct from ?",
         {seven, t("C1"), t("L1"), five}, {2}},
        {"a null old value is guarded by is null", lots(), row(t("C1"), t("L1"), Value()),
         row(t("C1"), t("L1"), seven), "update ESTLOTE set SALDO = ? where CODIGO = ? and LOTE = ? and SALDO is null",
         {seven, t("C1"), t("L1")}, {2}},
        {"a null key is found by is null", lots(), row(t("C1"), Value(), five), row(t("C1"), Value(), seven),
         "update ESTLOTE set SALDO = ? where CODIGO = ? and LOTE is null and SALDO is not distinct from ?",
         {seven, t("C1"), five}, {2}},
        {"a changed key column is found by its old value, not guarded twice", lots(), row(t("C1"), t("L1"), five),
         row(t("C1"), t("L2"), five), "update ESTLOTE set LOTE = ? where CODIGO = ? and LOTE = ?",
         {t("L2"), t("C1"), t("L1")}, {1}},
        {"a blob is written but never compared", lots(), row(t("C1"), t("L1"), five, Value::blob("a")),
         row(t("C1"), t("L1"), five, Value::blob("b")), "update ESTLOTE set OBS = ? where CODIGO = ? and LOTE = ?",
         {Value::blob("b"), t("C1"), t("L1")}, {3}},
        {"a table without a key is found by all its plain columns", keyless(), row(t("C1"), t("L1"), five),
         row(t("C1"), t("L1"), seven),
         "update ESTLOTE set SALDO = ? where CODIGO = ? and LOTE = ? and SALDO = ?", {seven, t("C1"), t("L1"), five},
         {2}},
        {"nothing changed: no statement", lots(), row(t("C1"), t("L1"), five), row(t("C1"), t("L1"), five), "", {}, {}},
    };
    for (const UpdateCase &c : cases) {
        SCOPED_TRACE(c.what);
        const data::RowStatement s = data::UpdateStatement(c.target, c.old, c.now);
        EXPECT_EQ(s.sql, c.sql);
        EXPECT_EQ(s.params, c.params);
        EXPECT_EQ(s.changed, c.changed);
    }
}

TEST(RowStatements, AnInsertWritesTheTablesColumnsAndADeleteFindsTheRowByItsKey)
{
    const Value five = Value::decimal({5, 0});
    const data::RowStatement ins = data::InsertStatement(lots(), row(t("C1"), Value(), five));
    EXPECT_EQ(ins.sql, "insert into ESTLOTE (CODIGO, LOTE, SALDO, OBS) values (?, ?, ?, ?)");
    EXPECT_EQ(ins.params, (std::vector<Value>{t("C1"), Value(), five, Value()}));

    const data::RowStatement del = data::DeleteStatement(lots(), row(t("C'1"), Value(), five));
    EXPECT_EQ(del.sql, "delete from ESTLOTE where CODIGO = ? and LOTE is null");
    EXPECT_EQ(del.params, (std::vector<Value>{t("C'1")}));

    WriteTarget nothing = lots();
    nothing.locator.clear();
    EXPECT_EQ(data::DeleteStatement(nothing, row(t("C1"), t("L1"), five)).sql, "delete from ESTLOTE");
}
