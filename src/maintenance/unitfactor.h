// Conversion between the upper-case unit codes of the lot and product tables.
#pragma once
#include <QString>

namespace maintenance {

// The number by which a quantity in unit `source` is multiplied to express it in `target`.
// Codes are compared in upper case (a to z only); an empty target gives 1, and so does every
// pair the table does not know (equal units included).
double UnitFactor(const QString &target, const QString &source);

// True when a quantity in `source` can honestly be expressed in `target`: the same unit, or a
// pair UnitFactor converts. Unlike units it does not know (KG and MCG, L and MCL, a unit and no
// unit) are not: relabelling them would keep the numbers under the wrong unit.
bool UnitsConvertible(const QString &target, const QString &source);

} // namespace maintenance
