// The manufacturing physical/financial build on a small real fixture: which lots and products
// count, the arithmetic, the messages, the diagnostic log byte for byte, the set-based build
// against the lot-by-lot algorithm, and the staging table replaced whole or not at all.
#include "reports/manufacturing.h"
#include "reports/trm.h"

#include "../../bench/manufacturing_rowbyrow.h"
#include "reportrig.h"
#include "support/qtprint.h"

#include "platform/cp1252.h"

#include <QFile>
#include <gtest/gtest.h>

using testsupport::MessageKind;

namespace {

class Manufacturing : public ::testing::Test, public reportstest::ReportRig {
protected:
    reports::NoProgress progress;
    reports::ConsistencyErrors errors;
    reportstest::RecordingView view;

    reports::ReportContext ctx() { return reports::ReportContext{dm, run, clock, paths, op, progress, errors}; }

    void product(const QString &code, const QString &name, const QString &group, const QString &unit, const QString &cost,
                 const QString &divisor, const QString &price, const QString &dilution = QStringLiteral("1"))
    {
        exec(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, PRECOR, "
                            "FATORDILUICAO) values (%1, %2, %3, %4, %5, %6, %7, %8)")
                 .arg(db::quoted(code), db::quoted(name), db::quoted(group), db::quoted(unit), cost, divisor, price, dilution));
    }
    void lot(const QString &code, const QString &description, const QString &lote, const QString &supplier,
             const QString &balance, const QString &unit, const QString &expiry, const QString &lab = QStringLiteral("Lab 1"))
    {
        exec(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, SALDOCORRENTE, UNIDADE, VALIDADE, "
                            "LABORATORIO) values (%1, %2, %3, %4, %5, %6, %7, %8)")
                 .arg(db::quoted(code), db::quoted(description), db::quoted(lote), db::quoted(supplier), balance,
                      db::quoted(unit), expiry.isEmpty() ? QStringLiteral("null") : db::quoted(expiry), db::quoted(lab)));
    }

    // Today is 2024-03-07.
    void fixture()
    {
        product("P01", "Ácido Bórico", "MP", "g", "9.8", "3", "29.4");
        product("P02", "Expirado", "MP", "g", "1", "1", "2");
        product("P03", "Sabonete", "REV", "UN", "3.1", "1", "7.5");
        product("P04", "Arnica TM", "HOM", "ml", "0.4", "1", "1.8");
        product("P05", "Calêndula TM", "hom", "ml", "0.38", "1", "1.7");
        product("P07", "Alantoína", "MP", "g", "0.5", "0", "1.9");
        product("P08", "Cafeína", "MP", "g", "0.25", "0.5", "0.95");
        product("P'9", "Pó d'Arroz", "MP", "g", "1", "4", "3");
        product("P10", "Ureia", "MP", "kg", "12", "1", "40");
        product("P11", "Vitamina B12", "MP", "mg", "0.9", "1", "3.1", "100");
        lot("P01", "Ácido Bórico", "L1A", "Fênix Química", "2500", "mg", "2025-01-01", "Lab 1");
        lot("P01", "Ácido Bórico", "L1B", "Outro", "2500", "MG", "2025-02-01", "Lab 2");
        lot("P02", "Expirado", "L2A", "F", "10", "g", "2024-03-07");   // expires today
        lot("P02", "Expirado", "L2B", "F", "10", "g", "");             // no expiry
        lot("P02", "Expirado", "L2C", "F", "0", "g", "2025-01-01");    // nothing left
        lot("P02", "Expirado", "L2D", "F", "-5", "g", "2025-01-01");
        lot("P03", "Sabonete", "L3", "F", "10", "UN", "2025-01-01");
        lot("P04", "Arnica TM", "L4", "F", "10", "ml", "2025-01-01");
        lot("P05", "Calêndula TM", "L5", "F", "10", "ml", "2025-01-01");
        lot("P06", "Sem cadastro", "L6", "F", "10", "g", "2025-01-01");
        lot("P07", "Alantoína", "L7A", "F", "10", "g", "2025-01-01");
        lot("P07", "Alantoína", "L7B", "F", "20", "g", "2025-01-01");
        lot("P08", "Cafeína", "L8A", "F", "4", "g", "2025-01-01");
        lot("P08", "Cafeína", "L8B", "F", "6", "g", "2025-01-01");
        lot("P'9", "Pó d'Arroz", "L9", "F", "8", "g", "2025-01-01");
        const QString longSupplier = QStringLiteral("Distribuidora de Insumos Farmacêuticos");   // 38 > 35
        lot("P10", "Ureia", "L10A", longSupplier, "3", "kg", "2025-01-01");
        lot("P10", "Ureia", "L10B", longSupplier, "4", "kg", "2025-01-01");
        lot("P11", "Vitamina B12", "L11", "F", "500", "mcg", "2025-01-01");
    }

    // RELESTLOTE, one text per row.
    QStringList staged()
    {
        const db::Rows rows = ws.conn().query(QStringLiteral(
            "select CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, UNIDADE, SALDOCORRENTE, PRECOCUSTO, PRECOVENDA, "
            "ESTOQUECUSTO, ESTOQUEVENDA, SALDOPREVISTO, VALIDADE from RELESTLOTE order by CODIGO"));
        QStringList out;
        for (const auto &r : rows.rows) {
            QStringList cells;
            for (const db::Value &v : r)
                cells << (v.isNull() ? QStringLiteral("null") : v.kind() == db::Value::Kind::Double ? QString::number(v.toDouble(), 'g', 17) : v.toString());
            out << cells.join(QStringLiteral(" | "));
        }
        return out;
    }
};

