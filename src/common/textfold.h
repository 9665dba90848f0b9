// Text compared as pharmacies type it: letter case and accents do not matter.
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

} // namespace common
