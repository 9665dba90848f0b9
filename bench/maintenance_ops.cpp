// The seven maintenance operations' five long ones on a copy of a demo central database: time and
// statements issued by the set-based operation, against the limit of the same reads plus a bulk
// write of the same number of rows; and the row-by-row algorithm on smaller demos so its growth
// shows. The product-register import runs with 100 000 more products added to the register.
// Prints figures only.
#include "benchfigures.h"

#include "../tests/maintenance/rowbyrow.h"

#include "core/activitylog.h"
#include "core/connections.h"
#include "core/runstate.h"
#include "data/tdm.h"
#include "db/connection.h"
#include "maintenance/lotstore.h"
#include "maintenance/operations.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/winpath.h"
#include "users/scope.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

struct QuietOperator : platform::Operator {
    QStringList texts;
    void inform(const QString &t) override { texts << t; }
    void warn(const QString &t) override { texts << t; }
    platform::Answer ask(const QString &t) override
    {
        texts << t;
        return platform::Answer::Yes;
    }
};

// The gauge moves all through a run's reading and writing: each step notes the heap in use, so
// the most a run holds is known apart from the grid it reloads at its end.
struct NoWindow : maintenance::MaintenanceView {
    long long heapPeak = 0;
    void setEditButtonVisible(bool) override {}
    void startGauge(int) override { note(); }
    void advanceGauge(int) override { note(); }
    void note() { heapPeak = std::max(heapPeak, bench::heapInUse()); }
    void hideGauge() override {}
    void setCaption(const QString &) override {}
    void repaintWindow() override {}
};

// A data module on a private copy of a central database, logged in at the first store.
struct Copy {
    QTemporaryDir dir;
    platform::WinPaths paths;
    platform::FixedClock clock{QDate(2026, 3, 31), QTime(10, 0)};
    core::RunState run;
    core::Connections connections{paths};
    core::ActivityLog log{clock, paths};
    QuietOperator op;
    data::TDM dm{run, connections, log, op};
    NoWindow view;
    maintenance::Context ctx{dm, view, op, clock};
    db::Connection &conn = connections.SQLConnection1;

    explicit Copy(const QString &file)
    {
        const QString local = dir.filePath(QStringLiteral("central.fdb"));
        if (!QFile::copy(file, local))
            throw std::runtime_error("cannot copy the database");
        conn.configure(db::Target{local, true, true});
        const db::Rows labs = conn.query(QStringLiteral(
            "select LABORATORIO from TABLAB where LOJA = (select first 1 LOJA from TABLAB)"));
        for (const auto &r : labs.rows)
            run.StoreLaboratories << r[0].toString();
        run.Laboratory = run.StoreLaboratories.value(0, core::kDefaultLaboratory);
        run.LabScopeClause = users::LabScopeClause(run.StoreLaboratories);
    }

    qint64 count(const QString &table)
    {
        return conn.query(QStringLiteral("select count(*) from ") + table).rows[0][0].toInt();
    }

    // The grid as the login leaves it: the store's laboratories and the shared locations.
    static QString gridStatement(const core::RunState &run)
    {
        return QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE where ")
            + maintenance::scopeCondition(run.LabScopeClause) + QStringLiteral(" order by DESCRICAO, VALIDADE");
    }

    void openGrid()
    {
        dm.ESTLOTE.close();
        dm.ESTLOTE.setCommandText(gridStatement(run));
        dm.ESTLOTE.open();
    }

    // n more products, each with a lot of its own, none of them in stock.
    void addProducts(int n)
    {
        db::Transaction tx(conn);
        db::Prepared ins(tx, QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CONTROLADA, "
                                            "FABRICANTE, FORNECEDOR, LOTE, FATORCORRECAO, DENSIDADE) "
                                            "values (?, ?, ?, 'G', 'Não', 'Fabrica Bench', ?, ?, 1, 1)"));
        for (int i = 0; i < n; ++i)
            ins.execute({db::Value::text(QStringLiteral("B%1").arg(i, 7, 10, QLatin1Char('0'))),
                         db::Value::text(QStringLiteral("PRODUTO BENCH %1").arg(i, 6, 10, QLatin1Char('0'))),
                         db::Value::text(i % 7 == 0 ? QStringLiteral("REV") : QStringLiteral("MP")),
                         db::Value::text(QStringLiteral("Fornecedor %1").arg(i % 50)),
                         db::Value::text(QStringLiteral("BL%1").arg(i, 6, 10, QLatin1Char('0')))});
        tx.commit();
    }
};

// The same reads as the operation, fetched and decoded.
double readAll(db::Connection &conn, const QStringList &statements)
{
    QElapsedTimer t;
    t.start();
    db::Transaction tx(conn);
    size_t sink = 0;
    for (const QString &sql : statements)
        sink += tx.query(sql).rows.size();
    tx.commit();
    if (sink == size_t(-1))
        std::puts("");
    return bench::ms(t);
}

