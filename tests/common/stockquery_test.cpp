// The grid's statements, to the blank, and what they select from a real lot table.
#include "common/stockquery.h"

#include "core/activitylog.h"
#include "core/connections.h"
#include "core/runstate.h"
#include "data/tdm.h"
#include "db/dberror.h"
#include "platform/clock.h"
#include "platform/winpath.h"
#include "support/modulerig.h"
#include "support/qtprint.h"
#include "support/recordingoperator.h"
#include "support/testdb.h"

#include <gtest/gtest.h>

#include <QSet>

using browser::StockStatement;

namespace {

// Written out here, not taken from the program, so a changed list shows up as a failure.
#define COLS "DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOPREVISTO, SALDOCORRENTE, UNIDADE, CODIGOEAN, FABRICANTE, " \
             "VALIDADE, SITUACAO, DENSIDADE, FATORCORRECAO, LABORATORIO, CONTROLADA, PRECOCUSTO, PRECOVENDA, "   \
             "ESTOQUECUSTO, ESTOQUEVENDA"
#define ACOLS "A.DESCRICAO, A.LOTE, A.FORNECEDOR, A.CODIGO, A.SALDOPREVISTO, A.SALDOCORRENTE, A.UNIDADE, "    \
              "A.CODIGOEAN, A.FABRICANTE, A.VALIDADE, A.SITUACAO, A.DENSIDADE, A.FATORCORRECAO, A.LABORATORIO, " \
              "A.CONTROLADA, A.PRECOCUSTO, A.PRECOVENDA, A.ESTOQUECUSTO, A.ESTOQUEVENDA"
#define SCOPE "(UPPER(LABORATORIO) = 'LAB A') OR (UPPER(LABORATORIO) = 'LAB B')"
#define SHARED " or UPPER(LABORATORIO) = 'CONTROLE QUALIDADE' or UPPER(LABORATORIO) = 'EMTRANSITO')"
#define MP_SUBQUERY "DESCRICAO = (Select COMPONENTE from COMPONEN where COMPONEN.COMPONENTE = ESTLOTE.DESCRICAO and COMPONEN.GRUPO = 'MP' )"
#define SUP_SUBQUERY "DESCRICAO = (Select COMPONENTE from COMPONEN where COMPONEN.COMPONENTE = ESTLOTE.DESCRICAO and COMPONEN.GRUPO = 'SUP' )"

struct StatementCase {
    int index1;
    int index2;
    const char *expected;   // empty: no statement
};

// 25 December 2024: month first "12/25/24", ISO "2024-12-25", sixty days on "2025-02-23".
const StatementCase kStatements[] = {
    // Expired lots hidden.
    {0, 0, "select " COLS " from ESTLOTE where (" SCOPE SHARED " and VALIDADE > '12/25/24' order by DESCRICAO, VALIDADE"},
    {1, 0, "select " COLS " from ESTLOTE where VALIDADE > '12/25/24' and LABORATORIO = 'Controle Qualidade' order by DESCRICAO, VALIDADE"},
    {2, 0, "select " COLS " from ESTLOTE where (" SCOPE SHARED " and VALIDADE > '12/25/24' and CONTROLADA = 'Sim' order by DESCRICAO, VALIDADE"},
    {3, 0, "select " COLS " from ESTLOTE where (" SCOPE SHARED " and VALIDADE > '12/25/24' and UPPER(LABORATORIO) = 'EMTRANSITO' order by DESCRICAO, VALIDADE"},
    {4, 0, "select " ACOLS " from ESTLOTE A, COMPONEN B where (A.VALIDADE > '2024-12-25') AND (A.CODIGO = B.CODIGO) and (B.GRUPO = 'REV') order by A.DESCRICAO"},
    {5, 0, "select " COLS " from ESTLOTE where (" SCOPE SHARED " and VALIDADE > '12/25/24' and UNIDADE <> 'un' order by DESCRICAO, VALIDADE"},
    {6, 0, "select " COLS " from ESTLOTE where (" SCOPE SHARED " and VALIDADE > '12/25/24' and SALDOCORRENTE  > 0 order by DESCRICAO, VALIDADE"},
    {7, 0, "select " COLS " from ESTLOTE where " SUP_SUBQUERY " and ((" SCOPE " or (UPPER(LABORATORIO) = 'CONTROLE QUALIDADE') or UPPER(LABORATORIO) = 'EMTRANSITO')) and (VALIDADE > '12/25/24') and (SALDOCORRENTE  > 0) order by DESCRICAO, VALIDADE"},
    {8, 0, "select " COLS " from ESTLOTE where (" SCOPE SHARED " and SALDOCORRENTE > 0 and VALIDADE between '2024-12-25' and '2025-02-23' order by VALIDADE"},
    {9, 0, "select " COLS " from ESTLOTE where " MP_SUBQUERY " and (" SCOPE ") AND (estlote.saldocorrente > 0) and (estlote.validade >= current_date) order by DESCRICAO, VALIDADE"},
    {10, 0, "select " COLS " from ESTLOTE where (" SCOPE " or UPPER(LABORATORIO) = 'TERCEIROS' or UPPER(LABORATORIO) = 'TERCEIROS') and VALIDADE > '12/25/24' and UPPER(LABORATORIO) = 'TERCEIROS' order by DESCRICAO, VALIDADE"},
    // Expired lots included.
    {0, 1, "select " COLS " from ESTLOTE where (" SCOPE SHARED " order by DESCRICAO, VALIDADE"},
    {1, 1, "select " COLS " from ESTLOTE where LABORATORIO = 'Controle Qualidade' order by DESCRICAO, VALIDADE"},
    {2, 1, "select " COLS " from ESTLOTE where (" SCOPE SHARED " and CONTROLADA = 'Sim' order by DESCRICAO, VALIDADE"},
    {3, 1, "select " COLS " from ESTLOTE where UPPER(LABORATORIO) = 'EMTRANSITO' order by DESCRICAO, VALIDADE"},
    {4, 1, "select " ACOLS " from ESTLOTE A, COMPONEN B where A.CODIGO = B.CODIGO and B.GRUPO = 'REV' order by A.DESCRICAO"},
    {5, 1, "select " COLS " from ESTLOTE where " MP_SUBQUERY " and (" SCOPE SHARED " order by DESCRICAO, VALIDADE"},
    {6, 1, "select " COLS " from ESTLOTE where (" SCOPE SHARED " and SALDOCORRENTE > 0 order by DESCRICAO, VALIDADE"},
    {7, 1, "select " COLS " from ESTLOTE where " SUP_SUBQUERY " and (" SCOPE SHARED " order by DESCRICAO, VALIDADE"},
    {8, 1, "select " COLS " from ESTLOTE where (" SCOPE SHARED " and SALDOCORRENTE > 0 and VALIDADE between '2024-12-25' and '2025-02-23' order by VALIDADE"},
    {9, 1, "select " COLS " from ESTLOTE where " MP_SUBQUERY " and (" SCOPE ") AND (estlote.saldocorrente > 0) order by DESCRICAO, VALIDADE"},
    {10, 1, "select " COLS " from ESTLOTE where UPPER(LABORATORIO) = 'TERCEIROS' order by DESCRICAO, VALIDADE"},
    // Any mode box index but 1 hides expired lots: none selected, or text typed into the box.
    {6, -1, "select " COLS " from ESTLOTE where (" SCOPE SHARED " and VALIDADE > '12/25/24' and SALDOCORRENTE  > 0 order by DESCRICAO, VALIDADE"},
    {1, 2, "select " COLS " from ESTLOTE where VALIDADE > '12/25/24' and LABORATORIO = 'Controle Qualidade' order by DESCRICAO, VALIDADE"},
    // No view selected: nothing to run.
    {-1, 0, ""},
    {-1, 1, ""},
    {11, 0, ""},
};

TEST(StockStatement, EveryViewInBothModes)
{
    const QDate christmas(2024, 12, 25);
    const QString scope = QStringLiteral(SCOPE);
    for (const StatementCase &c : kStatements) {
        SCOPED_TRACE(testing::Message() << "view " << c.index1 << ", mode " << c.index2);
        EXPECT_EQ(StockStatement(c.index1, c.index2, scope, christmas), QString::fromLatin1(c.expected));
    }
}

TEST(StockStatement, AStoreWithoutLaboratoriesMatchesNoneOfItsOwn)
{
    const QDate christmas(2024, 12, 25);
    EXPECT_EQ(StockStatement(0, 0, QString(), christmas),
              QStringLiteral("select " COLS " from ESTLOTE where ((1 = 0)" SHARED
                             " and VALIDADE > '12/25/24' order by DESCRICAO, VALIDADE"));
    EXPECT_EQ(StockStatement(9, 0, QString(), christmas),
              QStringLiteral("select " COLS " from ESTLOTE where " MP_SUBQUERY
                             " and ((1 = 0)) AND (estlote.saldocorrente > 0) and (estlote.validade >= current_date) "
                             "order by DESCRICAO, VALIDADE"));
}

// ---------------------------------------------------------------------------------------------
// The views against rows.

const QString kStoreLabs = QStringLiteral("(UPPER(LABORATORIO) = 'MANIPULAçãO') OR (UPPER(LABORATORIO) = 'LOJA 1')");

struct Lot {
    const char *lote;
    const char *descricao;
    int saldo;
    const char *unidade;
    int validadeFromToday;   // kNoExpiry: no date
    const char *laboratorio;
    const char *controlada;
};

constexpr int kNoExpiry = 9999;

// ACIDO is a raw material (MP), ALGODAO a supply (SUP), SABONETE a resale product (REV).
const Lot kLots[] = {
    {"VIVO", "ACIDO", 5, "g", 100, "Manipulação", "Não"},
    {"HOJE", "ACIDO", 5, "g", 0, "Manipulação", "Não"},
    {"SEMVAL", "ACIDO", 5, "g", kNoExpiry, "Manipulação", "Não"},
    {"VENCIDO", "ACIDO", 5, "g", -1, "Manipulação", "Não"},
    {"ZERO", "ACIDO", 0, "g", 100, "Manipulação", "Não"},
    {"CTRL", "ACIDO", 5, "g", 100, "Manipulação", "Sim"},
    {"FIM60", "ACIDO", 5, "g", 60, "Manipulação", "Não"},
    {"POS60", "ACIDO", 5, "g", 61, "Manipulação", "Não"},
    {"MINUSC", "ACIDO", 5, "g", 100, "manipulação", "Não"},
    {"UNUP", "SABONETE", 5, "UN", 100, "LOJA 1", "Não"},
    {"SUPVIVO", "ALGODAO", 5, "un", 100, "Loja 1", "Não"},
    {"SUPZERO", "ALGODAO", 0, "un", 100, "Loja 1", "Não"},
    {"CQMIX", "ACIDO", 5, "g", 100, "Controle Qualidade", "Não"},
    {"CQUP", "ACIDO", 5, "g", 100, "CONTROLE QUALIDADE", "Não"},
    {"TRANS", "ACIDO", 5, "g", 100, "EMTRANSITO", "Não"},
    {"TRANSV", "ACIDO", 5, "g", -1, "EmTransito", "Não"},
    {"TERC", "ACIDO", 5, "g", 100, "Terceiros", "Não"},
    {"OUTRA", "SABONETE", 5, "un", 100, "Outra Loja", "Não"},
    {"OUTRAMP", "ACIDO", 5, "g", 100, "Outra Loja", "Não"},
};

struct ViewRows {
    int index1;
    int index2;
    const char *scope;   // "store": the store's two laboratories; "": none
    std::vector<const char *> lots;
};

// Hide mode keeps VALIDADE strictly after today (HOJE, SEMVAL and VENCIDO drop out) except in
// views 8 and 9; the shared locations come in wherever the store's part does.
const ViewRows kViewRows[] = {
    {0, 0, "store", {"VIVO", "ZERO", "CTRL", "FIM60", "POS60", "MINUSC", "UNUP", "SUPVIVO", "SUPZERO", "CQMIX", "CQUP", "TRANS"}},
    {0, 1, "store", {"VIVO", "HOJE", "SEMVAL", "VENCIDO", "ZERO", "CTRL", "FIM60", "POS60", "MINUSC", "UNUP", "SUPVIVO",
                     "SUPZERO", "CQMIX", "CQUP", "TRANS", "TRANSV"}},
    // The quality-control location exactly as written, not its upper-case spelling.
    {1, 0, "store", {"CQMIX"}},
    {1, 1, "store", {"CQMIX"}},
    {2, 0, "store", {"CTRL"}},
    {2, 1, "store", {"CTRL"}},
    {3, 0, "store", {"TRANS"}},
    {3, 1, "store", {"TRANS", "TRANSV"}},
    // Resale products of every store, joined on the code.
    {4, 0, "store", {"UNUP", "OUTRA"}},
    {4, 1, "store", {"UNUP", "OUTRA"}},
    // By unit in hide mode ("UN" stays, "un" goes), by group in include mode.
    {5, 0, "store", {"VIVO", "ZERO", "CTRL", "FIM60", "POS60", "MINUSC", "UNUP", "CQMIX", "CQUP", "TRANS"}},
    {5, 1, "store", {"VIVO", "HOJE", "SEMVAL", "VENCIDO", "ZERO", "CTRL", "FIM60", "POS60", "MINUSC", "CQMIX", "CQUP",
                     "TRANS", "TRANSV"}},
    {6, 0, "store", {"VIVO", "CTRL", "FIM60", "POS60", "MINUSC", "UNUP", "SUPVIVO", "CQMIX", "CQUP", "TRANS"}},
    {6, 1, "store", {"VIVO", "HOJE", "SEMVAL", "VENCIDO", "CTRL", "FIM60", "POS60", "MINUSC", "UNUP", "SUPVIVO", "CQMIX",
                     "CQUP", "TRANS", "TRANSV"}},
    {7, 0, "store", {"SUPVIVO"}},
    {7, 1, "store", {"SUPVIVO", "SUPZERO"}},
    // Today to today + 60, both ends included, in either mode.
    {8, 0, "store", {"HOJE", "FIM60"}},
    {8, 1, "store", {"HOJE", "FIM60"}},
    // The store's own raw materials with stock: valid on the server's date, or expired ones too.
    {9, 0, "store", {"VIVO", "HOJE", "CTRL", "FIM60", "POS60", "MINUSC"}},
    {9, 1, "store", {"VIVO", "HOJE", "SEMVAL", "VENCIDO", "CTRL", "FIM60", "POS60", "MINUSC"}},
    {10, 0, "store", {"TERC"}},
    {10, 1, "store", {"TERC"}},
    // A store without laboratories still sees the shared locations.
    {0, 0, "", {"CQMIX", "CQUP", "TRANS"}},
    {0, 1, "", {"CQMIX", "CQUP", "TRANS", "TRANSV"}},
    {6, 0, "", {"CQMIX", "CQUP", "TRANS"}},
    {8, 0, "", {}},
    {9, 1, "", {}},
};

QString dateLiteral(const QDate &today, int fromToday)
{
    return fromToday == kNoExpiry ? QStringLiteral("null")
                                  : QLatin1Char('\'') + today.addDays(fromToday).toString(Qt::ISODate) + QLatin1Char('\'');
}

void insertLots(db::Connection &conn, const QDate &today)
{
    const char *products[][3] = {{"P1", "ACIDO", "MP"}, {"P2", "ALGODAO", "SUP"}, {"P3", "SABONETE", "REV"}};
    for (const auto &p : products)
        conn.execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO) values ('%1', '%2', '%3')")
                         .arg(QLatin1String(p[0]), QLatin1String(p[1]), QLatin1String(p[2])));
    for (const Lot &l : kLots) {
        const QString code = QLatin1String(l.descricao) == QLatin1String("ACIDO") ? QStringLiteral("P1")
            : QLatin1String(l.descricao) == QLatin1String("ALGODAO")             ? QStringLiteral("P2")
                                                                                  : QStringLiteral("P3");
        conn.execute(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, UNIDADE, "
                                    "VALIDADE, LABORATORIO, CONTROLADA) values ('%1', '%2', 'FORN', '%3', %4, '%5', %6, "
                                    "'%7', '%8')")
                         .arg(QString::fromUtf8(l.descricao), QString::fromUtf8(l.lote), code, QString::number(l.saldo),
                              QString::fromUtf8(l.unidade), dateLiteral(today, l.validadeFromToday),
                              QString::fromUtf8(l.laboratorio), QString::fromUtf8(l.controlada)));
    }
}

