// The unit tables, side by side: the suite's complete table, with codes read as operators type
// them (any letter case), for every new rule; and the two older tables the stored figures were
// made with, kept exactly, because changing them would change what a report or an import gives
// for data already in the databases: the report builds' lower-case table and the registers'
// upper-case table of the maintenance operations.
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

// The report builds' table (manufacturing stock): the number a quantity in unit `from` is
// multiplied by to express it in unit `to`. Units are compared exactly as stored,
// case-sensitively ("mg", "g", "kg", "mcg", "l", "ml", "mcl"); any pair the table does not hold,
// other letter cases included, gives 1. Never 0.
// Note the order: RegisterUnitFactor takes its units the other way round.
double ReportUnitFactor(const QString &from, const QString &to);

// The registers' table (the maintenance operations over the lot and product tables): the number
// by which a quantity in unit `source` is multiplied to express it in `target`. Codes are
// compared in upper case (a to z only); an empty target gives 1, and so does every pair the
// table does not know (equal units included).
double RegisterUnitFactor(const QString &target, const QString &source);

// True when a quantity in `source` can honestly be expressed in `target` by RegisterUnitFactor:
// the same unit, or a pair it converts. Unlike units it does not know (KG and MCG, L and MCL, a
// unit and no unit) are not: relabelling them would keep the numbers under the wrong unit.
bool RegisterUnitsConvertible(const QString &target, const QString &source);

} // namespace common
