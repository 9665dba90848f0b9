// The resale build product by product, as first written: one lot query per product, each row
// saved through the data module's hooks (written through and the staging dataset reloaded). The
// division by a divisor of 0 is handled as the set-based build handles it. Kept only as the
// reference the set-based build is measured and checked against.
#pragma once
#include "data/tdm.h"
#include "db/sqltext.h"
#include "platform/clock.h"
#include "reports/buildsupport.h"
#include "reports/manufacturing.h"

#include <QSet>
#include <cmath>

namespace reference {

// Steps 1 to 5. maxProducts >= 0 stops after that many products (the benchmark).
inline void BuildResaleRowByRow(data::TDM &dm, const platform::Clock &clock, reports::ConsistencyErrors &errors,
                                int maxProducts = -1)
{
    using db::Value;
    dm.SQLConnection2.execute(QStringLiteral("DELETE FROM RELESTLOTE"));
    errors.clear();
    data::Query &products = dm.qry_Componen;
    products.close();
    products.setSql(QStringLiteral("SELECT * FROM COMPONEN WHERE UPPER(GRUPO) = 'REV' ORDER BY COMPONENTE "));
    products.open();
    data::CachedDataset &staging = dm.tbl_pdEstLote;
    staging.close();
    staging.open();
    data::CachedDataset &lots = dm.cds_EstLoteRel;
    const QDate today = clock.today();
    QSet<QString> listed;
    int done = 0;
    for (; !products.eof(); products.next()) {
        if (maxProducts >= 0 && done++ >= maxProducts)
            break;
        const QString code = products.value(QStringLiteral("CODIGO")).toString();
        const QString componente = products.value(QStringLiteral("COMPONENTE")).toString();
        const double custo = products.value(QStringLiteral("CUSTOUNITR")).toDouble();
        const double divisor = products.value(QStringLiteral("DIVISORUNID")).toDouble();
        const double preco = products.value(QStringLiteral("PRECOR")).toDouble();
        lots.close();
        lots.setCommandText(QStringLiteral("select * from ESTLOTE where CODIGO = '") + db::escapeQuotes(code) + QStringLiteral("'"));
        lots.open();
        // The server's comparison: trailing blanks do not count.
        const auto same = [](QString a, QString b) {
            while (a.endsWith(QLatin1Char(' '))) a.chop(1);
            while (b.endsWith(QLatin1Char(' '))) b.chop(1);
            return a == b;
        };
        for (lots.first(); !lots.eof() && same(lots.text(QStringLiteral("CODIGO")), code); lots.next()) {
            const double balance = lots.value(QStringLiteral("SALDOCORRENTE")).toDouble();
            const QDate expiry = lots.value(QStringLiteral("VALIDADE")).toDate();
            if (!(balance > 0 && expiry.isValid() && expiry > today))
                continue;
            staging.insert();
            for (const char *c : {"LOTE", "FORNECEDOR", "LABORATORIO", "CODIGO", "DESCRICAO", "UNIDADE"})
                staging.setValue(QLatin1String(c), lots.value(QLatin1String(c)));
            staging.setValue(QStringLiteral("SALDOCORRENTE"), Value::real(balance));
            staging.setValue(QStringLiteral("VALIDADE"), Value::date(expiry));
            double unitCost = custo;
            if (divisor != 0)
                unitCost = custo / divisor;
            else if (!listed.contains(componente)) {
                listed.insert(componente);
                errors.add(reports::DivisorZeroMessage(componente));
            }
            staging.setValue(QStringLiteral("PRECOCUSTO"), Value::real(unitCost));
            staging.setValue(QStringLiteral("PRECOVENDA"), Value::real(preco));
            const double cost = divisor != 0 ? balance * custo / divisor : balance * unitCost;
            staging.setValue(QStringLiteral("ESTOQUECUSTO"), Value::real(std::isfinite(cost) ? cost : 0));
            const double sale = preco * balance;
            staging.setValue(QStringLiteral("ESTOQUEVENDA"), Value::real(std::isfinite(sale) ? sale : 0));
            try {
                staging.post();   // the hook writes the row through and reloads the dataset
            } catch (const data::DatasetError &) {
                staging.cancel();
            }
        }
    }
    dm.qry_Componen.close();
    dm.qry_pdEstLote.close();
    staging.close();
}

} // namespace reference
