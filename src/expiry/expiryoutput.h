// The expiry summary written out: the spreadsheet file of its lots and the rows the printed
// report reads.
#pragma once
#include "expiry.h"

#include "reports/engine/dataconnection.h"

#include <memory>

namespace platform {
class Operator;
class WinPaths;
}

namespace expiry {

inline const QString kExpiryCsvHeader = QStringLiteral(
    "HORIZONTE;CÓDIGO;DESCRIÇÃO;GRUPO;LOTE;FORNECEDOR;LABORATÓRIO;SITUAÇÃO;SALDO CORRENTE;UNID.;VALIDADE;DIAS;"
    "ESTOQUE CUSTO;ESTOQUE VENDA;QUARENTENA;LOCAL COMPARTILHADO;NOS RELATÓRIOS DE ESTOQUE;"
    "SOBRA PREVISTA NO VENCIMENTO;CUSTO DA SOBRA");

// "c:\FORMULIX\VENCIM" + "YY.MM.DD" + ".CSV" in the suite folder.
QString ExpiryCsvPath(const QDate &today);
QString ExpiryCsvMessage(const QDate &today);

// The file's bytes: the header and one line per lot of every horizon, soonest first.
QByteArray ExpiryCsvBytes(const Summary &s);
// Lines, file, message; a file that cannot be written is told through op.error.
void ExportExpiry(const Summary &s, const platform::WinPaths &paths, const QDate &today, platform::Operator &op);

inline const QString kExpiryProject = QStringLiteral("C:\\FORMULIX\\rpt\\rel_Vencimentos.rav");
inline const QString kSummaryConnection = QStringLiteral("rdsVencResumo");
inline const QString kLotsConnection = QStringLiteral("rdsVencLotes");
inline const QString kHeaderConnection = QStringLiteral("rdsVencCabecalho");

// Why a lot carries no value, or what sets it apart; empty for usable stock the reports count.
QString LotNote(const ExpiringLot &lot);

// The table's rows as the screen shows them, top to bottom: the own locations, the usable
// stock, the quarantine (when it holds lots), the store's total, the shared locations holding
// lots, the grand total and the projected leftovers (once projected).
struct TableRow {
    QString name;
    const Cells *cells;
    bool total;
};
std::vector<TableRow> TableRows(const Summary &s);

// One row per table row and horizon holding lots (LOCAL, HORIZONTE, LOTES, CUSTO, VENDA).
std::unique_ptr<reports_engine::DataConnection> SummaryConnection(const Summary &s);
// The lots of one horizon (HORIZONTE, CODIGO, DESCRICAO, GRUPO, LOTE, FORNECEDOR, LABORATORIO,
// SITUACAO, SALDOCORRENTE, UNIDADE, VALIDADE, DIAS, CUSTO, VENDA, SOBRA, CUSTOSOBRA, NOTA); a lot
// without a value has CUSTO and VENDA empty, one without a projection SOBRA and CUSTOSOBRA.
std::unique_ptr<reports_engine::DataConnection> LotsConnection(const Summary &s, int horizon);
// One row: OPERADOR, FORA and FORARELATORIOS (the line under the table), DIVISOR (the products
// valued at their undivided cost), SOBRA (how the leftovers are projected).
std::unique_ptr<reports_engine::DataConnection> HeaderConnection(const Summary &s, const QString &operatorName);
QString ProjectionNote(const Summary &s);

} // namespace expiry
