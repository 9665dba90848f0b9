// What the benchmarks measure with: elapsed milliseconds, statements sent, medians, memory, and
// a scratch central database made from the tables' script in a temporary folder.
#pragma once
#include "benchmain.h"

#include "db/connection.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <malloc.h>
#include <utility>
#include <vector>

namespace bench {

inline double ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Time and statements sent of one call.
struct Measure {
    double ms;
    uint64_t statements;
};

template <typename F>
Measure measure(F &&f)
{
    const uint64_t before = db::statementsIssued();
    QElapsedTimer t;
    t.start();
    std::forward<F>(f)();
    return {ms(t), db::statementsIssued() - before};
}

// Two calls timed by turns (a, b, a, b...), `runs` times each, so both meet the same load of a
// shared machine: the median time of each, with the statements of its last run.
template <typename A, typename B>
std::pair<Measure, Measure> measureByTurns(int runs, A &&a, B &&b)
{
    std::vector<double> ta, tb;
    Measure ma{}, mb{};
    for (int i = 0; i < runs; ++i) {
        ma = measure(a);
        ta.push_back(ma.ms);
        mb = measure(b);
        tb.push_back(mb.ms);
    }
    ma.ms = median(ta);
    mb.ms = median(tb);
    return {ma, mb};
}

// Bytes the allocator has handed out, mapped blocks included.
inline long long heapInUse()
{
    const struct mallinfo2 mi = mallinfo2();
    return static_cast<long long>(mi.uordblks + mi.hblkhd);
}

// A memory figure of /proc/self/status ("VmRSS:", "VmHWM:") in bytes.
inline long long statusBytes(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

inline long long rssBytes()
{
    return statusBytes("VmRSS:");
}

// The most resident memory the process has had since the start or the last resetPeakRss().
inline long long peakRssBytes()
{
    return statusBytes("VmHWM:");
}

// Starts the peak of peakRssBytes() again from the present resident memory.
inline void resetPeakRss()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// The central tables' script in the folder that --sql names.
inline QString centralScript(const QCommandLineParser &p)
{
    const QString sqlDir = requireFolder(p, QStringLiteral("sql"));
    QFile script(sqlDir + QStringLiteral("/central.sql"));
    if (!QFileInfo(script).isFile() || !script.open(QIODevice::ReadOnly))
        throw UsageError{QStringLiteral("cannot read %1").arg(script.fileName())};
    return QString::fromUtf8(script.readAll());
}

// A new central database made from `script` in a temporary folder that holds c/FORMULIX, gone
// with the object.
struct ScratchCentral {
    explicit ScratchCentral(const QString &script, const QString &file = QStringLiteral("bench.fdb"))
    {
        QDir(dir.path()).mkpath(QStringLiteral("c/FORMULIX"));
        const db::Target target{dir.filePath(file), true, true};
        db::Connection::createDatabase(target);
        conn.configure(target);
        conn.runScript(script);
    }
    QTemporaryDir dir;
    db::Connection conn;
};

} // namespace bench
