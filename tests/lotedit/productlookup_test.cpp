// The product register behind a new lot, on a real database: codes and names with apostrophes,
// values cut to the lot's widths, the options list positioned on the nearest name.
#include "lotedit/productlookup.h"

#include "support/modulerig.h"

#include <gtest/gtest.h>

using namespace lotedit;

namespace {

class ProductLookup : public ::testing::Test, public testsupport::ModuleRig {
protected:
    void SetUp() override
    {
        addProduct(QStringLiteral("00012"), QStringLiteral("Oleo d'oliva"), QStringLiteral("L-9"), QStringLiteral("Galena"),
                   QStringLiteral("Fabricante de nome muito comprido ltda"));
        addProduct(QStringLiteral("D'1"), QStringLiteral("Cafeina"), QStringLiteral("C-1"), QStringLiteral("Pharma"),
                   QStringLiteral("Merck"));
        addProduct(QStringLiteral("123456789012345"), QStringLiteral("Zinco"), QStringLiteral("Z"), QStringLiteral("P"),
                   QStringLiteral("F"));
        dm.ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE"));
        dm.ESTLOTE.open();
        dm.ESTLOTE.insert();
    }

    void addProduct(const QString &code, const QString &name, const QString &lot, const QString &supplier,
                    const QString &maker)
    {
        tdb.conn().execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, LOTE, FORNECEDOR, FABRICANTE, UNID, "
                                          "VALIDADE, DENSIDADE, FATORCORRECAO, FICHATECNICA) "
                                          "values (?, ?, ?, ?, ?, 'G', '2027-05-31 00:00:00', 1.25, 1.5, 'ficha')"),
                           {db::Value::text(code), db::Value::text(name), db::Value::text(lot), db::Value::text(supplier),
                            db::Value::text(maker)});
    }

    QString lot(const char *column) const { return dm.ESTLOTE.text(QString::fromLatin1(column)); }
};

} // namespace

TEST_F(ProductLookup, ByNameWithAnApostropheFillsTheLotCutToItsWidths)
{
    ASSERT_TRUE(LookUpProductByName(dm, QStringLiteral("Oleo d'oliva")));
    EXPECT_EQ(lot("DESCRICAO"), QStringLiteral("Oleo d'oliva"));
    EXPECT_EQ(lot("CODIGO"), QStringLiteral("00012"));
    EXPECT_EQ(lot("CODIGOEAN"), QStringLiteral("00012"));
    EXPECT_EQ(lot("LOTE"), QStringLiteral("L-9"));
    EXPECT_EQ(lot("FORNECEDOR"), QStringLiteral("Galena"));
    EXPECT_EQ(lot("UNIDADE"), QStringLiteral("G"));
    EXPECT_EQ(lot("FABRICANTE"), QStringLiteral("Fabricante de nome muito comprido l"));   // 35 of 38
    EXPECT_EQ(dm.ESTLOTE.value(QStringLiteral("VALIDADE")).toDate(), QDate(2027, 5, 31));
    EXPECT_EQ(dm.ESTLOTE.value(QStringLiteral("DENSIDADE")).toDecimal(), db::Decimal::fromString(QStringLiteral("1.25")));
    EXPECT_EQ(dm.ESTLOTE.value(QStringLiteral("FATORCORRECAO")).toDecimal(), db::Decimal::fromString(QStringLiteral("1.5")));
    EXPECT_FALSE(dm.Componen.isOpen());
    // The lot, saved, is accepted by the server as it stands.
    dm.ESTLOTE.setValue(QStringLiteral("LABORATORIO"), db::Value::text(QStringLiteral("Almoxarifado")));
    dm.ESTLOTE.post();
    EXPECT_TRUE(op.texts().isEmpty()) << op.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(tdb.conn().query(QStringLiteral("select FABRICANTE from ESTLOTE")).rows.at(0).at(0).toString(),
              QStringLiteral("Fabricante de nome muito comprido l"));
}

TEST_F(ProductLookup, ByCodeWithAnApostropheAndCodesCutToTheLotsWidth)
{
    ASSERT_TRUE(LookUpProductByCode(dm, QStringLiteral("D'1")));
    EXPECT_EQ(lot("DESCRICAO"), QStringLiteral("Cafeina"));
    ASSERT_TRUE(LookUpProductByCode(dm, QStringLiteral("123456789012345")));
    EXPECT_EQ(lot("CODIGO"), QStringLiteral("1234567890123"));
    EXPECT_FALSE(LookUpProductByCode(dm, QStringLiteral("12")));
    EXPECT_FALSE(LookUpProductByName(dm, QStringLiteral("Oleo")));
    EXPECT_EQ(lot("DESCRICAO"), QStringLiteral("Zinco"));   // a failed lookup leaves the row as it was
}

TEST_F(ProductLookup, OptionsListStandsOnTheNearestNameAndChoosingWritesIt)
{
    OpenProductOptions(dm, QStringLiteral("D"));
    EXPECT_EQ(dm.CompNomes.fieldNames(), (QStringList{QStringLiteral("CODIGO"), QStringLiteral("COMPONENTE")}));
    EXPECT_EQ(dm.CompNomes.text(QStringLiteral("COMPONENTE")), QStringLiteral("Oleo d'oliva"));
    ChooseProductOption(dm);
    EXPECT_EQ(lot("DESCRICAO"), QStringLiteral("Oleo d'oliva"));
    OpenProductOptions(dm, QStringLiteral("Zz"));
    EXPECT_EQ(dm.CompNomes.text(QStringLiteral("COMPONENTE")), QStringLiteral("Zinco"));   // past the end: the last
}
