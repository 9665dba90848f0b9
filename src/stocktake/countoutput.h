// A count written out: its sheets (for counting by hand) and its report (differences valued at
// cost), as rows for the report engine and as spreadsheet lines.
#pragma once
#include "stocktake.h"

#include "reports/engine/dataconnection.h"

#include <QDate>
#include <QHash>
#include <memory>

namespace platform {
class Operator;
class WinPaths;
}

namespace stocktake {

inline const QString kProject = QStringLiteral("C:\\FORMULIX\\rpt\\rel_Inventario.rav");
inline const QString kSheetsReport = QStringLiteral("Folhas");
inline const QString kReport = QStringLiteral("Inventario");
inline const QString kHeaderConnection = QStringLiteral("rdsInvCabecalho");
inline const QString kSheetsConnection = QStringLiteral("rdsInvFolhas");
inline const QString kReportConnection = QStringLiteral("rdsInventario");

// ---- Sheets -----------------------------------------------------------------------------------

// By location, then product and lot; the system's quantity only when the count is not blind.
std::vector<const Line *> SheetOrder(const std::vector<Line> &lines);
std::unique_ptr<reports_engine::DataConnection> SheetsConnection(const Count &count, const std::vector<Line> &lines);
QStringList SheetCsvLines(const Count &count, const std::vector<Line> &lines);
QString SheetCsvPath(int numero);   // "C:\FORMULIX\INVENTARIO<n>_FOLHAS.CSV"

// ---- Report ------------------------------------------------------------------------------------

// What values a lot: the register's unit and the manufacturing report's cost per unit.
struct Product {
    QString unid, componente, grupo;
    double custoUnitR = 0, divisorUnid = 0, precoR = 0;
};
QHash<QString, Product> ReadProducts(db::Connection &central);

struct ReportLine {
    Line line;   // its group filled from the register when the count did not keep it
    bool valued = false;   // its product is in the register and its unit converts
    double unitCost = 0;   // per unit of the register
    double value = 0;      // of the difference, at cost
};

struct Total {
    QString name;
    int lots = 0, differences = 0;
    double value = 0;
};

struct Report {
    Count count;
    std::vector<ReportLine> lines;      // by location, product and lot
    std::vector<Total> locations, groups;
    Total total;
    QStringList counters, approvers;    // who counted, who approved
    int notCounted = 0, notValued = 0;
    QStringList divisorZero;
};

// The difference of each counted line expressed in the register's unit (the suite's complete unit
// table) and valued by the manufacturing report's rule (the cost over a divisor above 1); a line
// of a product missing from the register or whose unit does not convert is listed unvalued.
Report BuildReport(const Count &count, const std::vector<Line> &lines, const QHash<QString, Product> &products);

// The count's head (NUMERO, ESCOPO, SITUACAO, ABERTO, POSTADO, CONTADORES, APROVADORES, NOTA and
// the pharmacy's FARMACIA, CNPJ).
struct Pharmacy {
    QString farmacia, cnpj;
};
Pharmacy ReadPharmacy(db::Connection &central, const QString &storeCnpj);
std::unique_ptr<reports_engine::DataConnection> HeaderConnection(const Report &report, const Pharmacy &pharmacy,
                                                                 const QString &operatorName);
// One row per lot then the totals (TIPO "L" a lot, "T" a total) with LOCAL, PRODUTO, LOTE,
// FORNECEDOR, UNIDADE, FOTO, CONTADO, DIFERENCA, VALOR, MOTIVO, CONTADOPOR, APROVADOPOR.
std::unique_ptr<reports_engine::DataConnection> ReportConnection(const Report &report);
QStringList ReportCsvLines(const Report &report);
QString ReportCsvPath(int numero);   // "C:\FORMULIX\INVENTARIO<n>.CSV"
QString CsvMessage(const QString &path);

// Lines, file, message; a file that cannot be written is told through op.error.
void WriteCsv(const platform::WinPaths &paths, const QString &windowsPath, const QStringList &lines,
              platform::Operator &op);

} // namespace stocktake
