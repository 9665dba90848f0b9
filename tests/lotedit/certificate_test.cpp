// The certificate of a lot on a real database: found or created with a test per quality standard
// entry, keys that two workstations never share, values cut and quoted alike for lookup and
// insert, the header and results saved all or nothing, and the printing program started with
// the lot's arguments.
#include "lotedit/certificate.h"

#include "platform/clipboard.h"
#include "platform/winpath.h"
#include "support/recordingoperator.h"
#include "support/testdb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <set>
#include <thread>

using namespace lotedit;

namespace {

struct RecordingClipboard : platform::Clipboard {
    QStringList texts;
    void setText(const QString &text) override { texts << text; }
};

class Certificate : public ::testing::Test {
protected:
    testsupport::TempDatabase tdb;

    void exec(const QString &sql) { tdb.conn().execute(sql); }

    void addEntry(int entryCode, const QString &test, const QString &required)
    {
        tdb.conn().execute(QStringLiteral("insert into ESPECIFICACOES (CODIGOESPEC, ENSAIO, ESPECIFICACAO) values (?, ?, ?)"),
                           {db::Value::integer(entryCode), db::Value::text(test), db::Value::text(required)});
    }
    void link(const QString &code, int entryCode)
    {
        tdb.conn().execute(QStringLiteral("insert into ENSAIOS (CODIGOCOMP, CODIGOESPEC) values (?, ?)"),
                           {db::Value::text(code), db::Value::integer(entryCode)});
    }
    // "key|entry|result" of every test of a certificate, by test key.
    QStringList tests(int number)
    {
        QStringList out;
        const db::Rows rows = tdb.conn().query(
            QStringLiteral("select CODIGOENSAIO, CODIGOESPEC, RESULTADO from CQPORLOTE where CODIGOLAUDO = %1 order by CODIGOENSAIO")
                .arg(number));
        for (const auto &r : rows.rows)
            out << r[0].toString() + u'|' + r[1].toString() + u'|' + r[2].toString();
        return out;
    }
    int count(const QString &sql) { return int(tdb.conn().query(sql).rows.front().front().toInt()); }

    // Both tables whole, ordered, as text: what two runs of the open must agree on.
    QStringList everything(db::Connection &conn)
    {
        QStringList out;
        for (const QString &sql : {QStringLiteral("select * from LAUDOPORLOTE order by CODIGOLAUDO"),
                                   QStringLiteral("select * from CQPORLOTE order by CODIGOENSAIO")}) {
            const db::Rows rows = conn.query(sql);
            for (const auto &r : rows.rows) {
                QStringList cells;
                for (const db::Value &v : r)
                    cells << (v.isNull() ? QStringLiteral("<null>") : v.toString());
                out << cells.join(u'|');
            }
        }
        return out;
    }

