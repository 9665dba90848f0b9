#include "units.h"

#include "platform/cp1252.h"

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

double ReportUnitFactor(const QString &from, const QString &to)
{
    struct Pair { const char *from, *to; double factor; };
    static const Pair table[] = {
        {"mg", "mcg", 1000},   {"g", "mg", 1000},     {"kg", "g", 1000},     {"kg", "mg", 1000000},
        {"mcg", "mg", 0.001},  {"mg", "g", 0.001},    {"g", "kg", 0.001},    {"mg", "kg", 0.000001},
        {"l", "ml", 1000},     {"ml", "mcl", 1000},   {"ml", "l", 0.001},    {"mcl", "ml", 0.001},
    };
    for (const Pair &p : table) {
        if (from == QLatin1String(p.from) && to == QLatin1String(p.to))
            return p.factor;
    }
    return 1;
}

namespace {

struct RegisterPair {
    const char *target;
    const char *source;
    double factor;
};

const RegisterPair kRegisterPairs[] = {
    {"KG", "G", 0.001},      {"G", "MG", 0.001},      {"MG", "MCG", 0.001},
    {"MIL", "UN", 0.001},    {"ML", "MCL", 0.001},    {"L", "ML", 0.001},
    {"G", "KG", 1000},       {"MG", "G", 1000},       {"MCG", "MG", 1000},
    {"UN", "MIL", 1000},     {"MCL", "ML", 1000},     {"ML", "L", 1000},
    {"KG", "MG", 0.000001},  {"G", "MCG", 0.000001},
    {"MG", "KG", 1000000},   {"MCG", "G", 1000000},
};

const RegisterPair *findRegisterPair(const QString &target, const QString &source)
{
    for (const RegisterPair &p : kRegisterPairs)
        if (target == QLatin1String(p.target) && source == QLatin1String(p.source))
            return &p;
    return nullptr;
}

} // namespace

double RegisterUnitFactor(const QString &target, const QString &source)
{
    if (target.isEmpty())
        return 1;
    const RegisterPair *p = findRegisterPair(platform::asciiUpper(target), platform::asciiUpper(source));
    return p ? p->factor : 1;
}

bool RegisterUnitsConvertible(const QString &target, const QString &source)
{
    const QString t = platform::asciiUpper(target);
    const QString s = platform::asciiUpper(source);
    if (t.isEmpty() || s.isEmpty())
        return t == s;
    return t == s || findRegisterPair(t, s) != nullptr;
}

} // namespace common
