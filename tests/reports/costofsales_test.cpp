// The cost of products sold on a small real fixture: the period boxes and their century, the
// stored period, which order lines count, RP_TOTAIS as text and as a number, the staging rows,
// the diagnostic lines byte for byte, the central PERIODO with two rows or none, the set-based
// build against the row-by-row algorithm, and the report with its period.
#include "reports/costofsales.h"
#include "reports/trm.h"

#include "../../bench/costofsales_rowbyrow.h"
#include "reportrig.h"

#include "platform/cp1252.h"

#include <gtest/gtest.h>

using testsupport::MessageKind;

namespace {

// Lists compared as text, so a failure shows the rows.
std::string lines(const QStringList &l) { return l.join(QLatin1Char('\n')).toStdString(); }

TEST(PeriodBoxes, TextAndCentury)
{
    const QDate today(2024, 3, 7);
    EXPECT_EQ(reports::PeriodBoxText(QDate(2024, 2, 1)), QStringLiteral("01/02/24"));
    EXPECT_EQ(reports::PeriodBoxText(QDate()), QString());
    struct Case { const char *text; QDate shown; QDate expected; };
    const Case cases[] = {
        {"01/02/24", QDate(), QDate(2024, 2, 1)},
        {"01/05/99", QDate(1999, 5, 1), QDate(1999, 5, 1)},    // shown from PERIODO: its own century
        {"01/05/99", QDate(), QDate(1999, 5, 1)},              // typed: the nearest to today
        {"31/12/73", QDate(), QDate(2073, 12, 31)},
        {"01/01/75", QDate(), QDate(1975, 1, 1)},
        {"02/05/99", QDate(1999, 5, 1), QDate(1999, 5, 2)},
        {"01/02/2024", QDate(), QDate(2024, 2, 1)},
        {"31/02/24", QDate(), QDate()},
        {"//", QDate(), QDate()},
        {"1/2/", QDate(), QDate()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(reports::ReadPeriodBox(QLatin1String(c.text), c.shown, today), c.expected) << c.text;
    // Month first; a year the server would read in another century goes with four digits.
    EXPECT_EQ(reports::PeriodStatementDate(QDate(2024, 2, 1), today), QStringLiteral("02/01/24"));
    EXPECT_EQ(reports::PeriodStatementDate(QDate(1970, 1, 31), today), QStringLiteral("01/31/1970"));
    EXPECT_EQ(reports::PeriodUpdateStatement({QDate(2024, 2, 1), QDate(2024, 2, 29)}, today),
              QStringLiteral("update periodo set datainicial = '02/01/24', datafinal = '02/29/24'"));
}

class CostOfSales : public ::testing::Test, public reportstest::ReportRig {
protected:
    reports::NoProgress progress;
    reports::ConsistencyErrors errors;
    reportstest::RecordingView view;
    const reports::ReportPeriod february{QDate(2024, 2, 1), QDate(2024, 2, 29)};

    reports::ReportContext ctx() { return reports::ReportContext{dm, run, clock, paths, op, progress, errors}; }

    void product(const QString &code, const QString &name, const QString &group, const QString &unit, const QString &cost,
                 const QString &divisor, const QString &price, const QString &dilution = QStringLiteral("1"))
    {
        exec(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, PRECOR, "
                            "FATORDILUICAO) values (%1, %2, %3, %4, %5, %6, %7, %8)")
                 .arg(db::quoted(code), db::quoted(name), db::quoted(group), db::quoted(unit), cost, divisor, price, dilution));
    }
    void order(int number, const QString &type, const QString &date)
    {
        exec(QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) values ('01', %1, %2, '%3')")
                 .arg(number).arg(db::quoted(type), date));
    }
    void line(int number, const QString &code, const QString &qty, const char *unit)
    {
        exec(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, CODIGOCOMP, QDEESTOQUE, UNID) values ('01', %1, %2, %3, %4)")
                 .arg(number).arg(db::quoted(code), qty, unit ? db::quoted(QLatin1String(unit)) : QStringLiteral("null")));
    }

