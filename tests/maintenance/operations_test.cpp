// The maintenance operations on a small pharmacy: each against the row-by-row algorithm on the
// same data, the cases that matter with the exact messages, and the faults built out.
#include "fixture.h"
#include "rowbyrow.h"

#include "common/accesscodes.h"
#include "maintenance/lotstore.h"
#include "maintenance/operations.h"
#include "common/units.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>

using namespace maintenancetest;
using testsupport::MessageKind;

namespace {

QString text(const db::Rows &rows, const char *col, size_t row = 0)
{
    const db::Value &v = rows.at(row, QString::fromLatin1(col));
    return v.isNull() ? QStringLiteral("<null>") : v.toString();
}

TEST(UnitFactor, TableOfPairs)
{
    struct Case {
        const char *target, *source;
        double factor;
        bool convertible;
    };
    const Case cases[] = {
        {"KG", "G", 0.001, true},   {"g", "kg", 1000, true},     {"KG", "MCG", 1, false},  {"", "G", 1, false},
        {"G", "MG", 0.001, true},   {"MG", "MCG", 0.001, true},  {"MIL", "UN", 0.001, true}, {"ML", "MCL", 0.001, true},
        {"L", "ML", 0.001, true},   {"MG", "G", 1000, true},     {"UN", "MIL", 1000, true}, {"ML", "L", 1000, true},
        {"KG", "MG", 0.000001, true}, {"G", "MCG", 0.000001, true}, {"MG", "KG", 1000000, true},
        {"MCG", "G", 1000000, true}, {"L", "MCL", 1, false},     {"KG", "kg", 1, true},    {"UN", "KG", 1, false},
        {"KG", "", 1, false},       {"", "", 1, true},
    };
    for (const Case &c : cases) {
        const QString target = QString::fromLatin1(c.target), source = QString::fromLatin1(c.source);
        EXPECT_DOUBLE_EQ(common::RegisterUnitFactor(target, source), c.factor) << c.target << " <- " << c.source;
        EXPECT_EQ(common::RegisterUnitsConvertible(target, source), c.convertible) << c.target << " <- " << c.source;
    }
}

TEST(NeutraliseApostrophes, FirstRemovedOthersBlank)
{
    EXPECT_EQ(maintenance::NeutraliseApostrophes(QStringLiteral("'Alfa d'agua'")), QStringLiteral("Alfa d agua "));
    EXPECT_EQ(maintenance::NeutraliseApostrophes(QStringLiteral("Sem apostrofo")), QStringLiteral("Sem apostrofo"));
}

// ---- set-based against row by row

struct OperationRun {
    const char *name;
    std::function<std::pair<int, int>(Pharmacy &)> reference;
    std::function<std::pair<int, int>(Pharmacy &)> setBased;
};

TEST(SameResultAsRowByRow, EveryOperationOnThePharmacy)
{
    const std::vector<OperationRun> runs = {
        {"ImportProductLots", [](Pharmacy &p) { return std::pair{rowbyrow::ImportProductLots(p.dm, p.clock), -1}; },
         [](Pharmacy &p) { return std::pair{maintenance::ImportProductLots(p.ctx).first, -1}; }},
        {"BringProductData", [](Pharmacy &p) { return rowbyrow::BringProductData(p.dm); },
         [](Pharmacy &p) {
             const auto c = maintenance::BringProductData(p.ctx);
             return std::pair{c.first, c.second};
         }},
        {"ImportPurchaseLots", [](Pharmacy &p) { return std::pair{rowbyrow::ImportPurchaseLots(p.dm), -1}; },
         [](Pharmacy &p) { return std::pair{maintenance::ImportPurchaseLots(p.ctx).first, -1}; }},
        {"ControlledMark",
         [](Pharmacy &p) {
             p.openGrid();
             rowbyrow::ControlledMark(p.dm);
             return std::pair{-1, -1};
         },
         [](Pharmacy &p) {
             p.openGrid();
             maintenance::ImportarindicaodeCONTROLADA(p.ctx);
             return std::pair{-1, -1};
         }},
        {"CorrectUnits", [](Pharmacy &p) { return std::pair{rowbyrow::CorrectUnits(p.dm), -1}; },
         [](Pharmacy &p) { return std::pair{maintenance::CorrectUnits(p.ctx).first, -1}; }},
    };
    for (const OperationRun &r : runs) {
        SCOPED_TRACE(r.name);
        Pharmacy reference, setBased;
        const QStringList before = setBased.table();
        const auto expected = r.reference(reference);
        const auto got = r.setBased(setBased);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(setBased.table(), reference.table());
        EXPECT_NE(setBased.table(), before);
        EXPECT_EQ(setBased.dm.ESTLOTE.commandText(), reference.dm.ESTLOTE.commandText());
        EXPECT_EQ(setBased.dm.ESTLOTE.rowCount(), reference.dm.ESTLOTE.rowCount());
        // Run again on what the first run left: both find everything in place.
        EXPECT_EQ(r.setBased(setBased), r.reference(reference));
        EXPECT_EQ(setBased.table(), reference.table());
    }
}

// ---- ImportProductLots

TEST(ImportProductLots, CreatesMissingLotsOnceWithTheRulesOfNewLots)
{
    Pharmacy p;
    p.op.clear();
    const auto counts = maintenance::ImportProductLots(p.ctx);
    // Benzocaina (no lot, no supplier), Dipirona, Extrato Seco (its lot is in another store),
    // Glicerina, Hidroquinona, Iodo; Acido, Ferro and Jaborandi exist, Cafeina only in quality control.
    EXPECT_EQ(counts.first, 6);
    EXPECT_EQ(p.op.texts(), QStringList{maintenance::FromProductsMessage(6)});
    EXPECT_EQ(p.op.texts().value(0),
              QStringLiteral("Pronto. 6 registros foram incluídos na tabela de Lotes a partir da tabela de Componentes"));
    EXPECT_EQ(p.view.calls, (QStringList{"hide BitBtn3", "gauge 10", "hide gauge", "repaint", "show BitBtn3"}));
    EXPECT_EQ(p.view.gaugePosition, 10);
    EXPECT_FALSE(p.dm.BatchInsertMode);
    EXPECT_EQ(p.dm.ESTLOTE.commandText(), QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE"));
    EXPECT_EQ(p.dm.ESTLOTE.rowCount(), 16);

    const db::Rows b = p.lot(QStringLiteral("Benzocaina"), QStringLiteral("-"),
                             QStringLiteral("FORNECEDOR, SALDOPREVISTO, SALDOCORRENTE, SITUACAO, VALIDADE, LABORATORIO, "
                                            "UNIDADE, CONTROLADA, CODIGOEAN, FABRICANTE, CODIGO"));
    ASSERT_EQ(b.rows.size(), 1u);
    EXPECT_EQ(text(b, "FORNECEDOR"), "-");
    EXPECT_EQ(text(b, "SALDOPREVISTO"), "1000000");
    EXPECT_EQ(text(b, "SALDOCORRENTE"), "1000000");
    EXPECT_EQ(text(b, "SITUACAO"), "Estoque");
    EXPECT_EQ(text(b, "VALIDADE"), "07/03/2026");   // 730 days after 07/03/2024
    EXPECT_EQ(text(b, "LABORATORIO"), "Manipulação");
    EXPECT_EQ(text(b, "UNIDADE"), "G");
    EXPECT_EQ(text(b, "CONTROLADA"), "sim");
    EXPECT_EQ(text(b, "CODIGOEAN"), "<null>");     // MP: no bar code
    EXPECT_EQ(text(b, "FABRICANTE"), "Fab B");
    EXPECT_EQ(text(p.lot(QStringLiteral("Dipirona"), QStringLiteral("L4"), QStringLiteral("CODIGOEAN")), "CODIGOEAN"), "004");
    EXPECT_TRUE(p.lot(QStringLiteral("Cafeina"), QStringLiteral("L3"), QStringLiteral("LABORATORIO")).rows.size() == 1);

    p.op.clear();
    EXPECT_EQ(maintenance::ImportProductLots(p.ctx).first, 0);
    EXPECT_EQ(p.op.texts(), QStringList{maintenance::FromProductsMessage(0)});
}

TEST(ImportProductLots, ApostrophesFindTheRealLotAndNewLotsKeepTheNeutralisedName)
{
    Pharmacy p(false);
    addProduct(p.tdb.conn(), {"020", "Oleo d'oliva", "MP", "L", "Não", "Fab O", "Forn O'Brien", "O1", "1", "1", nullptr});
    addProduct(p.tdb.conn(), {"021", "'Alfa d'agua", "MP", "L", "Não", "Fab O", nullptr, "A'1", "1", "1", nullptr});
    addLot(p.tdb.conn(), {"Oleo d'oliva", "O1", "Forn O'Brien", "020", "4", "L", nullptr, "1", "1", "Loja 1", "Não"});
    EXPECT_EQ(maintenance::ImportProductLots(p.ctx).first, 1);
    EXPECT_EQ(p.lot(QStringLiteral("Oleo d'oliva"), QStringLiteral("O1"), QStringLiteral("SALDOCORRENTE")).rows.size(), 1u);
    EXPECT_TRUE(p.lot(QStringLiteral("Oleo d oliva"), QStringLiteral("O1"), QStringLiteral("LOTE")).isEmpty());
    const db::Rows a = p.lot(QStringLiteral("Alfa d agua"), QStringLiteral("A 1"), QStringLiteral("FORNECEDOR"));
    ASSERT_EQ(a.rows.size(), 1u);
    EXPECT_EQ(text(a, "FORNECEDOR"), "-");
    // The next run finds the lot it made under the neutralised name.
    EXPECT_EQ(maintenance::ImportProductLots(p.ctx).first, 0);
}

TEST(ImportProductLots, LotsOnlyInTheSharedLocationsCountAsPresent)
{
    Pharmacy p(false);
    addProduct(p.tdb.conn(), {"070", "Lavanda", "MP", "ML", "Não", "Fab L", "Forn L", "LV1", "1", "1", nullptr});
    addProduct(p.tdb.conn(), {"071", "Louro", "MP", "G", "Não", "Fab L", "Forn L", "LO1", "1", "1", nullptr});
    addProduct(p.tdb.conn(), {"072", "Lupulo", "MP", "G", "Não", "Fab L", "Forn L", "LU1", "1", "1", nullptr});
    addLot(p.tdb.conn(), {"Lavanda", "LV1", "Forn L", "070", "1", "ML", nullptr, "1", "1", "EmTransito", "Não"});
    addLot(p.tdb.conn(), {"Louro", "LO1", "Forn L", "071", "1", "G", nullptr, "1", "1", "Controle Qualidade", "Não"});
    addLot(p.tdb.conn(), {"Lupulo", "LU1", "Forn L", "072", "1", "G", nullptr, "1", "1", "TERCEIROS", "Não"});
    EXPECT_EQ(maintenance::ImportProductLots(p.ctx).first, 1);   // only the lot held by third parties
    EXPECT_EQ(p.lot(QStringLiteral("Lupulo"), QStringLiteral("LU1"), QStringLiteral("LOTE")).rows.size(), 2u);
    EXPECT_EQ(p.table().size(), 4);
}

TEST(ImportProductLots, EmptyLaboratoryScopeStopsAtOnceWithOneMessage)
{
    Pharmacy p;
    p.run.StoreLaboratories.clear();
    p.run.LabScopeClause.clear();
    p.op.clear();
    const QStringList before = p.table();
    EXPECT_EQ(maintenance::ImportProductLots(p.ctx).first, -1);
    ASSERT_EQ(p.op.messages().size(), 1);
    EXPECT_TRUE(p.op.texts().value(0).startsWith(QStringLiteral("ERRO: \rselect DESCRICAO, LOTE")));
    EXPECT_FALSE(p.dm.BatchInsertMode);
    EXPECT_FALSE(p.view.gaugeVisible);
    EXPECT_TRUE(p.view.editButtonVisible);
    EXPECT_EQ(p.table(), before);
}

TEST(ImportProductLots, AKeyThatExistsUnderAnotherNameIsNotInsertedAgain)
{
    Pharmacy p(false);
    addProduct(p.tdb.conn(), {"030", "Zinco Quelato", "MP", "G", "Não", "Fab Z", "Forn Z", "Z1", "1", "1", nullptr});
    addLot(p.tdb.conn(), {"Zinco (antigo)", "Z1", "Forn Z", "030", "8", "G", nullptr, "1", "1", "Manipulação", "Não"});
    p.op.clear();
    EXPECT_EQ(maintenance::ImportProductLots(p.ctx).first, 0);
    ASSERT_EQ(p.op.messages().size(), 2);
    EXPECT_EQ(p.op.texts().value(0), maintenance::FromProductsMessage(0));
    EXPECT_EQ(p.op.messages().value(1).kind, MessageKind::Warn);
    EXPECT_TRUE(p.op.texts().value(1).contains(QStringLiteral("Zinco Quelato - Lote Z1 - Forn Z: já existe um lote")));
    EXPECT_EQ(p.table().size(), 1);
}

// An import decides from the lots it read at its start; another workstation may create one of
// its new lots before it writes. Each new lot is checked again with its product and its rows
// locked, so the lot is not given a second row at the laboratory.
TEST(ImportProductLots, ALotAnotherWorkstationCreatedMeanwhileIsNotInsertedAgain)
{
    Pharmacy p(false);
    addProduct(p.tdb.conn(), {"030", "Zinco Quelato", "MP", "G", "Não", "Fab Z", "Forn Z", "Z1", "1", "1", nullptr});
    addProduct(p.tdb.conn(), {"031", "Zinco Citrato", "MP", "G", "Não", "Fab Z", "Forn Z", "Z2", "1", "1", nullptr});
    db::Transaction tx(p.dm.SQLConnection1);
    maintenance::LotStore lots(tx, p.run);
    for (const char *code : {"030", "031"}) {
        maintenance::LotValues v;
        v[maintenance::DESCRICAO] = t(code[2] == '0' ? "Zinco Quelato" : "Zinco Citrato");
        v[maintenance::LOTE] = t(code[2] == '0' ? "Z1" : "Z2");
        v[maintenance::FORNECEDOR] = t("Forn Z");
        v[maintenance::CODIGO] = t(code);
        ASSERT_GE(lots.insert(v), 0);
    }
    // Another workstation's Z1, committed after the import read the lots.
    const std::unique_ptr<db::Connection> other = p.tdb.another();
    other->execute(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, SALDOCORRENTE) "
                                  "values ('Zinco Quelato', 'Z1', 'Forn Z', '030', 'Manipulação', 4)"));
    const maintenance::LotStore::Written w = lots.write(tx);
    tx.commit();
    ASSERT_EQ(w.refusals.size(), 1u);
    EXPECT_EQ(w.refusals[0].lote, QStringLiteral("Z1"));
    EXPECT_TRUE(w.refusals[0].reason.startsWith(QStringLiteral("já existe um lote")));
    const db::Rows rows = p.tdb.conn().query(
        QStringLiteral("select LOTE, count(*) from ESTLOTE group by LOTE order by LOTE"));
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(rows.rows[0][1].toInt(), 1);   // Z1: the other workstation's row alone
    EXPECT_EQ(rows.rows[1][1].toInt(), 1);   // Z2: the import's
}

