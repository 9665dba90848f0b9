// The cached dataset against a real lot table: single-row statements found by the old key,
// refusals under both apply modes, the client sort and the text search.
#include "data/cacheddataset.h"
#include "data/tables.h"

#include "lotrows.h"
#include "support/qtprint.h"
#include "support/testdb.h"

#include "platform/cp1252.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using data::CachedDataset;
using datatest::Lot;
using datatest::addLot;
using datatest::column;
using datatest::lotStatement;

namespace {

class LotCache : public ::testing::Test {
protected:
    testsupport::TempDatabase tdb;
    CachedDataset ds{QStringLiteral("ESTLOTE"), &tdb.conn(), data::tables::ESTLOTE()};

    void openOn(const QString &sql)
    {
        ds.setCommandText(sql);
        ds.open();
    }
    // The values of one column down the current order.
    QStringList shown(const QString &col)
    {
        QStringList out;
        const int c = ds.fieldIndex(col);
        for (int r = 0; r < ds.rowCount(); ++r) {
            const db::Value v = ds.valueAt(r, c);
            out << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        }
        return out;
    }
};

TEST_F(LotCache, UpdateSetsOnlyTheChangedColumnsOfTheRowFoundByItsOldKey)
{
    // Two lots that differ only in their location, plus one with no location at all.
    addLot(tdb.conn(), {.descricao = "Ácido Bórico", .lote = "L1", .laboratorio = "Almoxarifado"});
    addLot(tdb.conn(), {.descricao = "Ácido Bórico", .lote = "L1", .laboratorio = "Loja 2"});
    addLot(tdb.conn(), {.descricao = "Ácido Bórico", .lote = "L1", .laboratorio = ""});
    openOn(lotStatement(QStringLiteral("LABORATORIO nulls first")));
    ASSERT_EQ(shown(QStringLiteral("LABORATORIO")),
              (QStringList{"<null>", "Almoxarifado", "Loja 2"}));

    // Another workstation changes a column this cache does not touch; it must survive.
    tdb.another()->execute(QStringLiteral("update ESTLOTE set FABRICANTE = 'Outra' where LABORATORIO = 'Almoxarifado'"));

    ds.moveTo(1);
    ds.edit();
    ds.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::decimal({125, 1}));
    ds.post();
    ds.moveTo(0);   // the row without a location is found with "is null"
    ds.edit();
    ds.setValue(QStringLiteral("SITUACAO"), db::Value::text(QStringLiteral("Vencido")));
    ds.post();
    EXPECT_TRUE(ds.hasPendingChanges());
    EXPECT_TRUE(ds.applyUpdates(CachedDataset::OnRefusal::Stop).empty());
    EXPECT_FALSE(ds.hasPendingChanges());

    const QString order = QStringLiteral("LABORATORIO nulls first");
    EXPECT_EQ(column(tdb.conn(), "SALDOCORRENTE", order), (QStringList{"10", "12.5", "10"}));
    EXPECT_EQ(column(tdb.conn(), "FABRICANTE", order), (QStringList{"Fabrica", "Outra", "Fabrica"}));
    EXPECT_EQ(column(tdb.conn(), "SITUACAO", order), (QStringList{"Vencido", "<null>", "<null>"}));
}

TEST_F(LotCache, ChangingTheLocationMovesThatRowOnly)
{
    addLot(tdb.conn(), {.descricao = "Cafeína", .lote = "C7", .laboratorio = "Almoxarifado", .saldo = "3"});
    addLot(tdb.conn(), {.descricao = "Cafeína", .lote = "C7", .laboratorio = "Loja 2", .saldo = "4"});
    openOn(lotStatement(QStringLiteral("LABORATORIO")));
    ds.edit();
    ds.setValue(QStringLiteral("LABORATORIO"), db::Value::text(QStringLiteral("Loja 3")));
    ds.post();
    EXPECT_EQ(ds.text(QStringLiteral("LABORATORIO")), QStringLiteral("Loja 3"));
    ASSERT_TRUE(ds.applyUpdates(CachedDataset::OnRefusal::Stop).empty());

    EXPECT_EQ(column(tdb.conn(), "LABORATORIO || ':' || SALDOCORRENTE", "LABORATORIO"),
              (QStringList{"Loja 2:4.00000000", "Loja 3:3.00000000"}));
}

