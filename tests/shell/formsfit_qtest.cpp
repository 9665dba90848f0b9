// Every control of the main window, its panels and the report preview lies inside its window at
// 1024x768 and has a name a screen reader can say, told apart from the other buttons beside it.
#include "shell/program.h"
#include "shell/tform1.h"
#include "browser/ui/lotgrid.h"
#include "exports/ui/deductionauditpanel.h"
#include "exports/ui/historyviewer.h"
#include "trace/ui/lottracepanel.h"
#include "trace/ui/ordertracepanel.h"
#include "expiry/ui/expirypanel.h"
#include "reports/engine/previewdialog.h"
#include "reports/ui/errorpanel.h"
#include "reports/ui/periodpanel.h"
#include "reports/ui/reportspanel.h"
#include "support/demoinstall.h"
#include "support/recordingoperator.h"
#include "users/ui/loginpanel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

namespace {
const QDate kToday(2026, 3, 31);

bool isControl(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLineEdit *>(w)
           || qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractScrollArea *>(w);
}

// A part of a control (a combo box's text box, a table's corner button) is the control's business.
bool insideAControl(const QWidget *w, const QWidget *window)
{
    for (const QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (isControl(p))
            return true;
    return false;
}

// What is wrong with the shown controls of window: outside the window or its panel, or without a
// name of its own. Empty when all is well.
QStringList faults(QWidget *window)
{
    QStringList found;
    QHash<QString, QString> names;   // name -> object of the button that has it
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->isWindow() || !w->isVisible() || !isControl(w) || insideAControl(w, window) || w->size().isEmpty())
            continue;
        const QString what = w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                                       : w->objectName();
        for (QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
            const QRect inP(w->mapTo(p, QPoint(0, 0)), w->size());
            if (!p->rect().contains(inP)) {
                found << what + QStringLiteral(" outside ") + p->objectName();
                break;
            }
            if (p == window)
                break;
        }
        if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(b);
            const QString name = a ? a->text(QAccessible::Name) : QString();
            if (name.trimmed().isEmpty())
                found << what + QStringLiteral(" has no name");
            else if (names.contains(name))
                found << what + QStringLiteral(" shares its name \"") + name + QStringLiteral("\" with ") + names[name];
            else
                names.insert(name, what);
        }
    }
    return found;
}
} // namespace

class FormsFitTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    platform::FixedClock m_clock{kToday, QTime(10, 0)};
    testsupport::RecordingOperator m_op;
    std::unique_ptr<shell::Program> m_program;
    std::unique_ptr<shell::TForm1> m_form;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 40, kToday), QString());
        m_program = std::make_unique<shell::Program>(testsupport::demoProgramFolder(m_dir.path()), m_clock, m_op);
        m_form = std::make_unique<shell::TForm1>(*m_program);
        m_form->setWindowState(Qt::WindowNoState);
        m_form->setGeometry(0, 0, 1024, 738);   // a 1024x768 screen less the title bar
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        m_form->PainelLogin->EditNome->setText(QStringLiteral("maria"));
        m_form->PainelLogin->EditSenhaU->setText(QStringLiteral("1234"));
        QTest::keyClick(m_form->PainelLogin->EditSenhaU, Qt::Key_Return);
        QCOMPARE(m_op.texts(), QStringList());
        m_form->resize(1024, 738);
    }

    void cleanupTestCase()
    {
        m_form.reset();
        m_program.reset();
    }

    // At 1024x768 the grid shows "Fornecedor" and "Local" whole, with their longest texts, and the
    // arrows take the operator to the columns beyond the window and back.
    void theGridAt1024()
    {
        shell::TForm1 &f = *m_form;
        f.resize(1024, 738);
        QCoreApplication::processEvents();
        browser_ui::LotGrid *grid = f.DBGrid1;
        for (int c : {3, 4}) {
            QVERIFY2(grid->columnViewportPosition(c) + grid->columnWidth(c) <= grid->viewport()->width(), qPrintable(QString::number(c)));
            int longest = grid->fontMetrics().horizontalAdvance(grid->model()->headerData(c, Qt::Horizontal).toString());
            for (int r = 0; r < grid->model()->rowCount(); ++r)
                longest = std::max(longest, grid->fontMetrics().horizontalAdvance(grid->model()->index(r, c).data().toString()));
            QVERIFY2(longest + 6 <= grid->columnWidth(c), qPrintable(QString::number(c)));
        }
        QScrollBar *bar = grid->horizontalScrollBar();
        QVERIFY(bar->maximum() > 0);
        grid->setFocus();
        for (int i = 0; i < grid->model()->columnCount(); ++i)
            QTest::keyClick(grid, Qt::Key_Right);
        QCOMPARE(bar->value(), bar->maximum());
        for (int i = 0; i < grid->model()->columnCount(); ++i)
            QTest::keyClick(grid, Qt::Key_Left);
        QCOMPARE(bar->value(), 0);
    }

    // The window as a 1024x768, a 1366x768 and a 1920x1080 screen hold it, less the title bar.
    void theMainWindowAndItsPanels_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("1024x768") << QSize(1024, 738);
        QTest::newRow("1366x768") << QSize(1366, 738);
        QTest::newRow("1920x1080") << QSize(1920, 1050);
    }

    void theMainWindowAndItsPanels()
    {
        QFETCH(QSize, size);
        shell::TForm1 &f = *m_form;
        f.resize(size);
        QTRY_COMPARE(f.size(), size);
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.btn1->click();
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.pnlRelatorios->BitBtn11->click();
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.pnlRelatorios->PainelPeriodo->BitBtn14->click();

        // The audit's result, then again after "Sair" and "Relatórios" while it is shown.
        f.pnlRelatorios->BitBtn16->click();
        f.pnlRelatorios->PainelPeriodo->BitBtn13->click();
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.Auditoria->BitBtn17->click();
        QVERIFY(f.Auditoria->Panel7->isVisible());
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.btn1->click();
        QVERIFY(f.Auditoria->Panel7->isVisible());
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.Auditoria->BitBtn19->click();
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        // "Relatórios" again after the result's "Sair", and the audit run once more.
        f.btn1->click();
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.pnlRelatorios->BitBtn16->click();
        f.pnlRelatorios->PainelPeriodo->BitBtn13->click();
        f.Auditoria->BitBtn17->click();
        QVERIFY(f.Auditoria->Panel7->isVisible());
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.Auditoria->BitBtn19->click();

        f.pnlRelatorios->BitBtn2->click();
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.PainelLOG->BitBtn9->click();

        f.pnlRelatorios->btnVencimentos->click();
        QVERIFY(f.PainelVencimentos->isVisible());
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.PainelVencimentos->btnSair->click();

        f.pnlRelatorios->btnRastrearPedido->click();
        QVERIFY(f.PainelRastreioPedido->isVisible());
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.PainelRastreioPedido->btnFechar->click();

        f.pnlRelatorios->PainelDeErros->showErrors({QStringLiteral("um erro")});
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.pnlRelatorios->PainelDeErros->BitBtn8->click();
        f.pnlRelatorios->btn4->click();
        QCOMPARE(m_op.texts(), QStringList());

        f.DBGrid1->RastrearLote1->trigger();
        QVERIFY(f.PainelRastreio->isVisible());
        QCOMPARE(faults(&f).join(QLatin1Char('|')), QString());
        f.PainelRastreio->btnFechar->click();
        QCOMPARE(m_op.texts(), QStringList());
    }

    void thePreview()
    {
        shell::TForm1 &f = *m_form;
        f.resize(1024, 738);
        f.btn1->click();
        QStringList found{QStringLiteral("no preview")};
        QSize size;
        auto *timer = new QTimer(&f);
        connect(timer, &QTimer::timeout, timer, [&found, &size, timer] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *preview = qobject_cast<reports_engine::PreviewDialog *>(w);
                if (preview && preview->isVisible()) {
                    timer->stop();
                    // What a maximised window gets on that screen.
                    preview->setWindowState(Qt::WindowNoState);
                    preview->setGeometry(0, 0, 1024, 738);
                    size = preview->size();
                    found = faults(preview);
                    preview->accept();
                    timer->deleteLater();
                    return;
                }
            }
        });
        timer->start(20);
        f.pnlRelatorios->btn3->click();
        QCOMPARE(size, QSize(1024, 738));
        QCOMPARE(found.join(QLatin1Char('|')), QString());
        f.pnlRelatorios->btn4->click();
    }
};

QTEST_MAIN(FormsFitTest)
#include "formsfit_qtest.moc"
