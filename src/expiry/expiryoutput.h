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
    "HORIZONTE;CÓDIGO;DESCRIÇÃO;LOTE;FORNECEDOR;LABORATÓRIO;SALDO CORRENTE;UNID.;VALIDADE;DIAS;ESTOQUE CUSTO;"
    "ESTOQUE VENDA;QUARENTENA");

// "c:\FORMULIX\VENCIM" + "YY.MM.DD" + ".CSV" in the suite folder.
QString ExpiryCsvPath(const QDate &today);
QString ExpiryCsvMessage(const QDate &today);

// The header and one line per lot of every horizon, soonest first.
QStringList ExpiryCsvLines(const Summary &s);
// Lines, file, message; a file that cannot be written is told through op.error.
void ExportExpiry(const Summary &s, const platform::WinPaths &paths, const QDate &today, platform::Operator &op);

inline const QString kExpiryProject = QStringLiteral("C:\\FORMULIX\\rpt\\rel_Vencimentos.rav");
inline const QString kSummaryConnection = QStringLiteral("rdsVencResumo");
inline const QString kLotsConnection = QStringLiteral("rdsVencLotes");

// One row per location and horizon holding lots (LOCAL, HORIZONTE, LOTES, CUSTO, VENDA); the
// total's rows and then the quarantine's rows, with LOCAL "TOTAL" and the quarantine's name.
std::unique_ptr<reports_engine::DataConnection> SummaryConnection(const Summary &s);
// The lots of one horizon (HORIZONTE, CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO,
// SALDOCORRENTE, UNIDADE, VALIDADE, DIAS, CUSTO, VENDA).
std::unique_ptr<reports_engine::DataConnection> LotsConnection(const Summary &s, int horizon);

} // namespace expiry
