// The book written out: its pages for the preview, the printer and PDF (laid out one by one as
// they are asked for, numbered over the whole book, a new page for each substance) and its
// spreadsheet file, one line per movement with the running balance.
#pragma once
#include "book.h"
#include "bookread.h"

#include "reports/engine/pagemodel.h"

namespace platform {
class Operator;
class WinPaths;
}

namespace controlled {

inline const QString kBookTitle = QStringLiteral("Livro de controlados");

// "LIVRO DE REGISTRO DE SUBSTÂNCIAS CONTROLADAS - Período: 01/01/2024 a 31/03/2024"
QString PeriodHeading(const Book &book);
// "BALANÇO DO 1º TRIMESTRE DE 2024", "BALANÇO ANUAL DE 2024", or "BALANÇO DO PERÍODO" for any other period.
QString BalanceHeading(const Book &book);
// "O livro fecha com o estoque: nenhuma diferença." or "O livro não fecha com o estoque: 3 diferenças."
QString ClosingSentence(const Book &book);

// The pages: the summary (how the start balance was obtained, the differences, the
// inconsistencies), the period balance, then each substance from a page of its own. Each page is
// headed with the pharmacy and the period and ends with "página n de m".
reports_engine::PageModel BookPages(const Book &book, const Pharmacy &pharmacy);

inline const QString kBookCsvHeader = QStringLiteral(
    "SUBSTÂNCIA;DCB;UNID.;CÓDIGO;PRODUTO;LOTE;FORNECEDOR;DATA;MOVIMENTO;DOCUMENTO;QUANTIDADE REGISTRADA;ENTRADA;SAÍDA;"
    "SALDO");
// The header, then per lot its start balance, one line per movement with the running balance,
// and its end balance.
QStringList BookCsvLines(const Book &book);
// "C:\FORMULIX\CONTROLADOS" + the period's start and end "yyMMdd" + ".CSV"
QString BookCsvPath(const Book &book);
QString BookCsvMessage(const QString &windowsPath);
// Lines, file, message; a file that cannot be written is told through op.error. True when written.
bool ExportBookCsv(const Book &book, const platform::WinPaths &paths, platform::Operator &op);

} // namespace controlled