TEST_F(LotCache, InsertWritesTheRowAndDeleteRemovesOnlyItsRow)
{
    addLot(tdb.conn(), {.descricao = "Benzoato", .lote = "B1"});
    addLot(tdb.conn(), {.descricao = "Benzoato", .lote = "B1", .laboratorio = "Loja 2"});
    openOn(lotStatement(QStringLiteral("LABORATORIO")));

    ds.last();
    ds.insert();
    EXPECT_EQ(ds.state(), CachedDataset::State::Insert);
    EXPECT_EQ(ds.rowCount(), 3);
    EXPECT_EQ(ds.currentRow(), 1);   // before the row that was current
    // Values with quotes travel as parameters.
    ds.setValue(QStringLiteral("DESCRICAO"), db::Value::text(QStringLiteral("Óleo d'Amêndoas")));
    ds.setValue(QStringLiteral("LOTE"), db::Value::text(QStringLiteral("O'1")));
    ds.setValue(QStringLiteral("FORNECEDOR"), db::Value::text(QStringLiteral("Galena")));
    ds.setValue(QStringLiteral("VALIDADE"), db::Value::date(QDate(2026, 1, 31)));
    ds.post();
    ds.first();   // the Almoxarifado row
    ds.remove();
    EXPECT_EQ(ds.rowCount(), 2);
    ASSERT_TRUE(ds.applyUpdates(CachedDataset::OnRefusal::Stop).empty());

    EXPECT_EQ(column(tdb.conn(), "DESCRICAO || '|' || LOTE || '|' || coalesce(LABORATORIO, '-')", "DESCRICAO"),
              (QStringList{"Benzoato|B1|Loja 2", "Óleo d'Amêndoas|O'1|-"}));
    EXPECT_EQ(column(tdb.conn(), "VALIDADE", "DESCRICAO"), (QStringList{"<null>", "31/01/2026"}));
}

TEST_F(LotCache, PostRefusesAnEmptyRequiredFieldNamingIt)
{
    openOn(lotStatement());
    ds.insert();
    ds.setValue(QStringLiteral("DESCRICAO"), db::Value::text(QStringLiteral("Cânfora")));
    ds.setValue(QStringLiteral("LOTE"), db::Value::text(QStringLiteral("K1")));
    ds.setValue(QStringLiteral("FORNECEDOR"), db::Value::text(QString()));   // a cleared box is empty
    try {
        ds.post();
        FAIL() << "posted without a supplier";
    } catch (const data::DatasetError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("O campo 'FORNECEDOR' deve ter um valor"));
    }
    EXPECT_EQ(ds.state(), CachedDataset::State::Insert);
    ds.cancel();
    EXPECT_EQ(ds.rowCount(), 0);
    EXPECT_FALSE(ds.hasPendingChanges());
}

