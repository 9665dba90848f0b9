// The cost of products sold over a period: the period panel's dates and their round trip through
// the workstation's PERIODO, the consumption of the period's orders totalled per product into
// RP_TOTAIS, valued into RELESTLOTE with the diagnostic lines, then the report "CPV".
// The totals come from one grouped query, the products from one read, and the totals and
// staging rows are written in one transaction.
#pragma once
#include "manufacturing.h"

#include <QDate>

namespace reports {

// The last confirmed period, kept for the rest of the run (the deduction audit reads it too).
struct ReportPeriod {
    QDate start, end;
};

// A date as the period boxes show it: "dd/mm/yy"; empty for no date.
QString PeriodBoxText(const QDate &date);
// A box's text read back. The date the box was filled with, when the text still shows it, keeps
// its century; another two-digit year is taken as the one nearest to today's. Invalid when the
// text is not a date.
QDate ReadPeriodBox(const QString &text, const QDate &shown, const QDate &today);
// The message a box text that is not a date gives.
QString NotADateMessage(const QString &text);
// The period's end date comes before its start date.
inline const QString kReversedPeriodMessage =
    QStringLiteral("A data final do período é anterior à data inicial. Informe uma data final igual ou posterior.");

// A date pasted into the statements month first: "mm/dd/yy", or "mm/dd/yyyy" when a two-digit
// year would be read back in another century.
QString PeriodStatementDate(const QDate &date, const QDate &today);

QString PeriodUpdateStatement(const ReportPeriod &period, const QDate &today);
// The workstation's PERIODO takes the period; a table without a row gets one.
void StorePeriod(db::Connection &workstation, const ReportPeriod &period, const QDate &today);
// PERIODO's dates, or none when it has no row.
ReportPeriod StoredPeriod(data::TDM &dm);

// What "Visualizar" would print wrongly from the staging rows: empty when they are the rows
// `asked` builds (for the cost of products sold, of the period its header shows, `shownPeriod`);
// otherwise the question that offers the build. Rows staged before this run are not known and
// print as they are.
QString StagedRowsQuestion(StagedBuild asked, const StagedRecord &staged, const ReportPeriod &shownPeriod);

// The products the build values, in name order.
QString CostComponentStatement(const QString &includeDiluted);
// The period's consumption per product code: "Pedido" orders only, lines with a positive stock
// quantity and a unit other than "gts".
QString ConsumptionStatement(const ReportPeriod &period, const QDate &today);

// RP_TOTAIS.TOTAL as it is written when the column holds text ("2,5") and read back from a text
// or numeric column.
QString TotalText(const db::Decimal &total);
double TotalValue(const db::Value &stored);

inline const QString kCostSaveFailedMessage = QStringLiteral(
    "ATENÇÃO: Não foi possível montar o relatório. Confira a tabela de posição atual do estoque (ESTLOTE). Pode haver "
    "registros com um dos campos CODIGO, LABORATORIO, FORNECEDOR ou LOTE em branco.");
QString StatementFailedMessage(const QString &statement);

// A component of the list with its consumed total.
struct CostProduct {
    QString codigo, componente, unid;
    double custoUnitR = 0, divisorUnid = 0, precoR = 0;
};
struct CostRows {
    std::vector<StagingRow> rows;
    QStringList diagnostic;   // after the log's header line
    QStringList messages;     // for the consistency-error list
};
// `totals` by code with its trailing blanks removed.
CostRows ComputeCostRows(const std::vector<CostProduct> &products, const QHash<QString, double> &totals, bool detailed);

// Builds RP_TOTAIS and RELESTLOTE for the period and writes the diagnostic log. False when it
// stopped with a message shown (staging table unreachable, component list unreadable).
bool BuildCostOfProductsSold(ReportContext &ctx, const ReportPeriod &period);

// The build, the store header, the report "CPV". True when the error panel is to be shown.
bool RunCostOfProductsSold(ReportContext &ctx, TRM &rm, const ReportPeriod &period);

// "Visualizar" of the CPV row.
void ViewCostOfProductsSold(ReportContext &ctx, TRM &rm);

} // namespace reports
