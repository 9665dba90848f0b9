// The main grid at 1 000, 10 000 and 100 000 lots: a search keystroke (what Edit1 does per key)
// and a column sort (a title click, the grid's model included) beside a plain std::stable_sort of
// the same column's values. Prints figures only.
//   bench_grid_search CENTRAL_DB        e.g. D/c/FORMULIX/Dados/FORMULIX.BD of "makedemo --dir D --lots 100000"
//   (a "host:/path" database goes through the server at host)
#include "benchfigures.h"

#include "core/runstate.h"
#include "browser/lotgrid.h"
#include "browser/ui/lotgrid.h"
#include "data/cacheddataset.h"
#include "db/connection.h"
#include "platform/clock.h"
#include "platform/cp1252.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalBlocker>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <random>
#include <vector>

namespace {

double us(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e3;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(double(v.size()) * p))];
}

db::Target targetOf(const QString &arg)
{
    const int colon = arg.indexOf(QLatin1Char(':'));
    // "C:/..." style paths never reach here on this machine; "host:/path" is a server.
    if (colon > 1 && arg.mid(colon + 1).startsWith(QLatin1Char('/')))
        return db::Target{arg, false, true};
    return db::Target{QFileInfo(arg).absoluteFilePath(), true, true};
}

// Keystrokes as an operator types them: growing prefixes of descriptions in the grid.
std::vector<QString> keystrokes(const data::CachedDataset &ds, int column, int words)
{
    std::mt19937 rng(20240307);
    std::vector<QString> out;
    std::uniform_int_distribution<int> pick(0, ds.rowCount() - 1);
    for (int w = 0; w < words; ++w) {
        const QString word = ds.valueAt(pick(rng), column).toString();
        for (int len = 1; len <= std::min<int>(8, int(word.size())); ++len)
            out.push_back(browser::SearchText(word.left(len).toLower()));
    }
    return out;
}

struct SearchFigures {
    double first = 0;
    double median = 0;
    double p99 = 0;
};

SearchFigures timeSearch(const data::CachedDataset &ds, const std::vector<QString> &keys, const QDate &today)
{
    SearchFigures f;
    std::vector<double> times;
    volatile int sink = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        QElapsedTimer t;
        t.start();
        sink = sink + browser::SearchRow(ds, keys[i], today);
        const double e = us(t);
        if (i == 0)
            f.first = e;
        else
            times.push_back(e);
    }
    f.median = bench::median(times);
    f.p99 = percentile(times, 0.99);
    return f;
}

// The same column's values in the fetched order, sorted the plain way as the grid orders them.
double plainSortUs(const data::CachedDataset &ds, int column, int runs)
{
    const int n = ds.rowCount();
    const db::Value probe = ds.valueAt(0, column);
    std::vector<double> times;
    switch (probe.kind()) {
    case db::Value::Kind::Text: {
        std::vector<QByteArray> values;
        values.reserve(size_t(n));
        for (int r = 0; r < n; ++r)
            values.push_back(platform::toCp1252(ds.valueAt(r, column).toString()));
        for (int i = 0; i < runs; ++i) {
            std::vector<QByteArray> v = values;
            QElapsedTimer t;
            t.start();
            std::stable_sort(v.begin(), v.end());
            times.push_back(us(t));
        }
        break;
    }
    case db::Value::Kind::Date: {
        std::vector<qint64> values;
        values.reserve(size_t(n));
        for (int r = 0; r < n; ++r) {
            const QDate d = ds.valueAt(r, column).toDate();
            values.push_back(d.isValid() ? d.toJulianDay() : std::numeric_limits<qint64>::min());
        }
        for (int i = 0; i < runs; ++i) {
            std::vector<qint64> v = values;
            QElapsedTimer t;
            t.start();
            std::stable_sort(v.begin(), v.end());
            times.push_back(us(t));
        }
        break;
    }
    default: {
        std::vector<double> values;
        values.reserve(size_t(n));
        for (int r = 0; r < n; ++r)
            values.push_back(ds.valueAt(r, column).toDouble());
        for (int i = 0; i < runs; ++i) {
            std::vector<double> v = values;
            QElapsedTimer t;
            t.start();
            std::stable_sort(v.begin(), v.end());
            times.push_back(us(t));
        }
        break;
    }
    }
    return bench::median(times);
}

} // namespace

const char kUsage[] =
    "usage: bench_grid_search CENTRAL_DB\n"
    "  CENTRAL_DB: <dir>/c/FORMULIX/Dados/FORMULIX.BD of makedemo --dir <dir> --lots 100000,\n"
    "              or host:/path of a database the server at host holds\n";

static int measure(const QString &database);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::run(kUsage, [] {
        const QStringList args = QCoreApplication::arguments().mid(1);
        if (args.size() != 1)
            throw bench::UsageError{args.isEmpty() ? QStringLiteral("no database given")
                                                   : QStringLiteral("one database, nothing else")};
        bench::requireDatabase(args.at(0));
        return measure(args.at(0));
    });
}

