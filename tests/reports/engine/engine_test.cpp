// The report engine on a small project: the page model rendered to plain text byte for byte, to
// PDF read back by the poppler tools and to RTF; projects read again at every run, the missing
// project's message, datasets opened for a run and closed after.
#include "reports/engine/engine.h"

#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/winpath.h"
#include "support/qtprint.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

using namespace reports_engine;

namespace {

// PDF writing needs the GUI application (fonts); the platform is offscreen in the tests.
int g_argc = 1;
char g_name[] = "test_reports_engine";
char *g_argv[] = {g_name, nullptr};
QGuiApplication g_app(g_argc, g_argv);

class MemoryConnection : public DataConnection {
public:
    QStringList fields;
    std::vector<std::vector<db::Value>> rows;
    bool opened = false;
    int opens = 0, closes = 0;
    bool isOpen() const override { return opened; }
    void open() override { opened = true; ++opens; }
    void close() override { opened = false; ++closes; }
    int rowCount() const override { return opened ? int(rows.size()) : 0; }
    int fieldIndex(const QString &f) const override { return int(fields.indexOf(f.toUpper())); }
    db::Value value(int row, int field) const override
    {
        readRows.insert(row);
        return rows[size_t(row)][size_t(field)];
    }
    mutable std::set<int> readRows;
};

// Keeps every page of what a run presented (the data is closed after the run); duringPresent runs
// on the model as the preview gets it.
struct RecordingView : RunView {
    int presented = 0;
    PageModel model;
    std::function<void(const PageModel &)> duringPresent;
    void present(const PageModel &m, const std::vector<FileRenderer> &) override
    {
        ++presented;
        if (duringPresent)
            duringPresent(m);
        model = m.laidOut();
    }
};

// One line of text is 1/6 inch (4.2333 mm) and one character 1/10 inch (2.54 mm): a page of
// 50 characters by 12 lines.
const char *kProject = R"(<?xml version="1.0" encoding="UTF-8"?>
<ravproject version="1">
  <report name="Lista" title="Título">
    <page width="127" height="50.8" left="0" top="0" right="0" bottom="0" font="Arial" fontsize="8"/>
    <pageheader height="4.2333">
      <text x="0" y="0" width="76.2" height="4.2333">{title} {now|d:dd/MM/yyyy} {Loja.NOME}</text>
    </pageheader>
    <detail connection="Dados" rowheight="4.2333" captionheight="4.2333">
      <column field="NOME" caption="Nome" width="50.8"/>
      <column field="VALOR" caption="Valor" width="25.4" align="right" format="#,##0.00" total="sum"/>
      <column field="DIA" caption="Dia" width="25.4" align="center"/>
    </detail>
    <summary height="4.2333"><text x="0" y="0" width="50.8" height="4.2333">Itens: {count}</text></summary>
    <pagefooter height="4.2333">
      <text x="0" y="0" width="127" height="4.2333" align="right">Página {page} de {pages}</text>
    </pagefooter>
  </report>
</ravproject>
)";

class Engine : public ::testing::Test {
protected:
    QTemporaryDir dir;
    platform::WinPaths paths;
    platform::FixedClock clock{QDate(2024, 3, 7), QTime(14, 5)};
    ReportEngine engine{paths, clock};
    MemoryConnection *data = nullptr;
    MemoryConnection *store = nullptr;
    RecordingView view;
    const QString project = QStringLiteral("C:\\FORMULIX\\rpt\\teste.rav");

    void SetUp() override
    {
        QDir(dir.path()).mkpath(QStringLiteral("c/FORMULIX/rpt"));
        paths = platform::WinPaths::parse(QStringLiteral("C: = c\n"), dir.path());
        writeProject(QByteArray(kProject));
        auto d = std::make_unique<MemoryConnection>();
        data = d.get();
        data->fields = QStringList{"NOME", "VALOR", "DIA"};
        for (int i = 1; i <= 11; ++i)
            data->rows.push_back({db::Value::text(i == 2 ? QStringLiteral("Ação € ç") : QStringLiteral("Item %1").arg(i)),
                                  i == 3 ? db::Value() : db::Value::decimal(db::Decimal{i == 1 ? 123450000000 : -12500000, 8}),
                                  db::Value::date(QDate(2024, 1, i))});
        engine.addConnection(QStringLiteral("Dados"), std::move(d));
        auto s = std::make_unique<MemoryConnection>();
        store = s.get();
        store->fields = QStringList{"NOME"};
        store->rows.push_back({db::Value::text(QStringLiteral("Loja d'Ajuda"))});
        store->opened = true;
        engine.addConnection(QStringLiteral("Loja"), std::move(s));
        engine.setView(&view);
        engine.makeFileRenderersAvailable();
    }