QStringList lotsOf(const db::Rows &rows)
{
    QStringList out;
    const int col = rows.indexOf(QStringLiteral("LOTE"));
    for (const auto &row : rows.rows)
        out << row.at(col).toString();
    return out;
}

TEST(StockViews, SelectTheLotsOfEachView)
{
    testsupport::TempDatabase tdb;
    // View 9 compares with the server's date, so the lots are placed around the real today.
    const QDate today = QDate::currentDate();
    insertLots(tdb.conn(), today);
    for (const ViewRows &v : kViewRows) {
        SCOPED_TRACE(testing::Message() << "view " << v.index1 << ", mode " << v.index2 << ", scope \"" << v.scope << '"');
        const QString scope = *v.scope ? kStoreLabs : QString();
        QStringList got = lotsOf(tdb.conn().query(StockStatement(v.index1, v.index2, scope, today)));
        QStringList expected;
        for (const char *lot : v.lots)
            expected << QString::fromLatin1(lot);
        got.sort();
        expected.sort();
        EXPECT_EQ(got, expected);
    }
}

TEST(StockViews, NearestExpiriesComeEarliestFirst)
{
    testsupport::TempDatabase tdb;
    const QDate today = QDate::currentDate();
    insertLots(tdb.conn(), today);
    EXPECT_EQ(lotsOf(tdb.conn().query(StockStatement(8, 0, kStoreLabs, today))),
              (QStringList{QStringLiteral("HOJE"), QStringLiteral("FIM60")}));
}