    void fixture()
    {
        exec(QStringLiteral("insert into PERIODO (DATAINICIAL, DATAFINAL) values ('2024-01-01', '2024-01-31')"));
        product("C01", "Ácido Bórico", "MP", "g", "2", "1", "5");
        product("C02", "Arnica TM", "HOM", "ml", "8", "4", "3");
        product("C03", "Alantoína", "MP", "g", "0.5", "0", "1.9");
        product("C04", "Sabonete", "REV", "UN", "3", "1", "7");
        product("C05", "Zinco", "MP", "g", "1", "1", "1");
        product("C'6", "Pó d'Arroz", "MP", "g", "1", "0.5", "3");
        product("C0700000000000000", "Código longo", "MP", "g", "1", "1", "1");
        order(1, "Pedido", "2024-02-01");
        order(2, "Pedido", "2024-02-29");
        order(3, "Orcamento", "2024-02-10");
        order(4, "Pedido", "2024-03-01");
        order(5, "Pedido", "2024-01-31");
        line(1, "C01", "2.5", "g");
        line(2, "C01", "1.25", "mg");        // no unit conversion
        line(1, "C01", "100", "gts");
        line(1, "C01", "100", nullptr);
        line(1, "C01", "null", "g");
        line(1, "C01", "0", "g");
        line(1, "C01", "-3", "g");
        line(3, "C01", "100", "g");
        line(4, "C01", "100", "g");
        line(5, "C01", "100", "g");
        line(2, "C02", "4", "");             // an empty unit counts
        line(1, "C03", "1", "g");
        line(1, "C04", "9", "UN");
        line(2, "C'6", "2", "g");
        line(1, "C0700000000000000", "1", "g");
    }

    QStringList staged()
    {
        const db::Rows rows = ws.conn().query(QStringLiteral(
            "select CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, UNIDADE, SALDOCORRENTE, PRECOCUSTO, PRECOVENDA, "
            "ESTOQUECUSTO, ESTOQUEVENDA from RELESTLOTE order by CODIGO"));
        QStringList out;
        for (const auto &r : rows.rows) {
            QStringList cells;
            for (const db::Value &v : r)
                cells << (v.isNull() ? QStringLiteral("null")
                                     : v.kind() == db::Value::Kind::Double ? QString::number(v.toDouble(), 'g', 17) : v.toString());
            out << cells.join(QStringLiteral(" | "));
        }
        return out;
    }
    QStringList totals()
    {
        QStringList out;
        for (const auto &r : ws.conn().query(QStringLiteral("select GRUPO, TOTAL from RP_TOTAIS order by GRUPO")).rows)
            out << r[0].toString() + QStringLiteral(" = ") + r[1].toString();
        return out;
    }
};

const QStringList kExpectedRows = {
    "C'6 | Pó d'Arroz | - | - | - | g | 2 | 1 | 3 | 2 | 6",
    "C01 | Ácido Bórico | - | - | - | g | 3.75 | 2 | 5 | 7.5 | 18.75",
    "C02 | Arnica TM | - | - | - | ml | 4 | 2 | 3 | 8 | 12",
    "C03 | Alantoína | - | - | - | g | 1 | 0.5 | 1.9 | 0.5 | 1.8999999999999999",
};