static int measure(const QString &database)
{
    db::Connection conn;
    conn.configure(targetOf(database));
    platform::FixedClock clock(QDate::currentDate());
    const int runs = 5;

    std::printf("Grid search and sort on %s\n", qPrintable(database));
    std::printf("search: browser::SearchRow per keystroke (growing prefixes of 200 descriptions, grid in "
                "DESCRICAO, VALIDADE order); first key includes the one-time order check\n");
    std::printf("sort: LotGrid::DBGrid1TitleClick (client sort + model reset), median of %d, against "
                "std::stable_sort of the column's values (copy excluded)\n\n", runs);

    struct Figure {
        QString what;
        double first, sort, plain;
    };
    std::map<int, std::vector<Figure>> growth;
    for (const int wanted : {1000, 10000, 100000}) {
        data::CachedDataset ds(QStringLiteral("ESTLOTE"), &conn);
        ds.setCommandText(QStringLiteral("select first %1 ").arg(wanted) + core::kLotColumnList
                          + QStringLiteral(" from ESTLOTE order by DESCRICAO, VALIDADE"));
        QElapsedTimer open;
        open.start();
        ds.open();
        const double openMs = us(open) / 1e3;
        const int n = ds.rowCount();
        if (n == 0) {
            std::printf("no lots in the database\n");
            return 1;
        }
        std::printf("== %d lots%s (open %.1f ms)\n", n, n < wanted ? " (all the database has)" : "", openMs);

        browser_ui::LotGrid grid(ds, clock, [] { return 6; });
        grid.resize(1000, 600);

        const int descricao = ds.fieldIndex(QStringLiteral("DESCRICAO"));
        const std::vector<QString> keys = keystrokes(ds, descricao, 200);
        const SearchFigures byName = timeSearch(ds, keys, clock.today());
        std::printf("  search keystroke, DESCRICAO:        first %9.1f us   median %7.2f us   p99 %7.2f us  (%zu keys)\n",
                    byName.first, byName.median, byName.p99, keys.size());
        // A text no name begins with, even with accents and case folded: the whole column is read
        // once more folded before the byte order's answer stands (the slowest keystroke there is).
        const std::vector<QString> misses(20, QStringLiteral("Qxzw"));
        const SearchFigures folded = timeSearch(ds, misses, clock.today());
        std::printf("  search keystroke, no folded match:  first %9.1f us   median %7.2f us   p99 %7.2f us  (%zu keys)\n",
                    folded.first, folded.median, folded.p99, misses.size());

        // The first search on a column the order does not follow: its sorted index is made then.
        {
            QElapsedTimer t;
            t.start();
            volatile int row = ds.nearestRow(QStringLiteral("FORNECEDOR"), QStringLiteral("Fornecedor"));
            (void)row;
            const double firstSearch = us(t);
            std::printf("  first search, FORNECEDOR unsorted:  %9.1f us\n", firstSearch);
            growth[n].push_back({QStringLiteral("first search FORNECEDOR"), firstSearch, 0, 0});
        }

        std::printf("  %-14s %13s %13s %14s %14s %11s %11s\n", "sort by", "first sort us", "cache sort us",
                    "title click us", "stable_sort us", "sort ratio", "click ratio");
        for (const int col : {7 /* Validade */, 5 /* Estoque */, 3 /* Fornecedor */, 1 /* Descricao */}) {
            const QString field = browser_ui::LotGrid::kColumns.at(col).field;
            // The column's first sort since the load: its keys are read out of the rows then.
            double firstSort = 0;
            {
                const QSignalBlocker quiet(&ds);
                ds.setIndexFieldNames(QString());
                QElapsedTimer t;
                t.start();
                ds.setIndexFieldNames(field);
                firstSort = us(t);
                ds.setIndexFieldNames(QString());
            }
            std::vector<double> times;
            for (int i = 0; i < runs; ++i) {
                ds.setIndexFieldNames(QString());
                QElapsedTimer t;
                t.start();
                grid.DBGrid1TitleClick(col);
                times.push_back(us(t));
            }
            ds.setIndexFieldNames(QString());
            // The cache's sort alone, without the grid hearing of it.
            std::vector<double> sortTimes;
            for (int i = 0; i < runs; ++i) {
                const QSignalBlocker quiet(&ds);
                ds.setIndexFieldNames(QString());
                QElapsedTimer t;
                t.start();
                ds.setIndexFieldNames(field);
                sortTimes.push_back(us(t));
            }
            ds.setIndexFieldNames(QString());
            const double sort = bench::median(sortTimes);
            const double click = bench::median(times);
            const double plain = plainSortUs(ds, ds.fieldIndex(field), runs);
            std::printf("  %-14s %13.1f %13.1f %14.1f %14.1f %11.2f %11.2f\n", qPrintable(field), firstSort, sort, click,
                        plain, plain > 0 ? sort / plain : 0.0, plain > 0 ? click / plain : 0.0);
            growth[n].push_back({field, firstSort, sort, plain});
        }

        // Once sorted by expiry, the same box searches dates.
        grid.DBGrid1TitleClick(7);
        std::vector<QString> dates;
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> pick(0, n - 1);
        const int validade = ds.fieldIndex(QStringLiteral("VALIDADE"));
        for (int i = 0; i < 400; ++i) {
            const QDate d = ds.valueAt(pick(rng), validade).toDate();
            dates.push_back(d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : QStringLiteral("15"));
        }
        const SearchFigures byDate = timeSearch(ds, dates, clock.today());
        std::printf("  search keystroke, VALIDADE sorted:  first %9.1f us   median %7.2f us   p99 %7.2f us  (%zu keys)\n\n",
                    byDate.first, byDate.median, byDate.p99, dates.size());
    }
    if (growth.count(10000) && growth.count(100000)) {
        std::printf("Growth from 10 000 to 100 000 lots:\n");
        const auto &a = growth[10000];
        const auto &b = growth[100000];
        for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
            if (a[i].sort > 0)
                std::printf("  %-24s first sort x%6.1f   cache sort x%6.1f   stable_sort x%6.1f\n", qPrintable(a[i].what),
                            b[i].first / a[i].first, b[i].sort / a[i].sort, b[i].plain / a[i].plain);
            else
                std::printf("  %-24s x%6.1f\n", qPrintable(a[i].what), b[i].first / a[i].first);
        }
    }
    return 0;
}
