#include "unitconversion.h"

namespace reports {

double UnitConversionFactor(const QString &from, const QString &to)
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

} // namespace reports
