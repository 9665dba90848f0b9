// Windows command-line splitting and detached starts of the suite's programs.
#include "launcher.h"

#include "winpath.h"

#include <QFileInfo>
#include <QProcess>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace platform {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The first argument and where the rest of the line starts.
QString firstArgument(const QString &line, qsizetype *restAt)
{
    const QStringList args = SplitWindowsCommandLine(line);
    // Walk past the first argument as the splitter reads it: blanks end it outside quotes.
    qsizetype i = 0;
    while (i < line.size() && isBlank(line.at(i)))
        ++i;
    bool quoted = false;
    for (; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && isBlank(c))
            break;
    }
    *restAt = i;
    return args.value(0);
}

} // namespace

QStringList SplitWindowsCommandLine(const QString &commandLine)
{
    QStringList args;
    const qsizetype n = commandLine.size();
    qsizetype i = 0;
    while (true) {
        while (i < n && isBlank(commandLine.at(i)))
            ++i;
        if (i >= n)
            break;
        QString arg;
        bool quoted = false;
        while (i < n) {
            const QChar c = commandLine.at(i);
            if (c == QLatin1Char('\\')) {
                qsizetype slashes = 0;
                while (i < n && commandLine.at(i) == QLatin1Char('\\')) {
                    ++slashes;
                    ++i;
                }
                if (i < n && commandLine.at(i) == QLatin1Char('"')) {
                    arg += QString(slashes / 2, QLatin1Char('\\'));
                    if (slashes % 2) {
                        arg += QLatin1Char('"');
                        ++i;
                    }
                } else {
                    arg += QString(slashes, QLatin1Char('\\'));
                }
                continue;
            }
            if (c == QLatin1Char('"')) {
                // Inside quotes a doubled quote stands for one.
                if (quoted && i + 1 < n && commandLine.at(i + 1) == QLatin1Char('"')) {
                    arg += QLatin1Char('"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && isBlank(c))
                break;
            arg += c;
            ++i;
        }
        args << arg;
    }
    return args;
}

bool ProgramExists(const WinPaths &paths, const QString &windowsPath)
{
    const QString local = paths.toLocal(windowsPath);
    return !local.isEmpty() && QFileInfo(local).isFile();
}

LaunchResult StartProgram(const WinPaths &paths, const QString &commandLine)
{
    qsizetype restAt = 0;
    const QString program = firstArgument(commandLine, &restAt);
    const QString local = paths.toLocal(program);
    if (local.isEmpty() || !QFileInfo(local).isFile())
        return LaunchResult::Missing;
    QProcess process;
    process.setProgram(local);
#ifdef Q_OS_WIN
    // The program reads its own command line: hand it over as written, and start it minimised.
    process.setNativeArguments(commandLine.mid(restAt));
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *a) {
        a->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        a->startupInfo->wShowWindow = SW_SHOWMINNOACTIVE;
    });
#else
    process.setArguments(SplitWindowsCommandLine(commandLine).mid(1));
#endif
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached() ? LaunchResult::Started : LaunchResult::Failed;
}

} // namespace platform
