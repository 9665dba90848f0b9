// The lot grid on a real central database: columns, colours, the search box, the title sort, the
// detail and invoice panels, and the refresh button.
#include "core/runstate.h"
#include "shell/program.h"
#include "common/stockquery.h"
#include "browser/ui/adjustmentpanel.h"
#include "browser/ui/detailpanel.h"
#include "browser/ui/invoicepanel.h"
#include "browser/ui/lotgrid.h"
#include "browser/ui/maintenancepanel.h"
#include "browser/ui/searchbinding.h"
#include "browser/ui/stockbrowser.h"
#include "browser/ui/waitpanel.h"
#include "support/recordingoperator.h"
#include "support/tempinstall.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using testsupport::RecordingOperator;
using testsupport::TempInstall;

namespace {

const QDate kToday(2024, 3, 7);

// Columns of the grid, by position.
enum { Codigo, Descricao, LoteCol, Fornecedor, Local, Estoque, Unid, Validade, Situacao, Controlada };

void addLot(db::Connection &c, const QString &descricao, const QString &lote, const QString &validade,
            const QString &situacao, const QString &saldo)
{
    QString desc = descricao;
    desc.replace(QLatin1Char('\''), QStringLiteral("''"));
    c.execute(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, UNIDADE, "
                             "VALIDADE, SITUACAO, LABORATORIO, FABRICANTE, DENSIDADE, FATORCORRECAO) values ('%1', '%2', "
                             "'Fornecedor %2', 'C%2', %3, 'g', %4, '%5', 'Manipulacao', 'Fabricante %2', 1.05, 1.2)")
                  .arg(desc, lote, saldo, validade.isEmpty() ? QStringLiteral("null") : "'" + validade + "'", situacao));
}

void addPurchase(db::Connection &c, const QString &componente, const QString &lote, const QString &nota,
                 const QString &data)
{
    QString comp = componente;
    comp.replace(QLatin1Char('\''), QStringLiteral("''"));
    c.execute(QStringLiteral("insert into COMPRAS (COMPONENTE, LOTE, NOTAFISCAL, DATA, FORNECEDOR) "
                             "values ('%1', '%2', '%3', '%4', 'Fornecedor')")
                  .arg(comp, lote, nota, data));
}

struct Fixture {
    Fixture()
    {
        db::Connection &c = inst.central();
        addLot(c, QStringLiteral("Acido ascorbico"), QStringLiteral("A1"), QStringLiteral("2024-05-06"),
               QStringLiteral("Estoque"), QStringLiteral("10"));                  // 60 days ahead
        addLot(c, QStringLiteral("Acido bórico"), QStringLiteral("B1"), QStringLiteral("2024-05-07"),
               QStringLiteral("Estoque"), QStringLiteral("2.5"));                 // 61 days ahead
        addLot(c, QStringLiteral("Benzocaína"), QStringLiteral("C1"), QStringLiteral("2025-01-01"),
               QStringLiteral("Vencido"), QStringLiteral("4"));
        addLot(c, QStringLiteral("Cafeína"), QStringLiteral("D1"), QString(), QStringLiteral("Estoque"),
               QStringLiteral("7"));                                              // no date
        addLot(c, QStringLiteral("Zinco quelato"), QStringLiteral("F1"), QStringLiteral("2024-04-01"),
               QStringLiteral("Estoque"), QStringLiteral("1"));
        addLot(c, QStringLiteral("Óleo d'amêndoa"), QStringLiteral("E1"), QStringLiteral("2025-06-30"),
               QStringLiteral("Estoque"), QStringLiteral("3"));
        addPurchase(c, QStringLiteral("Acido ascorbico"), QStringLiteral("A1"), QStringLiteral("12345"),
                    QStringLiteral("2024-02-05"));
        addPurchase(c, QStringLiteral("Óleo d'amêndoa"), QStringLiteral("E1"), QStringLiteral("777"),
                    QStringLiteral("2023-11-30"));

        program.connections.SQLConnection1.configure(c.target());
        program.run.LotColumnList = core::kLotColumnList;
        program.run.LabScopeClause = QStringLiteral("UPPER(LABORATORIO) = 'MANIPULACAO'");

        window.resize(1000, 600);
        auto *layout = new QVBoxLayout(&window);
        bar.Edit1 = new QLineEdit(&window);
        bar.Label2 = new QLabel(QStringLiteral("&Pesquisar"), &window);
        bar.Label2->setBuddy(bar.Edit1);
        bar.Button1 = new QPushButton(QStringLiteral("&P"), &window);
        bar.Button1->setFocusPolicy(Qt::NoFocus);
        nav = new QToolButton(&window);
        bar.DBNavigator1 = nav;
        bar.BitBtn3 = new QPushButton(QStringLiteral("Editar tabela"), &window);
        bar.filterIndex = [this] { return filterIndex; };
        auto *top = new QHBoxLayout;
        for (QWidget *w : std::initializer_list<QWidget *>{bar.Label2, bar.Edit1, bar.Button1, nav, bar.BitBtn3})
            top->addWidget(w);
        layout->addLayout(top);
        browser = new browser_ui::StockBrowser(program.dm, clock, op, bar, &window);
        grid = browser->DBGrid1;
        layout->addWidget(grid, 1);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }

    void build(int view, int mode)
    {
        filterIndex = view;
        browser::BuildStockQuery(program.dm, view, mode, clock, *browser->PanelAguarde);
    }

    QStringList column(int col) const
    {
        QStringList out;
        for (int r = 0; r < grid->model()->rowCount(); ++r)
            out << grid->model()->index(r, col).data().toString();
        return out;
    }
    QString currentLot() const
    {
        return program.dm.ESTLOTE.isOpen() && program.dm.ESTLOTE.currentRow() >= 0
            ? program.dm.ESTLOTE.text(QStringLiteral("LOTE"))
            : QString();
    }
    int rowOf(const QString &lot) const { return column(LoteCol).indexOf(lot); }
    void clickRow(int row)
    {
        const QRect r = grid->visualRect(grid->model()->index(row, Descricao));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
    }
    // The colour of a cell away from its text: the "Control." column is empty in every row.
    QColor cellColour(const QImage &shot, int row) const
    {
        const QRect r = grid->visualRect(grid->model()->index(row, Controlada));
        return shot.pixelColor(r.center());
    }

    TempInstall inst;
    platform::FixedClock clock{kToday};
    RecordingOperator op;
    shell::Program program{inst.programFolder(), clock, op};
    QWidget window;
    browser_ui::TopBar bar;
    QToolButton *nav;
    int filterIndex = 0;
    browser_ui::StockBrowser *browser;
    browser_ui::LotGrid *grid;
};

} // namespace

class LotGridTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTheLotColumnsInOrder()
    {
        Fixture f;
        QVERIFY(f.program.dm.invoicePanel == f.browser->PainelNF);
        f.build(0, 1);
        QStringList captions;
        for (int c = 0; c < f.grid->model()->columnCount(); ++c)
            captions << f.grid->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(captions, QStringList({"Código", "Descrição", "Lote", "Fornecedor", "Local", "Estoque", "Unid",
                                        "Validade", "Situação", "Control.", "Fabricante", "Dens.", "Fat. Corr."}));
        QCOMPARE(f.column(Descricao), QStringList({"Acido ascorbico", "Acido bórico", "Benzocaína", "Cafeína",
                                                   "Zinco quelato", "Óleo d'amêndoa"}));
        QCOMPARE(f.grid->model()->index(1, Estoque).data().toString(), QStringLiteral("2,5"));
        QCOMPARE(f.grid->model()->index(0, Validade).data().toString(), QStringLiteral("06/05/2024"));
        QCOMPARE(f.grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(f.grid->selectionBehavior(), QAbstractItemView::SelectRows);

        QStringList menu;
        for (QAction *a : f.grid->PopupMenu2->actions())
            menu << a->text();
        QCOMPARE(menu, QStringList({"&Transferir estoque para outra unidade", "&Nota Fiscal", "Habilitar &ajuste manual",
                                    "&Rastrear este lote"}));

        // Every panel starts hidden; the wait panel is gone once the rows are in.
        for (QWidget *w : std::initializer_list<QWidget *>{f.browser->pnlDetalha, f.browser->PainelNF,
                                                           f.browser->PainelSenha, f.browser->Panel1,
                                                           f.browser->PanelAguarde})
            QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
    }

    void coloursEveryRowByItsExpiry()
    {
        Fixture f;
        f.build(0, 1);
        const QColor info = f.grid->palette().color(QPalette::ToolTipBase);
        const QColor inactive = f.grid->backgroundColor(browser::CellBackground::InactiveCaption);
        QVERIFY(info != QColor(Qt::yellow) && info != QColor(Qt::white) && inactive != QColor(Qt::yellow));
        const QStringList lots = f.column(LoteCol);
        const QMap<QString, QColor> expected = {
            {"A1", Qt::yellow},           // 60 days ahead
            {"B1", info},                 // 61 days ahead
            {"C1", Qt::white},            // Vencido, though its date is ahead
            {"D1", Qt::yellow},           // no date
            {"F1", Qt::yellow},
            {"E1", info},
        };
        // Every row, the current one included, shows its own colours.
        for (const int current : {0, int(lots.size()) - 1}) {
            f.program.dm.ESTLOTE.moveTo(current);
            const QImage shot = f.grid->viewport()->grab().toImage();
            for (int r = 0; r < lots.size(); ++r)
                QCOMPARE(f.cellColour(shot, r), expected.value(lots.at(r)));
        }
        // The silver text of an expired lot.
        QCOMPARE(f.grid->rowColours(f.rowOf("C1")).text, browser::CellText::Silver);

        // In the nearest-expiries view the highlight is the inactive caption colour.
        f.filterIndex = browser::kNearestExpiriesView;
        f.program.dm.ESTLOTE.moveTo(f.rowOf("B1"));
        f.grid->viewport()->update();
        const QImage shot = f.grid->viewport()->grab().toImage();
        QCOMPARE(f.cellColour(shot, f.rowOf("A1")), inactive);
        QCOMPARE(f.cellColour(shot, f.rowOf("D1")), inactive);
        QCOMPARE(f.cellColour(shot, f.rowOf("C1")), QColor(Qt::white));
        QCOMPARE(f.cellColour(shot, f.rowOf("E1")), info);
    }

    void theSearchBoxMovesTheGrid()
    {
        Fixture f;
        f.build(0, 1);
        QLineEdit *edit = f.bar.Edit1;
        edit->setText(QStringLiteral("old"));
        f.grid->setFocus();
        QTest::keyClick(&f.window, Qt::Key_P, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(edit->selectedText(), QStringLiteral("old"));   // entering the box selects the last search

        QTest::keyClicks(edit, QStringLiteral("aCIDO B"));
        QCOMPARE(f.currentLot(), QStringLiteral("B1"));
        QCOMPARE(f.grid->currentIndex().row(), f.rowOf("B1"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(edit->text(), QStringLiteral("Acido b"));
        QCOMPARE(QApplication::focusWidget(), f.grid);
        QCOMPARE(f.currentLot(), QStringLiteral("B1"));

        // Back into the box by a click: the last search stays, selected, and the grid where it
        // was; what is typed replaces it.
        QTest::mouseClick(edit, Qt::LeftButton);
        QCOMPARE(edit->text(), QStringLiteral("Acido b"));
        QCOMPARE(edit->selectedText(), QStringLiteral("Acido b"));
        QCOMPARE(f.currentLot(), QStringLiteral("B1"));

        QTest::keyClicks(edit, QStringLiteral("caf"));
        QCOMPARE(f.currentLot(), QStringLiteral("D1"));
        QTest::keyClicks(edit, QStringLiteral("zzz"));   // "Cafzzz": after Cafeína
        QCOMPARE(f.currentLot(), QStringLiteral("F1"));
        // A text after every key: the last row, and no message.
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("zz"));
        QCOMPARE(f.currentLot(), QStringLiteral("E1"));
        QVERIFY(f.op.messages().isEmpty());

        // The button of Alt+P leads to the box too, and so does a click on the label.
        f.grid->setFocus();
        f.browser->search->Button1Click();
        QCOMPARE(QApplication::focusWidget(), edit);
        f.grid->setFocus();
        QTest::mouseClick(f.bar.Label2, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), edit);
    }

    void aTitleClickSortsAndTheSortOutlivesAFilterChange()
    {
        Fixture f;
        f.build(0, 1);
        QHeaderView *header = f.grid->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(Validade) + 10, header->height() / 2));
        QCOMPARE(f.program.dm.ESTLOTE.indexFieldNames(), QStringLiteral("VALIDADE"));
        QCOMPARE(f.column(LoteCol), QStringList({"D1", "F1", "A1", "B1", "C1", "E1"}));

        // Another view: rebuilt statement, same sort.
        f.build(6, 0);
        QCOMPARE(f.column(LoteCol), QStringList({"F1", "A1", "B1", "C1", "E1"}));
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), int(Validade));

        // The search now walks the expiry dates.
        QTest::mouseClick(f.bar.Edit1, Qt::LeftButton);
        QTest::keyClicks(f.bar.Edit1, QStringLiteral("01/05"));
        QCOMPARE(f.currentLot(), QStringLiteral("A1"));
        QTest::keyClicks(f.bar.Edit1, QStringLiteral("/2025"));
        QCOMPARE(f.currentLot(), QStringLiteral("E1"));

        // Another title takes over.
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(Estoque) + 10, header->height() / 2));
        QCOMPARE(f.column(LoteCol), QStringList({"F1", "B1", "E1", "C1", "A1"}));
    }

    void theNearestExpiriesViewSearchesByDate()
    {
        Fixture f;
        f.build(browser::kNearestExpiriesView, 0);
        QCOMPARE(f.column(LoteCol), QStringList({"F1", "A1"}));
        QTest::mouseClick(f.bar.Edit1, Qt::LeftButton);
        QTest::keyClicks(f.bar.Edit1, QStringLiteral("2"));   // the next 2nd: 2 April
        QCOMPARE(f.currentLot(), QStringLiteral("A1"));
        f.bar.Edit1->clear();
        QTest::keyClicks(f.bar.Edit1, QStringLiteral("01/04/2024"));
        QCOMPARE(f.currentLot(), QStringLiteral("F1"));
    }

    void theDetailPanelFollowsTheGridUntilClosed()
    {
        Fixture f;
        f.build(0, 1);
        const int row = f.rowOf("B1");
        const QRect cell = f.grid->visualRect(f.grid->model()->index(row, Descricao));
        QTest::mouseDClick(f.grid->viewport(), Qt::LeftButton, {}, cell.center());
        browser_ui::DetailPanel *panel = f.browser->pnlDetalha;
        QVERIFY(panel->isVisible());
        QCOMPARE(f.currentLot(), QStringLiteral("B1"));

        QStringList captions, texts;
        for (int i = 0; i < panel->captions.size(); ++i) {
            captions << panel->captions.at(i)->text();
            texts << panel->texts.at(i)->text();
        }
        QCOMPARE(captions, QStringList({"Descrição", "Lote", "Fornecedor", "Validade", "Fabricante",
                                        "Saldo Corrente", "Fator Correção", "Densidade"}));
        QCOMPARE(texts, QStringList({"Acido bórico", "B1", "Fornecedor B1", "07/05/2024", "Fabricante B1", "2,5",
                                     "1,2", "1,05"}));

        // The grid's row moves, the panel goes along, both ways round.
        f.grid->setFocus();
        QTest::keyClick(f.grid, Qt::Key_Down);
        QCOMPARE(f.currentLot(), QStringLiteral("C1"));
        QCOMPARE(panel->texts.at(0)->text(), QStringLiteral("Benzocaína"));
        f.program.dm.ESTLOTE.moveTo(f.rowOf("D1"));
        QCOMPARE(f.grid->currentIndex().row(), f.rowOf("D1"));
        QCOMPARE(panel->texts.at(3)->text(), QString());

        QTest::mouseClick(panel->btn8, Qt::LeftButton);
        QVERIFY(!panel->isVisible());
        QCOMPARE(QApplication::focusWidget(), f.grid);
    }

    void theInvoicePanelShowsThePurchaseOfTheLot()
    {
        Fixture f;
        f.build(0, 1);
        browser_ui::InvoicePanel *nf = f.browser->PainelNF;
        QCOMPARE(nf->NomeComponente->text(), QStringLiteral("<Nome do Componente>"));
        QCOMPARE(nf->LoteComponente->text(), QStringLiteral("<Lote do Componente>"));
        const auto labels = [nf] {
            return QStringList({nf->NomeComponente->text(), nf->LoteComponente->text(), nf->NumeroNF->text(),
                                nf->DataNF->text()});
        };

        f.clickRow(f.rowOf("A1"));
        f.grid->NotaFiscal1->trigger();
        QVERIFY(nf->isVisible());
        QCOMPARE(QApplication::focusWidget(), nf->FecharPainelNF);
        QCOMPARE(labels(), QStringList({"Acido ascorbico", "Lote A1", "Num. da Nota Fiscal: 12345",
                                        "Data da Nota Fiscal.: 05/02/2024"}));

        // While it shows, every move of the grid looks the lot up again.
        f.clickRow(f.rowOf("B1"));
        QCOMPARE(labels(), QStringList({"Acido bórico", "Lote B1", "Num. da Nota Fiscal: NÃO ENCONTRADA",
                                        "Data da Nota Fiscal.: NÃO ENCONTRADA"}));
        f.clickRow(f.rowOf("E1"));
        QCOMPARE(labels(), QStringList({"Óleo d'amêndoa", "Lote E1", "Num. da Nota Fiscal: 777",
                                        "Data da Nota Fiscal.: 30/11/2023"}));
        QTest::mouseClick(nf->FecharPainelNF, Qt::LeftButton);
        QVERIFY(!nf->isVisible());

        // Closed, it is left alone.
        f.clickRow(f.rowOf("A1"));
        QCOMPARE(labels().at(0), QStringLiteral("Óleo d'amêndoa"));

        // The menu item on a lot nobody bought.
        f.clickRow(f.rowOf("C1"));
        f.grid->NotaFiscal1->trigger();
        QCOMPARE(labels(), QStringList({"Benzocaína", "Lote C1", "Num. da Nota Fiscal: NÃO ENCONTRADO",
                                        "Data da Nota Fiscal.: NÃO ENCONTRADA"}));

        // A name with an apostrophe is looked up like any other.
        QTest::mouseClick(nf->FecharPainelNF, Qt::LeftButton);
        f.clickRow(f.rowOf("E1"));
        f.grid->NotaFiscal1->trigger();
        QCOMPARE(labels(), QStringList({"Óleo d'amêndoa", "Lote E1", "Num. da Nota Fiscal: 777",
                                        "Data da Nota Fiscal.: 30/11/2023"}));
        QVERIFY(f.op.messages().isEmpty());
    }

    void refreshRunsTheCurrentStatementAgain()
    {
        Fixture f;
        f.nav->click();   // nothing open yet: nothing to do
        QVERIFY(!f.program.dm.ESTLOTE.isOpen());
        f.build(6, 0);
        const QString statement = f.program.dm.ESTLOTE.commandText();
        QCOMPARE(f.grid->model()->rowCount(), 5);
        addLot(f.inst.central(), QStringLiteral("Magnésio"), QStringLiteral("G1"), QStringLiteral("2025-02-02"),
               QStringLiteral("Estoque"), QStringLiteral("5"));
        QCOMPARE(f.grid->model()->rowCount(), 5);
        f.nav->click();
        QCOMPARE(f.program.dm.ESTLOTE.commandText(), statement);
        QCOMPARE(f.column(LoteCol), QStringList({"A1", "B1", "C1", "G1", "F1", "E1"}));
    }
};

QTEST_MAIN(LotGridTest)
#include "lotgrid_qtest.moc"
