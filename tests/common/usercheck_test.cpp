// A second user's name and password checked as the login checks them: found by the scrambled
// name, the scrambled password compared, the rights test; typed case does not matter.
#include "common/usercheck.h"

#include "db/connection.h"
#include "support/testdb.h"

#include <gtest/gtest.h>

namespace {

TEST(CheckUser, AdmitsOnlyAKnownUserWithHisPasswordAndTheStockRights)
{
    testsupport::TempDatabase db;
    auto user = [&](const char *name, const char *password, const char *acesso) {
        db.conn().execute(QStringLiteral("insert into USUARIOS (USUARIO, SENHA, ACESSO) values (?, ?, ?)"),
                          {db::Value::text(common::ScrambleText(QString::fromUtf8(name))),
                           db::Value::text(common::ScrambleText(QString::fromUtf8(password))),
                           db::Value::text(QString::fromUtf8(acesso))});
    };
    user("JOÃO", "S3NHA", "1234567S");   // 'S' - 9 = 'J'
    user("ANA", "1234", "XXXXXXXX");     // rights that do not admit her
    struct Case {
        const char *name, *password;
        common::UserCheck expected;
    } cases[] = {
        {"JOÃO", "S3NHA", common::UserCheck::Admitted},
        {"joÃo", "s3nha", common::UserCheck::Admitted},   // typed in lower case, as at the login
        {"JOÃO", "S3NH", common::UserCheck::WrongPassword},
        {"JOÃO", "", common::UserCheck::WrongPassword},
        {"JOAO", "S3NHA", common::UserCheck::NotFound},    // the accent is part of the name
        {"O'BRIEN", "x", common::UserCheck::NotFound},
        {"", "S3NHA", common::UserCheck::EmptyName},
        {"ANA", "1234", common::UserCheck::NoRights},
    };
    for (const Case &c : cases)
        EXPECT_EQ(common::CheckUser(db.conn(), QString::fromUtf8(c.name), QString::fromUtf8(c.password)), c.expected)
            << c.name << " / " << c.password;
}

} // namespace
