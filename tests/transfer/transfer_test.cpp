// The transfer on a real database: balances from what is stored, the lot created at a new
// destination with the source's values, refusals and failures that change nothing.
#include "transfer/transfer.h"
#include "core/runstate.h"

#include "support/recordingoperator.h"
#include "support/testdb.h"

#include <gtest/gtest.h>

using testsupport::RecordingOperator;

namespace {

db::Value txt(const QString &s) { return s.isNull() ? db::Value() : db::Value::text(s); }
db::Value dec(const char *s) { return db::Value::decimal(db::Decimal::fromString(QString::fromLatin1(s))); }

struct Row {
    QString descricao = QStringLiteral("ACIDO ASCORBICO");
    QString lote = QStringLiteral("L100");
    QString fornecedor = QStringLiteral("Galena");
    QString codigo = QStringLiteral("00042");
    QString laboratorio = QStringLiteral("Almoxarifado");
    const char *saldo = "20";
    const char *previsto = "30";
    QDate validade = QDate(2027, 5, 31);
};

void addRow(db::Connection &c, const Row &r)
{
    c.execute(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, SALDOPREVISTO, "
                             "UNIDADE, CODIGOEAN, FABRICANTE, VALIDADE, SITUACAO, DENSIDADE, FATORCORRECAO, "
                             "LABORATORIO, CONTROLADA, PRECOCUSTO) values (?, ?, ?, ?, ?, ?, 'g', '7891234567890', "
                             "'Fab''s', ?, 'Aprovado', 1.25, 1.03, ?, 'S', 9.5)"),
              {txt(r.descricao), txt(r.lote), txt(r.fornecedor), txt(r.codigo), dec(r.saldo), dec(r.previsto),
               r.validade.isValid() ? db::Value::date(r.validade) : db::Value(), txt(r.laboratorio)});
}

transfer::SourceLot sourceOf(const Row &r)
{
    return {txt(r.codigo), txt(r.lote), txt(r.fornecedor), txt(r.laboratorio), r.descricao};
}

class TransferTest : public ::testing::Test {
protected:
    testsupport::TempDatabase tdb;
    RecordingOperator op;

    // "LAB: corrente/previsto" for every row of the lot, by location.
    QStringList balances(const QString &codigo = QStringLiteral("00042"))
    {
        QStringList out;
        const db::Rows rows = tdb.conn().query(
            QStringLiteral("select LABORATORIO, SALDOCORRENTE, SALDOPREVISTO from ESTLOTE where CODIGO = ? "
                           "order by LABORATORIO"),
            {txt(codigo)});
        for (const auto &r : rows.rows)
            out << r[0].toString() + QStringLiteral(": ") + r[1].toString() + QLatin1Char('/') + r[2].toString();
        return out;
    }

    transfer::Outcome run(const Row &source, const QString &quantity, const QString &dest)
    {
        return transfer::Transfer(tdb.conn(), sourceOf(source), quantity, dest, op);
    }
};

TEST_F(TransferTest, CreditsAnExistingDestinationAndDebitsTheStoredBalance)
{
    Row src;
    Row dst;
    dst.laboratorio = QStringLiteral("Loja 1");
    dst.saldo = "2";
    dst.previsto = "4";
    addRow(tdb.conn(), src);
    addRow(tdb.conn(), dst);

    EXPECT_EQ(run(src, QStringLiteral("5"), QStringLiteral("Loja 1")).step, transfer::Step::Done);
    EXPECT_EQ(op.texts(), QStringList());
    EXPECT_EQ(balances(), (QStringList{QStringLiteral("Almoxarifado: 15/15"), QStringLiteral("Loja 1: 7/9")}));

    // Another workstation changed the balance since the form showed 20: the stored 15 is what counts.
    tdb.conn().execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 12 where LABORATORIO = 'Almoxarifado'"));
    EXPECT_EQ(run(src, QStringLiteral("12,5"), QStringLiteral("Loja 1")).step, transfer::Step::Quantity);
    EXPECT_EQ(run(src, QStringLiteral("2,5"), QStringLiteral("Loja 1")).step, transfer::Step::Done);
    EXPECT_EQ(balances(), (QStringList{QStringLiteral("Almoxarifado: 9.5/9.5"), QStringLiteral("Loja 1: 9.5/11.5")}));
    EXPECT_EQ(op.texts(), QStringList{transfer::kQuantityMessage});
}

