// The monthly activity log on a server share of a temporary installation, byte for byte.
#include "core/activitylog.h"

#include "platform/clock.h"
#include "platform/winpath.h"
#include "support/recordingoperator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

using testsupport::MessageKind;
using testsupport::RecordedMessage;

namespace {

const QByteArray kHeaderMarch7 =
    "--------------------------------\r\n"
    "  LOG criado em 07/03/24-14:05\r\n"
    "--------------------------------\r\n";
const QByteArray kLoginMarch7 =
    "07/03/24-14:05 - MARIA - ---------------------------------------------\r\n"
    "07/03/24-14:05 - MARIA - Entrou no m\xf3" "dulo de Posicao Atual do Estoque.\r\n";

class ActivityLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // The server's share as this machine reaches it, and this desktop's drive C:.
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("share/LOG")));
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("c/FORMULIX")));
        m_paths = platform::WinPaths::parse(QStringLiteral("\\\\SERVIDOR\\Formulix = share\nC: = c\n"), m_dir.path());
    }

    QString logDir() const { return m_dir.path() + QStringLiteral("/share/LOG"); }
    QString logFile(const QString &month) const { return logDir() + QStringLiteral("/LOGESTOQ_") + month + ".TXT"; }

    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
    }

    QTemporaryDir m_dir;
    platform::WinPaths m_paths;
    platform::FixedClock m_clock{QDateTime(QDate(2024, 3, 7), QTime(14, 5, 59))};
    testsupport::RecordingOperator m_op;
};

