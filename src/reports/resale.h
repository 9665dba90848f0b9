// The resale physical/financial build: one RELESTLOTE row per usable lot of every resale product,
// with its cost and sale values, then the report of rel_EstoqueFisFinR.rav. The products and
// their usable lots are read in one join and the rows written in one transaction.
#pragma once
#include "manufacturing.h"
#include "common/stagingprice.h"

namespace reports {

// A resale product with one of its usable lots, as the join gives them.
struct ResaleLot {
    QString componente;                 // the product's
    double custoUnitR = 0, divisorUnid = 0, precoR = 0;
    QString descricao, lote, fornecedor, codigo, laboratorio, unidade;   // the lot's
    double saldo = 0;
    QDate validade;   // printed in the report's expiry column
};

// Resale products (the group compared upper-cased) joined to their lots with a balance and an
// expiry after today, in product-name order. The join compares the codes as the server does.
QString ResaleLotStatement(const QDate &today);

struct ResaleRows {
    std::vector<StagingRow> rows;
    std::vector<QString> rowProducts;   // COMPONENTE of the product of each row
    QStringList messages;               // for the consistency-error list
};
// One row per lot; a divisor of 0 values the lot at the register's unit cost and lists the
// product once.
ResaleRows ComputeResaleRows(const std::vector<ResaleLot> &lots);

// The error dialog of a row the table refused.
QString ResaleSaveFailedMessage(const QString &componente, const QString &descricao, const QString &errorClass,
                                const QString &errorText);

// Empties and refills RELESTLOTE. False when the staging table cannot be reached (the message is
// shown, nothing changed).
bool BuildResaleStaging(ReportContext &ctx);

// "Estoq. Físico e Financ. Revenda": the build, the store header, the report "EstFisFin" of the
// resale project. True when the consistency-error panel is to be shown.
bool RunResaleReport(ReportContext &ctx, TRM &rm);

// "Visualizar" of the resale row.
void ViewResaleReport(ReportContext &ctx, TRM &rm);

} // namespace reports
