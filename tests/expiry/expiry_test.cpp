// The expiry summary on a small real fixture: the horizons' boundaries, units in any case and
// units that do not convert, every product group valued by its stock report's rule, shared
// locations and quarantine apart, two stores adding up to the chain, the projected leftovers
// at expiry drawn first expiry first out from 90 days of orders, and the spreadsheet file byte
// for byte. Every expected figure is worked by hand from the fixture in expiryrig.h.
#include "expiry/expiry.h"
#include "expiry/expiryoutput.h"

#include "expiryrig.h"

#include "platform/cp1252.h"

#include <gtest/gtest.h>

namespace {

TEST(ExpiryHorizon, Boundaries)
{
    const struct {
        int days, horizon;
    } cases[] = {{-400, 0}, {-1, 0}, {0, 0}, {1, 1}, {30, 1}, {31, 2}, {60, 2}, {61, 3},
                 {90, 3},   {91, 4}, {180, 4}, {181, -1}, {4000, -1}};
    for (const auto &c : cases)
        EXPECT_EQ(expiry::HorizonOf(c.days), c.horizon) << c.days;
}

// The lot's balance in the register's unit, in any letter case, and the rule of its group; the
// pairs the manufacturing report's own table gives 1 for are valued here at their real scale.
TEST(ExpiryValue, UnitPairsAndRules)
{
    const struct {
        const char *productUnit, *lotUnit;
        double saldo;
        bool converted;
        double balance;
    } cases[] = {
        {"g", "G", 2, true, 2},          {"g", "MG", 5000, true, 5},      {"G", "mg", 1500, true, 1.5},
        {"g", "mcg", 2000000, true, 2},  {"kg", "G", 500, true, 0.5},     {"L", "mcl", 1000000, true, 1},
        {"UN", "mil", 2, true, 2000},    {"ml", " ML ", 5, true, 5},      {"g", "ML", 5, false, 0},
        {"g", "cx", 4, false, 0},        {"UN", "", 3, false, 0},          {"g", "gts", 9, false, 0},
    };
    for (const auto &c : cases) {
        const expiry::ExpiryProduct p =
            expiry::MakeProduct("X", "X", "MP", c.productUnit, 0.5, 1, 3, true, QStringLiteral("S"));
        const expiry::LotStockValue v = expiry::ValueLot(p, c.lotUnit, c.saldo);
        EXPECT_EQ(v.converted, c.converted) << c.productUnit << " " << c.lotUnit;
        EXPECT_DOUBLE_EQ(v.balance, c.balance) << c.productUnit << " " << c.lotUnit;
        EXPECT_DOUBLE_EQ(v.cost, c.balance * 0.5) << c.productUnit << " " << c.lotUnit;
        EXPECT_DOUBLE_EQ(v.sale, c.balance * 3) << c.productUnit << " " << c.lotUnit;
    }
    // A divisor of 0.5: the manufacturing rule divides only by a divisor above 1, the resale
    // rule always; a divisor of 0 leaves both at the undivided cost.
    const struct {
        const char *group;
        double divisor, cost;
        bool resale, inReports;
    } rules[] = {{"MP", 0.5, 4 * 0.25, false, true},     {"REV", 0.5, 4 * 0.25 / 0.5, true, true},
                 {"Rev", 0, 4 * 0.25, true, true},       {"HOM", 0.5, 4 * 0.25, false, false},
                 {"hom", 2, 4 * 0.25 / 2, false, false}, {"REVI", 2, 4 * 0.25 / 2, false, true}};
    for (const auto &r : rules) {
        const expiry::ExpiryProduct p = expiry::MakeProduct("X", "X", r.group, "g", 0.25, r.divisor, 1, true, "S");
        EXPECT_EQ(p.resale, r.resale) << r.group;
        EXPECT_EQ(p.inStockReports, r.inReports) << r.group;
        EXPECT_DOUBLE_EQ(expiry::ValueLot(p, "g", 4).cost, r.cost) << r.group;
    }
    // Undiluted products only, when the site says so: a diluted raw material is then outside
    // the reports, an undiluted homeopathic one inside.
    EXPECT_FALSE(expiry::MakeProduct("X", "X", "MP", "g", 1, 1, 1, false, "N").inStockReports);
    EXPECT_TRUE(expiry::MakeProduct("X", "X", "HOM", "g", 1, 1, 1, true, "n").inStockReports);
    EXPECT_FALSE(expiry::MakeProduct("X", "X", QString(), "g", 1, 1, 1, true, "S").inStockReports);
}

class Expiry : public ::testing::Test, public expirytest::ExpiryRig {};

// lots, cost, sale of each horizon
using Expected = std::array<std::tuple<int, double, double>, expiry::kHorizonCount>;

void expectCells(const expiry::Cells &cells, const Expected &expected, const QString &where)
{
    for (int h = 0; h < expiry::kHorizonCount; ++h) {
        const auto &[lots, cost, sale] = expected[size_t(h)];
        EXPECT_EQ(cells[size_t(h)].lots, lots) << where.toStdString() << " horizon " << h;
        EXPECT_NEAR(cells[size_t(h)].cost, cost, 1e-9) << where.toStdString() << " horizon " << h;
        EXPECT_NEAR(cells[size_t(h)].sale, sale, 1e-9) << where.toStdString() << " horizon " << h;
    }
}

TEST_F(Expiry, EveryRowOfTheTableByHand)
{
    fixture();
    const expiry::Summary s = load();

    // "LAB 1" and "Lab 1" are one location. Lab 1: expired today 3 g at 9.8/3; up to 30 days
    // 3 g, 1.5 g of the 1500 mg lot at 2, 5 soaps at 3.1, 5 g of the 5000 MG lot at 0.5 (the
    // box lot and the unregistered product listed unvalued); 100 ml of a homeopathic tincture at
    // 0.4; the divisor-0.5 lot at its undivided cost; the divisor-0 lot at its undivided cost.
    // Lab 2: the lot expired last month; the sunscreen (group "rev") at 32 / 2 and the
    // 2 000 000 mcg lot; the 31-day lot and the 2 g lot.
    ASSERT_EQ(s.rows.size(), 2u);
    EXPECT_EQ(s.rows[0].location, QStringLiteral("Lab 1"));
    EXPECT_EQ(s.rows[1].location, QStringLiteral("Lab 2"));
    expectCells(s.rows[0].cells, {{{1, 9.8, 88.2}, {4, 30.8, 148.2}, {1, 40, 180}, {1, 1, 3.8}, {1, 5, 19}}}, "Lab 1");
    expectCells(s.rows[1].cells, {{{1, 19.6, 176.4}, {2, 49, 200.7}, {2, 23.6, 186.4}, {0, 0, 0}, {0, 0, 0}}}, "Lab 2");
    expectCells(s.usable, {{{2, 29.4, 264.6}, {6, 79.8, 348.9}, {3, 63.6, 366.4}, {1, 1, 3.8}, {1, 5, 19}}}, "usable");
    // "Aguardando" always, "Quarentena" as configured (in another case).
    expectCells(s.quarantine, {{{0, 0, 0}, {1, 2, 5}, {1, 4, 10}, {0, 0, 0}, {0, 0, 0}}}, "quarantine");
    expectCells(s.store, {{{2, 29.4, 264.6}, {7, 81.8, 353.9}, {4, 67.6, 376.4}, {1, 1, 3.8}, {1, 5, 19}}}, "store");
    ASSERT_EQ(s.shared.size(), 2u);
    EXPECT_EQ(s.shared[0].location, QStringLiteral("Controle Qualidade"));
    EXPECT_EQ(s.shared[1].location, QStringLiteral("EMTRANSITO"));
    expectCells(s.shared[0].cells, {{{0, 0, 0}, {1, 9.8, 88.2}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}, "quality control");
    expectCells(s.shared[1].cells, {{{0, 0, 0}, {0, 0, 0}, {1, 19.6, 176.4}, {0, 0, 0}, {0, 0, 0}}}, "in transit");
    expectCells(s.total, {{{2, 29.4, 264.6}, {8, 91.6, 442.1}, {5, 87.2, 552.8}, {1, 1, 3.8}, {1, 5, 19}}}, "total");

    // The other store's lot is not read at all; the rest are counted under the table.
    EXPECT_EQ(expiry::LeftOutLine(s),
              QStringLiteral("Fora da tabela: 1 lote(s) sem saldo, 1 sem validade, 1 com vencimento após 180 dias, "
                             "1 em unidade não convertida, 1 de produto sem cadastro. Listados e valorizados fora dos "
                             "relatórios de estoque físico/financeiro: 1 lote(s)."));
    EXPECT_EQ(s.divisorZero, QStringList{QStringLiteral("O componente Alantoína está com o DIVISOR DE UNIDADE = 0.")});
    for (const expiry::ExpiringLot &l : s.lots)
        EXPECT_NE(l.lote, QStringLiteral("LX"));
}

// Store A's use over 90 days: 18 g of boric acid (0.2 g a day) and 2.7 g of vitamin C (0.03 g
// a day). Boric acid: the expired lots keep all; the 30-day lot is used up by day 15, the
// 31-day lot then gets 16 days, 3.2 g, and keeps 2.8 g. Vitamin C: the 1500 mg lot gets 25
// days, 0.75 g, and keeps 750 mg; the 55-day lot gets 30 days, 0.9 g, and keeps 1.1 g; the
// quarantined lots are not drawn from. Products without use keep their whole balance.
TEST_F(Expiry, LeftoversAtExpiryFirstExpiryFirstOut)
{
    fixture();
    const expiry::Summary s = load();
    QMap<QString, const expiry::ExpiringLot *> byLot;
    for (const expiry::ExpiringLot &l : s.lots)
        byLot[l.lote] = &l;
    const struct {
        const char *lote;
        bool projected;
        double leftover, cost;
    } cases[] = {{"LV", true, 6, 19.6},     {"LH0", true, 3, 9.8},   {"L30", true, 0, 0},      {"L31", true, 2.8, 2.8 * 9.8 / 3},
                 {"L12A", true, 750, 1.5},  {"L12B", true, 1.1, 2.2}, {"LW", false, 0, 0},     {"LQT", false, 0, 0},
                 {"LQ", false, 0, 0},       {"LT", false, 0, 0},     {"L3", true, 5, 15.5},     {"LS", true, 3, 48},
                 {"LA", true, 100, 40},     {"LCX", true, 4, 0},     {"LNR", true, 7, 0},       {"L180", true, 10, 5}};
    for (const auto &c : cases) {
        const expiry::ExpiringLot *l = byLot.value(QString::fromLatin1(c.lote));
        ASSERT_TRUE(l) << c.lote;
        EXPECT_EQ(l->projected, c.projected) << c.lote;
        EXPECT_NEAR(l->leftover, c.leftover, 1e-9) << c.lote;
        EXPECT_NEAR(l->leftoverCost, c.cost, 1e-9) << c.lote;
    }
    expectCells(s.leftover,
                {{{2, 29.4, 264.6}, {5, 68.5, 256.95}, {3, 2.8 * 9.8 / 3 + 2.2 + 40, 82.32 + 5.5 + 180}, {1, 1, 3.8}, {1, 5, 19}}},
                "leftover");
}

// Use in a unit none of the product's usable lots converts to is not drawn from them: its order
// lines are counted under the table. Boric acid moved in units, vitamin C in ml and the
// unregistered product (kept in UN) in g: three lines. The collagen lot kept in boxes takes the
// box lines: 3 boxes over 90 days, 25 days to its expiry, 3 x 25 / 90 used, 4 - 5/6 left. A
// product with no lot in the table projects nothing and counts nothing.
TEST_F(Expiry, UseInAUnitNoLotSharesIsCountedUnderTheTable)
{
    fixture();
    order("01", 5, "Pedido", "2024-03-05");
    line("01", 5, "P01", "2", "UN");
    line("01", 5, "P12", "1", "ML");
    line("01", 5, "P99", "1", "g");
    line("01", 5, "P40", "3", "CX");
    line("01", 5, "P77", "5", "g");
    const expiry::Summary s = load();
    EXPECT_EQ(s.useLinesNotConverted, 3);
    EXPECT_EQ(expiry::UseNotConvertedLine(s),
              QStringLiteral("3 linha(s) de pedido em unidade que não se converte para a dos lotes do produto, fora da "
                             "projeção."));
    EXPECT_TRUE(expiry::ProjectionNote(s).endsWith(expiry::UseNotConvertedLine(s)));
    for (const expiry::ExpiringLot &l : s.lots) {
        if (l.lote == QLatin1String("LCX")) {
            EXPECT_NEAR(l.leftover, 4 - 5.0 / 6, 1e-9);
        } else if (l.lote == QLatin1String("L31")) {
            EXPECT_NEAR(l.leftover, 2.8, 1e-9);   // as without the unit lines
        }
    }

    // Without such lines nothing is said.
    expiry::Summary clean = s;
    expiry::ProjectLeftovers(clean, expiry::ReadExpiryProducts(dm.SQLConnection1, run.siteConfig.IncludeDiluted), {});
    EXPECT_EQ(clean.useLinesNotConverted, 0);
    EXPECT_EQ(expiry::UseNotConvertedLine(clean), QString());
}

TEST_F(Expiry, TheUseWindowIsTheSites)
{
    fixture();
    // 30 days: only the order of 2024-03-01 counts, 9 g of boric acid, 0.3 g a day: the 30-day
    // lot is used up by day 10, the 31-day lot gets 21 days, 6.3 g, and keeps nothing (2.8 g
    // over 90 days).
    run.siteConfig.UseWindowDays = 30;
    const expiry::Summary s = load();
    int seen = 0;
    for (const expiry::ExpiringLot &l : s.lots) {
        if (l.lote == QLatin1String("L31") || l.lote == QLatin1String("L30")) {
            ++seen;
            EXPECT_TRUE(l.projected);
            EXPECT_EQ(l.leftover, 0);
        }
    }
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(s.useWindowDays, 30);
}

// Each store's total and the shared rows, once, make the chain's total.
TEST_F(Expiry, StoresAndSharedRowsAddUpToTheChain)
{
    fixture();
    const expiry::Summary a = load();
    storeB();
    const expiry::Summary b = load();
    expectCells(b.store, {{{0, 0, 0}, {1, 29.4, 264.6}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}, "store B");
    run.LabScopeClause = users::LabScopeClause({"Lab 1", "Lab 2", "Loja Norte"});
    const expiry::Summary chain = load();
    expiry::Cells sum = a.store;
    expiry::AddCells(sum, b.store);
    for (const expiry::LocationRow &r : a.shared)
        expiry::AddCells(sum, r.cells);
    for (int h = 0; h < expiry::kHorizonCount; ++h) {
        EXPECT_EQ(sum[size_t(h)].lots, chain.total[size_t(h)].lots) << h;
        EXPECT_NEAR(sum[size_t(h)].cost, chain.total[size_t(h)].cost, 1e-9) << h;
        EXPECT_NEAR(sum[size_t(h)].sale, chain.total[size_t(h)].sale, 1e-9) << h;
    }
    EXPECT_NEAR(chain.total[1].cost, 91.6 + 29.4, 1e-9);
}

TEST_F(Expiry, NoLaboratoryStillListsTheSharedLocations)
{
    fixture();
    run.LabScopeClause.clear();
    const expiry::Summary s = load();
    EXPECT_TRUE(s.rows.empty());
    ASSERT_EQ(s.shared.size(), 2u);
    EXPECT_EQ(s.total[1].lots, 1);
    EXPECT_EQ(s.store[1].lots, 0);
}

TEST_F(Expiry, SpreadsheetFileByteForByte)
{
    fixture();
    const expiry::Summary s = load();
    expiry::ExportExpiry(s, paths, clock.today(), op);
    EXPECT_EQ(op.texts(), QStringList{QStringLiteral(
                              "Arquivo \"c:\\FORMULIX\\VENCIM24.03.07.CSV\" gerado com sucesso. \rAbra-o no Excel.")});
    const QString expected = QStringLiteral(
        "HORIZONTE;CÓDIGO;DESCRIÇÃO;GRUPO;LOTE;FORNECEDOR;LABORATÓRIO;SITUAÇÃO;SALDO CORRENTE;UNID.;VALIDADE;DIAS;"
        "ESTOQUE CUSTO;ESTOQUE VENDA;QUARENTENA;LOCAL COMPARTILHADO;NOS RELATÓRIOS DE ESTOQUE;"
        "SOBRA PREVISTA NO VENCIMENTO;CUSTO DA SOBRA\r\n"
        "Vencidos;P01;Ácido Bórico;MP;LV;F;Lab 2;Estoque;6;g;01/02/2024;-35;19,60;176,40;Não;Não;Sim;6;19,60\r\n"
        "Vencidos;P01;Ácido Bórico;MP;LH0;F;Lab 1;Estoque;3;g;07/03/2024;0;9,80;88,20;Não;Não;Sim;3;9,80\r\n"
        "Até 30 dias;P01;Ácido Bórico;MP;LQ;F;Controle Qualidade;Estoque;3;g;01/04/2024;25;9,80;88,20;Não;Sim;Sim;;\r\n"
        "Até 30 dias;P40;Colágeno;MP;LCX;F;Lab 1;Estoque;4;cx;01/04/2024;25;unidade não convertida;;Não;Não;Sim;4;\r\n"
        "Até 30 dias;P40;Colágeno;MP;LM;F;Lab 1;Estoque;5000;MG;01/04/2024;25;2,50;15,00;Não;Não;Sim;5000;2,50\r\n"
        "Até 30 dias;P40;Colágeno;MP;LMC;F;Lab 2;Estoque;2000000;mcg;01/04/2024;25;1,00;6,00;Não;Não;Sim;2000000;1,00\r\n"
        "Até 30 dias;P20;Protetor Solar FPS 50;rev;LS;F;Lab 2;Estoque;3;UN;01/04/2024;25;48,00;194,70;Não;Não;Sim;3;48,00\r\n"
        "Até 30 dias;P03;Sabonete;REV;L3;F;Lab 1;Estoque;5;UN;01/04/2024;25;15,50;37,50;Não;Não;Sim;5;15,50\r\n"
        "Até 30 dias;P99;Sem Cadastro;;LNR;F;Lab 1;Estoque;7;UN;01/04/2024;25;produto sem cadastro;;Não;Não;;7;\r\n"
        "Até 30 dias;P12;Vitamina C;MP;L12A;F;Lab 1;Estoque;1500;mg;01/04/2024;25;3,00;7,50;Não;Não;Sim;750;1,50\r\n"
        "Até 30 dias;P12;Vitamina C;MP;LW;F;Lab 1;Aguardando;1;G;01/04/2024;25;2,00;5,00;Sim;Não;Sim;;\r\n"
        "Até 30 dias;P01;Ácido Bórico;MP;L30;\"Fênix; Química\";LAB 1;Estoque;3;g;06/04/2024;30;9,80;88,20;Não;Não;Sim;0;0,00\r\n"
        "31 a 60 dias;P01;Ácido Bórico;MP;L31;F;Lab 2;Estoque;6;g;07/04/2024;31;19,60;176,40;Não;Não;Sim;2,8;9,15\r\n"
        "31 a 60 dias;P01;Ácido Bórico;MP;LT;F;EMTRANSITO;Estoque;6;g;01/05/2024;55;19,60;176,40;Não;Sim;Sim;;\r\n"
        "31 a 60 dias;P12;Vitamina C;MP;L12B;F;Lab 2;Estoque;2;g;01/05/2024;55;4,00;10,00;Não;Não;Sim;1,1;2,20\r\n"
        "31 a 60 dias;P12;Vitamina C;MP;LQT;F;Lab 2;Quarentena;2;g;01/05/2024;55;4,00;10,00;Sim;Não;Sim;;\r\n"
        "31 a 60 dias;P30;Arnica Montana TM;HOM;LA;F;Lab 1;Estoque;100;ml;06/05/2024;60;40,00;180,00;Não;Não;Não;100;40,00\r\n"
        "61 a 90 dias;P08;Cafeína;MP;L90;F;Lab 1;Estoque;4;g;05/06/2024;90;1,00;3,80;Não;Não;Sim;4;1,00\r\n"
        "91 a 180 dias;P07;Alantoína;MP;L180;F;Lab 1;Estoque;10;g;03/09/2024;180;5,00;19,00;Não;Não;Sim;10;5,00\r\n");
    EXPECT_EQ(platform::fromCp1252(fileBytes(QStringLiteral("c/FORMULIX/VENCIM24.03.07.CSV"))), expected);
    EXPECT_EQ(fileBytes(QStringLiteral("c/FORMULIX/VENCIM24.03.07.CSV")), platform::toCp1252(expected));
}

} // namespace
