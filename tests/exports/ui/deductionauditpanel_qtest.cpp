// The deduction audit's panels driven from the keyboard over a small central database.
#include "exports/deductionaudit.h"
#include "exports/ui/deductionauditpanel.h"
#include "platform/winpath.h"
#include "support/testdb.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QAbstractItemView>
#include <QCompleter>
#include <QTest>

namespace {

struct Rig {
    QTemporaryDir dir;
    platform::WinPaths paths;
    testsupport::TempDatabase db;
    QWidget host;
    exports_ui::DeductionAuditPanel *audit;
    QList<bool> enlarged;

    Rig()
    {
        QDir(dir.path()).mkpath(QStringLiteral("c/FORMULIX"));
        paths = platform::WinPaths::parse(QStringLiteral("C: = c\n"), dir.path());
        auto &c = db.conn();
        c.execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE) values ('2', 'acido ascorbico')"));
        c.execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE) values ('1', 'Vitamina C')"));
        c.execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE) values ('3', 'Zinco')"));
        c.execute(QStringLiteral("insert into PEDIDOS (ESTACAO, NPEDIDO, TIPOPEDIDO, DATAPEDIDO) values ('01', 7, 'Pedido', '2024-03-05')"));
        c.execute(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, COMPONENTE, QDEESTOQUE, UNID, LOTE, GRUPO, "
                                 "FORNECEDOR) values ('01', 7, 1, 'acido ascorbico', 2, 'G', 'L1', 'MP', 'F')"));
        c.execute(QStringLiteral("insert into COMPEDID (ESTACAO, NPEDIDO, NFORMULA, COMPONENTE, QDEESTOQUE, UNID, LOTE, GRUPO, "
                                 "FORNECEDOR) values ('01', 7, 2, 'acido ascorbico', 3, 'G', 'L1', 'MP', 'F')"));
        c.execute(QStringLiteral("insert into MOVEST (ESTACAO, NPEDIDO, NFORMULA, DESCRICAO, QUANTIDADE, UNIDADE, LOTE, "
                                 "FORNECEDOR) values ('01', 7, 1, 'ACIDO ASCORBICO', 2, 'G', 'L1', 'F')"));
        host.resize(900, 600);
        audit = new exports_ui::DeductionAuditPanel(c, paths, &host);
        audit->enlargeReportsPanel = [this](bool on) { enlarged << on; };
        host.show();
        if (!QTest::qWaitForWindowExposed(&host))
            qWarning("window not exposed");
    }
};

class DeductionAuditPanelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The product box offers the names that hold what is typed, accents and case aside.
    void theProductBoxForgivesAccentsAndCase()
    {
        Rig rig;
        rig.db.conn().execute(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE) values ('4', 'Ácido Ascórbico')"));
        auto *a = rig.audit;
        a->ShowProductChoice(QDate(2024, 3, 1), QDate(2024, 3, 31));
        QCompleter *completer = a->ComboBox3->completer();
        QVERIFY(completer);
        for (const char *typed : {"acido", "ácido", "ACIDO", "ÁCIDO ASC", "ascorb"}) {
            completer->setCompletionPrefix(QString::fromUtf8(typed));
            QStringList offered;
            for (int i = 0; completer->setCurrentRow(i); ++i)
                offered << completer->currentCompletion();
            offered.sort();
            QCOMPARE(offered, (QStringList{QStringLiteral("acido ascorbico"), QStringLiteral("Ácido Ascórbico")}));
        }
        // From the keyboard: typed, the list shows; Down and Enter take the name as written.
        a->ComboBox3->setFocus();
        a->ComboBox3->setEditText(QString());
        QTest::keyClicks(a->ComboBox3, QStringLiteral("ACIDO ASC"));
        QTRY_VERIFY(completer->popup()->isVisible());
        QTest::keyClick(completer->popup(), Qt::Key_Down);
        QTest::keyClick(completer->popup(), Qt::Key_Return);
        QVERIFY(QStringList({QStringLiteral("acido ascorbico"), QStringLiteral("Ácido Ascórbico")})
                    .contains(a->ComboBox3->currentText()));
    }

    void productChoiceThenResult()
    {
        Rig rig;
        auto *a = rig.audit;
        QCOMPARE(a->Label15->text(), QStringLiteral("Selecione o Componente ou Produto a ser rastreado"));
        QCOMPARE(a->BitBtn17->text(), QStringLiteral("&Rastrear"));
        QCOMPARE(a->ComboBox4->itemText(1), QStringLiteral("Ver só as falhas"));
        a->ShowProductChoice(QDate(2024, 3, 1), QDate(2024, 3, 31));
        QVERIFY(a->Panel5->isVisible());
        QCOMPARE(a->ComboBox3->count(), 3);
        QCOMPARE(a->ComboBox3->itemText(0), QStringLiteral("Vitamina C"));   // the server's order
        QVERIFY(a->ComboBox3->hasFocus());

        a->ComboBox3->setEditText(QStringLiteral("Ácido Ascórbico"));   // typed, not chosen
        QTest::keyClick(a->ComboBox3, Qt::Key_Return);
        QVERIFY(a->BitBtn17->hasFocus());
        QTest::keyClick(a->BitBtn17, Qt::Key_Space);

        QVERIFY(!a->Panel5->isVisible());
        QVERIFY(!a->PainelAguarde2->isVisible());
        QVERIFY(a->Panel7->isVisible());
        QCOMPARE(rig.enlarged, QList<bool>{true});
        QCOMPARE(a->ComboBox3->currentText(), QStringLiteral("acido ascorbico"));
        QCOMPARE(a->Label16->text(), QStringLiteral("De 01/03/24 a 31/03/24"));
        QCOMPARE(a->Label17->text(), QStringLiteral("ACIDO ASCORBICO"));
        QCOMPARE(a->Memo4->toPlainText(), exports::AuditHeading().join(QLatin1Char('\n')));
        QCOMPARE(a->Memo5->toPlainText(), exports::AuditFailureHeading().join(QLatin1Char('\n')));
        const QStringList all = a->Memo2->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(all.size(), 4);
        QVERIFY(all[1].endsWith(QStringLiteral("| Baixa não realizada      *")));
        QCOMPARE(a->Memo3->toPlainText().split(QLatin1Char('\n')).size(), 3);
        // Totals differ: the failures view opened by itself.
        QCOMPARE(a->ComboBox4->currentText(), QStringLiteral("Ver só as falhas"));
        QVERIFY(a->Memo3->isVisible());
        QVERIFY(a->Memo5->isVisible());
        QCOMPARE(a->Memo3->geometry().bottom(), a->Memo2->geometry().bottom());

        a->Vertodos1->trigger();
        QVERIFY(!a->Memo3->isVisible());
        QCOMPARE(a->ComboBox4->currentText(), QStringLiteral("Ver só as falhas"));   // the combo stays
        QCOMPARE(rig.host.focusWidget(), a->Memo2);
        a->Versomenteasbaixasincorretas1->trigger();
        QVERIFY(a->Memo3->isVisible());
        // The focus goes with the view shown, not staying in the one now under it.
        QCOMPARE(rig.host.focusWidget(), a->Memo3);
        a->ComboBox4->setCurrentIndex(0);
        a->ComboBox4Change();
        QVERIFY(!a->Memo3->isVisible());

        QFile sql(rig.dir.filePath(QStringLiteral("c/FORMULIX/sql.txt")));
        QVERIFY(sql.open(QIODevice::ReadOnly));
        QVERIFY(sql.readAll().contains("AND A.COMPONENTE = 'acido ascorbico' "));

        QTest::mouseClick(a->BitBtn19, Qt::LeftButton);
        QVERIFY(!a->Panel7->isVisible());
        QCOMPARE(rig.enlarged, (QList<bool>{true, false}));
    }

    void aNameWithNoOrderLinesIsSaid()
    {
        Rig rig;
        auto *a = rig.audit;
        const auto audit = [a](const QString &typed) {
            a->ShowProductChoice(QDate(2024, 3, 1), QDate(2024, 3, 31));
            a->ComboBox3->setEditText(typed);
            QTest::keyClick(a->ComboBox3, Qt::Key_Return);
            QTest::keyClick(a->BitBtn17, Qt::Key_Space);
            return a->Memo2->toPlainText().split(QLatin1Char('\n'));
        };
        // A name that has lines is not told so.
        QVERIFY(!audit(QStringLiteral("Ácido Ascórbico")).join(QString()).contains(QStringLiteral("Nenhuma linha")));
        QTest::mouseClick(a->BitBtn19, Qt::LeftButton);
        QCOMPARE(audit(QStringLiteral("Zinco")).first(), QStringLiteral("Nenhuma linha de pedido para ZINCO de 01/03/24 a 31/03/24."));
        QVERIFY(a->Panel7->isVisible());
        QVERIFY(!a->Memo3->isVisible());
    }

    void cancelClosesTheProductChoice()
    {
        Rig rig;
        rig.audit->ShowProductChoice(QDate(2024, 3, 1), QDate(2024, 3, 31));
        QTest::mouseClick(rig.audit->BitBtn18, Qt::LeftButton);
        QVERIFY(!rig.audit->Panel5->isVisible());
        QVERIFY(!rig.audit->Panel7->isVisible());
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    DeductionAuditPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "deductionauditpanel_qtest.moc"
