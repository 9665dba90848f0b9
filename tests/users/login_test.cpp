// The login against a real user table: refusals, the rights test and the way into the first view.
#include "users/login.h"

#include "support/modulerig.h"
#include "support/qtprint.h"
#include "users/uchkprot.h"

#include <gtest/gtest.h>

using testsupport::MessageKind;
using users::LoginOutcome;

namespace {

struct FakeLoginView : users::LoginView {
    QString name;
    QString password;
    QString caption;
    QStringList events;

    QString nameText() const override { return name; }
    QString passwordText() const override { return password; }
    void setNameText(const QString &text) override { name = text; events << QStringLiteral("name=") + text; }
    void setPasswordText(const QString &text) override { password = text; events << QStringLiteral("password=") + text; }
    void setCaption(const QString &text) override { caption = text; }
    void focusName() override { events << QStringLiteral("focusName"); }
    void focusPassword() override { events << QStringLiteral("focusPassword"); }
    void hideLoginPanel() override { events << QStringLiteral("hide"); }
    void afterLoginSucceeded() override { events << QStringLiteral("afterLogin"); }
    void closeMainWindow() override { events << QStringLiteral("close"); }
};

TEST(HasStockRights, ReadsTheEighthCharacterAgainstTheFirstOfTheUser)
{
    const struct {
        const char *acesso;   // UTF-8
        const char *user;
        bool admitted;
    } cases[] = {
        {"ABCDEFGV", "MARIA", true},       // 'V' 86 - 9 = 77 'M'
        {"ABCDEFGVXYZ", "MARIA", true},
        {"ABCDEFGM", "MARIA", false},
        {"ABCDEFG", "MARIA", false},       // shorter than eight
        {"", "MARIA", false},
        {"1234567‰", "€URO", true},        // Windows-1252 codes: ‰ 137 - 9 = 128 €
        {"1234567\x05", "üLTIMO", true},   // 5 - 9 wraps to 252 ü
        {"ABCDEFGV", "", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.acesso);
        EXPECT_EQ(users::HasStockRights(QString::fromUtf8(c.acesso), QString::fromUtf8(c.user)), c.admitted);
    }
}

TEST(EmptyName, TouchesNoDatabase)
{
    testsupport::ModuleRig inst;
    // Any attempt to read would fail loudly.
    inst.connections.SQLConnection1.configure(db::Target{inst.dir.filePath(QStringLiteral("none.fdb")), true, true});
    FakeLoginView view;
    view.password = QStringLiteral("x");
    users::LoginContext ctx{inst.dm, view, inst.op, inst.clock, inst.log, inst.paths, inst.wait};
    EXPECT_EQ(users::CheckLogin(ctx), LoginOutcome::Refused);
    EXPECT_EQ(inst.op.texts(MessageKind::Inform), QStringList{QStringLiteral("Não foi informado o Nome do Usuário.")});
    EXPECT_EQ(view.events, QStringList{QStringLiteral("focusName")});
    EXPECT_FALSE(inst.dm.Usuarios.isOpen());
}

struct Login : ::testing::Test {
    testsupport::ModuleRig inst;
    FakeLoginView view;
    users::LoginContext ctx{inst.dm, view, inst.op, inst.clock, inst.log, inst.paths, inst.wait};
    const QString cnpj = QStringLiteral("11222333000144");

