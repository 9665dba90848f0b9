// Leaving the description of a new lot with a name the register does not hold: the time until the
// options list is shown and has the focus (the exact-name lookup, the names loaded, the list
// positioned, the panel up), against a bare select of the two columns the list needs. Also the
// register rows the server read for it, from its monitoring tables. Prints figures only.
//   bench_product_options --central PATH_OR_HOST:PATH
//   e.g. D/c/FORMULIX/Dados/FORMULIX.BD of "makedemo --dir D --lots 2000 --products 50000"
#include "benchfigures.h"

#include "core/activitylog.h"
#include "core/connections.h"
#include "core/runstate.h"
#include "data/tdm.h"
#include "lotedit/productlookup.h"
#include "lotedit/ui/tform2.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/winpath.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Silent : platform::Operator {
    void inform(const QString &) override {}
    void warn(const QString &t) override { std::fprintf(stderr, "warn: %s\n", qPrintable(t)); }
    platform::Answer ask(const QString &) override { return platform::Answer::No; }
};

db::Target targetOf(const QString &arg)
{
    const int colon = int(arg.indexOf(QLatin1Char(':')));
    if (colon > 0 && arg.indexOf(QLatin1Char('/')) > colon)
        return db::Target{arg, false, true};
    return db::Target{arg, true, true};
}

double bareSelect(db::Connection &conn)
{
    QElapsedTimer t;
    t.start();
    db::Transaction tx(conn);
    db::Cursor c = tx.open(lotedit::kProductOptionsStatement);
    unsigned sum = 0;
    int rows = 0;
    while (c.next()) {
        sum += c.row()[0];
        ++rows;
    }
    const double took = bench::ms(t);
    c.close();
    tx.commit();
    if (sum == 1 && rows == -1)
        std::puts("");
    return took;
}

// Record reads of this attachment so far: in table order, through an index.
std::pair<qint64, qint64> recordReads(db::Connection &conn)
{
    const db::Rows r = conn.query(QStringLiteral(
        "select s.MON$RECORD_SEQ_READS, s.MON$RECORD_IDX_READS from MON$ATTACHMENTS a "
        "join MON$RECORD_STATS s on s.MON$STAT_ID = a.MON$STAT_ID where a.MON$ATTACHMENT_ID = CURRENT_CONNECTION"));
    return {r.rows[0][0].toInt(), r.rows[0][1].toInt()};
}

} // namespace

const char kUsage[] = "usage: bench_product_options --central PATH_OR_HOST:PATH\n"
                      "  a central database with a large product register (makedemo --dir DIR --lots 2000\n"
                      "  --products 50000: DIR/c/FORMULIX/Dados/FORMULIX.BD), or host:/path on a server\n";

static int measure(QApplication &app, const QString &central);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    return bench::run(kUsage, [&app] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("central"), QStringLiteral("central database"), QStringLiteral("PATH_OR_HOST:PATH")});
        bench::parseArguments(p);
        if (!p.isSet(QStringLiteral("central")))
            throw bench::UsageError{QStringLiteral("--central PATH_OR_HOST:PATH is needed")};
        bench::requireDatabase(p.value(QStringLiteral("central")));
        return measure(app, p.value(QStringLiteral("central")));
    });
}

static int measure(QApplication &app, const QString &central)
{
    platform::FixedClock clock(QDate(2026, 3, 7));
    platform::WinPaths paths;
    core::RunState run;
    core::Connections connections(paths);
    core::ActivityLog log(clock, paths);
    Silent op;
    data::TDM dm(run, connections, log, op);
    connections.SQLConnection1.configure(targetOf(central));
    connections.SQLConnection1.open();
    const qint64 products = connections.SQLConnection1.query(QStringLiteral("select count(*) from COMPONEN")).rows[0][0].toInt();

    dm.ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE order by DESCRICAO"));
    dm.ESTLOTE.open();
    lotedit_ui::TForm2 form(dm, clock, op);
    form.show();
    app.processEvents();

    const QStringList names = {QStringLiteral("extrato de camomila"), QStringLiteral("oleo"), QStringLiteral("zzz"),
                               QStringLiteral("acido b"), QStringLiteral("goma x"), QStringLiteral("vitamina q"),
                               QStringLiteral("base n")};
    bareSelect(connections.SQLConnection1);   // warms the page cache
    std::vector<double> lookups, bares;
    qint64 seqReads = 0, idxReads = 0;
    for (const QString &name : names) {
        // The new row puts the focus in the description; leaving it runs the lookup.
        form.DS_ESTLOTE->insert();
        app.processEvents();
        form.DS_ESTLOTE->setFieldText(QStringLiteral("DESCRICAO"), name);
        const auto before = recordReads(connections.SQLConnection1);
        QElapsedTimer t;
        t.start();
        form.DBEdit2->setFocus(Qt::TabFocusReason);
        while (QApplication::focusWidget() != form.GradeOpComponentes || form.PainelOpcoesDeComponentes->isHidden())
            app.processEvents();
        lookups.push_back(bench::ms(t));
        const auto after = recordReads(connections.SQLConnection1);
        // The monitoring query itself reads a few records: only the register's share counts here.
        seqReads = after.first - before.first;
        idxReads = after.second - before.second;
        bares.push_back(bareSelect(connections.SQLConnection1));
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        form.DBGrid1KeyPress(&esc);
        form.DS_ESTLOTE->cancel();
        app.processEvents();
    }
    // Where the time goes: the exact-name lookup, the names loaded into the cache.
    {
        dm.ESTLOTE.insert();
        QElapsedTimer t;
        t.start();
        lotedit::LookUpProductByName(dm, QStringLiteral("Zzz"));
        const double exact = bench::ms(t);
        t.restart();
        lotedit::OpenProductOptions(dm, QStringLiteral("Zzz"));
        const double names = bench::ms(t);
        dm.ESTLOTE.cancel();
        std::printf("of which: exact-name lookup %.1f ms, names loaded and positioned %.1f ms\n", exact, names);
    }
    const double lookup = bench::median(lookups), bare = bench::median(bares);
    std::printf("register: %lld products; %lld lots\n", products, (long long)dm.ESTLOTE.rowCount());
    std::printf("unmatched name to options list shown: median %8.1f ms (of %zu)\n", lookup, lookups.size());
    std::printf("bare select of CODIGO, COMPONENTE   : median %8.1f ms\n", bare);
    std::printf("ratio lookup/bare: %.2f   target < 1.5\n", lookup / bare);
    std::printf("server record reads for one lookup: %lld in table order, %lld through an index\n",
                (long long)seqReads, (long long)idxReads);
    form.hide();
    return 0;
}