TEST_F(CostOfSales, TotalsStagingAndLog)
{
    fixture();
    auto c = ctx();
    ASSERT_TRUE(reports::BuildCostOfProductsSold(c, february));
    EXPECT_EQ(lines(totals()), lines((QStringList{"C'6 = 2", "C01 = 3,75", "C02 = 4", "C03 = 1", "C04 = 9", "C0700000000000000 = 1"})));
    EXPECT_EQ(lines(staged()), lines(kExpectedRows));
    EXPECT_EQ(errors.lines, QStringList{"O componente Alantoína está com o DIVISOR DE UNIDADE = 0."});
    EXPECT_EQ(errors.count, 1);
    // The long code does not fit the staging table: the message once, the error count untouched.
    EXPECT_EQ(op.messages(), (QList<testsupport::RecordedMessage>{{MessageKind::Warn, reports::kCostSaveFailedMessage}}));
    EXPECT_EQ(fileBytes(QStringLiteral("c/FORMULIX/DIAG.TXT")), QByteArray("-----------------------\r\n"));
    QString expected = QStringLiteral("Diagnostico do RELESTLOTE\r\n");
    for (const char *code : {"C03", "C02", "C0700000000000000", "C'6", "C05", "C01"}) {   // component order
        const QString total = QHash<QString, QString>{{"C03", "1"}, {"C02", "4"}, {"C0700000000000000", "1"}, {"C'6", "2"},
                                                      {"C05", "0"}, {"C01", "3,75"}}.value(QLatin1String(code));
        expected += QStringLiteral("SaldoCorrente: ") + total + QStringLiteral("  Código: ") + QLatin1String(code)
                    + QStringLiteral("\r\nVou procurar o código ") + QLatin1String(code)
                    + QStringLiteral(" na tabela EstLote.\r\nNão encontrei, então vou incluir.\r\n");
    }
    EXPECT_EQ(diagnosticLog(), platform::toCp1252(expected));
}

// The central PERIODO takes no part in the totals, whatever rows it holds.
TEST_F(CostOfSales, CentralPeriodoRowsDoNotCount)
{
    fixture();
    for (int extra : {1, -1}) {
        if (extra > 0)
            exec(QStringLiteral("insert into PERIODO (DATAINICIAL, DATAFINAL) values ('2024-02-01', '2024-02-29')"));
        else
            exec(QStringLiteral("delete from PERIODO"));
        auto c = ctx();
        ASSERT_TRUE(reports::BuildCostOfProductsSold(c, february));
        EXPECT_EQ(lines(staged()), lines(kExpectedRows));
        dm.tbl_pdEstLote.close();
    }
}

TEST_F(CostOfSales, NumericTotalColumn)
{
    fixture();
    execWs(QStringLiteral("drop table RP_TOTAIS"));
    execWs(QStringLiteral("create table RP_TOTAIS (GRUPO varchar(20), TOTAL decimal(18,8))"));
    exec(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, CODIGOCOMP, QDEESTOQUE, UNID) values ('01', 1, 'C05', "
                        "1234567.12345678, 'g')"));
    auto c = ctx();
    ASSERT_TRUE(reports::BuildCostOfProductsSold(c, february));
    EXPECT_TRUE(totals().contains(QStringLiteral("C01 = 3.75")));
    EXPECT_TRUE(totals().contains(QStringLiteral("C05 = 1234567.12345678")));
    const QStringList rows = staged();
    EXPECT_EQ(rows.filter(QStringLiteral("C05 | Zinco | - | - | - | g | 1234567.12345678 | 1 | 1 | 1234567.1234567")).size(), 1)
        << lines(rows);
    // The same number through a text column.
    execWs(QStringLiteral("drop table RP_TOTAIS"));
    execWs(QStringLiteral("create table RP_TOTAIS (GRUPO varchar(20), TOTAL varchar(30))"));
    dm.tbl_pdEstLote.close();
    ASSERT_TRUE(reports::BuildCostOfProductsSold(c, february));
    EXPECT_TRUE(totals().contains(QStringLiteral("C05 = 1234567,12345678")));
    EXPECT_EQ(lines(staged()), lines(rows));
}

TEST_F(CostOfSales, SameResultAsRowByRow)
{
    fixture();
    reports::ConsistencyErrors rowByRow;
    EXPECT_EQ(reference::BuildCostRowByRow(dm, run, paths, february, rowByRow), 0);
    const QStringList referenceRows = staged(), referenceTotals = totals();
    const QByteArray referenceLog = diagnosticLog();
    op.clear();
    ASSERT_EQ(referenceRows.size(), 4);   // the long code was refused by the server through the hook

    auto c = ctx();
    ASSERT_TRUE(reports::BuildCostOfProductsSold(c, february));
    EXPECT_EQ(lines(staged()), lines(referenceRows));
    EXPECT_EQ(lines(totals()), lines(referenceTotals));
    EXPECT_EQ(diagnosticLog(), referenceLog);
    EXPECT_EQ(errors.lines, rowByRow.lines);
}

