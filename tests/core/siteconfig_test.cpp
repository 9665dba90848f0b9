// FORMULIX.INI as the suite writes it, and as damaged or foreign files may come.
#include "core/siteconfig.h"

#include "platform/cp1252.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using core::SiteConfig;
using platform::toCp1252;

namespace {

const QString kServer = QStringLiteral("IP DO SERVIDOR CENTRAL.........................:");
const QString kWorkstation = QStringLiteral("IP DA ESTACAO DO USUARIO.......................:");
const QString kBackup = QStringLiteral("IP DO BACKUP DO BD LOCAL (BKPPED)..............:");
const QString kColor = QStringLiteral("COR DE FUNDO DAS TELAS.........................:");
const QString kLogSetting = QStringLiteral("LOG DE ATIVIDADES..............................:");
const QString kPriceFactor = QStringLiteral("USAR F.C. NO PRECO DE VENDA....................:");
const QString kLogOn = QStringLiteral("LOG ATIVADO....................................:");
const QString kLab = QStringLiteral("LABORATORIO PADRAO.............................:");
const QString kLogoff = QStringLiteral("TEMPO PARA LOGOFF AUTOMATICO...................:");
const QString kKey = QStringLiteral("CHAVE ESTOQUE..................................:");
const QString kDiluted = QStringLiteral("INCLUIR DILUIDOS NO RELATORIO FISICO/FINANCEIRO:");
const QStringList kSituationLabels = {
    QStringLiteral("OPÇÕES DE SITUAÇÃO DO ESTOQUE..................:"),
    QStringLiteral("OPCOES DE SITUACAO DO ESTOQUE..................:"),
    QStringLiteral("OPÇOES DE SITUAÇAO DO ESTOQUE..................:"),
    QStringLiteral("OPÇÕES DE SITUAÇAO DO ESTOQUE..................:"),
    QStringLiteral("OPCÕES DE SITUACÃO DO ESTOQUE..................:"),
};

// One line as the suite's set-up tools write it: label, a blank in column 49, value, CR LF.
QByteArray line(const QString &label, const QString &value)
{
    return toCp1252(label + u' ' + value) + "\r\n";
}

SiteConfig read(const QByteArray &bytes)
{
    SiteConfig config;
    core::SetSiteConfigDefaults(config);
    core::readSiteConfigText(bytes, config);
    return config;
}

QStringList slots(const SiteConfig &config)
{
    return QStringList(config.SituationOptions.begin(), config.SituationOptions.end());
}

QStringList padded(QStringList options)
{
    while (options.size() < core::kSituationSlots)
        options.append(QString());
    return options;
}

} // namespace

TEST(SiteConfig, ReadsEveryLabelIntoItsFieldCutToItsWidth)
{
    const QString forty = QStringLiteral("0123456789").repeated(4);
    QByteArray ini = toCp1252(QStringLiteral("[FORMULIX]")) + "\r\n";
    ini += line(kServer, QStringLiteral("   192.168.0.10   "));
    ini += line(kWorkstation, QStringLiteral("192.168.0.21"));
    ini += line(kBackup, QStringLiteral("192.168.0.30"));
    ini += line(kColor, QStringLiteral("-16777201"));
    ini += line(kLogSetting, QStringLiteral("SIMPLES"));
    ini += line(kPriceFactor, forty);
    ini += line(kLogOn, QStringLiteral("sim"));
    ini += line(kLab, QStringLiteral("Manipulação ") + forty);
    ini += line(kLogoff, QStringLiteral("30"));
    ini += line(kSituationLabels[0], QStringLiteral("Estoque/Vencido/Aguardando"));
    ini += line(kKey, QStringLiteral("1234"));
    ini += line(kDiluted, QStringLiteral("N"));

    const SiteConfig c = read(ini);
    EXPECT_EQ(c.ServerAddress, QStringLiteral("192.168.0.10"));
    EXPECT_EQ(c.WorkstationAddress, QStringLiteral("192.168.0.21"));
    EXPECT_EQ(c.LocalBackupAddress, QStringLiteral("192.168.0.30"));
    EXPECT_EQ(c.ScreenColor, -16777201);
    EXPECT_EQ(c.ActivityLogSetting, QStringLiteral("SIM"));
    EXPECT_EQ(c.PriceFactorSetting, forty.left(30));
    EXPECT_EQ(c.LogEnabled, QStringLiteral("S"));
    EXPECT_TRUE(c.logOn());
    EXPECT_EQ(c.DefaultLaboratory, (QStringLiteral("Manipulação ") + forty).left(30));
    EXPECT_EQ(c.AutoLogoffTime, QStringLiteral("30"));
    EXPECT_EQ(c.SituationOptionsText, QStringLiteral("Estoque/Vencido/Aguardando"));
    EXPECT_EQ(slots(c), padded({"Estoque", "Vencido", "Aguardando"}));
    EXPECT_EQ(c.StockKey, QStringLiteral("1234"));
    EXPECT_EQ(c.IncludeDiluted, QStringLiteral("N"));
}

