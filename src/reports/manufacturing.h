// The manufacturing physical/financial build: one RELESTLOTE row per product of the compounding
// stock, its usable balance in the register's unit with cost and sale values, then the report.
// Lots and products are read once each and the rows written in one transaction.
#pragma once
#include "buildsupport.h"
#include "common/staging.h"
#include "common/stagingprice.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <vector>

namespace core {
struct RunState;
}
namespace db {
class Connection;
}
namespace data {
class TDM;
}
namespace platform {
class Clock;
class Operator;
class WinPaths;
}

namespace reports {

class TRM;

// A qualifying lot as the build reads it.
struct StagingLot {
    QString descricao, lote, fornecedor, codigo, laboratorio, unidade;
    double saldo = 0;
};

// The product register's columns the build uses.
struct StagingProduct {
    QString codigo, componente, unid;
    double custoUnitR = 0, divisorUnid = 0, precoR = 0;
};

// The product register rows of ManufacturingProductStatement, the first row of each code.
QHash<QString, StagingProduct> ReadManufacturingProducts(db::Connection &central, const QString &includeDiluted);

// The lots that count (balance above 0, expiry after today), in code order.
QString ManufacturingLotStatement(const QDate &today);
// The products that count: not resale nor homeopathic, or with IncludeDiluted "N" undiluted
// and not resale.
QString ManufacturingProductStatement(const QString &includeDiluted);

// The rows, the diagnostic lines and the list's messages, lot by lot in code order.
struct ManufacturingRows {
    std::vector<StagingRow> rows;
    std::vector<StagingProduct> rowProducts;   // the product of each row
    QStringList diagnostic;                    // after the log's header line
    QStringList messages;                      // for the consistency-error list, in order
};
ManufacturingRows ComputeManufacturingRows(const std::vector<StagingLot> &lots,
                                           const QHash<QString, StagingProduct> &products, bool detailed,
                                           BuildProgress *progress = nullptr);

// Every message a build adds to the list.
QString InconsistentValuesMessage(const QString &descricao, const QString &codigo);
QString NotSavedMessage(const QString &componente, const QString &codigo);

// Which build left the rows of the staging table, and the period it was built for (the cost of
// products sold only); Unknown for rows left by an earlier run of the program.
enum class StagedBuild { Unknown, Manufacturing, Resale, CostOfSales };
struct StagedRecord {
    StagedBuild build = StagedBuild::Unknown;
    QDate start, end;
};

struct ReportContext {
    data::TDM &dm;
    const core::RunState &run;
    const platform::Clock &clock;
    const platform::WinPaths &paths;
    platform::Operator &op;
    BuildProgress &progress;
    ConsistencyErrors &errors;
    StagedRecord *staged = nullptr;   // set when a build commits its rows
};

// The start of every build: the staging rows deleted in the transaction that will hold the new
// ones (the build commits it). False when RELESTLOTE cannot be reached, with the lost-link text
// when the link to the workstation's database is gone (or a wait on another workstation's text),
// else the staging-table message; nothing has changed then.
bool BeginStaging(ReportContext &ctx, std::optional<StagingReplacement> &staging);

// Empties and refills RELESTLOTE and writes the diagnostic log. False when the staging table
// cannot be reached (the message is shown, nothing changed).
bool BuildManufacturingStaging(ReportContext &ctx);

// Reopens DadosGer on the store's row; false when the statement fails.
bool OpenStoreHeader(data::TDM &dm, const core::RunState &run);

// "Estoq. Físico/Financ. Manipulação": the build, the store header, the report "EstFisFin".
// True when the consistency-error panel is to be shown.
bool RunManufacturingReport(ReportContext &ctx, TRM &rm);

// "Visualizar": the report again over the staging table's current rows.
void ViewManufacturingReport(ReportContext &ctx, TRM &rm);

} // namespace reports