TEST_F(TransferTest, CreatesTheLotAtANewDestinationWithTheSourcesValues)
{
    Row src;
    src.validade = QDate(2099, 12, 31);
    addRow(tdb.conn(), src);
    Row noExpiry;
    noExpiry.codigo = QStringLiteral("00043");
    noExpiry.validade = QDate();
    addRow(tdb.conn(), noExpiry);

    // The whole balance may go; the source row stays at 0. Trailing blanks of the name are dropped.
    EXPECT_EQ(run(src, QStringLiteral(" 20 "), QStringLiteral("Loja 2  ")).step, transfer::Step::Done);
    EXPECT_EQ(run(noExpiry, QStringLiteral("0,000000015"), QStringLiteral("EmTransito")).step, transfer::Step::Done);
    EXPECT_EQ(op.texts(), QStringList());

    const db::Rows rows = tdb.conn().query(
        QStringLiteral("select CODIGO, LABORATORIO, SALDOCORRENTE, SALDOPREVISTO, UNIDADE, CODIGOEAN, FABRICANTE, "
                       "VALIDADE, SITUACAO, DENSIDADE, FATORCORRECAO, CONTROLADA, PRECOCUSTO, DESCRICAO, LOTE, "
                       "FORNECEDOR from ESTLOTE order by CODIGO, LABORATORIO"));
    ASSERT_EQ(rows.rows.size(), 4u);
    auto line = [&](size_t i) {
        QStringList cells;
        for (const db::Value &v : rows.rows[i])
            cells << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        return cells.join(QLatin1Char('|'));
    };
    EXPECT_EQ(line(0), QStringLiteral("00042|Almoxarifado|0|0|g|7891234567890|Fab's|31/12/2099|Aprovado|1.25|1.03|S|9.5|"
                                      "ACIDO ASCORBICO|L100|Galena"));
    EXPECT_EQ(line(1), QStringLiteral("00042|Loja 2|20|20|g|7891234567890|Fab's|31/12/2099|Aprovado|1.25|1.03|<null>|"
                                      "<null>|ACIDO ASCORBICO|L100|Galena"));
    // Rounded once to 8 decimals: what leaves the source is what arrives.
    EXPECT_EQ(line(2), QStringLiteral("00043|Almoxarifado|19.99999998|19.99999998|g|7891234567890|Fab's|<null>|Aprovado|"
                                      "1.25|1.03|S|9.5|ACIDO ASCORBICO|L100|Galena"));
    EXPECT_EQ(line(3), QStringLiteral("00043|EmTransito|0.00000002|0.00000002|g|7891234567890|Fab's|<null>|Aprovado|"
                                      "1.25|1.03|<null>|<null>|ACIDO ASCORBICO|L100|Galena"));
}