TEST(SiteConfig, MissingLinesKeepTheDefaults)
{
    const SiteConfig c = read(line(kServer, QStringLiteral("SERVIDOR")));
    EXPECT_EQ(c.StockKey, core::kDefaultStockKey);
    EXPECT_EQ(c.StockKey.size(), 4);
    EXPECT_EQ(c.IncludeDiluted, QStringLiteral("S"));
    EXPECT_EQ(c.LogEnabled, QString());
    EXPECT_FALSE(c.logOn());
    EXPECT_EQ(c.ScreenColor, 0);
    EXPECT_EQ(slots(c), padded({}));
}

TEST(SiteConfig, LogSwitch)
{
    struct Case { const char *name; QByteArray ini; QString stored; bool on; };
    const Case cases[] = {
        {"sim", line(kLogOn, "sim"), "S", true},
        {"S", line(kLogOn, "S"), "S", true},
        {"blanks around", line(kLogOn, "   s   "), "S", true},
        {"Nao", line(kLogOn, "Nao"), "N", false},
        {"empty value", line(kLogOn, ""), "", false},
        {"missing line", line(kLab, "S"), "", false},
        {"a tab is not a blank", line(kLogOn, "\tS"), "\t", false},
        {"accented first letter stays", line(kLogOn, QStringLiteral("ém")), QStringLiteral("é"), false},
        {"label cut short before the value", toCp1252(kLogOn.left(47)) + "\r\n", "", false},
        {"the later line wins", line(kLogOn, "S") + line(kLogOn, "n"), "N", false},
        {"a label with no value empties it", line(kLogOn, "S") + toCp1252(kLogOn) + "\r\n", "", false},
    };
    for (const Case &k : cases) {
        const SiteConfig c = read(k.ini);
        EXPECT_EQ(c.LogEnabled, k.stored) << k.name;
        EXPECT_EQ(c.logOn(), k.on) << k.name;
    }
}

TEST(SiteConfig, LabelsMatchExactly)
{
    struct Case { const char *name; QByteArray ini; QString server; };
    const QString dotLess = kServer.left(46) + u':';  // 47 characters
    const Case cases[] = {
        {"suite's own line", line(kServer, "10.0.0.1"), "10.0.0.1"},
        {"lower case label", line(kServer.toLower(), "10.0.0.1"), ""},
        {"one dot fewer", toCp1252(dotLess + "  10.0.0.1") + "\r\n", ""},
        {"no separator: column 49 is never read", toCp1252(kServer + "192.168.0.10") + "\r\n", "92.168.0.10"},
        {"two separators", toCp1252(kServer + "  10.0.0.1") + "\r\n", "10.0.0.1"},
        {"label in UTF-8 is another label",
         kSituationLabels[0].toUtf8() + " a/b\r\n" + line(kServer, "x"), "x"},
    };
    for (const Case &k : cases)
        EXPECT_EQ(read(k.ini).ServerAddress, k.server) << k.name;

    // Nothing of a label the reader does not know gets in anywhere.
    const SiteConfig utf8 = read(kSituationLabels[0].toUtf8() + " a/b\r\n");
    EXPECT_EQ(utf8.SituationOptionsText, QString());
}