// ---- BringProductData

TEST(BringProductData, RegisterThenPurchasesSoTheLastPurchaseLineWins)
{
    Pharmacy p;
    p.op.clear();
    const auto counts = maintenance::BringProductData(p.ctx);
    EXPECT_EQ(counts.first, 6);
    EXPECT_EQ(counts.second, 3);
    EXPECT_EQ(p.op.texts(), (QStringList{maintenance::FromProductsMessage(6), maintenance::FromPurchasesMessage(3)}));
    EXPECT_EQ(p.view.captions, (QStringList{maintenance::kCaptionFromProducts, maintenance::kCaptionFromPurchases,
                                            maintenance::kCaptionPlain}));
    EXPECT_EQ(p.view.calls, (QStringList{"hide BitBtn3", "gauge 10", "caption", "caption", "gauge 8", "hide gauge",
                                         "repaint", "caption", "show BitBtn3"}));

    // In both sources: the last purchase line's values.
    const db::Rows a = p.tdb.conn().query(QStringLiteral(
        "select VALIDADE, DENSIDADE, FATORCORRECAO from ESTLOTE where DESCRICAO = 'Acido Ascorbico' and LABORATORIO = 'Manipulação'"));
    EXPECT_EQ(text(a, "VALIDADE"), "01/02/2026");
    EXPECT_EQ(text(a, "DENSIDADE"), "1.7");
    EXPECT_EQ(text(a, "FATORCORRECAO"), "1.3");
    // The register's lot is not in stock: the first lot of the product whose density is still 1, 0 or unset.
    EXPECT_EQ(text(p.lot(QStringLiteral("Glicerina"), QStringLiteral("G1"), QStringLiteral("DENSIDADE")), "DENSIDADE"), "0.9");
    const db::Rows g2 = p.lot(QStringLiteral("Glicerina"), QStringLiteral("G2"), QStringLiteral("DENSIDADE, VALIDADE"));
    EXPECT_EQ(text(g2, "DENSIDADE"), "1.26");
    EXPECT_EQ(text(g2, "VALIDADE"), "01/07/2025");
    // The other store's lot is never looked at.
    const db::Rows other = p.tdb.conn().query(QStringLiteral(
        "select DENSIDADE from ESTLOTE where DESCRICAO = 'Acido Ascorbico' and LABORATORIO = 'Outra'"));
    EXPECT_EQ(text(other, "DENSIDADE"), "1");
}

