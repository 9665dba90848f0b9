// The three spreadsheet exports written byte for byte from a real central and workstation database.
#include "common/csvexport.h"

#include "../data/lotrows.h"
#include "support/modulerig.h"
#include "support/qtprint.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <unistd.h>

using testsupport::MessageKind;
using testsupport::RecordedMessage;

namespace {

TEST(CsvExport, FieldsAndNumbers)
{
    struct Case { const char *in, *out; };
    const Case fields[] = {
        {"Ácido", "Ácido"}, {"", ""}, {"a;b", "\"a;b\""}, {"5\" pol", "\"5\"\" pol\""}, {"x\ry", "\"x\ry\""},
        {"x\ny", "\"x\ny\""}, {"  blanks  ", "  blanks  "},
    };
    for (const Case &c : fields)
        EXPECT_EQ(exports::CsvField(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;

    struct Num { db::Value v; int decimals; const char *out; };
    auto dec = [](const char *t) { return db::Value::decimal(db::Decimal::fromString(QLatin1String(t))); };
    const Num numbers[] = {
        {dec("12.5"), 4, "12,5000"}, {db::Value(), 4, "0,0000"}, {db::Value(), 2, "0,00"}, {dec("0.00005"), 4, "0,0001"},
        {dec("0.00004999"), 4, "0,0000"}, {dec("-2.345"), 2, "-2,35"}, {dec("1234567.891"), 2, "1234567,89"},
        {dec("7"), 2, "7,00"}, {db::Value::integer(3), 4, "3,0000"},
        // Floating point columns, rounded as the decimal they show as.
        {db::Value::real(31.255), 2, "31,26"}, {db::Value::real(2.675), 2, "2,68"}, {db::Value::real(-0.001), 2, "0,00"},
        {db::Value::real(-0.005), 2, "-0,01"}, {db::Value::real(1.005), 2, "1,01"}, {db::Value::real(-2.5), 0, "-3"},
        {db::Value::real(1234567.125), 2, "1234567,13"}, {db::Value::real(0.1 + 0.2), 4, "0,3000"},
    };
    for (const Num &n : numbers)
        EXPECT_EQ(exports::FixedDecimals(n.v, n.decimals), QLatin1String(n.out)) << n.out;
    EXPECT_EQ(exports::PlainValue(dec("12.50")), QStringLiteral("12,5"));
    EXPECT_EQ(exports::PlainValue(db::Value()), QString());
    EXPECT_EQ(exports::PlainValue(db::Value::date(QDate(2025, 12, 31))), QStringLiteral("31/12/2025"));

    EXPECT_EQ(exports::LotListPath(QDate(2025, 12, 31)), QStringLiteral("c:\\FORMULIX\\LOTVIEW25.12.31.CSV"));
    EXPECT_EQ(exports::LotListMessage(QDate(2025, 12, 31)),
              QStringLiteral("O arquivo foi gerado com sucesso na pasta: \rC:\\FORMULIX\\LOTVIEW25.12.31.CSV\r"
                             "Agora, basta abrir esse arquivo criado no excel."));
    EXPECT_EQ(exports::StockValueMessage(QDate(2024, 3, 7)),
              QStringLiteral("Arquivo \"C:\\FORMULIX\\ESTOQFIN24.03.07.CSV\" gerado com sucesso. \rAbra-o no Excel."));
    EXPECT_EQ(exports::CostOfSalesMessage(QDate(2024, 3, 7)),
              QStringLiteral("Arquivo \"C:\\FORMULIX\\CPV24.03.07.CSV\" gerado com sucesso. \rAbra-o no Excel."));
}

class Exports : public ::testing::Test {
protected:
    testsupport::ModuleRig rig;
    testsupport::TempDatabase workstation{{QStringLiteral("workstation")}};

    void SetUp() override { rig.connections.SQLConnection2.configure(workstation.target()); }
    QDate today() const { return rig.clock.today(); }
};

TEST_F(Exports, LotListInTheGridsOrderWithoutScrollingRowByRow)
{
    rig.exec(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, "
                            "UNIDADE, VALIDADE, CONTROLADA, DENSIDADE, FATORCORRECAO) values ('001', 'Ácido; bórico', "
                            "'L2', 'Galena', 'Almoxarifado', 12.5, 'G', '2025-12-31', 'N', 1.05, 1)"));
    rig.exec(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, "
                            "UNIDADE, CONTROLADA) values ('002', 'Cápsula 5\" gel', 'L1', 'Fagron', 'Almoxarifado', "
                            "null, 'UN', 'S')"));
    rig.exec(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE) "
                            "values ('003', 'Fora do filtro', 'L0', 'X', 'Outro', 1)"));
    auto &ds = rig.dm.ESTLOTE;
    ds.setCommandText(QStringLiteral("select ") + core::kLotColumnList
                      + QStringLiteral(" from ESTLOTE where LABORATORIO = 'Almoxarifado' order by DESCRICAO"));
    ds.open();
    ds.setIndexFieldNames(QStringLiteral("LOTE"));   // a title click on "Lote"
    ds.first();   // the operator's lot, the first of two
    int scrolls = 0;
    auto hook = ds.afterScroll;
    ds.afterScroll = [&](data::CachedDataset &d) { ++scrolls; if (hook) hook(d); };

    exports::ExportLotList(ds, rig.paths, today(), rig.op);

    EXPECT_EQ(rig.fileBytes(QStringLiteral("c/FORMULIX/LOTVIEW24.03.07.CSV")),
              QByteArray("C\xd3" "DIGO;DESCRI\xc7\xc3" "O;LOTE;FORNECEDOR;LABORAT\xd3" "RIO;SALDO CORRENTE;UNID.;VALIDADE;"
                         "CONTROLADA;DENSIDADE;FATOR CORRE\xc7\xc3" "O\r\n"
                         "002;\"C\xe1psula 5\"\" gel\";L1;Fagron;Almoxarifado;;UN;;S;;\r\n"
                         "001;\"\xc1" "cido; b\xf3rico\";L2;Galena;Almoxarifado;12,5;G;31/12/2025;N;1,05;1\r\n"));
    EXPECT_EQ(rig.op.messages(),
              (QList<RecordedMessage>{{MessageKind::Inform, exports::LotListMessage(today())}}));
    EXPECT_EQ(ds.currentRow(), 0);   // the grid stays on the operator's lot
    EXPECT_EQ(scrolls, 0);
}

