// The shell's rules for every window: Enter presses the focused button (the login panel's, the
// main window's, and those of any form made later), the window opens maximised, and the login
// panel covers the window at any size.
#include "shell/program.h"
#include "shell/tform1.h"
#include "lotedit/ui/tform2.h"
#include "browser/ui/lotgrid.h"
#include "support/demoinstall.h"
#include "support/mainwindow.h"
#include "support/recordingoperator.h"
#include "users/ui/loginpanel.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using testsupport::RecordingOperator;

namespace {
const QDate kToday(2026, 3, 31);

// The program as it runs after start-up: the main window shown with its login panel.
struct Session : testsupport::MainWindowSession {
    explicit Session(const QString &programFolder) : MainWindowSession(programFolder, kToday)
    {
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
    }
};

void pressOnFocused(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}
} // namespace

class KeyboardRulesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString programFolder() const { return testsupport::demoProgramFolder(m_dir.path()); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 60, kToday), QString());
    }

    void enterPressesTheLoginPanelsOk()
    {
        Session s(programFolder());
        users_ui::LoginPanel *panel = s.form.PainelLogin;
        panel->EditNome->setText(QStringLiteral("maria"));
        panel->EditSenhaU->setText(QStringLiteral("1234"));
        panel->EditSenhaU->setFocus();
        pressOnFocused(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), panel->BotOkSenha);
        pressOnFocused(Qt::Key_Return);
        QCOMPARE(s.op.texts(), QStringList());
        QVERIFY(panel->isHidden());
        QVERIFY(s.program.dm.ESTLOTE.rowCount() > 0);
        QVERIFY(s.form.isVisible());
        QVERIFY(s.form.pnl2->isEnabled());

        // "Editar tabela" answers Enter and the keypad's Enter alike, once per press, not per repeat.
        // Each press opens the lot edit form, modal; it is closed as soon as it shows.
        int formsOpened = 0;
        QTimer closer;
        closer.setInterval(20);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto *edit = qobject_cast<lotedit_ui::TForm2 *>(QApplication::activeModalWidget())) {
                ++formsOpened;
                edit->close();
            }
        });
        closer.start();
        QSignalSpy clicks(s.form.BitBtn3, &QPushButton::clicked);
        s.form.BitBtn3->setEnabled(true);
        s.form.BitBtn3->setFocus();
        pressOnFocused(Qt::Key_Return);
        QCOMPARE(clicks.count(), 1);
        // The form that closed gave the focus back to the grid; the window may not be active yet.
        s.form.BitBtn3->setFocus();
        QCOMPARE(s.form.focusWidget(), s.form.BitBtn3);
        QTest::keyClick(s.form.BitBtn3, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(clicks.count(), 2);
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
        QApplication::sendEvent(s.form.BitBtn3, &repeat);
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(formsOpened, 2);
        closer.stop();
        s.form.close();
    }

    void enterPressesCancelaOnTheLoginPanel()
    {
        Session s(programFolder());
        s.form.PainelLogin->BotCancSenha->setFocus();
        pressOnFocused(Qt::Key_Return);
        QTRY_VERIFY(!s.form.isVisible());
    }

    // A form made after the main window, with nothing of its own for Enter: a dialog whose
    // buttons are and are not auto-default, a tool button, and a plain window's button.
    void formsMadeLaterFollowTheSameRule()
    {
        Session s(programFolder());
        QDialog dialog(&s.form);
        auto *layout = new QVBoxLayout(&dialog);
        auto *box = new QLineEdit(&dialog);
        auto *autoDefault = new QPushButton(QStringLiteral("Um"), &dialog);
        auto *plain = new QPushButton(QStringLiteral("Dois"), &dialog);
        plain->setAutoDefault(false);
        auto *tool = new QToolButton(&dialog);
        for (QWidget *w : std::initializer_list<QWidget *>{box, autoDefault, plain, tool})
            layout->addWidget(w);
        QSignalSpy um(autoDefault, &QPushButton::clicked), dois(plain, &QPushButton::clicked),
            tres(tool, &QToolButton::clicked), accepted(&dialog, &QDialog::accepted);
        dialog.show();
        dialog.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &dialog);

        const struct {
            QAbstractButton *button;
            QList<int> counts;   // Um, Dois, the tool button
        } cases[] = {
            {plain, {0, 1, 0}},
            {tool, {0, 1, 1}},
            {autoDefault, {1, 1, 1}},   // once, not once by the rule and again by the dialog
        };
        for (const auto &c : cases) {
            c.button->setFocus();
            pressOnFocused(Qt::Key_Return);
            QCOMPARE((QList<int>{int(um.count()), int(dois.count()), int(tres.count())}), c.counts);
        }
        QCOMPARE(accepted.count(), 0);

        // A disabled button is not pressed by a key meant for it.
        plain->setFocus();
        plain->setEnabled(false);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(plain, &press);
        QCOMPARE(dois.count(), 1);
        dialog.close();

        QWidget window;
        auto *button = new QPushButton(QStringLiteral("Três"), &window);
        QSignalSpy clicked(button, &QPushButton::clicked);
        window.show();
        window.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &window);
        button->setFocus();
        pressOnFocused(Qt::Key_Return);
        QCOMPARE(clicked.count(), 1);
    }

    void theWindowOpensMaximisedAndTheLoginCoversItAtAnySize()
    {
        Session s(programFolder());
        shell::TForm1 &form = s.form;
        QVERIFY(form.windowState() & Qt::WindowMaximized);
        QCOMPARE(form.PainelLogin->geometry(), form.rect());

        // Restored, at sizes above the first one and down to the smallest the top bar allows.
        form.showNormal();
        for (const QSize size : {QSize(1400, 950), QSize(640, 420).expandedTo(form.minimumSize()), QSize(1024, 700)}) {
            form.resize(size);
            QTRY_COMPARE(form.size(), size);
            QCOMPARE(form.PainelLogin->geometry(), form.rect());
            // Whatever lies under the panel cannot be reached by the mouse.
            for (QWidget *under : std::initializer_list<QWidget *>{form.BitBtn1, form.BitBtn3, form.Edit1, form.ComboBox1,
                                                                 form.DBNavigator1, form.DBGrid1->viewport()}) {
                const QPoint at = under->mapTo(&form, under->rect().center());
                QWidget *hit = form.childAt(at);
                QVERIFY2(hit == form.PainelLogin || form.PainelLogin->isAncestorOf(hit), qPrintable(under->objectName()));
            }
            for (const QPoint corner : {QPoint(0, 0), QPoint(form.width() - 1, form.height() - 1)}) {
                QWidget *hit = form.childAt(corner);
                QVERIFY(hit == form.PainelLogin || form.PainelLogin->isAncestorOf(hit));
            }
        }
        // Nor by the search box's shortcut.
        form.PainelLogin->EditNome->setFocus();
        QTest::keyClick(form.PainelLogin->EditNome, Qt::Key_P, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), form.PainelLogin->EditNome);
        form.close();
    }
};

QTEST_MAIN(KeyboardRulesTest)
#include "keyboardrules_qtest.moc"