    void writeProject(const QByteArray &bytes)
    {
        QFile f(dir.filePath(QStringLiteral("c/FORMULIX/rpt/teste.rav")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    QString run(const QStringList &args, const QString &program)
    {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
};

TEST_F(Engine, PlainTextByteForByte)
{
    engine.execute(project, QStringLiteral("Lista"));
    ASSERT_EQ(view.presented, 1);
    EXPECT_EQ(view.model.pages.size(), 2u);
    // Cells anchor their texts at 10 characters an inch; a rule takes a line of its own.
    const QByteArray expected = platform::toCp1252(QStringLiteral(
        "Título 07/03/2024 Loja d'Ajuda\r\n"
        "Nome                    Valor    Dia\r\n"
        "----------------------------------------\r\n"
        "Item 1               1.234,50 01/01/2024\r\n"
        "Ação € ç                -0,13 02/01/2024\r\n"
        "Item 3                        03/01/2024\r\n"
        "Item 4                  -0,13 04/01/2024\r\n"
        "Item 5                  -0,13 05/01/2024\r\n"
        "Item 6                  -0,13 06/01/2024\r\n"
        "Item 7                  -0,13 07/01/2024\r\n"
        "Item 8                  -0,13 08/01/2024\r\n"
        "Item 9                  -0,13 09/01/2024\r\n"
        "                                     Página 1 de 2\r\n"
        "\fTítulo 07/03/2024 Loja d'Ajuda\r\n"
        "Nome                    Valor    Dia\r\n"
        "----------------------------------------\r\n"
        "Item 10                 -0,13 10/01/2024\r\n"
        "Item 11                 -0,13 11/01/2024\r\n"
        "----------------------------------------\r\n"
        "                     1.233,38\r\n"   // 1234.5 - 9 * 0.125, half away from zero
        "Itens: 11\r\n"
        "\r\n\r\n\r\n"
        "                                     Página 2 de 2\r\n"));
    EXPECT_EQ(PlainText(view.model), expected) << PlainText(view.model).toStdString();
}

// A column too narrow for its texts at 10 characters an inch is widened, on every page alike:
// no date or word is cut, and the columns stay under each other.
TEST_F(Engine, PlainTextWidensWhatWouldBeCut)
{
    writeProject(R"(<?xml version="1.0" encoding="UTF-8"?>
<ravproject version="1">
  <report name="Validades">
    <page width="127" height="12.8" left="0" top="0" right="0" bottom="0" font="Arial" fontsize="8"/>
    <detail connection="Lotes" rowheight="4.2333" captionheight="4.2333">
      <column field="VALIDADE" caption="Validade" width="20.32" format="d:dd/MM/yyyy"/>
      <column field="SITUACAO" caption="Situação" width="20.32"/>
      <column field="LOCAL" caption="Local" width="25.4"/>
    </detail>
  </report>
</ravproject>
)");
    auto lots = std::make_unique<MemoryConnection>();
    lots->fields = QStringList{"VALIDADE", "SITUACAO", "LOCAL"};
    lots->rows = {{db::Value::date(QDate(2025, 1, 4)), db::Value::text(QStringLiteral("Quarentena")), db::Value::text(QStringLiteral("Loja 1"))},
                  {db::Value::date(QDate(2024, 12, 15)), db::Value::text(QStringLiteral("Liberado")), db::Value::text(QStringLiteral("Depósito"))},
                  {db::Value::date(QDate(2025, 2, 1)), db::Value::text(QStringLiteral("Liberado")), db::Value::text(QStringLiteral("Loja 2"))}};
    engine.addConnection(QStringLiteral("Lotes"), std::move(lots));
    engine.execute(project, QStringLiteral("Validades"));
    ASSERT_EQ(view.model.pages.size(), 2u);
    // Each cell holds 7 characters: the dates and "Quarentena" push the columns after them 3 to
    // the right, on the second page too, where "Liberado" alone would have asked for 1.
    EXPECT_EQ(PlainText(view.model), platform::toCp1252(QStringLiteral(
                                         "Validade   Situação   Local\r\n"
                                         "--------------------------------\r\n"
                                         "04/01/2025 Quarentena Loja 1\r\n"
                                         "15/12/2024 Liberado   Depósito\r\n"
                                         "\fValidade   Situação   Local\r\n"
                                         "--------------------------------\r\n"
                                         "01/02/2025 Liberado   Loja 2\r\n")))
        << PlainText(view.model).toStdString();
}

// The print dialog names its PDF file after the print job: the report's title, as a file name.
TEST_F(Engine, PrintJobNamedAfterTheReport)
{
    engine.execute(project, QStringLiteral("Lista"));
    QPrinter printer;
    SetUpPrinter(printer, view.model);
    EXPECT_EQ(printer.docName(), QStringLiteral("Título"));
    view.model.title = QStringLiteral("Estoque Físico/Financeiro - Revenda");
    EXPECT_EQ(DocumentName(view.model), QStringLiteral("Estoque Físico-Financeiro - Revenda"));
    view.model.title.clear();
    EXPECT_EQ(DocumentName(view.model), QStringLiteral("Lista"));
}

TEST_F(Engine, PdfReadBack)
{
    engine.execute(project, QStringLiteral("Lista"));
    const QString pdf = dir.filePath(QStringLiteral("lista.pdf"));
    QString error;
    ASSERT_TRUE(WriteFile(view.model, FileFormat::Pdf, pdf, &error)) << error.toStdString();
    const QString info = run({pdf}, QStringLiteral("pdfinfo"));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+ReportPrinter Report\\n")))) << info.toStdString();
    // 127 x 50.8 mm is 360 x 144 points.
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+360(\\.\\d+)? x 144(\\.\\d+)? pts")))) << info.toStdString();
    const QString text = run({QStringLiteral("-layout"), pdf, QStringLiteral("-")}, QStringLiteral("pdftotext"));
    for (const char *s : {"Título 07/03/2024 Loja d'Ajuda", "Ação € ç", "1.234,50", "Página 1 de 2", "Página 2 de 2",
                          "1.233,38", "Itens: 11", "11/01/2024"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s << "\n" << text.toStdString();
}

TEST_F(Engine, RichText)
{
    engine.execute(project, QStringLiteral("Lista"));
    const QByteArray rtf = RichText(view.model);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n"
                               "\\paperw7200\\paperh2880\\margl0\\margr0\\margt0\\margb0\r\n"))
        << rtf.toStdString();
    EXPECT_TRUE(rtf.contains("A\\'e7\\'e3o \\'80 \\'e7"));               // Windows-1252 escapes
    EXPECT_TRUE(rtf.contains("{\\b Nome}\\tqr\\tx") || rtf.contains("\\tqr\\tx"));
    EXPECT_TRUE(rtf.contains("Loja d'Ajuda"));
    EXPECT_EQ(rtf.count("\\page\r\n"), 1);
    EXPECT_TRUE(rtf.endsWith("}\r\n"));
    // Every byte is 7-bit: the text is all in escapes.
    for (char c : rtf)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80);
}

TEST_F(Engine, ClosedDatasetOpenedForTheRunOpenOneKept)
{
    engine.execute(project, QStringLiteral("Lista"));
    EXPECT_EQ(data->opens, 1);
    EXPECT_EQ(data->closes, 1);
    EXPECT_FALSE(data->isOpen());
    EXPECT_TRUE(store->isOpen());
    EXPECT_EQ(store->opens, 0);
    EXPECT_EQ(store->closes, 0);
}

TEST_F(Engine, ProjectReadAgainAtEveryRun)
{
    engine.execute(project, QStringLiteral("Lista"));
    EXPECT_EQ(view.model.pages[0].items[0].text, QStringLiteral("Título 07/03/2024 Loja d'Ajuda"));
    writeProject(QByteArray(kProject).replace("title=\"Título\"", "title=\"Outro título\""));
    engine.execute(project, QStringLiteral("Lista"));
    EXPECT_EQ(view.model.pages[0].items[0].text, QStringLiteral("Outro título 07/03/2024 Loja d'Ajuda"));
    EXPECT_EQ(view.presented, 2);
}

TEST_F(Engine, MissingProjectAndUnknownReport)
{
    try {
        engine.execute(QStringLiteral("C:\\FORMULIX\\rpt\\rel_Lotview.rav"), QStringLiteral("Lista"));
        FAIL() << "no error";
    } catch (const ReportError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("The following reporting project does not exist:\n"
                                              "\"C:\\FORMULIX\\rpt\\rel_Lotview.rav\""));
    }
    // A report the project does not hold: nothing shown, nothing opened, no error.
    EXPECT_NO_THROW(engine.execute(project, QStringLiteral("Outro")));
    EXPECT_EQ(view.presented, 0);
    EXPECT_EQ(data->opens, 0);
}

TEST_F(Engine, EmptyDataStillPrintsTheHeader)
{
    data->rows.clear();
    engine.execute(project, QStringLiteral("Lista"));
    ASSERT_EQ(view.model.pages.size(), 1u);
    EXPECT_EQ(PlainText(view.model), platform::toCp1252(QStringLiteral(
                                         "Título 07/03/2024 Loja d'Ajuda\r\n"
                                         "Nome                    Valor    Dia\r\n"
                                         "----------------------------------------\r\n"
                                         "----------------------------------------\r\n"
                                         "                         0,00\r\n"
                                         "Itens: 0\r\n"
                                         "\r\n\r\n\r\n\r\n\r\n"
                                         "                                     Página 1 de 1\r\n")));
}

// The pages are counted before any row is read, and a page asked for alone reads only its own rows.
TEST_F(Engine, PagesMadeWhenAskedFor)
{
    for (int i = 12; i <= 40; ++i)
        data->rows.push_back({db::Value::text(QStringLiteral("Item %1").arg(i)), db::Value::decimal(db::Decimal{100000000, 8}),
                              db::Value::date(QDate(2024, 2, 1))});
    std::set<int> readBeforeAnyPage, readForPage3;
    QStringList lastFirst;
    view.duringPresent = [&](const PageModel &m) {
        readBeforeAnyPage = data->readRows;
        EXPECT_EQ(m.pageCount(), 5);
        m.page(2);
        readForPage3 = data->readRows;
        std::vector<Page> pages(size_t(m.pageCount()));
        for (int i = m.pageCount() - 1; i >= 0; --i)
            pages[size_t(i)] = m.page(i);
        for (const Page &page : pages)
            for (const PageItem &item : page.items)
                lastFirst << item.text;
    };
    engine.execute(project, QStringLiteral("Lista"));
    EXPECT_TRUE(readBeforeAnyPage.empty());
    EXPECT_EQ(readForPage3, (std::set<int>{18, 19, 20, 21, 22, 23, 24, 25, 26}));
    // Made last page first, each page is the one made in order.
    QStringList inOrder;
    for (const Page &page : view.model.pages)
        for (const PageItem &item : page.items)
            inOrder << item.text;
    EXPECT_EQ(lastFirst, inOrder);
    EXPECT_TRUE(inOrder.contains(QStringLiteral("Página 5 de 5")));
    EXPECT_TRUE(inOrder.contains(QStringLiteral("Itens: 40")));
}

TEST_F(Engine, PageBreaksAndTheSummaryPage)
{
    struct Case { int rows; std::vector<int> rowsPerPage; };
    const Case cases[] = {
        {0, {0}}, {1, {1}}, {6, {6}}, {7, {7, 0}}, {9, {9, 0}}, {10, {9, 1}},
        {15, {9, 6}}, {16, {9, 7, 0}}, {18, {9, 9, 0}}, {19, {9, 9, 1}},
    };
    for (const Case &c : cases) {
        data->rows.clear();
        for (int i = 0; i < c.rows; ++i)
            data->rows.push_back({db::Value::text(QStringLiteral("Item %1").arg(i + 1)),
                                  db::Value::decimal(db::Decimal{100000000, 8}), db::Value::date(QDate(2024, 1, 1))});
        engine.execute(project, QStringLiteral("Lista"));
        std::vector<int> perPage;
        int row = 0;
        bool summaryLast = false;
        for (const Page &page : view.model.pages) {
            int n = 0;
            summaryLast = false;
            for (const PageItem &item : page.items) {
                if (item.text == QStringLiteral("Item %1").arg(row + 1)) {
                    ++n;
                    ++row;
                }
                summaryLast = summaryLast || item.text == QStringLiteral("Itens: %1").arg(c.rows);
            }
            perPage.push_back(n);
            EXPECT_TRUE(page.items.back().text.endsWith(QStringLiteral(" de %1").arg(view.model.pages.size())));
        }
        EXPECT_EQ(perPage, c.rowsPerPage) << c.rows << " rows";
        EXPECT_TRUE(summaryLast) << c.rows << " rows";
    }
}

TEST(FileRenderers, Filters)
{
    QStringList filters;
    for (const FileRenderer &r : FileRenderers())
        filters << FileFilter(r);
    EXPECT_EQ(filters, (QStringList{"Adobe Acrobat (PDF) (*.pdf)", "Rich Text Format (RTF) (*.rtf)", "Plain Text (TXT) (*.txt)"}));
}

} // namespace
