// The factor between the lower-case unit texts of the report builds.
#pragma once
#include <QString>

namespace reports {

// The number a quantity in unit `from` is multiplied by to express it in unit `to`. Units are
// compared exactly as stored, case-sensitively ("mg", "g", "kg", "mcg", "l", "ml", "mcl");
// any pair the table does not hold, other letter cases included, gives 1. Never 0.
// Note the order: the maintenance operations' UnitFactor takes its units the other way round.
double UnitConversionFactor(const QString &from, const QString &to);

} // namespace reports