TEST_F(TransferTest, RefusalsChangeNothingAndSayWhy)
{
    Row src;
    addRow(tdb.conn(), src);
    Row other = src;
    other.laboratorio = QStringLiteral("Loja 1");
    other.saldo = "1";
    addRow(tdb.conn(), other);
    const QStringList before = balances();

    struct Case {
        const char *quantity;
        const char *dest;
        transfer::Step step;
        QString message;
    };
    const Case cases[] = {
        {"21", "Loja 1", transfer::Step::Quantity, transfer::kQuantityMessage},
        {"20,00000001", "Loja 1", transfer::Step::Quantity, transfer::kQuantityMessage},
        {"21", "Almoxarifado", transfer::Step::Quantity, transfer::kQuantityMessage},   // the quantity is checked first
        {"5", "Almoxarifado", transfer::Step::OwnLocation, transfer::kOwnLocationMessage},
        {"5", "Almoxarifado   ", transfer::Step::OwnLocation, transfer::kOwnLocationMessage},
        {"0", "Loja 1", transfer::Step::NotPositive, transfer::kNotPositiveMessage},
        {"0,000000004", "Loja 1", transfer::Step::NotPositive, transfer::kNotPositiveMessage},
        {"-3", "Loja 1", transfer::Step::NotPositive, transfer::kNotPositiveMessage},
        {"5", "", transfer::Step::NoDestination, transfer::kNoDestinationMessage},
        {"5", "   ", transfer::Step::NoDestination, transfer::kNoDestinationMessage},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.quantity) + " -> " + c.dest);
        op.clear();
        EXPECT_EQ(run(src, QString::fromUtf8(c.quantity), QString::fromUtf8(c.dest)).step, c.step);
        EXPECT_EQ(op.texts(), QStringList{c.message});
        EXPECT_EQ(balances(), before);
    }

    // A source that another workstation moved away is not there to debit.
    Row moved = src;
    moved.laboratorio = QStringLiteral("Loja 9");
    op.clear();
    EXPECT_EQ(run(moved, QStringLiteral("1"), QStringLiteral("Loja 1")).step, transfer::Step::Quantity);
    EXPECT_EQ(op.texts(), QStringList{transfer::kQuantityMessage});

    for (const char *bad : {"abc", "", "1.5", "1,2,3", "1e3"}) {
        EXPECT_THROW(run(src, QString::fromLatin1(bad), QStringLiteral("Loja 1")), transfer::QuantityFormatError) << bad;
    }
    // Well formed but more than any lot can hold: the over-balance refusal.
    for (const char *big : {"99999999999", "12345678901,5"}) {
        op.clear();
        EXPECT_EQ(run(src, QString::fromLatin1(big), QStringLiteral("Loja 1")).step, transfer::Step::Quantity) << big;
        EXPECT_EQ(op.texts(), QStringList{transfer::kQuantityMessage});
    }
    EXPECT_EQ(balances(), before);
}

TEST_F(TransferTest, ApostrophesInEveryTextAreValuesNotStatementText)
{
    Row src;
    src.descricao = QStringLiteral("ÓLEO D'AMÊNDOAS");
    src.lote = QStringLiteral("L'7");
    src.fornecedor = QStringLiteral("D'Ávila");
    src.codigo = QStringLiteral("00042");
    src.laboratorio = QStringLiteral("Lab d'Norte");
    addRow(tdb.conn(), src);

    EXPECT_EQ(run(src, QStringLiteral("3"), QStringLiteral("Loja d'Oeste")).step, transfer::Step::Done);
    EXPECT_EQ(run(src, QStringLiteral("4"), QStringLiteral("Loja d'Oeste")).step, transfer::Step::Done);
    EXPECT_EQ(op.texts(), QStringList());
    EXPECT_EQ(balances(), (QStringList{QStringLiteral("Lab d'Norte: 13/13"), QStringLiteral("Loja d'Oeste: 7/7")}));
    const db::Rows made = tdb.conn().query(QStringLiteral(
        "select DESCRICAO, LOTE, FORNECEDOR from ESTLOTE where LABORATORIO = 'Loja d''Oeste'"));
    ASSERT_EQ(made.rows.size(), 1u);
    EXPECT_EQ(made.rows[0][0].toString() + made.rows[0][1].toString() + made.rows[0][2].toString(),
              QStringLiteral("ÓLEO D'AMÊNDOASL'7D'Ávila"));
}

TEST_F(TransferTest, AFailureBetweenCreditAndDebitLeavesBothLotsAsTheyWere)
{
    Row src;
    Row dst = src;
    dst.laboratorio = QStringLiteral("Loja 1");
    dst.saldo = "2";
    dst.previsto = "4";
    addRow(tdb.conn(), src);
    addRow(tdb.conn(), dst);
    const QStringList before = balances();
    const auto fail = [] { throw std::runtime_error("stopped"); };

    for (const char *dest : {"Loja 1", "Terceiros"}) {
        SCOPED_TRACE(dest);
        EXPECT_THROW(transfer::Transfer(tdb.conn(), sourceOf(src), QStringLiteral("5"), QString::fromLatin1(dest), op,
                                        fail),
                     std::runtime_error);
        EXPECT_EQ(balances(), before);
    }
    EXPECT_EQ(op.texts(), QStringList());
    // Nothing is left locked: the next attempt goes through.
    EXPECT_EQ(run(src, QStringLiteral("5"), QStringLiteral("Terceiros")).step, transfer::Step::Done);
}

