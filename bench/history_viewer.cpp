// The activity history viewer on a 200 MB log: time and memory from "Ver histórico" to the first
// page painted, against reading the file whole into text lines (measured on a tenth of it); then
// on files that are not text (200 MB of NUL bytes with no line end, one line of 50 MB): time to
// the first page and to its far right end, and the peak resident memory meanwhile.
// Prints figures only.
#include "benchfigures.h"

#include "core/siteconfig.h"
#include "exports/ui/historyviewer.h"
#include "platform/cp1252.h"
#include "platform/operator.h"
#include "platform/winpath.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cstdio>
#include <malloc.h>
#include <stdexcept>

namespace {

struct Silent : platform::Operator {
    void inform(const QString &t) override { std::printf("message: %s\n", qPrintable(t)); }
    void warn(const QString &t) override { inform(t); }
    platform::Answer ask(const QString &) override { return platform::Answer::No; }
};

qint64 writeLog(const QString &path, qint64 bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray chunk;
    qint64 written = 0, lines = 0;
    const QByteArray users[] = {"MARIA", "JOS\xc9", "ANA PAULA"};
    while (written < bytes) {
        chunk.clear();
        for (int i = 0; i < 4096; ++i, ++lines)
            chunk += "07/03/24-14:05 - " + users[lines % 3] + " - Alterou o Saldo Atual de 1.234,5 para "
                + QByteArray::number(lines % 9973) + " do lote L" + QByteArray::number(lines) + " (a\xe7\xe3o)\r\n";
        written += f.write(chunk);
    }
    return lines;
}

} // namespace

const char kUsage[] = "usage: bench_history_viewer --work DIR\n"
                      "  DIR: an existing folder where the logs (470 MB) are written, in a temporary folder\n"
                      "  removed at the end\n";

static int measure(QApplication &app, const QString &work);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::run(kUsage, [&app] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("work"), QStringLiteral("folder the logs are written in"), QStringLiteral("DIR")});
        bench::parseArguments(p);
        return measure(app, bench::requireFolder(p, QStringLiteral("work")));
    });
}

