// The resale physical/financial build on a small real fixture: which lots count, the values of
// each row, the divisor of 0 listed instead of ending the build, a refused row's dialog, the
// set-based build against the product-by-product algorithm, and the report.
#include "reports/resale.h"
#include "reports/trm.h"

#include "../../bench/resale_rowbyrow.h"
#include "reportrig.h"

#include <gtest/gtest.h>

using testsupport::MessageKind;

namespace {

// Lists compared as text, so a failure shows the rows.
std::string lines(const QStringList &l) { return l.join(QLatin1Char('\n')).toStdString(); }

class Resale : public ::testing::Test, public reportstest::ReportRig {
protected:
    reports::NoProgress progress;
    reports::ConsistencyErrors errors;
    reportstest::RecordingView view;

    reports::ReportContext ctx() { return reports::ReportContext{dm, run, clock, paths, op, progress, errors}; }

    void product(const QString &code, const QString &name, const QString &group, const QString &cost,
                 const QString &divisor, const QString &price)
    {
        exec(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, PRECOR, "
                            "FATORDILUICAO) values (%1, %2, %3, 'UN', %4, %5, %6, 1)")
                 .arg(db::quoted(code), db::quoted(name), db::quoted(group), cost, divisor, price));
    }
    void lot(const QString &code, const QString &description, const QString &lote, const QString &balance,
             const QString &unit, const QString &expiry, const QString &lab = QStringLiteral("Lab 1"),
             const QString &supplier = QStringLiteral("F"))
    {
        exec(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, SALDOCORRENTE, UNIDADE, VALIDADE, "
                            "LABORATORIO) values (%1, %2, %3, %4, %5, %6, %7, %8)")
                 .arg(db::quoted(code), db::quoted(description), db::quoted(lote), db::quoted(supplier), balance,
                      db::quoted(unit), expiry.isEmpty() ? QStringLiteral("null") : db::quoted(expiry), db::quoted(lab)));
    }

    // Today is 2024-03-07.
    void fixture()
    {
        product("R01", "Sabonete", "REV", "3", "2", "7.5");
        product("R02", "Creme d'Água", "rev", "10", "1", "25");
        product("R03", "Xampu", "Rev", "4", "0", "9");
        product("M01", "Ácido Bórico", "MP", "1", "1", "2");
        product("R04", "Sem lotes", "REV", "1", "1", "1");
        lot("R01", "Sabonete", "L1A", "10", "UN", "2025-01-01", "Lab 1");
        lot("R01", "Sabonete", "L1B", "4", "UN", "2024-12-01", "Lab 2");
        lot("R01", "Sabonete", "L1C", "5", "UN", "2024-03-07");   // expires today
        lot("R01", "Sabonete", "L1D", "5", "UN", "");             // no expiry
        lot("R01", "Sabonete", "L1E", "0", "UN", "2025-01-01");   // nothing left
        lot("R02", "Creme d'Água", "L2", "3", "CX", "2025-01-01");
        lot("R03", "Xampu", "L3A", "2", "UN", "2025-01-01");
        lot("R03", "Xampu", "L3B", "1", "UN", "2025-01-01");
        lot("M01", "Ácido Bórico", "L4", "100", "g", "2025-01-01");
    }

    QStringList staged()
    {
        const db::Rows rows = ws.conn().query(QStringLiteral(
            "select CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, UNIDADE, SALDOCORRENTE, PRECOCUSTO, PRECOVENDA, "
            "ESTOQUECUSTO, ESTOQUEVENDA, VALIDADE from RELESTLOTE order by CODIGO, LOTE"));
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
};

TEST_F(Resale, StagingRules)
{
    fixture();
    auto c = ctx();
    ASSERT_TRUE(reports::BuildResaleStaging(c));
    EXPECT_EQ(lines(staged()), lines((QStringList{
        "R01 | Sabonete | L1A | F | Lab 1 | UN | 10 | 1.5 | 7.5 | 15 | 75 | 01/01/2025",
        "R01 | Sabonete | L1B | F | Lab 2 | UN | 4 | 1.5 | 7.5 | 6 | 30 | 01/12/2024",
        "R02 | Creme d'Água | L2 | F | Lab 1 | CX | 3 | 10 | 25 | 30 | 75 | 01/01/2025",
        // Divisor 0: valued at the register's unit cost, listed once for the product.
        "R03 | Xampu | L3A | F | Lab 1 | UN | 2 | 4 | 9 | 8 | 18 | 01/01/2025",
        "R03 | Xampu | L3B | F | Lab 1 | UN | 1 | 4 | 9 | 4 | 9 | 01/01/2025",
    })));
    EXPECT_EQ(errors.lines, QStringList{"O componente Xampu está com o DIVISOR DE UNIDADE = 0."});
    EXPECT_EQ(errors.count, 1);
    EXPECT_TRUE(op.messages().isEmpty());
    EXPECT_TRUE(dm.tbl_pdEstLote.isOpen());
    EXPECT_EQ(dm.tbl_pdEstLote.rowCount(), 5);
}

