// The quality-control certificate of a lot: its header in LAUDOPORLOTE and one row of CQPORLOTE
// per test of the product's quality standards, found or created, saved, and printed by the suite's
// certificate program.
#pragma once
#include "db/connection.h"
#include "platform/error.h"

#include <QDate>
#include <QString>
#include <map>
#include <stdexcept>
#include <vector>

namespace platform {
class Clipboard;
class Operator;
class WinPaths;
}

namespace lotedit {

inline const QString kCertificateHeaderList = QStringLiteral(
    "CODIGOLAUDO, DATA, MANIPULADOR, ANALISTA, TAMANHOLOTE, CODIGOCOMP, LOTE, FORNECEDOR, LABORATORIO, RESULTADOFINAL");
inline const QString kCertificateTestList =
    QStringLiteral("CODIGOENSAIO, CODIGOLAUDO, CODIGOESPEC, RESULTADO, DATADAANALISE, RESPONSAVEL");

// A certificate is found by the lot's product code, lot and supplier. The lot's code and supplier
// columns are wider than the certificate's: the values are cut to the certificate's widths once,
// here, so the lookup finds again what the insert stored.
struct CertificateKey {
    QString code;       // up to 10
    QString lot;        // up to 30
    QString supplier;   // up to 35
};
CertificateKey CertificateKeyOf(const QString &code, const QString &lot, const QString &supplier);

// Statements; text values have their single quotes doubled.
QString CertificateLookupStatement(const CertificateKey &key);
QString CertificateInsertStatement(int number, const CertificateKey &key);
QString TestEntriesStatement(const QString &code);
QString TestInsertStatement(int testNumber, int number, int testEntry, const QString &requiredValue);
// The display rows: one per test, each with the header and the quality-standard entry; a
// certificate without tests gives one row of its header alone (its test columns null).
QString CertificateViewStatement(const CertificateKey &key);

inline const QString kLargestCertificateStatement = QStringLiteral("Select max(CODIGOLAUDO) as MAIOR from LaudoPorLote");
inline const QString kLargestTestStatement = QStringLiteral("Select max(CODIGOENSAIO) as MAIOR from CQPORLOTE");

struct OpenedCertificate {
    int number = 0;
    bool created = false;   // the header was inserted now
    int testsAdded = 0;
};

// Finds the certificate or creates it, and adds a test row (its result starting as the entry's
// required value) for every quality-standard entry of the product it lacks; tests whose entry no
// longer applies stay. All in one transaction that reserves both tables, so a second workstation
// doing the same waits: no two certificates of one lot, no key taken twice. The certificate's
// tests are read in one statement and the largest test key once, whatever the number of entries.
OpenedCertificate FindOrCreateCertificate(db::Connection &conn, const CertificateKey &key);

struct CertificateHeader {
    QDate date;          // null: no date
    QString handler;     // MANIPULADOR
    QString analyst;     // ANALISTA
    QString lotSize;     // TAMANHOLOTE
    QString verdict;     // RESULTADOFINAL
    bool operator==(const CertificateHeader &) const = default;   // an empty text is no text
};
struct TestResult {
    int testEntry = 0;   // CODIGOESPEC
    QString result;
};

QString HeaderUpdateStatement(int number, const CertificateHeader &header);
QString TestUpdateStatement(int number, const TestResult &test);

// What the panel showed of a certificate: the header and each test's result by its CODIGOESPEC.
struct CertificateShown {
    CertificateHeader header;
    std::map<int, QString> results;
};
// The certificate as stored now.
CertificateShown ReadCertificate(db::Connection &conn, int number);

// One row of the panel as the operator sees it: the certificate's header and one test's result.
struct CertificateRow {
    CertificateHeader header;
    int testEntry = 0;   // CODIGOESPEC; 0 on the row of a certificate without tests
    QString result;
    bool operator==(const CertificateRow &) const = default;
};

// The header typed on one row is the whole certificate's: every row is given it, so moving to
// another test neither shows nor writes back an older header. Returns the rows it changed.
std::vector<size_t> CarryHeader(std::vector<CertificateRow> &rows, const CertificateHeader &header);

// After a save refused because another workstation changed the certificate: each value the
// operator left as the panel showed it takes what is stored now; what they typed stays for a
// second save. shown is what the panel started from. Returns the rows it changed.
std::vector<size_t> TakeStoredValues(std::vector<CertificateRow> &rows, const CertificateShown &shown,
                                     const CertificateShown &stored);

// A save refused because another workstation changed what it would write: nothing was written.
class CertificateChanged : public platform::Error {
public:
    CertificateChanged(const QString &message, CertificateShown stored)
        : platform::Error(message), m_stored(std::move(stored)) {}
    const CertificateShown &stored() const { return m_stored; }

private:
    CertificateShown m_stored;
};

// Writes the header and the given results in one transaction: on any failure nothing of it is
// stored and the error is thrown. Each statement is put on the clipboard just before it runs.
// With shown, the header and those tests are first locked and must still hold what the panel
// showed; otherwise CertificateChanged names the fields with their stored values.
void SaveCertificate(db::Connection &conn, int number, const CertificateHeader &header,
                     const std::vector<TestResult> &tests, platform::Clipboard *clipboard,
                     const CertificateShown *shown = nullptr);

// The certificate program on the server's share.
QString CertificateProgramPath(const QString &server);
QString CertificateProgramMissingMessage(const QString &server);
inline const QString kCertificateProgramFailedMessage =
    QStringLiteral("Não foi possível iniciar o programa de impressão do laudo.");
// Its command line, cut to 255 characters. validity is the lot's VALIDADE as text.
QString CertificateProgramCommandLine(const QString &server, const QString &code, const QString &lot,
                                      const QString &supplier, const QString &validity, const QString &user);
// Starts the program without waiting for it; tells the operator when it is missing or cannot start.
bool StartCertificateProgram(const platform::WinPaths &paths, const QString &server, const QString &commandLine,
                             platform::Operator &op);

} // namespace lotedit
