// What the staging builds share: the price rules of a staged row, and the report printed from
// the staged rows with the store header.
#pragma once
#include "buildsupport.h"
#include "common/staging.h"

#include <QString>
#include <QStringList>

namespace reports {

class TRM;
struct ReportContext;

// A value the staging table can take: a result that is not a number is stored as 0.
double FiniteOrZero(double value);

// A row new to the staging table gets the register's cost per unit (the cost over a divisor
// above 1), the sale price, and both stock values of `quantity`. A divisor of 0 adds its message
// for `componente`. False when a stock value was not a number (it was stored as 0).
bool PriceNewRow(StagingRow &row, double quantity, double custoUnitR, double divisorUnid, double precoR,
                 const QString &componente, QStringList &messages);

// After a build: the store header (headerMessage when it cannot be read), the report `report`
// of `project`, and the staging datasets closed. True when the error panel is to be shown.
bool PrintStagedReport(ReportContext &ctx, TRM &rm, const QString &project, const QString &report,
                       const QString &headerMessage);

// "Visualizar": the report of the rows staged by the last build, with the store header.
void ViewStagedReport(ReportContext &ctx, TRM &rm, const QString &project, const QString &report);

} // namespace reports