TEST_F(TransferTest, FailedStepsGiveTheirMessagesAndRollBack)
{
    Row src;
    addRow(tdb.conn(), src);
    Row twice = src;
    twice.laboratorio = QStringLiteral("Loja 1");
    twice.saldo = "1";
    addRow(tdb.conn(), twice);
    twice.laboratorio = QStringLiteral("Loja 1 ");   // the same location to the server
    addRow(tdb.conn(), twice);
    const QStringList before = balances();

    // Two stored rows for the destination: crediting both would make stock.
    EXPECT_EQ(run(src, QStringLiteral("5"), QStringLiteral("Loja 1")).step, transfer::Step::Credit);
    // A destination name longer than the column: the insert fails.
    const QString longName = QStringLiteral("Depósito da Matriz Central");
    EXPECT_EQ(run(src, QStringLiteral("5"), longName).step, transfer::Step::Insert);
    EXPECT_EQ(balances(), before);
    ASSERT_EQ(op.texts().size(), 2);
    EXPECT_EQ(op.texts()[0], QStringLiteral("(2) Erro ACRESCENTANDO SALDO para ACIDO ASCORBICO"));
    EXPECT_EQ(op.texts()[1],
              QStringLiteral("(3) Não foi possível INSERIR o LOTE L100, FORNECEDOR Galena em Depósito da Matriz Central\r"
                             "INSERT INTO ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, SALDOPREVISTO, "
                             "UNIDADE, CODIGOEAN, FABRICANTE, VALIDADE, SITUACAO, DENSIDADE, FATORCORRECAO, "
                             "LABORATORIO) Values ('ACIDO ASCORBICO', 'L100', 'Galena', '00042', 5, 5, 'g', "
                             "'7891234567890', 'Fab''s', '05/31/27', 'Aprovado', 1.25, 1.03, "
                             "'Depósito da Matriz Central')"));

    // The central database cannot be reached: the lookup's message, nothing else.
    db::Connection unreachable;
    unreachable.configure(db::Target{QStringLiteral(""), false, false});
    op.clear();
    EXPECT_EQ(transfer::Transfer(unreachable, sourceOf(src), QStringLiteral("5"), QStringLiteral("Loja 2"), op).step,
              transfer::Step::Lookup);
    EXPECT_EQ(op.texts(), QStringList{QStringLiteral("(1) Não foi possível executar o seguinte comando: \rSelect ")
                                      + core::kLotColumnList
                                      + QStringLiteral(" from ESTLOTE where CODIGO = '00042' and LOTE = 'L100' and "
                                                       "FORNECEDOR = 'Galena' and LABORATORIO = 'Loja 2'")});
}

TEST_F(TransferTest, DestinationListHasTheFixedPlacesAroundEveryLaboratory)
{
    tdb.conn().execute(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Loja 1', '1')"));
    tdb.conn().execute(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Lab Sul', '2')"));
    EXPECT_EQ(transfer::DestinationList(tdb.conn()),
              (QStringList{QStringLiteral("Almoxarifado"), QStringLiteral("Loja 1"), QStringLiteral("Lab Sul"),
                           QStringLiteral("EmTransito"), QStringLiteral("Terceiros")}));
}

TEST(TransferQuantity, ReadWithADecimalCommaAndRoundedOnceTo8Places)
{
    struct Case {
        const char *text;
        const char *value;
    };
    const Case cases[] = {
        {"2,5", "2.5"},           {" 3 ", "3"},          {",5", "0.5"},          {"7,", "7"},
        {"0,123456785", "0.12345679"}, {"0,123456784999", "0.12345678"}, {"-1,25", "-1.25"},
        {"9999999999,99999999", "9999999999.99999999"}, {"0012", "12"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(transfer::ParseQuantity(QString::fromLatin1(c.text)).toString(), QString::fromLatin1(c.value))
            << c.text;
    for (const char *bad : {"", " ", ",", "1.000", "1e3", "+-1", "R$ 3"})
        EXPECT_THROW(transfer::ParseQuantity(QString::fromLatin1(bad)), transfer::QuantityFormatError) << bad;
    EXPECT_THROW(transfer::ParseQuantity(QStringLiteral("12345678901")), transfer::QuantityTooLarge);
}

} // namespace
