// "Rastrear este lote" in the logged-in main window: the item after the system's three, enabled
// only on a current lot; the panel filled for the demo's traced lot; its CSV; closing it leaves the
// grid on the same row with the same search text.
#include "shell/program.h"
#include "shell/tform1.h"
#include "browser/ui/lotgrid.h"
#include "platform/cp1252.h"
#include "support/demoinstall.h"
#include "support/recordingoperator.h"
#include "reports/engine/render.h"
#include "reports/reportrig.h"
#include "reports/ui/reportspanel.h"
#include "trace/tracereport.h"
#include "trace/recall.h"
#include "common/units.h"
#include "trace/ui/lottracepanel.h"
#include "trace/ui/ordertracepanel.h"
#include "users/ui/loginpanel.h"

#include <algorithm>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QDate kToday(2026, 3, 31);

using reportstest::RecordingView;
}

class LotTracePanelTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 40, kToday), QString());
    }

    void menuItemOpensTheTraceAndClosingKeepsThePlace()
    {
        platform::FixedClock clock(kToday, QTime(10, 0));
        testsupport::RecordingOperator op;
        shell::Program program(testsupport::demoProgramFolder(m_dir.path()), clock, op);
        shell::TForm1 form(program);
        browser_ui::LotGrid *grid = form.DBGrid1;
        for (QTableView *view : {form.PainelRastreio->tblCompras, form.PainelRastreio->tblLocais,
                                 form.PainelRastreio->tblMovimentos, form.PainelRastreio->tblPedidos,
                                 form.PainelRastreio->tblOutrosPedidos, form.PainelRastreio->tblLotesEncontrados})
            new QAbstractItemModelTester(view->model(), QAbstractItemModelTester::FailureReportingMode::QtTest, this);

        const QList<QAction *> items = grid->PopupMenu2->actions();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items.at(0), grid->ransferirestoqueparaoutraunidade1);
        QCOMPARE(items.at(1), grid->NotaFiscal1);
        QCOMPARE(items.at(2), grid->AjustedeEstoque1);
        QCOMPARE(items.at(3)->text(), QStringLiteral("&Rastrear este lote"));
        // Before the login there is no lot.
        Q_EMIT grid->PopupMenu2->aboutToShow();
        QVERIFY(!grid->RastrearLote1->isEnabled());
        QVERIFY(!grid->RastrearLote1->isVisible());

        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.PainelLogin->EditNome->setText(QStringLiteral("maria"));
        form.PainelLogin->EditSenhaU->setText(QStringLiteral("1234"));
        QTest::keyClick(form.PainelLogin->EditSenhaU, Qt::Key_Return);
        QVERIFY(grid->isEnabled());

        // The demo's traced lot is the one with the loss movement.
        const db::Rows traced = program.dm.SQLConnection1.query(
            QStringLiteral("select LOTE, FORNECEDOR from MOVEST where CODPERDA = 'PERDA-0001'"));
        QCOMPARE(int(traced.rows.size()), 1);
        const QString lote = traced.rows[0][0].toString();
        data::CachedDataset &lots = program.dm.ESTLOTE;
        const int loteColumn = lots.fieldIndex(QStringLiteral("LOTE"));
        int row = -1;
        for (int r = 0; r < lots.rowCount() && row < 0; ++r)
            if (lots.valueAt(r, loteColumn).toString() == lote)
                row = r;
        QVERIFY(row >= 0);
        QTest::keyClicks(form.Edit1, QStringLiteral("a"));
        lots.moveTo(row);
        const QString search = form.Edit1->text();

        Q_EMIT grid->PopupMenu2->aboutToShow();
        QVERIFY(grid->RastrearLote1->isEnabled());
        QVERIFY(grid->RastrearLote1->isVisible());
        grid->RastrearLote1->trigger();
        trace_ui::LotTracePanel *panel = form.PainelRastreio;
        QVERIFY(panel->isVisible());
        QVERIFY(panel->lblLote->text().contains(lote));
        QSet<QString> kinds;
        const QAbstractItemModel *moves = panel->tblMovimentos->model();
        for (int r = 0; r < moves->rowCount(); ++r)
            kinds.insert(moves->index(r, 1).data().toString());
        for (const char *kind : {"Pedido", "Perda", "Controle de qualidade", "Compra", "Outro"})
            QVERIFY2(kinds.contains(QString::fromUtf8(kind)), kind);
        QSet<QString> stations;
        const QAbstractItemModel *orderRows = panel->tblPedidos->model();
        for (int r = 0; r < orderRows->rowCount(); ++r)
            stations.insert(orderRows->index(r, 0).data().toString());
        QCOMPARE(stations, (QSet<QString>{QStringLiteral("01"), QStringLiteral("02")}));
        QVERIFY(panel->current().difference() != 0);
        QVERIFY(panel->lblDiferenca->isVisible());
        QCOMPARE(panel->lblDiferenca->text(), panel->current().explanation());

        // Printed through the report engine, from the installation's project.
        RecordingView view;
        panel->reportView = &view;
        panel->btnImprimir->click();
        QCOMPARE(view.presented, 1);
        const QStringList printed = view.texts();
        QVERIFY(printed.contains(QStringLiteral("Rastreamento de Lote")));
        QVERIFY(printed.contains(panel->current().lot.descricao + QStringLiteral("  -  Lote ") + lote
                                 + QStringLiteral("  -  ") + panel->current().lot.fornecedor));
        for (const char *kind : {"Pedido", "Perda", "Controle de qualidade", "Compra", "Outro", "Nota fiscal"})
            QVERIFY2(printed.contains(QString::fromUtf8(kind)), kind);
        QVERIFY(printed.contains(QStringLiteral("Diferença: ") + trace::FormatQuantity(panel->current().difference())
                                 + QLatin1Char(' ') + panel->current().lot.unidade));
        QVERIFY(printed.contains(panel->current().explanation()));
        QTemporaryDir pdfDir;
        const QString pdf = pdfDir.filePath(QStringLiteral("rastreio.pdf"));
        QVERIFY(reports_engine::WritePdf(view.model, pdf));
        QFile pdfFile(pdf);
        QVERIFY(pdfFile.open(QIODevice::ReadOnly));
        QVERIFY(pdfFile.readAll().startsWith("%PDF"));
        QCOMPARE(op.texts(), QStringList());
        // Without the project in the installation the run is told, not shown.
        const QString project = QDir(testsupport::demoProgramFolder(m_dir.path())).filePath(QStringLiteral("rpt/rel_Rastreio.rav"));
        QVERIFY(QFile::rename(project, project + QStringLiteral(".bak")));
        panel->btnImprimir->click();
        QVERIFY(QFile::rename(project + QStringLiteral(".bak"), project));
        QCOMPARE(view.presented, 1);
        QCOMPARE(op.texts(), QStringList{reports_engine::kMissingProjectLeadIn + QStringLiteral("\n\n")
                                         + reports_engine::MissingProjectMessage(trace::kTraceProject)});
        op.clear();

        // Exported twice the same day: the second file does not overwrite the first.
        panel->btnExportar->click();
        panel->btnExportar->click();
        const QString csvName = QStringLiteral("RASTRO26.03.31_") + lote + QStringLiteral(".CSV");
        QCOMPARE(op.texts(),
                 (QStringList{QStringLiteral("Arquivo \"C:\\FORMULIX\\") + csvName
                                  + QStringLiteral("\" gerado com sucesso. \rAbra-o no Excel."),
                              QStringLiteral("Arquivo \"C:\\FORMULIX\\RASTRO26.03.31_") + lote
                                  + QStringLiteral(" (2).CSV\" gerado com sucesso. \rAbra-o no Excel.")}));
        QFile csv(QDir(testsupport::demoProgramFolder(m_dir.path())).filePath(csvName));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray bytes = csv.readAll();
        QCOMPARE(bytes, platform::toCp1252(trace::LotTraceLines(panel->current()).join(QStringLiteral("\r\n"))
                                           + QStringLiteral("\r\n")));
        QVERIFY(bytes.startsWith(platform::toCp1252(trace::kLotTraceHeader) + "\r\n"));

        // "Recolher lote": what moves is shown and confirmed, a justification asked once (an empty
        // one refused), the store's balances go into quality control, the lot's total is kept, the
        // grid keeps its place; a second recall moves nothing and says so.
        const trace::LotKey lotKey = panel->current().lot;
        auto lotTotal = [&] {
            const db::Rows r = program.dm.SQLConnection1.query(
                QStringLiteral("select SALDOCORRENTE, UNIDADE from ESTLOTE where CODIGO = ? and LOTE = ? and FORNECEDOR = ?"),
                {db::Value::text(lotKey.codigo), db::Value::text(lotKey.lote), db::Value::text(lotKey.fornecedor)});
            double sum = 0;
            for (const auto &row : r.rows)
                sum += row[0].toDouble() * common::UnitFactorBetween(row[1].toString(), lotKey.unidade).value();
            return sum;
        };
        const double total = lotTotal();
        const trace::RecallPlan plan = trace::PlanRecall(program.dm.SQLConnection1, lotKey, program.run.StoreLaboratories);
        QVERIFY(!plan.nothingToMove());
        op.clear();
        op.answer(platform::Answer::Yes);
        QVERIFY(panel->btnRecolher->isVisible());
        panel->btnRecolher->setFocus();
        QTest::keyClick(panel->btnRecolher, Qt::Key_Space);
        QVERIFY(panel->edtJustificativa->hasFocus());
        QTest::keyClick(panel->edtJustificativa, Qt::Key_Return);
        QTest::keyClicks(panel->edtJustificativa, QStringLiteral("Alerta do fabricante nº 12"));
        QTest::keyClick(panel->edtJustificativa, Qt::Key_Return);
        QVERIFY(panel->lastRecall().has_value());
        QCOMPARE(op.texts(), (QStringList{trace::RecallQuestion(lotKey, plan),
                                          QStringLiteral("Informe a justificativa do recolhimento."),
                                          panel->lastRecall()->message}));
        QVERIFY(panel->lastRecall()->message.startsWith(trace::kRecallDoneLead));
        QCOMPARE(int(panel->lastRecall()->moved.size()), int(plan.toMove.size()));
        QCOMPARE(lotTotal(), total);
        QVERIFY(!panel->pnlJustificativa->isVisible());
        const QAbstractItemModel *places = panel->tblLocais->model();
        bool quarantined = false;
        for (int r = 0; r < places->rowCount(); ++r)
            quarantined = quarantined
                || (places->index(r, 0).data().toString() == trace::kQualityControl
                    && places->index(r, 3).data().toString() == trace::kAwaiting);
        QVERIFY(quarantined);
        QCOMPARE(lots.currentRow(), row);
        op.clear();
        panel->btnRecolher->click();
        QCOMPARE(op.texts(), QStringList{trace::NothingToRecallText(
                                 lotKey, trace::PlanRecall(program.dm.SQLConnection1, lotKey,
                                                           program.run.StoreLaboratories))});
        QVERIFY(op.texts().first().startsWith(QStringLiteral("Nada a recolher: ")));
        op.clear();

        // The dossier: printed with the pharmacy and who recalled it, and saved as its own file.
        RecordingView dossierView;
        panel->reportView = &dossierView;
        panel->btnImprimir->click();
        QCOMPARE(dossierView.presented, 1);
        const QStringList dossierTexts = dossierView.texts();
        auto printedStarting = [&](const QString &lead) {
            return std::any_of(dossierTexts.begin(), dossierTexts.end(), [&](const QString &t) { return t.startsWith(lead); });
        };
        QVERIFY(printedStarting(QStringLiteral("Recolhido para Controle Qualidade (Aguardando) por ")));
        QVERIFY(dossierTexts.contains(QStringLiteral("Recolhido do local")));
        QVERIFY(dossierTexts.contains(QStringLiteral("Quarentena")));
        panel->btnExportar->click();
        const QString dossierName = QStringLiteral("RECOLHIMENTO26.03.31_") + lote + QStringLiteral(".CSV");
        QCOMPARE(op.texts(), QStringList{QStringLiteral("Arquivo \"C:\\FORMULIX\\") + dossierName
                                         + QStringLiteral("\" gerado com sucesso. \rAbra-o no Excel.")});
        QFile dossierFile(QDir(testsupport::demoProgramFolder(m_dir.path())).filePath(dossierName));
        QVERIFY(dossierFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> dossierLines = dossierFile.readAll().split('\n');
        QVERIFY(dossierLines.size() > 3);
        QVERIFY(dossierLines.at(1).contains(platform::toCp1252(QStringLiteral(";Farmácia;"))));
        QVERIFY(dossierLines.at(2).contains(";Recolhido do local;31/03/2026;"));
        op.clear();

        panel->btnFechar->setFocus();
        panel->btnFechar->click();
        QVERIFY(!panel->isVisible());
        QCOMPARE(lots.currentRow(), row);
        QCOMPARE(grid->currentIndex().row(), row);
        QCOMPARE(form.Edit1->text(), search);
        QVERIFY(grid->hasFocus() || !form.Edit1->hasFocus());

        // Ctrl+L on the grid: the lot found by its number typed in lower case, opened by Enter.
        op.clear();
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_L, Qt::ControlModifier);
        QVERIFY(panel->isVisible());
        QVERIFY(panel->edtNumeroLote->hasFocus());
        QTest::keyClicks(panel->edtNumeroLote, QStringLiteral("zz-nenhum"));
        QTest::keyClick(panel->edtNumeroLote, Qt::Key_Return);
        QCOMPARE(op.texts(), QStringList{QStringLiteral("Nenhum lote de número zz-nenhum nos locais desta loja.")});
        panel->edtNumeroLote->clear();
        QTest::keyClicks(panel->edtNumeroLote, lote.toLower());
        QTest::keyClick(panel->edtNumeroLote, Qt::Key_Return);
        QVERIFY(panel->tblLotesEncontrados->isVisible());
        QVERIFY(panel->tblLotesEncontrados->hasFocus());
        QVERIFY(panel->tblLotesEncontrados->model()->rowCount() >= 1);
        for (int r = 0; r < panel->tblLotesEncontrados->model()->rowCount(); ++r)
            QCOMPARE(panel->tblLotesEncontrados->model()->index(r, 2).data().toString().toUpper(), lote.toUpper());
        QTest::keyClick(panel->tblLotesEncontrados, Qt::Key_Return);
        QVERIFY(!panel->tblLotesEncontrados->isVisible());
        QCOMPARE(panel->current().lot.lote.toUpper(), lote.toUpper());
        QVERIFY(panel->lblLote->text().contains(lote));
        QCOMPARE(op.texts().size(), 1);
        panel->btnFechar->click();

        // "Rastrear pedido" on the reports panel: the demo's traced order, one never deducted,
        // and one that does not exist.
        op.clear();
        form.btn1->click();
        QVERIFY(form.pnlRelatorios->isVisible());
        QCOMPARE(form.pnlRelatorios->btnRastrearPedido->text(), QStringLiteral("Rastrear pedid&o"));
        form.pnlRelatorios->btnRastrearPedido->click();
        trace_ui::OrderTracePanel *orders = form.PainelRastreioPedido;
        QVERIFY(orders->isVisible());
        QVERIFY(orders->edtEstacao->hasFocus());
        auto traceOrder = [&](const QString &station, const QString &number) {
            orders->edtEstacao->setText(station);
            orders->edtPedido->setText(number);
            QTest::keyClick(orders->edtPedido, Qt::Key_Return);
        };
        traceOrder(QStringLiteral("2"), QStringLiteral("900002"));
        QCOMPARE(orders->tblComponentes->rowCount(), 1);
        QCOMPARE(orders->tblComponentes->item(0, 2)->text(), lote);
        QCOMPARE(orders->tblComponentes->item(0, 10)->text(), QStringLiteral("Baixado"));
        QVERIFY(orders->tblComponentes->item(0, 6)->text() != trace::kNotMoved);
        RecordingView orderView;
        orders->reportView = &orderView;
        orders->btnImprimir->click();
        QCOMPARE(orderView.presented, 1);
        QVERIFY(orderView.texts().contains(QStringLiteral("Pedido 02.900002  -  21/03/2026  -  Pedido")));
        QVERIFY(orderView.texts().contains(lote));

        const db::Rows missing = program.dm.SQLConnection1.query(QStringLiteral(
            "select first 1 A.ESTACAO, A.NPEDIDO from COMPEDID A join PEDIDOS P on P.ESTACAO = A.ESTACAO and "
            "P.NPEDIDO = A.NPEDIDO where A.GRUPO = 'MP' and not exists (select 1 from MOVEST M where "
            "M.ESTACAO = A.ESTACAO and M.NPEDIDO = A.NPEDIDO and M.NFORMULA = A.NFORMULA and M.LOTE = A.LOTE) "
            "order by A.NPEDIDO"));
        QCOMPARE(int(missing.rows.size()), 1);
        traceOrder(missing.rows[0][0].toString(), missing.rows[0][1].toString());
        bool notMovedShown = false;
        for (int r = 0; r < orders->tblComponentes->rowCount(); ++r)
            notMovedShown = notMovedShown || orders->tblComponentes->item(r, 6)->text() == trace::kNotMoved;
        QVERIFY(notMovedShown);
        QVERIFY(orders->lblPedido->text().endsWith(QStringLiteral(" sem baixa")));

        traceOrder(QStringLiteral("09"), QStringLiteral("1"));
        QCOMPARE(orders->lblPedido->text(), QStringLiteral("Pedido 09.1 não encontrado."));
        QCOMPARE(orders->tblComponentes->rowCount(), 0);
        QVERIFY(!orders->btnExportar->isEnabled());
        QVERIFY(!orders->btnImprimir->isEnabled());
        QCOMPARE(op.texts(), QStringList());
        QTest::keyClick(orders->edtPedido, Qt::Key_Escape);
        QVERIFY(!orders->isVisible());
        QVERIFY(form.pnlRelatorios->btnRastrearPedido->hasFocus());
    }
};

QTEST_MAIN(LotTracePanelTest)
#include "lottracepanel_qtest.moc"
