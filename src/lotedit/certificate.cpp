// Find-or-create, save and print of a lot's quality-control certificate.
#include "certificate.h"

#include "data/columns.h"
#include "db/sqltext.h"
#include "platform/clipboard.h"
#include "platform/launcher.h"
#include "platform/operator.h"

#include <QSet>

namespace lotedit {

namespace {

QString q(const QString &text)
{
    return db::escapeQuotes(text);
}

int largestPlusOne(db::Transaction &tx, const QString &sql)
{
    const db::Rows rows = tx.query(sql);
    return rows.isEmpty() ? 1 : int(rows.rows.front().front().toInt()) + 1;   // empty table: null, read as 0
}

} // namespace

CertificateKey CertificateKeyOf(const QString &code, const QString &lot, const QString &supplier)
{
    const QString table = QStringLiteral("LAUDOPORLOTE");
    return {data::CutToColumn(table, QStringLiteral("CODIGOCOMP"), code), data::CutToColumn(table, QStringLiteral("LOTE"), lot),
            data::CutToColumn(table, QStringLiteral("FORNECEDOR"), supplier)};
}

QString CertificateLookupStatement(const CertificateKey &key)
{
    return QStringLiteral("Select ") + kCertificateHeaderList + QStringLiteral(" from LAUDOPORLOTE where CODIGOCOMP = '")
        + q(key.code) + QStringLiteral("' and LOTE = '") + q(key.lot) + QStringLiteral("' and FORNECEDOR = '")
        + q(key.supplier) + QStringLiteral("'");
}

QString CertificateInsertStatement(int number, const CertificateKey &key)
{
    return QStringLiteral("Insert into LAUDOPORLOTE (") + kCertificateHeaderList + QStringLiteral(") values (")
        + QString::number(number) + QStringLiteral(",Null, Null, Null, Null, '") + q(key.code) + QStringLiteral("', '")
        + q(key.lot) + QStringLiteral("', '") + q(key.supplier) + QStringLiteral("', Null, Null)");
}

QString SpecificationEntriesStatement(const QString &code)
{
    return QStringLiteral("select A.CODIGOCOMP, A.CODIGOESPEC, B.ENSAIO, B.ESPECIFICACAO from ENSAIOS A, ESPECIFICACOES B "
                          "WHERE (A.CODIGOCOMP = '")
        + q(code) + QStringLiteral("') AND (A.CODIGOESPEC=B.CODIGOESPEC) ORDER BY B.ENSAIO");
}

QString TestInsertStatement(int testNumber, int number, int specEntry, const QString &requiredValue)
{
    return QStringLiteral("Insert into CQPORLOTE (") + kCertificateTestList + QStringLiteral(") values (")
        + QString::number(testNumber) + QStringLiteral(", ") + QString::number(number) + QStringLiteral(", ")
        + QString::number(specEntry) + QStringLiteral(", '") + q(requiredValue) + QStringLiteral("', Null, Null )");
}

QString CertificateViewStatement(const CertificateKey &key)
{
    const QString header = QStringLiteral("(a.CODIGOCOMP  = '") + q(key.code) + QStringLiteral("') and (a.LOTE        = '")
        + q(key.lot) + QStringLiteral("') and (a.FORNECEDOR  = '") + q(key.supplier) + QStringLiteral("')");
    return QStringLiteral(
               "select a.CODIGOLAUDO, a.DATA, a.MANIPULADOR, a.ANALISTA, a.TAMANHOLOTE, a.CODIGOCOMP, a.LOTE, a.FORNECEDOR, "
               "a.LABORATORIO, a.RESULTADOFINAL, b.CODIGOENSAIO, b.CODIGOLAUDO, b.CODIGOESPEC, b.RESULTADO, b.DATADAANALISE, "
               "b.RESPONSAVEL, c.CODIGOESPEC, c.ENSAIO, c.ESPECIFICACAO from LAUDOPORLOTE a, CQPORLOTE b, ESPECIFICACOES c "
               "where (a.CODIGOLAUDO = b.CODIGOLAUDO) and (b.CODIGOESPEC = c.CODIGOESPEC) and ")
        + header
        + QStringLiteral(
               " union all select a.CODIGOLAUDO, a.DATA, a.MANIPULADOR, a.ANALISTA, a.TAMANHOLOTE, a.CODIGOCOMP, a.LOTE, "
               "a.FORNECEDOR, a.LABORATORIO, a.RESULTADOFINAL, null, null, null, null, null, null, null, null, null "
               "from LAUDOPORLOTE a where ")
        + header
        + QStringLiteral(" and not exists (select 1 from CQPORLOTE b, ESPECIFICACOES c where (b.CODIGOLAUDO = a.CODIGOLAUDO) "
                         "and (b.CODIGOESPEC = c.CODIGOESPEC))");
}

OpenedCertificate FindOrCreateCertificate(db::Connection &conn, const CertificateKey &key)
{
    OpenedCertificate opened;
    db::Transaction tx(conn, {QStringLiteral("LAUDOPORLOTE"), QStringLiteral("CQPORLOTE")});

    const db::Rows header = tx.query(CertificateLookupStatement(key));
    if (!header.isEmpty()) {
        opened.number = int(header.at(0, QStringLiteral("CODIGOLAUDO")).toInt());
    } else {
        opened.number = largestPlusOne(tx, kLargestCertificateStatement);
        tx.execute(CertificateInsertStatement(opened.number, key));
        opened.created = true;
    }

    const db::Rows entries = tx.query(SpecificationEntriesStatement(key.code));
    if (!entries.isEmpty()) {
        // What the certificate already has, in one statement rather than one per entry.
        QSet<int64_t> present;
        if (!opened.created) {
            const db::Rows tests = tx.query(QStringLiteral("select CODIGOESPEC from CQPORLOTE where CODIGOLAUDO = ")
                                            + QString::number(opened.number));
            for (const auto &row : tests.rows)
                if (!row.front().isNull())
                    present.insert(row.front().toInt());
        }
        int nextTest = 0;
        const int specCol = entries.indexOf(QStringLiteral("CODIGOESPEC"));
        const int valueCol = entries.indexOf(QStringLiteral("ESPECIFICACAO"));
        for (const auto &row : entries.rows) {
            const int64_t entryCode = row[size_t(specCol)].toInt();
            if (present.contains(entryCode))
                continue;
            if (nextTest == 0)
                nextTest = largestPlusOne(tx, kLargestTestStatement);
            tx.execute(TestInsertStatement(nextTest++, opened.number, int(entryCode), row[size_t(valueCol)].toString()));
            present.insert(entryCode);
            ++opened.testsAdded;
        }
    }
    tx.commit();
    return opened;
}

QString HeaderUpdateStatement(int number, const CertificateHeader &header)
{
    const QString date = header.date.isValid() ? QStringLiteral("'") + db::isoDate(header.date) + QStringLiteral("'")
                                               : QStringLiteral("Null");
    return QStringLiteral("Update LAUDOPORLOTE set DATA = ") + date + QStringLiteral(", MANIPULADOR    = '")
        + q(header.handler) + QStringLiteral("', ANALISTA       = '") + q(header.analyst)
        + QStringLiteral("', TAMANHOLOTE    = '") + q(header.lotSize) + QStringLiteral("', RESULTADOFINAL = '")
        + q(header.verdict) + QStringLiteral("' where CODIGOLAUDO = ") + QString::number(number);
}

QString TestUpdateStatement(int number, const TestResult &test)
{
    return QStringLiteral("Update CQPORLOTE set RESULTADO  = '") + q(test.result) + QStringLiteral("' where CODIGOLAUDO = ")
        + QString::number(number) + QStringLiteral(" and CODIGOESPEC = ") + QString::number(test.specEntry);
}

void SaveCertificate(db::Connection &conn, int number, const CertificateHeader &header,
                     const std::vector<TestResult> &tests, platform::Clipboard *clipboard)
{
    db::Transaction tx(conn);
    const auto run = [&](const QString &sql) {
        if (clipboard)
            clipboard->setText(sql);
        tx.execute(sql);
    };
    run(HeaderUpdateStatement(number, header));
    for (const TestResult &t : tests)
        run(TestUpdateStatement(number, t));
    tx.commit();
}

QString CertificateProgramPath(const QString &server)
{
    return QStringLiteral("\\\\") + server + QStringLiteral("\\FORMULIX\\Arinto.exe");
}

QString CertificateProgramMissingMessage(const QString &server)
{
    return QStringLiteral("Arquivo \"") + CertificateProgramPath(server) + QStringLiteral("\" não encontrado!");
}

QString CertificateProgramCommandLine(const QString &server, const QString &code, const QString &lot,
                                      const QString &supplier, const QString &validity, const QString &user)
{
    const QChar dq(u'"');
    const QString line = CertificateProgramPath(server) + QStringLiteral(" ") + code + QStringLiteral(" ") + lot
        + QStringLiteral("  ") + dq + supplier + dq + QStringLiteral("  ") + dq + validity + dq + QStringLiteral("  ")
        + dq + user + dq;
    return line.left(255);
}

bool StartCertificateProgram(const platform::WinPaths &paths, const QString &server, const QString &commandLine,
                             platform::Operator &op)
{
    if (!platform::ProgramExists(paths, CertificateProgramPath(server))) {
        op.inform(CertificateProgramMissingMessage(server));
        return false;
    }
    if (platform::StartProgram(paths, commandLine) != platform::LaunchResult::Started) {
        op.warn(kCertificateProgramFailedMessage);
        return false;
    }
    return true;
}

} // namespace lotedit