static int measure(QApplication &app, const QString &work)
{
    QTemporaryDir dir(work + QStringLiteral("/bench-history-XXXXXX"));
    if (!dir.isValid())
        throw std::runtime_error("cannot make a folder in " + work.toStdString());
    QDir(dir.path()).mkpath(QStringLiteral("share/LOG"));
    const QString big = dir.filePath(QStringLiteral("share/LOG/LOGESTOQ_2024-03.TXT"));
    const qint64 size = 200LL * 1024 * 1024;
    const qint64 lines = writeLog(big, size);
    const QString tenth = dir.filePath(QStringLiteral("tenth.txt"));
    writeLog(tenth, size / 10);

    platform::WinPaths paths = platform::WinPaths::parse(QStringLiteral("\\\\SRV\\Formulix = share\n"), dir.path());
    core::SiteConfig config;
    config.ServerAddress = QStringLiteral("SRV");
    Silent op;
    QWidget window;
    window.resize(1000, 700);
    auto *viewer = new exports_ui::HistoryViewer(op, paths, config, &window);
    window.show();
    app.processEvents();

    viewer->BitBtn2Click();
    viewer->EditMes->setText(QStringLiteral("03"));
    viewer->EditAno->setText(QStringLiteral("24"));
    app.processEvents();
    const long long heap0 = bench::heapInUse(), rss0 = bench::rssBytes();
    QElapsedTimer t;
    t.start();
    viewer->BitBtn10Click();
    viewer->Memo1->repaint();   // the first page drawn
    app.processEvents();
    const double openMs = double(t.nsecsElapsed()) / 1e6;
    const long long heap1 = bench::heapInUse(), rss1 = bench::rssBytes();
    std::printf("log of %.0f MB, %lld lines (in the page cache)\n", double(size) / 1048576.0, lines);
    std::printf("viewer: first page after %.0f ms; heap +%.1f MB, RSS +%.1f MB (index %.1f MB)\n", openMs,
                double(heap1 - heap0) / 1048576.0, double(rss1 - rss0) / 1048576.0,
                double(viewer->file().memoryUsed()) / 1048576.0);

    t.restart();
    viewer->Memo1->scrollToBottom();
    viewer->Memo1->repaint();
    app.processEvents();
    std::printf("viewer: jump to the last page %.1f ms\n", double(t.nsecsElapsed()) / 1e6);

    {
        exports::LineIndexedFile alone;
        const long long h0 = bench::heapInUse();
        t.restart();
        alone.open(big);
        std::printf("line index alone: %.0f ms, heap +%.1f MB\n", double(t.nsecsElapsed()) / 1e6,
                    double(bench::heapInUse() - h0) / 1048576.0);
    }

    // Reading the whole file into text lines, as a plain memo would, on a tenth of the size.
    const long long heap2 = bench::heapInUse();
    t.restart();
    QFile f(tenth);
    f.open(QIODevice::ReadOnly);
    const QStringList whole = platform::fromCp1252(f.readAll()).split(QStringLiteral("\r\n"));
    const double wholeMs = double(t.nsecsElapsed()) / 1e6;
    const long long heap3 = bench::heapInUse();
    std::printf("whole file into lines, 20 MB: %.0f ms, heap +%.1f MB (%lld lines); x10 for 200 MB: ~%.0f ms, ~%.0f MB\n",
                wholeMs, double(heap3 - heap2) / 1048576.0, (long long)whole.size(), wholeMs * 10,
                double(heap3 - heap2) * 10 / 1048576.0);
    std::printf("ratio of memory, whole reading (x10) / viewer: %.1f\n",
                double(heap3 - heap2) * 10 / double(std::max<long long>(heap1 - heap0, 1)));

    // Files that are not text, each as the month the viewer opens.
    struct Odd {
        const char *month, *what;
        QByteArray fill;
        qint64 bytes;
    };
    const Odd odd[] = {{"04", "200 MB of NUL bytes, no line end", QByteArray(1 << 20, '\0'), 200LL << 20},
                       {"05", "one line of 50 MB", QByteArray(1 << 20, 'x'), 50LL << 20}};
    viewer->BitBtn9Click();
    for (const Odd &o : odd) {
        {
            QFile out(dir.filePath(QStringLiteral("share/LOG/LOGESTOQ_2024-%1.TXT").arg(QLatin1String(o.month))));
            out.open(QIODevice::WriteOnly);
            for (qint64 written = 0; written < o.bytes; written += o.fill.size())
                out.write(o.fill);
        }
        viewer->BitBtn2Click();
        viewer->EditMes->setText(QLatin1String(o.month));
        viewer->EditAno->setText(QStringLiteral("24"));
        app.processEvents();
        const long long rssBefore = bench::rssBytes();
        bench::resetPeakRss();
        t.restart();
        viewer->BitBtn10Click();
        viewer->Memo1->repaint();
        app.processEvents();
        const double firstMs = double(t.nsecsElapsed()) / 1e6;
        t.restart();
        QScrollBar *across = viewer->Memo1->horizontalScrollBar();
        across->setValue(across->maximum());
        viewer->Memo1->repaint();
        app.processEvents();
        const double rightMs = double(t.nsecsElapsed()) / 1e6;
        std::printf("%s: first page %.0f ms, its right end %.1f ms; peak RSS %.1f MB (+%.1f MB over the %.1f MB "
                    "before), %lld line(s)\n",
                    o.what, firstMs, rightMs, double(bench::peakRssBytes()) / 1048576.0,
                    double(bench::peakRssBytes() - rssBefore) / 1048576.0, double(rssBefore) / 1048576.0,
                    viewer->file().lineCount());
        viewer->BitBtn9Click();
    }
    return 0;
}
