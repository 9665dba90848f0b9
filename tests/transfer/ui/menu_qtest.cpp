// The transfer from the main window of a logged-in demo installation: the grid's context menu
// opens TForm3 on the current lot, and after the transfer the grid shows the filter again on the
// same lot, with the search box focused and its text kept.
#include "shell/program.h"
#include "shell/tform1.h"
#include "browser/ui/lotgrid.h"
#include "support/demoinstall.h"
#include "support/mainwindow.h"
#include "support/recordingoperator.h"
#include "transfer/ui/tform3.h"
#include "users/ui/loginpanel.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
const QDate kToday(2026, 3, 31);
}

class TransferMenuTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 80, kToday), QString());
    }

    void theMenuItemTransfersTheCurrentLot()
    {
        testsupport::MainWindowSession s(testsupport::demoProgramFolder(m_dir.path()), kToday);
        auto &[clock, op, program, form] = s;
        QVERIFY(s.logIn());
        QCOMPARE(op.texts(), QStringList());

        // A lot with at least one unit, not already in "Terceiros".
        data::CachedDataset &lots = program.dm.ESTLOTE;
        const QString statement = lots.commandText();
        int row = 1;   // not the first row, which the rebuilt view starts on
        for (; row < lots.rowCount(); ++row) {
            lots.moveTo(row);
            if (lots.value(QStringLiteral("SALDOCORRENTE")).toDouble() >= 1
                && lots.text(QStringLiteral("LABORATORIO")) != QLatin1String("Terceiros"))
                break;
        }
        QVERIFY(row > 0 && row < lots.rowCount());
        const std::vector<db::Value> key{lots.value(QStringLiteral("CODIGO")), lots.value(QStringLiteral("LOTE")),
                                         lots.value(QStringLiteral("FORNECEDOR"))};
        const QString source = lots.text(QStringLiteral("LABORATORIO"));
        auto total = [&](const QString &where) {
            const db::Rows r = program.dm.SQLConnection1.query(
                QStringLiteral("select sum(SALDOCORRENTE) from ESTLOTE where CODIGO = ? and LOTE = ? and "
                               "FORNECEDOR = ? and ") + where, key);
            return r.rows[0][0].isNull() ? 0.0 : r.rows[0][0].toDouble();
        };
        const double atSource = total(QStringLiteral("LABORATORIO = '") + source + QLatin1Char('\''));
        const double atThird = total(QStringLiteral("LABORATORIO = 'Terceiros'"));
        const double all = total(QStringLiteral("1 = 1"));

        QMenu *menu = form.DBGrid1->PopupMenu2;
        QAction *item = form.DBGrid1->ransferirestoqueparaoutraunidade1;
        QCOMPARE(item->text(), QStringLiteral("&Transferir estoque para outra unidade"));
        QVERIFY(menu->actions().contains(item));
        Q_EMIT menu->aboutToShow();
        QVERIFY(item->isEnabled());

        form.Edit1->setText(QStringLiteral("Zz"));   // a search typed before, which stays
        lots.moveTo(row);
        form.DBGrid1->setFocus();
        QCOMPARE(form.focusWidget(), form.DBGrid1);
        bool seen = false;
        QTimer::singleShot(0, &form, [&] {
            auto *dialog = form.findChild<transfer_ui::TForm3 *>();
            QVERIFY(dialog && dialog->isModal() && dialog->isVisible());
            seen = dialog->DBText4->text() == source;
            dialog->Edit1->setText(QStringLiteral("1"));
            dialog->ComboBox1->setEditText(QStringLiteral("Terceiros"));
            dialog->BitBtn1->click();
        });
        item->trigger();
        QVERIFY(seen);
        QCOMPARE(op.texts(), QStringList());
        QVERIFY(form.findChild<transfer_ui::TForm3 *>() == nullptr);   // released after it closed

        QCOMPARE(total(QStringLiteral("LABORATORIO = '") + source + QLatin1Char('\'')), atSource - 1);
        QCOMPARE(total(QStringLiteral("LABORATORIO = 'Terceiros'")), atThird + 1);
        QCOMPARE(total(QStringLiteral("1 = 1")), all);
        QCOMPARE(lots.commandText(), statement);
        QVERIFY(lots.isOpen());
        // Back on the lot the transfer started from, not on the first row; the search is kept.
        QVERIFY(lots.currentRow() > 0);
        QCOMPARE((std::vector<db::Value>{lots.value(QStringLiteral("CODIGO")), lots.value(QStringLiteral("LOTE")),
                                         lots.value(QStringLiteral("FORNECEDOR"))}),
                 key);
        QCOMPARE(lots.text(QStringLiteral("LABORATORIO")), source);
        QCOMPARE(form.focusWidget(), form.Edit1);
        QCOMPARE(form.Edit1->text(), QStringLiteral("Zz"));

        // With no lot to start from, the item cannot be chosen.
        lots.close();
        Q_EMIT menu->aboutToShow();
        QVERIFY(!item->isEnabled());
    }
};

QTEST_MAIN(TransferMenuTest)
#include "menu_qtest.moc"
