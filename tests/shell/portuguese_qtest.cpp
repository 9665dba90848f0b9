// Qt's own parts of the program speak Portuguese: standard buttons, the text boxes' context menu,
// the file dialog and the calendar.
#include "shell/portuguese.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

class PortugueseTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(shell::installPortuguese(*qApp)); }

    void standardButtonsAndMenus()
    {
        QDialogButtonBox box(QDialogButtonBox::Save | QDialogButtonBox::Cancel | QDialogButtonBox::Open);
        QCOMPARE(box.button(QDialogButtonBox::Save)->text(), QStringLiteral("Salvar"));
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancelar"));

        QLineEdit edit;
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList texts;
        for (QAction *a : menu->actions())
            if (!a->isSeparator())
                texts << a->text().remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0);
        QVERIFY2(texts.contains(QStringLiteral("Desfazer")), qPrintable(texts.join(QLatin1Char('|'))));
        QVERIFY(texts.contains(QStringLiteral("Colar")));
        QVERIFY(!texts.contains(QStringLiteral("Undo")));
    }

    void theSaveDialogAndTheCalendar()
    {
        QFileDialog dialog(nullptr, QStringLiteral("Salvar como"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        QStringList labels;
        for (QLabel *l : dialog.findChildren<QLabel *>())
            labels << l->text().remove(QLatin1Char('&'));
        QVERIFY2(!labels.contains(QStringLiteral("File name:")), qPrintable(labels.join(QLatin1Char('|'))));
        QVERIFY(!labels.contains(QStringLiteral("Look in:")));
        auto *accept = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save);
        QCOMPARE(accept->text().remove(QLatin1Char('&')), QStringLiteral("Salvar"));

        QCalendarWidget calendar;
        QCOMPARE(calendar.locale().monthName(3), QStringLiteral("março"));
        QCOMPARE(calendar.locale().dayName(1, QLocale::ShortFormat), QStringLiteral("seg."));
    }
};

QTEST_MAIN(PortugueseTest)
#include "portuguese_qtest.moc"