    void standardProduct()
    {
        addEntry(1, QStringLiteral("pH"), QStringLiteral("5,0 a 7,0"));
        addEntry(2, QStringLiteral("Aspecto"), QStringLiteral("Pó branco"));
        addEntry(3, QStringLiteral("Umidade"), QStringLiteral("conforme 'USP'"));
        link(QStringLiteral("001"), 1);
        link(QStringLiteral("001"), 2);
    }
};

TEST_F(Certificate, NewCertificateGetsATestPerEntryAndReopeningAddsOnlyWhatIsMissing)
{
    standardProduct();
    // Other lots' certificates hold keys 1, 2 and 7; the tests' largest key is 3.
    for (int k : {1, 2, 7})
        exec(QStringLiteral("insert into LAUDOPORLOTE (CODIGOLAUDO, CODIGOCOMP, LOTE, FORNECEDOR) values (%1, '009', 'L%1', 'F')").arg(k));
    exec(QStringLiteral("insert into CQPORLOTE (CODIGOENSAIO, CODIGOLAUDO, CODIGOESPEC, RESULTADO) values (3, 1, 9, 'x')"));

    const CertificateKey key = CertificateKeyOf(QStringLiteral("001"), QStringLiteral("L-1"), QStringLiteral("Galena"));
    OpenedCertificate c = FindOrCreateCertificate(tdb.conn(), key);
    EXPECT_EQ(c.number, 8);
    EXPECT_TRUE(c.created);
    EXPECT_EQ(c.testsAdded, 2);
    // In the order of the test names; each result starts as the required value.
    EXPECT_EQ(tests(8), QStringList({QStringLiteral("4|2|Pó branco"), QStringLiteral("5|1|5,0 a 7,0")}));
    const db::Rows header = tdb.conn().query(QStringLiteral("select * from LAUDOPORLOTE where CODIGOLAUDO = 8"));
    ASSERT_EQ(header.rows.size(), 1u);
    EXPECT_TRUE(header.at(0, QStringLiteral("DATA")).isNull());
    EXPECT_TRUE(header.at(0, QStringLiteral("LABORATORIO")).isNull());
    EXPECT_EQ(header.at(0, QStringLiteral("FORNECEDOR")).toString(), QStringLiteral("Galena"));

    // Again: nothing new.
    c = FindOrCreateCertificate(tdb.conn(), key);
    EXPECT_EQ(c.number, 8);
    EXPECT_FALSE(c.created);
    EXPECT_EQ(c.testsAdded, 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from LAUDOPORLOTE")), 4);

    // An entry added to the product later joins; one that no longer applies stays.
    link(QStringLiteral("001"), 3);
    exec(QStringLiteral("delete from ENSAIOS where CODIGOESPEC = 2"));
    c = FindOrCreateCertificate(tdb.conn(), key);
    EXPECT_EQ(c.testsAdded, 1);
    EXPECT_EQ(tests(8), QStringList({QStringLiteral("4|2|Pó branco"), QStringLiteral("5|1|5,0 a 7,0"),
                                     QStringLiteral("6|3|conforme 'USP'")}));

    // The same lot from another supplier is another certificate.
    c = FindOrCreateCertificate(tdb.conn(), CertificateKeyOf(QStringLiteral("001"), QStringLiteral("L-1"), QStringLiteral("Pharma")));
    EXPECT_EQ(c.number, 9);
    EXPECT_TRUE(c.created);
    EXPECT_EQ(tests(9).size(), 2);
}

TEST_F(Certificate, FirstKeysOfEmptyTablesAreOneAndAProductWithoutEntriesGetsOnlyTheHeader)
{
    addEntry(1, QStringLiteral("pH"), QStringLiteral("5"));
    link(QStringLiteral("001"), 1);
    OpenedCertificate c = FindOrCreateCertificate(tdb.conn(), CertificateKeyOf(QStringLiteral("001"), QStringLiteral("L"), QStringLiteral("F")));
    EXPECT_EQ(c.number, 1);
    EXPECT_EQ(tests(1), QStringList{QStringLiteral("1|1|5")});

    c = FindOrCreateCertificate(tdb.conn(), CertificateKeyOf(QStringLiteral("777"), QStringLiteral("L"), QStringLiteral("F")));
    EXPECT_EQ(c.number, 2);
    EXPECT_EQ(c.testsAdded, 0);
    EXPECT_TRUE(tests(2).isEmpty());
}

TEST_F(Certificate, WideCodeAndSupplierAreCutAlikeSoTheCertificateIsFoundAgain)
{
    standardProduct();
    link(QStringLiteral("1234567890"), 1);
    // The lot's code holds 13 characters and its supplier 40; the certificate's 10 and 35.
    const QString code = QStringLiteral("1234567890123");
    const QString supplier = QStringLiteral("Distribuidora D'Ávila de Insumos Farmacêuticos");
    const CertificateKey key = CertificateKeyOf(code, QStringLiteral("L'1"), supplier.left(40));
    EXPECT_EQ(key.code, QStringLiteral("1234567890"));
    EXPECT_EQ(key.supplier, supplier.left(35));

    const OpenedCertificate first = FindOrCreateCertificate(tdb.conn(), key);
    const OpenedCertificate again = FindOrCreateCertificate(tdb.conn(), CertificateKeyOf(code, QStringLiteral("L'1"), supplier.left(40)));
    EXPECT_FALSE(again.created);
    EXPECT_EQ(again.number, first.number);
    EXPECT_EQ(count(QStringLiteral("select count(*) from LAUDOPORLOTE")), 1);
    const db::Rows header = tdb.conn().query(QStringLiteral("select CODIGOCOMP, LOTE, FORNECEDOR from LAUDOPORLOTE"));
    EXPECT_EQ(header.at(0, QStringLiteral("LOTE")).toString(), QStringLiteral("L'1"));
    EXPECT_EQ(header.at(0, QStringLiteral("FORNECEDOR")).toString(), supplier.left(35));
    // The display rows are found by the same cut values.
    EXPECT_EQ(tdb.conn().query(CertificateViewStatement(key)).rows.size(), 1u);
}

// The open as the statements were first written, one query and one key read per entry, each
// statement on its own: the reference the set-based open must match.
OpenedCertificate rowByRowOpen(db::Connection &conn, const CertificateKey &key)
{
    OpenedCertificate c;
    db::Rows header = conn.query(CertificateLookupStatement(key));
    if (!header.isEmpty()) {
        c.number = int(header.rows.front().front().toInt());
    } else {
        c.number = int(conn.query(kLargestCertificateStatement).rows.front().front().toInt()) + 1;
        conn.execute(CertificateInsertStatement(c.number, key));
        c.created = true;
    }
    const db::Rows entries = conn.query(TestEntriesStatement(key.code));
    for (size_t i = 0; i < entries.rows.size(); ++i) {
        const QString entryCode = entries.at(i, QStringLiteral("CODIGOESPEC")).toString();
        const db::Rows found = conn.query(QStringLiteral("select ") + kCertificateTestList + QStringLiteral(" from CQPORLOTE where CODIGOLAUDO = ")
                                          + QString::number(c.number) + QStringLiteral(" and CODIGOESPEC = '") + entryCode + QStringLiteral("'"));
        if (!found.isEmpty())
            continue;
        const int test = int(conn.query(kLargestTestStatement).rows.front().front().toInt()) + 1;
        conn.execute(TestInsertStatement(test, c.number, int(entryCode.toInt()), entries.at(i, QStringLiteral("ESPECIFICACAO")).toString()));
        ++c.testsAdded;
    }
    return c;
}

TEST_F(Certificate, SetBasedOpenGivesTheRowsOfTheRowByRowOpen)
{
    testsupport::TempDatabase reference;
    for (db::Connection *conn : {&tdb.conn(), &reference.conn()}) {
        for (int entryCode = 1; entryCode <= 6; ++entryCode)
            conn->execute(QStringLiteral("insert into ESPECIFICACOES values (%1, 'Ensaio %2', 'Valor ''%1''')").arg(entryCode).arg(7 - entryCode));
        for (int entryCode : {1, 2, 3, 5, 5})   // an entry listed twice gets one test
            conn->execute(QStringLiteral("insert into ENSAIOS values ('001', %1)").arg(entryCode));
        conn->execute(QStringLiteral("insert into LAUDOPORLOTE (CODIGOLAUDO, CODIGOCOMP, LOTE, FORNECEDOR) values (4, '001', 'A', 'F')"));
        conn->execute(QStringLiteral("insert into CQPORLOTE (CODIGOENSAIO, CODIGOLAUDO, CODIGOESPEC, RESULTADO) values (10, 4, 2, 'ok')"));
        conn->execute(QStringLiteral("insert into CQPORLOTE (CODIGOENSAIO, CODIGOLAUDO, CODIGOESPEC, RESULTADO) values (11, 4, 6, 'velho')"));
    }
    for (const char *lot : {"A", "B", "A", "C"}) {
        const CertificateKey key = CertificateKeyOf(QStringLiteral("001"), QString::fromLatin1(lot), QStringLiteral("F"));
        const OpenedCertificate ours = FindOrCreateCertificate(tdb.conn(), key);
        const OpenedCertificate theirs = rowByRowOpen(reference.conn(), key);
        EXPECT_EQ(ours.number, theirs.number) << lot;
        EXPECT_EQ(ours.created, theirs.created) << lot;
        EXPECT_EQ(ours.testsAdded, theirs.testsAdded) << lot;
    }
    EXPECT_EQ(everything(tdb.conn()), everything(reference.conn()));
}

TEST_F(Certificate, TwoWorkstationsOpeningCertificatesAtOnceNeverShareAKey)
{
    standardProduct();
    link(QStringLiteral("001"), 3);
    std::unique_ptr<db::Connection> other = tdb.another();
    const int perWorkstation = 8;
    std::atomic<int> failures{0};
    const auto run = [&](db::Connection *conn, const QString &prefix) {
        try {
            // Both start on the same new lot, then each on lots of its own.
            FindOrCreateCertificate(*conn, CertificateKeyOf(QStringLiteral("001"), QStringLiteral("COMUM"), QStringLiteral("F")));
            for (int i = 0; i < perWorkstation; ++i)
                FindOrCreateCertificate(*conn, CertificateKeyOf(QStringLiteral("001"), prefix + QString::number(i), QStringLiteral("F")));
        } catch (const std::exception &e) {
            ADD_FAILURE() << e.what();
            ++failures;
        }
    };
    std::thread a(run, &tdb.conn(), QStringLiteral("A"));
    std::thread b(run, other.get(), QStringLiteral("B"));
    a.join();
    b.join();
    ASSERT_EQ(failures.load(), 0);

    const int certificates = 1 + 2 * perWorkstation;
    EXPECT_EQ(count(QStringLiteral("select count(*) from LAUDOPORLOTE")), certificates);
    EXPECT_EQ(count(QStringLiteral("select count(distinct CODIGOLAUDO) from LAUDOPORLOTE")), certificates);
    EXPECT_EQ(count(QStringLiteral("select count(*) from LAUDOPORLOTE where LOTE = 'COMUM'")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from CQPORLOTE")), 3 * certificates);
    EXPECT_EQ(count(QStringLiteral("select count(distinct CODIGOENSAIO) from CQPORLOTE")), 3 * certificates);
    EXPECT_EQ(count(QStringLiteral("select max(CODIGOENSAIO) from CQPORLOTE")), 3 * certificates);
}

TEST_F(Certificate, SaveWritesHeaderAndResultsAsTypedAndLeavesTheLastStatementOnTheClipboard)
{
    standardProduct();
    const OpenedCertificate c = FindOrCreateCertificate(tdb.conn(), CertificateKeyOf(QStringLiteral("001"), QStringLiteral("L"), QStringLiteral("F")));
    CertificateHeader h{QDate(2024, 3, 1), QStringLiteral("D'Ávila"), QStringLiteral("Ana"), QStringLiteral("25 kg"),
                        QStringLiteral("Aprovado")};
    RecordingClipboard clip;
    SaveCertificate(tdb.conn(), c.number, h, {{1, QStringLiteral("conforme 'USP'")}, {2, QStringLiteral("Pó fino")}}, &clip);

    EXPECT_EQ(clip.texts,
              QStringList({QStringLiteral("Update LAUDOPORLOTE set DATA = '2024-03-01', MANIPULADOR    = 'D''Ávila', ANALISTA       = 'Ana', "
                                          "TAMANHOLOTE    = '25 kg', RESULTADOFINAL = 'Aprovado' where CODIGOLAUDO = 1"),
                           QStringLiteral("Update CQPORLOTE set RESULTADO  = 'conforme ''USP''' where CODIGOLAUDO = 1 and CODIGOESPEC = 1"),
                           QStringLiteral("Update CQPORLOTE set RESULTADO  = 'Pó fino' where CODIGOLAUDO = 1 and CODIGOESPEC = 2")}));
    const db::Rows header = tdb.conn().query(QStringLiteral("select * from LAUDOPORLOTE"));
    EXPECT_EQ(header.at(0, QStringLiteral("DATA")).toDate(), QDate(2024, 3, 1));
    EXPECT_EQ(header.at(0, QStringLiteral("MANIPULADOR")).toString(), QStringLiteral("D'Ávila"));
    EXPECT_EQ(header.at(0, QStringLiteral("TAMANHOLOTE")).toString(), QStringLiteral("25 kg"));
    EXPECT_EQ(tests(1), QStringList({QStringLiteral("1|2|Pó fino"), QStringLiteral("2|1|conforme 'USP'")}));

    // A result the column cannot hold fails the save: header and first result stay as they were.
    h.analyst = QStringLiteral("Outra");
    EXPECT_THROW(SaveCertificate(tdb.conn(), c.number, h,
                                 {{2, QStringLiteral("novo")}, {1, QString(300, u'x')}}, &clip),
                 db::DbError);
    EXPECT_EQ(tdb.conn().query(QStringLiteral("select ANALISTA from LAUDOPORLOTE")).rows.front().front().toString(), QStringLiteral("Ana"));
    EXPECT_EQ(tests(1), QStringList({QStringLiteral("1|2|Pó fino"), QStringLiteral("2|1|conforme 'USP'")}));

    // No date: the header is still written, its date empty.
    SaveCertificate(tdb.conn(), c.number, CertificateHeader{{}, {}, QStringLiteral("Bia"), {}, {}}, {}, nullptr);
    const db::Rows after = tdb.conn().query(QStringLiteral("select DATA, ANALISTA from LAUDOPORLOTE"));
    EXPECT_TRUE(after.at(0, QStringLiteral("DATA")).isNull());
    EXPECT_EQ(after.at(0, QStringLiteral("ANALISTA")).toString(), QStringLiteral("Bia"));
}

TEST(CertificateProgram, CommandLineAndMissingProgram)
{
    EXPECT_EQ(CertificateProgramCommandLine(QStringLiteral("10.0.0.5"), QStringLiteral("0012"), QStringLiteral("L-9"),
                                            QStringLiteral("Galena Ltda"), QStringLiteral("31/05/2027"), QStringLiteral("MARIA")),
              QStringLiteral("\\\\10.0.0.5\\FORMULIX\\Arinto.exe 0012 L-9  \"Galena Ltda\"  \"31/05/2027\"  \"MARIA\""));
    EXPECT_EQ(CertificateProgramCommandLine(QStringLiteral("S"), QStringLiteral("1"), QString(300, u'L'), {}, {}, {}).size(), 255);

    QTemporaryDir dir;
    const platform::WinPaths paths = platform::WinPaths::parse(QStringLiteral("\\\\SRV\\Formulix = share\n"), dir.path());
    QDir(dir.path()).mkpath(QStringLiteral("share"));
    testsupport::RecordingOperator op;
    EXPECT_FALSE(StartCertificateProgram(paths, QStringLiteral("SRV"), QStringLiteral("\\\\SRV\\FORMULIX\\Arinto.exe 1"), op));
    EXPECT_EQ(op.texts(), QStringList{QStringLiteral("Arquivo \"\\\\SRV\\FORMULIX\\Arinto.exe\" não encontrado!")});
}

TEST(CertificateProgram, StartedWithTheLotsArgumentsWithoutWaiting)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("share"));
    const platform::WinPaths paths = platform::WinPaths::parse(QStringLiteral("\\\\SRV\\Formulix = share\n"), dir.path());
    // A stand-in that waits a moment, then writes one argument a line.
    const QString program = dir.filePath(QStringLiteral("share/arinto.exe"));
    const QString record = dir.filePath(QStringLiteral("args.txt"));
    QFile f(program);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("#!/bin/sh\nsleep 1\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '%1.part'\nmv '%1.part' '%1'\n")
                .arg(record).toUtf8());
    f.close();
    f.setPermissions(f.permissions() | QFile::ExeOwner);

    const QString line = CertificateProgramCommandLine(QStringLiteral("SRV"), QStringLiteral("0012"), QStringLiteral("L-9"),
                                                       QStringLiteral("D'Ávila  Ltda"), QStringLiteral("31/05/2027"),
                                                       QStringLiteral("MARIA"));
    testsupport::RecordingOperator op;
    EXPECT_TRUE(StartCertificateProgram(paths, QStringLiteral("SRV"), line, op));
    EXPECT_FALSE(QFile::exists(record));   // the panel does not wait for the program
    EXPECT_TRUE(op.texts().isEmpty());

    QElapsedTimer t;
    t.start();
    while (!QFile::exists(record) && t.elapsed() < 10000)
        QThread::msleep(50);
    QFile r(record);
    ASSERT_TRUE(r.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(r.readAll()),
              QStringLiteral("0012\nL-9\nD'Ávila  Ltda\n31/05/2027\nMARIA\n"));
}

} // namespace

