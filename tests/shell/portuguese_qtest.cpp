// Qt's own parts of the program speak Portuguese: standard buttons, the text boxes' context menu,
// the file dialog (the reports' own, with no English left in its list) and the calendar.
#include "shell/portuguese.h"
#include "reports/engine/previewdialog.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

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

    // The reports' save dialog: no English left in its list of files, the name box named.
    void theReportsFileDialog()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Pasta de relatórios")));
        QFile file(dir.filePath(QStringLiteral("lista.pdf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QFileDialog dialog(nullptr, QStringLiteral("Opções de Saída"), dir.path());
        reports_engine::UseBrazilianTexts(dialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setViewMode(QFileDialog::Detail);
        dialog.show();
        auto *tree = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
        QVERIFY(tree);
        QTRY_COMPARE(tree->model()->rowCount(tree->rootIndex()), 2);
        QStringList texts;
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < tree->model()->columnCount(tree->rootIndex()); ++c)
                texts << tree->model()->index(r, c, tree->rootIndex()).data().toString();
        QVERIFY2(texts.contains(QStringLiteral("Pasta")), qPrintable(texts.join(QLatin1Char('|'))));
        const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
        QVERIFY(texts.contains(brazil.toString(QFileInfo(file).lastModified(), QLocale::ShortFormat)));
        static const QRegularExpression english(QStringLiteral("\\b(Folder|Jan|Feb|Apr|May|Aug|Sep|Oct|Dec)\\b"));
        for (const QString &t : texts)
            QVERIFY2(!t.contains(english), qPrintable(t));
        QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->accessibleName(),
                 QStringLiteral("Nome do arquivo"));
    }
};

QTEST_MAIN(PortugueseTest)
#include "portuguese_qtest.moc"
