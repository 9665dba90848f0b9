// Opening a new certificate of a product with 15 quality-standard entries against 200 000 stored
// test rows, embedded and through the server on 127.0.0.1: the set-based open, the row-by-row
// open it replaced (one query and one key read per entry), and one select of a certificate's
// tests, with the statements each issues (medians of 5). Prints only.
#include "benchfigures.h"

#include "db/connection.h"
#include "lotedit/certificate.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const int kEntries = 15;
const int kTestRows = 200000;
const int kTestsPerCertificate = 10;

// The open as first written: per entry, a query for the test and a read of the largest key.
void rowByRowOpen(db::Connection &conn, const lotedit::CertificateKey &key)
{
    using namespace lotedit;
    int number;
    const db::Rows header = conn.query(CertificateLookupStatement(key));
    if (!header.isEmpty()) {
        number = int(header.rows.front().front().toInt());
    } else {
        number = int(conn.query(kLargestCertificateStatement).rows.front().front().toInt()) + 1;
        conn.execute(CertificateInsertStatement(number, key));
    }
    const db::Rows entries = conn.query(TestEntriesStatement(key.code));
    for (size_t i = 0; i < entries.rows.size(); ++i) {
        const QString entryCode = entries.at(i, QStringLiteral("CODIGOESPEC")).toString();
        if (!conn.query(QStringLiteral("select ") + kCertificateTestList + QStringLiteral(" from CQPORLOTE where CODIGOLAUDO = ")
                        + QString::number(number) + QStringLiteral(" and CODIGOESPEC = '") + entryCode + QStringLiteral("'"))
                 .isEmpty())
            continue;
        const int test = int(conn.query(kLargestTestStatement).rows.front().front().toInt()) + 1;
        conn.execute(TestInsertStatement(test, number, int(entryCode.toInt()), entries.at(i, QStringLiteral("ESPECIFICACAO")).toString()));
    }
}

struct Figure {
    double ms = 1e300;
    uint64_t statements = 0;
};

Figure measure(int runs, const std::function<void(int)> &step)
{
    Figure f;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const uint64_t before = db::statementsIssued();
        QElapsedTimer t;
        t.start();
        step(i);
        times.push_back(bench::ms(t));
        f.statements = db::statementsIssued() - before;
    }
    f.ms = bench::median(times);
    return f;
}

// The four figures on one attachment; keys of lots not opened before under `tag`.
void figures(db::Connection &conn, const char *where, const QString &tag)
{
    const int runs = 5;
    const auto key = [&](const char *prefix, int i) {
        return lotedit::CertificateKeyOf(QStringLiteral("P15"), QStringLiteral("%1%2%3").arg(tag, QLatin1String(prefix)).arg(i),
                                         QStringLiteral("Fornecedor"));
    };
    int lastNumber = 0;
    const Figure ours = measure(runs, [&](int i) { lastNumber = lotedit::FindOrCreateCertificate(conn, key("NOVO", i)).number; });
    const Figure reopen = measure(runs, [&](int i) { lotedit::FindOrCreateCertificate(conn, key("NOVO", i)); });
    const Figure rowByRow = measure(runs, [&](int i) { rowByRowOpen(conn, key("VELHO", i)); });
    const Figure oneSelect = measure(runs, [&](int) {
        conn.query(QStringLiteral("select CODIGOENSAIO, CODIGOESPEC, RESULTADO from CQPORLOTE where CODIGOLAUDO = %1").arg(lastNumber));
    });

    std::printf("%s\n", where);
    std::printf("  new certificate, set-based : %8.2f ms  %3llu statements\n", ours.ms, (unsigned long long)ours.statements);
    std::printf("  existing certificate       : %8.2f ms  %3llu statements\n", reopen.ms, (unsigned long long)reopen.statements);
    std::printf("  new certificate, row by row: %8.2f ms  %3llu statements\n", rowByRow.ms, (unsigned long long)rowByRow.statements);
    std::printf("  one select of its tests    : %8.2f ms  %3llu statements\n", oneSelect.ms, (unsigned long long)oneSelect.statements);
    std::printf("  ratio set-based / one select: %.1f   row by row / set-based: %.1f\n", ours.ms / oneSelect.ms,
                rowByRow.ms / ours.ms);
}

} // namespace

