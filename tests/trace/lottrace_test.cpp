// The lot trace and the order trace on a central database with known purchases, locations and
// movements: lines, totals and difference byte for byte in the CSV file, units converted, names
// with apostrophes, a lot without movements, and the lots an order took.
#include "trace/lottrace.h"

#include "db/connection.h"
#include "common/csvexport.h"
#include "platform/cp1252.h"
#include "platform/winpath.h"
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString kProduct = QStringLiteral("ÁCIDO ASCÓRBICO");
const QString kOil = QStringLiteral("OLEO D'OLIVA");
const QString kOilSupplier = QStringLiteral("D'ÁVILA; CIA");
const QString kFluox = QStringLiteral("CLORIDRATO DE FLUOXETINA");

class TraceDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto &c = m_db.conn();
        auto purchase = [&](int key, const char *date, const char *nf, const QString &product, const char *lot,
                            const QString &supplier, const char *qty, const char *unit) {
            c.execute(QStringLiteral("insert into COMPRAS (ESTACAO, CODCOMPRA, DATA, NOTAFISCAL, FORNECEDOR, COMPONENTE, "
                                     "LOTE, QUANTIDADE, UNIDADE) values ('01', ?, ?, ?, ?, ?, ?, ?, ?)"),
                      {db::Value::integer(key), db::Value::text(QLatin1String(date)), db::Value::text(QLatin1String(nf)),
                       db::Value::text(supplier), db::Value::text(product), db::Value::text(QLatin1String(lot)),
                       db::Value::text(QLatin1String(qty)), db::Value::text(QLatin1String(unit))});
        };
        auto location = [&](const char *code, const QString &product, const char *lot, const QString &supplier,
                            const char *place, const char *balance) {
            c.execute(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, "
                                     "SALDOCORRENTE, UNIDADE) values (?, ?, ?, ?, ?, ?, 'g')"),
                      {db::Value::text(QLatin1String(code)), db::Value::text(product), db::Value::text(QLatin1String(lot)),
                       db::Value::text(supplier), db::Value::text(QLatin1String(place)),
                       db::Value::text(QLatin1String(balance))});
        };
        // key, date, workstation, order, formula, loss, test, purchase, invoice, product, lot, supplier, qty, unit
        int key = 0;
        auto move = [&](const char *date, const char *st, const char *order, const char *formula, const char *loss,
                        const char *test, const char *buy, const char *nf, const QString &product, const char *lot,
                        const QString &supplier, const char *qty, const char *unit) {
            auto opt = [](const char *v) { return v ? db::Value::text(QLatin1String(v)) : db::Value(); };
            c.execute(QStringLiteral("insert into MOVEST (CODMOVEST, DATA, ESTACAO, NPEDIDO, NFORMULA, CODPERDA, CODIGOCQ, "
                                     "CODCOMPRA, NNOTAFISCAL, DESCRICAO, LOTE, FORNECEDOR, QUANTIDADE, UNIDADE, "
                                     "LABORATORIO) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                      {db::Value::integer(++key), db::Value::text(QLatin1String(date)), opt(st), opt(order), opt(formula),
                       opt(loss), opt(test), opt(buy), opt(nf), db::Value::text(product),
                       db::Value::text(QLatin1String(lot)), db::Value::text(supplier),
                       db::Value::text(QLatin1String(qty)), db::Value::text(QLatin1String(unit)),
                       db::Value::text(QLatin1String(buy ? "LOJA" : "LAB"))});
        };
        auto order = [&](const char *st, int n, const char *date, const QString &type = QStringLiteral("Pedido")) {
            c.execute(QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) values (?, ?, ?, ?)"),
                      {db::Value::text(QLatin1String(st)), db::Value::integer(n), db::Value::text(type),
                       db::Value::text(QLatin1String(date))});
        };
        auto line = [&](const char *st, int n, int formula, const QString &product, const char *lot,
                        const QString &supplier, const char *qty, const char *unit = "g") {
            c.execute(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, COMPONENTE, QDEESTOQUE, UNID, "
                                     "LOTE, GRUPO, FORNECEDOR) values (?, ?, ?, ?, ?, ?, ?, 'MP', ?)"),
                      {db::Value::text(QLatin1String(st)), db::Value::integer(n), db::Value::integer(formula),
                       db::Value::text(product), db::Value::text(QLatin1String(qty)), db::Value::text(QLatin1String(unit)),
                       db::Value::text(QLatin1String(lot)), db::Value::text(supplier)});
        };
        const QString a = QStringLiteral("Fornecedor A"), b = QStringLiteral("Fornecedor B");
        const QString aUpper = QStringLiteral("FORNECEDOR A");
        purchase(1, "2024-01-10", "123", kProduct, "L1", a, "1000", "g");
        purchase(2, "2024-02-01", "124", kProduct, "L1", a, "500000", "mg");   // 500 g
        purchase(3, "2024-02-01", "999", kProduct, "L1", b, "50", "g");        // another supplier's lot L1
        location("100", kProduct, "L1", a, "LOJA", "1400");
        location("100", kProduct, "L1", a, "LAB", "50");
        location("100", kProduct, "L1", b, "LOJA", "50");
        // Entered out of date order: the trace sorts them.
        move("2024-02-06", "02", "200", "1", nullptr, nullptr, nullptr, nullptr, QStringLiteral("acido ascorbico"), "L1", a,
             "5000", "MG");   // named as the order lines fold it
        move("2024-01-10", "01", nullptr, nullptr, nullptr, nullptr, "1", "123", kProduct, "L1", a, "1000", "g");
        move("2024-02-05", "01", "100", "1", nullptr, nullptr, nullptr, nullptr, kProduct, "L1", aUpper, "10", "g");
        move("2024-02-06", "01", "100", "2", nullptr, nullptr, nullptr, nullptr, kProduct, "L1", a, "2", "g");
        move("2024-02-10", "01", nullptr, nullptr, "P1", nullptr, nullptr, nullptr, kProduct, "L1", a, "20", "g");
        move("2024-02-11", "01", nullptr, nullptr, nullptr, "7", nullptr, nullptr, kProduct, "L1", a, "3", "g");
        move("2024-02-12", "01", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, kProduct, "L1", a, "1", "g");
        move("2024-02-12", "01", "300", "1", nullptr, nullptr, nullptr, nullptr, kProduct, "L1", b, "100", "g");
        move("2024-02-12", "01", "300", "1", nullptr, nullptr, nullptr, nullptr, QStringLiteral("LACTOSE"), "L1", a,
             "100", "g");
        order("01", 100, "2024-02-05");
        order("02", 200, "2024-02-06");
        line("01", 100, 1, kProduct, "L1", a, "10");
        line("01", 100, 2, kProduct, "L1", a, "2");
        line("01", 100, 3, QStringLiteral("LACTOSE"), "LX", a, "50");   // never deducted

        purchase(4, "2024-03-01", "555", kOil, "X'1", kOilSupplier, "2", "kg");
        location("200", kOil, "X'1", kOilSupplier, "LOJA", "1500");
        move("2024-03-02", "01", "400", "1", nullptr, nullptr, nullptr, nullptr, kOil, "X'1", kOilSupplier, "500", "g");
        order("01", 400, "2024-03-02");

        location("300", QStringLiteral("TALCO"), "T9", a, "LOJA", "5");

        // The same component twice in one formula, deducted once: the movement belongs to the line
        // of its quantity.
        order("01", 500, "2024-03-03");
        line("01", 500, 1, kProduct, "L5", a, "4");
        line("01", 500, 1, kProduct, "L5", a, "6");
        move("2024-03-03", "01", "500", "1", nullptr, nullptr, nullptr, nullptr, QStringLiteral("acido ascorbico"), "L5",
             aUpper, "6", "g");

        // A controlled lot as a pharmacy's data has it: the supplier stored with accents and moved in
        // capitals, a movement in MG against a line in G, a line in MCG never deducted, a quotation,
        // a unit with no conversion, more used than bought (the balance zeroed at start-up).
        const QString avila = QStringLiteral("Química Ávila"), avilaUpper = QStringLiteral("QUÍMICA ÁVILA");
        c.execute(QStringLiteral("insert into COMPRAS (ESTACAO, CODCOMPRA, DATA, NOTAFISCAL, FORNECEDOR, COMPONENTE, "
                                 "LOTE, QUANTIDADE, UNIDADE) values ('01', 7, '2024-04-01', '700', ?, ?, 'L7', 10, 'G')"),
                  {db::Value::text(avilaUpper), db::Value::text(kFluox)});
        c.execute(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, "
                                 "UNIDADE, CONTROLADA, SITUACAO) values ('700', ?, 'L7', ?, 'LAB', 0, 'g', 'S', 'Liberado')"),
                  {db::Value::text(kFluox), db::Value::text(avila)});
        order("01", 700, "2024-04-02");
        line("01", 700, 1, QStringLiteral("cloridrato de fluoxetina"), "L7", QStringLiteral("Quimica Avila"), "8");
        move("2024-04-02", "01", "700", "1", nullptr, nullptr, nullptr, nullptr, kFluox, "L7", avilaUpper, "8", "g");
        order("01", 701, "2024-04-03");
        line("01", 701, 1, kFluox, "L7", avila, "5", "G");
        move("2024-04-03", "01", "701", "1", nullptr, nullptr, nullptr, nullptr, kFluox, "L7", avila, "5000", "mg");
        order("01", 702, "2024-04-04");
        line("01", 702, 1, kFluox, "L7", avila, "250", "MCG");
        move("2024-04-04", "01", nullptr, nullptr, "P7", nullptr, nullptr, nullptr, kFluox, "L7", avila, "250", "mcg");
        move("2024-04-05", "01", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, kFluox, "L7", avila, "1", "CX");
        order("01", 703, "2024-04-05", QStringLiteral("Orçamento"));
        line("01", 703, 1, kFluox, "L7", avila, "1");
    }

    testsupport::TempDatabase m_db;
};