TEST(BringProductData, NullSourceValuesKeepTheLotsOwn)
{
    Pharmacy p(false);
    addProduct(p.tdb.conn(), {"040", "Menta", "MP", "G", "Não", "Fab M", "Forn M", "M1", nullptr, "0.8", nullptr});
    addLot(p.tdb.conn(), {"Menta", "M1", "Forn M", "040", "1", "G", "2024-12-31", "1", "1.05", "Manipulação", "Não"});
    EXPECT_EQ(maintenance::BringProductData(p.ctx).first, 1);
    const db::Rows m = p.lot(QStringLiteral("Menta"), QStringLiteral("M1"), QStringLiteral("VALIDADE, DENSIDADE, FATORCORRECAO"));
    EXPECT_EQ(text(m, "VALIDADE"), "31/12/2024");
    EXPECT_EQ(text(m, "DENSIDADE"), "0.8");
    EXPECT_EQ(text(m, "FATORCORRECAO"), "1.05");
}

TEST(BringProductData, APurchaseReadThatFailsLeavesTheRegistersValuesUnwrittenAndUntold)
{
    Pharmacy p;
    const QString acido = QStringLiteral(
        "select DENSIDADE, FATORCORRECAO from ESTLOTE where DESCRICAO = 'Acido Ascorbico' and LABORATORIO = 'Manipulação'");
    const db::Rows before = p.tdb.conn().query(acido);
    p.tdb.conn().execute(QStringLiteral("drop table COMPRAS"));
    p.op.clear();
    EXPECT_THROW(maintenance::BringProductData(p.ctx), db::DbError);
    EXPECT_EQ(p.op.texts(), QStringList());
    const db::Rows after = p.tdb.conn().query(acido);
    EXPECT_EQ(text(after, "DENSIDADE"), text(before, "DENSIDADE"));
    EXPECT_EQ(text(after, "FATORCORRECAO"), text(before, "FATORCORRECAO"));
    EXPECT_FALSE(p.view.gaugeVisible);
    EXPECT_TRUE(p.view.editButtonVisible);
}