TEST_F(LotCache, StopWritesNothingAtTheFirstRefusalSkipWritesWhatIsAccepted)
{
    for (const char *l : {"A1", "A2"})
        addLot(tdb.conn(), {.descricao = "Ácido", .lote = QString::fromLatin1(l)});
    const QString tooLong(36, QLatin1Char('x'));   // FABRICANTE holds 35
    for (const auto mode : {CachedDataset::OnRefusal::Stop, CachedDataset::OnRefusal::Skip}) {
        openOn(lotStatement(QStringLiteral("LOTE")));
        ds.edit();
        ds.setValue(QStringLiteral("FABRICANTE"), db::Value::text(QStringLiteral("Nova")));
        ds.post();
        ds.next();
        ds.edit();
        ds.setValue(QStringLiteral("FABRICANTE"), db::Value::text(tooLong));
        ds.post();

        const auto errors = ds.applyUpdates(mode);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(errors[0].message.contains(QStringLiteral("string right truncation"))) << errors[0].message.toStdString();
        EXPECT_EQ(errors[0].statement,
                  QStringLiteral("update ESTLOTE set FABRICANTE = ? where CODIGO = ? and LOTE = ? and FORNECEDOR = ? "
                                 "and LABORATORIO = ? and FABRICANTE is not distinct from ?"));
        EXPECT_TRUE(ds.hasPendingChanges());
        // The refused change stays pending, so a reload is refused rather than losing it silently.
        EXPECT_THROW(ds.refresh(), data::DatasetError);
        const QStringList stored = column(tdb.conn(), "FABRICANTE", "LOTE");
        if (mode == CachedDataset::OnRefusal::Stop)
            EXPECT_EQ(stored, (QStringList{"Fabrica", "Fabrica"}));
        else
            EXPECT_EQ(stored, (QStringList{"Nova", "Fabrica"}));

        // Dropping what is still pending shows exactly what the database holds.
        ds.cancelUpdates();
        EXPECT_FALSE(ds.hasPendingChanges());
        EXPECT_EQ(shown(QStringLiteral("FABRICANTE")), stored);
        tdb.conn().execute(QStringLiteral("update ESTLOTE set FABRICANTE = 'Fabrica'"));
        ds.close();
    }
}

TEST_F(LotCache, UpdateWritesOnlyOverTheValuesItStartedFromAndNamesWhatChangedElsewhere)
{
    // The cache reads the lot, another workstation writes DENSIDADE, then the cache saves its own.
    struct Case {
        const char *name;
        const char *read;      // DENSIDADE when the cache read the row ("" for null)
        const char *other;     // what the other workstation stored (nullptr: it wrote nothing)
        const char *typed;
        const char *stored;    // DENSIDADE afterwards
        bool conflict;
    };
    const Case cases[] = {
        {"untouched elsewhere", "1.5", nullptr, "2", "2", false},
        {"changed elsewhere", "1.5", "1.2222", "1.3333", "1.2222", true},
        {"null read, set elsewhere", "", "1.2222", "1.3333", "1.2222", true},
        {"set read, emptied elsewhere", "1.5", "", "1.3333", "<null>", true},
        {"null read, still null", "", nullptr, "1.3333", "1.3333", false},
        {"same value written elsewhere", "1.5", "1.5", "2", "2", false},
    };
    const auto decimal = [](const char *t) {
        return *t ? db::Value::decimal(db::Decimal::fromString(QString::fromLatin1(t))) : db::Value();
    };
    auto other = tdb.another();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        tdb.conn().execute(QStringLiteral("delete from ESTLOTE"));
        addLot(tdb.conn(), {.descricao = "Cânfora", .lote = "L1"});
        tdb.conn().execute(QStringLiteral("update ESTLOTE set DENSIDADE = ?"), {decimal(c.read)});
        openOn(lotStatement());
        if (c.other)
            other->execute(QStringLiteral("update ESTLOTE set DENSIDADE = ?, SALDOCORRENTE = 7"), {decimal(c.other)});
        ds.edit();
        ds.setValue(QStringLiteral("DENSIDADE"), decimal(c.typed));
        ds.setValue(QStringLiteral("SITUACAO"), db::Value::text(QStringLiteral("Vencido")));
        ds.post();
        const auto errors = ds.applyUpdates(CachedDataset::OnRefusal::Stop);
        EXPECT_EQ(column(tdb.conn(), "DENSIDADE", "LOTE"), QStringList{QString::fromLatin1(c.stored)});
        // Nothing of a refused change is written, not even its columns nobody else touched.
        EXPECT_EQ(column(tdb.conn(), "SITUACAO", "LOTE"),
                  QStringList{c.conflict ? QStringLiteral("<null>") : QStringLiteral("Vencido")});
        // A column written elsewhere that this change leaves alone is kept.
        EXPECT_EQ(column(tdb.conn(), "SALDOCORRENTE", "LOTE"), QStringList{c.other ? QStringLiteral("7") : QStringLiteral("10")});
        if (!c.conflict) {
            EXPECT_TRUE(errors.empty());
        } else {
            ASSERT_EQ(errors.size(), 1u);
            ASSERT_EQ(errors[0].conflicts.size(), 1u);
            const data::FieldConflict &f = errors[0].conflicts[0];
            EXPECT_EQ(f.column, QStringLiteral("DENSIDADE"));
            EXPECT_EQ(f.stored, decimal(c.other));
            EXPECT_EQ(f.original, decimal(c.read));
            EXPECT_EQ(f.wanted, decimal(c.typed));
            EXPECT_TRUE(ds.hasPendingChanges());
            ds.cancelUpdates();
        }
        ds.close();
    }
}

