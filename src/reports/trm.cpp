#include "trm.h"

#include "data/tdm.h"

namespace reports {

TRM::TRM(data::TDM &dm, const platform::WinPaths &paths, const platform::Clock &clock, platform::Operator &op)
    : rvstm1(paths, clock, &op)
{
    using reports_engine::ConnectDataset;
    using reports_engine::ConnectQuery;
    rvstm1.addConnection(QStringLiteral("rvdsEstlote"), ConnectDataset(dm.ESTLOTE));
    rvstm1.addConnection(QStringLiteral("rdsEstloteRel"), ConnectQuery(dm.qry_pdEstLote));
    rvstm1.addConnection(QStringLiteral("RvQueryConnection1"), ConnectQuery(dm.qry_Vencimentos));
    rvstm1.addConnection(QStringLiteral("rvdsTblEstLote"), ConnectDataset(dm.tbl_pdEstLote));
    rvstm1.addConnection(QStringLiteral("rvdsDadosGer"), ConnectDataset(dm.DadosGer));
    rvstm1.addConnection(QStringLiteral("rvdsPeriodo"), ConnectDataset(dm.Periodo));
}

void TRM::PanelOpened()
{
    rvstm1.makeFileRenderersAvailable();
    rvpj1 = kLotviewProject;
}

void TRM::ListStock()
{
    rvstm1.execute(rvpj1, QStringLiteral("rpt_ListaPosicaoEstoque"));
}

} // namespace reports