const char kUsage[] = "usage: bench_certificate_open --sql FILE\n"
                      "  FILE: the central tables' script (sql/central.sql); the fixture is built in a new\n"
                      "  database in a temporary folder\n";

static int measure(QFile &script);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("sql"), QStringLiteral("the central tables' script"), QStringLiteral("FILE")});
        bench::parseArguments(p);
        if (!p.isSet(QStringLiteral("sql")))
            throw bench::UsageError{QStringLiteral("--sql FILE is needed")};
        QFile script(p.value(QStringLiteral("sql")));
        if (!QFileInfo(script).isFile() || !script.open(QIODevice::ReadOnly))
            throw bench::UsageError{QStringLiteral("cannot read %1").arg(script.fileName())};
        return measure(script);
    });
}

static int measure(QFile &script)
{
    QTemporaryDir dir;
    const db::Target target{dir.filePath(QStringLiteral("central.bd")), true, true};
    db::Connection::createDatabase(target);
    db::Connection conn;
    conn.configure(target);
    conn.runScript(QString::fromUtf8(script.readAll()));

    QElapsedTimer fill;
    fill.start();
    {
        db::Transaction tx(conn);
        db::Prepared insertEntry(tx, QStringLiteral("insert into ESPECIFICACOES (CODIGOESPEC, ENSAIO, ESPECIFICACAO) values (?, ?, ?)"));
        db::Prepared link(tx, QStringLiteral("insert into ENSAIOS (CODIGOCOMP, CODIGOESPEC) values (?, ?)"));
        for (int s = 1; s <= 60; ++s) {
            insertEntry.execute({db::Value::integer(s), db::Value::text(QStringLiteral("Ensaio %1").arg(s, 3, 10, QLatin1Char('0'))),
                          db::Value::text(QStringLiteral("Especificação do ensaio %1").arg(s))});
            // The benchmarked product has 15 entries; others have some of the rest.
            link.execute({db::Value::text(s <= kEntries ? QStringLiteral("P15") : QStringLiteral("OUTRO%1").arg(s % 7)),
                          db::Value::integer(s)});
        }
        db::Prepared header(tx, QStringLiteral("insert into LAUDOPORLOTE (CODIGOLAUDO, CODIGOCOMP, LOTE, FORNECEDOR) values (?, ?, ?, ?)"));
        db::Prepared test(tx, QStringLiteral("insert into CQPORLOTE (CODIGOENSAIO, CODIGOLAUDO, CODIGOESPEC, RESULTADO) values (?, ?, ?, ?)"));
        const int certificates = kTestRows / kTestsPerCertificate;
        for (int c = 1; c <= certificates; ++c) {
            header.execute({db::Value::integer(c), db::Value::text(QStringLiteral("P%1").arg(c % 500)),
                            db::Value::text(QStringLiteral("L%1").arg(c)), db::Value::text(QStringLiteral("Fornecedor"))});
            for (int t = 0; t < kTestsPerCertificate; ++t)
                test.execute({db::Value::integer((c - 1) * kTestsPerCertificate + t + 1), db::Value::integer(c),
                              db::Value::integer(t + 1), db::Value::text(QStringLiteral("conforme"))});
        }
        tx.commit();
    }
    std::printf("fixture: %d certificates, %d test rows, %d entries for the product (%.0f ms)\n",
                kTestRows / kTestsPerCertificate, kTestRows, kEntries, bench::ms(fill));

    figures(conn, "embedded", QStringLiteral("E"));
    conn.close();

    // The same file through the server, which must be able to write it.
    QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
    QFile::setPermissions(target.location, QFileDevice::Permissions(0x6666));
    db::Connection server;
    server.configure(db::Target{QStringLiteral("127.0.0.1:") + target.location, false, true});
    figures(server, "through the server on 127.0.0.1", QStringLiteral("S"));
    return 0;
}
