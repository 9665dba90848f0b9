// The demo maker run as a real program: layout, FORMULIX.INI bytes, and what its databases hold.
#include "core/siteconfig.h"
#include "db/connection.h"
#include "platform/cp1252.h"
#include "platform/winpath.h"
#include "users/uchkprot.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const QString kMaker = QStringLiteral(ESTOQUE_BINARY_DIR "/makedemo");

struct MakerRun {
    int exitCode = -1;
    QString out;
    QString err;
};

MakerRun runMaker(const QStringList &args)
{
    QProcess p;
    p.start(kMaker, args);
    MakerRun r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int64_t count(db::Connection &conn, const QString &from, const std::vector<db::Value> &params = {})
{
    return conn.query(QStringLiteral("select count(*) from ") + from, params).rows.at(0).at(0).toInt();
}

// One installation, built around a fixed day, shared by the tests of this file.
class MakeDemo : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        s_run = runMaker({QStringLiteral("--dir"), s_dir->path(), QStringLiteral("--lots"), QStringLiteral("150"),
                          QStringLiteral("--today"), QStringLiteral("2024-05-15")});
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(kMaker)) << "build the makedemo target first";
        ASSERT_EQ(s_run.exitCode, 0) << s_run.err.toStdString();
    }
    static QString program() { return s_dir->path() + QStringLiteral("/c/FORMULIX"); }
    static db::Target target(const QString &relative) { return db::Target{program() + relative, true, true}; }

    static QTemporaryDir *s_dir;
    static MakerRun s_run;
};

QTemporaryDir *MakeDemo::s_dir = nullptr;
MakerRun MakeDemo::s_run;

} // namespace

TEST_F(MakeDemo, LaysOutTheProgramFolderAndReportsTheLogin)
{
    for (const char *file : {"FORMULIX.INI", "drives.conf", "Dados/FORMULIX.BD", "interfac01/formulix.bd",
                             "interfac02/formulix.bd"})
        EXPECT_TRUE(QFileInfo(program() + QLatin1Char('/') + QLatin1String(file)).isFile()) << file;
    for (const char *dir : {"LOG", "rpt"})
        EXPECT_TRUE(QFileInfo(program() + QLatin1Char('/') + QLatin1String(dir)).isDir()) << dir;
    // Exactly one folder stands for C:\FORMULIX, whatever the case a path uses.
    EXPECT_EQ(QDir(s_dir->path() + QStringLiteral("/c")).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("FORMULIX")});
    EXPECT_TRUE(s_run.out.contains(QStringLiteral("user MARIA, password 1234"))) << s_run.out.toStdString();
    EXPECT_TRUE(s_run.out.contains(program())) << s_run.out.toStdString();
    EXPECT_TRUE(s_run.out.contains(QStringLiteral("Lots 150,"))) << s_run.out.toStdString();

    const QStringList conf = QString::fromUtf8(readFile(program() + QStringLiteral("/drives.conf"))).split(u'\n');
    EXPECT_TRUE(conf.contains(QStringLiteral("C: = ..")));
    EXPECT_TRUE(conf.contains(QStringLiteral("\\\\127.0.0.1\\Formulix = .")));
}

TEST_F(MakeDemo, WindowsLocationsReachTheDemoFiles)
{
    const platform::WinPaths paths = platform::WinPaths::load(program());
    const platform::DatabaseTarget central = paths.database(QStringLiteral("127.0.0.1:C:\\formulix\\Dados\\FORMULIX.BD"));
    EXPECT_TRUE(central.valid);
    EXPECT_TRUE(central.embedded);
    EXPECT_EQ(QFileInfo(central.location).canonicalFilePath(),
              QFileInfo(program() + QStringLiteral("/Dados/FORMULIX.BD")).canonicalFilePath());
    const platform::DatabaseTarget station = paths.database(QStringLiteral("127.0.0.1:C:\\formulix\\interfac01\\formulix.bd"));
    EXPECT_EQ(QFileInfo(station.location).canonicalFilePath(),
              QFileInfo(program() + QStringLiteral("/interfac01/formulix.bd")).canonicalFilePath());
    EXPECT_EQ(QFileInfo(paths.toLocal(QStringLiteral("\\\\127.0.0.1\\Formulix\\LOG"))).canonicalFilePath(),
              QFileInfo(program() + QStringLiteral("/LOG")).canonicalFilePath());
}

