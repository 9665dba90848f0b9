// The data module on a small fixture of lots around the expiry horizons' boundaries. Today is
// 2024-03-07; store A (workstation 01) holds "Lab 1" and "Lab 2", store B (workstation 03)
// holds "Loja Norte"; "Controle Qualidade" and "EMTRANSITO" are shared.
#pragma once
#include "expiry/expiry.h"

#include "support/modulerig.h"
#include "users/scope.h"

#include "db/sqltext.h"

namespace expirytest {

inline const QString kStoreA = QStringLiteral("11111111000111");
inline const QString kStoreB = QStringLiteral("22222222000122");

struct ExpiryRig : testsupport::ModuleRig {
    void product(const QString &code, const QString &name, const QString &group, const QString &unit,
                 const QString &cost, const QString &divisor, const QString &price, const QString &dilution = "1")
    {
        exec(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, PRECOR, "
                            "FATORDILUICAO) values (%1, %2, %3, %4, %5, %6, %7, %8)")
                 .arg(db::quoted(code), db::quoted(name), db::quoted(group), db::quoted(unit), cost, divisor, price,
                      dilution));
    }
    void lot(const QString &code, const QString &description, const QString &lote, const QString &balance,
             const QString &unit, const QString &expiry, const QString &lab, const QString &supplier = QStringLiteral("F"),
             const QString &situation = QStringLiteral("Estoque"))
    {
        exec(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, SALDOCORRENTE, UNIDADE, VALIDADE, "
                            "LABORATORIO, SITUACAO) values (%1, %2, %3, %4, %5, %6, %7, %8, %9)")
                 .arg(db::quoted(code), db::quoted(description), db::quoted(lote), db::quoted(supplier), balance,
                      db::quoted(unit), expiry.isEmpty() ? QStringLiteral("null") : db::quoted(expiry), db::quoted(lab),
                      db::quoted(situation)));
    }
    void order(const QString &station, int number, const QString &type, const QString &date)
    {
        exec(QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) values (%1, %2, %3, %4)")
                 .arg(db::quoted(station)).arg(number).arg(db::quoted(type), db::quoted(date)));
    }
    void line(const QString &station, int number, const QString &code, const QString &quantity, const QString &unit)
    {
        exec(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, CODIGOCOMP, QDEESTOQUE, UNID) "
                            "values (%1, %2, 1, %3, %4, %5)")
                 .arg(db::quoted(station)).arg(number).arg(db::quoted(code), quantity, db::quoted(unit)));
    }

    void fixture()
    {
        product("P01", "Ácido Bórico", "MP", "g", "9.8", "3", "29.4");
        product("P03", "Sabonete", "REV", "UN", "3.1", "1", "7.5");
        product("P07", "Alantoína", "MP", "g", "0.5", "0", "1.9");
        product("P08", "Cafeína", "MP", "g", "0.25", "0.5", "0.95");
        product("P12", "Vitamina C", "MP", "g", "2", "1", "5");
        product("P20", "Protetor Solar FPS 50", "rev", "UN", "32", "2", "64.9");
        product("P30", "Arnica Montana TM", "HOM", "ML", "0.4", "1", "1.8", "10");
        product("P40", "Colágeno", "MP", "G", "0.5", "1", "3");
        lot("P01", "Ácido Bórico", "LV", "6", "g", "2024-02-01", "Lab 2");
        lot("P01", "Ácido Bórico", "LH0", "3", "g", "2024-03-07", "Lab 1");          // expires today
        lot("P01", "Ácido Bórico", "L30", "3", "g", "2024-04-06", "LAB 1", "Fênix; Química");
        lot("P01", "Ácido Bórico", "L31", "6", "g", "2024-04-07", "Lab 2");
        lot("P07", "Alantoína", "L180", "10", "g", "2024-09-03", "Lab 1");         // divisor 0
        lot("P08", "Cafeína", "L90", "4", "g", "2024-06-05", "Lab 1");             // divisor 0.5
        lot("P08", "Cafeína", "L181", "4", "g", "2024-09-04", "Lab 1");
        lot("P12", "Vitamina C", "L12A", "1500", "mg", "2024-04-01", "Lab 1");
        lot("P12", "Vitamina C", "L12B", "2", "g", "2024-05-01", "Lab 2");
        lot("P12", "Vitamina C", "LW", "1", "G", "2024-04-01", "Lab 1", "F", "Aguardando");
        lot("P12", "Vitamina C", "LQT", "2", "g", "2024-05-01", "Lab 2", "F", "Quarentena");
        lot("P01", "Ácido Bórico", "LZ", "0", "g", "2024-04-01", "Lab 1");
        lot("P01", "Ácido Bórico", "LN", "5", "g", "", "Lab 1");
        lot("P03", "Sabonete", "L3", "5", "UN", "2024-04-01", "Lab 1");
        lot("P20", "Protetor Solar FPS 50", "LS", "3", "UN", "2024-04-01", "Lab 2");
        lot("P30", "Arnica Montana TM", "LA", "100", "ml", "2024-05-06", "Lab 1");
        lot("P40", "Colágeno", "LM", "5000", "MG", "2024-04-01", "Lab 1");
        lot("P40", "Colágeno", "LMC", "2000000", "mcg", "2024-04-01", "Lab 2");
        lot("P40", "Colágeno", "LCX", "4", "cx", "2024-04-01", "Lab 1");
        lot("P99", "Sem Cadastro", "LNR", "7", "UN", "2024-04-01", "Lab 1");
        lot("P01", "Ácido Bórico", "LQ", "3", "g", "2024-04-01", "Controle Qualidade");
        lot("P01", "Ácido Bórico", "LT", "6", "g", "2024-05-01", "EMTRANSITO");
        lot("P01", "Ácido Bórico", "LX", "9", "g", "2024-04-01", "Loja Norte");

        exec(QStringLiteral("insert into ESTACOES (ESTACAO, CNPJ) values ('01', '%1')").arg(kStoreA));
        exec(QStringLiteral("insert into ESTACOES (ESTACAO, CNPJ) values ('03', '%1')").arg(kStoreB));
        // Store A's use over the 90 days: 18 g of P01 (9 g and 0.009 KG) and 2.7 g of P12
        // (900 MG and 1800 mg). Not counted: a quotation, an order before the window, an order
        // of store B, a line with no quantity.
        order("01", 1, "Pedido", "2024-03-01");
        line("01", 1, "P01", "9", "g");
        line("01", 1, "P12", "900", "MG");
        order("01", 4, "Pedido", "2023-12-09");
        line("01", 4, "P01", "0.009", "KG");
        line("01", 4, "P12", "1800", "mg");
        line("01", 4, "P12", "0", "g");
        order("01", 2, "Orçamento", "2024-03-02");
        line("01", 2, "P01", "100", "g");
        order("01", 3, "Pedido", "2023-12-08");
        line("01", 3, "P01", "100", "g");
        order("03", 1, "Pedido", "2024-03-03");
        line("03", 1, "P01", "50", "g");
        storeA();
    }
    void storeA()
    {
        run.StoreCnpj = kStoreA;
        run.LabScopeClause = users::LabScopeClause({QStringLiteral("Lab 1"), QStringLiteral("Lab 2")});
    }
    void storeB()
    {
        run.StoreCnpj = kStoreB;
        run.LabScopeClause = users::LabScopeClause({QStringLiteral("Loja Norte")});
    }

    expiry::Summary load()
    {
        run.siteConfig.QuarantineSituations = QStringList{QStringLiteral("quarentena")};
        return expiry::LoadSummary(dm.SQLConnection1,
                                   {run.LabScopeClause, run.siteConfig.IncludeDiluted, run.StoreCnpj,
                                    run.siteConfig.QuarantineSituations, run.siteConfig.UseWindowDays},
                                   clock.today());
    }
};

} // namespace expirytest
