// What expires, where and what it costs: the lots of the store's scope sorted into expiry
// horizons, each valued by the rule of the stock report of its product's group, with what is
// projected to be left of it at its expiry at the store's recent pace of use.
#pragma once
#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

namespace db {
class Connection;
}
namespace data {
class CachedDataset;
}

namespace expiry {

// A product of the register as the panel values its lots.
struct ExpiryProduct {
    QString codigo, componente, grupo, unid;
    double custoUnitR = 0, divisorUnid = 0, precoR = 0;
    bool resale = false;           // group "REV" in any case: the resale report's rule
    bool inStockReports = false;   // one of the two physical/financial reports counts it
};

// Every product of the register, with which rule values it and whether the stock reports count
// it (the manufacturing report's product choice under IncludeDiluted, or group "REV").
QString ExpiryProductStatement();
ExpiryProduct MakeProduct(const QString &codigo, const QString &componente, const QString &grupo,
                          const QString &unid, double custoUnitR, double divisorUnid, double precoR,
                          bool fatorDiluicaoIsOne, const QString &includeDiluted);
QHash<QString, ExpiryProduct> ReadExpiryProducts(db::Connection &central, const QString &includeDiluted);

// One lot valued alone. Its balance is expressed in the register's unit through the suite's
// complete unit table (any letter case); a unit that cannot be expressed so leaves the lot
// unvalued. Resale products then take the resale report's rule (the cost over the divisor,
// always), the others the manufacturing report's (the cost over a divisor above 1); a value
// that is not a number counts as 0.
struct LotStockValue {
    bool converted = false;
    double balance = 0, unitCost = 0, cost = 0, sale = 0;
};
LotStockValue ValueLot(const ExpiryProduct &product, const QString &lotUnit, double saldo);

// Expired (today included: the stock reports no longer count a lot on its expiry day), up to
// 30 days, 31 to 60, 61 to 90 and 91 to 180 days from today.
inline constexpr int kHorizonCount = 5;
inline constexpr int kLastHorizonDays = 180;
QString HorizonName(int horizon);   // "Vencidos", "Até 30 dias", "31 a 60 dias", ...
// The horizon of a lot with this many days left; -1 beyond the last one.
int HorizonOf(int daysLeft);

// The shared locations of the scope, compared in upper case: rows of their own, outside the
// store's total.
inline const QString kQualityControlLocation = QStringLiteral("CONTROLE QUALIDADE");
inline const QString kInTransitLocation = QStringLiteral("EMTRANSITO");
// The situation of a lot held apart from usable stock whatever the site configures.
inline const QString kWaitingSituation = QStringLiteral("Aguardando");

// The situations held apart from usable stock: "Aguardando" and those configured, compared in
// upper case without the blanks at their ends.
QSet<QString> QuarantineSituations(const QStringList &configured);

// A lot of the scope as read.
struct ScopeLot {
    QString codigo, descricao, lote, fornecedor, laboratorio, unidade, situacao;
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

// The product's use: the stock quantity of the component lines of the dispensed orders
// ("Pedido") of the store's workstations over the window's days up to today, summed per
// product and unit in one statement after the store's workstation codes are read.
struct UseTotal {
    QString codigo, unidade;
    double quantity = 0;
    int lines = 0;   // the order lines summed
};
inline constexpr int kDefaultUseWindowDays = 90;
QString StoreStationsStatement(const QString &storeCnpj);
QString UseStatement(const QStringList &stations, const QDate &today, int windowDays);
std::vector<UseTotal> ReadUse(db::Connection &central, const QString &storeCnpj, const QDate &today, int windowDays);

struct Cell {
    int lots = 0;
    double cost = 0, sale = 0;
    void add(double c, double s) { ++lots; cost += c; sale += s; }
    void add(const Cell &o) { lots += o.lots; cost += o.cost; sale += o.sale; }
};
using Cells = std::array<Cell, kHorizonCount>;
void AddCells(Cells &to, const Cells &from);

struct LocationRow {
    QString location;   // locations differing only in letter case are one
    Cells cells;
};

// Where a lot stands in the table.
enum class Place { Usable, Quarantine, Shared };

// A lot in a horizon, with its own balance and unit and the value of that balance.
struct ExpiringLot {
    QString codigo, descricao, grupo, lote, fornecedor, laboratorio, unidade, situacao;
    double saldo = 0;
    QDate validade;
    int daysLeft = 0;
    int horizon = 0;
    Place place = Place::Usable;
    bool registered = false;      // its product is in the register
    bool valued = false;          // registered, and its unit converts to the register's
    bool outsideReports = false;  // registered, but the stock reports leave its product out
    double cost = 0, sale = 0;
    // What the store's use is projected to leave of it at its expiry, in its own unit, and the
    // value of that; only for usable stock of the store's own locations.
    bool projected = false;
    double leftover = 0, leftoverCost = 0, leftoverSale = 0;
    bool quarantine() const { return place == Place::Quarantine; }
    bool shared() const { return place == Place::Shared; }
};

struct Summary {
    std::vector<LocationRow> rows;     // the store's own locations, usable stock, by name
    Cells usable;                      // their sum
    Cells quarantine;                  // the own locations' lots in a quarantine situation
    Cells store;                       // usable and quarantine: the store's total
    std::vector<LocationRow> shared;   // the shared locations holding lots, by name
    Cells total;                       // the store's total and the shared rows: the grand total
    Cells leftover;                    // projected leftovers at expiry (lots holding some)
    std::vector<ExpiringLot> lots;     // every lot of every horizon, soonest first
    // Left out of the table and counted under it.
    int noBalance = 0, noExpiry = 0, later = 0;
    int unitNotConverted = 0, notRegistered = 0;
    int outsideReports = 0;            // listed and valued, counted apart by the stock reports
    int useWindowDays = kDefaultUseWindowDays;
    // The projection is added once the store's use is read; until then no lot is projected.
    bool projectionReady = false;
    // Order lines of a product whose unit none of its usable lots converts to: left out of the
    // projection, counted under the table.
    int useLinesNotConverted = 0;
    QStringList divisorZero;   // DivisorZeroMessage of each product valued at its undivided cost
};

// Lots with no balance, no expiry or more than 180 days left are counted and left out (the
// read's counts added to those found among its lots); every other lot is listed; lots of
// products missing from the register or whose unit does not convert are listed unvalued.
// The projection draws each product's daily use (its use over the window divided by the
// window's days, in each lot's unit) from the store's usable lots, first expiry first.
Summary Summarise(const ScopeRead &read, const QHash<QString, ExpiryProduct> &products,
                  const std::vector<UseTotal> &use, const QSet<QString> &quarantineSituations,
                  const QDate &today, int useWindowDays = kDefaultUseWindowDays);
// The same in two steps: the table without the projection (what the panel shows at once), then
// the projected leftovers added to it when the store's use has been read.
Summary SummariseLots(const ScopeRead &read, const QHash<QString, ExpiryProduct> &products,
                      const QSet<QString> &quarantineSituations, const QDate &today,
                      int useWindowDays = kDefaultUseWindowDays);
void ProjectLeftovers(Summary &s, const QHash<QString, ExpiryProduct> &products, const std::vector<UseTotal> &use);

// The names of the table's rows, on the screen and in the printout.
inline const QString kUsableRowName = QStringLiteral("Estoque utilizável da loja");
inline const QString kQuarantineRowName = QStringLiteral("Em quarentena");
inline const QString kStoreTotalName = QStringLiteral("Total da loja");
inline const QString kSharedSuffix = QStringLiteral(" (compartilhado)");
inline const QString kGrandTotalName = QStringLiteral("Total geral");
inline const QString kLeftoverRowName = QStringLiteral("Sobra prevista no vencimento");

// The line under the table: what was left out of it, then what it lists that the stock
// reports leave out.
QString LeftOutLine(const Summary &s);
QString LeftOutCounts(const Summary &s);
QString OutsideReportsLine(const Summary &s);
// "n linha(s) de pedido ..." when use was left out of the projection; empty otherwise.
QString UseNotConvertedLine(const Summary &s);
inline const QString kUnitNotConvertedText = QStringLiteral("unidade não convertida");
inline const QString kNotRegisteredText = QStringLiteral("produto sem cadastro");

// The lots of one horizon (quarantined and shared ones included, marked), soonest first.
std::vector<const ExpiringLot *> LotsOf(const Summary &s, int horizon);

// What the panel needs besides the connection.
struct LoadOptions {
    QString labScopeClause, includeDiluted, storeCnpj;
    QStringList quarantineSituations;   // configured, besides "Aguardando"
    int useWindowDays = kDefaultUseWindowDays;
};
// The summary the panel shows, in four statements: the scope's lots, the product register, the
// store's workstations and their use.
Summary LoadSummary(db::Connection &central, const LoadOptions &options, const QDate &today);
// What the panel shows first, in two statements: the scope's lots and the register (kept in
// `products` for the projection), without the projection.
Summary LoadLots(db::Connection &central, const LoadOptions &options, const QDate &today,
                 QHash<QString, ExpiryProduct> &products);

// The row of the grid's lot dataset holding the lot (code, lot, supplier and location, the
// table's key); -1 when the grid's current list does not hold it.
int LotRow(const data::CachedDataset &ESTLOTE, const ExpiringLot &lot);
inline const QString kLotNotListedMessage = QStringLiteral(
    "O lote não está na lista mostrada no momento. Escolha uma lista que o inclua (por exemplo, incluindo os "
    "vencidos) e tente de novo.");
// Told in the main window's status line when the grid's view was changed to reach the lot.
inline const QString kViewSwitchedStatus = QStringLiteral(
    "A lista passou a mostrar todos os produtos, inclusive os vencidos, para chegar ao lote escolhido nos "
    "vencimentos.");

} // namespace expiry
