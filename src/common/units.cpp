#include "units.h"

#include <cmath>

namespace common {

namespace {

enum class Kind { Mass, Volume, Count };

struct Unit {
    const char *code;
    Kind kind;
    int exponent; // power of ten of the kind's base unit (G, ML, UN)
};

const Unit kUnits[] = {
    {"KG", Kind::Mass, 3},    {"G", Kind::Mass, 0},    {"MG", Kind::Mass, -3},   {"MCG", Kind::Mass, -6},
    {"L", Kind::Volume, 3},   {"ML", Kind::Volume, 0}, {"MCL", Kind::Volume, -3},
    {"MIL", Kind::Count, 3},  {"UN", Kind::Count, 0},
};

const Unit *find(const QString &folded)
{
    for (const Unit &u : kUnits)
        if (folded == QLatin1String(u.code))
            return &u;
    return nullptr;
}

} // namespace

QString FoldUnit(const QString &unit)
{
    return unit.trimmed().toUpper();
}

std::optional<int> UnitScale(const QString &from, const QString &to)
{
    const QString f = FoldUnit(from);
    const QString t = FoldUnit(to);
    if (f == t)
        return 0;
    const Unit *a = find(f);
    const Unit *b = find(t);
    if (!a || !b || a->kind != b->kind)
        return std::nullopt;
    return a->exponent - b->exponent;
}

std::optional<double> UnitFactorBetween(const QString &from, const QString &to)
{
    const std::optional<int> scale = UnitScale(from, to);
    if (!scale)
        return std::nullopt;
    // 10^-3 written as a division keeps 0.001 exact to the last bit of a double
    return *scale >= 0 ? std::pow(10.0, *scale) : 1.0 / std::pow(10.0, -*scale);
}

} // namespace common
