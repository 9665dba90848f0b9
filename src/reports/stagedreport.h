// What the staging builds share: the report printed from the staged rows with the store header
// (the price rules of a staged row are in common/stagingprice).
#pragma once
#include "buildsupport.h"
#include "common/staging.h"
#include "common/stagingprice.h"

#include <QString>
#include <QStringList>

namespace reports {

class TRM;
struct ReportContext;

// After a build: the store header (headerMessage when it cannot be read), the report `report`
// of `project`, and the staging datasets closed. True when the error panel is to be shown.
bool PrintStagedReport(ReportContext &ctx, TRM &rm, const QString &project, const QString &report,
                       const QString &headerMessage);

// "Visualizar": the report of the rows staged by the last build, with the store header.
void ViewStagedReport(ReportContext &ctx, TRM &rm, const QString &project, const QString &report);

} // namespace reports
