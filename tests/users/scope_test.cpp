// The workstation lookup and the store's laboratory scope, against a real central database.
#include "users/scope.h"

#include "support/modulerig.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>

using testsupport::MessageKind;

namespace {

TEST(LabScopeClause, JoinsTheLaboratoriesInUpperCase)
{
    const struct {
        QStringList labs;
        QString clause;
    } cases[] = {
        {{}, QString()},
        {{QStringLiteral("Manipulação"), QStringLiteral("Loja 1")},
         QStringLiteral("(UPPER(LABORATORIO) = 'MANIPULAçãO') OR (UPPER(LABORATORIO) = 'LOJA 1')")},
        {{QStringLiteral("Farmácia d'Ávila")}, QStringLiteral("(UPPER(LABORATORIO) = 'FARMáCIA D''ÁVILA')")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(users::LabScopeClause(c.labs), c.clause);
}

struct FakeScopeView : users::ScopeView {
    QString name;
    QString caption;
    void setNameText(const QString &text) override { name = text; }
    void setCaption(const QString &text) override { caption = text; }
};

struct Scope : ::testing::Test {
    testsupport::ModuleRig inst;
    FakeScopeView view;

    void workstation(const QString &estacao, const QString &datbasnam, const QString &usuario, const QString &cnpj)
    {
        inst.exec(QStringLiteral("insert into ESTACOES (ESTACAO, DATBASNAM, USUARIO, CNPJ) values ('%1', '%2', '%3', '%4')")
                      .arg(estacao, datbasnam, QString(usuario).replace(u'\'', QStringLiteral("''")), cnpj));
    }
    void laboratory(const QString &name, const QString &cnpj)
    {
        inst.exec(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('%1', '%2')")
                      .arg(QString(name).replace(u'\'', QStringLiteral("''")), cnpj));
    }
};

TEST_F(Scope, FindsTheWorkstationWhateverTheCaseOfItsUser)
{
    workstation(QStringLiteral("01"), QStringLiteral("C:\\formulix\\interfac01\\formulix.bd"), QStringLiteral("maria"),
                QStringLiteral("11222333000144"));
    inst.run.UserName = QStringLiteral("MARIA");
    EXPECT_EQ(users::FindWorkstation(inst.dm, view, inst.op), QStringLiteral("C:\\formulix\\interfac01\\formulix.bd"));
    EXPECT_EQ(inst.run.WorkstationCode, QStringLiteral("01"));
    EXPECT_EQ(view.name, QStringLiteral("MARIA"));
    EXPECT_EQ(view.caption, QStringLiteral("  POSIÇÃO ATUAL DO ESTOQUE  -  Usuário: \"MARIA\"   Estação: 01"));
    EXPECT_EQ(inst.connections.workstationPath(), QStringLiteral("SRV:C:\\formulix\\interfac01\\formulix.bd"));
    EXPECT_TRUE(inst.op.messages().isEmpty());
    EXPECT_FALSE(inst.dm.Estacoes.isOpen());
}

TEST_F(Scope, AThreeCharacterCodeIsUsedAsTwo)
{
    workstation(QStringLiteral("101"), QStringLiteral("x.bd"), QStringLiteral("JOSE"), QStringLiteral("1"));
    inst.run.UserName = QStringLiteral("JOSE");
    EXPECT_EQ(users::FindWorkstation(inst.dm, view, inst.op), QStringLiteral("x.bd"));
    EXPECT_EQ(inst.run.WorkstationCode, QStringLiteral("10"));
    EXPECT_TRUE(view.caption.endsWith(QStringLiteral("\"JOSE\"   Estação: 10")));
    EXPECT_EQ(inst.connections.workstationPath(), QStringLiteral("SRV:C:\\formulix\\interfac10\\formulix.bd"));
}

TEST_F(Scope, ANameWithAnApostropheIsLookedUpLikeAnyOther)
{
    workstation(QStringLiteral("02"), QStringLiteral("y.bd"), QStringLiteral("d'arc"), QStringLiteral("1"));
    inst.run.UserName = QStringLiteral("D'ARC");
    EXPECT_EQ(users::FindWorkstation(inst.dm, view, inst.op), QStringLiteral("y.bd"));
    EXPECT_EQ(inst.run.WorkstationCode, QStringLiteral("02"));
}

TEST_F(Scope, NoWorkstationRowIsExplained)
{
    workstation(QStringLiteral("01"), QStringLiteral("x.bd"), QStringLiteral("MARIANA"), QStringLiteral("1"));
    inst.run.UserName = QStringLiteral("MARIA");
    inst.run.WorkstationCode = QStringLiteral("99");
    EXPECT_EQ(users::FindWorkstation(inst.dm, view, inst.op), QString());
    EXPECT_EQ(inst.run.WorkstationCode, QString());
    EXPECT_EQ(view.caption, QString());
    EXPECT_EQ(inst.op.texts(MessageKind::Inform),
              QStringList{QStringLiteral(
                  "Não foi possível selecionar uma área de trabalho para o usuário \"MARIA\". \r\r"
                  "Causas prováveis: \r\r"
                  "  1) Na tabela \"Estacoes.db\" não foi incluída uma estação para o usuário \"MARIA\".\r"
                  "     Obs: Criar também a área de trabalho física (pasta C:\\Formulix\\InterfacXX) para este usuário.\r"
                  "  --> Favor contactar o suporte técnico da QUR SISTEMAS <--")});
    EXPECT_FALSE(inst.dm.Estacoes.isOpen());
}

TEST_F(Scope, TheStoreGetsItsFirstTwentyLaboratories)
{
    const QString cnpj = QStringLiteral("11222333000144");
    QStringList all;
    for (int i = 1; i <= 25; ++i) {
        all << QStringLiteral("Lab %1").arg(i, 2, 10, QLatin1Char('0'));
        laboratory(all.last(), cnpj);
    }
    laboratory(QStringLiteral("Alheio"), QStringLiteral("99888777000166"));
    EXPECT_EQ(users::PegaLaboratorio(inst.dm, cnpj), QStringLiteral("Lab 01"));
    users::BuildLabScope(inst.dm, cnpj, inst.op);
    EXPECT_EQ(inst.run.StoreLaboratories, all.mid(0, 20));
    EXPECT_TRUE(inst.run.LabScopeClause.startsWith(QStringLiteral("(UPPER(LABORATORIO) = 'LAB 01') OR ")));
    EXPECT_TRUE(inst.run.LabScopeClause.endsWith(QStringLiteral(" OR (UPPER(LABORATORIO) = 'LAB 20')")));
    EXPECT_TRUE(inst.op.messages().isEmpty());
    EXPECT_FALSE(inst.dm.SQLQuery1.isOpen());
}

TEST_F(Scope, AStoreWithoutLaboratoriesHasNoScope)
{
    laboratory(QStringLiteral("Alheio"), QStringLiteral("99888777000166"));
    const QString cnpj = QStringLiteral("11222333000144");
    EXPECT_EQ(users::PegaLaboratorio(inst.dm, cnpj), QStringLiteral("Almoxarifado"));
    users::BuildLabScope(inst.dm, cnpj, inst.op);
    EXPECT_TRUE(inst.run.StoreLaboratories.isEmpty());
    EXPECT_EQ(inst.run.LabScopeClause, QString());
    EXPECT_EQ(inst.op.texts(MessageKind::Inform), QStringList{QStringLiteral("Erro. Confira os CNPJs na Tabela de Estações")});
}

TEST_F(Scope, ALaboratoryWithAnApostropheShowsItsLots)
{
    const QString cnpj = QStringLiteral("11222333000144");
    workstation(QStringLiteral("01"), QStringLiteral("x.bd"), QStringLiteral("MARIA"), cnpj);
    laboratory(QStringLiteral("D'Ávila"), cnpj);
    inst.exec(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, LABORATORIO) values "
                             "('ACIDO', 'L1', 'F', 'd''Ávila')"));
    inst.exec(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, LABORATORIO) values "
                             "('ACIDO', 'L2', 'F', 'Outra')"));
    inst.run.UserName = QStringLiteral("MARIA");
    users::SetUpScope(inst.dm, inst.paths, inst.op);
    EXPECT_EQ(inst.run.StoreCnpj, cnpj);
    EXPECT_EQ(inst.run.Laboratory, QStringLiteral("D'Ávila"));
    ASSERT_TRUE(inst.dm.ESTLOTE.isOpen());
    ASSERT_EQ(inst.dm.ESTLOTE.rowCount(), 1);
    EXPECT_EQ(inst.dm.ESTLOTE.text(QStringLiteral("LOTE")), QStringLiteral("L1"));
    EXPECT_TRUE(inst.op.messages().isEmpty());
    EXPECT_FALSE(inst.dm.Estacoes.isOpen());
}

} // namespace