TEST_F(LotCache, AnUpdateThatWouldChangeTwoRowsWritesNothing)
{
    // Two stored rows under one key (the suite's table does not forbid it): editing one is no
    // edit of both.
    addLot(tdb.conn(), {.descricao = "Cânfora", .lote = "L1"});
    addLot(tdb.conn(), {.descricao = "Cânfora", .lote = "L1"});
    openOn(lotStatement());
    ds.edit();
    ds.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::decimal({3, 0}));
    ds.post();
    const auto errors = ds.applyUpdates(CachedDataset::OnRefusal::Stop);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].message, QStringLiteral("A alteração atingiria 2 registros de ESTLOTE em vez de um; nada foi gravado."));
    EXPECT_EQ(column(tdb.conn(), "SALDOCORRENTE", "LOTE"), (QStringList{"10", "10"}));
}

TEST_F(LotCache, TheConflictMessageNamesEachFieldWithItsStoredAndStartingValues)
{
    const std::vector<data::FieldConflict> conflicts{
        {QStringLiteral("SALDOCORRENTE"), db::Value::decimal({90, 0}), db::Value::decimal({100, 0}), db::Value::decimal({105, 0})},
        {QStringLiteral("VALIDADE"), db::Value(), db::Value::date(QDate(2025, 3, 1)), db::Value::date(QDate(2026, 1, 1))},
    };
    EXPECT_EQ(data::ConflictMessage(QStringLiteral("ESTLOTE"), conflicts),
              QStringLiteral("Outra estação alterou este registro depois que você o abriu. Nada foi gravado.\r"
                             "Saldo Atual: gravado 90, era 100 quando você começou\r"
                             "Validade: gravado (vazio), era 01/03/2025 quando você começou\r"
                             "O que você digitou foi mantido: confira os valores gravados e salve de novo para gravá-lo."));
}

TEST_F(LotCache, ClientSortIsStableNullsFirstAndKeptAcrossReopen)
{
    const QDate d1(2025, 1, 10), d2(2025, 6, 1);
    // Statement order by DESCRICAO: a b c d e.
    addLot(tdb.conn(), {.descricao = "c", .lote = "L", .saldo = "5", .validade = d2});
    addLot(tdb.conn(), {.descricao = "a", .lote = "L", .saldo = "-2", .validade = d2});
    addLot(tdb.conn(), {.descricao = "e", .lote = "L", .saldo = "0.5"});
    addLot(tdb.conn(), {.descricao = "b", .lote = "L", .saldo = "10", .validade = d1});
    addLot(tdb.conn(), {.descricao = "d", .lote = "L", .saldo = "2", .validade = d2});
    openOn(lotStatement());
    ds.moveTo(2);   // "c"
    ds.setIndexFieldNames(QStringLiteral("VALIDADE"));
    EXPECT_EQ(shown(QStringLiteral("DESCRICAO")), (QStringList{"e", "b", "a", "c", "d"}));
    EXPECT_EQ(ds.text(QStringLiteral("DESCRICAO")), QStringLiteral("c"));   // same record stays current

    ds.setIndexFieldNames(QStringLiteral("SALDOCORRENTE"));
    EXPECT_EQ(shown(QStringLiteral("DESCRICAO")), (QStringList{"a", "e", "d", "c", "b"}));
    // An edited value takes its place by number, whatever its scale.
    ds.locate(QStringLiteral("DESCRICAO"), db::Value::text(QStringLiteral("b")));
    ds.edit();
    ds.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::decimal({1, 0}));
    ds.post();
    EXPECT_EQ(shown(QStringLiteral("DESCRICAO")), (QStringList{"a", "e", "b", "d", "c"}));
    ds.cancelUpdates();

    ds.setIndexFieldNames(QStringLiteral("VALIDADE"));
    // Reopened with another statement: the sort is applied again, ties in the new statement's order.
    ds.close();
    openOn(lotStatement(QStringLiteral("DESCRICAO desc")));
    EXPECT_EQ(ds.indexFieldNames(), QStringLiteral("VALIDADE"));
    EXPECT_EQ(shown(QStringLiteral("DESCRICAO")), (QStringList{"e", "b", "d", "c", "a"}));
    ds.setIndexFieldNames(QString());
    EXPECT_EQ(shown(QStringLiteral("DESCRICAO")), (QStringList{"e", "d", "c", "b", "a"}));
}