// A bulk write alone: inserts and key updates of existing lots, in one transaction, undone.
double bulkWrite(db::Connection &conn, qint64 inserts, qint64 updates)
{
    const db::Rows keys = conn.query(QStringLiteral("select first %1 CODIGO, LOTE, FORNECEDOR, LABORATORIO from ESTLOTE "
                                                    "where CODIGO is not null and LOTE is not null and FORNECEDOR is not "
                                                    "null and LABORATORIO is not null")
                                         .arg(std::max<qint64>(updates, 1)));
    QElapsedTimer t;
    t.start();
    db::Transaction tx(conn);
    if (inserts > 0) {
        QStringList marks;
        for (int c = 0; c < maintenance::kLotCols; ++c)
            marks << QStringLiteral("?");
        db::Prepared ins(tx, QStringLiteral("insert into ESTLOTE (") + maintenance::lotColumnNames().join(QStringLiteral(", "))
                                 + QStringLiteral(") values (") + marks.join(QStringLiteral(", ")) + QStringLiteral(")"));
        for (qint64 i = 0; i < inserts; ++i) {
            std::vector<db::Value> v(size_t(maintenance::kLotCols));
            v[maintenance::DESCRICAO] = db::Value::text(QStringLiteral("BULK %1").arg(i));
            v[maintenance::LOTE] = db::Value::text(QStringLiteral("L%1").arg(i));
            v[maintenance::FORNECEDOR] = db::Value::text(QStringLiteral("Fornecedor"));
            v[maintenance::CODIGO] = db::Value::text(QStringLiteral("X%1").arg(i));
            v[maintenance::SALDOCORRENTE] = db::Value::decimal(db::Decimal{100000000000000, 8});
            v[maintenance::UNIDADE] = db::Value::text(QStringLiteral("G"));
            v[maintenance::VALIDADE] = db::Value::date(QDate(2028, 3, 31));
            v[maintenance::LABORATORIO] = db::Value::text(QStringLiteral("Manipulação"));
            ins.execute(v);
        }
    }
    if (updates > 0) {
        db::Prepared up(tx, QStringLiteral("update ESTLOTE set SALDOCORRENTE = SALDOCORRENTE where CODIGO = ? and LOTE = ? "
                                           "and FORNECEDOR = ? and LABORATORIO = ?"));
        for (qint64 i = 0; i < updates; ++i) {
            const auto &k = keys.rows[size_t(i) % keys.rows.size()];
            up.execute({k[0], k[1], k[2], k[3]});
        }
    }
    tx.rollback();
    return bench::ms(t);
}

struct Op {
    const char *name;
    QStringList reads;   // the operation's selects and the grid's reload
    std::function<void(Copy &)> prepare;
    std::function<void(Copy &)> setBased;
    std::function<void(Copy &)> rowByRow;
};

QString scopeRead(const core::RunState &run)
{
    return maintenance::LotStore::scopeStatement(run.LabScopeClause);
}

std::vector<Op> operations(const core::RunState &run)
{
    const QString grid = maintenance::AllLotsStatement();
    const QString register_ = QStringLiteral("select CODIGO, COMPONENTE, GRUPO, UNID, CONTROLADA, FABRICANTE, FORNECEDOR, "
                                             "LOTE, FATORCORRECAO, DENSIDADE from COMPONEN order by COMPONENTE");
    const QString purchases = QStringLiteral("select COMPONENTE, LOTE, FORNECEDOR, CODIGO, QUANTIDADE, UNIDADE, "
                                             "FABRICANTE, VALIDADE, DENSIDADE, FATORCORRECAO from COMPRAS");
    return {
        {"ImportProductLots", {register_, scopeRead(run), grid}, [](Copy &c) { c.addProducts(100000); },
         [](Copy &c) { maintenance::ImportProductLots(c.ctx); },
         [](Copy &c) { rowbyrow::ImportProductLots(c.dm, c.clock); }},
        {"BringProductData",
         {QStringLiteral("select COMPONENTE, LOTE, FORNECEDOR, VALIDADE, DENSIDADE, FATORCORRECAO from COMPONEN order by "
                         "COMPONENTE"),
          scopeRead(run),
          QStringLiteral("select COMPONENTE, LOTE, FORNECEDOR, VALIDADE, DENSIDADE, FATORCORRECAO from COMPRAS"), grid},
         {}, [](Copy &c) { maintenance::BringProductData(c.ctx); }, [](Copy &c) { rowbyrow::BringProductData(c.dm); }},
        {"ImportPurchaseLots",
         {purchases, QStringLiteral("select CODIGO, UNID, CONTROLADA from COMPONEN"), scopeRead(run), grid}, {},
         [](Copy &c) { maintenance::ImportPurchaseLots(c.ctx); }, [](Copy &c) { rowbyrow::ImportPurchaseLots(c.dm); }},
        {"ControlledMark", {QStringLiteral("select COMPONENTE, CONTROLADA from COMPONEN"), Copy::gridStatement(run)},
         [](Copy &c) { c.openGrid(); }, [](Copy &c) { maintenance::ImportarindicaodeCONTROLADA(c.ctx); },
         [](Copy &c) { rowbyrow::ControlledMark(c.dm); }},
        {"CorrectUnits",
         {QStringLiteral("select COMPONENTE, LOTE, FORNECEDOR, UNIDADE from COMPRAS"),
          QStringLiteral("select COMPONENTE, UNID from COMPONEN"), scopeRead(run),
          maintenance::UnitCorrectionGridStatement(run.Laboratory)},
         {}, [](Copy &c) { maintenance::CorrectUnits(c.ctx); }, [](Copy &c) { rowbyrow::CorrectUnits(c.dm); }},
    };
}

