// The reports panel over a real data module: its captions, "Listar Estoque" through the real
// preview (opened offscreen, closed, the lot dataset where it was), the manufacturing build
// with the error panel, and no second start or closing while a report runs.
#include "reports/ui/errorpanel.h"
#include "reports/ui/periodpanel.h"
#include "reports/ui/reportspanel.h"

#include "reports/engine/previewdialog.h"
#include "reports/reportrig.h"
#include "support/modulerig.h"
#include "db/dberror.h"
#include "shell/errordisplay.h"

#include <QApplication>
#include <QDir>
#include <QGraphicsView>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintPreviewWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

namespace {

struct Fixture : reportstest::ReportRig {
    QWidget window;
    QTableView *grid;
    reports_ui::ReportsPanel *panel;

    Fixture()
    {
        window.resize(900, 600);
        auto *layout = new QVBoxLayout(&window);
        grid = new QTableView(&window);
        layout->addWidget(grid);
        panel = new reports_ui::ReportsPanel(dm, run, clock, paths, op, grid, &window);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        for (int i = 1; i <= 4; ++i)
            exec(QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, SALDOCORRENTE, UNIDADE, VALIDADE, "
                                "LABORATORIO, SITUACAO) values ('P0%1', 'Produto %1', 'L%1', 'Fornecedor', %1, 'g', "
                                "'2025-01-0%1', 'Lab 1', 'Aprovado')")
                     .arg(i));
        exec(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, PRECOR, FATORDILUICAO) "
                            "values ('P01', 'Produto 1', 'MP', 'g', 2, 0, 5, 1)"));
        exec(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, PRECOR, FATORDILUICAO) "
                            "values ('P02', 'Produto 2', 'MP', 'g', 2, 1, 5, 1)"));
        exec(QStringLiteral("insert into DADOSGER (CNPJ, FARMACIA) values ('1', 'Farmácia Central')"));
        run.StoreCnpj = QStringLiteral("1");
    }

    // Runs `check` on the preview once it is up, then closes it.
    void whenPreviewShows(std::function<void(reports_engine::PreviewDialog *)> check, bool *seen)
    {
        auto *timer = new QTimer(&window);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, check, seen] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *preview = qobject_cast<reports_engine::PreviewDialog *>(w);
                if (preview && preview->isVisible()) {
                    timer->stop();
                    *seen = true;
                    check(preview);
                    preview->accept();
                    timer->deleteLater();
                    return;
                }
            }
        });
        timer->start(20);
    }
};

} // namespace

class ReportsPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void captionsAndOpening()
    {
        Fixture f;
        QVERIFY(!f.panel->isVisible());
        f.panel->open();
        QVERIFY(f.panel->isVisible());
        QCOMPARE(f.panel->btn3->text(), QStringLiteral("&Listar Estoque"));
        QCOMPARE(f.panel->btn_1->text(), QStringLiteral("Estoq. Físico/Financ. &Manipulação"));
        QCOMPARE(f.panel->btn6->text(), QStringLiteral("Visuali&zar"));
        QCOMPARE(f.panel->GroupBoxProgresso->title(), QStringLiteral("  Progresso  "));
        QCOMPARE(f.panel->gg1->value(), 0);
        QCOMPARE(f.panel->btn4->text(), QStringLiteral("&Sair"));
        QCOMPARE(f.panel->RM.rvpj1, QStringLiteral("C:\\FORMULIX\\rpt\\rel_Lotview.rav"));
        QCOMPARE(int(f.panel->RM.rvstm1.fileRenderers().size()), 3);
        QCOMPARE(f.panel->PainelDeErros->Titulo->text(),
                 QStringLiteral("Erros de consistência detectados durante a montagem do relatório"));
        QCOMPARE(f.panel->PainelDeErros->ListaDeErros->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(f.panel->PainelDeErros->BitBtn8->text(), QStringLiteral("&Sair"));

        f.grid->setFocus();
        f.panel->btn3->setFocus();
        QTest::mouseClick(f.panel->btn4, Qt::LeftButton);
        QVERIFY(!f.panel->isVisible());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(f.grid));
    }

    void listingKeepsTheGridWhereItWas()
    {
        Fixture f;
        f.dm.ESTLOTE.open();
        f.dm.ESTLOTE.moveTo(2);
        int scrolls = 0;
        const auto hook = f.dm.ESTLOTE.afterScroll;
        f.dm.ESTLOTE.afterScroll = [&scrolls, hook](data::CachedDataset &ds) {
            ++scrolls;
            hook(ds);
        };
        f.panel->open();
        bool seen = false;
        f.whenPreviewShows(
            [](reports_engine::PreviewDialog *preview) {
                QCOMPARE(preview->windowTitle(), QStringLiteral("Visualização do Relatório"));
                QVERIFY(preview->windowState() & Qt::WindowMaximized);
                QCOMPARE(preview->preview->zoomMode(), QPrintPreviewWidget::CustomZoom);
                QCOMPARE(preview->preview->zoomFactor(), 1.0);
                QCOMPARE(preview->pageCount(), 1);
            },
            &seen);
        QTest::mouseClick(f.panel->btn3, Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(f.dm.ESTLOTE.isOpen());
        QCOMPARE(f.dm.ESTLOTE.currentRow(), 2);
        QCOMPARE(scrolls, 0);
        QVERIFY(f.op.messages().isEmpty());

        // A closed lot dataset is opened for the listing and closed after it.
        f.dm.ESTLOTE.close();
        seen = false;
        f.whenPreviewShows([](reports_engine::PreviewDialog *) {}, &seen);
        f.panel->btn3Click();
        QVERIFY(seen);
        QVERIFY(!f.dm.ESTLOTE.isOpen());
    }

    void manufacturingBuildShowsTheErrorPanel()
    {
        Fixture f;
        f.panel->open();
        bool seen = false;
        bool closedWhileBusy = true;
        bool busyPointerOverPreview = true;
        f.whenPreviewShows(
            [&f, &closedWhileBusy, &busyPointerOverPreview](reports_engine::PreviewDialog *preview) {
                busyPointerOverPreview = QApplication::overrideCursor() != nullptr;
                // No second start and no closing of the window while the report is up.
                QVERIFY(!f.panel->btn_1->isEnabled());
                QVERIFY(!f.panel->btn4->isEnabled());
                closedWhileBusy = f.window.close();
                QCOMPARE(preview->pageCount(), 1);
            },
            &seen);
        // The lots are read before the first step: meanwhile the pointer and the gauge say the
        // build is at work.
        int gaugeMaximum = -1;
        Qt::CursorShape pointer = Qt::ArrowCursor;
        QTimer::singleShot(0, &f.window, [&] {
            gaugeMaximum = f.panel->gg1->maximum();
            if (const QCursor *c = QApplication::overrideCursor())
                pointer = c->shape();
        });
        f.panel->errors.add(QStringLiteral("of an earlier build"));
        QTest::mouseClick(f.panel->btn_1, Qt::LeftButton);
        QVERIFY(seen);
        QCOMPARE(gaugeMaximum, 0);
        QCOMPARE(pointer, Qt::WaitCursor);
        QVERIFY(!busyPointerOverPreview);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!closedWhileBusy);
        QVERIFY(f.window.isVisible());
        // Ready again, though covered by the error panel until it closes.
        QVERIFY(f.panel->btn_1->isEnabledTo(f.panel));
        QCOMPARE(f.panel->gg1->value(), 0);
        QVERIFY(f.panel->PainelDeErros->isVisible());
        QCOMPARE(f.panel->PainelDeErros->geometry(), f.window.rect());
        QCOMPARE(f.panel->PainelDeErros->ListaDeErros->count(), 1);
        QCOMPARE(f.panel->PainelDeErros->ListaDeErros->item(0)->text(),
                 QStringLiteral("O componente Produto 1 está com o DIVISOR DE UNIDADE = 0."));
        QCOMPARE(f.ws.conn().query(QStringLiteral("select count(*) from RELESTLOTE")).rows[0][0].toInt(), 2);
        QTest::mouseClick(f.panel->PainelDeErros->BitBtn8, Qt::LeftButton);
        QVERIFY(!f.panel->PainelDeErros->isVisible());

        // "Visualizar" shows the same rows again; no error panel this time.
        seen = false;
        f.whenPreviewShows([](reports_engine::PreviewDialog *) {}, &seen);
        QTest::mouseClick(f.panel->btn6, Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(!f.panel->PainelDeErros->isVisible());
        QVERIFY(f.op.messages().isEmpty());
        QVERIFY(f.window.close());
    }

    // The resale button: its rows, the waiting panel, the report of the resale project.
    void resaleBuild()
    {
        Fixture f;
        f.exec(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, PRECOR, "
                              "FATORDILUICAO) values ('P03', 'Produto 3', 'Rev', 'UN', 6, 2, 5, 1)"));
        f.panel->open();
        QCOMPARE(f.panel->btnFinanceiro->text(), QStringLiteral("Estoq. Físico e Financ. &Revenda"));
        QCOMPARE(f.panel->BitBtn6->text(), QStringLiteral("V&isualizar"));
        QCOMPARE(f.panel->PainelAguarde->text(), QStringLiteral("Finalizando. Favor aguardar..."));
        bool seen = false;
        f.whenPreviewShows(
            [&f](reports_engine::PreviewDialog *) {
                QVERIFY(!f.panel->btnFinanceiro->isEnabled());
                QVERIFY(!f.panel->PainelAguarde->isVisible());
            },
            &seen);
        QTest::mouseClick(f.panel->btnFinanceiro, Qt::LeftButton);
        QVERIFY(seen);
        const db::Rows rows = f.ws.conn().query(QStringLiteral("select CODIGO, PRECOCUSTO, ESTOQUECUSTO from RELESTLOTE"));
        QCOMPARE(int(rows.rows.size()), 1);
        QCOMPARE(rows.rows[0][0].toString(), QStringLiteral("P03"));
        QCOMPARE(rows.rows[0][2].toDouble(), 9.0);   // 3 x 6 / 2
        QVERIFY(!f.panel->PainelDeErros->isVisible());
        seen = false;
        f.whenPreviewShows([](reports_engine::PreviewDialog *) {}, &seen);
        QTest::mouseClick(f.panel->BitBtn6, Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(f.op.messages().isEmpty());
    }

    // "CPV": the boxes show the stored period, Enter moves on, "Ok" stores the period and builds.
    void costOfSalesPeriod()
    {
        Fixture f;
        f.exec(QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) values ('01', 1, 'Pedido', '2024-02-01')"));
        f.exec(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, CODIGOCOMP, QDEESTOQUE, UNID) values ('01', 1, 'P02', 2, 'g')"));
        f.ws.conn().execute(QStringLiteral("insert into PERIODO (DATAINICIAL, DATAFINAL) values ('1999-12-01', '1999-12-31')"));
        f.panel->open();
        QCOMPARE(f.panel->BitBtn11->text(), QStringLiteral("CP&V"));
        QCOMPARE(f.panel->BitBtn15->text(), QStringLiteral("Vis&ualizar"));
        reports_ui::PeriodPanel *p = f.panel->PainelPeriodo;
        QTest::mouseClick(f.panel->BitBtn11, Qt::LeftButton);
        QVERIFY(p->isVisible());
        QCOMPARE(p->Titulo->text(), QStringLiteral("Período"));
        QCOMPARE(p->EditDataInicial->text(), QStringLiteral("01/12/99"));
        QCOMPARE(p->EditDataFinal->text(), QStringLiteral("31/12/99"));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->EditDataInicial));
        QTest::keyClick(p->EditDataInicial, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->EditDataFinal));

        // Confirmed unchanged: the same century comes back.
        p->EditDataFinal->setText(QStringLiteral("31/02/99"));
        QTest::mouseClick(p->BitBtn13, Qt::LeftButton);
        QCOMPARE(f.op.texts(), QStringList{QStringLiteral("'31/02/99' não é uma data válida")});
        QVERIFY(p->isVisible());
        QTest::mouseClick(p->BitBtn14, Qt::LeftButton);
        QVERIFY(!p->isVisible());
        QVERIFY(!f.dm.Periodo.isOpen());

        QTest::mouseClick(f.panel->BitBtn11, Qt::LeftButton);
        bool seen = false;
        f.whenPreviewShows([](reports_engine::PreviewDialog *) {}, &seen);
        QTest::mouseClick(p->BitBtn13, Qt::LeftButton);
        QVERIFY(seen);   // an empty period still reports
        QCOMPARE(f.panel->ReportPeriod.start, QDate(1999, 12, 1));
        QCOMPARE(f.panel->ReportPeriod.end, QDate(1999, 12, 31));

        QTest::mouseClick(f.panel->BitBtn11, Qt::LeftButton);
        p->EditDataInicial->selectAll();
        QTest::keyClicks(p->EditDataInicial, QStringLiteral("010224"));
        p->EditDataFinal->selectAll();
        QTest::keyClicks(p->EditDataFinal, QStringLiteral("290224"));
        seen = false;
        f.whenPreviewShows([](reports_engine::PreviewDialog *preview) { QCOMPARE(preview->pageCount(), 1); }, &seen);
        QTest::mouseClick(p->BitBtn13, Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(!p->isVisible());
        QCOMPARE(f.panel->ReportPeriod.start, QDate(2024, 2, 1));
        const db::Rows period = f.ws.conn().query(QStringLiteral("select DATAINICIAL, DATAFINAL from PERIODO"));
        QCOMPARE(int(period.rows.size()), 1);
        QCOMPARE(period.rows[0][0].toDate(), QDate(2024, 2, 1));
        QCOMPARE(period.rows[0][1].toDate(), QDate(2024, 2, 29));
        QCOMPARE(f.ws.conn().query(QStringLiteral("select CODIGO from RELESTLOTE")).rows.size(), size_t(1));
        QVERIFY(!f.panel->PainelAguarde2->isVisible());
        QCOMPARE(f.panel->gg1->palette().color(QPalette::Highlight), QColor(0, 0, 128));   // the components' pass
        seen = false;
        f.whenPreviewShows([](reports_engine::PreviewDialog *) {}, &seen);
        QTest::mouseClick(f.panel->BitBtn15, Qt::LeftButton);
        QVERIFY(seen);
        QCOMPARE(f.op.texts().size(), 1);
    }

    // A build that fails, whatever stops it, tells the operator in Portuguese first (the engine's
    // text after it), leaves no waiting panel or gauge behind and no cover over the other buttons.
    void failedBuildsLeaveNoPanel_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("build");
        QTest::addColumn<QString>("leadIn");
        QTest::addColumn<QString>("engineText");
        const QString premature = QStringLiteral("Premature end of document");
        QTest::newRow("CPV, projeto truncado") << "truncated project" << "CPV" << reports_engine::kInvalidProjectLeadIn << premature;
        QTest::newRow("revenda, projeto truncado") << "truncated resale project" << "resale" << reports_engine::kInvalidProjectLeadIn << premature;
        QTest::newRow("manipulação, projeto ausente") << "missing project" << "manufacturing" << reports_engine::kMissingProjectLeadIn
                                                      << QStringLiteral("The following reporting project does not exist");
        QTest::newRow("CPV, RP_TOTAIS ausente") << "no RP_TOTAIS" << "CPV" << db::kStructureMismatchMessage << QStringLiteral("Table unknown");
        QTest::newRow("CPV, consumo recusado") << "consumption refused" << "CPV" << db::kDatabaseRefusedMessage
                                               << QStringLiteral("conversion error");
    }

    void failedBuildsLeaveNoPanel()
    {
        QFETCH(QString, fault);
        QFETCH(QString, build);
        QFETCH(QString, leadIn);
        QFETCH(QString, engineText);
        Fixture f;
        const QString rpt = f.dir.filePath(QStringLiteral("c/FORMULIX/rpt/"));
        auto truncate = [](const QString &path) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.resize(file.size() / 2));
        };
        if (fault == QLatin1String("truncated project"))
            truncate(rpt + QStringLiteral("rel_EstoqueFisFin.rav"));
        else if (fault == QLatin1String("truncated resale project"))
            truncate(rpt + QStringLiteral("rel_EstoqueFisFinR.rav"));
        else if (fault == QLatin1String("missing project"))
            QVERIFY(QFile::remove(rpt + QStringLiteral("rel_EstoqueFisFin.rav")));
        else if (fault == QLatin1String("no RP_TOTAIS"))
            f.execWs(QStringLiteral("drop table RP_TOTAIS"));
        else if (fault == QLatin1String("consumption refused")) {
            // An order type that is a number: the consumption statement's 'Pedido' cannot be compared.
            f.exec(QStringLiteral("alter table PEDIDOS drop TIPOPEDIDO"));
            f.exec(QStringLiteral("alter table PEDIDOS add TIPOPEDIDO integer"));
            f.exec(QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) values ('01', 1, 7, '2024-02-01')"));
            f.exec(QStringLiteral("insert into PERIODO (DATAINICIAL, DATAFINAL) values ('2024-02-01', '2024-02-29')"));
        }
        f.exec(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, CODIGOCOMP, QDEESTOQUE, UNID) values ('01', 1, 'P02', 2, 'g')"));
        f.exec(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, PRECOR, "
                              "FATORDILUICAO) values ('P03', 'Produto 3', 'Rev', 'UN', 6, 2, 5, 1)"));
        f.panel->open();

        // The handler's error goes where the program sends it: the general error display.
        bool panelSeen = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &watch, [&f, &panelSeen] {
            panelSeen = panelSeen || f.panel->PainelAguarde->isVisible() || f.panel->PainelAguarde2->isVisible();
        });
        watch.start(0);
        try {
            if (build == QLatin1String("CPV")) {
                f.panel->BitBtn11Click();
                f.panel->PainelPeriodo->EditDataInicial->setText(QStringLiteral("01/02/24"));
                f.panel->PainelPeriodo->EditDataFinal->setText(QStringLiteral("29/02/24"));
                f.panel->BitBtn13Click();
            } else if (build == QLatin1String("resale")) {
                f.panel->btnFinanceiroClick();
            } else {
                f.panel->btn_1Click();
            }
            QFAIL("the build did not fail");
        } catch (...) {
            shell::EstoqueApplication::showCurrentException(&f.op);
        }
        watch.stop();
        if (build == QLatin1String("CPV"))
            QVERIFY(panelSeen);   // "Aguarde..." was up during the build

        const QStringList texts = f.op.texts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].startsWith(leadIn + QStringLiteral("\n\n")), qPrintable(texts[0]));
        QVERIFY2(texts[0].contains(engineText), qPrintable(texts[0]));

        QVERIFY(!f.panel->PainelAguarde->isVisible());
        QVERIFY(!f.panel->PainelAguarde2->isVisible());
        QCOMPARE(f.panel->gg1->value(), 0);
        QVERIFY(!f.panel->busy());
        // "Conferir baixas no estoque" is not covered and opens its period panel.
        QPushButton *audit = f.panel->BitBtn16;
        QVERIFY(audit->isEnabled());
        QCOMPARE(f.window.childAt(audit->mapTo(&f.window, audit->rect().center())), static_cast<QWidget *>(audit));
        QTest::mouseClick(audit, Qt::LeftButton);
        QVERIFY(f.panel->PainelPeriodo->isVisible());
        QVERIFY(f.panel->PainelPeriodo->Purpose == reports_ui::PeriodPanel::Purposes::DeductionAudit);
    }

    // "Visualizar" prints the staged rows only under the build and period they were made for;
    // otherwise it says whose rows they are and offers the build.
    void viewShowsOnlyWhatWasBuilt()
    {
        Fixture f;
        f.exec(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID, PRECOR, "
                              "FATORDILUICAO) values ('P03', 'Produto 3', 'Rev', 'UN', 6, 2, 5, 1)"));
        f.panel->open();
        bool seen = false;
        f.whenPreviewShows([](reports_engine::PreviewDialog *) {}, &seen);
        QTest::mouseClick(f.panel->btn_1, Qt::LeftButton);
        QVERIFY(seen);
        f.op.clear();
        // The build's error panel covers the reports panel until its "Sair".
        QVERIFY(f.panel->PainelDeErros->isVisible());
        QVERIFY(!f.panel->BitBtn6->isEnabled());
        QTest::mouseClick(f.panel->PainelDeErros->BitBtn8, Qt::LeftButton);

        // The resale view after the manufacturing build: asked, and No prints nothing.
        const QString resaleQuestion = QStringLiteral(
            "Os dados preparados são do relatório de estoque físico/financeiro, não do relatório de estoque "
            "físico/financeiro de revenda. Deseja gerar o relatório de estoque físico/financeiro de revenda agora?");
        seen = false;
        f.whenPreviewShows([](reports_engine::PreviewDialog *) {}, &seen);
        f.op.answer(platform::Answer::No);
        QTest::mouseClick(f.panel->BitBtn6, Qt::LeftButton);
        QCOMPARE(f.op.texts(), QStringList{resaleQuestion});
        QVERIFY(!seen);
        // Yes builds the resale report (its preview is the one that shows), then the view prints.
        f.op.answer(platform::Answer::Yes);
        QTest::mouseClick(f.panel->BitBtn6, Qt::LeftButton);
        QVERIFY(seen);
        QCOMPARE(f.ws.conn().query(QStringLiteral("select CODIGO from RELESTLOTE")).rows[0][0].toString(), QStringLiteral("P03"));
        f.op.clear();
        seen = false;
        f.whenPreviewShows([](reports_engine::PreviewDialog *) {}, &seen);
        QTest::mouseClick(f.panel->BitBtn6, Qt::LeftButton);
        QVERIFY(seen);
        QCOMPARE(f.op.texts(), QStringList());

        // The cost of products sold built for February; the audit then stores March.
        f.ws.conn().execute(QStringLiteral("insert into PERIODO (DATAINICIAL, DATAFINAL) values ('2024-02-01', '2024-02-29')"));
        seen = false;
        f.whenPreviewShows([](reports_engine::PreviewDialog *) {}, &seen);
        QTest::mouseClick(f.panel->BitBtn11, Qt::LeftButton);
        QTest::mouseClick(f.panel->PainelPeriodo->BitBtn13, Qt::LeftButton);
        QVERIFY(seen);
        reports::StorePeriod(f.ws.conn(), {QDate(2024, 3, 1), QDate(2024, 3, 31)}, QDate(2024, 4, 1));
        seen = false;
        f.whenPreviewShows([](reports_engine::PreviewDialog *) {}, &seen);
        f.op.answer(platform::Answer::Yes);
        QTest::mouseClick(f.panel->BitBtn15, Qt::LeftButton);
        QCOMPARE(f.op.texts(), QStringList{QStringLiteral(
                                   "Os dados preparados do CPV são do período de 01/02/2024 a 29/02/2024, mas o período "
                                   "atual é de 01/03/2024 a 31/03/2024. Deseja gerar o CPV do período atual agora?")});
        QVERIFY(!seen);
        // Yes opens the period panel on the current period.
        QVERIFY(f.panel->PainelPeriodo->isVisible());
        QCOMPARE(f.panel->PainelPeriodo->EditDataInicial->text(), QStringLiteral("01/03/24"));
        QTest::mouseClick(f.panel->PainelPeriodo->BitBtn13, Qt::LeftButton);
        QVERIFY(seen);
    }

    // Enter from the end date reaches "Ok"; an emptied box and a period ending before it starts
    // are refused with the panel kept, nothing stored and nothing built.
    void periodPanelRefusesEmptyAndReversedPeriods()
    {
        Fixture f;
        f.ws.conn().execute(QStringLiteral("insert into PERIODO (DATAINICIAL, DATAFINAL) values ('2026-11-01', '2026-11-30')"));
        f.panel->open();
        reports_ui::PeriodPanel *p = f.panel->PainelPeriodo;
        QTest::mouseClick(f.panel->BitBtn11, Qt::LeftButton);
        QTest::keyClick(p->EditDataInicial, Qt::Key_Return);
        QTest::keyClick(p->EditDataFinal, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(p->BitBtn13));

        struct Case {
            const char *start, *end;
            QString message;
            QWidget *focus;
        };
        const Case cases[] = {
            {"", "301126", QStringLiteral("'  /  /  ' não é uma data válida"), nullptr},
            {"301126", "011126", reports::kReversedPeriodMessage, p->EditDataFinal},
            {"010227", "311226", reports::kReversedPeriodMessage, p->EditDataFinal},
        };
        for (const Case &c : cases) {
            f.op.clear();
            for (auto [box, typed] : {std::pair{p->EditDataInicial, c.start}, std::pair{p->EditDataFinal, c.end}}) {
                box->setFocus();
                box->selectAll();
                QTest::keyClick(box, Qt::Key_Delete);
                QTest::keyClicks(box, QLatin1String(typed));
            }
            QTest::mouseClick(p->BitBtn13, Qt::LeftButton);
            QCOMPARE(f.op.texts(), QStringList{c.message});
            QVERIFY(p->isVisible());
            if (c.focus)
                QCOMPARE(QApplication::focusWidget(), c.focus);
            const db::Rows stored = f.ws.conn().query(QStringLiteral("select DATAINICIAL, DATAFINAL from PERIODO"));
            QCOMPARE(stored.rows[0][0].toDate(), QDate(2026, 11, 1));
            QCOMPARE(f.ws.conn().query(QStringLiteral("select count(*) from RELESTLOTE")).rows[0][0].toInt(), 0);
        }
        // A one-day period is a period.
        f.op.clear();
        p->EditDataFinal->selectAll();
        QTest::keyClicks(p->EditDataFinal, QStringLiteral("300127"));
        p->EditDataInicial->selectAll();
        QTest::keyClicks(p->EditDataInicial, QStringLiteral("300127"));
        bool seen = false;
        f.whenPreviewShows([](reports_engine::PreviewDialog *) {}, &seen);
        QTest::mouseClick(p->BitBtn13, Qt::LeftButton);
        QVERIFY(seen);
        QCOMPARE(f.panel->ReportPeriod.end, QDate(2027, 1, 30));
    }

    void previewSavesEveryFormat()
    {
        Fixture f;
        f.panel->open();
        bool seen = false;
        f.whenPreviewShows(
            [&f](reports_engine::PreviewDialog *preview) {
                for (auto [format, name] : {std::pair{reports_engine::FileFormat::Pdf, "lista.pdf"},
                                            std::pair{reports_engine::FileFormat::Rtf, "lista.rtf"},
                                            std::pair{reports_engine::FileFormat::Txt, "lista.txt"}})
                    QVERIFY(preview->saveAs(format, f.dir.filePath(QLatin1String(name))));
                // A folder that is not there: the operator reads the file's name as Windows gives it.
                QVERIFY(!preview->saveAs(reports_engine::FileFormat::Pdf,
                                         f.dir.filePath(QStringLiteral("c/FORMULIX/nada/lista.pdf"))));
            },
            &seen);
        f.panel->btn3Click();
        QVERIFY(seen);
        QCOMPARE(f.op.texts(), QStringList{QStringLiteral("Não foi possível gravar o arquivo C:\\FORMULIX\\nada\\lista.pdf: "
                                                          "Arquivo ou pasta não encontrado")});
        QVERIFY(f.fileBytes(QStringLiteral("lista.pdf")).startsWith("%PDF"));
        QVERIFY(f.fileBytes(QStringLiteral("lista.rtf")).startsWith("{\\rtf1\\ansi\\ansicpg1252"));
        QVERIFY(f.fileBytes(QStringLiteral("lista.txt")).contains("Produto 4"));
        QVERIFY(f.fileBytes(QStringLiteral("lista.txt")).contains("\r\n"));
    }

    // The file is named as Windows names it and found through drives.conf; the preview says where
    // it went. A drive with no mapping writes nothing.
    void saveFindsWindowsPaths()
    {
        Fixture f;
        f.run.siteConfig.ProgramFolder = QStringLiteral("C:\\FORMULIX\\");
        f.panel->open();
        bool seen = false;
        QString firstName, firstSelected, saved;
        const auto answerOptions = [](const QString &typed, QString *shown = nullptr, QString *selected = nullptr) {
            QTimer::singleShot(0, [=] {
                for (QWidget *w : QApplication::topLevelWidgets()) {
                    auto *options = qobject_cast<reports_engine::OutputOptionsDialog *>(w);
                    if (!options || !options->isVisible())
                        continue;
                    if (shown)
                        *shown = options->fileEdit->text();
                    if (selected)
                        *selected = options->fileEdit->selectedText();
                    options->fileEdit->setFocus();
                    options->fileEdit->selectAll();
                    QTest::keyClicks(options->fileEdit, typed);
                    QTest::keyClick(options->fileEdit, Qt::Key_Return);
                    return;
                }
            });
        };
        f.whenPreviewShows(
            [&](reports_engine::PreviewDialog *preview) {
                // The folder on disk is "FORMULIX": Windows does not see letter case.
                answerOptions(QStringLiteral("c:\\formulix\\listagem"), &firstName, &firstSelected);
                preview->save();
                saved = preview->savedLabel->text();
                answerOptions(QStringLiteral("D:\\listagem.txt"));
                preview->save();
            },
            &seen);
        f.panel->btn3Click();
        QVERIFY(seen);
        QCOMPARE(firstName, QStringLiteral("C:\\FORMULIX\\Posição do Estoque por Lote.pdf"));
        QCOMPARE(firstSelected, firstName);
        QCOMPARE(saved, QStringLiteral("Arquivo gravado em C:\\FORMULIX\\listagem.pdf"));
        QVERIFY(f.fileBytes(QStringLiteral("c/FORMULIX/listagem.pdf")).startsWith("%PDF"));
        QCOMPARE(QDir::current().entryList(QStringList{QStringLiteral("*listagem*")}), QStringList());
        QCOMPARE(f.op.texts(), QStringList{QStringLiteral("Não foi possível gravar o arquivo D:\\listagem.txt: "
                                                          "Arquivo ou pasta não encontrado")});
    }

    // Home and End to the first and last page, with Ctrl as well; Page Down and Page Up go through
    // a page taller than the window, and on to the next (previous) one at its end.
    void previewFromTheKeyboard()
    {
        reports_engine::PageModel model;   // A4 upright: taller than the screen at 100 %
        model.title = QStringLiteral("Teste");
        for (int i = 1; i <= 25; ++i) {
            reports_engine::PageItem item;
            item.rect = QRectF(10, 10, 50, 5);
            item.text = QStringLiteral("Página %1").arg(i);
            model.pages.push_back(reports_engine::Page{{item}});
        }
        reports_engine::PreviewDialog dialog(model, reports_engine::FileRenderers(), nullptr);
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTRY_COMPARE(dialog.preview->pageCount(), 10);
        const auto press = [&dialog](int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
            QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : &dialog;
            QTest::keyClick(target, Qt::Key(key), mods);
        };
        press(Qt::Key_End);
        QCOMPARE(dialog.currentPage(), 25);
        QCOMPARE(dialog.pageLabel->text(), QStringLiteral("Página 25 de 25"));
        press(Qt::Key_Home);
        QCOMPARE(dialog.currentPage(), 1);
        press(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(dialog.currentPage(), 25);
        press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(dialog.currentPage(), 1);
        QScrollBar *bar = dialog.preview->findChild<QGraphicsView *>()->verticalScrollBar();
        const int top = bar->value();

        // Down through page 1: more than one press, then page 2.
        int presses = 0;
        while (dialog.currentPage() == 1 && presses < 20) {
            press(Qt::Key_PageDown);
            ++presses;
        }
        QCOMPARE(dialog.currentPage(), 2);
        QVERIFY2(presses > 1, qPrintable(QString::number(presses)));
        QCOMPARE(dialog.pageLabel->text(), QStringLiteral("Página 2 de 25"));
        // Back up: page 1 again from its end, then as many presses to its top as it took down.
        press(Qt::Key_PageUp);
        QCOMPARE(dialog.currentPage(), 1);
        int up = 0, before = 0;
        do {
            before = bar->value();
            press(Qt::Key_PageUp);
            ++up;
        } while (bar->value() != before && up < 20);
        QCOMPARE(up - 1, presses - 1);   // the last one, on page 1's top, goes nowhere
        QVERIFY(bar->value() <= top);   // page 1's top in sight
        QCOMPARE(dialog.currentPage(), 1);

        // Past the pages the preview holds: page 11 comes with its stretch.
        dialog.goToPage(10);
        for (int i = 0; i < 20 && dialog.currentPage() == 10; ++i)
            press(Qt::Key_PageDown);
        QCOMPARE(dialog.currentPage(), 11);
        QCOMPARE(dialog.preview->currentPage(), 1);
    }

    // A long report: the preview holds a stretch of pages at a time and moves through the rest.
    void longReportPagesThrough()
    {
        static_assert(reports_engine::PreviewDialog::kPagesAtATime == 10, "the pages below are for ten at a time");
        reports_engine::PageModel model;
        for (int i = 1; i <= 95; ++i) {
            reports_engine::PageItem item;
            item.rect = QRectF(10, 10, 50, 5);
            item.text = QStringLiteral("Página %1").arg(i);
            model.pages.push_back(reports_engine::Page{{item}});
        }
        reports_engine::PreviewDialog dialog(model, reports_engine::FileRenderers(), nullptr);
        dialog.show();
        QTRY_COMPARE(dialog.preview->pageCount(), 10);
        QCOMPARE(dialog.pageCount(), 95);
        dialog.goToPage(85);
        QCOMPARE(dialog.currentPage(), 85);
        QCOMPARE(dialog.preview->currentPage(), 5);
        QCOMPARE(dialog.pageLabel->text(), QStringLiteral("Página 85 de 95"));
        dialog.goToPage(1000);
        QCOMPARE(dialog.currentPage(), 95);
        QCOMPARE(dialog.preview->pageCount(), 5);
        dialog.goToPage(40);
        QCOMPARE(dialog.currentPage(), 40);
        QCOMPARE(dialog.preview->pageCount(), 10);
    }
};

QTEST_MAIN(ReportsPanelTest)
#include "reportspanel_qtest.moc"