TEST_F(Manufacturing, StagingRules)
{
    fixture();
    auto c = ctx();
    ASSERT_TRUE(reports::BuildManufacturingStaging(c));
    EXPECT_EQ(staged(), (QStringList{
        // 9.8 / 3 = 3.2666...: the unit cost keeps 8 decimals. A further lot's stock cost divides the
        // whole balance by the divisor: 2502.5 * 9.8 / 3.
        "P'9 | Pó d'Arroz | L9 | F | Lab 1 | g | 8 | 0.25 | 3 | 2 | 24 | null | null",
        "P01 | Ácido Bórico | L1A | Fênix Química | Lab 1 | g | 2502.5 | 3.26666667 | 29.4 | 8174.833333333333 | 73573.5 | null | null",
        "P07 | Alantoína | L7A | F | Lab 1 | g | 30 | 0.5 | 1.9 | 5 | 57 | null | null",
        "P08 | Cafeína | L8A | F | Lab 1 | g | 10 | 0.25 | 0.95 | 5 | 9.5 | null | null",
        "P11 | Vitamina B12 | L11 | F | Lab 1 | mg | 0.5 | 0.9 | 3.1 | 0.45000000000000001 | 1.55 | null | null",
    }));
    EXPECT_EQ(errors.lines, (QStringList{
        "O componente Alantoína está com o DIVISOR DE UNIDADE = 0.",
        "Foram obtidos valores inconsistentes para o componente Alantoína (código P07). Estes valores não foram computados.",
        "O componente Ureia (código P10) não pôde ser gravado no relatório. Veja c:\\formulix\\log_rel_estlote.txt.",
    }));
    EXPECT_EQ(errors.count, 3);
    EXPECT_TRUE(op.messages().isEmpty());
    // Without the marker only the header and the two refused saves of P10.
    const QByteArray failed = platform::toCp1252(QStringLiteral("Componente: Ureia  Código: P10\r\n") + reports::kSaveFailedLine + "\r\n");
    EXPECT_EQ(diagnosticLog(), QByteArray("Diagnostico do RELESTLOTE\r\n") + failed + failed);
    // The staging dataset shows the new rows once.
    EXPECT_TRUE(dm.tbl_pdEstLote.isOpen());
    EXPECT_EQ(dm.tbl_pdEstLote.rowCount(), 5);
}

TEST_F(Manufacturing, UndilutedOnlyWhenConfigured)
{
    fixture();
    run.siteConfig.IncludeDiluted = QStringLiteral("não");
    auto c = ctx();
    ASSERT_TRUE(reports::BuildManufacturingStaging(c));
    QStringList codes;
    for (const QString &row : staged())
        codes << row.section(QStringLiteral(" | "), 0, 0);
    // Homeopathic products with a dilution of 1 now count; the diluted vitamin does not.
    EXPECT_EQ(codes, (QStringList{"P'9", "P01", "P04", "P05", "P07", "P08"}));
}

TEST_F(Manufacturing, NoQualifyingLotsLeavesTheTableEmpty)
{
    lot("P01", "X", "L", "F", "10", "g", "2024-03-07");
    execWs(QStringLiteral("insert into RELESTLOTE (CODIGO, LOTE, FORNECEDOR, LABORATORIO) values ('OLD', 'L', 'F', 'X')"));
    auto c = ctx();
    ASSERT_TRUE(reports::BuildManufacturingStaging(c));
    EXPECT_TRUE(staged().isEmpty());
    EXPECT_EQ(diagnosticLog(), QByteArray("Diagnostico do RELESTLOTE\r\n"));
}

