// Windows drives, shares and database paths mapped through drives.conf onto a temporary disk.
#include "platform/winpath.h"
#include "support/qtprint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using platform::DatabaseTarget;
using platform::WinPaths;

namespace {

void makeFile(const QString &path, const QByteArray &content = QByteArray())
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

// The disk of the installation: the desktop's C: under c/, the server's share under share/, the
// program under prog/ (relative lines of drives.conf start there).
class WinPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        m_root = QFileInfo(m_tmp.path()).canonicalFilePath();
        makeFile(at("@/c/FORMULIX/Dados/FORMULIX.BD"));
        QDir().mkpath(at("@/c/FORMULIX/interfac03"));
        QDir().mkpath(at("@/c/Caso"));
        QDir().mkpath(at("@/c/caso"));
        QDir().mkpath(at("@/cx"));
        makeFile(at("@/share/LOG/LOGESTOQ_2024-03.TXT"));
        QDir().mkpath(at("@/prog"));
        m_paths = WinPaths::parse(at(
            "# drives of this desktop\n"
            "C: = ../c   # relative to the program folder\n"
            "\n"
            "  \\\\192.168.0.10\\Formulix   =   @/share  \n"
            "192.168.0.10:C: = 192.168.0.10:/srv/formulix/c\n"),
            at("@/prog"));
    }

    // "@" stands for the temporary root.
    QString at(const QString &text) const
    {
        QString out = text;
        return out.replace(QLatin1Char('@'), m_root);
    }

    QTemporaryDir m_tmp;
    QString m_root;
    WinPaths m_paths;
};

struct LocalCase {
    const char *windows;
    const char *local;  // "" when nothing maps it
};

TEST_F(WinPathTest, WindowsFilePathsFindTheirLocalFile)
{
    const LocalCase cases[] = {
        // every existing component found whatever its case
        {"C:\\formulix\\dados\\formulix.bd", "@/c/FORMULIX/Dados/FORMULIX.BD"},
        {"c:\\FORMULIX\\DADOS\\FORMULIX.BD", "@/c/FORMULIX/Dados/FORMULIX.BD"},
        {"C:/formulix/Dados", "@/c/FORMULIX/Dados"},
        {"C:\\formulix\\Dados\\", "@/c/FORMULIX/Dados/"},
        {"C:\\", "@/c/"},
        {"C:", "@/c"},
        // what does not exist keeps the case written, below the last folder found
        {"C:\\formulix\\Novo\\Arquivo.TXT", "@/c/FORMULIX/Novo/Arquivo.TXT"},
        {"C:\\formulix\\dados\\sql.txt", "@/c/FORMULIX/Dados/sql.txt"},
        {"C:\\FORMULIX\\INTERFAC03\\formulix.bd", "@/c/FORMULIX/interfac03/formulix.bd"},
        // two folders differing only in case: the one spelt as written wins
        {"C:\\caso", "@/c/caso"},
        {"C:\\Caso", "@/c/Caso"},
        // ".." stays on the drive, as on Windows
        {"C:\\formulix\\..\\FORMULIX\\.\\dados", "@/c/FORMULIX/Dados"},
        {"C:\\..\\..\\cx", "@/c/cx"},
        // shares: host and share name without regard to case
        {"\\\\192.168.0.10\\formulix\\log\\logestoq_2024-03.txt", "@/share/LOG/LOGESTOQ_2024-03.TXT"},
        {"\\\\192.168.0.10\\Formulix\\LOG\\LOGESTOQ_2024-04.TXT", "@/share/LOG/LOGESTOQ_2024-04.TXT"},
        {"\\\\192.168.0.10\\FORMULIX\\", "@/share/"},
        {"\\\\192.168.0.10\\Formulix\\..\\..\\LOG", "@/share/LOG"},
        // nothing maps these
        {"D:\\formulix\\x.txt", ""},
        {"\\\\192.168.0.11\\Formulix\\LOG", ""},
        {"\\\\192.168.0.10\\Outra\\LOG", ""},
        {"\\\\192.168.0.10", ""},
        {"formulix\\x.txt", ""},
        {"", ""},
    };
    for (const LocalCase &c : cases) {
        const QString windows = QString::fromUtf8(c.windows);
        EXPECT_EQ(m_paths.toLocal(windows), at(QString::fromUtf8(c.local))) << c.windows;
    }
}

TEST_F(WinPathTest, MappingCreatesNoFolder)
{
    EXPECT_EQ(m_paths.toLocal("C:\\formulix\\Novo\\Sub\\a.txt"), at("@/c/FORMULIX/Novo/Sub/a.txt"));
    EXPECT_FALSE(QFileInfo::exists(at("@/c/FORMULIX/Novo")));
}

TEST_F(WinPathTest, NativePathsPassThroughWithCaseIgnored)
{
    // A program folder under no mapped root is used as a native path; the names written after it
    // in Windows style still find their files.
    EXPECT_EQ(m_paths.toLocal(at("@/prog/")), at("@/prog/"));
    EXPECT_EQ(m_paths.toLocal(at("@/C/formulix\\DADOS\\Formulix.bd")), at("@/c/FORMULIX/Dados/FORMULIX.BD"));
    EXPECT_EQ(m_paths.toLocal(at("@/prog/FORMULIX.INI")), at("@/prog/FORMULIX.INI"));
}