namespace {

CertificateHeader header(const char *handler, const char *analyst, QDate date = {}, const char *verdict = "")
{
    return {date, QString::fromUtf8(handler), QString::fromUtf8(analyst), QString(), QString::fromUtf8(verdict)};
}

} // namespace

// The header typed on one row becomes every row's; rows that already show it are left alone,
// an empty text counting as no text.
TEST(CertificateRows, TheHeaderTypedOnOneRowIsCarriedToTheOthers)
{
    const CertificateHeader typed = header("Zé Antônio", "", QDate(2026, 3, 7), "Aprovado");
    std::vector<CertificateRow> rows = {
        {typed, 4, QStringLiteral("conforme")},
        {header("José", ""), 5, QStringLiteral("2,1")},
        {{QDate(2026, 3, 7), QStringLiteral("Zé Antônio"), QString(), QString(), QStringLiteral("Aprovado")}, 6, {}},
    };
    rows[2].header.analyst = QStringLiteral("");   // stored as an empty text, not as no text
    EXPECT_EQ(CarryHeader(rows, typed), std::vector<size_t>{1});
    for (const CertificateRow &r : rows)
        EXPECT_EQ(r.header, typed);
    EXPECT_EQ(rows[1].result, QStringLiteral("2,1"));
    EXPECT_EQ(rows[1].testEntry, 5);
}