// The set-based build gives the rows, the messages and the log bytes of the lot-by-lot algorithm.
TEST_F(Manufacturing, SameResultAsLotByLot)
{
    fixture();
    // A lot without supplier cannot be saved (a key column); a sum past the column's range neither.
    product("P13", "Sem fornecedor", "MP", "g", "1", "1", "1");
    lot("P13", "Sem fornecedor", "L13", "", "1", "g", "2025-01-01");
    product("P12", "Enorme", "MP", "g", "1", "1", "1");
    lot("P12", "Enorme", "L12A", "F", "60000000000", "g", "2025-01-01");
    lot("P12", "Enorme", "L12B", "F", "60000000000", "g", "2025-01-01");
    setMarker(true);
    for (const char *diluted : {"S", "N"}) {
        SCOPED_TRACE(diluted);
        run.siteConfig.IncludeDiluted = QLatin1String(diluted);
        reports::ConsistencyErrors lotByLot;
        ASSERT_TRUE(reference::BuildRowByRow(dm, run, clock, paths, [this] { return int(op.texts(MessageKind::Warn).size()); },
                                             lotByLot));
        const QStringList referenceRows = staged();
        const QByteArray referenceLog = diagnosticLog();
        op.clear();

        auto c = ctx();
        ASSERT_TRUE(reports::BuildManufacturingStaging(c));
        EXPECT_EQ(staged(), referenceRows);
        EXPECT_EQ(diagnosticLog(), referenceLog);
        // The same messages, and each refused product once more instead of a message box per row.
        QStringList listed = errors.lines;
        listed.removeIf([](const QString &l) { return l.contains(QStringLiteral("não pôde ser gravado")); });
        EXPECT_EQ(listed, lotByLot.lines);
        EXPECT_EQ(errors.lines.filter(QStringLiteral("não pôde ser gravado")).size(), 3);   // P10, P12, P13
        EXPECT_TRUE(op.messages().isEmpty());
        dm.tbl_pdEstLote.close();
    }
    // The detailed lines as they are written, numbers in the general form with ",".
    const QString log = platform::fromCp1252(diagnosticLog());
    EXPECT_TRUE(log.startsWith(QStringLiteral(
        "Diagnostico do RELESTLOTE\r\n"
        "Componente: Pó d'Arroz  Código: P'9\r\nVou calcular o saldo corrente: 8 / 1\r\n"
        "SaldoCorrente: 8  Código: P'9\r\nVou procurar o código P'9 na tabela EstLote.\r\nNão encontrei, então vou incluir.\r\n"
        "Componente: Ácido Bórico  Código: P01\r\nVou calcular o saldo corrente: 2500 / 1000\r\n"
        "SaldoCorrente: 2,5  Código: P01\r\nVou procurar o código P01 na tabela EstLote.\r\nNão encontrei, então vou incluir.\r\n"
        "Componente: Ácido Bórico  Código: P01\r\nVou calcular o saldo corrente: 2500 / 1\r\n"
        "SaldoCorrente: 2500  Código: P01\r\nVou procurar o código P01 na tabela EstLote.\r\n"
        "Encontrei, então vou acrescentar no saldo corrente já existente.\r\n")))
        << log.toStdString();
}

TEST_F(Manufacturing, StagingTableUnreachable)
{
    fixture();
    errors.add(QStringLiteral("of an earlier build"));
    connections.SQLConnection2.configure(db::Target{dir.filePath(QStringLiteral("missing/formulix.bd")), true, true});
    auto c = ctx();
    EXPECT_FALSE(reports::BuildManufacturingStaging(c));
    EXPECT_EQ(op.texts(), QStringList{
        "Erro ao tentar acessar a tabela RELESTLOTE no banco de dados do usuário ANA (em Interfac01).\r"
        "Favor entrar em contato com o suporte técnico da QUR Sistemas para corrigir o problema.\r"
        "Sugestão ao suporte técnico: Copie o FORMULIX.BD da pasta Interfac para a pasta Interfac01."});
    EXPECT_EQ(errors.count, 1);
    EXPECT_TRUE(diagnosticLog().isEmpty());
}

