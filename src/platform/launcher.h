// Starting another program of the suite by a Windows command line, without waiting for it.
#pragma once
#include <QString>
#include <QStringList>

namespace platform {

class WinPaths;

// A command line split into arguments the way Windows programs read theirs: blanks and tabs
// separate, double quotes group (and are dropped), 2n backslashes before a quote give n and the
// quote acts, 2n+1 give n and a literal quote, other backslashes are kept.
QStringList SplitWindowsCommandLine(const QString &commandLine);

enum class LaunchResult { Started, Missing, Failed };

// Whether a file exists at a Windows location (mapped through drives.conf off Windows).
bool ProgramExists(const WinPaths &paths, const QString &windowsPath);

// Starts the program named by the command line's first argument (a Windows location) with the
// rest as its arguments, detached and minimised where the platform allows; never waits.
LaunchResult StartProgram(const WinPaths &paths, const QString &commandLine);

} // namespace platform