TEST(BringProductData, AFailureRestoresTheWindowAndReachesTheErrorDisplay)
{
    Pharmacy p;
    p.run.LabScopeClause = QStringLiteral("(UPPER(LABORATORIO) = ");   // the server refuses the lookup
    EXPECT_THROW(maintenance::BringProductData(p.ctx), db::DbError);
    EXPECT_FALSE(p.view.gaugeVisible);
    EXPECT_TRUE(p.view.editButtonVisible);
}

// ---- ImportPurchaseLots

TEST(ImportPurchaseLots, ReplaysTheLinesInOrderConvertingToTheProductsUnit)
{
    Pharmacy p;
    p.op.clear();
    EXPECT_EQ(maintenance::ImportPurchaseLots(p.ctx).first, 7);
    EXPECT_EQ(p.op.texts(), QStringList{QStringLiteral(
                                "Pronto. 7 registros foram incluídos na tabela de Lotes a partir da tabela de Compras")});
    EXPECT_EQ(p.view.calls, (QStringList{"hide BitBtn3", "gauge 8", "hide gauge", "repaint", "show BitBtn3"}));

    const QString cols = QStringLiteral("SALDOPREVISTO, SALDOCORRENTE, UNIDADE, CONTROLADA, CODIGOEAN, LABORATORIO, SITUACAO");
    const db::Rows acido = p.tdb.conn().query(QStringLiteral(
        "select SALDOCORRENTE from ESTLOTE where DESCRICAO = 'Acido Ascorbico' and LABORATORIO = 'Manipulação'"));
    EXPECT_EQ(text(acido, "SALDOCORRENTE"), "20");   // replaced by the last line, not added
    const db::Rows hq = p.lot(QStringLiteral("Hidroquinona"), QStringLiteral("HQ5"), cols);
    EXPECT_EQ(text(hq, "SALDOPREVISTO"), "0.5");     // 500 G of a product kept in KG
    EXPECT_EQ(text(hq, "SALDOCORRENTE"), "0.5");
    EXPECT_EQ(text(hq, "UNIDADE"), "KG");
    EXPECT_EQ(text(hq, "CONTROLADA"), "Sim");
    EXPECT_EQ(text(hq, "CODIGOEAN"), "008");
    EXPECT_EQ(text(hq, "LABORATORIO"), "Manipulação");
    EXPECT_EQ(text(hq, "SITUACAO"), "<null>");
    const db::Rows iodo = p.lot(QStringLiteral("Iodo"), QStringLiteral("IO1"), cols);
    EXPECT_EQ(text(iodo, "SALDOCORRENTE"), "1000");   // 1 g into mg
    EXPECT_EQ(text(iodo, "UNIDADE"), "MG");
    const db::Rows nova = p.lot(QStringLiteral("Nova Mat"), QStringLiteral("N1"), cols);
    ASSERT_EQ(nova.rows.size(), 1u);
    EXPECT_EQ(text(nova, "SALDOCORRENTE"), "4");
    EXPECT_EQ(text(nova, "CONTROLADA"), "<null>");
    EXPECT_EQ(text(p.lot(QStringLiteral("Jaborandi"), QStringLiteral("J1"), cols), "SALDOCORRENTE"), "2.5");
}

