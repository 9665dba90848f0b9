// The lot listing's preview over 10 000 and 100 000 lots: time to the first page shown and memory
// with pages made on demand, against laying every page out first; then the whole PDF both ways.
// The rows are in memory, as the grid's dataset holds them; prints figures and ratios, asserts
// nothing.
#include "benchfigures.h"

#include "platform/clock.h"
#include "platform/winpath.h"
#include "reports/engine/engine.h"
#include "reports/engine/previewdialog.h"

#include <QApplication>
#include <QPrintPreviewWidget>

#include <cstdio>

namespace {

// The listing's columns over generated lots.
class Lots : public reports_engine::DataConnection {
public:
    explicit Lots(int count) : m_count(count) {}
    bool isOpen() const override { return true; }
    void open() override {}
    void close() override {}
    int rowCount() const override { return m_count; }
    int fieldIndex(const QString &field) const override { return int(kFields.indexOf(field.toUpper())); }
    db::Value value(int row, int field) const override
    {
        switch (field) {
        case 0: return db::Value::text(QStringLiteral("PRODUTO DE TESTE %1").arg(row % 5000, 4, 10, QLatin1Char('0')));
        case 1: return db::Value::text(QStringLiteral("L%1").arg(row, 7, 10, QLatin1Char('0')));
        case 2: return db::Value::text(QStringLiteral("Fornecedor %1 Ltda.").arg(row % 40));
        case 3: return db::Value::text(QString::number(10000 + row % 5000));
        case 4: return db::Value::decimal(db::Decimal{int64_t(row % 9973) * 1234567, 8});
        case 5: return db::Value::text(QStringLiteral("G"));
        case 6: return db::Value::date(QDate(2027, 1, 1).addDays(row % 700));
        case 7: return db::Value::text(QStringLiteral("Estoque"));
        default: return db::Value::text(QStringLiteral("Farmácia %1").arg(row % 3));
        }
    }

private:
    inline static const QStringList kFields{"DESCRICAO", "LOTE", "FORNECEDOR", "CODIGO", "SALDOCORRENTE",
                                            "UNIDADE", "VALIDADE", "SITUACAO", "LABORATORIO"};
    int m_count;
};

struct Figures {
    double firstPageMs = 0, pdfMs = 0, txtMs = 0, pagesOnceMs = 0;
    long long heapAtFirstPage = 0;
    int pages = 0;
};

// Shows the preview as the operator gets it, timed from the run's start to its first page; then
// writes the whole PDF from the same model. laidOutFirst: every page made before the preview.
struct TimedRun : reports_engine::RunView {
    bool laidOutFirst = false;
    bool txt = false;
    QString pdf;
    QElapsedTimer clock;
    long long heapBefore = 0;
    Figures f;
    void present(const reports_engine::PageModel &model, const std::vector<reports_engine::FileRenderer> &r) override
    {
        const reports_engine::PageModel whole = laidOutFirst ? model.laidOut() : reports_engine::PageModel();
        const reports_engine::PageModel &shown = laidOutFirst ? whole : model;
        {
            reports_engine::PreviewDialog dialog(shown, r, nullptr);
            dialog.show();
            while (dialog.preview->pageCount() == 0 && clock.elapsed() < 600000)
                QCoreApplication::processEvents();
            f.firstPageMs = bench::ms(clock);
            f.heapAtFirstPage = bench::heapInUse() - heapBefore;
            f.pages = dialog.pageCount();
        }
        if (!pdf.isEmpty()) {
            reports_engine::WriteFile(shown, reports_engine::FileFormat::Pdf, pdf);
            f.pdfMs = bench::ms(clock);
        }
        if (txt) {
            // Plain text makes the pages twice (the columns' widths first): against making them once.
            QElapsedTimer t;
            t.start();
            for (int i = 0, n = shown.pageCount(); i < n; ++i)
                shown.page(i);
            f.pagesOnceMs = bench::ms(t);
            t.restart();
            const QByteArray text = reports_engine::PlainText(shown);
            f.txtMs = bench::ms(t);
            if (text.isEmpty())
                std::printf("no plain text made\n");
        }
    }
};

} // namespace

