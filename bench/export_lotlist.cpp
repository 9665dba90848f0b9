// The lot-list export of 100 000 cached lots against writing the same bytes alone, and against
// walking the cursor row by row as a grid-bound export would (after-scroll hook on every row).
// Prints figures only.
#include "benchfigures.h"

#include "core/runstate.h"
#include "data/cacheddataset.h"
#include "db/connection.h"
#include "common/csvexport.h"
#include "platform/cp1252.h"
#include "platform/operator.h"
#include "platform/winpath.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

} // namespace

const char kUsage[] = "usage: bench_export_lotlist --sql DIR\n"
                      "  DIR: the folder of the central tables' script (sql, holding central.sql); the fixture\n"
                      "  is built in a new database in a temporary folder\n";

static int measure(const QString &script);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("sql"), QStringLiteral("folder of central.sql"), QStringLiteral("DIR")});
        bench::parseArguments(p);
        return measure(bench::centralScript(p));
    });
}

static int measure(const QString &script)
{
    const int lots = 100000;
    bench::ScratchCentral scratch(script);
    QTemporaryDir &dir = scratch.dir;
    db::Connection &conn = scratch.conn;
    const platform::WinPaths paths = platform::WinPaths::parse(QStringLiteral("C: = c\n"), dir.path());
    {
        db::Transaction tx(conn);
        db::Prepared ins(tx, QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, "
                                            "SALDOCORRENTE, UNIDADE, VALIDADE, CONTROLADA, DENSIDADE, FATORCORRECAO) "
                                            "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int i = 0; i < lots; ++i)
            ins.execute({db::Value::text(QString::number(i % 5000)), db::Value::text(QStringLiteral("Produto a\u00e7\u00e3o %1").arg(i % 5000)),
                         db::Value::text(QStringLiteral("L%1").arg(i)), db::Value::text(QStringLiteral("Fornecedor %1").arg(i % 40)),
                         db::Value::text(QStringLiteral("Almoxarifado")), db::Value::decimal(db::Decimal{int64_t(i) * 1234, 3}),
                         db::Value::text(QStringLiteral("G")), db::Value::date(QDate(2025, 1, 1).addDays(i % 700)),
                         db::Value::text(QStringLiteral("N")), db::Value::decimal(db::Decimal{105, 2}),
                         db::Value::decimal(db::Decimal{1, 0})});
        tx.commit();
    }
    data::CachedDataset ds(QStringLiteral("ESTLOTE"), &conn);
    ds.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE order by DESCRICAO"));
    ds.open();
    ds.setIndexFieldNames(QStringLiteral("VALIDADE"));
    int scrolls = 0;
    ds.afterScroll = [&](data::CachedDataset &) { ++scrolls; };
    const QDate today(2024, 3, 7);

    struct Quiet : platform::Operator {
        void inform(const QString &) override {}
        void warn(const QString &) override {}
        platform::Answer ask(const QString &) override { return platform::Answer::No; }
    } op;
    QElapsedTimer t;
    t.start();
    exports::ExportLotList(ds, paths, today, op);
    const double exportMs = bench::ms(t);
    const int exportScrolls = scrolls;

    const QString local = paths.toLocal(exports::LotListPath(today));
    QFile written(local);
    written.open(QIODevice::ReadOnly);
    const QByteArray bytes = written.readAll();
    written.close();
    t.restart();
    QFile plain(dir.filePath(QStringLiteral("plain.csv")));
    plain.open(QIODevice::WriteOnly);
    plain.write(bytes);
    plain.close();
    const double writeMs = bench::ms(t);

    // The cursor walked row by row, each move through the after-scroll hook.
    scrolls = 0;
    t.restart();
    QStringList lines{exports::kLotListHeader};
    for (ds.first(); !ds.eof(); ds.next()) {
        QStringList f;
        for (const char *c : {"CODIGO", "DESCRICAO", "LOTE", "FORNECEDOR", "LABORATORIO", "SALDOCORRENTE", "UNIDADE",
                              "VALIDADE", "CONTROLADA", "DENSIDADE", "FATORCORRECAO"})
            f << exports::PlainValue(ds.value(QLatin1String(c)));
        lines << f.join(QLatin1Char(';'));
    }
    const double walkMs = bench::ms(t);

    std::printf("lots: %d, file %.1f MB\n", lots, double(bytes.size()) / 1048576.0);
    std::printf("export          : %8.1f ms, after-scroll hook ran %d time(s)\n", exportMs, exportScrolls);
    std::printf("same bytes alone: %8.1f ms   ratio export/write %.1f\n", writeMs, exportMs / writeMs);
    std::printf("cursor walk only: %8.1f ms, hook ran %d times (no file written)\n", walkMs, scrolls);
    return 0;
}