struct DatabaseCase {
    const char *path;
    bool valid;
    bool embedded;
    const char *location;
};

TEST_F(WinPathTest, DatabasePathsChooseEmbeddedOrServer)
{
    const DatabaseCase cases[] = {
        // this machine, no database line: the file itself, through the drive's mapping
        {"127.0.0.1:C:\\formulix\\Dados\\FORMULIX.BD", true, true, "@/c/FORMULIX/Dados/FORMULIX.BD"},
        {"localhost:c:\\FORMULIX\\dados\\formulix.bd", true, true, "@/c/FORMULIX/Dados/FORMULIX.BD"},
        {"LOCALHOST:C:\\formulix\\interfac03\\formulix.bd", true, true, "@/c/FORMULIX/interfac03/formulix.bd"},
        // another host through its database line, kept as written below the server's root
        {"192.168.0.10:C:\\formulix\\interfac03\\formulix.bd", true, false,
         "192.168.0.10:/srv/formulix/c/formulix/interfac03/formulix.bd"},
        {"192.168.0.10:c:\\formulix\\Dados\\FORMULIX.BD", true, false,
         "192.168.0.10:/srv/formulix/c/formulix/Dados/FORMULIX.BD"},
        // a path with no host is refused, as the server refuses it
        {":C:\\formulix\\Dados\\FORMULIX.BD", false, false, ""},
        // a host, or a drive, that nothing maps
        {"192.168.0.11:C:\\formulix\\Dados\\FORMULIX.BD", false, false, ""},
        {"192.168.0.10:D:\\formulix\\Dados\\FORMULIX.BD", false, false, ""},
        {"127.0.0.1:D:\\formulix\\Dados\\FORMULIX.BD", false, false, ""},
        {"FORMULIX.BD", false, false, ""},
        // no host at all is a file of this machine; a native path is already where the server looks
        {"C:\\formulix\\dados\\formulix.bd", true, true, "@/c/FORMULIX/Dados/FORMULIX.BD"},
        {"127.0.0.1:@/c/formulix/dados/FORMULIX.BD", true, true, "@/c/FORMULIX/Dados/FORMULIX.BD"},
        {"192.168.0.20:/srv/outro/FORMULIX.BD", true, false, "192.168.0.20:/srv/outro/FORMULIX.BD"},
    };
    for (const DatabaseCase &c : cases) {
        const DatabaseTarget t = m_paths.database(at(QString::fromUtf8(c.path)));
        EXPECT_EQ(t.valid, c.valid) << c.path;
        EXPECT_EQ(t.embedded, c.embedded) << c.path;
        EXPECT_EQ(t.location, at(QString::fromUtf8(c.location))) << c.path;
    }
}

TEST_F(WinPathTest, DatabaseLineWinsForThisMachine)
{
    // A server on this machine sees the same disk, so its folders are found without regard to case.
    const WinPaths paths = WinPaths::parse(at("C: = @/c\n127.0.0.1:C: = 127.0.0.1:@/c/\n"), at("@/prog"));
    const DatabaseTarget t = paths.database("127.0.0.1:C:\\formulix\\dados\\formulix.bd");
    EXPECT_TRUE(t.valid);
    EXPECT_FALSE(t.embedded);
    EXPECT_EQ(t.location, at("127.0.0.1:@/c/FORMULIX/Dados/FORMULIX.BD"));
    // localhost has no line of its own: it stays embedded.
    EXPECT_TRUE(paths.database("localhost:C:\\formulix\\Dados\\FORMULIX.BD").embedded);

    // A server of this machine on another port finds the folders the same way.
    struct Case {
        const char *conf, *path, *location;
    };
    const Case cases[] = {
        {"127.0.0.1:C: = 127.0.0.1/3071:@/c", "127.0.0.1:C:\\formulix\\dados\\formulix.bd",
         "127.0.0.1/3071:@/c/FORMULIX/Dados/FORMULIX.BD"},
        {"127.0.0.1:C: = localhost/3071:@/c/", "127.0.0.1:c:\\FORMULIX\\DADOS\\Formulix.Bd",
         "localhost/3071:@/c/FORMULIX/Dados/FORMULIX.BD"},
        {"127.0.0.1/3071:C: = 127.0.0.1/3071:@/c", "127.0.0.1/3071:C:\\formulix\\interfac03\\FORMULIX.BD",
         "127.0.0.1/3071:@/c/FORMULIX/interfac03/FORMULIX.BD"},
        // Another machine's server, port or not, keeps the path as written below its root.
        {"192.168.0.10:C: = 192.168.0.10/3071:/srv/c", "192.168.0.10:C:\\formulix\\dados\\formulix.bd",
         "192.168.0.10/3071:/srv/c/formulix/dados/formulix.bd"},
    };
    for (const Case &c : cases) {
        const WinPaths ported = WinPaths::parse(at(QString::fromUtf8(c.conf)), at("@/prog"));
        const DatabaseTarget p = ported.database(QString::fromUtf8(c.path));
        EXPECT_TRUE(p.valid) << c.conf;
        EXPECT_FALSE(p.embedded) << c.conf;
        EXPECT_EQ(p.location, at(QString::fromUtf8(c.location))) << c.conf;
    }
}

