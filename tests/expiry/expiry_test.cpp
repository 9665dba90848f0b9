// The expiry summary on a small real fixture: the horizons' boundaries, what is left out and
// counted, the store's scope, the units and divisors valued as the stock report values them,
// and the spreadsheet file byte for byte.
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

TEST_F(Expiry, HorizonsLocationsAndWhatIsLeftOut)
{
    fixture();
    const expiry::Summary s = load();

    // "LAB 1" and "Lab 1" are one location.
    ASSERT_EQ(s.rows.size(), 2u);
    EXPECT_EQ(s.rows[0].location, QStringLiteral("Lab 1"));
    EXPECT_EQ(s.rows[1].location, QStringLiteral("Lab 2"));
    // Lab 1: expired today (3 g at 9.8/3), 1.5 g of the 1500 mg lot and 3 g up to 30 days,
    // the divisor-0.5 lot at its undivided cost, the divisor-0 lot at its undivided cost.
    // Lab 2: the lot expired last month, the 31-day lot and the 2 g lot.
    const expiry::LocationRow &lab1 = s.rows[0];
    const expiry::LocationRow &lab2 = s.rows[1];
    expectCells(lab1.cells, {{{1, 9.8, 88.2}, {2, 12.8, 95.7}, {0, 0, 0}, {1, 1, 3.8}, {1, 5, 19}}}, "Lab 1");
    expectCells(lab2.cells, {{{1, 19.6, 176.4}, {0, 0, 0}, {2, 23.6, 186.4}, {0, 0, 0}, {0, 0, 0}}}, "Lab 2");
    expectCells(s.total, {{{2, 29.4, 264.6}, {2, 12.8, 95.7}, {2, 23.6, 186.4}, {1, 1, 3.8}, {1, 5, 19}}}, "total");

    // Quality control's lot is apart and not in the total.
    ASSERT_TRUE(s.quarantine.has_value());
    EXPECT_EQ(s.quarantine->location, QStringLiteral("Controle Qualidade"));
    expectCells(s.quarantine->cells, {{{0, 0, 0}, {1, 9.8, 88.2}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}, "quarantine");

    // The other store's lot is not read at all; the rest are counted under the table.
    EXPECT_EQ(s.noBalance, 1);
    EXPECT_EQ(s.noExpiry, 1);
    EXPECT_EQ(s.later, 1);
    EXPECT_EQ(s.notValued, 1);
    EXPECT_EQ(expiry::LeftOutLine(s),
              QStringLiteral("Fora da tabela: 1 lote(s) sem saldo, 1 sem validade, 1 com vencimento após 180 dias, "
                             "1 de produtos fora do estoque físico/financeiro de manipulação."));
    EXPECT_EQ(s.divisorZero, QStringList{QStringLiteral("O componente Alantoína está com o DIVISOR DE UNIDADE = 0.")});
    for (const expiry::ExpiringLot &l : s.lots)
        EXPECT_NE(l.lote, QStringLiteral("LX"));
}

TEST_F(Expiry, LotsOfAHorizonSoonestFirst)
{
    fixture();
    const expiry::Summary s = load();
    QStringList firstHorizon;
    for (const expiry::ExpiringLot *l : expiry::LotsOf(s, 1))
        firstHorizon << l->lote + QLatin1Char(' ') + QString::number(l->daysLeft) + (l->quarantine ? "Q" : "");
    EXPECT_EQ(firstHorizon, (QStringList{"LQ 25Q", "L12A 25", "L30 30"}));
}

// The stock report, given the same lots, values them at the same total.
TEST_F(Expiry, ValuesEqualTheStockReportsForTheSameLots)
{
    fixture();
    const expiry::Summary s = load();
    const QHash<QString, reports::StagingProduct> products =
        reports::ReadManufacturingProducts(dm.SQLConnection1, run.siteConfig.IncludeDiluted);
    std::vector<reports::StagingLot> same;
    double expiring = 0;
    for (const expiry::ExpiringLot &l : s.lots) {
        if (l.horizon == 0 || l.quarantine)
            continue;   // the stock report counts lots that have not expired
        same.push_back(reports::StagingLot{l.descricao, l.lote, l.fornecedor, l.codigo, l.laboratorio, l.unidade, l.saldo});
        expiring += l.cost;
    }
    std::sort(same.begin(), same.end(), [](const auto &a, const auto &b) { return a.codigo < b.codigo; });
    const reports::ManufacturingRows rows = reports::ComputeManufacturingRows(same, products, false);
    double staged = 0;
    for (const reports::StagingRow &r : rows.rows)
        staged += *r.estoqueCusto;
    EXPECT_NEAR(expiring, 42.4, 1e-9);
    EXPECT_NEAR(staged, expiring, 1e-9);
}

TEST_F(Expiry, NoLaboratoryStillListsTheSharedLocations)
{
    fixture();
    run.LabScopeClause.clear();
    const expiry::Summary s = load();
    EXPECT_TRUE(s.rows.empty());
    ASSERT_TRUE(s.quarantine.has_value());
    EXPECT_EQ(s.quarantine->cells[1].lots, 1);
}

TEST_F(Expiry, SpreadsheetFileByteForByte)
{
    fixture();
    const expiry::Summary s = load();
    expiry::ExportExpiry(s, paths, clock.today(), op);
    EXPECT_EQ(op.texts(), QStringList{QStringLiteral(
                              "Arquivo \"c:\\FORMULIX\\VENCIM24.03.07.CSV\" gerado com sucesso. \rAbra-o no Excel.")});
    const QString expected = QStringLiteral(
        "HORIZONTE;CÓDIGO;DESCRIÇÃO;LOTE;FORNECEDOR;LABORATÓRIO;SALDO CORRENTE;UNID.;VALIDADE;DIAS;ESTOQUE CUSTO;"
        "ESTOQUE VENDA;QUARENTENA\r\n"
        "Vencidos;P01;Ácido Bórico;LV;F;Lab 2;6;g;01/02/2024;-35;19,60;176,40;Não\r\n"
        "Vencidos;P01;Ácido Bórico;LH0;F;Lab 1;3;g;07/03/2024;0;9,80;88,20;Não\r\n"
        "Até 30 dias;P01;Ácido Bórico;LQ;F;Controle Qualidade;3;g;01/04/2024;25;9,80;88,20;Sim\r\n"
        "Até 30 dias;P12;Vitamina C;L12A;F;Lab 1;1500;mg;01/04/2024;25;3,00;7,50;Não\r\n"
        "Até 30 dias;P01;Ácido Bórico;L30;\"Fênix; Química\";LAB 1;3;g;06/04/2024;30;9,80;88,20;Não\r\n"
        "31 a 60 dias;P01;Ácido Bórico;L31;F;Lab 2;6;g;07/04/2024;31;19,60;176,40;Não\r\n"
        "31 a 60 dias;P12;Vitamina C;L12B;F;Lab 2;2;g;01/05/2024;55;4,00;10,00;Não\r\n"
        "61 a 90 dias;P08;Cafeína;L90;F;Lab 1;4;g;05/06/2024;90;1,00;3,80;Não\r\n"
        "91 a 180 dias;P07;Alantoína;L180;F;Lab 1;10;g;03/09/2024;180;5,00;19,00;Não\r\n");
    EXPECT_EQ(fileBytes(QStringLiteral("c/FORMULIX/VENCIM24.03.07.CSV")), platform::toCp1252(expected));
}

} // namespace