TEST(ImportPurchaseLots, ALotWhoseUnitCannotBeConvertedIsListedWithWhatWasDone)
{
    Pharmacy p;
    addLot(p.tdb.conn(), {"Valeriana", "V1", "Forn V", "060", "100", "MG", nullptr, "1", "1", "Manipulação", "Não"});
    addPurchase(p.tdb.conn(), 50, {"Valeriana", "V1", "Forn V", "5", "ML", "060", "Fab V", nullptr, "1", "1"});
    p.op.clear();
    maintenance::ImportPurchaseLots(p.ctx);
    ASSERT_EQ(p.op.messages().size(), 2);
    EXPECT_TRUE(p.op.texts().value(1).contains(QStringLiteral(
        "Valeriana - Lote V1 - Forn V: unidade MG não convertida para ML; saldo e unidade substituídos pelos da compra")))
        << p.op.texts().value(1).toStdString();
    const db::Rows v = p.lot(QStringLiteral("Valeriana"), QStringLiteral("V1"), QStringLiteral("SALDOCORRENTE, UNIDADE"));
    EXPECT_EQ(text(v, "SALDOCORRENTE"), "5");
    EXPECT_EQ(text(v, "UNIDADE"), "ML");
}

TEST(ImportPurchaseLots, QuantitiesAreConvertedExactlyAndOneNoBalanceHoldsIsRefused)
{
    struct Case {
        const char *product, *productUnit, *quantity, *lineUnit, *balance;   // balance nullptr: refused
    };
    const Case cases[] = {
        {"Ácido Bórico", "G", "9999999999.99999", "g", "9999999999.99999"},
        {"Óleo de Rícino", "ML", "1234567.89012", "L", "1234567890.12"},
        {"Cânfora", "MG", "0.00001", "KG", "10"},
        {"Mentol", "KG", "0.00001", "MG", "0"},   // 0.00000000001 KG at the balances' eight decimals
        {"Timol", "G", "0.005", "MCG", "0.00000001"},   // half a hundred-millionth rounds up
        {"Cera Alba", "MG", "9999999999.99999", "KG", nullptr},
    };
    Pharmacy p(false);
    int number = 1;
    for (const Case &c : cases) {
        const QByteArray code = QByteArray::number(900 + number);
        addProduct(p.tdb.conn(), {code.constData(), c.product, "MP", c.productUnit, "Não", "Fab", "Forn X", "X1", "1", "1",
                                  nullptr});
        addPurchase(p.tdb.conn(), number++,
                    {c.product, "X1", "Forn X", c.quantity, c.lineUnit, code.constData(), "Fab", nullptr, "1", "1"});
    }
    // An existing lot is replaced exactly too, and left as it was when the quantity cannot be held.
    addLot(p.tdb.conn(), {"Cera Alba", "X2", "Forn X", "906", "7", "MG", nullptr, "1", "1", "Manipulação", "Não"});
    addPurchase(p.tdb.conn(), number++, {"Cera Alba", "X2", "Forn X", "9999999999.99999", "KG", "906", "Fab", nullptr,
                                         "1", "1"});
    addLot(p.tdb.conn(), {"Ácido Bórico", "X3", "Forn X", "901", "7", "G", nullptr, "1", "1", "Manipulação", "Não"});
    addPurchase(p.tdb.conn(), number++, {"Ácido Bórico", "X3", "Forn X", "9999999999.99999", "G", "901", "Fab", nullptr,
                                         "1", "1"});
    p.op.clear();
    EXPECT_EQ(maintenance::ImportPurchaseLots(p.ctx).first, 6);
    ASSERT_EQ(p.op.messages().size(), 2);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.product);
        const db::Rows lot = p.lot(QString::fromUtf8(c.product), QStringLiteral("X1"),
                                   QStringLiteral("SALDOPREVISTO, SALDOCORRENTE, UNIDADE"));
        if (!c.balance) {
            EXPECT_TRUE(lot.isEmpty());
            continue;
        }
        ASSERT_EQ(lot.rows.size(), 1u);
        EXPECT_EQ(text(lot, "SALDOPREVISTO"), c.balance);
        EXPECT_EQ(text(lot, "SALDOCORRENTE"), c.balance);
        EXPECT_EQ(text(lot, "UNIDADE"), c.productUnit);
    }
    const QString refused = p.op.texts().value(1);
    EXPECT_TRUE(refused.startsWith(QStringLiteral("2 registro(s) não foram gravados"))) << refused.toStdString();
    for (const char *lot : {"X1", "X2"})
        EXPECT_TRUE(refused.contains(QStringLiteral("Cera Alba - Lote %1 - Forn X: quantidade 9999999999.99999 grande "
                                                    "demais para o saldo do lote em MG")
                                         .arg(QLatin1String(lot))))
            << refused.toStdString();
    EXPECT_EQ(text(p.lot(QStringLiteral("Cera Alba"), QStringLiteral("X2"), QStringLiteral("SALDOCORRENTE")),
                   "SALDOCORRENTE"),
              "7");
    EXPECT_EQ(text(p.lot(QStringLiteral("Ácido Bórico"), QStringLiteral("X3"), QStringLiteral("SALDOCORRENTE")),
                   "SALDOCORRENTE"),
              "9999999999.99999");
}