TEST_F(CostOfSales, EmptyPeriodAndFailures)
{
    fixture();
    auto c = ctx();
    ASSERT_TRUE(reports::BuildCostOfProductsSold(c, {QDate(2023, 1, 1), QDate(2023, 1, 31)}));
    EXPECT_TRUE(staged().isEmpty());
    EXPECT_TRUE(totals().isEmpty());
    dm.tbl_pdEstLote.close();

    // The component list cannot be read: its statement is shown, the last build stays.
    ASSERT_TRUE(reports::BuildCostOfProductsSold(c, february));
    dm.tbl_pdEstLote.close();
    op.clear();
    exec(QStringLiteral("alter table COMPONEN drop GRUPOPRECO"));
    EXPECT_FALSE(reports::BuildCostOfProductsSold(c, february));
    EXPECT_EQ(op.texts(), QStringList{QStringLiteral("Erro tentando executar: ") + reports::CostComponentStatement(QStringLiteral("S"))});
    EXPECT_EQ(lines(staged()), lines(kExpectedRows));
}

TEST_F(CostOfSales, StoredPeriodAndReport)
{
    fixture();
    // A workstation without a PERIODO row gets one; a second confirmation rewrites it.
    EXPECT_FALSE(reports::StoredPeriod(dm).start.isValid());
    reports::StorePeriod(dm.SQLConnection2, {QDate(2023, 5, 1), QDate(2023, 5, 31)}, clock.today());
    reports::StorePeriod(dm.SQLConnection2, february, clock.today());
    const reports::ReportPeriod stored = reports::StoredPeriod(dm);
    EXPECT_EQ(stored.start, february.start);
    EXPECT_EQ(stored.end, february.end);
    EXPECT_EQ(ws.conn().query(QStringLiteral("select count(*) from PERIODO")).rows[0][0].toInt(), 1);
    dm.Periodo.close();

    exec(QStringLiteral("insert into DADOSGER (CNPJ, FARMACIA) values ('1', 'Farmácia Central')"));
    run.StoreCnpj = QStringLiteral("1");
    reports::TRM rm(dm, paths, clock, op);
    rm.rvstm1.setView(&view);
    auto c = ctx();
    EXPECT_TRUE(reports::RunCostOfProductsSold(c, rm, february));
    ASSERT_EQ(view.presented, 1);
    QStringList texts = view.texts();
    EXPECT_TRUE(texts.contains(QStringLiteral("Custo dos Produtos Vendidos")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Período: 01/02/2024 a 29/02/2024")));
    EXPECT_TRUE(texts.contains(QStringLiteral("3,75000")));
    EXPECT_TRUE(texts.contains(QStringLiteral("18,00")));    // 2 + 7.5 + 8 + 0.5
    EXPECT_FALSE(dm.DadosGer.isOpen());

    view.presented = 0;
    reports::ViewCostOfProductsSold(c, rm);
    EXPECT_EQ(view.presented, 1);
    EXPECT_TRUE(view.texts().contains(QStringLiteral("Período: 01/02/2024 a 29/02/2024")));
    EXPECT_FALSE(dm.Periodo.isOpen());
    EXPECT_FALSE(dm.tbl_pdEstLote.isOpen());

    exec(QStringLiteral("drop table DADOSGER"));
    op.clear();
    EXPECT_FALSE(reports::RunCostOfProductsSold(c, rm, february));
    EXPECT_EQ(op.texts(), (QStringList{reports::kCostSaveFailedMessage, reports::kStoreHeaderBuildMessage}));
}

} // namespace