// Codes as the server compares them: a lot whose code carries trailing blanks is the product's.
TEST_F(Resale, SameResultAsProductByProduct)
{
    fixture();
    product("R05", "Colônia", "REV", "1", "3", "2");
    lot("R05 ", "Colônia", "L5", "7", "UN", "2024-03-08");
    product("R06", "Loção", "REV", "2.5", "1", "4");
    lot("r06", "Loção", "L6", "7", "UN", "2024-03-08");   // another code: letter case counts
    reports::ConsistencyErrors byProduct;
    reference::BuildResaleRowByRow(dm, clock, byProduct);
    const QStringList referenceRows = staged();
    ASSERT_EQ(referenceRows.size(), 6);
    EXPECT_TRUE(referenceRows.last().startsWith(QStringLiteral("R05  | Colônia | L5 |")));

    auto c = ctx();
    ASSERT_TRUE(reports::BuildResaleStaging(c));
    EXPECT_EQ(lines(staged()), lines(referenceRows));
    EXPECT_EQ(errors.lines, byProduct.lines);
    EXPECT_TRUE(op.messages().isEmpty());
}

TEST_F(Resale, RefusedRowShownAndLeftOut)
{
    fixture();
    lot("R02", "Creme d'Água", "L2X", "1", "UN", "2025-01-01", "Lab 1", "");   // no supplier: a key column
    auto c = ctx();
    ASSERT_TRUE(reports::BuildResaleStaging(c));
    EXPECT_EQ(staged().size(), 5);
    EXPECT_EQ(op.messages(), (QList<testsupport::RecordedMessage>{{MessageKind::Error,
        "Não foi possível gravar as informações na tabela!\r\ntblComponen: Creme d'Água\r\ntblEstlote: Creme d'Água\r\n"
        "Classe: EDatabaseError\r\nErro: O campo 'FORNECEDOR' deve ter um valor"}}));
}

TEST_F(Resale, ReportAndView)
{
    fixture();
    exec(QStringLiteral("insert into DADOSGER (CNPJ, FARMACIA) values ('1', 'Farmácia Central')"));
    run.StoreCnpj = QStringLiteral("1");
    execWs(QStringLiteral("insert into RELESTLOTE (CODIGO, LOTE, FORNECEDOR, LABORATORIO) values ('OLD', 'L', 'F', 'X')"));
    reports::TRM rm(dm, paths, clock, op);
    rm.rvstm1.setView(&view);
    auto c = ctx();
    EXPECT_TRUE(reports::RunResaleReport(c, rm));   // the divisor message: the panel is to be shown
    ASSERT_EQ(view.presented, 1);
    QStringList texts = view.texts();
    SCOPED_TRACE(lines(texts));
    EXPECT_TRUE(texts.contains(QStringLiteral("Estoque Físico/Financeiro - Revenda")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Farmácia Central")));
    EXPECT_FALSE(texts.contains(QStringLiteral("OLD")));
    EXPECT_TRUE(texts.contains(QStringLiteral("63,00")));    // 15 + 6 + 30 + 8 + 4
    EXPECT_TRUE(texts.contains(QStringLiteral("207,00")));   // 75 + 30 + 75 + 18 + 9
    EXPECT_EQ(texts.count(QStringLiteral("01/01/2025")), 4);   // the lots' expiry in the "Validade" column
    EXPECT_EQ(texts.count(QStringLiteral("01/12/2024")), 1);
    EXPECT_FALSE(dm.DadosGer.isOpen());
    EXPECT_FALSE(dm.tbl_pdEstLote.isOpen());

    view.presented = 0;
    reports::ViewResaleReport(c, rm);
    EXPECT_EQ(view.presented, 1);
    EXPECT_TRUE(view.texts().contains(QStringLiteral("63,00")));
    EXPECT_TRUE(op.messages().isEmpty());

    // The header cannot be read: the staging stays, no report.
    exec(QStringLiteral("drop table DADOSGER"));
    view.presented = 0;
    EXPECT_FALSE(reports::RunResaleReport(c, rm));
    reports::ViewResaleReport(c, rm);
    EXPECT_EQ(view.presented, 0);
    EXPECT_EQ(staged().size(), 5);
    EXPECT_EQ(op.texts(), QStringList(2, reports::kStoreHeaderViewMessage));
}

TEST_F(Resale, StagingTableUnreachable)
{
    fixture();
    connections.SQLConnection2.configure(db::Target{dir.filePath(QStringLiteral("missing/formulix.bd")), true, true});
    auto c = ctx();
    EXPECT_FALSE(reports::BuildResaleStaging(c));
    EXPECT_EQ(op.texts(), QStringList{reports::StagingTableErrorMessage(QStringLiteral("ANA"), QStringLiteral("01"))});
}

} // namespace
