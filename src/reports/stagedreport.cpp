#include "stagedreport.h"

#include "manufacturing.h"
#include "trm.h"

#include "data/tdm.h"
#include "platform/operator.h"

#include <cmath>

namespace reports {

bool PrintStagedReport(ReportContext &ctx, TRM &rm, const QString &project, const QString &report,
                       const QString &headerMessage)
{
    data::TDM &dm = ctx.dm;
    {
        BuildFrame frame(ctx.progress);   // the gauge back at 0 however the run ends
        if (!OpenStoreHeader(dm, ctx.run)) {
            ctx.op.warn(headerMessage);
            return false;
        }
        rm.rvstm1.execute(project, report);
    }
    dm.cds_EstLoteRel.close();
    dm.tbl_pdEstLote.close();
    dm.qry_pdEstLote.close();
    dm.DadosGer.close();
    return ctx.errors.count > 0;
}

void ViewStagedReport(ReportContext &ctx, TRM &rm, const QString &project, const QString &report)
{
    if (!OpenStoreHeader(ctx.dm, ctx.run)) {
        ctx.op.warn(kStoreHeaderViewMessage);
        return;
    }
    rm.rvstm1.execute(project, report);
    ctx.dm.DadosGer.close();
}

} // namespace reports