void addStaged(db::Connection &c, const char *values)
{
    c.execute(QStringLiteral("insert into RELESTLOTE (DESCRICAO, CODIGO, SALDOCORRENTE, UNIDADE, VALIDADE, PRECOCUSTO, "
                             "PRECOVENDA, ESTOQUECUSTO, ESTOQUEVENDA) values (%1)").arg(QString::fromUtf8(values)));
}

TEST_F(Exports, StagedReportsByteForByte)
{
    auto &c = workstation.conn();
    addStaged(c, "'Óleo; mineral', '010', 2.5, 'ML', '2025-01-01', 12.5, 20, 31.256, 50.004");
    // Null VALIDADE sorts first, as the server orders nulls.
    addStaged(c, "'Açúcar', '011', null, 'G', null, null, null, null, null");
    addStaged(c, "'Açúcar', '012', 1000, 'G', '2024-06-30', 0.00005, 1.23456, 0.005, 1");

    exports::ExportStagedReport(exports::StagedReport::StockValue, rig.dm.qry_pdEstLote, rig.paths, today(), rig.op);
    EXPECT_EQ(rig.fileBytes(QStringLiteral("c/FORMULIX/ESTOQFIN24.03.07.CSV")),
              QByteArray("C\xd3" "DIGO;DESCRI\xc7\xc3" "O;QTDE.;UNID;CUSTO;PRE\xc7O VENDA;ESTOQUE CUSTO;ESTOQUE VENDA\r\n"
                         "011;A\xe7\xfa" "car;;G;0,0000;0,0000;0,00;0,00\r\n"
                         "012;A\xe7\xfa" "car;1000;G;0,0001;1,2346;0,01;1,00\r\n"
                         "010;\"\xd3leo; mineral\";2,5;ML;12,5000;20,0000;31,26;50,00\r\n"));
    EXPECT_FALSE(rig.dm.qry_pdEstLote.isOpen());

    exports::ExportStagedReport(exports::StagedReport::CostOfSales, rig.dm.qry_pdEstLote, rig.paths, today(), rig.op);
    EXPECT_EQ(rig.fileBytes(QStringLiteral("c/FORMULIX/CPV24.03.07.CSV")),
              QByteArray("DESCRI\xc7\xc3" "O;C\xd3" "DIGO;QDE_TOTAL;UNID;CUSTO_UNIT;CUSTO_TOTAL\r\n"
                         "A\xe7\xfa" "car;011;;G;0,0000;0,00\r\n"
                         "A\xe7\xfa" "car;012;1000;G;0,0001;0,01\r\n"
                         "\"\xd3leo; mineral\";010;2,5;ML;12,5000;31,26\r\n"));
    EXPECT_EQ(rig.op.texts(), (QStringList{exports::StockValueMessage(today()), exports::CostOfSalesMessage(today())}));

    // Empty staging: the header alone; the same day's file is replaced.
    c.execute(QStringLiteral("delete from RELESTLOTE"));
    exports::ExportStagedReport(exports::StagedReport::CostOfSales, rig.dm.qry_pdEstLote, rig.paths, today(), rig.op);
    EXPECT_EQ(rig.fileBytes(QStringLiteral("c/FORMULIX/CPV24.03.07.CSV")),
              QByteArray("DESCRI\xc7\xc3" "O;C\xd3" "DIGO;QDE_TOTAL;UNID;CUSTO_UNIT;CUSTO_TOTAL\r\n"));
}

