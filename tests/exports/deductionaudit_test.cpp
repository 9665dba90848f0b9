// The deduction audit: name folding and number formats as tables, the line layout byte for byte,
// and the set-based run proven equal to the row-by-row algorithm on a fixture database.
#include "common/textfold.h"
#include "exports/deductionaudit.h"

#include "auditreference.h"
#include "platform/winpath.h"
#include "support/testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Failures show the text, not its code units.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

using exports::AuditReport;
using exports::Movement;
using exports::OrderLine;

namespace {

TEST(DeductionAudit, FoldingOfAccentsAndNames)
{
    struct Case { const char *in, *accents, *product; };
    const Case cases[] = {
        {"ÁCIDO ASCÓRBICO", "aCIDO ASCoRBICO", "acido ascorbico"},
        {"Ácido Ascórbico", "acido Ascorbico", "acido ascorbico"},
        {"vitamina c", "vitamina c", "Vitamina C"},
        {"ÀÂÃàâã Çç ÉÊéê Íí Ññ ÓÔÕóôõ ÚÛÜúûü", "aaaaaa cc eeee ii nn oooooo uuuuuu", "aaaaaa cc eeee ii nn oooooo uuuuuu"},
        {"ÈÌÒÙèìòùËÏÖ", "ÈÌÒÙèìòùËÏÖ", "ÈÌÒÙèìòùËÏÖ"},   // letters outside the list stay
        {"D'ÁGUA", "D'aGUA", "D agua"},
        {"", "", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(common::FoldAccents(QString::fromUtf8(c.in)), QString::fromUtf8(c.accents)) << c.in;
        EXPECT_EQ(common::FoldProductName(QString::fromUtf8(c.in)), QString::fromUtf8(c.product)) << c.in;
    }
}

TEST(DeductionAudit, NumberFormats)
{
    struct Case { double v; const char *five, *six; };
    const Case cases[] = {
        {0, "0,00000", "0,000000"},
        {1234.5, "1.234,50000", "1.234,500000"},
        {0.5, "0,50000", "0,500000"},
        {1234567.123456, "1.234.567,12346", "1.234.567,123456"},
        {-1234.5, "-1.234,50000", "-1.234,500000"},
        {999.999999, "1.000,00000", "999,999999"},
        {-0.000001, "0,00000", "-0,000001"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(exports::FormatQuantity5(c.v), QLatin1String(c.five)) << c.v;
        EXPECT_EQ(exports::FormatQuantity6(c.v), QLatin1String(c.six)) << c.v;
    }
}

OrderLine line(const char *date, const char *order, const char *lot, const char *supplier, const char *qty,
               const char *unit, const char *group = "MP")
{
    OrderLine l;
    l.componente = QStringLiteral("acido ascorbico");
    const QString o = QString::fromUtf8(order);
    l.estacao = o.section(QLatin1Char('.'), 0, 0);
    l.npedido = db::Value::integer(o.section(QLatin1Char('.'), 1).toLongLong());
    l.nformula = db::Value::integer(1);
    l.lote = QString::fromUtf8(lot);
    l.fornecedor = QString::fromUtf8(supplier);
    l.qdeestoque = qty ? db::Value::decimal(db::Decimal::fromString(QLatin1String(qty))) : db::Value();
    l.unid = QLatin1String(unit);
    l.grupo = QLatin1String(group);
    l.datapedido = QDate::fromString(QLatin1String(date), QStringLiteral("dd/MM/yyyy"));
    l.tipopedido = QStringLiteral("Pedido");
    return l;
}

Movement movementOf(const OrderLine &l, const char *qty, const char *unit)
{
    Movement m;
    m.estacao = l.estacao;
    m.npedido = l.npedido;
    m.nformula = l.nformula;
    m.lote = l.lote;
    m.fornecedor = l.fornecedor.toUpper();
    m.descricao = l.componente.toUpper();
    m.quantidade = db::Value::decimal(db::Decimal::fromString(QLatin1String(qty)));
    m.unidade = QLatin1String(unit);
    return m;
}

TEST(DeductionAudit, LineLayoutAndTotals)
{
    AuditReport r;
    const OrderLine a = line("01/03/2024", "01.100", "L1", "Fornecedor A", "500", "MG");
    r.add(a, movementOf(a, "0.5", "G"));                                     // 500 MG against 0,5 G
    const OrderLine b = line("02/03/2024", "01.101", "LOTE-COM-MAIS-DE-20-CARACTERES", "Fornecedor de nome muito longo",
                             "1234.5", "G");
    r.add(b, movementOf(b, "1234.5", "G"));                                  // same quantity, long pieces
    const OrderLine c = line("03/03/2024", "01.102", "L3", "Forn", "3", "G");
    r.add(c, std::nullopt);                                                  // not deducted
    const OrderLine d = line("04/03/2024", "01.103", "L4", "Forn", "2", "ML", "HOM");
    r.add(d, std::nullopt);                                                  // homeopathic, no movement
    const OrderLine e = line("05/03/2024", "01.104", "L5", "Forn", "7", "ML", "HOM");
    r.add(e, movementOf(e, "7", "ML"));                                      // homeopathic, deducted
    const OrderLine f = line("06/03/2024", "01.105", "L6", "Forn", nullptr, "G");
    r.add(f, std::nullopt);                                                  // quantity unreadable
    r.finish();

    const QStringList expectedAll = {
        " 01/03/24  01.100       L1                 Fornecedor A               500,00000 MG    |        0,500000 G        *",
        " 02/03/24  01.101       LOTE-COM-MAIS-DE-20- Fornecedor de nome m     1.234,50000 G     |    1.234,500000 G   ",
        " 03/03/24  01.102       L3                 Forn                         3,00000 G     | Baixa n\u00e3o realizada      *",
        " 04/03/24  01.103       L4                 Forn                 Tintura homeop\u00e1tica   | Ok              ",
        " 05/03/24  01.104       L5                 Forn                         7,00000 ML    |        7,000000 ML  ",
        " 06/03/24  01.105       L6                 Forn                               - G     | Baixa n\u00e3o realizada      *",
        " --------  ------------ ------------------ -------------------- --------------- ----  | --------------- ----",
        "                                                                    1.737,50000 G     |     1.235,00000 ML  ",
    };
    EXPECT_EQ(r.allLines(), expectedAll);
    EXPECT_EQ(r.failureLines(), (QStringList{expectedAll[0], expectedAll[2], expectedAll[3], expectedAll[5],
                                             expectedAll[6], expectedAll[7]}));
    EXPECT_TRUE(r.totalsDiffer());
    EXPECT_EQ(r.totalToDeduct(), 500 + 1234.5 + 3);
    EXPECT_EQ(r.totalDeducted(), 0.5 + 1234.5);
    for (int i : {0, 2, 3, 4, 5, 6})
        EXPECT_EQ(expectedAll[i].indexOf(QLatin1Char('|')), 86) << i;   // under the heading's bar
}

TEST(DeductionAudit, EmptyPeriodAndAHomeopathicLastLine)
{
    AuditReport empty;
    empty.finish();
    const QString total = QString(64, QLatin1Char(' ')) + QStringLiteral("        0,00000   |         0,00000 ");
    EXPECT_EQ(empty.allLines(), (QStringList{exports::kAuditSeparator, total}));
    EXPECT_EQ(empty.failureLines(), QStringList{total});
    EXPECT_FALSE(empty.totalsDiffer());

    AuditReport hom;
    const OrderLine d = line("04/03/2024", "01.103", "L4", "Forn", "2", "ML", "HOM");
    hom.add(d, movementOf(d, "2", "ML"));
    hom.finish();
    EXPECT_EQ(hom.allLines().mid(1), (QStringList{exports::kAuditSeparator, QString(88, QLatin1Char(' '))}));
    EXPECT_EQ(hom.failureLines(),
              QStringList{QString(64, QLatin1Char(' ')) + QStringLiteral("        0,00000 ML    |         0,00000 ML  ")});
}

TEST(DeductionAudit, Statements)
{
    const QDate s(2024, 3, 1), e(2024, 3, 31);
    EXPECT_EQ(exports::OrderQuery(s, e, QStringLiteral("acido ascorbico")),
              QStringLiteral("Select A.componente, A.estacao, A.npedido, A.nformula, A.qdeestoque, A.unid, A.Lote, "
                             "A.Grupo, A.Fornecedor, B.datapedido, B.Tipopedido from COMPEDID A, PEDIDOS B where "
                             "A.ESTACAO=B.estacao AND A.NPEDIDO=B.NPEDIDO and B.DATAPEDIDO BETWEEN '2024-03-01' AND "
                             "'2024-03-31' AND A.COMPONENTE = 'acido ascorbico' AND B.TIPOPEDIDO = 'Pedido' ORDER by "
                             "B.DATAPEDIDO"));
    OrderLine l = line("01/03/2024", "01.100", "L'1", "D'ávila", "1", "G");
    EXPECT_EQ(exports::MovementQuery(l),
              QStringLiteral("Select DATA, ESTACAO, NPEDIDO, NFORMULA, LOTE, FORNECEDOR, QUANTIDADE, UNIDADE, DESCRICAO "
                             "from MOVEST where ESTACAO = '01' and NPEDIDO = 100 and NFORMULA = 1 and "
                             "UPPER(DESCRICAO) = 'ACIDO ASCORBICO' and LOTE = 'L''1' and Upper(FORNECEDOR) = 'D''áVILA'"));
    l.nformula = db::Value();
    EXPECT_TRUE(exports::MovementQuery(l).contains(QStringLiteral(" and NFORMULA is null and ")));
}

// A central database with one product's order lines and movements over a period and around it.
class AuditDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("c/FORMULIX"));
        m_paths = platform::WinPaths::parse(QStringLiteral("C: = c\n"), m_dir.path());
        auto &c = m_db.conn();
        auto order = [&](const char *st, int n, const char *date, const char *type = "Pedido") {
            c.execute(QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) values ('%1', %2, '%3', '%4')")
                          .arg(QLatin1String(st)).arg(n).arg(QLatin1String(type)).arg(QLatin1String(date)));
        };
        auto comp = [&](const char *st, int n, const char *formula, const char *qty, const char *unit, const QString &lot,
                        const QString &supplier, const char *group = "MP", const char *name = "acido ascorbico") {
            c.execute(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, COMPONENTE, QDEESTOQUE, UNID, LOTE, "
                                     "GRUPO, FORNECEDOR) values ('%1', %2, %3, '%4', %5, '%6', %7, '%8', %9)")
                          .arg(QLatin1String(st)).arg(n).arg(QLatin1String(formula)).arg(QString::fromUtf8(name))
                          .arg(QLatin1String(qty)).arg(QLatin1String(unit)).arg(lot).arg(QLatin1String(group)).arg(supplier));
        };
        auto move = [&](const char *st, int n, const char *formula, const char *qty, const char *unit, const QString &lot,
                        const QString &supplier, const char *name = "ACIDO ASCORBICO") {
            c.execute(QStringLiteral("insert into MOVEST (ESTACAO, NPEDIDO, NFORMULA, DESCRICAO, QUANTIDADE, UNIDADE, LOTE, "
                                     "FORNECEDOR, DATA) values ('%1', %2, %3, '%4', %5, '%6', %7, %8, '2024-03-10')")
                          .arg(QLatin1String(st)).arg(n).arg(QLatin1String(formula)).arg(QString::fromUtf8(name))
                          .arg(QLatin1String(qty)).arg(QLatin1String(unit)).arg(lot).arg(supplier));
        };
        const QString l1 = QStringLiteral("'L1'"), forn = QStringLiteral("'Fornecedor A'");
        order("01", 100, "2024-03-01");
        comp("01", 100, "1", "500", "MG", l1, forn);
        move("01", 100, "1", "0.5", "G", l1, QStringLiteral("'FORNECEDOR A'"));     // 0,5 G against 500 MG
        order("01", 101, "2024-03-02");
        comp("01", 101, "1", "10", "G", QStringLiteral("'L''2'"), QStringLiteral("'D''Ávila'"));   // apostrophes
        move("01", 101, "1", "10", "G", QStringLiteral("'L''2'"), QStringLiteral("'d''Ávila'"));
        order("02", 102, "2024-03-03");
        comp("02", 102, "null", "1234.5", "G", l1, forn);                           // no formula number
        move("02", 102, "null", "1234.5", "G", l1, forn);
        move("02", 102, "1", "99", "G", l1, forn);                                  // another formula's
        order("01", 103, "2024-03-04");
        comp("01", 103, "2", "3", "G", l1, forn);                                   // never deducted
        move("01", 103, "1", "3", "G", l1, forn);
        order("01", 104, "2024-03-05");
        comp("01", 104, "1", "2", "ML", l1, forn, "HOM");                           // homeopathic, no movement
        order("01", 105, "2024-03-06");
        comp("01", 105, "1", "7", "G", l1, forn);                                   // two movements: the first counts
        move("01", 105, "1", "6", "G", l1, forn);
        move("01", 105, "1", "7", "G", l1, forn);
        order("01", 106, "2024-03-07");
        comp("01", 106, "1", "4", "G", QStringLiteral("null"), forn);               // no lot
        move("01", 106, "1", "4", "G", QStringLiteral("''"), forn);
        order("01", 107, "2024-03-31");
        comp("01", 107, "1", "1", "G", l1, forn, "MP", "outro produto");
        order("01", 108, "2024-04-01");                                             // after the period
        comp("01", 108, "1", "1", "G", l1, forn);
        order("01", 109, "2024-03-08", "Orcamento");                               // not an order
        comp("01", 109, "1", "1", "G", l1, forn);
        order("01", 110, "2024-03-09");
        comp("01", 110, "1", "8", "G", l1, forn, "HOM");                            // homeopathic, deducted
        move("01", 110, "1", "8", "G", l1, forn);
        order("01", 111, "2024-03-11");
        comp("01", 111, "1", "5", "G", QStringLiteral("'L1 '"), forn);              // a lot with a trailing blank
        move("01", 111, "1", "5", "G", l1, forn);
    }

    QTemporaryDir m_dir;
    platform::WinPaths m_paths;
    testsupport::TempDatabase m_db;
};

