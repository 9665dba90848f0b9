// PopupMenu1 in the logged-in main window on a demo installation: the seven items, the guarded
// ones through the maintenance password (deletions after the backup question), the others at once,
// and the window given back as each operation leaves it.
#include "shell/program.h"
#include "shell/tform1.h"
#include "common/accesscodes.h"
#include "browser/ui/maintenancepanel.h"
#include "maintenance/operations.h"
#include "maintenance/ui/maintenancemenu.h"
#include "support/demoinstall.h"
#include "support/mainwindow.h"
#include "support/recordingoperator.h"
#include "users/ui/loginpanel.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using testsupport::RecordingOperator;

namespace {
const QDate kToday(2026, 3, 31);
}

class MaintenanceMenuTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    static qint64 count(shell::Program &program, const QString &where)
    {
        return program.dm.SQLConnection1.query(QStringLiteral("select count(*) from ESTLOTE where ") + where)
            .rows.at(0).at(0).toInt();
    }

    static void password(shell::TForm1 &form, int tag)
    {
        QVERIFY(form.Panel1->isVisible());
        QCOMPARE(form.Panel1->Tag, tag);
        form.Panel1->Edit2->setText(browser::kMaintenancePassword);
        QTest::keyClick(form.Panel1->Edit2, Qt::Key_Return);
        QVERIFY(form.Panel1->isHidden());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 300, kToday), QString());
    }

    void theMenuRunsEachOperationBehindItsGuard()
    {
        testsupport::MainWindowSession s(testsupport::demoProgramFolder(m_dir.path()), kToday);
        auto &[clock, op, program, form] = s;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.Termometro->isHidden());

        // Before the login the menu is not offered.
        Q_EMIT form.customContextMenuRequested(QPoint(5, 5));
        QVERIFY(form.Maintenance->PopupMenu1->isHidden());

        form.PainelLogin->EditNome->setText(QStringLiteral("maria"));
        form.PainelLogin->EditSenhaU->setText(QStringLiteral("1234"));
        QTest::keyClick(form.PainelLogin->EditSenhaU, Qt::Key_Return);
        QCOMPARE(op.texts(), QStringList());

        QMenu *menu = form.Maintenance->PopupMenu1;
        QStringList items;
        for (QAction *a : menu->actions())
            items << a->text();
        QCOMPARE(items, (QStringList{
                            QStringLiteral("&Importar Lotes do Cadastro de Matérias Primas"),
                            QStringLiteral("&Trazer Densidade, Fator de Correção e Validade do Cad. Mat. Prima"),
                            QStringLiteral("Importar todos os &lotes já registrados nas  Notas Fiscais anteriores"),
                            QStringLiteral("Importar indicação de &CONTROLADA"),
                            QStringLiteral("&Apenas corrigir unidades incorretas na tabela de Posição do Estoque"),
                            QStringLiteral("&Excluir os lotes com saldo igual a zero"),
                            QStringLiteral("Excluir os lotes de produtos i&nativos"),
                        }));
        Q_EMIT form.customContextMenuRequested(QPoint(5, 5));
        QVERIFY(menu->isVisible());
        menu->hide();

        // A deletion: No to the backup question deletes nothing; the menu again, Enter, Yes deletes.
        const qint64 zeros = count(program, QStringLiteral("SALDOCORRENTE = 0"));
        QVERIFY(zeros > 0);
        form.Maintenance->Excluirloteszerados1->trigger();
        op.answer(platform::Answer::No);
        password(form, 5);
        QCOMPARE(op.texts(), (QStringList{browser::kBackupQuestion, browser::kBackupAdvice}));
        QCOMPARE(count(program, QStringLiteral("SALDOCORRENTE = 0")), zeros);
        op.clear();
        form.Maintenance->Excluirloteszerados1->trigger();
        QCOMPARE(form.Panel1->Edit2->text(), browser::kMaintenancePassword);
        op.answer(platform::Answer::Yes);
        QTest::keyClick(form.Panel1->Edit2, Qt::Key_Return);
        QCOMPARE(op.texts(), (QStringList{browser::kBackupQuestion, QStringLiteral("Procedimento concluído com sucesso!.")}));
        QCOMPARE(count(program, QStringLiteral("SALDOCORRENTE = 0")), qint64(0));

        // The product-register import after the password: the count, the window given back, every lot shown.
        op.clear();
        form.Maintenance->ImportarLotesdoCadastrodeMateriasPrimas1->trigger();
        password(form, 2);
        QCOMPARE(op.texts().size(), 1);
        QVERIFY(op.texts().value(0).startsWith(QStringLiteral("Pronto. ")));
        QVERIFY(op.texts().value(0).endsWith(QStringLiteral(" registros foram incluídos na tabela de Lotes a partir da tabela de Componentes")));
        QVERIFY(form.BitBtn3->isVisible());
        QVERIFY(form.Termometro->isHidden());
        QVERIFY(!program.dm.BatchInsertMode);
        QCOMPARE(program.dm.ESTLOTE.commandText(), maintenance::AllLotsStatement());
        QCOMPARE(program.dm.ESTLOTE.rowCount(), int(count(program, QStringLiteral("1 = 1"))));

        // The density import changes the caption through its two phases and leaves the plain one.
        op.clear();
        form.Maintenance->TrazerDensidadeFatordeCorrecao1->trigger();
        password(form, 3);
        QCOMPARE(op.texts().size(), 2);
        QCOMPARE(form.windowTitle(), maintenance::kCaptionPlain);

        // The two corrections run at once, without the panel.
        op.clear();
        form.Maintenance->ImportarindicaodeCONTROLADA1->trigger();
        QVERIFY(form.Panel1->isHidden());
        QCOMPARE(op.texts(), QStringList());
        form.Maintenance->ApenascorrigirUnidadesincorretasnatabeladePosiodoEstoque1->trigger();
        QVERIFY(form.Panel1->isHidden());
        QCOMPARE(op.texts().size(), 1);
        QVERIFY(op.texts().value(0).endsWith(QStringLiteral("a partir da tabela de Compras")));
        QCOMPARE(program.dm.ESTLOTE.commandText(),
                 maintenance::UnitCorrectionGridStatement(program.run.Laboratory));
        QVERIFY(form.BitBtn3->isVisible());
        QVERIFY(form.Termometro->isHidden());
        form.close();
    }
};

QTEST_MAIN(MaintenanceMenuTest)
#include "maintenancemenu_qtest.moc"