TEST_F(Exports, ATargetNameThatIsALinkOrNoFileIsRefusedAndNothingIsWritten)
{
    const QString folder = rig.dir.filePath(QStringLiteral("c/FORMULIX"));
    const QString target = folder + QStringLiteral("/CPV24.03.07.CSV");
    const QString outside = rig.dir.filePath(QStringLiteral("outside.txt"));
    const QString nowhere = rig.dir.filePath(QStringLiteral("nowhere.txt"));
    const QString linkReason = QStringLiteral("O nome aponta para outro arquivo (link simbólico); nada foi gravado.");
    const QString notFileReason = QStringLiteral("O nome não é de um arquivo comum; nada foi gravado.");
    addStaged(workstation.conn(), "'X', '1', 1, 'G', null, 1, 1, 1, 1");
    struct Case {
        const char *what;
        std::function<bool()> make;
        QString reason;
    };
    const Case cases[] = {
        {"link to a file elsewhere", [&] { return QFile::link(outside, target); }, linkReason},
        {"link to nothing yet", [&] { return QFile::link(nowhere, target); }, linkReason},
        {"link to a folder", [&] { return QFile::link(rig.dir.path(), target); }, linkReason},
        {"a folder", [&] { return QDir().mkdir(target); }, notFileReason},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(target);
        QDir(target).removeRecursively();
        QFile o(outside);
        ASSERT_TRUE(o.open(QIODevice::WriteOnly));
        o.write("guardado\r\n");
        o.close();
        ASSERT_TRUE(c.make());
        rig.op.clear();
        exports::ExportStagedReport(exports::StagedReport::CostOfSales, rig.dm.qry_pdEstLote, rig.paths, today(), rig.op);
        EXPECT_EQ(rig.op.messages(),
                  (QList<RecordedMessage>{{MessageKind::Error, QStringLiteral("Não foi possível criar o arquivo "
                                                                              "\"C:\\FORMULIX\\CPV24.03.07.CSV\". ")
                                                                   + c.reason}}));
        EXPECT_EQ(rig.fileBytes(QStringLiteral("outside.txt")), QByteArray("guardado\r\n"));
        EXPECT_FALSE(QFileInfo::exists(nowhere));
        // No half-written file stays beside it.
        EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("CPV24.03.07.CSV")});
    }
    QDir(target).removeRecursively();

    // The lot list the same way; once the link is gone the file is written under its name.
    const QString lotList = folder + QStringLiteral("/LOTVIEW24.03.07.CSV");
    ASSERT_TRUE(QFile::link(outside, lotList));
    rig.op.clear();
    exports::ExportLotList(rig.dm.ESTLOTE, rig.paths, today(), rig.op);
    ASSERT_EQ(rig.op.messages().size(), 1);
    EXPECT_EQ(rig.op.messages()[0].text,
              QStringLiteral("Não foi possível criar o arquivo \"c:\\FORMULIX\\LOTVIEW24.03.07.CSV\". ") + linkReason);
    EXPECT_EQ(rig.fileBytes(QStringLiteral("outside.txt")), QByteArray("guardado\r\n"));
    QFile::remove(lotList);
    rig.op.clear();
    exports::ExportLotList(rig.dm.ESTLOTE, rig.paths, today(), rig.op);
    EXPECT_EQ(rig.op.texts(), QStringList{exports::LotListMessage(today())});
    EXPECT_FALSE(QFileInfo(lotList).isSymLink());
    EXPECT_TRUE(rig.fileBytes(QStringLiteral("c/FORMULIX/LOTVIEW24.03.07.CSV")).startsWith("C\xd3" "DIGO;"));
}