TEST_F(AuditDatabase, SetBasedEqualsLineByLine)
{
    const QDate s(2024, 3, 1), e(2024, 3, 31);
    const QString product = common::FoldProductName(QStringLiteral("Ácido Ascórbico"));
    const exports::AuditResult set = exports::RunDeductionAudit(m_db.conn(), m_paths, s, e, product);
    const exports::AuditReport ref = testsupport::RunAuditLineByLine(m_db.conn(), s, e, product);
    EXPECT_EQ(set.report.allLines(), ref.allLines());
    EXPECT_EQ(set.report.failureLines(), ref.failureLines());
    EXPECT_EQ(set.report.totalToDeduct(), ref.totalToDeduct());
    EXPECT_EQ(set.report.totalDeducted(), ref.totalDeducted());
    EXPECT_EQ(set.report.lineCount(), 9);

    const QStringList all = set.report.allLines();
    ASSERT_EQ(all.size(), 11);
    EXPECT_TRUE(all[0].endsWith(QStringLiteral("500,00000 MG    |        0,500000 G        *")));
    EXPECT_EQ(all[1], QString::fromUtf8(" 02/03/24  01.101       L'2                D'Ávila                     10,00000 G     |       10,000000 G   "));
    EXPECT_TRUE(all[2].endsWith(QStringLiteral("1.234,50000 G     |    1.234,500000 G   ")));
    EXPECT_TRUE(all[3].endsWith(QString::fromUtf8("3,00000 G     | Baixa não realizada      *")));
    EXPECT_TRUE(all[4].endsWith(QString::fromUtf8(" Tintura homeopática   | Ok              ")));
    EXPECT_TRUE(all[5].endsWith(QStringLiteral("7,00000 G     |        6,000000 G        *")));
    EXPECT_TRUE(all[6].endsWith(QStringLiteral("4,00000 G     |        4,000000 G   ")));
    EXPECT_TRUE(all[7].endsWith(QStringLiteral("8,00000 G     |        8,000000 G   ")));
    // The server finds "L1" for "L1 ", the comparison as text does not.
    EXPECT_TRUE(all[8].endsWith(QString::fromUtf8("5,00000 G     | Baixa não realizada      *")));
    EXPECT_EQ(all[10], QString(64, QLatin1Char(' ')) + QStringLiteral("    1.763,50000 G     |     1.255,00000 G   "));
    EXPECT_TRUE(set.report.totalsDiffer());
    EXPECT_EQ(set.report.failureLines().last(),
              QString(64, QLatin1Char(' ')) + QStringLiteral("    1.763,50000 G     |     1.255,00000 G   "));

    // The statement, as run, in sql.txt.
    QFile sql(m_dir.filePath(QStringLiteral("c/FORMULIX/sql.txt")));
    ASSERT_TRUE(sql.open(QIODevice::ReadOnly));
    EXPECT_EQ(sql.readAll(), exports::OrderQuery(s, e, QStringLiteral("acido ascorbico")).toLatin1() + "\r\n");
}

