// Names folded: text compared as pharmacies type it (letter case and accents do not matter), and
// product names written as the register and the order lines store them. The two fold
// differently on purpose: FoldText only compares, while the product-name rules make a text that
// is stored or matched with "=" by the server against what the suite's other programs wrote.
#pragma once
#include <QString>

namespace common {

// The pt-BR folding used by every search and every comparison of names typed by people:
// accents dropped ("Á", "á", "à", "ã" are "A"; "Ç" is "C"), upper case, blanks at the ends
// dropped and runs of blanks inside made one. "Química  Ávila " and "QUIMICA AVILA" fold alike.
// Letters without an accent form (º, ª, €) stay as they are.
QString FoldText(const QString &text);

// True when `text` folded holds `part` folded ("acido" finds "Ácido ascórbico").
bool FoldedContains(const QString &text, const QString &part);

// How a typed product name is written before it is looked up in the product register: lower
// case, the first letter raised, and for a name starting "vitamina" the letter after the blank
// (the tenth character) raised too. Only ASCII letters change; accented letters stay.
QString NormaliseProductName(const QString &text);

// Accented Latin letters of the list (à á â ã ç é ê í ñ ó ô õ ú û ü, either case) folded to plain
// lower case; any other character kept.
QString FoldAccents(const QString &text);
// The name as the order lines hold it: NormaliseProductName, then FoldAccents, then single
// quotes turned into blanks.
QString FoldProductName(const QString &text);

} // namespace common