TEST(ImportPurchaseLots, RefusedRowsAreSummarisedNotCountedAndOddLinesKeepWhatTheyCannotSay)
{
    Pharmacy p(false);
    addProduct(p.tdb.conn(), {"050", "Kava", "MP", "KG", "Não", "Fab K", "Forn K", "K1", "1", "1", nullptr});
    addLot(p.tdb.conn(), {"Salvia", "S1", "Forn S", "051", "6", "G", nullptr, "1", "1", "Manipulação", "Não"});
    int number = 1;
    // A manufacturer longer than the lot table holds: the server refuses the new lot.
    addPurchase(p.tdb.conn(), number++, {"Tomilho", "T1", "Forn T", "2", "G", "052",
                                          "Fabricante de nome comprido para lote", nullptr, "1", "1"});
    // MCG cannot be expressed in KG: the lot keeps the line's own unit and quantity.
    addPurchase(p.tdb.conn(), number++, {"Kava", "K1", "Forn K", "300", "MCG", "050", "Fab K", nullptr, "1", "1"});
    // No quantity: the existing lot keeps its balance.
    addPurchase(p.tdb.conn(), number++, {"Salvia", "S1", "Forn S", nullptr, "KG", "051", "Fab S", nullptr, "1", "1"});
    p.op.clear();
    EXPECT_EQ(maintenance::ImportPurchaseLots(p.ctx).first, 2);
    ASSERT_EQ(p.op.messages().size(), 2);
    EXPECT_EQ(p.op.texts().value(0), maintenance::FromPurchasesMessage(2));
    EXPECT_TRUE(p.op.texts().value(1).startsWith(QStringLiteral("1 registro(s) não foram gravados")));
    EXPECT_TRUE(p.op.texts().value(1).contains(QStringLiteral("\r  Tomilho - Lote T1 - Forn T: ")));
    EXPECT_TRUE(p.lot(QStringLiteral("Tomilho"), QStringLiteral("T1"), QStringLiteral("LOTE")).isEmpty());
    const db::Rows kava = p.lot(QStringLiteral("Kava"), QStringLiteral("K1"), QStringLiteral("SALDOCORRENTE, UNIDADE"));
    EXPECT_EQ(text(kava, "SALDOCORRENTE"), "300");
    EXPECT_EQ(text(kava, "UNIDADE"), "MCG");
    const db::Rows salvia = p.lot(QStringLiteral("Salvia"), QStringLiteral("S1"), QStringLiteral("SALDOCORRENTE, UNIDADE"));
    EXPECT_EQ(text(salvia, "SALDOCORRENTE"), "6");
    EXPECT_EQ(text(salvia, "UNIDADE"), "G");
    EXPECT_FALSE(p.view.gaugeVisible);
    EXPECT_TRUE(p.view.editButtonVisible);
}

