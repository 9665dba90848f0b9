// The book written out on the hand-computed store (bookfixture.h): the spreadsheet byte for byte,
// the pages numbered over the whole book with a page per substance, each headed with the
// pharmacy and the period, and the first page telling whether the book closes.
#include "controlled/bookoutput.h"

#include "bookfixture.h"
#include "platform/winpath.h"
#include "reports/engine/render.h"
#include "support/recordingoperator.h"
#include "support/testdb.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using namespace controlled;

class ControlledOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        bookfixture::Plant(m_db.conn());
        QDir root(m_dir.path());
        root.mkpath(QStringLiteral("share"));
        root.mkpath(QStringLiteral("c/FORMULIX"));
        bookfixture::WriteLogs(m_dir.filePath(QStringLiteral("share")));
        m_paths = platform::WinPaths::parse(QStringLiteral("C: = c\n\\\\SRV\\Formulix = share\n"), m_dir.path());
        const Scope scope{{QStringLiteral("Laboratório")}, bookfixture::kStore, QStringLiteral("SRV")};
        m_book = BuildBook(ReadBookInput(m_db.conn(), m_paths, scope, QDate(2024, 1, 1), QDate(2024, 3, 31),
                                         QDate(2024, 7, 10)));
        m_pharmacy = ReadPharmacy(m_db.conn(), bookfixture::kStore);
    }

    testsupport::TempDatabase m_db;
    QTemporaryDir m_dir;
    platform::WinPaths m_paths;
    Book m_book;
    Pharmacy m_pharmacy;
};