TEST_F(ActivityLogTest, FirstLoginOfTheMonthCreatesTheFileWithItsHeader)
{
    core::ActivityLog log(m_clock, m_paths);
    EXPECT_EQ(log.path(), QString());
    ASSERT_TRUE(log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    EXPECT_EQ(log.path(), QStringLiteral("\\\\SERVIDOR\\Formulix\\LOG\\LOGESTOQ_2024-03.TXT"));
    EXPECT_TRUE(m_op.messages().isEmpty());
    EXPECT_EQ(contents(logFile("2024-03")), kHeaderMarch7 + kLoginMarch7);

    m_clock.set(QDateTime(QDate(2024, 3, 7), QTime(9, 7)));
    log.WriteActivityLine(QStringLiteral("MARIA"), QStringLiteral("Cancelou a operação. Saldo atual: 12,5"));
    EXPECT_EQ(contents(logFile("2024-03")),
              kHeaderMarch7 + kLoginMarch7 + "07/03/24-09:07 - MARIA - Cancelou a opera\xe7\xe3o. Saldo atual: 12,5\r\n");
}

TEST_F(ActivityLogTest, LineBreaksInsideATextAreWrittenAsBlanks)
{
    core::ActivityLog log(m_clock, m_paths);
    ASSERT_TRUE(log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    const struct {
        QString text;
        QByteArray line;
    } cases[] = {
        {QStringLiteral("a\r\nb"), "a b"},
        {QStringLiteral("a\nb\rc"), "a b c"},
        {QStringLiteral("a\r\n\r\nb"), "a  b"},
        {QStringLiteral("fim\n"), "fim "},
        {QStringLiteral("a") + QChar(0x2028) + QStringLiteral("b") + QChar(0x2029) + QStringLiteral("c\vd\fe"), "a b c d e"},
    };
    QByteArray expected = kHeaderMarch7 + kLoginMarch7;
    for (const auto &c : cases) {
        log.WriteActivityLine(QStringLiteral("MARIA"), QStringLiteral("Justificativa: ") + c.text);
        expected += "07/03/24-14:05 - MARIA - Justificativa: " + c.line + "\r\n";
    }
    EXPECT_EQ(contents(logFile("2024-03")), expected);
}

TEST_F(ActivityLogTest, LaterLoginsAppendWithoutAnotherHeader)
{
    {
        core::ActivityLog first(m_clock, m_paths);
        ASSERT_TRUE(first.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    }
    m_clock.set(QDateTime(QDate(2024, 3, 20), QTime(8, 0)));
    core::ActivityLog second(m_clock, m_paths);
    // The share's host and folder are found whatever case the configuration writes them in.
    ASSERT_TRUE(second.OpenActivityLog(QStringLiteral("servidor"), QStringLiteral("JOSÉ"), m_op));
    second.WriteActivityLine(QStringLiteral("JOSÉ"), core::kExitLine);
    EXPECT_EQ(contents(logFile("2024-03")),
              kHeaderMarch7 + kLoginMarch7
                  + "20/03/24-08:00 - JOS\xc9 - ---------------------------------------------\r\n"
                    "20/03/24-08:00 - JOS\xc9 - Entrou no m\xf3" "dulo de Posicao Atual do Estoque.\r\n"
                    "20/03/24-08:00 - JOS\xc9 - Saiu do m\xf3" "dulo de Posicao Atual do Estoque.\r\n");
    EXPECT_TRUE(m_op.messages().isEmpty());
}

TEST_F(ActivityLogTest, RunCrossingTheMonthKeepsWritingTheLoginMonth)
{
    m_clock.set(QDateTime(QDate(2024, 3, 31), QTime(23, 50)));
    core::ActivityLog log(m_clock, m_paths);
    ASSERT_TRUE(log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    m_clock.set(QDateTime(QDate(2024, 4, 1), QTime(0, 10)));
    log.WriteActivityLine(QStringLiteral("MARIA"), QStringLiteral("Salvou o registro corrente. Saldo atual: 3"));

    EXPECT_FALSE(QFile::exists(logFile("2024-04")));
    EXPECT_TRUE(contents(logFile("2024-03")).endsWith(
        "31/03/24-23:50 - MARIA - Entrou no m\xf3" "dulo de Posicao Atual do Estoque.\r\n"
        "01/04/24-00:10 - MARIA - Salvou o registro corrente. Saldo atual: 3\r\n"));
    EXPECT_EQ(log.path(), QStringLiteral("\\\\SERVIDOR\\Formulix\\LOG\\LOGESTOQ_2024-03.TXT"));
}

TEST_F(ActivityLogTest, NeverOpenedLogWritesNothing)
{
    core::ActivityLog log(m_clock, m_paths);
    log.WriteActivityLine(QStringLiteral("MARIA"), core::kExitLine);
    EXPECT_TRUE(QDir(logDir()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST_F(ActivityLogTest, UnreachableLogFolderStopsTheLogin)
{
    EXPECT_EQ(core::kLogFolderErrorMessage,
              QStringLiteral("Erro tentando escrever na pasta Formulix. Verifique se a pasta C:\\FORMULIX está compartilhada."));
    const QList<RecordedMessage> shown = {{MessageKind::Inform, core::kLogFolderErrorMessage}};

    struct Case { const char *name; QString server; platform::WinPaths paths; };
    const Case cases[] = {
        {"no LOG folder on the share", QStringLiteral("OUTRO"),
         platform::WinPaths::parse(QStringLiteral("\\\\OUTRO\\Formulix = c"), m_dir.path())},
        {"share not mapped", QStringLiteral("SERVIDOR"), platform::WinPaths()},
        {"no server configured: three backslashes", QString(), m_paths},
    };
    for (const Case &k : cases) {
        testsupport::RecordingOperator op;
        core::ActivityLog log(m_clock, k.paths);
        EXPECT_FALSE(log.OpenActivityLog(k.server, QStringLiteral("MARIA"), op)) << k.name;
        EXPECT_EQ(op.messages(), shown) << k.name;
        // Lines of the login that still run are lost quietly.
        log.WriteActivityLine(QStringLiteral("MARIA"), core::kExitLine);
    }
    EXPECT_EQ(QDir(m_dir.path() + "/c").entryList(QDir::Files), QStringList());
    EXPECT_TRUE(QDir(logDir()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST_F(ActivityLogTest, DeletedFileLosesLinesUntilTheNextLogin)
{
    core::ActivityLog log(m_clock, m_paths);
    ASSERT_TRUE(log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    ASSERT_TRUE(QFile::remove(logFile("2024-03")));
    log.WriteActivityLine(QStringLiteral("MARIA"), QStringLiteral("Excluiu o registro de X (1)"));
    EXPECT_FALSE(QFile::exists(logFile("2024-03")));

    core::ActivityLog next(m_clock, m_paths);
    ASSERT_TRUE(next.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    EXPECT_EQ(contents(logFile("2024-03")), kHeaderMarch7 + kLoginMarch7);
}

TEST_F(ActivityLogTest, BusyFileIsWaitedForThenGivenUp)
{
    core::ActivityLog log(m_clock, m_paths);
    ASSERT_TRUE(log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    const QByteArray before = contents(logFile("2024-03"));

    // Another workstation holds the file the whole time: the line is lost, quietly.
    const QByteArray local = QFile::encodeName(logFile("2024-03"));
    const int other = ::open(local.constData(), O_WRONLY | O_APPEND);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    log.WriteActivityLine(QStringLiteral("MARIA"), QStringLiteral("perdida"));
    EXPECT_EQ(contents(logFile("2024-03")), before);

    // Held for a moment only: the line waits and goes in.
    std::unique_ptr<QThread> release(QThread::create([other] {
        QThread::msleep(200);
        ::flock(other, LOCK_UN);
    }));
    release->start();
    log.WriteActivityLine(QStringLiteral("MARIA"), QStringLiteral("esperou"));
    release->wait();
    ::close(other);
    EXPECT_EQ(contents(logFile("2024-03")), before + "07/03/24-14:05 - MARIA - esperou\r\n");
    EXPECT_TRUE(m_op.messages().isEmpty());
}

TEST_F(ActivityLogTest, FileThatCannotBeWrittenLosesTheLineQuietly)
{
    core::ActivityLog log(m_clock, m_paths);
    ASSERT_TRUE(log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    // Something that is no writable file stands where the month's file is.
    ASSERT_TRUE(QFile::remove(logFile("2024-03")));
    ASSERT_TRUE(QDir().mkdir(logFile("2024-03")));
    log.WriteActivityLine(QStringLiteral("MARIA"), QStringLiteral("perdida"));
    EXPECT_TRUE(QFileInfo(logFile("2024-03")).isDir());

    // A later login of the month finds something there and reports nothing, as for any file
    // that exists but cannot be written.
    core::ActivityLog next(m_clock, m_paths);
    EXPECT_TRUE(next.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    EXPECT_TRUE(m_op.messages().isEmpty());
}

TEST_F(ActivityLogTest, AMonthsLogThatIsAFifoNeverHoldsTheLogin)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(logFile(QStringLiteral("2024-03"))).constData(), 0666), 0);
    ::alarm(20);   // a log that blocks would hold the test here: end it instead
    core::ActivityLog log(m_clock, m_paths);
    EXPECT_TRUE(log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    log.WriteActivityLine(QStringLiteral("MARIA"), QStringLiteral("Saiu do módulo de Posicao Atual do Estoque."));
    // With a reader at the other end it is still no file to append to.
    const int reader = ::open(QFile::encodeName(logFile(QStringLiteral("2024-03"))).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    log.WriteActivityLine(QStringLiteral("MARIA"), QStringLiteral("Saiu do módulo de Posicao Atual do Estoque."));
    char buf[16];
    EXPECT_LE(::read(reader, buf, sizeof buf), 0);   // nothing went into it
    ::close(reader);
    ::alarm(0);
    EXPECT_TRUE(m_op.messages().isEmpty());
}

TEST_F(ActivityLogTest, AFullDiskAtTheHeaderLeavesNoEmptyFileAndStopsTheLogin)
{
    // A disk with room for a new name but not for a byte of it: the file is created, its header
    // write fails (writes beyond the size limit fail as on a full disk).
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit full = saved;
    full.rlim_cur = 0;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    core::ActivityLog log(m_clock, m_paths);
    const bool opened = log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(opened);
    EXPECT_EQ(m_op.messages(), (QList<RecordedMessage>{{MessageKind::Inform, core::kLogFolderErrorMessage}}));
    EXPECT_EQ(QDir(logDir()).entryList(QDir::Files), QStringList());   // no empty month's file, no leftovers
    // The next login, with room again, makes the month's file with its header.
    m_op.clear();
    ASSERT_TRUE(log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    EXPECT_EQ(contents(logFile(QStringLiteral("2024-03"))), kHeaderMarch7 + kLoginMarch7);
}

TEST_F(ActivityLogTest, LinesOfSeveralWorkstationsNeverMix)
{
    core::ActivityLog opener(m_clock, m_paths);
    ASSERT_TRUE(opener.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
    const QByteArray before = contents(logFile("2024-03"));

    constexpr int kLines = 300;
    const QString longText = QStringLiteral("Justificativa: ") + QString(400, u'x');
    const auto workstation = [&](const QString &user) {
        return QThread::create([this, user, longText] {
            core::ActivityLog log(m_clock, m_paths);
            testsupport::RecordingOperator op;
            log.OpenActivityLog(QStringLiteral("SERVIDOR"), user, op);
            for (int i = 0; i < kLines; ++i)
                log.WriteActivityLine(user, longText);
        });
    };
    std::unique_ptr<QThread> a(workstation(QStringLiteral("ANA")));
    std::unique_ptr<QThread> b(workstation(QStringLiteral("BETO")));
    a->start();
    b->start();
    a->wait();
    b->wait();

    const QList<QByteArray> lines = contents(logFile("2024-03")).mid(before.size()).split('\n');
    ASSERT_EQ(lines.size(), 2 * (kLines + 2) + 1);
    EXPECT_TRUE(lines.last().isEmpty());
    int ana = 0, beto = 0;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray &l = lines.at(i);
        if (l.contains("Justificativa")) {
            ASSERT_TRUE(l == "07/03/24-14:05 - ANA - " + longText.toLatin1() + "\r"
                        || l == "07/03/24-14:05 - BETO - " + longText.toLatin1() + "\r") << l.left(60).constData();
            (l.contains(" ANA ") ? ana : beto)++;
        }
    }
    EXPECT_EQ(ana, kLines);
    EXPECT_EQ(beto, kLines);
}

TEST_F(ActivityLogTest, DiagnosticFileReplacesItsContent)
{
    const QString erro = QStringLiteral("c:\\formulix\\ErroEstoque.txt");
    ASSERT_TRUE(core::WriteDiagnosticFile(m_paths, erro, {QStringLiteral("select A from B where (X = 'longo demais')")}));
    const QString statement = QStringLiteral("select DESCRICAO from ESTLOTE where ( or UPPER(LABORATORIO) = 'MANIPULAçãO')");
    ASSERT_TRUE(core::WriteDiagnosticFile(m_paths, erro, {statement}));
    EXPECT_EQ(contents(m_dir.path() + "/c/FORMULIX/ErroEstoque.txt"),
              "select DESCRICAO from ESTLOTE where ( or UPPER(LABORATORIO) = 'MANIPULA\xe7\xe3O')\r\n");

    ASSERT_TRUE(core::WriteDiagnosticFile(m_paths, QStringLiteral("C:\\FORMULIX\\sql.txt"), {"a", "", "b"}));
    EXPECT_EQ(contents(m_dir.path() + "/c/FORMULIX/sql.txt"), QByteArray("a\r\n\r\nb\r\n"));

    QString error;
    EXPECT_FALSE(core::WriteDiagnosticFile(m_paths, QStringLiteral("D:\\FORMULIX\\sql.txt"), {"a"}, &error));
    EXPECT_FALSE(core::WriteDiagnosticFile(m_paths, QStringLiteral("C:\\NAOEXISTE\\sql.txt"), {"a"}, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("C:\\NAOEXISTE\\sql.txt"))) << error.toStdString();
}

} // namespace
