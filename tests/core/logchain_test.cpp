// The activity log's chain: written with every line, and every kind of later change to the log
// (or to the chain, or to both) named by the check at its first line.
#include "core/activitylog.h"
#include "core/logchain.h"

#include "platform/clock.h"
#include "platform/winpath.h"
#include "support/recordingoperator.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

using core::Tamper;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Lines with their ends, as the chain sees them.
QList<QByteArray> split(const QByteArray &bytes, int size)
{
    QList<QByteArray> out;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype end = size > 0 ? at + size : bytes.indexOf('\n', at) + 1;
        out << bytes.mid(at, (end > 0 ? end : bytes.size()) - at);
        at = end > 0 ? end : bytes.size();
    }
    return out;
}

class LogChainTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("share/LOG")));
        m_paths = platform::WinPaths::parse(QStringLiteral("\\\\SERVIDOR\\Formulix = share\n"), m_dir.path());
        core::ActivityLog log(m_clock, m_paths);
        ASSERT_TRUE(log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("MARIA"), m_op));
        const char *texts[] = {"Alterou o Saldo Atual de 12345,67 para 12,00", "Transferiu 2,5 G do lote Á1",
                               "Justificativa: contagem\r\nrefeita", "Imprimiu o relatório de vencimentos",
                               "Alterou a Validade de 31/12/2025 para 30/06/2026", "Saiu do módulo"};
        for (const char *t : texts)
            log.WriteActivityLine(QStringLiteral("JOÃO"), QString::fromUtf8(t));
        m_log = readAll(logPath());
        m_chain = readAll(chainPath());
    }

    QString logPath() const { return m_dir.path() + QStringLiteral("/share/LOG/LOGESTOQ_2024-03.TXT"); }
    QString chainPath() const { return m_dir.path() + QStringLiteral("/share/LOG/LOGESTOQ_2024-03.HASH"); }
    // The hash kept after `lines` lines of the untouched chain.
    QByteArray hashAfter(int lines) const
    {
        return QByteArray::fromHex(m_chain.mid((lines - 1) * core::kChainEntrySize, 64));
    }

    QTemporaryDir m_dir;
    platform::WinPaths m_paths;
    platform::FixedClock m_clock{QDateTime(QDate(2024, 3, 7), QTime(14, 5, 59))};
    testsupport::RecordingOperator m_op;
    QByteArray m_log, m_chain;
};

TEST_F(LogChainTest, EveryLineIsChainedAsWrittenAndTheLogStaysAsItWas)
{
    const QList<QByteArray> lines = split(m_log, 0);
    ASSERT_EQ(lines.size(), 3 + 2 + 6);   // header, login, the lines written
    EXPECT_TRUE(m_log.startsWith("--------------------------------\r\n  LOG criado em 07/03/24-14:05\r\n"));
    EXPECT_EQ(lines[7], QByteArray("07/03/24-14:05 - JO\xc3" "O - Justificativa: contagem refeita\r\n"));
    ASSERT_EQ(m_chain.size(), lines.size() * core::kChainEntrySize);
    QByteArray previous(32, '\0');
    for (int i = 0; i < lines.size(); ++i) {
        previous = QCryptographicHash::hash(previous + lines[i], QCryptographicHash::Sha256);
        EXPECT_EQ(m_chain.mid(i * core::kChainEntrySize, core::kChainEntrySize), previous.toHex() + "\r\n") << i;
    }
    const core::ChainCheck c = core::VerifyChain(logPath(), chainPath(), nullptr);
    EXPECT_EQ(c.kind, Tamper::None);
    EXPECT_EQ(c.lines, 11);
    EXPECT_EQ(core::ChainCheckMessage(c, QStringLiteral("LOGESTOQ_2024-03.HASH")),
              QStringLiteral("Nenhuma alteração encontrada: as 11 linhas conferem com a cadeia de verificação.\r"
                             "O banco central não tem a tabela LOGCADEIA: não foi verificado se o final do histórico "
                             "foi cortado junto com a cadeia."));
}