TEST_F(WinPathTest, ConfTextDetails)
{
    // Written on Windows (BOM, CR LF), lower-case drive, "#" inside a folder name, a later line
    // replacing an earlier one, and lines that are no mapping.
    const QString conf = at(QStringLiteral("\uFEFF# header\r\n"
                                           "d: = @/nowhere\r\n"
                                           "D: = @/c/#1   # the second line for D: wins\r\n"
                                           "E: =\r\n"
                                           "=@/c\r\n"
                                           "just text\r\n"
                                           "\\\\solo = @/c\r\n"
                                           "#F: = @/c\r\n"));
    QDir().mkpath(at("@/c/#1/Sub"));
    const WinPaths paths = WinPaths::parse(conf, at("@/prog"));
    EXPECT_EQ(paths.toLocal("D:\\sub\\x.txt"), at("@/c/#1/Sub/x.txt"));
    EXPECT_EQ(paths.toLocal("E:\\x"), QString());
    EXPECT_EQ(paths.toLocal("F:\\x"), QString());
    EXPECT_EQ(paths.toLocal("\\\\solo\\x"), QString());
    EXPECT_EQ(paths.windowsFolderOf(at("@/c/#1/Sub")), "D:\\Sub\\");
}

TEST_F(WinPathTest, LoadReadsDrivesConfOfTheProgramFolder)
{
    makeFile(at("@/prog/drives.conf"), "C: = ../c\n\\\\SERVIDOR\\formulix = ../share\n");
    const WinPaths paths = WinPaths::load(at("@/prog"));
    EXPECT_FALSE(paths.isEmpty());
    EXPECT_EQ(paths.toLocal("C:\\FORMULIX\\Dados\\FORMULIX.BD"), at("@/c/FORMULIX/Dados/FORMULIX.BD"));
    EXPECT_EQ(paths.toLocal("\\\\servidor\\FORMULIX\\LOG\\"), at("@/share/LOG/"));
}

TEST_F(WinPathTest, MissingDrivesConfMapsNothing)
{
    const WinPaths paths = WinPaths::load(at("@/c/FORMULIX"));
    EXPECT_TRUE(paths.isEmpty());
    EXPECT_EQ(paths.toLocal("C:\\FORMULIX\\Dados\\FORMULIX.BD"), QString());
    EXPECT_EQ(paths.toLocal("\\\\192.168.0.10\\Formulix\\LOG\\x.TXT"), QString());
    const DatabaseTarget t = paths.database("127.0.0.1:C:\\formulix\\Dados\\FORMULIX.BD");
    EXPECT_FALSE(t.valid);
    EXPECT_FALSE(paths.database("192.168.0.10:C:\\formulix\\interfac01\\formulix.bd").valid);
    EXPECT_EQ(paths.windowsFolderOf(at("@/c/FORMULIX")), at("@/c/FORMULIX/"));
}

TEST_F(WinPathTest, ProgramFolderSeenFromWindows)
{
    // A deeper root wins over the drive holding it.
    const WinPaths paths = WinPaths::parse(at("C: = @/c\n"
                                              "E: = @/c/FORMULIX/Dados\n"
                                              "\\\\192.168.0.10\\Formulix = @/share\n"),
                                           at("@/prog"));
    QFile::link(at("@/c/FORMULIX"), at("@/link"));
    const LocalCase cases[] = {
        {"@/c/FORMULIX", "C:\\FORMULIX\\"},
        {"@/c/FORMULIX/", "C:\\FORMULIX\\"},
        {"@/c/FORMULIX/interfac03/../", "C:\\FORMULIX\\"},
        {"@/c", "C:\\"},
        {"@/c/FORMULIX/Dados", "E:\\"},
        {"@/share", "\\\\192.168.0.10\\Formulix\\"},
        {"@/share/LOG", "\\\\192.168.0.10\\Formulix\\LOG\\"},
        {"@/link", "C:\\FORMULIX\\"},  // reached through a symbolic link
        // under no mapped root: the native folder, even when its name starts like a root's
        {"@/cx", "@/cx/"},
        {"@/prog", "@/prog/"},
    };
    for (const LocalCase &c : cases) {
        const QString dir = at(QString::fromUtf8(c.windows));
        EXPECT_EQ(paths.windowsFolderOf(dir), at(QString::fromUtf8(c.local))) << c.windows;
    }
    // Mapped back and forth, a folder is itself again.
    for (const char *dir : {"@/c/FORMULIX", "@/share/LOG", "@/c/FORMULIX/Dados", "@/cx"})
        EXPECT_EQ(paths.toLocal(paths.windowsFolderOf(at(dir))), at(dir) + "/") << dir;
}

} // namespace
