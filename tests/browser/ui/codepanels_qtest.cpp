// The two code panels driven from the keyboard: the day's adjustment code and the maintenance password.
#include "core/runstate.h"
#include "shell/errordisplay.h"
#include "browser/ui/adjustmentpanel.h"
#include "browser/ui/maintenancepanel.h"
#include "platform/clock.h"
#include "support/recordingoperator.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

using platform::Answer;
using testsupport::MessageKind;
using testsupport::RecordedMessage;
using testsupport::RecordingOperator;

namespace {

// The general error display sends what no step handled here.
RecordingOperator *g_errors = nullptr;

// Stands in for the main window: counts the keys that get past the panels (Esc there closes it).
class Window : public QWidget {
public:
    int escapes = 0;
    int enters = 0;

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->key() == Qt::Key_Escape)
            ++escapes;
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
            ++enters;
        QWidget::keyPressEvent(e);
    }
};

struct Fixture {
    Fixture()
    {
        run.siteConfig.StockKey = QStringLiteral("4817");
        window.resize(700, 500);
        auto *layout = new QVBoxLayout(&window);
        BitBtn3 = new QPushButton(QStringLiteral("Editar tabela"), &window);
        BitBtn3->setEnabled(false);
        grid = new QPushButton(QStringLiteral("grade"), &window);
        layout->addWidget(BitBtn3);
        layout->addWidget(grid, 1);
        PainelSenha = new browser_ui::AdjustmentPanel(run, clock, op, BitBtn3, grid, &window);
        Panel1 = new browser_ui::MaintenancePanel(op, grid, &window);
        g_errors = &op;
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    ~Fixture() { g_errors = nullptr; }

    void typeCode(const QString &code)
    {
        PainelSenha->AjustedeEstoque1Click();
        PainelSenha->MaskEdit1->clear();
        QTest::keyClicks(PainelSenha->MaskEdit1, code);
        QTest::keyClick(PainelSenha->MaskEdit1, Qt::Key_Return);
    }

    core::RunState run;
    platform::FixedClock clock{QDate(2024, 3, 7)};
    RecordingOperator op;
    Window window;
    QPushButton *BitBtn3;
    QPushButton *grid;
    browser_ui::AdjustmentPanel *PainelSenha;
    browser_ui::MaintenancePanel *Panel1;
};

} // namespace

class CodePanelsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theDaysCodeEnablesEditingAndIsRefusedTheNextDay()
    {
        Fixture f;
        f.PainelSenha->AjustedeEstoque1Click();
        QVERIFY(f.PainelSenha->isVisible());
        QCOMPARE(QApplication::focusWidget(), f.PainelSenha->MaskEdit1);
        QTest::keyClicks(f.PainelSenha->MaskEdit1, QStringLiteral("5520"));   // 0703 + 4817
        QCOMPARE(f.PainelSenha->MaskEdit1->displayText(), QStringLiteral("####"));
        QTest::keyClick(f.PainelSenha->MaskEdit1, Qt::Key_Return);
        QVERIFY(f.op.messages().isEmpty());
        QVERIFY(f.BitBtn3->isEnabled());
        QCOMPARE(QApplication::focusWidget(), f.BitBtn3);
        QVERIFY(!f.PainelSenha->isVisible());
        QCOMPARE(f.window.enters, 0);
        // The text stays in the box for the next opening.
        f.PainelSenha->AjustedeEstoque1Click();
        QCOMPARE(f.PainelSenha->MaskEdit1->text(), QStringLiteral("5520"));

        // Midnight passed: the same code no longer opens, and the button closes again.
        f.clock.set(QDateTime(QDate(2024, 3, 8), QTime(0, 0, 1)));
        QTest::keyClick(f.PainelSenha->MaskEdit1, Qt::Key_Return);
        QCOMPARE(f.op.texts(), QStringList({QStringLiteral("Acesso negado.")}));
        QCOMPARE(f.op.messages().first().kind, MessageKind::Inform);
        QVERIFY(!f.BitBtn3->isEnabled());
        QVERIFY(!f.PainelSenha->isVisible());
        QCOMPARE(f.PainelSenha->MaskEdit1->text(), QStringLiteral("5520"));

        f.typeCode(QStringLiteral("5620"));
        QVERIFY(f.BitBtn3->isEnabled());
    }

    void aLeadingZeroNeverMatches()
    {
        Fixture f;
        f.typeCode(QStringLiteral("05520"));
        QCOMPARE(f.op.texts(), QStringList({QStringLiteral("Acesso negado.")}));
        QVERIFY(!f.BitBtn3->isEnabled());
    }

    void escapeHidesAndLeavesTheButtonAsItWas()
    {
        Fixture f;
        for (const bool enabled : {false, true}) {
            f.BitBtn3->setEnabled(enabled);
            f.PainelSenha->AjustedeEstoque1Click();
            QTest::keyClicks(f.PainelSenha->MaskEdit1, QStringLiteral("1234"));
            QTest::keyClick(f.PainelSenha->MaskEdit1, Qt::Key_Escape);
            QVERIFY(!f.PainelSenha->isVisible());
            QCOMPARE(f.BitBtn3->isEnabled(), enabled);
        }
        QVERIFY(f.op.messages().isEmpty());
        QCOMPARE(f.window.escapes, 0);   // the window's Esc would have closed it
    }

    void theKeyIsShownFromThePanelsMenu()
    {
        Fixture f;
        QCOMPARE(f.PainelSenha->PopupMenu3->actions().size(), 1);
        QCOMPARE(f.PainelSenha->Chave1->text(), QStringLiteral("&Chave"));
        f.PainelSenha->Chave1->trigger();
        QCOMPARE(f.op.texts(), QStringList({QStringLiteral("4817")}));
    }

    void aKeyThatIsNoIntegerGoesToTheErrorDisplayAndThePanelStays()
    {
        Fixture f;
        f.run.siteConfig.StockKey = QStringLiteral("48A7");
        f.BitBtn3->setEnabled(true);
        f.typeCode(QStringLiteral("5520"));
        QCOMPARE(f.op.messages(), QList<RecordedMessage>({{MessageKind::Error,
                                                             QStringLiteral("'48A7' não é um valor inteiro válido")}}));
        QVERIFY(f.PainelSenha->isVisible());
        QVERIFY(f.BitBtn3->isEnabled());
    }

    void theMaintenancePasswordRunsThePendingOperation()
    {
        Fixture f;
        QStringList ran;
        for (int tag : {2, 3, 4, 5, 6})
            f.Panel1->operations[tag] = [&ran, tag] { ran << QString::number(tag); };

        f.Panel1->open(3);
        QVERIFY(f.Panel1->isVisible());
        QCOMPARE(QApplication::focusWidget(), f.Panel1->Edit2);
        QTest::keyClicks(f.Panel1->Edit2, QStringLiteral("580274"));
        QCOMPARE(f.Panel1->Edit2->displayText(), QStringLiteral("######"));
        QTest::keyClick(f.Panel1->Edit2, Qt::Key_Return);
        QCOMPARE(ran, QStringList({QStringLiteral("3")}));
        QVERIFY(f.op.messages().isEmpty());
        QVERIFY(!f.Panel1->isVisible());
        QCOMPARE(f.window.enters, 0);

        // Wrong: the message, the panel hidden, nothing run.
        f.Panel1->open(2);
        QCOMPARE(f.Panel1->Edit2->text(), QStringLiteral("580274"));
        QTest::keyClick(f.Panel1->Edit2, Qt::Key_End);   // it opens selected
        QTest::keyClick(f.Panel1->Edit2, Qt::Key_Backspace);
        QTest::keyClick(f.Panel1->Edit2, Qt::Key_Return);
        QCOMPARE(f.op.texts(), QStringList({QStringLiteral("Senha Incorreta")}));
        QCOMPARE(ran, QStringList({QStringLiteral("3")}));
        QVERIFY(!f.Panel1->isVisible());

        // Escape: hidden quietly, nothing run, the window not reached.
        f.op.clear();
        f.Panel1->open(4);
        QCOMPARE(f.Panel1->Edit2->text(), QStringLiteral("58027"));
        QTest::keyClick(f.Panel1->Edit2, Qt::Key_4);
        QTest::keyClick(f.Panel1->Edit2, Qt::Key_Escape);
        QVERIFY(!f.Panel1->isVisible());
        QVERIFY(f.op.messages().isEmpty());
        QCOMPARE(ran, QStringList({QStringLiteral("3")}));
        QCOMPARE(f.window.escapes, 0);
    }

    void theDeletionsAskForABackupFirst()
    {
        Fixture f;
        QStringList ran;
        for (int tag : {5, 6})
            f.Panel1->operations[tag] = [&ran, tag] { ran << QString::number(tag); };
        const QString question = QStringLiteral("Já fez um backup do banco de dados? ");
        const QString advice =
            QStringLiteral("Então, primeiro faça o backup do banco de dados. Depois volte aqui e continue.");

        f.op.answer(Answer::No);
        f.Panel1->open(5);
        QTest::keyClicks(f.Panel1->Edit2, QStringLiteral("580274"));
        QTest::keyClick(f.Panel1->Edit2, Qt::Key_Return);
        QCOMPARE(f.op.messages(),
                 QList<RecordedMessage>({{MessageKind::Ask, question}, {MessageKind::Inform, advice}}));
        QVERIFY(ran.isEmpty());
        QVERIFY(!f.Panel1->isVisible());

        // Chosen again: the password is still there, Enter is enough.
        f.op.clear();
        f.op.answer(Answer::Yes);
        f.Panel1->open(5);
        QTest::keyClick(f.Panel1->Edit2, Qt::Key_Return);
        QCOMPARE(f.op.messages(), QList<RecordedMessage>({{MessageKind::Ask, question}}));
        QCOMPARE(ran, QStringList({QStringLiteral("5")}));

        f.op.clear();
        f.op.answer(Answer::Yes);
        f.Panel1->open(6);
        QTest::keyClick(f.Panel1->Edit2, Qt::Key_Enter);
        QCOMPARE(ran, QStringList({QStringLiteral("5"), QStringLiteral("6")}));
        QCOMPARE(f.op.unusedAnswers(), 0);
    }
};

int main(int argc, char **argv)
{
    shell::EstoqueApplication app(argc, argv);
    // Errors reach whichever fixture is alive, as they reach the message box in the program.
    struct Forward : platform::Operator {
        void inform(const QString &t) override { if (g_errors) g_errors->inform(t); }
        void warn(const QString &t) override { if (g_errors) g_errors->warn(t); }
        platform::Answer ask(const QString &t) override { return g_errors ? g_errors->ask(t) : Answer::No; }
        void error(const QString &t) override { if (g_errors) g_errors->error(t); }
    } forward;
    app.setOperator(&forward);
    CodePanelsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "codepanels_qtest.moc"