TEST_F(ControlledOutput, CsvByteForByte)
{
    testsupport::RecordingOperator op;
    ASSERT_TRUE(ExportBookCsv(m_book, m_paths, op));
    EXPECT_EQ(op.texts(), QStringList{QStringLiteral(
                              "Arquivo \"C:\\FORMULIX\\CONTROLADOS240101-240331.CSV\" gerado com sucesso. \rAbra-o no Excel.")});
    QFile f(m_dir.filePath(QStringLiteral("c/FORMULIX/CONTROLADOS240101-240331.CSV")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString clz = QStringLiteral("CLONAZEPAM;02345;g;100;CLONAZEPAM;L1;Química Ávila;");
    const QString fen = QStringLiteral("FENOBARBITAL;;g;200;FENOBARBITAL;F1;Pharma Sul;");
    const QString mor1 = QStringLiteral("Morfina Sulfato 1%;06104;mL;300;Morfina Sulfato 1%;M1;Dist. Norte;");
    const QString mor2 = QStringLiteral("Morfina Sulfato 1%;06104;mL;301;Sulfato de Morfina;M2;Dist. Norte;");
    const QString dia = QStringLiteral("DIAZEPAM;;g;400;DIAZEPAM;D1;Pharma Sul;");
    const QStringList lines = {
        kBookCsvHeader,
        clz + QStringLiteral("01/01/2024;Saldo inicial;;;;;0,000"),
        clz + QStringLiteral("05/01/2024;Compra;NF 501 - Química Ávila;1 KG;1000,000;;1000,000"),
        clz + QStringLiteral("10/02/2024;Compra;NF 502 - QUIMICA AVILA;250 g;250,000;;1250,000"),
        clz + QStringLiteral("15/02/2024;Pedido;Pedido 01.100 fórmula 1 (Laboratório);1500 MG;;1,500;1248,500"),
        clz + QStringLiteral("20/03/2024;Perda;Perda 7 (Laboratório);0,5 G;;0,500;1248,000"),
        clz + QStringLiteral("31/03/2024;Saldo final;;;1250,000;2,000;1248,000"),
        dia + QStringLiteral("01/01/2024;Saldo inicial;;;;;10,000"),
        dia + QStringLiteral("31/03/2024;Saldo final;;;0,000;0,000;10,000"),
        fen + QStringLiteral("01/01/2024;Saldo inicial;;;;;0,000"),
        fen + QStringLiteral("10/01/2024;Compra;NF 601 - Pharma Sul;100 G;100,000;;100,000"),
        fen + QStringLiteral("20/01/2024;Pedido;Pedido 01.110 fórmula 1 (Laboratório);80 g;;80,000;20,000"),
        fen + QStringLiteral("25/01/2024;Pedido;Pedido 01.120 fórmula 1 (Laboratório);40 g;;40,000;-20,000"),
        fen + QStringLiteral("25/01/2024;Saldo zerado na inicialização;Saldo negativo após Pedido 01.120 fórmula 1 "
                             "(Laboratório);;20,000;;0,000"),
        fen + QStringLiteral("01/03/2024;Compra;NF 602 - Pharma Sul;50 g;50,000;;50,000"),
        fen + QStringLiteral("31/03/2024;Saldo final;;;170,000;120,000;50,000"),
        mor1 + QStringLiteral("01/01/2024;Saldo inicial;;;;;0,000"),
        mor1 + QStringLiteral("15/02/2024;Compra;NF 701 - Dist. Norte;0,5 L;500,000;;500,000"),
        mor1 + QStringLiteral("20/02/2024;Pedido;Pedido 01.130 fórmula 1 (Laboratório);3 ML;;3,000;497,000"),
        mor1 + QStringLiteral("31/03/2024;Saldo final;;;500,000;3,000;497,000"),
        mor2 + QStringLiteral("01/01/2024;Saldo inicial;;;;;100,000"),
        mor2 + QStringLiteral("31/03/2024;Saldo final;;;0,000;0,000;100,000"),
    };
    QByteArray expected;
    for (const QString &l : lines)
        expected += platform::toCp1252(l) + "\r\n";
    EXPECT_EQ(f.readAll(), expected);
}

TEST_F(ControlledOutput, UnwritableCsvIsReportedNotAnnounced)
{
    testsupport::RecordingOperator op;
    const platform::WinPaths nowhere;
    EXPECT_FALSE(ExportBookCsv(m_book, nowhere, op));
    ASSERT_EQ(op.messages().size(), 1);
    EXPECT_EQ(op.messages()[0].kind, testsupport::MessageKind::Error);
    EXPECT_TRUE(op.messages()[0].text.startsWith(
        QStringLiteral("Não foi possível criar o arquivo \"C:\\FORMULIX\\CONTROLADOS240101-240331.CSV\".")));
}

QStringList pageTexts(const reports_engine::PageModel &model)
{
    QStringList out;
    for (int i = 0; i < model.pageCount(); ++i) {
        QStringList t;
        for (const reports_engine::PageItem &item : model.page(i).items)
            if (item.kind == reports_engine::PageItem::Kind::Text)
                t << item.text;
        out << t.join(QLatin1Char('|'));
    }
    return out;
}

TEST_F(ControlledOutput, PagesNumberedOverTheBookWithAPagePerSubstance)
{
    const reports_engine::PageModel model = BookPages(m_book, m_pharmacy);
    // Summary, period balance, and the four substances.
    ASSERT_EQ(model.pageCount(), 6);
    const QStringList pages = pageTexts(model);
    for (int i = 0; i < pages.size(); ++i) {
        EXPECT_TRUE(pages[i].startsWith(QStringLiteral("Farmácia Bela Vista - Bela Vista Manipulação Ltda|Rua das Acácias, "
                                                       "120, Curitiba/PR - CNPJ 11.222.333/0001-81 - Farm. resp. Ana "
                                                       "Lúcia Prado (CRF 12345) - Autorização 7.012345|LIVRO DE "
                                                       "REGISTRO DE SUBSTÂNCIAS CONTROLADAS - Período: 01/01/2024 a "
                                                       "31/03/2024|")))
            << pages[i].toStdString();
        EXPECT_TRUE(pages[i].endsWith(QStringLiteral("|Emitido em 10/07/2024|página %1 de 6").arg(i + 1)));
    }
    EXPECT_TRUE(pages[0].contains(QStringLiteral("|O livro não fecha com o estoque: 5 diferenças.|")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("|Diferenças entre o livro e o estoque: 5|")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("|25/01/2024|FENOBARBITAL|F1|Saldo zerado na inicialização|20,000 g|")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("|05/03/2024|FENOBARBITAL|F1|Linha de pedido sem baixa|-5,000 g|")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("|25/02/2024|Morfina Sulfato 1%|M1|Unidade sem conversão|-|")));
    EXPECT_TRUE(pages[0].contains(
        QStringLiteral("|400 - DIAZEPAM: Cadastro marcado como controlado, lotes não (lotes D1)|")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("O sistema não guarda saldos por data.")));
    EXPECT_TRUE(pages[1].contains(QStringLiteral("|BALANÇO DO 1º TRIMESTRE DE 2024|")));
    EXPECT_TRUE(pages[1].contains(QStringLiteral("|Total (g)||g|10,000|1.400,000|121,500|0,500|20,000|1.308,000|")));
    EXPECT_TRUE(pages[2].contains(QStringLiteral("|SUBSTÂNCIA: CLONAZEPAM   DCB: 02345   Unidade: g   Produtos: 100|")));
    EXPECT_TRUE(pages[2].contains(QStringLiteral(
        "|15/02/2024|Pedido|Pedido 01.100 fórmula 1 (Laboratório)|1500 MG||1,500|1.248,500|")));
    EXPECT_TRUE(pages[2].contains(QStringLiteral(
        "|Conferência: estoque agora 1.234,750 g; saldo final + entradas - saídas após o período 1.244,750 g; "
        "diferença -10,000 g (ver diferenças).|")));
    EXPECT_TRUE(pages[3].contains(QStringLiteral("|SUBSTÂNCIA: DIAZEPAM   Unidade: g")));
    EXPECT_TRUE(pages[5].contains(QStringLiteral("|Lote M2 - Dist. Norte - Sulfato de Morfina (301)|")));
}

TEST(ControlledBalance, HeadingNamesQuartersAndYears)
{
    struct Case {
        QDate start, end;
        const char *heading;
    } cases[] = {
        {QDate(2024, 1, 1), QDate(2024, 3, 31), "BALANÇO DO 1º TRIMESTRE DE 2024"},
        {QDate(2024, 10, 1), QDate(2024, 12, 31), "BALANÇO DO 4º TRIMESTRE DE 2024"},
        {QDate(2024, 1, 1), QDate(2024, 12, 31), "BALANÇO ANUAL DE 2024"},
        {QDate(2024, 2, 1), QDate(2024, 4, 30), "BALANÇO DO PERÍODO"},
        {QDate(2024, 1, 1), QDate(2024, 3, 30), "BALANÇO DO PERÍODO"},
        {QDate(2024, 7, 1), QDate(2025, 6, 30), "BALANÇO DO PERÍODO"},
    };
    for (const Case &c : cases) {
        Book b;
        b.start = c.start;
        b.end = c.end;
        EXPECT_EQ(BalanceHeading(b), QString::fromUtf8(c.heading));
    }
}

TEST_F(ControlledOutput, ALongSubstanceRunsOnWithItsHeading)
{
    // Many lines of one lot: the substance takes several pages, each with its title again.
    Book big = m_book;
    BookLot &l = big.substances[0].lots[0];
    for (int i = 0; i < 100; ++i)
        l.lines.push_back(l.lines.back());
    const reports_engine::PageModel model = BookPages(big, m_pharmacy);
    ASSERT_GT(model.pageCount(), 8);
    const QStringList pages = pageTexts(model);
    EXPECT_TRUE(pages[3].contains(QStringLiteral("|SUBSTÂNCIA: CLONAZEPAM")));
    EXPECT_TRUE(pages[3].contains(QStringLiteral("|Data|Movimento|Documento|")));

}

} // namespace
