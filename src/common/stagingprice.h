// The price rules of a staged row, shared by the stock reports' builds and the expiry panel's
// value at risk: the cost per unit, the sale price and both stock values of a quantity. Kept in
// the reports' namespace, where every builder calls them.
#pragma once
#include "common/staging.h"

#include <QString>
#include <QStringList>

namespace reports {

// A value the staging table can take: a result that is not a number is stored as 0.
double FiniteOrZero(double value);

// A row new to the staging table gets the register's cost per unit (the cost over a divisor
// above 1), the sale price, and both stock values of `quantity`. A divisor of 0 adds its message
// for `componente`. False when a stock value was not a number (it was stored as 0).
bool PriceNewRow(StagingRow &row, double quantity, double custoUnitR, double divisorUnid, double precoR,
                 const QString &componente, QStringList &messages);

// The resale rule for one lot of `saldo`: the cost over the divisor always (a divisor of 0 leaves
// the register's unit cost undivided), the sale price, and both stock values. True when the
// divisor was 0.
bool PriceResaleRow(StagingRow &row, double saldo, double custoUnitR, double divisorUnid, double precoR);

// The message of a product whose unit divisor is 0.
QString DivisorZeroMessage(const QString &componente);

} // namespace reports