// ---------------------------------------------------------------------------------------------
// Reloading the grid's dataset.

// Lots dated around the real today: view 9 compares with the server's own date.
struct StockGrid : ::testing::Test, testsupport::ModuleRig {
    void SetUp() override
    {
        clock.set(QDateTime(QDate::currentDate(), QTime(12, 0)));
        run.LabScopeClause = kStoreLabs;
        insertLots(tdb.conn(), clock.today());
    }

    QStringList gridLots()
    {
        QStringList out;
        for (int r = 0; r < dm.ESTLOTE.rowCount(); ++r)
            out << dm.ESTLOTE.valueAt(r, dm.ESTLOTE.fieldIndex(QStringLiteral("LOTE"))).toString();
        return out;
    }
};

TEST_F(StockGrid, ReloadsTheLotsOfTheChosenView)
{
    browser::BuildStockQuery(dm, 8, 1, clock, wait);
    ASSERT_TRUE(dm.ESTLOTE.isOpen());
    EXPECT_EQ(gridLots(), (QStringList{QStringLiteral("HOJE"), QStringLiteral("FIM60")}));
    EXPECT_EQ(wait.calls, (QStringList{QStringLiteral("show"), QStringLiteral("hide")}));
}

TEST_F(StockGrid, NoViewSelectedKeepsTheRows)
{
    browser::BuildStockQuery(dm, 2, 0, clock, wait);
    const QString before = dm.ESTLOTE.commandText();
    for (int index1 : {-1, 11}) {
        browser::BuildStockQuery(dm, index1, 0, clock, wait);
        EXPECT_TRUE(dm.ESTLOTE.isOpen());
        EXPECT_EQ(dm.ESTLOTE.commandText(), before);
        EXPECT_EQ(gridLots(), QStringList{QStringLiteral("CTRL")});
    }
    // The wait panel flashes even when nothing runs.
    EXPECT_EQ(wait.calls.size(), 6);
    EXPECT_EQ(wait.calls.last(), QStringLiteral("hide"));
}

TEST_F(StockGrid, ARefusedStatementHidesTheWaitAndKeepsTheRowsShown)
{
    browser::BuildStockQuery(dm, 0, 0, clock, wait);
    ASSERT_TRUE(dm.ESTLOTE.isOpen());
    const QStringList shown = gridLots();
    run.LabScopeClause = QStringLiteral("(UPPER(LABORATORIO) = 'X'");   // unbalanced
    wait.calls.clear();
    EXPECT_THROW(browser::BuildStockQuery(dm, 6, 0, clock, wait), db::DbError);
    EXPECT_EQ(wait.calls, (QStringList{QStringLiteral("show"), QStringLiteral("hide")}));
    // The rows stay until a statement has really returned new ones.
    EXPECT_TRUE(dm.ESTLOTE.isOpen());
    EXPECT_EQ(gridLots(), shown);
}

} // namespace
