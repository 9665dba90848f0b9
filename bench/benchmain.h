// What every benchmark does with a wrong argument: it prints what is wrong and its usage and
// ends with an error status, never with an abort. A failure met on the way (a database that
// cannot be opened, a file that cannot be read) ends the same way.
#pragma once
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <cstdio>
#include <exception>
#include <functional>

namespace bench {

// Thrown by a benchmark that finds its arguments wrong.
struct UsageError {
    QString problem;
};

// A database argument: "host:/path" goes to the server at host (checked when it is opened); a
// local file must exist.
inline void requireDatabase(const QString &arg)
{
    const qsizetype colon = arg.indexOf(QLatin1Char(':'));
    const bool server = colon > 1 && arg.mid(colon + 1).startsWith(QLatin1Char('/'));
    if (arg.isEmpty() || arg.startsWith(QLatin1Char('-')))
        throw UsageError{QStringLiteral("a database is needed, not \"%1\"").arg(arg)};
    if (!server && !QFileInfo(arg).isFile())
        throw UsageError{QStringLiteral("no database file at %1").arg(arg)};
}

// Parses the program's arguments with p: an unknown option, an option without its value or a
// word where none is expected is a UsageError.
inline void parseArguments(QCommandLineParser &p)
{
    if (!p.parse(QCoreApplication::arguments()))
        throw UsageError{p.errorText()};
    if (!p.positionalArguments().isEmpty())
        throw UsageError{QStringLiteral("unexpected argument: %1").arg(p.positionalArguments().first())};
}

// The whole number an option holds, at least least.
inline int wholeNumber(const QCommandLineParser &p, const QString &option, int least = 1)
{
    bool ok = false;
    const int n = p.value(option).toInt(&ok);
    if (!ok || n < least)
        throw UsageError{QStringLiteral("--%1 takes a whole number of at least %2, not \"%3\"")
                             .arg(option)
                             .arg(least)
                             .arg(p.value(option))};
    return n;
}

// The demo installation --demo names (absolute), which must hold its central database.
inline QString requireDemo(const QCommandLineParser &p)
{
    if (!p.isSet(QStringLiteral("demo")))
        throw UsageError{QStringLiteral("--demo DIR is needed")};
    const QString demo = QDir(p.value(QStringLiteral("demo"))).absolutePath();
    if (!QFileInfo(demo + QStringLiteral("/c/FORMULIX/Dados/FORMULIX.BD")).isFile())
        throw UsageError{QStringLiteral("no installation at %1").arg(demo)};
    return demo;
}

// The existing folder an option names (absolute).
inline QString requireFolder(const QCommandLineParser &p, const QString &option)
{
    if (!p.isSet(option))
        throw UsageError{QStringLiteral("--%1 DIR is needed").arg(option)};
    const QFileInfo dir(p.value(option));
    if (!dir.isDir())
        throw UsageError{QStringLiteral("no folder at %1").arg(p.value(option))};
    return dir.absoluteFilePath();
}

// Runs body and returns its status: 2 after a UsageError, 1 after any other error, each with
// the usage printed.
inline int run(const char *usage, const std::function<int()> &body)
{
    QString problem;
    int status = 1;
    try {
        return body();
    } catch (const UsageError &e) {
        problem = e.problem;
        status = 2;
    } catch (const std::exception &e) {
        problem = QString::fromLocal8Bit(e.what());
    } catch (...) {
        problem = QStringLiteral("unknown error");
    }
    std::fprintf(stderr, "error: %s\n%s", qPrintable(problem), usage);
    return status;
}

} // namespace bench