TEST_F(Exports, WhatRunsWhileTheExportBreathesCannotTakeItsRows)
{
    {
        db::Transaction tx(workstation.conn());
        db::Prepared ins(tx, QStringLiteral("insert into RELESTLOTE (DESCRICAO, CODIGO, SALDOCORRENTE, UNIDADE) "
                                            "values (?, ?, 1, 'G')"));
        for (int i = 0; i < 1200; ++i)
            ins.execute({db::Value::text(QStringLiteral("Ácido %1").arg(i, 5, 10, QLatin1Char('0'))),
                         db::Value::text(QString::number(i))});
        tx.commit();
    }
    // A report build started between two breaths closes the staging query and opens it again
    // on its own statement, as the builds do.
    int breaths = 0;
    exports::ExportStagedReport(exports::StagedReport::StockValue, rig.dm.qry_pdEstLote, rig.paths, today(), rig.op,
                                [&] {
                                    ++breaths;
                                    rig.dm.qry_pdEstLote.close();
                                    rig.dm.qry_pdEstLote.setSql(QStringLiteral("select CODIGO from RELESTLOTE where CODIGO = '7'"));
                                    rig.dm.qry_pdEstLote.open();
                                });
    EXPECT_EQ(breaths, 2);
    const QByteArray file = rig.fileBytes(QStringLiteral("c/FORMULIX/ESTOQFIN24.03.07.CSV"));
    EXPECT_EQ(file.count("\r\n"), 1201);
    EXPECT_TRUE(file.endsWith("1199;\xc1" "cido 01199;1;G;0,0000;0,0000;0,00;0,00\r\n"));
    EXPECT_EQ(rig.op.texts(), QStringList{exports::StockValueMessage(today())});
}

TEST_F(Exports, AFailureLeavesThePreviousFile)
{
    const QString folder = rig.dir.filePath(QStringLiteral("c/FORMULIX"));
    QFile old(folder + QStringLiteral("/CPV24.03.07.CSV"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("anterior\r\n");
    old.close();
    addStaged(workstation.conn(), "'X', '1', 1, 'G', null, 1, 1, 1, 1");

    // A folder nothing can be created in (root ignores permissions: the immutable mark then).
    bool locked = false;
    if (geteuid() != 0)
        locked = QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    else
        locked = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) == 0;
    if (!locked)
        GTEST_SKIP() << "cannot make a folder unwritable here";
    exports::ExportStagedReport(exports::StagedReport::CostOfSales, rig.dm.qry_pdEstLote, rig.paths, today(), rig.op);
    if (geteuid() != 0)
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    else
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder});

    EXPECT_EQ(rig.fileBytes(QStringLiteral("c/FORMULIX/CPV24.03.07.CSV")), QByteArray("anterior\r\n"));
    ASSERT_EQ(rig.op.messages().size(), 1);
    EXPECT_EQ(rig.op.messages()[0].kind, MessageKind::Error);
    EXPECT_TRUE(rig.op.messages()[0].text.startsWith(
        QStringLiteral("Não foi possível criar o arquivo \"C:\\FORMULIX\\CPV24.03.07.CSV\".")));
    EXPECT_FALSE(rig.dm.qry_pdEstLote.isOpen());

    // No suite folder at all.
    rig.op.clear();
    QDir(folder).removeRecursively();
    exports::ExportLotList(rig.dm.ESTLOTE, rig.paths, today(), rig.op);
    ASSERT_EQ(rig.op.messages().size(), 1);
    EXPECT_EQ(rig.op.messages()[0].kind, MessageKind::Error);
}

} // namespace