const char kUsage[] = "usage: bench_report_preview --rpt DIR [--lots N] [--pdf] [--txt]\n"
                      "  DIR: the folder of rel_Lotview.rav (the repository's rpt); N: the larger listing (100000);\n"
                      "  --pdf: also write the whole PDF both ways (a few seconds each)\n"
                      "  --txt: also make the whole plain text, against making every page once\n";

static int measure(const QString &rpt, int lots, bool pdf, bool txt);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("rpt"), QStringLiteral("folder of rel_Lotview.rav"), QStringLiteral("DIR")});
        p.addOption({QStringLiteral("lots"), QStringLiteral("lots of the larger listing"), QStringLiteral("N"),
                     QStringLiteral("100000")});
        p.addOption({QStringLiteral("pdf"), QStringLiteral("write the whole PDF both ways")});
        p.addOption({QStringLiteral("txt"), QStringLiteral("make the whole plain text")});
        bench::parseArguments(p);
        return measure(bench::requireFolder(p, QStringLiteral("rpt")), bench::wholeNumber(p, QStringLiteral("lots")),
                       p.isSet(QStringLiteral("pdf")), p.isSet(QStringLiteral("txt")));
    });
}

static Figures runOnce(const QString &rpt, int lots, bool laidOutFirst, const QString &pdf, bool txt = false)
{
    const platform::WinPaths paths =
        platform::WinPaths::parse(QStringLiteral("\\\\bench\\rpt = ") + rpt + QLatin1Char('\n'), rpt);
    const platform::FixedClock clock{QDate(2026, 12, 10), QTime(9, 0)};
    reports_engine::ReportEngine engine(paths, clock);
    engine.addConnection(QStringLiteral("rvdsEstlote"), std::make_unique<Lots>(lots));
    engine.makeFileRenderersAvailable();
    TimedRun view;
    view.laidOutFirst = laidOutFirst;
    view.pdf = pdf;
    view.txt = txt;
    engine.setView(&view);
    malloc_trim(0);
    view.heapBefore = bench::heapInUse();
    view.clock.start();
    engine.execute(QStringLiteral("\\\\bench\\rpt\\rel_Lotview.rav"), QStringLiteral("rpt_ListaPosicaoEstoque"));
    return view.f;
}

static int measure(const QString &rpt, int lots, bool pdf, bool txt)
{
    QTemporaryDir dir;
    const QString pdfPath = pdf ? dir.filePath(QStringLiteral("lista.pdf")) : QString();
    runOnce(rpt, 1000, false, QString());   // fonts and the preview's first use
    const uint64_t s0 = db::statementsIssued();
    for (int n : {lots / 10, lots}) {
        const Figures demand = runOnce(rpt, n, false, pdfPath, txt);
        const Figures whole = runOnce(rpt, n, true, pdfPath);
        std::printf("%7d lots, %5d pages: first page shown %8.1f ms on demand, %8.1f ms laid out first (x%.0f); "
                    "heap at the first page %6.1f MB against %6.1f MB\n",
                    n, demand.pages, demand.firstPageMs, whole.firstPageMs, whole.firstPageMs / demand.firstPageMs,
                    double(demand.heapAtFirstPage) / 1e6, double(whole.heapAtFirstPage) / 1e6);
        if (pdf)
            std::printf("%7d lots: preview and whole PDF %8.0f ms on demand, %8.0f ms laid out first (ratio %.2f)\n", n,
                        demand.pdfMs, whole.pdfMs, demand.pdfMs / whole.pdfMs);
        if (txt)
            std::printf("%7d lots: whole plain text %8.0f ms, every page made once %8.0f ms (ratio %.2f)\n", n,
                        demand.txtMs, demand.pagesOnceMs, demand.txtMs / demand.pagesOnceMs);
    }
    std::printf("statements sent: %llu (the rows are in memory)\n", (unsigned long long)(db::statementsIssued() - s0));
    return 0;
}