// ---- Corrections

TEST(ControlledMark, OnlyTheGridsLotsOfControlledProductsBecomeSim)
{
    Pharmacy p;
    p.openGrid();
    p.op.clear();
    maintenance::ImportarindicaodeCONTROLADA(p.ctx);
    EXPECT_TRUE(p.op.messages().isEmpty());
    EXPECT_TRUE(p.view.calls.isEmpty());
    const auto controlled = [&](const char *name, const char *lote) {
        return text(p.lot(QString::fromUtf8(name), QString::fromLatin1(lote), QStringLiteral("CONTROLADA")), "CONTROLADA");
    };
    EXPECT_EQ(controlled("Benzocaina", "B9"), "Sim");   // product says "sim"
    EXPECT_EQ(controlled("Cafeina", "L3"), "Sim");      // in quality control, in the view
    EXPECT_EQ(controlled("Iodo", "I9"), "Não");         // product not controlled: kept, never "Não" written
    EXPECT_EQ(controlled("Extrato Seco", "L5"), "<null>");   // other store: outside the view
    EXPECT_TRUE(p.dm.ESTLOTE.eof());
    EXPECT_EQ(p.dm.ESTLOTE.rowCount(), 8);
}

TEST(CorrectUnits, ConvertsToTheProductsUnitAndLeavesUnconvertibleLots)
{
    Pharmacy p;
    addProduct(p.tdb.conn(), {"060", "Valeriana", "MP", "KG", "Não", "Fab V", "Forn V", "V1", "1", "1", nullptr});
    addLot(p.tdb.conn(), {"Valeriana", "V1", "Forn V", "060", "70", "MCG", nullptr, "1", "1", "Manipulação", "Não"});
    addPurchase(p.tdb.conn(), 50, {"Valeriana", "V1", "Forn V", "1", "KG", "060", "Fab V", nullptr, "1", "1"});
    p.op.clear();
    EXPECT_EQ(maintenance::CorrectUnits(p.ctx).first, 3);
    ASSERT_EQ(p.op.messages().size(), 2);
    EXPECT_EQ(p.op.texts().value(0), maintenance::FromPurchasesMessage(3));
    EXPECT_TRUE(p.op.texts().value(1).contains(QStringLiteral("Valeriana - Lote V1 - Forn V: unidade MCG não convertida para KG")));
    const db::Rows j = p.lot(QStringLiteral("Jaborandi"), QStringLiteral("J1"), QStringLiteral("SALDOPREVISTO, SALDOCORRENTE, UNIDADE"));
    EXPECT_EQ(text(j, "SALDOPREVISTO"), "2.5");
    EXPECT_EQ(text(j, "SALDOCORRENTE"), "2.5");
    EXPECT_EQ(text(j, "UNIDADE"), "KG");
    const db::Rows v = p.lot(QStringLiteral("Valeriana"), QStringLiteral("V1"), QStringLiteral("SALDOCORRENTE, UNIDADE"));
    EXPECT_EQ(text(v, "SALDOCORRENTE"), "70");
    EXPECT_EQ(text(v, "UNIDADE"), "MCG");
    EXPECT_EQ(p.dm.ESTLOTE.commandText(), maintenance::UnitCorrectionGridStatement(QStringLiteral("Manipulação")));
    EXPECT_TRUE(p.dm.ESTLOTE.commandText().contains(QStringLiteral("(UPPER(LABORATORIO) = 'MANIPULAçãO' or")));
    EXPECT_EQ(p.view.calls, (QStringList{"hide BitBtn3", "gauge 9", "hide gauge", "repaint", "show BitBtn3"}));
}

