// The data module on a small fixture of lots around the expiry horizons' boundaries. Today is
// 2024-03-07; the store holds "Lab 1" and "Lab 2", "Loja Norte" is another store's.
#pragma once
#include "expiry/expiry.h"

#include "support/modulerig.h"
#include "users/scope.h"

#include "db/sqltext.h"

namespace expirytest {

struct ExpiryRig : testsupport::ModuleRig {
    void product(const QString &code, const QString &name, const QString &group, const QString &unit,
                 const QString &cost, const QString &divisor, const QString &price)
    {
        exec(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, PRECOR, "
                            "FATORDILUICAO) values (%1, %2, %3, %4, %5, %6, %7, 1)")
                 .arg(db::quoted(code), db::quoted(name), db::quoted(group), db::quoted(unit), cost, divisor, price));
    }
    void lot(const QString &code, const QString &description, const QString &lote, const QString &balance,
             const QString &unit, const QString &expiry, const QString &lab, const QString &supplier = QStringLiteral("F"))
    {
        exec(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, SALDOCORRENTE, UNIDADE, VALIDADE, "
                            "LABORATORIO) values (%1, %2, %3, %4, %5, %6, %7, %8)")
                 .arg(db::quoted(code), db::quoted(description), db::quoted(lote), db::quoted(supplier), balance,
                      db::quoted(unit), expiry.isEmpty() ? QStringLiteral("null") : db::quoted(expiry), db::quoted(lab)));
    }

    void fixture()
    {
        product("P01", "Ácido Bórico", "MP", "g", "9.8", "3", "29.4");
        product("P03", "Sabonete", "REV", "UN", "3.1", "1", "7.5");
        product("P07", "Alantoína", "MP", "g", "0.5", "0", "1.9");
        product("P08", "Cafeína", "MP", "g", "0.25", "0.5", "0.95");
        product("P12", "Vitamina C", "MP", "g", "2", "1", "5");
        lot("P01", "Ácido Bórico", "LV", "6", "g", "2024-02-01", "Lab 2");
        lot("P01", "Ácido Bórico", "LH0", "3", "g", "2024-03-07", "Lab 1");          // expires today
        lot("P01", "Ácido Bórico", "L30", "3", "g", "2024-04-06", "LAB 1", "Fênix; Química");
        lot("P01", "Ácido Bórico", "L31", "6", "g", "2024-04-07", "Lab 2");
        lot("P07", "Alantoína", "L180", "10", "g", "2024-09-03", "Lab 1");         // divisor 0
        lot("P08", "Cafeína", "L90", "4", "g", "2024-06-05", "Lab 1");             // divisor 0.5
        lot("P08", "Cafeína", "L181", "4", "g", "2024-09-04", "Lab 1");
        lot("P12", "Vitamina C", "L12A", "1500", "mg", "2024-04-01", "Lab 1");
        lot("P12", "Vitamina C", "L12B", "2", "g", "2024-05-01", "Lab 2");
        lot("P01", "Ácido Bórico", "LZ", "0", "g", "2024-04-01", "Lab 1");
        lot("P01", "Ácido Bórico", "LN", "5", "g", "", "Lab 1");
        lot("P03", "Sabonete", "L3", "5", "UN", "2024-04-01", "Lab 1");
        lot("P01", "Ácido Bórico", "LQ", "3", "g", "2024-04-01", "Controle Qualidade");
        lot("P01", "Ácido Bórico", "LX", "9", "g", "2024-04-01", "Loja Norte");
        run.LabScopeClause = users::LabScopeClause({QStringLiteral("Lab 1"), QStringLiteral("Lab 2")});
    }

    expiry::Summary load()
    {
        return expiry::LoadSummary(dm.SQLConnection1, run.LabScopeClause, run.siteConfig.IncludeDiluted, clock.today());
    }
};

} // namespace expirytest
