// The factor table of the maintenance operations (not the report builds' lower-case one).
#include "unitfactor.h"

#include "platform/cp1252.h"

namespace maintenance {

namespace {

struct Pair {
    const char *target;
    const char *source;
    double factor;
};

const Pair kPairs[] = {
    {"KG", "G", 0.001},      {"G", "MG", 0.001},      {"MG", "MCG", 0.001},
    {"MIL", "UN", 0.001},    {"ML", "MCL", 0.001},    {"L", "ML", 0.001},
    {"G", "KG", 1000},       {"MG", "G", 1000},       {"MCG", "MG", 1000},
    {"UN", "MIL", 1000},     {"MCL", "ML", 1000},     {"ML", "L", 1000},
    {"KG", "MG", 0.000001},  {"G", "MCG", 0.000001},
    {"MG", "KG", 1000000},   {"MCG", "G", 1000000},
};

const Pair *findPair(const QString &target, const QString &source)
{
    for (const Pair &p : kPairs)
        if (target == QLatin1String(p.target) && source == QLatin1String(p.source))
            return &p;
    return nullptr;
}

} // namespace

double UnitFactor(const QString &target, const QString &source)
{
    if (target.isEmpty())
        return 1;
    const Pair *p = findPair(platform::asciiUpper(target), platform::asciiUpper(source));
    return p ? p->factor : 1;
}

bool UnitsConvertible(const QString &target, const QString &source)
{
    const QString t = platform::asciiUpper(target);
    const QString s = platform::asciiUpper(source);
    if (t.isEmpty() || s.isEmpty())
        return t == s;
    return t == s || findPair(t, s) != nullptr;
}

} // namespace maintenance
