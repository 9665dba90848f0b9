// What every benchmark does with a wrong argument: it prints what is wrong and its usage and
// ends with an error status, never with an abort. A failure met on the way (a database that
// cannot be opened, a file that cannot be read) ends the same way.
#pragma once
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
