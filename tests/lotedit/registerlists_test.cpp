// The suppliers and makers the lot form offers, read from the central registers as stored.
#include "lotedit/registerlists.h"

#include "support/testdb.h"

#include <gtest/gtest.h>

TEST(RegisterLists, SuppliersByCompanyNameCutToTheLotsWidthAndMakersByName)
{
    testsupport::TempDatabase tdb;
    const auto supplier = [&](const char *code, const char *name, const db::Value &trade) {
        tdb.conn().execute(QStringLiteral("insert into FORNECED (CODIGO, NOME, NOMEFANTASIA) values (?, ?, ?)"),
                           {db::Value::text(QString::fromUtf8(code)), db::Value::text(QString::fromUtf8(name)), trade});
    };
    // 40 characters: the lot's FORNECEDOR holds 35.
    const QString longName = QStringLiteral("Distribuidora Farmacêutica Ângelo Irmãos");
    ASSERT_EQ(longName.size(), 40);
    supplier("1", "Zeta Química Ltda", db::Value::text(QStringLiteral("Ácido & Cia")));
    supplier("2", "Alfa Distribuidora", db::Value::text(longName));
    supplier("3", "Meio Comércio", db::Value());
    EXPECT_EQ(lotedit::SupplierNames(tdb.conn()),
              (QStringList{longName.left(35), QString(), QStringLiteral("Ácido & Cia")}));

    for (const char *maker : {"galena", "Fagron", "Ácido Bom"})
        tdb.conn().execute(QStringLiteral("insert into FABRIC (CODIGO, NOMEFANTASIA) values ('1', ?)"),
                           {db::Value::text(QString::fromUtf8(maker))});
    // In the server's order of the names (byte order of the register's character set).
    EXPECT_EQ(lotedit::MakerNames(tdb.conn()),
              (QStringList{QStringLiteral("Fagron"), QStringLiteral("galena"), QStringLiteral("Ácido Bom")}));
}
