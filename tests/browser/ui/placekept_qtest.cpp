// The operator's place in the logged-in main window: the search text and the current row stay
// as they were when a panel over the grid closes, letters typed in the grid do not move it, the
// current row is marked, and a search shows the lot it finds with the lots that follow.
#include "shell/program.h"
#include "shell/tform1.h"
#include "browser/ui/adjustmentpanel.h"
#include "browser/ui/detailpanel.h"
#include "browser/ui/invoicepanel.h"
#include "browser/ui/lotgrid.h"
#include "browser/ui/maintenancepanel.h"
#include "exports/ui/deductionauditpanel.h"
#include "exports/ui/historyviewer.h"
#include "expiry/ui/expirypanel.h"
#include "reports/engine/previewdialog.h"
#include "reports/ui/periodpanel.h"
#include "reports/ui/reportspanel.h"
#include "support/demoinstall.h"
#include "support/recordingoperator.h"
#include "users/ui/loginpanel.h"

#include <QAction>
#include <QAbstractItemModel>
#include <QComboBox>
#include <QTableView>
#include <QHeaderView>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using testsupport::RecordingOperator;

namespace {
const QDate kToday(2026, 3, 31);

// Dark enough to be the frame or the row indicator, not a header's or a cell's border.
int blackPixels(const QImage &image, const QRect &area)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += image.pixelColor(x, y).lightness() < 40;
    return n;
}

// Closes the report preview, once it shows, the way `close` does; true in *seen when it showed.
void whenPreviewShows(QObject *owner, std::function<void(reports_engine::PreviewDialog *)> close, bool *seen)
{
    auto *timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, close, seen] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *preview = qobject_cast<reports_engine::PreviewDialog *>(w);
            if (preview && preview->isVisible()) {
                timer->stop();
                *seen = true;
                close(preview);
                timer->deleteLater();
                return;
            }
        }
    });
    timer->start(20);
}

// Every control Tab and Shift+Tab reach from the focus, going round `rounds` times each way.
QList<QWidget *> tabRound(int rounds)
{
    QList<QWidget *> reached;
    for (const auto key : {Qt::Key_Tab, Qt::Key_Backtab})
        for (int i = 0; i < rounds; ++i) {
            QTest::keyClick(QApplication::focusWidget(), key);
            reached << QApplication::focusWidget();
        }
    return reached;
}
} // namespace

class PlaceKeptTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    platform::FixedClock m_clock{kToday, QTime(10, 0)};
    RecordingOperator m_op;
    std::unique_ptr<shell::Program> m_program;
    std::unique_ptr<shell::TForm1> m_form;

    data::CachedDataset &lots() { return m_program->dm.ESTLOTE; }
    shell::TForm1 &form() { return *m_form; }

    // Searches for the start of the description of row `row` (its unaccented letters, as typed
    // on any keyboard), leaves the box with Enter and goes `down` rows further with the arrow
    // key: a place that is neither the first row nor the search's own.
    void takePlace(int row, int down)
    {
        const int descricao = lots().fieldIndex(QStringLiteral("DESCRICAO"));
        QString typed;
        for (; row < lots().rowCount() && typed.size() < 3; ++row) {
            typed.clear();
            for (const QChar c : lots().valueAt(row, descricao).toString().left(6)) {
                if (c.unicode() > 127)
                    break;
                typed += c;
            }
        }
        QVERIFY(typed.size() >= 3);
        QTest::mouseClick(form().Edit1, Qt::LeftButton);
        QTest::keyClicks(form().Edit1, typed);
        QTest::keyClick(form().Edit1, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), form().DBGrid1);
        for (int i = 0; i < down; ++i)
            QTest::keyClick(form().DBGrid1, Qt::Key_Down);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 300, kToday), QString());
        m_program = std::make_unique<shell::Program>(testsupport::demoProgramFolder(m_dir.path()), m_clock, m_op);
        m_form = std::make_unique<shell::TForm1>(*m_program);
        form().show();
        form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        form().PainelLogin->EditNome->setText(QStringLiteral("maria"));
        form().PainelLogin->EditSenhaU->setText(QStringLiteral("1234"));
        QTest::keyClick(form().PainelLogin->EditSenhaU, Qt::Key_Return);
        QCOMPARE(m_op.texts(), QStringList());
        QVERIFY(lots().rowCount() > 100);
    }

    void cleanupTestCase()
    {
        m_form.reset();
        m_program.reset();
    }

    void eachPanelGivesThePlaceBack_data()
    {
        QTest::addColumn<std::function<void(shell::TForm1 &)>>("openAndClose");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("invoice OK clicked") << std::function<void(shell::TForm1 &)>([](shell::TForm1 &f) {
            f.DBGrid1->NotaFiscal1->trigger();
            QVERIFY(f.PainelNF->isVisible());
            QTest::mouseClick(f.PainelNF->FecharPainelNF, Qt::LeftButton);
        }) << QStringList();
        QTest::newRow("invoice OK by Enter") << std::function<void(shell::TForm1 &)>([](shell::TForm1 &f) {
            f.DBGrid1->NotaFiscal1->trigger();
            QCOMPARE(QApplication::focusWidget(), f.PainelNF->FecharPainelNF);
            QTest::keyClick(f.PainelNF->FecharPainelNF, Qt::Key_Return);
            QVERIFY(f.PainelNF->isHidden());
        }) << QStringList();
        QTest::newRow("code panel Esc") << std::function<void(shell::TForm1 &)>([](shell::TForm1 &f) {
            f.DBGrid1->AjustedeEstoque1->trigger();
            QTest::keyClick(f.PainelSenha->MaskEdit1, Qt::Key_Escape);
        }) << QStringList();
        QTest::newRow("code panel, wrong code") << std::function<void(shell::TForm1 &)>([](shell::TForm1 &f) {
            f.DBGrid1->AjustedeEstoque1->trigger();
            f.PainelSenha->MaskEdit1->setText(QStringLiteral("1"));
            QTest::keyClick(f.PainelSenha->MaskEdit1, Qt::Key_Return);
        }) << QStringList{QStringLiteral("Acesso negado.")};
        QTest::newRow("maintenance password Esc") << std::function<void(shell::TForm1 &)>([](shell::TForm1 &f) {
            f.Panel1->open(2);
            QTest::keyClick(f.Panel1->Edit2, Qt::Key_Escape);
        }) << QStringList();
        QTest::newRow("maintenance password wrong") << std::function<void(shell::TForm1 &)>([](shell::TForm1 &f) {
            f.Panel1->open(5);
            f.Panel1->Edit2->setText(QStringLiteral("1"));
            QTest::keyClick(f.Panel1->Edit2, Qt::Key_Return);
        }) << QStringList{QStringLiteral("Senha Incorreta")};
        QTest::newRow("detail panel Fechar") << std::function<void(shell::TForm1 &)>([](shell::TForm1 &f) {
            f.DBGrid1->DBGrid1DblClick();
            QVERIFY(f.pnlDetalha->isVisible());
            QTest::mouseClick(f.pnlDetalha->btn8, Qt::LeftButton);
        }) << QStringList();
    }

    void eachPanelGivesThePlaceBack()
    {
        QFETCH(std::function<void(shell::TForm1 &)>, openAndClose);
        QFETCH(QStringList, messages);
        m_op.clear();
        takePlace(lots().rowCount() / 2, 3);
        const QString searched = form().Edit1->text();
        const int row = lots().currentRow();
        QVERIFY(!searched.isEmpty());
        QVERIFY(row > 0);

        openAndClose(form());
        QCOMPARE(m_op.texts(), messages);
        for (QWidget *panel : std::initializer_list<QWidget *>{form().PainelNF, form().PainelSenha, form().Panel1,
                                                               form().pnlDetalha})
            QVERIFY(panel->isHidden());
        QCOMPARE(QApplication::focusWidget(), form().DBGrid1);
        QCOMPARE(form().Edit1->text(), searched);
        QCOMPARE(lots().currentRow(), row);
        QCOMPARE(form().DBGrid1->currentIndex().row(), row);

        // Entering the box is what starts a new search: the last one stays, selected, and what
        // is typed replaces it.
        QTest::mouseClick(form().Edit1, Qt::LeftButton);
        QCOMPARE(form().Edit1->text(), searched);
        QCOMPARE(form().Edit1->selectedText(), searched);
    }

    // What the reports panel opens gives the focus back to the button that opened it, and the
    // grid keeps its row and the search box its text throughout.
    void reportsPanelsGiveThePlaceBack_data()
    {
        // Each step opens and closes, says it saw what it opened and names the control it opened from.
        using Step = std::function<void(shell::TForm1 &, bool &, QWidget *&)>;
        QTest::addColumn<Step>("openAndClose");
        QTest::newRow("Listar Estoque, preview Fechar") << Step([](shell::TForm1 &f, bool &seen, QWidget *&opener) {
            whenPreviewShows(&f, [](reports_engine::PreviewDialog *p) {
                QTest::mouseClick(p->findChild<QPushButton *>(QStringLiteral("closeButton")), Qt::LeftButton);
            }, &seen);
            QTest::mouseClick(f.pnlRelatorios->btn3, Qt::LeftButton);
            opener = f.pnlRelatorios->btn3;
        });
        QTest::newRow("Listar Estoque by Enter, preview Esc") << Step([](shell::TForm1 &f, bool &seen, QWidget *&opener) {
            whenPreviewShows(&f, [](reports_engine::PreviewDialog *p) { QTest::keyClick(p, Qt::Key_Escape); }, &seen);
            QCOMPARE(QApplication::focusWidget(), f.pnlRelatorios->btn3);
            QTest::keyClick(f.pnlRelatorios->btn3, Qt::Key_Return);
            opener = f.pnlRelatorios->btn3;
        });
        QTest::newRow("CPV period Cancelar") << Step([](shell::TForm1 &f, bool &seen, QWidget *&opener) {
            seen = true;
            f.pnlRelatorios->BitBtn11->click();
            QTest::mouseClick(f.pnlRelatorios->PainelPeriodo->BitBtn14, Qt::LeftButton);
            opener = f.pnlRelatorios->BitBtn11;
        });
        QTest::newRow("audit Cancelar") << Step([](shell::TForm1 &f, bool &seen, QWidget *&opener) {
            seen = true;
            f.pnlRelatorios->BitBtn16->click();
            f.pnlRelatorios->PainelPeriodo->BitBtn13->click();
            QVERIFY(f.Auditoria->Panel5->isVisible());
            QTest::mouseClick(f.Auditoria->BitBtn18, Qt::LeftButton);
            opener = f.pnlRelatorios->BitBtn16;
        });
        QTest::newRow("audit Rastrear, result Sair") << Step([](shell::TForm1 &f, bool &seen, QWidget *&opener) {
            seen = true;
            f.pnlRelatorios->BitBtn16->click();
            f.pnlRelatorios->PainelPeriodo->BitBtn13->click();
            QTest::keyClick(f.Auditoria->ComboBox3, Qt::Key_Return);
            QTest::keyClick(f.Auditoria->BitBtn17, Qt::Key_Return);
            QVERIFY(f.Auditoria->Panel7->isVisible());
            QVERIFY(f.Auditoria->Panel7->isAncestorOf(QApplication::focusWidget()));
            QTest::mouseClick(f.Auditoria->BitBtn19, Qt::LeftButton);
            opener = f.pnlRelatorios->BitBtn16;
        });
        QTest::newRow("history Voltar") << Step([](shell::TForm1 &f, bool &seen, QWidget *&opener) {
            seen = true;
            QTest::mouseClick(f.pnlRelatorios->BitBtn2, Qt::LeftButton);
            QVERIFY(f.PainelLOG->isVisible());
            QTest::keyClick(&f, Qt::Key_V, Qt::AltModifier);
            QTRY_VERIFY(f.PainelLOG->isHidden());   // a button's Alt key presses it a moment later
            opener = f.pnlRelatorios->BitBtn2;
        });
        QTest::newRow("expiry panel Sair") << Step([](shell::TForm1 &f, bool &seen, QWidget *&opener) {
            QTest::mouseClick(f.pnlRelatorios->btnVencimentos, Qt::LeftButton);
            seen = f.PainelVencimentos->isVisible();
            QTest::keyClick(f.PainelVencimentos->btnSair, Qt::Key_Space);
            opener = f.pnlRelatorios->btnVencimentos;
        });
        QTest::newRow("reports panel Sair") << Step([](shell::TForm1 &f, bool &seen, QWidget *&opener) {
            seen = true;
            QTest::mouseClick(f.pnlRelatorios->btn4, Qt::LeftButton);
            opener = f.DBGrid1;
        });
    }

    void reportsPanelsGiveThePlaceBack()
    {
        QFETCH(std::function<void(shell::TForm1 &, bool &, QWidget *&)>, openAndClose);
        m_op.clear();
        takePlace(lots().rowCount() / 2, 3);
        const QString searched = form().Edit1->text();
        const int row = lots().currentRow();
        QTest::mouseClick(form().btn1, Qt::LeftButton);
        QVERIFY(form().pnlRelatorios->isVisible());

        bool seen = false;
        QWidget *opener = nullptr;
        openAndClose(form(), seen, opener);
        QVERIFY(seen);
        // The offscreen desktop gives the window back its activation only when asked.
        QCOMPARE(form().focusWidget(), opener);
        form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        QCOMPARE(m_op.texts(), QStringList());
        QCOMPARE(QApplication::focusWidget(), opener);
        QCOMPARE(form().Edit1->text(), searched);
        QCOMPARE(lots().currentRow(), row);
        QCOMPARE(form().DBGrid1->currentIndex().row(), row);
        for (QWidget *panel : std::initializer_list<QWidget *>{form().PainelLOG, form().PainelVencimentos, form().Auditoria->Panel5,
                                                               form().Auditoria->Panel7, form().pnlRelatorios->PainelPeriodo})
            QVERIFY(panel->isHidden());

        if (form().pnlRelatorios->isVisible())
            QTest::mouseClick(form().pnlRelatorios->btn4, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), form().DBGrid1);
        QCOMPARE(form().Edit1->text(), searched);
        QCOMPARE(lots().currentRow(), row);
    }

    // A panel laid over others keeps Tab and Shift+Tab among its own controls, and what it
    // covers can be neither focused nor pressed.
    void coveringPanelsKeepTheFocusInside()
    {
        m_op.clear();
        takePlace(lots().rowCount() / 4, 2);
        const int row = lots().currentRow();
        QTest::mouseClick(form().btn1, Qt::LeftButton);

        // The month's log open in the history viewer.
        QTest::mouseClick(form().pnlRelatorios->BitBtn2, Qt::LeftButton);
        exports_ui::HistoryViewer *viewer = form().PainelLOG;
        QTest::keyClicks(viewer->EditMes, QStringLiteral("03"));
        QTest::keyClick(viewer->EditMes, Qt::Key_Return);
        QTest::keyClicks(viewer->EditAno, QStringLiteral("26"));
        QTest::keyClick(viewer->EditAno, Qt::Key_Return);
        QTest::keyClick(viewer->BitBtn10, Qt::Key_Return);
        QCOMPARE(m_op.texts().join(QLatin1Char('|')), QString());
        QCOMPARE(QApplication::focusWidget(), viewer->Memo1);
        for (QWidget *w : tabRound(6))
            QVERIFY2(viewer->isAncestorOf(w), qPrintable(w ? w->objectName() : QStringLiteral("none")));
        QVERIFY(!form().DBGrid1->isEnabled());
        QTest::keyClick(viewer->Memo1, Qt::Key_Down);
        QCOMPARE(lots().currentRow(), row);
        viewer->BitBtn9->click();
        QVERIFY(form().DBGrid1->isEnabled());
        QVERIFY(form().pnlRelatorios->btn3->isEnabled());

        // The audit's result over the reports panel: none of the thirteen buttons under it.
        form().pnlRelatorios->BitBtn16->click();
        form().pnlRelatorios->PainelPeriodo->BitBtn13->click();
        QTest::keyClick(form().Auditoria->ComboBox3, Qt::Key_Return);
        QTest::keyClick(form().Auditoria->BitBtn17, Qt::Key_Return);
        QFrame *result = form().Auditoria->Panel7;
        QVERIFY(result->isVisible());
        const QList<QWidget *> reached = tabRound(8);
        for (QWidget *w : reached)
            QVERIFY2(result->isAncestorOf(w), qPrintable(w ? w->objectName() : QStringLiteral("none")));
        QVERIFY(reached.contains(static_cast<QWidget *>(form().Auditoria->BitBtn19)));
        QVERIFY(!reached.contains(static_cast<QWidget *>(form().Auditoria->Memo4)));
        QVERIFY(!form().pnlRelatorios->BitBtn2->isEnabled());
        // Alt+H would press the covered history button.
        QTest::keyClick(&form(), Qt::Key_H, Qt::AltModifier);
        QTest::qWait(300);
        QVERIFY(viewer->isHidden());
        QTest::mouseClick(form().Auditoria->BitBtn19, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), form().pnlRelatorios->BitBtn16);
        QVERIFY(form().pnlRelatorios->BitBtn2->isEnabled());

        // The expiry panel over the whole window: Tab stays among its controls, the grid and the
        // top bar under it are out of reach.
        QTest::mouseClick(form().pnlRelatorios->btnVencimentos, Qt::LeftButton);
        expiry_ui::ExpiryPanel *expiry = form().PainelVencimentos;
        QVERIFY(expiry->isVisible());
        const QList<QWidget *> inExpiry = tabRound(8);
        for (QWidget *w : inExpiry)
            QVERIFY2(expiry->isAncestorOf(w), qPrintable(w ? w->objectName() : QStringLiteral("none")));
        QVERIFY(inExpiry.contains(static_cast<QWidget *>(expiry->btnSair)));
        QVERIFY(!form().DBGrid1->isEnabled());
        QVERIFY(!form().Edit1->isEnabled());
        QTest::mouseClick(expiry->btnSair, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), form().pnlRelatorios->btnVencimentos);
        QVERIFY(form().DBGrid1->isEnabled());
        QTest::mouseClick(form().pnlRelatorios->btn4, Qt::LeftButton);
        QCOMPARE(lots().currentRow(), row);
    }

    // A lot chosen in the expiry panel: the grid stands on it and has the focus, the search box
    // keeps its text.
    void aLotChosenInTheExpiryPanelIsShownInTheGrid()
    {
        m_op.clear();
        takePlace(lots().rowCount() / 2, 1);
        const QString searched = form().Edit1->text();
        QTest::mouseClick(form().btn1, Qt::LeftButton);
        QTest::mouseClick(form().pnlRelatorios->btnVencimentos, Qt::LeftButton);
        expiry_ui::ExpiryPanel *expiry = form().PainelVencimentos;
        expiry->cbHorizonte->setCurrentIndex(1);   // the next 30 days: lots the grid lists
        QVERIFY(expiry->ListaLotes->model()->rowCount() > 0);
        expiry->ListaLotes->setFocus();
        QTest::keyClick(expiry->ListaLotes, Qt::Key_Return);
        QCOMPARE(m_op.texts(), QStringList());
        QVERIFY(expiry->isHidden());
        QVERIFY(form().pnlRelatorios->isHidden());
        QCOMPARE(QApplication::focusWidget(), form().DBGrid1);
        QCOMPARE(form().Edit1->text(), searched);
        const int descricao = lots().fieldIndex(QStringLiteral("DESCRICAO"));
        QCOMPARE(lots().valueAt(lots().currentRow(), descricao).toString(),
                 expiry->ListaLotes->model()->index(0, 0).data().toString());
        QCOMPARE(form().DBGrid1->currentIndex().row(), lots().currentRow());
    }

    // An expired lot, which the grid's first view hides: Enter switches the grid to every lot,
    // expired ones included, stands on the lot and says so under the grid; choosing a view
    // again empties that line.
    void anExpiredLotChosenInTheExpiryPanelSwitchesTheGrid()
    {
        m_op.clear();
        const int view = form().ComboBox1->currentIndex(), mode = form().ComboBox2->currentIndex();
        QCOMPARE(mode, 0);
        QTest::mouseClick(form().btn1, Qt::LeftButton);
        QTest::mouseClick(form().pnlRelatorios->btnVencimentos, Qt::LeftButton);
        expiry_ui::ExpiryPanel *expiry = form().PainelVencimentos;
        expiry->cbHorizonte->setCurrentIndex(0);
        QVERIFY(expiry->ListaLotes->model()->rowCount() > 0);
        const QString lote = expiry->ListaLotes->model()->index(0, 2).data().toString();
        expiry->ListaLotes->setFocus();
        QTest::keyClick(expiry->ListaLotes, Qt::Key_Return);
        QCOMPARE(m_op.texts(), QStringList());
        QVERIFY(expiry->isHidden());
        QCOMPARE(form().ComboBox1->currentIndex(), 0);
        QCOMPARE(form().ComboBox2->currentIndex(), 1);
        QCOMPARE(lots().valueAt(lots().currentRow(), lots().fieldIndex(QStringLiteral("LOTE"))).toString(), lote);
        QVERIFY(form().LinhaStatus->isVisible());
        QCOMPARE(form().LinhaStatus->text(), expiry::kViewSwitchedStatus);
        QCOMPARE(QApplication::focusWidget(), form().DBGrid1);
        form().ComboBox2->setCurrentIndex(mode);
        form().ComboBox1->setCurrentIndex(view);
        QVERIFY(form().LinhaStatus->isHidden());
    }

    // Tab leaves the grid for the filters without touching the search; Shift+Tab enters the box.
    void tabLeavesTheGrid()
    {
        takePlace(lots().rowCount() / 5, 1);
        const QString searched = form().Edit1->text();
        const int row = lots().currentRow();
        QTest::keyClick(form().DBGrid1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form().ComboBox1);
        QCOMPARE(form().Edit1->text(), searched);
        QCOMPARE(lots().currentRow(), row);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), form().DBGrid1);
        QCOMPARE(lots().currentRow(), row);
    }

    void lettersTypedInTheGridLeaveTheRow()
    {
        takePlace(lots().rowCount() / 3, 2);
        const QString searched = form().Edit1->text();
        const int row = lots().currentRow();
        // On the description column, with the first letter of one of the last lots: what a
        // type-ahead search would jump to.
        browser_ui::LotGrid *grid = form().DBGrid1;
        grid->setCurrentIndex(grid->model()->index(row, 1));
        QChar letter;
        for (int r = lots().rowCount() - 1; r > row && letter.isNull(); --r) {
            const QChar c = lots().valueAt(r, lots().fieldIndex(QStringLiteral("DESCRICAO"))).toString().at(0);
            if (c.unicode() < 128 && c.isLetter() && c != searched.at(0))
                letter = c;
        }
        QVERIFY(!letter.isNull());
        QTest::keyClicks(grid, QString(letter) + QString(letter).toLower() + QStringLiteral("z9 "));
        QCOMPARE(lots().currentRow(), row);
        QCOMPARE(form().DBGrid1->currentIndex().row(), row);
        QCOMPARE(form().Edit1->text(), searched);
        QCOMPARE(QApplication::focusWidget(), form().DBGrid1);
        // The grid's own keys still work.
        QTest::keyClick(form().DBGrid1, Qt::Key_Down);
        QCOMPARE(lots().currentRow(), row + 1);
    }

    void aSearchShowsTheLotWithTheLotsThatFollow()
    {
        browser_ui::LotGrid *grid = form().DBGrid1;
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(lots().currentRow(), 0);
        const int target = lots().rowCount() * 2 / 3;
        takePlace(target, 0);
        const int found = lots().currentRow();
        QVERIFY(found > 40);
        // The found lot on the top line, the next ones below it.
        QCOMPARE(grid->rowAt(0), found);
        const int lastVisible = grid->rowAt(grid->viewport()->height() - 1);
        QVERIFY2(lastVisible > found + 5, qPrintable(QString::number(lastVisible)));

        // Moving by the arrow keys inside the view does not jump.
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->rowAt(0), found);
    }

    void theCurrentRowIsMarkedInItsHeaderAndFramed()
    {
        browser_ui::LotGrid *grid = form().DBGrid1;
        const int row = grid->currentIndex().row();
        const int other = grid->rowAt(0) == row ? row + 2 : grid->rowAt(0);
        QHeaderView *header = grid->verticalHeader();
        const QImage marks = header->viewport()->grab().toImage();
        const auto section = [&](int r) {
            return QRect(0, header->sectionViewportPosition(r), header->viewport()->width(), header->sectionSize(r));
        };
        QVERIFY2(blackPixels(marks, section(row)) >= 10, "no indicator on the current row");
        QCOMPARE(blackPixels(marks, section(other)), 0);
        QVERIFY(header->model()->headerData(row, Qt::Vertical).toString().isEmpty());   // no numbers

        // A frame all along the current row, whatever its colour; none on the other rows.
        const QImage cells = grid->viewport()->grab().toImage();
        const QRect current = grid->visualRect(grid->model()->index(row, 1));
        const QRect otherCell = grid->visualRect(grid->model()->index(other, 1));
        QCOMPARE(cells.pixelColor(current.center().x(), current.top()), QColor(Qt::black));
        QCOMPARE(cells.pixelColor(current.center().x(), current.bottom()), QColor(Qt::black));
        QVERIFY(cells.pixelColor(current.center()) != QColor(Qt::black));
        QCOMPARE(blackPixels(cells, QRect(otherCell.left(), otherCell.top(), otherCell.width(), 2)), 0);
    }
};

QTEST_MAIN(PlaceKeptTest)
#include "placekept_qtest.moc"