    void SetUp() override
    {
        user(QStringLiteral("MARIA"), QStringLiteral("CHAVE"), QStringLiteral("ABCDEFGV"));
        user(QStringLiteral("JOSE"), QStringLiteral("123"), QStringLiteral("ABCDEFS"));    // seven characters
        user(QStringLiteral("ANA"), QStringLiteral("ANA"), QStringLiteral("ABCDEFGV"));    // needs 'J' for A
        inst.exec(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Manipulação', '%1')").arg(cnpj));
        inst.exec(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Loja 1', '%1')").arg(cnpj));
        inst.exec(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Outra Loja', '99888777000166')"));
        // 7 March 2024 is the installation's today.
        lot(QStringLiteral("PROPRIO"), QStringLiteral("Manipulação"), 5, QStringLiteral("2024-05-01"));
        lot(QStringLiteral("LOJA"), QStringLiteral("LOJA 1"), 5, QStringLiteral("2024-05-01"));
        lot(QStringLiteral("SEMSALDO"), QStringLiteral("Manipulação"), 0, QStringLiteral("2024-05-01"));
        lot(QStringLiteral("HOJE"), QStringLiteral("Manipulação"), 5, QStringLiteral("2024-03-07"));
        lot(QStringLiteral("CQ"), QStringLiteral("Controle Qualidade"), 5, QStringLiteral("2024-05-01"));
        lot(QStringLiteral("ALHEIO"), QStringLiteral("Outra Loja"), 5, QStringLiteral("2024-05-01"));
    }

    void user(const QString &name, const QString &password, const QString &acesso)
    {
        inst.exec(QStringLiteral("insert into USUARIOS (USUARIO, SENHA, ACESSO) values ('%1', '%2', '%3')")
                      .arg(users::ScrambleText(name), users::ScrambleText(password), acesso));
    }
    void workstation(const QString &estacao, const QString &datbasnam, const QString &usuario, const QString &loja)
    {
        inst.exec(QStringLiteral("insert into ESTACOES (ESTACAO, DATBASNAM, USUARIO, CNPJ) values ('%1', '%2', '%3', '%4')")
                      .arg(estacao, datbasnam, usuario, loja));
    }
    void lot(const QString &lote, const QString &lab, int saldo, const QString &validade)
    {
        inst.exec(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, SALDOCORRENTE, VALIDADE, LABORATORIO) "
                                 "values ('ACIDO', '%1', 'F', %2, '%3', '%4')")
                      .arg(lote, QString::number(saldo), validade, lab));
    }
    LoginOutcome login(const QString &name, const QString &password)
    {
        view.name = name;
        view.password = password;
        return users::CheckLogin(ctx);
    }
    QStringList gridLots()
    {
        QStringList out;
        const int col = inst.dm.ESTLOTE.fieldIndex(QStringLiteral("LOTE"));
        for (int r = 0; r < inst.dm.ESTLOTE.rowCount(); ++r)
            out << inst.dm.ESTLOTE.valueAt(r, col).toString();
        out.sort();
        return out;
    }
};

TEST_F(Login, RefusalsKeepThePanel)
{
    workstation(QStringLiteral("01"), QStringLiteral("db"), QStringLiteral("MARIA"), cnpj);
    const struct {
        const char *name;
        const char *password;
        const char *message;
        const char *focus;
    } cases[] = {
        {"JOAO", "CHAVE", "Usuário JOAO não autorizado", "focusName"},
        {"joao", "chave", "Usuário joao não autorizado", "focusName"},
        // Sixteen letters would scramble to 32, more than a stored name holds.
        {"MARIAMARIAMARIAM", "CHAVE", "Usuário MARIAMARIAMARIAM não autorizado", "focusName"},
        {"MARIA", "CHAVO", "Senha incorreta. Tente novamente.", "focusPassword"},
        {"MARIA", "", "Senha incorreta. Tente novamente.", "focusPassword"},
        {"JOSE", "123", "Usuário JOSE não autorizado", "focusName"},
        {"ana", "ana", "Usuário ana não autorizado", "focusName"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        inst.op.clear();
        view.events.clear();
        EXPECT_EQ(login(QString::fromUtf8(c.name), QString::fromUtf8(c.password)), LoginOutcome::Refused);
        EXPECT_EQ(inst.op.texts(MessageKind::Inform), QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(view.events, QStringList{QString::fromLatin1(c.focus)});
        // What was typed stays in the boxes.
        EXPECT_EQ(view.name, QString::fromUtf8(c.name));
        EXPECT_EQ(view.password, QString::fromUtf8(c.password));
        EXPECT_EQ(inst.run.UserName, platform::asciiUpper(QString::fromUtf8(c.name)));
        EXPECT_FALSE(inst.dm.Usuarios.isOpen());
        EXPECT_FALSE(inst.dm.ESTLOTE.isOpen());
        EXPECT_EQ(inst.wait.shown(), 0);
    }
}

TEST_F(Login, MariaGetsThePositiveBalancesOfHerStore)
{
    workstation(QStringLiteral("01"), QStringLiteral("C:\\formulix\\interfac01\\formulix.bd"), QStringLiteral("maria"), cnpj);
    EXPECT_EQ(login(QStringLiteral("maria"), QStringLiteral("chave")), LoginOutcome::LoggedIn);
    EXPECT_TRUE(inst.op.messages().isEmpty());
    EXPECT_EQ(view.events, (QStringList{QStringLiteral("hide"), QStringLiteral("name="), QStringLiteral("password="),
                                        QStringLiteral("afterLogin"), QStringLiteral("name=MARIA")}));
    EXPECT_EQ(view.caption, QStringLiteral("  POSIÇÃO ATUAL DO ESTOQUE  -  Usuário: \"MARIA\"   Estação: 01"));
    EXPECT_EQ(inst.run.UserName, QStringLiteral("MARIA"));
    EXPECT_EQ(inst.run.AccessRights, QStringLiteral("ABCDEFGV"));
    EXPECT_EQ(inst.run.WorkstationCode, QStringLiteral("01"));
    EXPECT_EQ(inst.run.StoreCnpj, cnpj);
    EXPECT_EQ(inst.run.Laboratory, QStringLiteral("Manipulação"));
    EXPECT_EQ(inst.run.LabScopeClause,
              QStringLiteral("(UPPER(LABORATORIO) = 'MANIPULAçãO') OR (UPPER(LABORATORIO) = 'LOJA 1')"));
    // View 6 with expired lots hidden: own and shared locations, balance above 0, valid after today.
    EXPECT_EQ(gridLots(), (QStringList{QStringLiteral("CQ"), QStringLiteral("LOJA"), QStringLiteral("PROPRIO")}));
    EXPECT_EQ(inst.wait.shown(), 1);
    EXPECT_EQ(inst.wait.hidden(), 1);
    // The log is off: no file.
    EXPECT_TRUE(QDir(inst.dir.filePath(QStringLiteral("share/LOG"))).isEmpty());
}

TEST_F(Login, WithTheLogOnTheLoginIsRecorded)
{
    workstation(QStringLiteral("01"), QStringLiteral("db"), QStringLiteral("MARIA"), cnpj);
    inst.run.siteConfig.LogEnabled = QStringLiteral("S");
    EXPECT_EQ(login(QStringLiteral("MARIA"), QStringLiteral("CHAVE")), LoginOutcome::LoggedIn);
    EXPECT_EQ(inst.fileBytes(QStringLiteral("share/LOG/LOGESTOQ_2024-03.TXT")),
              platform::toCp1252(QStringLiteral("--------------------------------\r\n"
                                                "  LOG criado em 07/03/24-14:05\r\n"
                                                "--------------------------------\r\n"
                                                "07/03/24-14:05 - MARIA - ---------------------------------------------\r\n"
                                                "07/03/24-14:05 - MARIA - Entrou no módulo de Posicao Atual do Estoque.\r\n")));
    EXPECT_TRUE(inst.op.messages().isEmpty());
}

TEST_F(Login, AnUnreachableLogFolderEndsTheProgram)
{
    workstation(QStringLiteral("01"), QStringLiteral("db"), QStringLiteral("MARIA"), cnpj);
    inst.run.siteConfig.LogEnabled = QStringLiteral("S");
    inst.run.siteConfig.ServerAddress = QStringLiteral("NOWHERE");
    EXPECT_EQ(login(QStringLiteral("MARIA"), QStringLiteral("CHAVE")), LoginOutcome::Ended);
    EXPECT_EQ(inst.op.texts(MessageKind::Inform),
              QStringList{QStringLiteral("Erro tentando escrever na pasta Formulix. Verifique se a pasta C:\\FORMULIX está compartilhada.")});
    EXPECT_EQ(view.events.last(), QStringLiteral("close"));
}

TEST_F(Login, WithoutAWorkstationTheProgramEnds)
{
    const QString noRow = QStringLiteral(
        "Não foi possível selecionar uma área de trabalho para o usuário \"MARIA\". \r\r"
        "Causas prováveis: \r\r"
        "  1) Na tabela \"Estacoes.db\" não foi incluída uma estação para o usuário \"MARIA\".\r"
        "     Obs: Criar também a área de trabalho física (pasta C:\\Formulix\\InterfacXX) para este usuário.\r"
        "  --> Favor contactar o suporte técnico da QUR SISTEMAS <--");
    const QString noWorkArea = QStringLiteral("Não foi identificada uma área de trabalho para o usuáro MARIA");
    const struct {
        const char *what;
        bool row;
        QStringList messages;
    } cases[] = {
        {"no row", false, {noRow, noWorkArea}},
        {"row without database name", true, {noWorkArea}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        inst.exec(QStringLiteral("delete from ESTACOES"));
        if (c.row)
            workstation(QStringLiteral("01"), QString(), QStringLiteral("MARIA"), cnpj);
        inst.op.clear();
        view.events.clear();
        EXPECT_EQ(login(QStringLiteral("maria"), QStringLiteral("chave")), LoginOutcome::Ended);
        EXPECT_EQ(inst.op.texts(MessageKind::Inform), c.messages);
        EXPECT_EQ(view.events.last(), QStringLiteral("close"));
        EXPECT_FALSE(inst.dm.ESTLOTE.isOpen());
        EXPECT_EQ(inst.wait.shown(), 0);
    }
}

TEST_F(Login, AStoreWithoutLaboratoriesStillShowsTheSharedLocations)
{
    workstation(QStringLiteral("01"), QStringLiteral("db"), QStringLiteral("MARIA"), QStringLiteral("55666777000188"));
    inst.run.siteConfig.LogEnabled = QStringLiteral("S");
    EXPECT_EQ(login(QStringLiteral("MARIA"), QStringLiteral("CHAVE")), LoginOutcome::LoggedIn);
    EXPECT_EQ(inst.op.texts(MessageKind::Inform),
              (QStringList{QStringLiteral("Erro. Confira os CNPJs na Tabela de Estações"),
                           QStringLiteral("Erro. Verifique os CNPJs na Tabela de Estações e o conteúdo da Tabela de Laboratórios.")}));
    EXPECT_EQ(inst.run.Laboratory, QStringLiteral("Almoxarifado"));
    EXPECT_EQ(inst.fileBytes(QStringLiteral("c/FORMULIX/ErroEstoque.txt")),
              QByteArray("select DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOPREVISTO, SALDOCORRENTE, UNIDADE, CODIGOEAN, "
                         "FABRICANTE, VALIDADE, SITUACAO, DENSIDADE, FATORCORRECAO, LABORATORIO, CONTROLADA, PRECOCUSTO, "
                         "PRECOVENDA, ESTOQUECUSTO, ESTOQUEVENDA from ESTLOTE where ( or UPPER(LABORATORIO) = "
                         "'CONTROLE QUALIDADE' or UPPER(LABORATORIO) = 'EMTRANSITO') order by DESCRICAO, VALIDADE\r\n"));
    EXPECT_EQ(gridLots(), QStringList{QStringLiteral("CQ")});
    EXPECT_FALSE(inst.fileBytes(QStringLiteral("share/LOG/LOGESTOQ_2024-03.TXT")).isEmpty());
}

TEST_F(Login, AnEarlierDiagnosticFileIsReplaced)
{
    workstation(QStringLiteral("01"), QStringLiteral("db"), QStringLiteral("MARIA"), QStringLiteral("55666777000188"));
    {
        QFile old(inst.dir.filePath(QStringLiteral("c/FORMULIX/ErroEstoque.txt")));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
    }
    login(QStringLiteral("MARIA"), QStringLiteral("CHAVE"));
    const QByteArray bytes = inst.fileBytes(QStringLiteral("c/FORMULIX/ErroEstoque.txt"));
    EXPECT_TRUE(bytes.startsWith("select DESCRICAO"));
    EXPECT_TRUE(bytes.endsWith("order by DESCRICAO, VALIDADE\r\n"));
    EXPECT_EQ(bytes.count('\n'), 1);
}

} // namespace