const trace::LotKey kL1{QStringLiteral("100"), kProduct, QStringLiteral("L1"), QStringLiteral("Fornecedor A"),
                        QStringLiteral("g")};

TEST_F(TraceDatabase, LotHistoryWrittenByteForByte)
{
    const uint64_t before = db::statementsIssued();
    const trace::LotTrace t = trace::ReadLotTrace(m_db.conn(), kL1);
    EXPECT_LE(db::statementsIssued() - before, 5u);

    ASSERT_EQ(t.orders.size(), 2u);   // order 01.100 used twice, listed once
    EXPECT_EQ(t.orders[0].name(), QStringLiteral("01.100"));
    EXPECT_EQ(t.orders[0].data, QDate(2024, 2, 5));
    EXPECT_EQ(t.orders[0].tipo, QStringLiteral("Pedido"));
    EXPECT_EQ(t.orders[1].name(), QStringLiteral("02.200"));
    EXPECT_EQ(t.orders[1].state(), trace::OrderState::MovementWithoutLine);
    EXPECT_TRUE(t.otherOrders.empty());
    EXPECT_EQ(t.explanation(),
              QStringLiteral("Os locais têm 9,00000 g a menos do que o comprado menos o movimentado: houve saída deste "
                             "lote sem movimento registrado, ou o saldo foi ajustado à mão."));

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("c/FORMULIX"));
    const platform::WinPaths paths = platform::WinPaths::parse(QStringLiteral("C: = c\n"), dir.path());
    const QString target = trace::LotTracePath(QDate(2024, 3, 5), QStringLiteral("L1"));
    EXPECT_EQ(target, QStringLiteral("C:\\FORMULIX\\RASTRO24.03.05_L1.CSV"));
    exports::WriteCsvFile(paths, target, trace::LotTraceLines(t));
    QFile file(dir.filePath(QStringLiteral("c/FORMULIX/RASTRO24.03.05_L1.CSV")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString p = QStringLiteral("ÁCIDO ASCÓRBICO;L1;Fornecedor A;");
    const QStringList expected{
        trace::kLotTraceHeader,
        p + "Nota fiscal;10/01/2024;;;;123;;1000;g;1000,00000;",
        p + "Nota fiscal;01/02/2024;;;;124;;500000;mg;500,00000;",
        p + "Saldo no local;;;;;;LAB;50;g;50,00000;",
        p + "Saldo no local;;;;;;LOJA;1400;g;1400,00000;",
        p + "Compra;10/01/2024;01;;;123;LOJA;1000;g;1000,00000;",
        p + "Pedido;05/02/2024;01;100;1;;LAB;10;g;10,00000;",
        p + "Pedido;06/02/2024;02;200;1;;LAB;5000;MG;5,00000;",
        p + "Pedido;06/02/2024;01;100;2;;LAB;2;g;2,00000;",
        p + "Perda;10/02/2024;01;;;;LAB;20;g;20,00000;",
        p + "Controle de qualidade;11/02/2024;01;;;;LAB;3;g;3,00000;",
        p + "Outro;12/02/2024;01;;;;LAB;1;g;1,00000;",
        p + "Pedido dispensado;05/02/2024;01;100;1;;;10;g;10,00000;Baixado",
        p + "Pedido dispensado;05/02/2024;01;100;2;;;2;g;2,00000;Baixado",
        p + "Pedido dispensado;06/02/2024;02;200;1;;;5000;MG;5,00000;Movimento sem linha no pedido",
        p + "Total comprado;;;;;;;;g;1500,00000;",
        p + "Total movimentado;;;;;;;;g;41,00000;",
        p + "Saldo nos locais;;;;;;;;g;1450,00000;",
        p + QStringLiteral("Diferença;;;;;;;;g;-9,00000;"),
        p + QStringLiteral("Causa;;;;;;;;;;Pedido 02.200, fórmula 1: movimento de 06/02/2024 sem linha no pedido "
                           "(5.000,00000 MG)."),
        p + QStringLiteral("Causa;;;;;;;;;;Transferências entre locais não geram movimento: a divisão do saldo entre "
                           "os locais não aparece nos movimentos."),
    };
    EXPECT_EQ(QString::fromLatin1(file.readAll()), QString::fromLatin1(platform::toCp1252(expected.join("\r\n") + "\r\n")));
    // A second export of the lot that day gets a name of its own.
    EXPECT_EQ(trace::FreeFilePath(paths, target), QStringLiteral("C:\\FORMULIX\\RASTRO24.03.05_L1 (2).CSV"));
    EXPECT_EQ(trace::FreeFilePath(paths, trace::LotTracePath(QDate(2024, 3, 5), QStringLiteral("A/B:1"))),
              QStringLiteral("C:\\FORMULIX\\RASTRO24.03.05_A_B_1.CSV"));

    // Either side gives the same answer: the order with only a movement of the lot lists it.
    const trace::OrderTrace o200 = trace::ReadOrderTrace(m_db.conn(), QStringLiteral("02"), 200);
    ASSERT_EQ(o200.components.size(), 1u);
    EXPECT_EQ(o200.lines(), 0);
    EXPECT_EQ(o200.components[0].lote, QStringLiteral("L1"));
    EXPECT_EQ(o200.components[0].state, trace::OrderState::MovementWithoutLine);
}

// Folded names, converted units, a line never deducted, a quotation apart, a unit without
// conversion and a controlled lot that went below zero: the panel's figures and the CSV.
TEST_F(TraceDatabase, ARecallListMissesNoOrderAndNamesTheBalancesCauses)
{
    const uint64_t before = db::statementsIssued();
    const trace::LotTrace t = trace::ReadLotTrace(
        m_db.conn(), {QStringLiteral("700"), kFluox, QStringLiteral("L7"), QStringLiteral("Química Ávila"),
                      QStringLiteral("g")});
    EXPECT_LE(db::statementsIssued() - before, 6u);
    EXPECT_TRUE(t.controlled);
    ASSERT_EQ(t.purchases.size(), 1u);   // bought from "QUÍMICA ÁVILA": one supplier
    ASSERT_EQ(t.orders.size(), 3u);
    EXPECT_EQ(t.orders[0].stateText(), QStringLiteral("Baixado"));   // line "Quimica Avila", movement in capitals
    EXPECT_EQ(t.orders[1].stateText(), QStringLiteral("Baixado"));   // 5 G against 5000 mg
    EXPECT_EQ(t.orders[2].stateText(), QStringLiteral("Baixa não realizada"));
    ASSERT_EQ(t.otherOrders.size(), 1u);
    EXPECT_EQ(t.otherOrders[0].tipo, QStringLiteral("Orçamento"));
    EXPECT_DOUBLE_EQ(t.movedOut, 13.00025);   // 250 mcg is 0.00025 g; the box is left out

    const QString p = QStringLiteral("CLORIDRATO DE FLUOXETINA;L7;Química Ávila;");
    EXPECT_EQ(trace::LotTraceLines(t),
              (QStringList{
                  trace::kLotTraceHeader,
                  p + "Nota fiscal;01/04/2024;;;;700;;10;G;10,00000;",
                  p + "Saldo no local;;;;;;LAB;0;g;0,00000;Liberado",
                  p + "Pedido;02/04/2024;01;700;1;;LAB;8;g;8,00000;",
                  p + "Pedido;03/04/2024;01;701;1;;LAB;5000;mg;5,00000;",
                  p + "Perda;04/04/2024;01;;;;LAB;250;mcg;0,00025;",
                  p + "Outro;05/04/2024;01;;;;LAB;1;CX;;",
                  p + "Pedido dispensado;02/04/2024;01;700;1;;;8;g;8,00000;Baixado",
                  p + "Pedido dispensado;03/04/2024;01;701;1;;;5;G;5,00000;Baixado",
                  p + QStringLiteral("Pedido dispensado;04/04/2024;01;702;1;;;250;MCG;0,00025;Baixa não realizada"),
                  p + QStringLiteral("Outro tipo de pedido: Orçamento;05/04/2024;01;703;1;;;1;g;1,00000;"
                                     "Baixa não realizada"),
                  p + "Total comprado;;;;;;;;g;10,00000;",
                  p + "Total movimentado;;;;;;;;g;13,00025;",
                  p + "Saldo nos locais;;;;;;;;g;0,00000;",
                  p + QStringLiteral("Diferença;;;;;;;;g;3,00025;"),
                  p + QStringLiteral("Causa;;;;;;;;;;Unidade sem conversão para g: Outro 05/04/2024, 1,00000 CX fora "
                                     "das contas."),
                  p + QStringLiteral("Causa;;;;;;;;;;\"Substância controlada: saiu mais do que foi comprado. O saldo "
                                     "do lote ficou abaixo de zero (-3,00000 g) em 03/04/2024 com Pedido 01.701; a "
                                     "abertura do programa zera saldos negativos, então os locais não mostram a "
                                     "falta.\""),
                  p + QStringLiteral("Causa;;;;;;;;;;Pedido 01.702, fórmula 1: Baixa não realizada (250,00000 MCG)."),
              }));

    // The order trace names the lot for every order the lot trace lists.
    for (const trace::LotOrder &o : t.orders) {
        const trace::OrderTrace ot = trace::ReadOrderTrace(m_db.conn(), o.estacao, o.npedido.toInt());
        ASSERT_EQ(ot.components.size(), 1u) << o.name().toStdString();
        EXPECT_EQ(ot.components[0].lote, QStringLiteral("L7"));
        EXPECT_EQ(trace::StateText(ot.components[0].state), o.stateText());
    }
}

TEST_F(TraceDatabase, ApostrophesAndQuotingAndALotWithoutMovements)
{
    const trace::LotTrace oil = trace::ReadLotTrace(
        m_db.conn(), {QStringLiteral("200"), kOil, QStringLiteral("X'1"), kOilSupplier, QStringLiteral("g")});
    ASSERT_EQ(oil.purchases.size(), 1u);
    ASSERT_EQ(oil.movements.size(), 1u);
    EXPECT_EQ(oil.bought, 2000);   // 2 kg in grams
    EXPECT_EQ(oil.difference(), 0);
    EXPECT_EQ(oil.explanation(), QString());
    const QStringList lines = trace::LotTraceLines(oil);
    EXPECT_EQ(lines.at(1), QStringLiteral("OLEO D'OLIVA;X'1;\"D'ÁVILA; CIA\";Nota fiscal;01/03/2024;;;;555;;2;kg;2000,00000;"));
    EXPECT_EQ(lines.last(), QStringLiteral("OLEO D'OLIVA;X'1;\"D'ÁVILA; CIA\";Diferença;;;;;;;;g;0,00000;"));

    const trace::LotTrace talc = trace::ReadLotTrace(
        m_db.conn(), {QStringLiteral("300"), QStringLiteral("TALCO"), QStringLiteral("T9"), QStringLiteral("Fornecedor A"),
                      QStringLiteral("g")});
    EXPECT_TRUE(talc.purchases.empty());
    EXPECT_TRUE(talc.movements.empty());
    EXPECT_TRUE(talc.orders.empty());
    EXPECT_EQ(talc.held, 5);
    EXPECT_EQ(talc.difference(), 5);
    EXPECT_TRUE(talc.explanation().startsWith(QStringLiteral("Os locais têm 5,00000 g a mais ")));
}

TEST(LotTrace, UnitsAndKinds)
{
    struct Case { double q; const char *from, *to; std::optional<double> expected; };
    const Case cases[] = {
        {500, "mg", "g", 0.5}, {500, "MG", "g", 0.5}, {2, "kg", "g", 2000}, {3, "g", "G", 3},
        {1, "l", "ml", 1000}, {250, "MCG", "g", 0.00025}, {5, "mcl", "ML", 0.005}, {2, "mil", "un", 2000},
        {7, "un", "g", std::nullopt}, {1, "CX", "g", std::nullopt},
    };
    for (const Case &c : cases) {
        const trace::LotQuantity got = trace::ToLotUnit(c.q, QLatin1String(c.from), QLatin1String(c.to));
        ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.from;
        if (got)
            EXPECT_DOUBLE_EQ(*got, *c.expected) << c.from;
    }
    const db::Value none, one = db::Value::integer(1), blank = db::Value::text(QStringLiteral(" "));
    EXPECT_EQ(trace::KindOf(one, one, one, one), trace::MovementKind::Order);
    EXPECT_EQ(trace::KindOf(none, db::Value::text(QStringLiteral("P1")), one, one), trace::MovementKind::Loss);
    EXPECT_EQ(trace::KindOf(none, blank, one, one), trace::MovementKind::QualityControl);
    EXPECT_EQ(trace::KindOf(none, none, none, one), trace::MovementKind::Purchase);
    EXPECT_EQ(trace::KindOf(none, none, none, none), trace::MovementKind::Other);
}

TEST_F(TraceDatabase, OrderTraceGivesEachComponentsLotAndTheLinesNeverDeducted)
{
    const trace::OrderTrace o = trace::ReadOrderTrace(m_db.conn(), QStringLiteral("01"), 100);
    EXPECT_TRUE(o.found);
    EXPECT_EQ(o.data, QDate(2024, 2, 5));
    ASSERT_EQ(o.components.size(), 3u);
    EXPECT_EQ(o.components[0].lote, QStringLiteral("L1"));
    EXPECT_TRUE(o.components[0].moved);
    EXPECT_EQ(o.components[0].movementDate, QDate(2024, 2, 5));
    EXPECT_EQ(o.components[0].movedQuantity.toDouble(), 10);
    EXPECT_EQ(o.components[1].nformula.toInt(), 2);
    EXPECT_TRUE(o.components[1].moved);
    EXPECT_EQ(o.components[2].componente, QStringLiteral("LACTOSE"));
    EXPECT_FALSE(o.components[2].moved);   // lot LX never moved (the LACTOSE movement is of lot L1)
    EXPECT_EQ(o.notMoved(), 1);
    EXPECT_EQ(trace::OrderTraceLines(o),
              (QStringList{trace::kOrderTraceHeader,
                           QStringLiteral("01;100;1;ÁCIDO ASCÓRBICO;L1;Fornecedor A;10;g;05/02/2024;10;g;LAB;Baixado"),
                           QStringLiteral("01;100;2;ÁCIDO ASCÓRBICO;L1;Fornecedor A;2;g;06/02/2024;2;g;LAB;Baixado"),
                           QStringLiteral("01;100;3;LACTOSE;LX;Fornecedor A;50;g;Baixa não realizada;;;;"
                                          "Baixa não realizada")}));
    EXPECT_EQ(trace::OrderTracePath(QDate(2024, 3, 5), QStringLiteral("01"), 100),
              QStringLiteral("C:\\FORMULIX\\RASTROPED24.03.05_01-100.CSV"));

    const trace::OrderTrace twice = trace::ReadOrderTrace(m_db.conn(), QStringLiteral("01"), 500);
    ASSERT_EQ(twice.components.size(), 2u);
    for (const trace::OrderComponent &c : twice.components) {
        EXPECT_EQ(c.moved, c.qdeestoque.toDouble() == 6) << c.qdeestoque.toDouble();
        EXPECT_EQ(c.movedQuantity.isNull() ? 0 : c.movedQuantity.toDouble(), c.moved ? 6 : 0);
    }

    const trace::OrderTrace missing = trace::ReadOrderTrace(m_db.conn(), QStringLiteral("09"), 100);
    EXPECT_FALSE(missing.found);
    EXPECT_TRUE(missing.components.empty());
}

} // namespace
