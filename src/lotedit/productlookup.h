// The product register behind a new lot: a typed code or name looked up in COMPONEN and the
// product's fields copied into the lot; the list of names offered when no name matches exactly.
#pragma once
#include "data/tdm.h"

#include <QString>

namespace lotedit {

// Only the columns copied into the lot: the register's text blobs are never read.
inline const QString kProductLookupColumns = QStringLiteral(
    "CODIGO, COMPONENTE, UNID, FABRICANTE, FORNECEDOR, LOTE, FATORCORRECAO, DENSIDADE, VALIDADE");
// The options list shows names and needs their codes; nothing else of the register.
inline const QString kProductOptionsStatement =
    QStringLiteral("select CODIGO, COMPONENTE from COMPONEN order by COMPONENTE");

// Quotes inside the typed text are doubled, so "Oleo d'oliva" is looked up like any other name.
QString CodeLookupStatement(const QString &code);
QString NameLookupStatement(const QString &name);

// Copies the product's fields into the lot row in edit or insert, each text cut to the lot's width.
void CopyProductIntoLot(const data::CachedDataset &product, data::CachedDataset &lot);

// Re-queries Componen by code; when the register returns that code, copies the product into
// ESTLOTE. Componen is closed afterwards. False when the code is not in the register.
bool LookUpProductByCode(data::TDM &dm, const QString &code);
// The same by exact name.
bool LookUpProductByName(data::TDM &dm, const QString &name);

// Opens CompNomes on the names and puts it on the first name not less than the given one.
void OpenProductOptions(data::TDM &dm, const QString &name);
// The chosen name written into the lot's DESCRICAO.
void ChooseProductOption(data::TDM &dm);

} // namespace lotedit
