// What expires, where and what it costs: the lots of the store's scope sorted into expiry
// horizons, valued lot by lot as the physical/financial report values its stock.
#pragma once
#include "reports/manufacturing.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace db {
class Connection;
}
namespace data {
class CachedDataset;
}

namespace expiry {

// One lot valued alone as the stock report values the first lot of a product: its balance in
// the register's unit, then the new row's price rule (the cost over a divisor above 1, the cost
// as it stands otherwise, a divisor of 0 included); a value that is not a number counts as 0.
struct LotStockValue {
    double balance = 0, unitCost = 0, cost = 0, sale = 0;
};
LotStockValue ValueLot(const reports::StagingProduct &product, const QString &lotUnit, double saldo);

// Expired (today included: the stock report no longer counts a lot on its expiry day), up to
// 30 days, 31 to 60, 61 to 90 and 91 to 180 days from today.
inline constexpr int kHorizonCount = 5;
inline constexpr int kLastHorizonDays = 180;
QString HorizonName(int horizon);   // "Vencidos", "Até 30 dias", "31 a 60 dias", ...
// The horizon of a lot with this many days left; -1 beyond the last one.
int HorizonOf(int daysLeft);

// The location whose lots wait on quality control: shown apart, left out of the total.
inline const QString kQuarantineLocation = QStringLiteral("CONTROLE QUALIDADE");

// A lot of the scope as read.
struct ScopeLot {
    QString codigo, descricao, lote, fornecedor, laboratorio, unidade;
    double saldo = 0;
    QDate validade;   // invalid when the lot has none
};

// The lots of the store's scope (as the stock views see it) and how many of the others were
// left out, by reason.
struct ScopeRead {
    std::vector<ScopeLot> lots;   // balance above 0 and expiry up to 180 days from today
    int noBalance = 0, noExpiry = 0, later = 0;
};
// One statement: the lots that can fall in a horizon, then one counting row per reason the
// others were left out (CODIGO null, the count in SALDOCORRENTE, the reason in the last column).
QString ExpiryLotStatement(const QString &labScopeClause, const QDate &today);
ScopeRead ReadScopeLots(db::Connection &central, const QString &labScopeClause, const QDate &today);

struct Cell {
    int lots = 0;
    double cost = 0, sale = 0;
    void add(double c, double s) { ++lots; cost += c; sale += s; }
};
using Cells = std::array<Cell, kHorizonCount>;

struct LocationRow {
    QString location;   // locations differing only in letter case are one
    Cells cells;
};

// A lot in a horizon, with its own balance and unit and the value of that balance.
struct ExpiringLot {
    QString codigo, descricao, lote, fornecedor, laboratorio, unidade;
    double saldo = 0;
    QDate validade;
    int daysLeft = 0;
    int horizon = 0;
    double cost = 0, sale = 0;
    bool quarantine = false;
};

struct Summary {
    std::vector<LocationRow> rows;   // locations of the total, by name
    Cells total;
    std::optional<LocationRow> quarantine;   // apart, when it holds lots
    std::vector<ExpiringLot> lots;   // every lot of every horizon, soonest first
    // Left out of the table and counted under it.
    int noBalance = 0, noExpiry = 0, notValued = 0, later = 0;
    QStringList divisorZero;   // DivisorZeroMessage of each product valued at its undivided cost
};

// Lots of products the stock report does not value (missing from `products`) are left out and
// counted, as are lots with no balance, no expiry or more than 180 days left (the read's counts
// added to those found among its lots).
Summary Summarise(const ScopeRead &read, const QHash<QString, reports::StagingProduct> &products,
                  const QDate &today);

// The line under the table.
QString LeftOutLine(const Summary &s);

// The lots of one horizon (quarantined ones included, marked), soonest first.
std::vector<const ExpiringLot *> LotsOf(const Summary &s, int horizon);

// The summary the panel shows, in two statements: the scope's lots, then the product register.
Summary LoadSummary(db::Connection &central, const QString &labScopeClause, const QString &includeDiluted,
                    const QDate &today);

// The row of the grid's lot dataset holding the lot (code, lot, supplier and location, the
// table's key); -1 when the grid's current list does not hold it.
int LotRow(const data::CachedDataset &ESTLOTE, const ExpiringLot &lot);
inline const QString kLotNotListedMessage = QStringLiteral(
    "O lote não está na lista mostrada no momento. Escolha uma lista que o inclua (por exemplo, incluindo os "
    "vencidos) e tente de novo.");

} // namespace expiry