// A database file this benchmark copies: it must be a local file.
void requireLocalDatabase(const QString &file)
{
    bench::requireDatabase(file);
    if (!QFileInfo(file).isFile())
        throw bench::UsageError{QStringLiteral("no database file at %1").arg(file)};
}

} // namespace

const char kUsage[] = "usage: bench_maintenance_ops --central FILE.BD [--rowbyrow A.BD,B.BD,C.BD] [--ops a,b]\n"
                      "       bench_maintenance_ops --memory A.BD,B.BD\n"
                      "  FILE.BD: a demo central database (makedemo --lots 100000), copied before each run;\n"
                      "  --rowbyrow: smaller demos (5000, 10000, 20000 lots) for the row-by-row times;\n"
                      "  --ops: only the operations named;\n"
                      "  --memory: demos of 10 000 and 100 000 lots: the product-register import's memory, with as\n"
                      "    many products added as the demo has lots.\n";

static int measure(const QString &central, const QStringList &small, const QStringList &only);
static int measureMemory(const QStringList &demos);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("central"), QStringLiteral("central database"), QStringLiteral("FILE.BD")});
        p.addOption({QStringLiteral("rowbyrow"), QStringLiteral("smaller demos"), QStringLiteral("A.BD,B.BD")});
        p.addOption({QStringLiteral("ops"), QStringLiteral("operations"), QStringLiteral("a,b")});
        p.addOption({QStringLiteral("memory"), QStringLiteral("demos for the memory figures"), QStringLiteral("A.BD,B.BD")});
        bench::parseArguments(p);
        if (p.isSet(QStringLiteral("memory"))) {
            const QStringList demos = p.value(QStringLiteral("memory")).split(QLatin1Char(','), Qt::SkipEmptyParts);
            if (demos.isEmpty())
                throw bench::UsageError{QStringLiteral("--memory takes database files separated by commas")};
            for (const QString &file : demos)
                requireLocalDatabase(file);
            return measureMemory(demos);
        }
        if (!p.isSet(QStringLiteral("central")))
            throw bench::UsageError{QStringLiteral("--central FILE.BD is needed")};
        const QString central = p.value(QStringLiteral("central"));
        requireLocalDatabase(central);
        const QStringList small = p.value(QStringLiteral("rowbyrow")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString &file : small)
            requireLocalDatabase(file);
        if (p.isSet(QStringLiteral("rowbyrow")) && small.isEmpty())
            throw bench::UsageError{QStringLiteral("--rowbyrow takes database files separated by commas")};
        const QStringList only = p.value(QStringLiteral("ops")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (p.isSet(QStringLiteral("ops")) && only.isEmpty())
            throw bench::UsageError{QStringLiteral("--ops takes operation names separated by commas")};
        return measure(central, small, only);
    });
}