TEST_F(LotCache, ClientSortOfEveryKindMatchesTheServersOrder)
{
    tdb.conn().execute(QStringLiteral("create table SORTS (K integer, I integer, D double precision, "
                                      "N numeric(18,4), T timestamp, H time)"));
    struct Row {
        const char *i, *d, *n, *t, *h;
    };
    const Row rows[] = {
        {"-3", "2.5", "-5.5", "'2024-03-07 10:00:00'", "'10:00:00'"},
        {"7", "-1", "3", "null", "'00:00:01'"},
        {"null", "null", "null", "'1800-01-01 12:00:00'", "null"},
        {"0", "-0.0", "0.0001", "'2024-03-07 09:59:59.5'", "'23:59:59'"},
        {"-2147483648", "0", "-0.0001", "'2024-03-06 23:59:59'", "'10:00:00'"},
        {"2147483647", "1e10", "99999999999999.9999", "'9999-12-31 00:00:00'", "'00:00:00'"},
        {"7", "-0.001", "-99999999999999.9999", "'1800-01-01 11:00:00'", "'12:30:00'"},
        {"-3", "2.5", "3", "'2024-03-07 10:00:00'", "'00:00:01'"},
    };
    int k = 0;
    for (const Row &r : rows)
        tdb.conn().execute(QStringLiteral("insert into SORTS values (%1, %2, %3, %4, %5, %6)")
                               .arg(++k)
                               .arg(QString::fromLatin1(r.i), QString::fromLatin1(r.d), QString::fromLatin1(r.n),
                                    QString::fromLatin1(r.t), QString::fromLatin1(r.h)));
    CachedDataset sorts(QStringLiteral("SORTS"), &tdb.conn());
    sorts.setCommandText(QStringLiteral("select * from SORTS order by K"));
    sorts.open();
    for (const char *col : {"I", "D", "N", "T", "H"}) {
        sorts.setIndexFieldNames(QString::fromLatin1(col));
        QStringList mine;
        for (int r = 0; r < sorts.rowCount(); ++r)
            mine << sorts.valueAt(r, 0).toString();
        QStringList server;
        for (const auto &r : tdb.conn().query(QStringLiteral("select K from SORTS order by %1 nulls first, K").arg(col)).rows)
            server << r[0].toString();
        EXPECT_EQ(mine, server) << col;
    }
}

TEST_F(LotCache, TextSortFollowsWindows1252BytesLikeTheServer)
{
    // Trailing blanks decide nothing, as on the server: the two Benzoato keep their statement order.
    const QStringList names{"Zinco", "Benzoato  ", "abacate", "Ácido", "Benzoato", "Cafeína", ""};
    for (int i = 0; i < names.size(); ++i)
        addLot(tdb.conn(), {.descricao = names[i], .lote = QString::number(i)});
    openOn(lotStatement(QStringLiteral("LOTE")));
    ds.setIndexFieldNames(QStringLiteral("DESCRICAO"));
    const QStringList sorted = shown(QStringLiteral("DESCRICAO"));
    EXPECT_EQ(sorted, (QStringList{"<null>", "Benzoato  ", "Benzoato", "Cafeína", "Zinco", "abacate", "Ácido"}));
    EXPECT_EQ(sorted, column(tdb.conn(), "DESCRICAO", "DESCRICAO nulls first, LOTE"));
}

