#include "stagingprice.h"

#include <cmath>

namespace reports {

QString DivisorZeroMessage(const QString &componente)
{
    return QStringLiteral("O componente ") + componente + QStringLiteral(" está com o DIVISOR DE UNIDADE = 0.");
}

double FiniteOrZero(double value)
{
    return std::isfinite(value) ? value : 0;
}

bool PriceNewRow(StagingRow &row, double quantity, double custoUnitR, double divisorUnid, double precoR,
                 const QString &componente, QStringList &messages)
{
    const double unitCost = divisorUnid > 1 ? custoUnitR / divisorUnid : custoUnitR;
    row.precoCusto = unitCost;
    row.precoVenda = precoR;
    if (divisorUnid == 0)
        messages << DivisorZeroMessage(componente);
    const double cost = quantity * unitCost;
    const double sale = quantity * precoR;
    row.estoqueCusto = FiniteOrZero(cost);
    row.estoqueVenda = FiniteOrZero(sale);
    return std::isfinite(cost) && std::isfinite(sale);
}

bool PriceResaleRow(StagingRow &row, double saldo, double custoUnitR, double divisorUnid, double precoR)
{
    const bool zero = divisorUnid == 0;
    row.precoCusto = zero ? custoUnitR : custoUnitR / divisorUnid;
    row.precoVenda = precoR;
    row.estoqueCusto = FiniteOrZero(zero ? saldo * custoUnitR : saldo * custoUnitR / divisorUnid);
    row.estoqueVenda = FiniteOrZero(precoR * saldo);
    return zero;
}

} // namespace reports