TEST(SiteConfig, ValueIsColumns50To109ThenTrimmedThenCut)
{
    const QString seventy = QStringLiteral("ABCDEFGHIJ").repeated(7);
    SiteConfig c = read(line(kKey, seventy) + line(kDiluted, seventy));
    EXPECT_EQ(c.StockKey, seventy.left(60));
    EXPECT_EQ(c.IncludeDiluted, seventy.left(30));

    // Blanks in front count toward the 60 read, and are trimmed afterwards.
    c = read(line(kServer, QStringLiteral("     ") + seventy));
    EXPECT_EQ(c.ServerAddress, seventy.left(55));

    // Blanks inside the value stay; what comes after column 109 never gets in.
    c = read(line(kServer, QStringLiteral("  a  b") + QString(54, u' ') + QStringLiteral("tail")));
    EXPECT_EQ(c.ServerAddress, QStringLiteral("a  b"));
}

TEST(SiteConfig, SituationOptionsUnderEveryLabel)
{
    for (const QString &label : kSituationLabels) {
        const SiteConfig c = read(line(label, QStringLiteral("Estoque/Vencido/Aguardando")));
        EXPECT_EQ(slots(c), padded({"Estoque", "Vencido", "Aguardando"})) << label.toStdString();
    }
}

TEST(SiteConfig, SameSituationLabelTwiceKeepsTheSlotsTheSecondDoesNotReach)
{
    const SiteConfig c = read(line(kSituationLabels[1], QStringLiteral("A/B/C/D")) + line(kSituationLabels[3], "x/y"));
    EXPECT_EQ(c.SituationOptionsText, QStringLiteral("x/y"));
    EXPECT_EQ(slots(c), padded({"x", "y", "C", "D"}));
}

TEST(SiteConfig, SplitSituationOptions)
{
    const QString longOption = QStringLiteral("Aguardando análise de qualidade");
    struct Case { QString text; QStringList slots; };
    const Case cases[] = {
        {"Estoque/Vencido/Aguardando", {"Estoque", "Vencido", "Aguardando"}},
        {"a//b", {"a", "", "b"}},
        {"a/b/", {"a", "b", ""}},
        {"", {""}},
        {"/", {"", ""}},
        {longOption + "/Ok", {QStringLiteral("Aguardando análise de qu"), "Ok"}},
        {"1/2/3/4/5/6/7/8/9/10/11/12/13", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}},
        {" a / b ", {" a ", " b "}},
    };
    for (const Case &k : cases) {
        SiteConfig c;
        c.SituationOptions.fill(QStringLiteral("old"));
        c.SituationOptionsText = k.text;
        core::SplitSituationOptions(c);
        QStringList expected = k.slots;
        while (expected.size() < core::kSituationSlots)
            expected.append(QStringLiteral("old"));
        EXPECT_EQ(slots(c), expected) << k.text.toStdString();
    }
}