TEST_F(LogChainTest, EachKindOfChangeIsNamedAtItsFirstLine)
{
    using Lines = QList<QByteArray>;
    struct Case {
        const char *what;
        std::function<void(Lines &log, Lines &chain)> change;
        Tamper kind;
        qint64 line;
        const char *message;
    };
    const auto rechain = [](Lines &log, Lines &chain) {
        QByteArray previous(32, '\0');
        chain.clear();
        for (const QByteArray &l : log) {
            previous = QCryptographicHash::hash(previous + l, QCryptographicHash::Sha256);
            chain << previous.toHex() + "\r\n";
        }
    };
    const Case cases[] = {
        {"untouched", [](Lines &, Lines &) {}, Tamper::None, 0, nullptr},
        {"a figure edited", [](Lines &l, Lines &) { l[5].replace("12,00", "72,00"); }, Tamper::Edited, 6,
         "A linha 6 foi alterada."},
        {"an accent edited", [](Lines &l, Lines &) { l[6].replace("\xc1", "A"); }, Tamper::Edited, 7, nullptr},
        {"the header edited", [](Lines &l, Lines &) { l[1].replace("07/03", "06/03"); }, Tamper::Edited, 2, nullptr},
        {"the last line edited", [](Lines &l, Lines &) { l[10].replace("Saiu", "Sai"); }, Tamper::Edited, 11, nullptr},
        {"a line end changed", [](Lines &l, Lines &) { l[4].replace("\r\n", "\n"); }, Tamper::Edited, 5, nullptr},
        {"a line removed", [](Lines &l, Lines &) { l.removeAt(5); }, Tamper::Removed, 6, "A linha 6 foi removida."},
        {"the first line removed", [](Lines &l, Lines &) { l.removeAt(0); }, Tamper::Removed, 1, nullptr},
        {"a line inserted", [](Lines &l, Lines &) { l.insert(5, "07/03/24-14:05 - MARIA - Entrou\r\n"); },
         Tamper::Inserted, 6, "A linha 6 foi inserida."},
        {"a line copied after itself", [](Lines &l, Lines &) { l.insert(6, l[5]); }, Tamper::Inserted, 7, nullptr},
        {"two lines swapped", [](Lines &l, Lines &) { l.swapItemsAt(5, 6); }, Tamper::Reordered, 6,
         "As linhas 6 e 7 foram trocadas de ordem."},
        {"two lines in a row edited", [](Lines &l, Lines &) { l[5].replace("12,00", "1,00"); l[6].replace("2,5", "9"); },
         Tamper::Differs, 6, "O histórico não confere com a cadeia de verificação a partir da linha 6."},
        {"a line appended", [](Lines &l, Lines &) { l << "07/03/24-18:00 - MARIA - Ajuste\r\n"; }, Tamper::Unchained, 12,
         "A linha 12 foi inserida no final, sem registro na cadeia de verificação (1 linha(s) a mais)."},
        {"the end cut", [](Lines &l, Lines &) { l.removeLast(); l.removeLast(); }, Tamper::CutShort, 10,
         "O histórico termina na linha 9, mas a cadeia de verificação registra 11 linhas: o final do arquivo foi "
         "cortado."},
        {"half a line left at the end", [](Lines &l, Lines &) { l[10].chop(10); }, Tamper::Edited, 11, nullptr},
        {"a chain entry edited", [](Lines &, Lines &c) { c[3][0] = c[3][0] == 'a' ? 'b' : 'a'; }, Tamper::ChainDamaged,
         4, nullptr},
        {"the chain cut inside an entry", [](Lines &, Lines &c) { c.last().chop(3); }, Tamper::ChainDamaged, 11,
         nullptr},
        {"a line edited and the chain made again", [&](Lines &l, Lines &c) { l[5].replace("12,00", "72,00"); rechain(l, c); },
         Tamper::None, 0, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Lines log = split(m_log, 0), chain = split(m_chain, core::kChainEntrySize);
        c.change(log, chain);
        writeAll(logPath(), log.join());
        writeAll(chainPath(), chain.join());
        const core::ChainCheck check = core::VerifyChain(logPath(), chainPath(), nullptr);
        EXPECT_EQ(check.kind, c.kind);
        EXPECT_EQ(check.line, c.line);
        EXPECT_EQ(core::ChainTampered(check), c.kind != Tamper::None);
        if (c.message) {
            EXPECT_TRUE(core::ChainCheckMessage(check, {}).startsWith(QString::fromUtf8(c.message)))
                << core::ChainCheckMessage(check, {}).toStdString();
        }
    }
}

TEST_F(LogChainTest, TheCentralDaysShowALogCutOrRewrittenTogetherWithItsChain)
{
    // Two days kept: the 6th after line 8, the 7th after line 11.
    const std::vector<core::ChainAnchor> anchors = {{QDate(2024, 3, 6), 8, hashAfter(8)},
                                                    {QDate(2024, 3, 7), 11, hashAfter(11)}};
    core::ChainCheck c = core::VerifyChain(logPath(), chainPath(), &anchors);
    EXPECT_EQ(c.kind, Tamper::None);
    EXPECT_EQ(core::ChainCheckMessage(c, {}),
              QStringLiteral("Nenhuma alteração encontrada: as 11 linhas conferem com a cadeia de verificação.\r"
                             "O último registro de cada dia confere com o banco central (2 dia(s))."));

    // Both cut at line 9: the chain agrees with the log, the 7th does not.
    writeAll(logPath(), split(m_log, 0).mid(0, 9).join());
    writeAll(chainPath(), m_chain.left(9 * core::kChainEntrySize));
    c = core::VerifyChain(logPath(), chainPath(), &anchors);
    EXPECT_EQ(c.kind, Tamper::AnchorCut);
    EXPECT_EQ(core::ChainCheckMessage(c, {}),
              QStringLiteral("O histórico termina na linha 9, mas o banco central registra 11 linhas em 07/03/2024: "
                             "o final do arquivo e da cadeia foi cortado."));
    EXPECT_EQ(core::VerifyChain(logPath(), chainPath(), nullptr).kind, Tamper::None);

    // Line 6 edited and every hash after it made again: only the 6th's hash shows it.
    QList<QByteArray> lines = split(m_log, 0);
    lines[5].replace("12,00", "72,00");
    QByteArray previous(32, '\0'), chain;
    for (const QByteArray &l : lines) {
        previous = QCryptographicHash::hash(previous + l, QCryptographicHash::Sha256);
        chain += previous.toHex() + "\r\n";
    }
    writeAll(logPath(), lines.join());
    writeAll(chainPath(), chain);
    c = core::VerifyChain(logPath(), chainPath(), &anchors);
    EXPECT_EQ(c.kind, Tamper::AnchorDiffers);
    EXPECT_EQ(core::ChainCheckMessage(c, {}),
              QStringLiteral("As linhas até a linha 8 não conferem com o registro do banco central de 06/03/2024: o "
                             "histórico foi alterado e a cadeia refeita."));

    // No chain at all.
    QFile::remove(chainPath());
    c = core::VerifyChain(logPath(), chainPath(), &anchors);
    EXPECT_EQ(c.kind, Tamper::NoChain);
    EXPECT_EQ(core::ChainCheckMessage(c, QStringLiteral("LOGESTOQ_2024-03.HASH")),
              QStringLiteral("Este histórico não tem cadeia de verificação (LOGESTOQ_2024-03.HASH): nada pôde ser "
                             "verificado."));
}

TEST_F(LogChainTest, AMonthBegunWithoutAChainIsTakenInAsItStandsAtTheNextLine)
{
    // The program of a workstation not yet updated wrote the month; its chain begins at the next line.
    QFile::remove(chainPath());
    core::ActivityLog log(m_clock, m_paths);
    ASSERT_TRUE(log.OpenActivityLog(QStringLiteral("SERVIDOR"), QStringLiteral("ANA"), m_op));
    const QByteArray now = readAll(logPath());
    EXPECT_TRUE(now.startsWith(m_log));
    EXPECT_EQ(readAll(chainPath()).size(), 13 * core::kChainEntrySize);
    EXPECT_EQ(readAll(chainPath()).left(11 * core::kChainEntrySize), m_chain);
    EXPECT_EQ(core::VerifyChain(logPath(), chainPath(), nullptr).kind, Tamper::None);
    EXPECT_EQ(core::ChainFilePath(QStringLiteral("\\\\SRV\\Formulix\\LOG\\LOGESTOQ_2024-03.TXT")),
              QStringLiteral("\\\\SRV\\Formulix\\LOG\\LOGESTOQ_2024-03.HASH"));
    EXPECT_EQ(core::ChainAnchorName(QStringLiteral("\\\\SRV\\Formulix\\LOG\\LogEstoq_2024-03.txt")),
              QStringLiteral("LOGESTOQ_2024-03.TXT"));
}

} // namespace