// Orders of one date stored in another order than their numbers, and their lines stored backwards:
// the audit lists them as the written statement returns them, and the totals line takes its units
// from that statement's last line.
TEST(DeductionAuditOrder, SameDateOrdersComeAsTheWrittenStatementGivesThem)
{
    testsupport::TempDatabase db;
    auto &c = db.conn();
    struct Order { int number; const char *date; const char *unit; };
    const Order orders[] = {{305, "2024-03-02", "G"}, {301, "2024-03-01", "G"}, {304, "2024-03-02", "MG"},
                            {302, "2024-03-02", "ML"}, {306, "2024-03-01", "UN"}, {303, "2024-03-02", "G"},
                            {307, "2024-03-02", "KG"}, {300, "2024-03-01", "MG"}};
    for (const Order &o : orders)
        c.execute(QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) values ('%1', %2, "
                                 "'Pedido', '%3')")
                      .arg(o.number % 2 ? QStringLiteral("01") : QStringLiteral("02")).arg(o.number)
                      .arg(QLatin1String(o.date)));
    for (auto o = std::rbegin(orders); o != std::rend(orders); ++o) {
        for (int formula : {2, 1})
            c.execute(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, COMPONENTE, QDEESTOQUE, UNID, "
                                     "LOTE, GRUPO, FORNECEDOR) values ('%1', %2, %3, 'acido ascorbico', %4, '%5', 'L1', "
                                     "'MP', 'Fornecedor A')")
                          .arg(o->number % 2 ? QStringLiteral("01") : QStringLiteral("02")).arg(o->number)
                          .arg(formula).arg(o->number - 299 + formula).arg(QLatin1String(o->unit)));
    }
    const QDate s(2024, 3, 1), e(2024, 3, 31);
    const QString product = QStringLiteral("acido ascorbico");
    auto keys = [](const std::vector<OrderLine> &lines) {
        QStringList out;
        for (const OrderLine &l : lines)
            out << l.estacao + QLatin1Char('.') + l.npedido.toString() + QLatin1Char('/') + l.nformula.toString();
        return out;
    };
    const QStringList written = keys(exports::ReadOrderLines(c, exports::OrderQuery(s, e, product)));
    ASSERT_EQ(written.size(), 16);
    EXPECT_EQ(keys(exports::ReadOrderLines(c, s, e, product)), written);

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("c/FORMULIX"));
    const auto paths = platform::WinPaths::parse(QStringLiteral("C: = c\n"), dir.path());
    const exports::AuditResult set = exports::RunDeductionAudit(c, paths, s, e, product);
    EXPECT_EQ(set.report.allLines(), testsupport::RunAuditLineByLine(c, s, e, product).allLines());
}

TEST_F(AuditDatabase, NoLinesAndAnUnwritableStatementFile)
{
    const QDate s(2023, 1, 1), e(2023, 1, 31);
    const exports::AuditResult none = exports::RunDeductionAudit(m_db.conn(), m_paths, s, e, QStringLiteral("acido ascorbico"));
    EXPECT_EQ(none.report.lineCount(), 0);
    EXPECT_FALSE(none.report.totalsDiffer());
    EXPECT_EQ(none.report.allLines().size(), 2);

    QDir(m_dir.filePath(QStringLiteral("c/FORMULIX"))).removeRecursively();
    EXPECT_THROW(exports::RunDeductionAudit(m_db.conn(), m_paths, s, e, QStringLiteral("acido ascorbico")),
                 std::exception);
}

} // namespace