// After another workstation saved the certificate: what the operator left as shown takes the
// stored value, what they typed stays for the next save, and a value stored the same as shown
// changes nothing.
TEST(CertificateRows, AfterAChangeElsewhereOnlyUntouchedValuesTakeTheStoredOnes)
{
    CertificateShown shown;
    shown.header = header("Ana", "Bia", QDate(2026, 1, 5));
    shown.results = {{4, QStringLiteral("conforme")}, {5, QStringLiteral("2,0")}, {6, QStringLiteral("pó branco")}};
    CertificateShown stored;
    stored.header = header("Ana Lúcia", "Bia", QDate(2026, 1, 6), "Reprovado");
    stored.results = {{4, QStringLiteral("não conforme")}, {5, QStringLiteral("2,2")}, {6, QStringLiteral("pó branco")}};

    CertificateHeader typedHeader = shown.header;
    typedHeader.date = QDate(2026, 2, 1);   // the operator's own date stays
    std::vector<CertificateRow> rows = {
        {typedHeader, 4, QStringLiteral("conforme")},   // result untouched: takes the stored one
        {typedHeader, 5, QStringLiteral("2,1")},        // result typed: stays
        {typedHeader, 6, QStringLiteral("pó branco")},  // stored as shown: nothing to take
        {typedHeader, 7, QStringLiteral("novo")},       // a test the panel never showed
    };
    EXPECT_EQ(TakeStoredValues(rows, shown, stored), (std::vector<size_t>{0, 1, 2, 3}));
    for (const CertificateRow &r : rows) {
        EXPECT_EQ(r.header.date, QDate(2026, 2, 1));
        EXPECT_EQ(r.header.handler, QStringLiteral("Ana Lúcia"));
        EXPECT_EQ(r.header.analyst, QStringLiteral("Bia"));
        EXPECT_EQ(r.header.verdict, QStringLiteral("Reprovado"));
    }
    EXPECT_EQ(rows[0].result, QStringLiteral("não conforme"));
    EXPECT_EQ(rows[1].result, QStringLiteral("2,1"));
    EXPECT_EQ(rows[2].result, QStringLiteral("pó branco"));
    EXPECT_EQ(rows[3].result, QStringLiteral("novo"));

    // Nothing stored differs from what was shown: no row changes.
    std::vector<CertificateRow> again = rows;
    EXPECT_TRUE(TakeStoredValues(again, stored, stored).empty());
    EXPECT_EQ(again, rows);
}
