// Spreadsheet exports: the lot list and the two staged reports as semicolon-separated files in the
// suite folder (Windows-1252, CR LF after every line).
#pragma once
#include "db/value.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>

namespace db {
struct Rows;
}
namespace data {
class CachedDataset;
class Query;
}
namespace platform {
class Operator;
class WinPaths;
}

namespace exports {

inline const QString kLotListHeader = QStringLiteral(
    "CÓDIGO;DESCRIÇÃO;LOTE;FORNECEDOR;LABORATÓRIO;SALDO CORRENTE;UNID.;VALIDADE;CONTROLADA;DENSIDADE;FATOR CORREÇÃO");
inline const QString kStockValueHeader =
    QStringLiteral("CÓDIGO;DESCRIÇÃO;QTDE.;UNID;CUSTO;PREÇO VENDA;ESTOQUE CUSTO;ESTOQUE VENDA");
inline const QString kCostOfSalesHeader = QStringLiteral("DESCRIÇÃO;CÓDIGO;QDE_TOTAL;UNID;CUSTO_UNIT;CUSTO_TOTAL");
inline const QString kStagingExportSql = QStringLiteral(
    "select DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOPREVISTO, SALDOCORRENTE, UNIDADE, CODIGOEAN, FABRICANTE, "
    "VALIDADE, SITUACAO, DENSIDADE, FATORCORRECAO, LABORATORIO, CONTROLADA, PRECOCUSTO, PRECOVENDA, ESTOQUECUSTO, "
    "ESTOQUEVENDA from RELESTLOTE order by DESCRICAO, VALIDADE");

// A file the export could not write; the previous file of that name is left as it was.
class ExportError : public std::runtime_error {
public:
    explicit ExportError(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// A field as written: unchanged, unless it holds ";", a double quote, CR or LF; then it is
// written between double quotes with inner double quotes doubled, so the columns stay in place.
QString CsvField(const QString &text);
// Text as stored, plain numbers ("12,5": as many decimals as the value has) and dates
// (dd/mm/yyyy); empty when null.
QString PlainValue(const db::Value &value);
// Exactly `decimals` decimals, rounded half away from zero, comma separator; null counts as 0.
QString FixedDecimals(const db::Value &value, int decimals);

// "LOTVIEW", "ESTOQFIN", "CPV" + "YY.MM.DD" + ".CSV" in the suite folder, as each export names it.
QString LotListPath(const QDate &today);
QString StockValuePath(const QDate &today);
QString CostOfSalesPath(const QDate &today);
QString LotListMessage(const QDate &today);
QString StockValueMessage(const QDate &today);
QString CostOfSalesMessage(const QDate &today);

// Writes the lines (CR LF after each) to a temporary file beside the target and moves it into
// place; throws ExportError when the folder or the file cannot be written.
void WriteCsvFile(const platform::WinPaths &paths, const QString &windowsPath, const QStringList &lines);

// The lines of each export. The lot list is read from the cached rows in the grid's current
// order without moving the cursor; pump is called every so many rows of the staged reports so
// the window keeps answering.
QStringList LotListLines(const data::CachedDataset &ESTLOTE);
QStringList StockValueLines(const data::Query &staging, const std::function<void()> &pump = {});
QStringList CostOfSalesLines(const data::Query &staging, const std::function<void()> &pump = {});
QStringList StockValueLines(const db::Rows *rows, const std::function<void()> &pump = {});
QStringList CostOfSalesLines(const db::Rows *rows, const std::function<void()> &pump = {});

// The three exports whole: lines, file, message. A file that cannot be written is reported through
// op.error and no success message is shown. The lot list leaves the grid on the row it was on
// (no move); the staged reports take the staging rows out of the query before walking them and
// leave it closed, so whatever runs while pump lets the window breathe finds nothing of theirs to
// close.
void ExportLotList(data::CachedDataset &ESTLOTE, const platform::WinPaths &paths, const QDate &today,
                   platform::Operator &op);
enum class StagedReport { StockValue, CostOfSales };
void ExportStagedReport(StagedReport which, data::Query &qry_pdEstLote, const platform::WinPaths &paths,
                        const QDate &today, platform::Operator &op, const std::function<void()> &pump = {});

} // namespace exports
