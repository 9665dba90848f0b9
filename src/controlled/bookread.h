// Reading the book's rows: a fixed handful of set-based statements over the central database,
// whatever the number of substances and lots, and the activity log's months of the period.
#pragma once
#include "book.h"

#include <QStringList>
#include <functional>

namespace db {
class Connection;
}
namespace platform {
class WinPaths;
}

namespace controlled {

// The locations of the book: the store's laboratories and the shared ones.
inline const QStringList kSharedLocations = {QStringLiteral("CONTROLE QUALIDADE"), QStringLiteral("EMTRANSITO"),
                                             QStringLiteral("TERCEIROS")};

struct Scope {
    QStringList laboratories;   // the store's, as TABLAB names them
    QString storeCnpj;
    QString serverAddress;      // where the activity log lies; empty: no log is read
};

// The pharmacy's identification for each page's head (DADOSGER of the store's CNPJ).
struct Pharmacy {
    bool found = false;
    QString name, firm, address, cnpj, pharmacist, authorization;
    // Two lines: "FARMÁCIA - FIRMA" and "address - CNPJ ... - Farm. resp. ... - AFE ..."; a store
    // without its row says so.
    QStringList lines() const;
};

struct ReadFigures {
    int statements = 0;
    qint64 rows = 0;
    int logFiles = 0;
    bool byLot = false;   // the movements were found through their lot index
    std::vector<double> statementMs;   // each statement, rows fetched included, in the order run
};

// The statements, as they are run (also printed by the benchmark).
QString ProductsStatement();
QString LotsStatement(const QStringList &laboratories);
QString PurchasesStatement();
// Whether MOVEST has its lot index (a count above zero).
QString LotIndexStatement();
// byLot: the movements of the substances' lot numbers through the lot index; otherwise the
// period's movements, each tested by its product.
QString MovementsStatement(const QDate &start, bool byLot);
QString EarlierMovementsStatement(const QDate &start, bool byLot);
QString UndeductedStatement(const QDate &start);

// Reads everything the book needs; rows of another store's laboratories (movements and purchases
// that name one) are left out. pump is called every few thousand rows so the window breathes.
BookInput ReadBookInput(db::Connection &central, const platform::WinPaths &paths, const Scope &scope,
                        const QDate &start, const QDate &end, const QDate &today, ReadFigures *figures = nullptr,
                        const std::function<void()> &pump = {});
Pharmacy ReadPharmacy(db::Connection &central, const QString &storeCnpj, ReadFigures *figures = nullptr);

// The balance changes in the lines of an activity log file (already decoded), from `from` on:
// a lot edit (opened, changed, saved; a cancelled edit changes nothing) or, for a change line
// outside any edit of the form, a count's posting.
std::vector<LoggedChange> ParseLogChanges(const QStringList &lines, const QDate &from);
// "\\SERVER\Formulix\LOG\LOGESTOQ_2024-03.TXT"
QString LogFilePath(const QString &serverAddress, const QDate &month);

} // namespace controlled
