// The suite's complete unit table, with codes read as operators type them (any letter case).
#pragma once
#include <QString>

#include <optional>

namespace common {

// A unit code as the table knows it: blanks at the ends dropped, upper case ("mg " is "MG").
QString FoldUnit(const QString &unit);

// The power of ten by which a quantity in `from` is multiplied to express it in `to`:
// mass KG, G, MG, MCG; volume L, ML, MCL; count MIL, UN (a thousand units). Codes compare
// without regard to letter case, so "g" and "G" are one unit (scale 0). Nothing when the two
// are not of one kind, a code is unknown, or only one of them is empty: such a quantity cannot
// honestly be expressed in the other unit, and a caller must say so instead of using 1.
// Two empty codes, or two equal unknown codes, are the same unit (scale 0).
std::optional<int> UnitScale(const QString &from, const QString &to);

// UnitScale as a factor (10 to that power), for work in double.
std::optional<double> UnitFactorBetween(const QString &from, const QString &to);

// True when a quantity in `from` can be expressed in `to`.
inline bool UnitsConvert(const QString &from, const QString &to) { return UnitScale(from, to).has_value(); }

} // namespace common
