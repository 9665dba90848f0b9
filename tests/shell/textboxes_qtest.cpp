// Every text box of the main window, the lot edit form and the transfer form has a name a screen
// reader says (its own or its label's), the two filters apart; the lot edit form opens with the
// focus in its first data box.
#include "lotedit/ui/tform2.h"
#include "support/demoinstall.h"
#include "support/mainwindow.h"
#include "transfer/ui/tform3.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace {
const QDate kToday(2026, 3, 31);

// What a screen reader says for a widget: its accessible name, or its label's text.
QString spokenName(QWidget *w)
{
    QAccessibleInterface *i = QAccessible::queryAccessibleInterface(w);
    return i ? i->text(QAccessible::Name).trimmed() : QString();
}

// The boxes of `top` (shown or not) that say nothing; a combo box's own line edit speaks through
// the combo box.
QStringList unnamedBoxes(QWidget *top)
{
    QStringList out;
    for (QWidget *w : top->findChildren<QWidget *>()) {
        const bool box = (qobject_cast<QLineEdit *>(w) && !qobject_cast<QComboBox *>(w->parentWidget())
                          && !qobject_cast<QAbstractSpinBox *>(w->parentWidget()))
                         || (qobject_cast<QComboBox *>(w) && static_cast<QComboBox *>(w)->isEditable())
                         || qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QTextEdit *>(w) || qobject_cast<QAbstractSpinBox *>(w);
        // Qt's own parts of a widget (a calendar's year box) speak through the widget.
        if (box && spokenName(w).isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            out << w->objectName() + QStringLiteral(" in ") + (w->parentWidget() ? w->parentWidget()->objectName() : QString());
    }
    return out;
}
} // namespace

class TextBoxesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 60, kToday), QString());
    }

    void everyTextBoxHasAName()
    {
        testsupport::MainWindowSession s(testsupport::demoProgramFolder(m_dir.path()), kToday);
        QVERIFY(s.show());
        QCOMPARE(unnamedBoxes(&s.form), QStringList());
        QVERIFY(s.logIn());
        QCOMPARE(unnamedBoxes(&s.form), QStringList());
        QVERIFY(spokenName(s.form.ComboBox1) != spokenName(s.form.ComboBox2));

        QStringList inTransfer;
        QTimer::singleShot(0, &s.form, [&] {
            auto *dialog = s.form.findChild<transfer_ui::TForm3 *>();
            QVERIFY(dialog);
            inTransfer = unnamedBoxes(dialog);
            inTransfer << QStringLiteral("quantity: ") + spokenName(dialog->Edit1);
            dialog->reject();
        });
        s.form.DBGrid1->ransferirestoqueparaoutraunidade1->trigger();
        QCOMPARE(inTransfer, QStringList{QStringLiteral("quantity: Quantidade a transferir")});
        s.form.close();
    }

    // The operator's first key is for the lot's data: the first box has the focus, as Tab gives it
    // (its text selected), not a button.
    void lotEditFormOpensInItsFirstBox()
    {
        testsupport::MainWindowSession s(testsupport::demoProgramFolder(m_dir.path()), kToday);
        QVERIFY(s.logIn());
        s.enableAdjustment();
        QVERIFY(s.form.BitBtn3->isEnabled());
        bool checked = false;
        QStringList unnamed;
        QTimer::singleShot(0, &s.form, [&] {
            auto *edit = qobject_cast<lotedit_ui::TForm2 *>(QApplication::activeModalWidget());
            QVERIFY(edit);
            const struct Close {
                QWidget *w;
                ~Close() { w->close(); }
            } close{edit};
            // The description when it may be changed, else the lot number.
            QLineEdit *first = edit->DBEdit1->isEnabled() ? static_cast<QLineEdit *>(edit->DBEdit1) : edit->DBEdit2;
            QCOMPARE(edit->focusWidget(), static_cast<QWidget *>(first));
            QVERIFY(!first->text().isEmpty());
            QCOMPARE(first->selectedText(), first->text());
            unnamed = unnamedBoxes(edit);
            checked = true;
        });
        s.form.BitBtn3->click();
        QVERIFY(checked);
        QCOMPARE(unnamed, QStringList());
        s.form.close();
    }
};

QTEST_MAIN(TextBoxesTest)
#include "textboxes_qtest.moc"