// A build that stops halfway leaves the last complete report, never part of a new one.
TEST_F(Manufacturing, StoppedBuildKeepsThePreviousRows)
{
    fixture();
    auto c = ctx();
    ASSERT_TRUE(reports::BuildManufacturingStaging(c));
    const QStringList before = staged();
    lot("P20", "Novo", "L", "F", "1", "g", "2025-01-01");
    product("P20", "Novo", "MP", "g", "1", "1", "1");
    // The log cannot be made: the build ends through the general error display.
    QFile::remove(dir.filePath(QStringLiteral("c/FORMULIX/log_rel_estlote.txt")));
    QDir(dir.path()).mkpath(QStringLiteral("c/FORMULIX/log_rel_estlote.txt"));
    EXPECT_THROW(reports::BuildManufacturingStaging(c), std::runtime_error);
    EXPECT_EQ(staged(), before);
}

TEST_F(Manufacturing, ReportWithStoreHeader)
{
    fixture();
    exec(QStringLiteral("insert into DADOSGER (CNPJ, FARMACIA, CGC) values ('12''345', 'Farmácia d''Ajuda', '12.345/0001-99')"));
    exec(QStringLiteral("insert into DADOSGER (CNPJ, FARMACIA) values ('999', 'Outra loja')"));
    run.StoreCnpj = QStringLiteral("12'345");
    reports::TRM rm(dm, paths, clock, op);
    rm.rvstm1.setView(&view);
    auto c = ctx();
    EXPECT_TRUE(reports::RunManufacturingReport(c, rm));   // 3 messages: the panel is to be shown
    ASSERT_EQ(view.presented, 1);
    const QStringList texts = view.texts();
    EXPECT_TRUE(texts.contains(QStringLiteral("Farmácia d'Ajuda")));
    EXPECT_FALSE(texts.contains(QStringLiteral("Outra loja")));
    EXPECT_TRUE(texts.contains(QStringLiteral("CNPJ 12.345/0001-99   Inscrição Estadual    Telefone ")));
    // Rows by description, pt-BR numbers, the totals of both value columns.
    const qsizetype first = texts.indexOf(QStringLiteral("P01"));
    ASSERT_GE(first, 0);
    EXPECT_EQ(texts.mid(first, 8), (QStringList{"P01", "Ácido Bórico", "g", "2.502,500", "3,2667", "29,4000", "8.174,83", "73.573,50"}));
    EXPECT_TRUE(texts.contains(QStringLiteral("8.187,28")));   // 8174.8333 + 5 + 5 + 2 + 0.45
    EXPECT_TRUE(texts.contains(QStringLiteral("Página 1 de 1")));
    EXPECT_FALSE(dm.DadosGer.isOpen());
    EXPECT_FALSE(dm.tbl_pdEstLote.isOpen());
    EXPECT_FALSE(dm.qry_pdEstLote.isOpen());

    // "Visualizar": the same rows again, from the table as it stands.
    view.presented = 0;
    reports::ViewManufacturingReport(c, rm);
    EXPECT_EQ(view.presented, 1);
    EXPECT_TRUE(view.texts().contains(QStringLiteral("8.187,28")));
    EXPECT_FALSE(dm.DadosGer.isOpen());
    EXPECT_TRUE(op.messages().isEmpty());
}

TEST_F(Manufacturing, StoreHeaderUnreadable)
{
    fixture();
    exec(QStringLiteral("drop table DADOSGER"));
    reports::TRM rm(dm, paths, clock, op);
    rm.rvstm1.setView(&view);
    auto c = ctx();
    EXPECT_FALSE(reports::RunManufacturingReport(c, rm));
    EXPECT_EQ(view.presented, 0);
    EXPECT_EQ(staged().size(), 5);   // the table stays as built
    reports::ViewManufacturingReport(c, rm);
    EXPECT_EQ(view.presented, 0);
    EXPECT_EQ(op.texts(), (QStringList{
        "Erro na tabela DADOSGER. Execute o programa VERDELHO.EXE e execute a opção \"Criar cabeçalho de relatórios em "
        "Dadosger\" antes de continuar.",
        "Erro tentando abrir a tabela DADOSGER. Verifique se a estrutura da tabela é compatível com esta versão do sistema."}));
}

TEST_F(Manufacturing, MissingProjectStopsTheAction)
{
    fixture();
    QFile::remove(dir.filePath(QStringLiteral("c/FORMULIX/rpt/rel_EstoqueFisFin.rav")));
    reports::TRM rm(dm, paths, clock, op);
    rm.rvstm1.setView(&view);
    auto c = ctx();
    try {
        reports::RunManufacturingReport(c, rm);
        FAIL() << "no error";
    } catch (const reports_engine::ReportError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("The following reporting project does not exist:\n\"C:\\FORMULIX\\rpt\\rel_EstoqueFisFin.rav\""));
    }
    EXPECT_EQ(view.presented, 0);
}

} // namespace
