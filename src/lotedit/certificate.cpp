// Find-or-create, save and print of a lot's quality-control certificate.
#include "certificate.h"

#include "data/cacheddataset.h"
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

QString TestEntriesStatement(const QString &code)
{
    return QStringLiteral("select A.CODIGOCOMP, A.CODIGOESPEC, B.ENSAIO, B.ESPECIFICACAO from ENSAIOS A, ESPECIFICACOES B "
                          "WHERE (A.CODIGOCOMP = '")
        + q(code) + QStringLiteral("') AND (A.CODIGOESPEC=B.CODIGOESPEC) ORDER BY B.ENSAIO");
}

QString TestInsertStatement(int testNumber, int number, int testEntry, const QString &requiredValue)
{
    return QStringLiteral("Insert into CQPORLOTE (") + kCertificateTestList + QStringLiteral(") values (")
        + QString::number(testNumber) + QStringLiteral(", ") + QString::number(number) + QStringLiteral(", ")
        + QString::number(testEntry) + QStringLiteral(", '") + q(requiredValue) + QStringLiteral("', Null, Null )");
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

    const db::Rows entries = tx.query(TestEntriesStatement(key.code));
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
        const int testCodeCol = entries.indexOf(QStringLiteral("CODIGOESPEC"));
        const int valueCol = entries.indexOf(QStringLiteral("ESPECIFICACAO"));
        for (const auto &row : entries.rows) {
            const int64_t entryCode = row[size_t(testCodeCol)].toInt();
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
        + QString::number(number) + QStringLiteral(" and CODIGOESPEC = ") + QString::number(test.testEntry);
}

namespace {

const QString kShownHeaderColumns = QStringLiteral("DATA, MANIPULADOR, ANALISTA, TAMANHOLOTE, RESULTADOFINAL");

QString textOf(const db::Value &v)
{
    return v.isNull() ? QString() : v.toString();
}

// Reads the certificate; with lock, its rows stay this transaction's until it ends (a lock that
// waited on another workstation's commit is taken again on what it left).
CertificateShown readCertificate(db::Transaction &tx, int number, bool lock)
{
    const QString tail = lock ? QStringLiteral(" with lock") : QString();
    const std::vector<db::Value> key{db::Value::integer(number)};
    for (int attempt = 0;; ++attempt) {
        try {
            CertificateShown out;
            const db::Rows h = tx.query(QStringLiteral("select ") + kShownHeaderColumns
                                            + QStringLiteral(" from LAUDOPORLOTE where CODIGOLAUDO = ?") + tail,
                                        key);
            if (!h.isEmpty()) {
                const auto &r = h.rows.front();
                out.header = {r[0].isNull() ? QDate() : r[0].toDate(), textOf(r[1]), textOf(r[2]), textOf(r[3]), textOf(r[4])};
            }
            const db::Rows t = tx.query(
                QStringLiteral("select CODIGOESPEC, RESULTADO from CQPORLOTE where CODIGOLAUDO = ?") + tail, key);
            for (const auto &r : t.rows)
                out.results[int(r[0].toInt())] = textOf(r[1]);
            return out;
        } catch (const db::DbError &e) {
            if (!e.isUpdateConflict() || attempt >= 20)
                throw;
        }
    }
}

db::Value dateValue(const QDate &d)
{
    return d.isValid() ? db::Value::date(d) : db::Value();
}

db::Value textValue(const QString &t)
{
    return t.isEmpty() ? db::Value() : db::Value::text(t);
}

} // namespace

CertificateShown ReadCertificate(db::Connection &conn, int number)
{
    db::Transaction tx(conn);
    CertificateShown out = readCertificate(tx, number, false);
    tx.commit();
    return out;
}

std::vector<size_t> CarryHeader(std::vector<CertificateRow> &rows, const CertificateHeader &header)
{
    std::vector<size_t> changed;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].header == header)
            continue;
        rows[i].header = header;
        changed.push_back(i);
    }
    return changed;
}

std::vector<size_t> TakeStoredValues(std::vector<CertificateRow> &rows, const CertificateShown &shown,
                                     const CertificateShown &stored)
{
    // A value is taken only where the row still shows what the panel started from and the
    // stored one is another: a value typed since then is the operator's, kept for the next save.
    const auto take = [](auto &value, const auto &was, const auto &now) {
        if (value != was || was == now)
            return false;
        value = now;
        return true;
    };
    const CertificateHeader &was = shown.header, &now = stored.header;
    std::vector<size_t> changed;
    for (size_t i = 0; i < rows.size(); ++i) {
        CertificateHeader &h = rows[i].header;
        bool any = take(h.date, was.date, now.date);
        any |= take(h.handler, was.handler, now.handler);
        any |= take(h.analyst, was.analyst, now.analyst);
        any |= take(h.lotSize, was.lotSize, now.lotSize);
        any |= take(h.verdict, was.verdict, now.verdict);
        const auto w = shown.results.find(rows[i].testEntry);
        const auto n = stored.results.find(rows[i].testEntry);
        if (w != shown.results.end() && n != stored.results.end())
            any |= take(rows[i].result, w->second, n->second);
        if (any)
            changed.push_back(i);
    }
    return changed;
}

void SaveCertificate(db::Connection &conn, int number, const CertificateHeader &header,
                     const std::vector<TestResult> &tests, platform::Clipboard *clipboard,
                     const CertificateShown *shown)
{
    db::Transaction tx(conn);
    if (shown) {
        // Every value the statements below write must still be the one the panel showed.
        CertificateShown stored = readCertificate(tx, number, true);
        std::vector<data::FieldConflict> conflicts;
        const auto check = [&](const QString &column, const db::Value &now, const db::Value &was, const db::Value &typed) {
            if (now != was)
                conflicts.push_back({column, now, was, typed});
        };
        const CertificateHeader &s = stored.header, &w = shown->header;
        check(QStringLiteral("DATA"), dateValue(s.date), dateValue(w.date), dateValue(header.date));
        check(QStringLiteral("MANIPULADOR"), textValue(s.handler), textValue(w.handler), textValue(header.handler));
        check(QStringLiteral("ANALISTA"), textValue(s.analyst), textValue(w.analyst), textValue(header.analyst));
        check(QStringLiteral("TAMANHOLOTE"), textValue(s.lotSize), textValue(w.lotSize), textValue(header.lotSize));
        check(QStringLiteral("RESULTADOFINAL"), textValue(s.verdict), textValue(w.verdict), textValue(header.verdict));
        for (const TestResult &t : tests) {
            const auto was = shown->results.find(t.testEntry);
            const auto now = stored.results.find(t.testEntry);
            check(QStringLiteral("RESULTADO"), now == stored.results.end() ? db::Value() : textValue(now->second),
                  was == shown->results.end() ? db::Value() : textValue(was->second), textValue(t.result));
        }
        if (!conflicts.empty()) {
            tx.rollback();
            throw CertificateChanged(data::ConflictMessage(QStringLiteral("LAUDOPORLOTE"), conflicts), std::move(stored));
        }
    }
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
