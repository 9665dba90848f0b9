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
#include "support/demoinstall.h"
#include "support/recordingoperator.h"
#include "users/ui/loginpanel.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
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

        // Entering the box is what starts a new search.
        QTest::mouseClick(form().Edit1, Qt::LeftButton);
        QCOMPARE(form().Edit1->text(), QString());
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