TEST(SiteConfig, TrimBlanks)
{
    const std::pair<QString, QString> cases[] = {
        {"", ""},
        {"     ", ""},
        {"   192.168.0.10   ", "192.168.0.10"},
        {"a b", "a b"},
        {"\tS\t", "\tS\t"},
        {" \t x \t ", "\t x \t"},
        {QString(QChar(0x00a0)) + "x", QString(QChar(0x00a0)) + "x"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(core::TrimBlanks(in), out) << in.toStdString();
}

TEST(SiteConfig, ScreenColorThatIsNoNumberDoesNotStopTheReading)
{
    struct Case { QString value; qint32 color; };
    const Case cases[] = {
        {"15", 15},
        {"+7", 7},
        {"-2147483648", std::numeric_limits<qint32>::min()},
        {"2147483647", std::numeric_limits<qint32>::max()},
        {"2147483648", 0},
        {"azul", 0},
        {"$FF", 0},
        {"12 ", 12},
        {"1 2", 0},
        {"", 0},
    };
    for (const Case &k : cases) {
        const SiteConfig c = read(line(kColor, k.value) + line(kServer, "SRV"));
        EXPECT_EQ(c.ScreenColor, k.color) << k.value.toStdString();
        EXPECT_EQ(c.ServerAddress, QStringLiteral("SRV")) << k.value.toStdString();
    }
    // A bad value after a good one leaves the good one.
    EXPECT_EQ(read(line(kColor, "9") + line(kColor, "nove")).ScreenColor, 9);
}

TEST(SiteConfig, LockWaitLimitIsAWholeNumberOfSecondsOrTheDefault)
{
    const QString label = QStringLiteral("ESPERA MAXIMA POR REGISTRO EM USO (SEGUNDOS)...:");
    ASSERT_EQ(label.size(), 48);
    EXPECT_EQ(read(line(kServer, "SRV")).LockWaitSeconds, 30);
    struct Case { QString value; qint32 seconds; };
    const Case cases[] = {
        {"45", 45}, {"1", 1}, {"3600", 3600},
        // no limit, a negative one or one past an hour would leave a window waiting for good
        {"0", 30}, {"-5", 30}, {"3601", 30}, {"trinta", 30}, {"", 30}, {"2,5", 30},
    };
    for (const Case &k : cases)
        EXPECT_EQ(read(line(label, k.value)).LockWaitSeconds, k.seconds) << k.value.toStdString();
}

TEST(SiteConfig, ExpiryUseWindowAndQuarantineSituations)
{
    const QString window = QStringLiteral("DIAS DE USO PARA A SOBRA NO VENCIMENTO.........:");
    const QString quarantine = QStringLiteral("SITUACOES DE QUARENTENA........................:");
    ASSERT_EQ(window.size(), 48);
    ASSERT_EQ(quarantine.size(), 48);
    const SiteConfig none = read(line(kServer, "SRV"));
    EXPECT_EQ(none.UseWindowDays, 90);
    EXPECT_TRUE(none.QuarantineSituations.isEmpty());
    struct Case { QString value; qint32 days; };
    const Case cases[] = {{"60", 60}, {"1", 1}, {"3650", 3650}, {"0", 90}, {"-30", 90}, {"3651", 90}, {"noventa", 90}, {"", 90}};
    for (const Case &k : cases)
        EXPECT_EQ(read(line(window, k.value)).UseWindowDays, k.days) << k.value.toStdString();
    EXPECT_EQ(read(line(quarantine, QStringLiteral(" Quarentena / Análise //Bloqueado"))).QuarantineSituations,
              (QStringList{"Quarentena", "Análise", "Bloqueado"}));
}

TEST(SiteConfig, ForeignLineEndsAndBytesDoNoHarm)
{
    struct Case { const char *name; QByteArray ini; QString server; QString key; };
    const QByteArray srv = toCp1252(kServer + " SRV");
    const QByteArray key = toCp1252(kKey + " 5555");
    const Case cases[] = {
        {"LF only", srv + "\n" + key + "\n", "SRV", "5555"},
        {"no line end at the end", srv + "\r\n" + key, "SRV", "5555"},
        {"CR before LF is no part of the value", srv + "   \r\n" + key + "\r\n", "SRV", "5555"},
        {"lone CR inside a line stays", srv + "\rX\n" + key + "\n", "SRV\rX", "5555"},
        {"tab after the value", srv + "\t\r\n" + key + "\r\n", "SRV\t", "5555"},
        {"short and empty lines", "\r\n\n" + toCp1252(kServer.left(20)) + "\r\nx\n" + srv + "\n" + key, "SRV", "5555"},
        {"NUL bytes", QByteArray("\0\0\0\n", 4) + srv + QByteArray("\0zz", 3) + "\n" + key, QString("SRV") + QChar(0) + "zz", "5555"},
        {"NUL inside a label", toCp1252(kServer.left(10)) + QByteArray(1, '\0') + toCp1252(kServer.mid(11) + " X\n") + key,
         "", "5555"},
        {"binary garbage", QByteArray("\xff\xfe\x81\x8d\x1a\x00\x7f", 7).repeated(40) + "\n" + key, "", "5555"},
        {"Windows-1252 value", toCp1252(kServer + QStringLiteral(" Matriz São João €")) + "\r\n", QStringLiteral("Matriz São João €"),
         core::kDefaultStockKey},
        {"empty file", QByteArray(), "", core::kDefaultStockKey},
    };
    for (const Case &k : cases) {
        const SiteConfig c = read(k.ini);
        EXPECT_EQ(c.ServerAddress, k.server) << k.name;
        EXPECT_EQ(c.StockKey, k.key) << k.name;
    }
}

class ReadSiteConfigTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString root() const { return m_dir.path(); }
    void write(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QTemporaryDir m_dir;
};

TEST_F(ReadSiteConfigTest, ReadsTheFileAndSetsTheProgramFolder)
{
    write(root() + "/FORMULIX.INI", line(kServer, "192.168.0.10") + line(kLogOn, "S"));
    SiteConfig c;
    core::SetSiteConfigDefaults(c);
    EXPECT_EQ(core::ReadSiteConfig(QStringLiteral("C:\\FORMULIX\\"), root(), c), core::ConfigRead::Ok);
    EXPECT_EQ(c.ProgramFolder, QStringLiteral("C:\\FORMULIX\\"));
    EXPECT_EQ(c.ServerAddress, QStringLiteral("192.168.0.10"));
    EXPECT_TRUE(c.logOn());
    EXPECT_EQ(c.StockKey, core::kDefaultStockKey);
}

TEST_F(ReadSiteConfigTest, FileNameCaseDoesNotMatterAsOnWindows)
{
    write(root() + "/formulix.ini", line(kServer, "SRV"));
    SiteConfig c;
    EXPECT_EQ(core::ReadSiteConfig(QStringLiteral("C:\\FORMULIX\\"), root() + "/", c), core::ConfigRead::Ok);
    EXPECT_EQ(c.ServerAddress, QStringLiteral("SRV"));
}

TEST_F(ReadSiteConfigTest, MissingFile)
{
    EXPECT_EQ(core::kConfigMissingMessage,
              QStringLiteral("Arquivo FORMULIX.INI não encontrado. Execute o programa Quinta.exe para criá-lo."));
    SiteConfig c;
    EXPECT_EQ(core::ReadSiteConfig(QStringLiteral("C:\\FORMULIX\\"), root(), c), core::ConfigRead::Missing);
    EXPECT_EQ(c.ProgramFolder, QStringLiteral("C:\\FORMULIX\\"));

    // A folder of that name is no configuration file.
    QDir(root()).mkdir(QStringLiteral("FORMULIX.INI"));
    EXPECT_EQ(core::ReadSiteConfig(QStringLiteral("C:\\FORMULIX\\"), root(), c), core::ConfigRead::Missing);
}

TEST_F(ReadSiteConfigTest, FolderLongerThanSixtyIsLookedForUnderTheCutPath)
{
    // C:\FORMULIX\ (12) + 50 characters + \ : 63 characters, 3 over.
    const QString leaf = QStringLiteral("programas").leftJustified(50, u'x');
    const QString windows = QStringLiteral("C:\\FORMULIX\\") + leaf + u'\\';
    ASSERT_EQ(windows.size(), 63);
    const QString local = root() + "/FORMULIX/" + leaf + "/";
    write(local + "FORMULIX.INI", line(kServer, "SRV"));

    SiteConfig c;
    EXPECT_EQ(core::ReadSiteConfig(windows, local, c), core::ConfigRead::Missing);
    EXPECT_EQ(c.ProgramFolder, windows.left(60));
    EXPECT_EQ(c.ServerAddress, QString());

    // The cut text names a file beside the folder: that one is read, as Windows would.
    write(root() + "/FORMULIX/" + leaf.left(48) + "FORMULIX.INI", line(kServer, "CUT"));
    EXPECT_EQ(core::ReadSiteConfig(windows, local, c), core::ConfigRead::Ok);
    EXPECT_EQ(c.ServerAddress, QStringLiteral("CUT"));
}

TEST_F(ReadSiteConfigTest, FileThatExistsButCannotBeReadIsReportedNotParsed)
{
    // Reading /proc/self/mem at offset 0 fails with an I/O error, whoever runs the test.
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), root() + "/FORMULIX.INI"));
    SiteConfig c;
    QString error;
    EXPECT_EQ(core::ReadSiteConfig(QStringLiteral("C:\\FORMULIX\\"), root(), c, &error), core::ConfigRead::Unreadable);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Não foi possível ler o arquivo C:\\FORMULIX\\FORMULIX.INI: ")))
        << error.toStdString();
    EXPECT_GT(error.size(), QStringLiteral("Não foi possível ler o arquivo C:\\FORMULIX\\FORMULIX.INI: ").size());
}