TEST_F(MakeDemo, SiteConfigurationHasFixedColumnsInWindows1252)
{
    const QByteArray bytes = readFile(program() + QStringLiteral("/FORMULIX.INI"));
    ASSERT_FALSE(bytes.isEmpty());
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n"));
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();
    for (QByteArray line : lines) {
        line.chop(1);
        ASSERT_GE(line.size(), 50) << line.constData();
        EXPECT_EQ(line.at(47), ':') << line.constData();
        EXPECT_EQ(line.at(48), ' ') << line.constData();
        EXPECT_NE(line.at(49), ' ') << line.constData();
        EXPECT_NE(line.left(48).indexOf(':'), -1);
    }
    const QByteArray options = QByteArray("OP\xC7\xD5" "ES DE SITUA\xC7\xC3O DO ESTOQUE..................: "
                                          "Estoque/Vencido/Aguardando/Quarentena\r\n");
    EXPECT_TRUE(bytes.contains(options));
    EXPECT_TRUE(bytes.contains("LABORATORIO PADRAO.............................: Manipula\xE7\xE3o\r\n"));

    core::SiteConfig config;
    core::SetSiteConfigDefaults(config);
    core::readSiteConfigText(bytes, config);
    EXPECT_EQ(config.ServerAddress, QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(config.logOn());
    EXPECT_EQ(config.StockKey, QStringLiteral("4817"));
    const QStringList expected = {QStringLiteral("Estoque"), QStringLiteral("Vencido"), QStringLiteral("Aguardando"),
                                  QStringLiteral("Quarentena")};
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(config.SituationOptions[size_t(i)], expected[i]);
    EXPECT_TRUE(config.SituationOptions[4].isEmpty());
}

TEST_F(MakeDemo, LotsCoverEveryStateTheModuleTreatsApart)
{
    db::Connection conn;
    conn.configure(target(QStringLiteral("/Dados/FORMULIX.BD")));
    EXPECT_EQ(count(conn, QStringLiteral("ESTLOTE")), 150);

    using db::Value;
    const struct {
        const char *what;
        QString where;
        std::vector<Value> params;
    } cases[] = {
        {"expired, marked", "VALIDADE < '2024-05-15' and SITUACAO = 'Vencido'", {}},
        {"expired, still in stock", "VALIDADE < '2024-05-15' and SITUACAO = 'Estoque'", {}},
        {"expires today", "VALIDADE = '2024-05-15'", {}},
        {"within 60 days", "VALIDADE > '2024-05-15' and VALIDADE < '2024-07-14'", {}},
        {"60 days ahead", "VALIDADE = '2024-07-14'", {}},
        {"61 days ahead", "VALIDADE = '2024-07-15'", {}},
        {"no expiry", "VALIDADE is null", {}},
        {"negative balance", "SALDOCORRENTE = -0.5", {}},
        {"zero balance", "SALDOCORRENTE = 0", {}},
        {"controlled", "CONTROLADA = 'Sim'", {}},
        {"not controlled", "CONTROLADA = ?", {Value::text(QStringLiteral("Não"))}},
        {"main laboratory", "LABORATORIO = ?", {Value::text(QStringLiteral("Manipulação"))}},
        {"shop", "LABORATORIO = 'Loja 1'", {}},
        {"quality control", "LABORATORIO = 'Controle Qualidade'", {}},
        {"QUALITY CONTROL", "LABORATORIO = 'CONTROLE QUALIDADE'", {}},
        {"in transit", "LABORATORIO = 'EMTRANSITO'", {}},
        {"third parties", "LABORATORIO = 'TERCEIROS'", {}},
        {"lower-case un", "UNIDADE = 'un'", {}},
        {"with an invoice", "ESTLOTE e where exists (select 1 from COMPRAS c where c.COMPONENTE = e.DESCRICAO and c.LOTE = e.LOTE)", {}},
        {"without an invoice", "ESTLOTE e where not exists (select 1 from COMPRAS c where c.COMPONENTE = e.DESCRICAO and c.LOTE = e.LOTE)", {}},
        {"same lot in two places", "ESTLOTE a where exists (select 1 from ESTLOTE b where b.CODIGO = a.CODIGO and b.LOTE = a.LOTE "
                                   "and b.FORNECEDOR = a.FORNECEDOR and b.LABORATORIO <> a.LABORATORIO)", {}},
    };
    for (const auto &c : cases) {
        const QString from = c.where.startsWith(QLatin1String("ESTLOTE")) ? c.where : QStringLiteral("ESTLOTE where ") + c.where;
        EXPECT_GT(count(conn, from, c.params), 0) << c.what;
    }
    for (const char *unit : {"KG", "G", "MG", "MCG", "MIL", "UN", "L", "ML", "MCL"})
        EXPECT_GT(count(conn, QStringLiteral("ESTLOTE where UNIDADE = ?"), {Value::text(QString::fromLatin1(unit))}), 0) << unit;
    for (const char *group : {"MP", "SUP", "REV", "REVI", "HOM"})
        EXPECT_GT(count(conn, QStringLiteral("COMPONEN where GRUPO = ?"), {Value::text(QString::fromLatin1(group))}), 0) << group;
    // Every lot names a registered product, and the names keep their accents and apostrophes.
    EXPECT_EQ(count(conn, QStringLiteral("ESTLOTE e where not exists (select 1 from COMPONEN p where p.CODIGO = e.CODIGO "
                                         "and p.COMPONENTE = e.DESCRICAO)")), 0);
    EXPECT_EQ(count(conn, QStringLiteral("COMPONEN where COMPONENTE = ?"), {Value::text(QStringLiteral("Pó d'arroz compacto"))}), 1);
    EXPECT_EQ(count(conn, QStringLiteral("COMPONEN where COMPONENTE = ?"), {Value::text(QStringLiteral("Ácido hialurônico"))}), 1);

    // Orders of the stored period with deductions done, missing and done with another quantity.
    const QString lines = QStringLiteral("COMPEDID l join PEDIDOS o on o.ESTACAO = l.ESTACAO and o.NPEDIDO = l.NPEDIDO "
                                         "where o.TIPOPEDIDO = 'Pedido' and o.DATAPEDIDO between '2024-04-15' and '2024-05-15' and ");
    const QString movement = QStringLiteral("(select 1 from MOVEST m where m.ESTACAO = l.ESTACAO and m.NPEDIDO = l.NPEDIDO "
                                            "and m.NFORMULA = l.NFORMULA and m.LOTE = l.LOTE and UPPER(m.DESCRICAO) = UPPER(l.COMPONENTE)");
    EXPECT_GT(count(conn, lines + QStringLiteral("exists ") + movement + QStringLiteral(" and m.QUANTIDADE = l.QDEESTOQUE)")), 0);
    EXPECT_GT(count(conn, lines + QStringLiteral("not exists ") + movement + QStringLiteral(")")), 0);
    EXPECT_GT(count(conn, lines + QStringLiteral("exists ") + movement + QStringLiteral(" and m.QUANTIDADE <> l.QDEESTOQUE)")), 0);
    EXPECT_EQ(count(conn, QStringLiteral("PERIODO")), 1);
}

TEST_F(MakeDemo, UsersWorkstationsAndStores)
{
    db::Connection conn;
    conn.configure(target(QStringLiteral("/Dados/FORMULIX.BD")));
    const db::Rows rows = conn.query(QStringLiteral("select USUARIO, SENHA, ACESSO from USUARIOS"));
    auto find = [&](const QString &name) -> const std::vector<db::Value> * {
        for (const auto &r : rows.rows)
            if (r.at(0).toString() == users::ScrambleText(name))
                return &r;
        return nullptr;
    };
    const struct {
        const char *name;
        const char *password;
        int rights;   // 1 authorised, 0 refused, -1 shorter than eight characters
    } expected[] = {{"MARIA", "1234", 1}, {"JOAO", "5678", 1}, {"PEDRO", "1111", 1}, {"ANA", "2222", 1},
                    {"CARLOS", "3333", 0}, {"LUCIA", "4444", -1}};
    for (const auto &e : expected) {
        const auto *row = find(QString::fromLatin1(e.name));
        ASSERT_NE(row, nullptr) << e.name;
        EXPECT_EQ(row->at(1).toString(), users::ScrambleText(QString::fromLatin1(e.password))) << e.name;
        const QString rights = row->at(2).toString();
        if (e.rights < 0) {
            EXPECT_LT(rights.size(), 8) << e.name;
            continue;
        }
        ASSERT_GE(rights.size(), 8) << e.name;
        const bool authorised = (rights.at(7).unicode() - 9 + 256) % 256 == e.name[0];
        EXPECT_EQ(authorised, e.rights == 1) << e.name;
    }

    auto station = [&](const char *user) {
        return conn.query(QStringLiteral("select ESTACAO, USUARIO, CNPJ, DATBASNAM from ESTACOES where upper(USUARIO) = ?"),
                          {db::Value::text(QString::fromLatin1(user))});
    };
    const db::Rows maria = station("MARIA");
    ASSERT_EQ(maria.rows.size(), 1u);
    EXPECT_EQ(maria.at(0, QStringLiteral("ESTACAO")).toString(), QStringLiteral("01"));
    EXPECT_EQ(maria.at(0, QStringLiteral("USUARIO")).toString(), QStringLiteral("maria"));
    EXPECT_FALSE(maria.at(0, QStringLiteral("DATBASNAM")).toString().isEmpty());
    const db::Rows labs = conn.query(QStringLiteral("select LABORATORIO from TABLAB where LOJA = ? order by LABORATORIO"),
                                     {maria.at(0, QStringLiteral("CNPJ"))});
    ASSERT_EQ(labs.rows.size(), 2u);
    EXPECT_EQ(labs.rows[0][0].toString(), QStringLiteral("Loja 1"));
    EXPECT_EQ(labs.rows[1][0].toString(), QStringLiteral("Manipulação"));
    EXPECT_EQ(count(conn, QStringLiteral("DADOSGER where CNPJ = ?"), {maria.at(0, QStringLiteral("CNPJ"))}), 1);

    EXPECT_EQ(station("JOAO").at(0, QStringLiteral("ESTACAO")).toString(), QStringLiteral("02"));
    EXPECT_TRUE(station("PEDRO").isEmpty());
    const db::Rows ana = station("ANA");
    ASSERT_EQ(ana.rows.size(), 1u);
    EXPECT_EQ(count(conn, QStringLiteral("TABLAB where LOJA = ?"), {ana.at(0, QStringLiteral("CNPJ"))}), 0);

    for (const char *ws : {"/interfac01/formulix.bd", "/interfac02/formulix.bd"}) {
        db::Connection w;
        w.configure(target(QString::fromLatin1(ws)));
        EXPECT_EQ(count(w, QStringLiteral("PERIODO")), 1) << ws;
        EXPECT_EQ(count(w, QStringLiteral("RELESTLOTE")), 0) << ws;
        EXPECT_EQ(count(w, QStringLiteral("RP_TOTAIS")), 0) << ws;
    }
}

TEST(MakeDemoArguments, KeepsAnExistingInstallationUnlessForced)
{
    QTemporaryDir dir;
    auto args = [&](const char *lots) {
        return QStringList{QStringLiteral("--dir"), dir.path(), QStringLiteral("--lots"), QString::fromLatin1(lots)};
    };
    auto lots = [&] {
        db::Connection conn;
        conn.configure(db::Target{dir.path() + QStringLiteral("/c/FORMULIX/Dados/FORMULIX.BD"), true, true});
        return count(conn, QStringLiteral("ESTLOTE"));
    };
    ASSERT_EQ(runMaker(args("40")).exitCode, 0);
    EXPECT_EQ(lots(), 40);
    const MakerRun refused = runMaker(args("60"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--force"))) << refused.err.toStdString();
    EXPECT_EQ(lots(), 40);
    const MakerRun forced = runMaker(args("60") + QStringList{QStringLiteral("--force")});
    ASSERT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_EQ(lots(), 60);
}

TEST(MakeDemoArguments, RefusesBadArgumentsWithoutWritingAnything)
{
    QTemporaryDir dir;
    for (const QStringList &args : {QStringList{QStringLiteral("--lots"), QStringLiteral("10")},
                                    QStringList{QStringLiteral("--dir"), dir.path(), QStringLiteral("--lots"), QStringLiteral("0")},
                                    QStringList{QStringLiteral("--dir"), dir.path(), QStringLiteral("--today"), QStringLiteral("15/05/2024")}}) {
        const MakerRun r = runMaker(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(u' ').toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/c")));
}

TEST(MakeDemoArguments, ProductsFillTheRegisterWithProductsThatHaveNoLot)
{
    QTemporaryDir dir;
    const MakerRun r = runMaker({QStringLiteral("--dir"), dir.path(), QStringLiteral("--lots"), QStringLiteral("30"),
                                 QStringLiteral("--products"), QStringLiteral("600")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    db::Connection conn;
    conn.configure(db::Target{dir.path() + QStringLiteral("/c/FORMULIX/Dados/FORMULIX.BD"), true, true});
    EXPECT_EQ(count(conn, QStringLiteral("COMPONEN")), 600);
    EXPECT_EQ(count(conn, QStringLiteral("(select distinct COMPONENTE from COMPONEN)")), 600);
    EXPECT_EQ(count(conn, QStringLiteral("COMPONEN c where exists (select 1 from ESTLOTE e where e.CODIGO = c.CODIGO) "
                                         "and c.CODIGO starting with 'R'")),
              0);
    EXPECT_EQ(runMaker({QStringLiteral("--dir"), dir.path(), QStringLiteral("--force"), QStringLiteral("--products"),
                        QStringLiteral("-1")})
                  .exitCode,
              2);
}