TEST_F(LotCache, LongListsWithSharedPrefixesSortAndSearchAsTheServerOrders)
{
    // Enough rows for the long-list path, names that tie on their first bytes and far beyond,
    // differ only in trailing blanks, accents or case, empty texts and nulls.
    const QStringList stems{"Produto ação ", "Produto acao ", "Produto Ação ", "Produto ação", "Produto ação  ", "",
                            "Ácido bórico 5%", "Ácido bórico 5% ", "abacate", "Zinco quelato 20% (glicina)", "Z"};
    {
        db::Transaction tx(tdb.conn());
        db::Prepared ins(tx, QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO) "
                                            "values (?, ?, ?, ?, 'Almoxarifado')"));
        for (int i = 0; i < 700; ++i) {
            const QString stem = stems[(i * 7) % stems.size()];
            const QString name = i % 13 == 0 ? QString()
                               : stem.size() > 8 && i % 3 ? stem + QString::number((i * 31) % 17) : stem;
            ins.execute({i % 29 == 0 ? db::Value() : db::Value::text(name),
                         db::Value::text(QStringLiteral("L%1").arg(i, 4, 10, QLatin1Char('0'))),
                         i % 5 == 0 ? db::Value() : db::Value::text(QStringLiteral("Fornecedor %1").arg(i % 11)),
                         db::Value::text(QString::number(i))});
        }
        tx.commit();
    }
    openOn(lotStatement(QStringLiteral("LOTE")));
    for (const char *col : {"DESCRICAO", "FORNECEDOR"}) {
        ds.setIndexFieldNames(QString::fromLatin1(col));
        EXPECT_EQ(shown(QStringLiteral("LOTE")), column(tdb.conn(), "LOTE", QStringLiteral("%1 nulls first, LOTE").arg(col)))
            << col;
    }
    // The search on a column the order does not follow lands where the sorted column would.
    ds.setIndexFieldNames(QString());
    const QStringList sorted = column(tdb.conn(), "DESCRICAO", "DESCRICAO nulls first, LOTE");
    for (const char *text : {"", "Produto", "Produto ação", "Produto ação 1", "Produto açãp", "Z", "Zz", "\xC3\x81", "b"}) {
        // The server's comparison: both texts filled with blanks to one length, bytes unsigned.
        const auto notBelow = [](QByteArray a, QByteArray b) {
            const qsizetype n = std::max(a.size(), b.size());
            a = a.leftJustified(n, ' ');
            b = b.leftJustified(n, ' ');
            return std::memcmp(a.constData(), b.constData(), size_t(n)) >= 0;
        };
        const QByteArray wanted = platform::toCp1252(QString::fromUtf8(text));
        qsizetype expected = sorted.size() - 1;
        for (qsizetype i = 0; i < sorted.size(); ++i) {
            const QByteArray v = sorted[i] == QStringLiteral("<null>") ? QByteArray() : platform::toCp1252(sorted[i]);
            if (notBelow(v, wanted)) {
                expected = i;
                break;
            }
        }
        const int row = ds.nearestRow(QStringLiteral("DESCRICAO"), QString::fromUtf8(text));
        const db::Value v = ds.valueAt(row, ds.fieldIndex(QStringLiteral("DESCRICAO")));
        EXPECT_EQ(v.isNull() ? QStringLiteral("<null>") : v.toString(), sorted[expected]) << text;
    }
}