static int measure(const QString &central, const QStringList &small, const QStringList &only)
{
    const auto wanted = [&](const char *name) { return only.isEmpty() || only.contains(QString::fromLatin1(name)); };

    {
        QStringList names;
        for (const Op &op : operations(Copy(central).run))
            names << QString::fromLatin1(op.name);
        for (const QString &name : only)
            if (!names.contains(name))
                throw bench::UsageError{QStringLiteral("no operation %1 (there are: %2)").arg(name, names.join(QStringLiteral(", ")))};
    }
    {
        Copy probe(central);
        std::printf("central: %lld lots, %lld products, %lld purchase lines; store laboratories: %s\n",
                    probe.count(QStringLiteral("ESTLOTE")), probe.count(QStringLiteral("COMPONEN")),
                    probe.count(QStringLiteral("COMPRAS")), qPrintable(probe.run.StoreLaboratories.join(QStringLiteral(", "))));
    }
    std::printf("%-19s %10s %10s %9s %9s %9s %10s %7s\n", "operation", "time ms", "stmts", "reads ms", "write ms",
                "limit ms", "rows", "ratio");
    for (const Op &op : operations(Copy(central).run)) {
        if (!wanted(op.name))
            continue;
        Copy c(central);
        if (op.prepare)
            op.prepare(c);
        const qint64 lotsBefore = c.count(QStringLiteral("ESTLOTE"));
        const uint64_t s0 = db::statementsIssued();
        QElapsedTimer t;
        t.start();
        op.setBased(c);
        const double took = bench::ms(t);
        const uint64_t statements = db::statementsIssued() - s0;
        const qint64 inserted = c.count(QStringLiteral("ESTLOTE")) - lotsBefore;
        // Every statement beyond the reads wrote one row.
        const qint64 written = qint64(statements) - op.reads.size();
        const double reads = readAll(c.conn, op.reads);
        const double write = bulkWrite(c.conn, inserted, std::max<qint64>(written - inserted, 0));
        const double limit = reads + write;
        std::printf("%-19s %10.1f %10llu %9.1f %9.1f %9.1f %10lld %7.2f   (target < 2)\n", op.name, took,
                    (unsigned long long)statements, reads, write, limit, written, took / limit);
    }

    if (!small.isEmpty()) {
        std::printf("\nrow by row against set-based on smaller demos:\n");
        std::printf("%-19s %8s %12s %12s %12s %12s\n", "operation", "lots", "row ms", "row stmts", "set ms", "set stmts");
        for (const QString &file : small) {
            for (const Op &op : operations(Copy(file).run)) {
                if (!wanted(op.name))
                    continue;
                double times[2];
                uint64_t stmts[2];
                qint64 lots = 0;
                for (int which = 0; which < 2; ++which) {
                    Copy c(file);
                    lots = c.count(QStringLiteral("ESTLOTE"));
                    if (op.prepare && QLatin1String(op.name) == QLatin1String("ControlledMark"))
                        op.prepare(c);
                    const uint64_t s0 = db::statementsIssued();
                    QElapsedTimer t;
                    t.start();
                    (which == 0 ? op.rowByRow : op.setBased)(c);
                    times[which] = bench::ms(t);
                    stmts[which] = db::statementsIssued() - s0;
                }
                std::printf("%-19s %8lld %12.1f %12llu %12.1f %12llu\n", op.name, lots, times[0],
                            (unsigned long long)stmts[0], times[1], (unsigned long long)stmts[1]);
                std::fflush(stdout);
            }
        }
    }
    return 0;
}

// The product-register import on each demo with as many products added as it has lots: the most
// heap the run holds while it reads, decides and writes (above what the process held before it),
// per lot and product read; the resident peak of the whole run, the grid's reload included; the
// statements sent.
static int measureMemory(const QStringList &demos)
{
    std::printf("%-10s %10s %12s %12s %10s %12s %10s %10s\n", "lots", "products", "held MB", "bytes/row", "peak MB",
                "peak b/row", "stmts", "inserted");
    double first = 0;
    qint64 firstRows = 0;
    for (const QString &file : demos) {
        Copy c(file);
        const qint64 lots = c.count(QStringLiteral("ESTLOTE"));
        c.addProducts(int(lots));
        const qint64 products = c.count(QStringLiteral("COMPONEN"));
        const qint64 rows = lots + products;
        malloc_trim(0);
        const long long heapBefore = bench::heapInUse();
        const long long rssBefore = bench::rssBytes();
        bench::resetPeakRss();
        c.view.heapPeak = heapBefore;
        const bench::Measure m = bench::measure([&] { maintenance::ImportProductLots(c.ctx); });
        const double held = double(c.view.heapPeak - heapBefore);
        const double peak = double(std::max(0LL, bench::peakRssBytes() - rssBefore));
        const qint64 inserted = c.count(QStringLiteral("ESTLOTE")) - lots;
        std::printf("%-10lld %10lld %12.1f %12.0f %10.1f %12.0f %10llu %10lld   (target <= 300 bytes/row held)\n",
                    lots, products, held / 1e6, held / double(rows), peak / 1e6, peak / double(rows),
                    (unsigned long long)m.statements, inserted);
        std::fflush(stdout);
        if (first == 0) {
            first = held;
            firstRows = rows;
        } else {
            std::printf("growth %lld -> %lld rows: held x%.2f (rows x%.2f)\n", firstRows, rows, held / first,
                        double(rows) / double(firstRows));
        }
    }
    return 0;
}
