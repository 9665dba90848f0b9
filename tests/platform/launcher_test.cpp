// Windows command lines split into arguments as Windows programs read them, and the launcher's
// answer for a program that is not there.
#include "platform/launcher.h"
#include "platform/winpath.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(Launcher, SplitsLikeWindows)
{
    const struct {
        const char *line;
        QStringList args;
    } cases[] = {
        {R"(\\srv\FORMULIX\Arinto.exe 0012 L-9  "Galena Ltda"  "31/05/2027"  "MARIA")",
         {R"(\\srv\FORMULIX\Arinto.exe)", "0012", "L-9", "Galena Ltda", "31/05/2027", "MARIA"}},
        {"  a\tb  ", {"a", "b"}},
        {R"("" x)", {"", "x"}},
        {R"(ab"c d"e f)", {"abc de", "f"}},
        {R"(a\\b a\"b a\\"b c" d)", {R"(a\\b)", R"(a"b)", R"(a\b c)", "d"}},
        {R"("a ""b"" c")", {R"(a "b" c)"}},
        {R"("open ended)", {"open ended"}},
        {"", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(platform::SplitWindowsCommandLine(QString::fromUtf8(c.line)), c.args) << c.line;
}

TEST(Launcher, MissingProgramIsNotStarted)
{
    QTemporaryDir dir;
    const platform::WinPaths paths = platform::WinPaths::parse(QStringLiteral("C: = .\n"), dir.path());
    EXPECT_FALSE(platform::ProgramExists(paths, QStringLiteral("C:\\nada.exe")));
    EXPECT_EQ(platform::StartProgram(paths, QStringLiteral("C:\\nada.exe a b")), platform::LaunchResult::Missing);
    // A location no mapping covers is missing too.
    EXPECT_EQ(platform::StartProgram(paths, QStringLiteral("\\\\outro\\x\\p.exe")), platform::LaunchResult::Missing);
}

} // namespace
