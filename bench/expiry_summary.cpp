// The expiry panel on a big installation: from the reports panel's button to the summary table
// and chart painted, and to the projected leftovers filled in, with the statements that took;
// the store's use statement and the pure summary with its projection alone over the same rows;
// and the lot list of the largest horizon scrolled to its end.
//   bench_expiry_summary --demo DIR [--today yyyy-mm-dd] [--runs 3]
// DIR is made by: makedemo --dir DIR --lots 100000 (the same --today keeps the horizons as built).
#include "benchfigures.h"

#include "shell/errordisplay.h"
#include "shell/program.h"
#include "shell/tform1.h"
#include "core/runstate.h"
#include "data/tdm.h"
#include "db/connection.h"
#include "expiry/expiry.h"
#include "expiry/ui/expirychart.h"
#include "expiry/ui/expirypanel.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "reports/ui/reportspanel.h"
#include "users/ui/loginpanel.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QEventLoop>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>
#include <cstdio>

namespace {

const char *kUsage = "usage: bench_expiry_summary --demo DIR [--today yyyy-mm-dd] [--runs N]\n";

class PrintingOperator : public platform::Operator {
public:
    void inform(const QString &t) override { std::fprintf(stderr, "message: %s\n", qPrintable(t)); }
    void warn(const QString &t) override { inform(t); }
    platform::Answer ask(const QString &t) override { inform(t); return platform::Answer::No; }
};

using bench::median;
using bench::ms;

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    shell::EstoqueApplication app(argc, argv);
    return bench::run(kUsage, [&] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("demo"), QStringLiteral("Installation."), QStringLiteral("DIR")});
        p.addOption({QStringLiteral("today"), QStringLiteral("Workstation date."), QStringLiteral("yyyy-mm-dd")});
        p.addOption({QStringLiteral("runs"), QStringLiteral("Runs."), QStringLiteral("N"), QStringLiteral("3")});
        bench::parseArguments(p);
        const QString demo = bench::requireDemo(p);
        const int runs = bench::wholeNumber(p, QStringLiteral("runs"));
        const QDate today = p.isSet(QStringLiteral("today"))
            ? QDate::fromString(p.value(QStringLiteral("today")), Qt::ISODate)
            : QDate::currentDate();
        if (!today.isValid())
            throw bench::UsageError{QStringLiteral("--today takes yyyy-mm-dd")};

        platform::FixedClock clock(today, QTime(10, 0));
        PrintingOperator op;
        app.setOperator(&op);
        shell::Program program(demo + QStringLiteral("/c/FORMULIX"), clock, op);
        shell::TForm1 form(program);
        if (!form.created())
            return 1;
        form.resize(1024, 768);
        form.show();
        QCoreApplication::processEvents();
        form.PainelLogin->EditNome->setText(QStringLiteral("MARIA"));
        form.PainelLogin->EditSenhaU->setText(QStringLiteral("1234"));
        form.BotOkSenhaClick();
        QCoreApplication::processEvents();
        if (!program.dm.ESTLOTE.isOpen())
            throw std::runtime_error("login did not open the grid");
        form.btn1->click();
        QCoreApplication::processEvents();
        expiry_ui::ExpiryPanel *panel = form.PainelVencimentos;

        std::printf("expiry panel on %s, today %s\n", qPrintable(demo), qPrintable(today.toString(Qt::ISODate)));
        std::vector<double> open, toProjection, pure;
        uint64_t statements = 0, allStatements = 0;
        for (int r = 0; r < runs; ++r) {
            panel->hide();
            QCoreApplication::processEvents();
            const uint64_t before = db::statementsIssued();
            QElapsedTimer t;
            t.start();
            form.pnlRelatorios->btnVencimentos->click();
            panel->repaint();   // table, chart and the first lots painted
            open.push_back(ms(t));
            statements = db::statementsIssued() - before;
            // The projection columns filled in by the worker, the panel painted again.
            if (panel->projecting()) {
                QEventLoop loop;
                QObject::connect(panel, &expiry_ui::ExpiryPanel::projectionShown, &loop, &QEventLoop::quit);
                loop.exec();
            }
            panel->repaint();
            toProjection.push_back(ms(t));
            allStatements = db::statementsIssued() - before;
        }
        const expiry::Summary &s = panel->summary();
        int inHorizons = 0, largest = 0;
        for (int h = 0; h < expiry::kHorizonCount; ++h) {
            inHorizons += s.total[size_t(h)].lots;
            if (s.total[size_t(h)].lots > s.total[size_t(largest)].lots)
                largest = h;
        }
        // The arithmetic alone, over the rows already read, and the statements again.
        const expiry::LoadOptions options{program.run.LabScopeClause, program.run.siteConfig.IncludeDiluted,
                                          program.run.StoreCnpj, program.run.siteConfig.QuarantineSituations,
                                          program.run.siteConfig.UseWindowDays};
        const expiry::ScopeRead lots = expiry::ReadScopeLots(program.dm.SQLConnection1, options.labScopeClause, today);
        const auto products = expiry::ReadExpiryProducts(program.dm.SQLConnection1, options.includeDiluted);
        std::vector<double> loaded, useRead;
        std::vector<expiry::UseTotal> use;
        uint64_t loadStatements = 0, useStatements = 0;
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer t;
            t.start();
            uint64_t before = db::statementsIssued();
            use = expiry::ReadUse(program.dm.SQLConnection1, options.storeCnpj, today, options.useWindowDays);
            useRead.push_back(ms(t));
            useStatements = db::statementsIssued() - before;
            t.restart();
            const expiry::Summary again = expiry::Summarise(lots, products, use,
                                                            expiry::QuarantineSituations(options.quarantineSituations),
                                                            today, options.useWindowDays);
            pure.push_back(ms(t));
            t.restart();
            before = db::statementsIssued();
            const expiry::Summary read = expiry::LoadSummary(program.dm.SQLConnection1, options, today);
            loaded.push_back(ms(t));
            loadStatements = db::statementsIssued() - before;
        }
        int projected = 0;
        for (const expiry::ExpiringLot &l : s.lots)
            projected += l.projected ? 1 : 0;

        std::printf("  lots read               %zu (in the horizons %d, left out %d without balance, %d without expiry, "
                    "%d after 180 days; listed unvalued %d unit not converted, %d not registered; %d outside the "
                    "stock reports)\n",
                    lots.lots.size(), inHorizons, s.noBalance, s.noExpiry, s.later, s.unitNotConverted, s.notRegistered,
                    s.outsideReports);
        std::printf("  use over %d days        %zu product/unit totals, %d lots projected\n", options.useWindowDays,
                    use.size(), projected);
        std::printf("  button to first table   %.1f ms (median of %d), %llu statements (aim: under 400 ms)\n",
                    median(open), runs, static_cast<unsigned long long>(statements));
        std::printf("  button to projection    %.1f ms (median of %d), %llu statements in all (the use read on a "
                    "worker, the panel usable meanwhile)\n",
                    median(toProjection), runs, static_cast<unsigned long long>(allStatements));
        std::printf("  statements and summary  %.1f ms (median), %.0f%% of the above, %llu statements\n", median(loaded),
                    100.0 * median(loaded) / median(open), static_cast<unsigned long long>(loadStatements));
        std::printf("  use statement alone     %.1f ms (median), %.0f%% of the above, %llu statement(s)\n",
                    median(useRead), 100.0 * median(useRead) / median(open), static_cast<unsigned long long>(useStatements));
        std::printf("  summary and projection  %.1f ms (median), %.0f%% of the above\n", median(pure),
                    100.0 * median(pure) / median(open));
        std::printf("  products in the register read %lld\n", static_cast<long long>(products.size()));

        panel->cbHorizonte->setCurrentIndex(largest);
        QCoreApplication::processEvents();
        const int rows = panel->ListaLotes->model()->rowCount();
        QElapsedTimer t;
        t.start();
        QScrollBar *bar = panel->ListaLotes->verticalScrollBar();
        int pages = 0;
        while (bar->value() < bar->maximum()) {
            bar->setValue(bar->value() + bar->pageStep());
            panel->ListaLotes->viewport()->repaint();
            ++pages;
        }
        std::printf("  largest horizon \"%s\": %d lots scrolled to the end page by page (%d pages) in %.1f ms, "
                    "%.2f ms a page\n",
                    qPrintable(expiry::HorizonName(largest)), rows, pages, ms(t), pages ? ms(t) / pages : 0.0);
        return 0;
    });
}