TEST(Deletions, ZeroBalancesEverywhereAndInactiveProductsWithTheirOwnTexts)
{
    Pharmacy p;
    p.openGrid();
    const int shown = p.dm.ESTLOTE.rowCount();
    p.op.clear();
    maintenance::DeleteZeroBalanceLots(p.ctx);
    EXPECT_EQ(p.op.texts(), QStringList{QStringLiteral("Procedimento concluído com sucesso!.")});
    EXPECT_TRUE(p.lot(QStringLiteral("Ferro Quelato"), QStringLiteral("L6"), QStringLiteral("LOTE")).isEmpty());
    EXPECT_EQ(p.lot(QStringLiteral("Benzocaina"), QStringLiteral("B9"), QStringLiteral("LOTE")).rows.size(), 1u);   // 0.5
    EXPECT_EQ(p.lot(QStringLiteral("Iodo"), QStringLiteral("I9"), QStringLiteral("LOTE")).rows.size(), 1u);         // -2
    EXPECT_EQ(p.dm.ESTLOTE.rowCount(), shown);   // the grid is not refreshed

    addLot(p.tdb.conn(), {"Ferro Quelato", "L7", "Forn F", "006", "4", "G", nullptr, "1", "1", "Outra", "Não"});
    p.op.clear();
    maintenance::DeleteInactiveProductLots(p.ctx);
    EXPECT_EQ(p.op.texts(), QStringList{QStringLiteral("Procedimento concluído com sucesso!")});
    EXPECT_TRUE(p.tdb.conn().query(QStringLiteral("select LOTE from ESTLOTE where CODIGO = '006'")).isEmpty());
    EXPECT_EQ(p.table().size(), 9);

    p.connections.SQLConnection1.configure(db::Target{QStringLiteral("/nonexistent/x.fdb"), true, true});
    p.op.clear();
    maintenance::DeleteZeroBalanceLots(p.ctx);
    maintenance::DeleteInactiveProductLots(p.ctx);
    EXPECT_EQ(p.op.texts(), (QStringList{maintenance::kDoneFailure, maintenance::kDoneFailure}));
}

} // namespace
