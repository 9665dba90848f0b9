// Which machine each database is looked for on.
#include "core/dbpaths.h"

#include <gtest/gtest.h>

TEST(DbPaths, CentralDatabaseFollowsTheProgramFolder)
{
    const std::pair<QString, QString> cases[] = {
        {"C:\\formulix\\", "127.0.0.1:C:\\formulix\\Dados\\FORMULIX.BD"},
        {"c:\\FORMULIX\\", "127.0.0.1:C:\\formulix\\Dados\\FORMULIX.BD"},
        {"C:\\", "127.0.0.1:C:\\formulix\\Dados\\FORMULIX.BD"},
        {"\\\\SERVIDOR\\formulix\\", "SERVIDOR:C:\\formulix\\Dados\\FORMULIX.BD"},
        {"\\\\SERVIDOR", "SERVIDOR:C:\\formulix\\Dados\\FORMULIX.BD"},
        {"\\\\192.168.0.10\\Formulix\\Estoque\\", "192.168.0.10:C:\\formulix\\Dados\\FORMULIX.BD"},
        {"\\\\", ":C:\\formulix\\Dados\\FORMULIX.BD"},
        {"F:\\formulix\\", ":C:\\formulix\\Dados\\FORMULIX.BD"},
        {"C:", ":C:\\formulix\\Dados\\FORMULIX.BD"},
        {"C:/formulix/", ":C:\\formulix\\Dados\\FORMULIX.BD"},
        {"/opt/formulix/", ":C:\\formulix\\Dados\\FORMULIX.BD"},
        {"", ":C:\\formulix\\Dados\\FORMULIX.BD"},
    };
    for (const auto &[folder, path] : cases)
        EXPECT_EQ(core::CentralDatabasePath(folder, QStringLiteral("Dados")), path) << folder.toStdString();

    EXPECT_EQ(core::CentralDatabasePath(QStringLiteral("\\\\SRV\\x\\"), QStringLiteral("Teste")),
              QStringLiteral("SRV:C:\\formulix\\Teste\\FORMULIX.BD"));
}

TEST(DbPaths, WorkstationDatabaseOnTheConfiguredServer)
{
    EXPECT_EQ(core::WorkstationDatabasePath(QStringLiteral("192.168.0.10"), QStringLiteral("03")),
              QStringLiteral("192.168.0.10:C:\\formulix\\interfac03\\formulix.bd"));
    EXPECT_EQ(core::WorkstationDatabasePath(QString(), QStringLiteral("01")),
              QStringLiteral(":C:\\formulix\\interfac01\\formulix.bd"));
}