TEST_F(LotCache, NearestRowLandsOnTheFirstValueNotBelowTheText)
{
    openOn(lotStatement());
    EXPECT_EQ(ds.nearestRow(QStringLiteral("DESCRICAO"), QStringLiteral("x")), -1);   // empty
    ds.close();

    for (const char *n : {"Benzoato", "Cafeína", "Cafeína", "Zinco", "abacate", "Ácido"})
        addLot(tdb.conn(), {.descricao = QString::fromUtf8(n), .lote = QString::fromUtf8(n).left(3)});
    addLot(tdb.conn(), {.descricao = "", .lote = "nul"});

    struct Case {
        const char *text;
        const char *descricao;   // of the row it lands on
        int row;
    };
    // Rows: <null> Benzoato Cafeína Cafeína Zinco abacate Ácido.
    const Case cases[] = {
        {"", "", 0},
        {"B", "Benzoato", 1},
        {"Benzoato", "Benzoato", 1},
        {"Bz", "Cafeína", 2},            // the first of equal values
        {"Cafeína", "Cafeína", 2},
        {"cafe", "Ácido", 6},            // case counts: 'c' is above every capital and 'a'
        {"Z", "Zinco", 4},
        {"a", "abacate", 5},
        {"\xC3\x81", "Ácido", 6},         // "Á", byte C1
        {"\xC3\x9C", "Ácido", 6},         // "Ü", byte DC: nothing is above it, so the last row
    };
    for (const QString &order : {QStringLiteral("DESCRICAO"), QStringLiteral("LOTE")}) {
        // Ordered by the searched column, or not: the search must land on the same record.
        openOn(lotStatement(order));
        for (const Case &c : cases) {
            const int row = ds.nearestRow(QStringLiteral("DESCRICAO"), QString::fromUtf8(c.text));
            ASSERT_GE(row, 0) << c.text;
            EXPECT_EQ(ds.valueAt(row, ds.fieldIndex("DESCRICAO")).toString(), QString::fromUtf8(c.descricao))
                << order.toStdString() << " / " << c.text;
            if (order == QStringLiteral("DESCRICAO")) {
                EXPECT_EQ(row, c.row) << c.text;
            }
        }
        ds.close();
    }

    // A client sort on the column, and the cache kept current through an edit.
    openOn(lotStatement(QStringLiteral("LOTE")));
    ds.setIndexFieldNames(QStringLiteral("DESCRICAO"));
    EXPECT_EQ(ds.nearestRow(QStringLiteral("DESCRICAO"), QStringLiteral("Bz")), 2);
    ds.moveTo(1);
    ds.edit();
    ds.setValue(QStringLiteral("DESCRICAO"), db::Value::text(QStringLiteral("Cz")));
    ds.post();
    EXPECT_EQ(ds.nearestRow(QStringLiteral("DESCRICAO"), QStringLiteral("Bz")), 1);
    EXPECT_EQ(ds.valueAt(1, ds.fieldIndex("DESCRICAO")).toString(), QStringLiteral("Cafeína"));
    EXPECT_EQ(ds.nearestRow(QStringLiteral("DESCRICAO"), QStringLiteral("Cz")), 3);
}

TEST_F(LotCache, MovesKeepBofEofAndScrollHookFiresOnEveryNewCurrentRow)
{
    for (const char *n : {"a", "b", "c"})
        addLot(tdb.conn(), {.descricao = QString::fromLatin1(n), .lote = "L"});
    QStringList scrolled;
    ds.afterScroll = [&](CachedDataset &d) { scrolled << d.text(QStringLiteral("DESCRICAO")); };
    openOn(lotStatement());
    EXPECT_TRUE(ds.bof());
    EXPECT_FALSE(ds.eof());
    QStringList walked;
    while (!ds.eof()) {
        walked << ds.text(QStringLiteral("DESCRICAO"));
        ds.next();
    }
    EXPECT_EQ(walked, (QStringList{"a", "b", "c"}));
    ds.prior();
    ds.first();
    ds.first();
    EXPECT_TRUE(ds.bof());
    EXPECT_EQ(scrolled, (QStringList{"a", "b", "c", "b", "a"}));
    EXPECT_TRUE(ds.locate(QStringLiteral("descricao"), db::Value::text(QStringLiteral("c"))));
    EXPECT_FALSE(ds.locate(QStringLiteral("DESCRICAO"), db::Value::text(QStringLiteral("C"))));
    EXPECT_EQ(ds.currentRow(), 2);
    EXPECT_THROW(ds.value(QStringLiteral("NOSUCH")), data::DatasetError);
}

} // namespace
