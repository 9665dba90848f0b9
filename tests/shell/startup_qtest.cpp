// The main window's start: configuration, the two corrections of the lot table, the login
// panel, and the ways the window closes before anyone logs in.
#include "core/activitylog.h"
#include "core/siteconfig.h"
#include "core/startup.h"
#include "data/ui/lockwaitpanel.h"
#include "db/lockwait.h"
#include "shell/program.h"
#include "shell/startupwait.h"
#include "shell/tform1.h"
#include "support/recordingoperator.h"
#include "support/tempinstall.h"
#include "users/ui/loginpanel.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

using testsupport::RecordingOperator;
using testsupport::TempInstall;

class StartupTest : public QObject {
    Q_OBJECT

private:
    static void waitClosed(QWidget &w)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 5000);
    }

private Q_SLOTS:
    void correctsLotsAndOffersTheLoginWithTheUsersName()
    {
        TempInstall inst;
        const QDate today(2024, 3, 7);
        inst.central().execute(QStringLiteral(
            "insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, VALIDADE, SITUACAO, LABORATORIO) "
            "values ('Ontem', 'L1', 'F', '1', 5, '2024-03-06', 'Estoque', 'Loja Norte')"));
        inst.central().execute(QStringLiteral(
            "insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, VALIDADE, SITUACAO, LABORATORIO) "
            "values ('Hoje', 'L2', 'F', '2', -0.5, '2024-03-07', 'Estoque', 'Manipulação')"));
        inst.central().execute(QStringLiteral(
            "insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, VALIDADE, SITUACAO, LABORATORIO) "
            "values ('Sem data', 'L3', 'F', '3', 0, null, 'Aguardando', 'Manipulação')"));
        inst.closeConnections();

        platform::FixedClock clock(today, QTime(9, 30));
        RecordingOperator op;
        shell::Program program(inst.programFolder(), clock, op);
        program.osUserName = [] { return QStringLiteral("operador.do.balcao"); };
        shell::TForm1 form(program);
        QVERIFY(form.created());
        form.show();
        QCoreApplication::processEvents();

        QCOMPARE(op.texts(), QStringList());
        QVERIFY(!form.startupFailed());
        QCOMPARE(form.windowTitle(), QStringLiteral("FORMULIX  -  Posição do Estoque por Lote"));
        // Maximised; 800 by 600 is the size it is restored to.
        QVERIFY(form.isMaximized());
        QCOMPARE(form.normalGeometry().size(), QSize(800, 600));
        QVERIFY(form.PainelLogin->isVisible());
        QCOMPARE(form.PainelLogin->geometry(), form.rect());
        QCOMPARE(form.PainelLogin->EditNome->text(), QStringLiteral("operador.do.balcao"));
        // Offered selected: typing another name replaces it.
        QCOMPARE(form.PainelLogin->EditNome->selectedText(), QStringLiteral("operador.do.balcao"));
        QCOMPARE(program.run.UserName, QStringLiteral("operador.do.balcao"));
        QCOMPARE(program.connections.centralPath(), QStringLiteral("127.0.0.1:C:\\formulix\\Dados\\FORMULIX.BD"));
        QVERIFY(!form.BitBtn3->isEnabled());

        // Tab stays on the panel: the window under it waits for the login.
        form.activateWindow();
        form.PainelLogin->EditNome->setFocus();
        const QList<QWidget *> round{form.PainelLogin->EditSenhaU, form.PainelLogin->BotOkSenha,
                                     form.PainelLogin->BotCancSenha, form.PainelLogin->EditNome};
        for (QWidget *expected : round) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), expected);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), form.PainelLogin->BotCancSenha);

        // Closing before anyone logged in writes no log line.
        form.close();
        program.connections.SQLConnection1.close();
        QVERIFY(QDir(inst.local(QStringLiteral("c/FORMULIX/LOG"))).entryList(QDir::Files).isEmpty());

        db::Rows rows = inst.central().query(QStringLiteral(
            "select DESCRICAO, SITUACAO, SALDOCORRENTE from ESTLOTE order by CODIGO"));
        QCOMPARE(rows.rows.size(), size_t(3));
        QCOMPARE(rows.at(0, "SITUACAO").toString(), QStringLiteral("Vencido"));      // due yesterday
        QCOMPARE(rows.at(1, "SITUACAO").toString(), QStringLiteral("Estoque"));      // due today keeps it
        QCOMPARE(rows.at(1, "SALDOCORRENTE").toString(), QStringLiteral("0"));       // -0.5 cleared
        QCOMPARE(rows.at(2, "SITUACAO").toString(), QStringLiteral("Aguardando"));   // no date: untouched
        QCOMPARE(rows.at(0, "SALDOCORRENTE").toString(), QStringLiteral("5"));
    }

    void showsThatItIsStartingWhileWaitingOnRowsAnotherWorkstationHolds()
    {
        TempInstall inst;
        inst.central().execute(QStringLiteral(
            "insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOCORRENTE, VALIDADE, SITUACAO, LABORATORIO) "
            "values ('Ontem', 'L1', 'F', '1', 5, '2024-03-06', 'Estoque', 'Loja Norte')"));
        // Another workstation holds the expired lot: the start-up's update waits for it.
        db::Transaction holder(inst.central());
        holder.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = 6 where LOTE = 'L1'"));

        platform::FixedClock clock(QDate(2024, 3, 7), QTime(9, 30));
        RecordingOperator op;
        shell::Program program(inst.programFolder(), clock, op);
        shell::TForm1 form(program);
        QVERIFY(form.created());
        // Looked at while the start waits (the window's thread is inside the statement), then
        // the other workstation commits.
        std::atomic<bool> busyCursor{false}, waitWindow{false};
        std::thread otherWorkstation([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
            const QCursor *c = QGuiApplication::overrideCursor();
            busyCursor = c && c->shape() == Qt::WaitCursor;
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *label = qobject_cast<QLabel *>(w);
                if (label && label->isVisible() && label->text() == shell::kStartupWaitText)
                    waitWindow = true;
            }
            holder.commit();
        });
        form.show();
        otherWorkstation.join();
        QVERIFY(busyCursor);
        QVERIFY(waitWindow);
        // Gone once the start is done; the statement ran on the committed row.
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(!(qobject_cast<QLabel *>(w) && w->isVisible()));
        QVERIFY(!form.startupFailed());
        QCOMPARE(op.texts(), QStringList());
        const db::Rows r = inst.central().query(QStringLiteral("select SITUACAO, SALDOCORRENTE from ESTLOTE"));
        QCOMPARE(r.rows[0][0].toString(), QStringLiteral("Vencido"));
        QCOMPARE(r.rows[0][1].toString(), QStringLiteral("6"));
        form.close();
    }

    void expiryStatementPutsTheMonthFirst()
    {
        QCOMPARE(core::ExpiryStatement(QDate(2024, 3, 7)),
                 QStringLiteral("update ESTLOTE set SITUACAO = 'Vencido' where VALIDADE < '03/07/2024'"));
    }

    void anUnreachableDatabaseShowsBothStatementsAndEnds()
    {
        TempInstall::Options opts;
        opts.createCentral = false;
        TempInstall inst(opts);
        platform::FixedClock clock(QDate(2024, 3, 7));
        RecordingOperator op;
        shell::Program program(inst.programFolder(), clock, op);
        shell::TForm1 form(program);
        QVERIFY(form.created());
        form.show();
        waitClosed(form);

        const QString path = QStringLiteral("127.0.0.1:C:\\formulix\\Dados\\FORMULIX.BD");
        QCOMPARE(op.texts(),
                 QStringList({QStringLiteral("Não foi possível atualizar a tabela ESTLOTE com \r"
                                             "update ESTLOTE set SITUACAO = 'Vencido' where VALIDADE < '03/07/2024'\r"
                                             "Banco de Dados: ")
                                  + path + QStringLiteral("\r- Verifique o IP do Servidor no arquivo FORMULIX.INI"),
                              QStringLiteral("Não foi possível atualizar a tabela ESTLOTE com \r"
                                             "update ESTLOTE set SALDOCORRENTE = 0 where SALDOCORRENTE < 0\r"
                                             "Banco de Dados: ")
                                  + path + QStringLiteral("\r- Verifique o IP do Servidor no arquivo FORMULIX.INI")}));
        QVERIFY(form.startupFailed());
        QVERIFY(!form.PainelLogin->isVisible());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);   // no busy cursor over the messages
    }

    void theWindowShowsEveryWaitOnAHeldRecordWithinTheSitesLimit()
    {
        TempInstall inst;
        inst.closeConnections();
        inst.writeIni(inst.readFile(QStringLiteral("c/FORMULIX/FORMULIX.INI"))
                      + testsupport::iniLine(QStringLiteral("ESPERA MAXIMA POR REGISTRO EM USO (SEGUNDOS)...:"), QStringLiteral("7")));
        platform::FixedClock clock(QDate(2024, 3, 7));
        RecordingOperator op;
        shell::Program program(inst.programFolder(), clock, op);
        {
            shell::TForm1 form(program);
            QVERIFY(form.created());
            QCOMPARE(db::lockWaitLimit(), 7);
            QVERIFY(dynamic_cast<data_ui::LockWaitPanel *>(db::lockWaitHost()));
        }
        QCOMPARE(db::lockWaitHost(), nullptr);
        db::setLockWaitLimit(core::kDefaultLockWaitSeconds);
    }

    void aMissingConfigurationStopsBeforeAnyWindow()
    {
        TempInstall inst;
        inst.closeConnections();
        QFile::remove(inst.programFolder() + QStringLiteral("/FORMULIX.INI"));
        platform::FixedClock clock(QDate(2024, 3, 7));
        RecordingOperator op;
        shell::Program program(inst.programFolder(), clock, op);
        shell::TForm1 form(program);
        QVERIFY(!form.created());
        QCOMPARE(op.texts(), QStringList({core::kConfigMissingMessage}));
        QVERIFY(!program.connections.SQLConnection1.isOpen());
    }

    void escapeAndCancelCloseBeforeLogin()
    {
        TempInstall inst;
        inst.closeConnections();
        platform::FixedClock clock(QDate(2024, 3, 7));
        for (const bool useEscape : {true, false}) {
            RecordingOperator op;
            shell::Program program(inst.programFolder(), clock, op);
            shell::TForm1 form(program);
            form.show();
            QCoreApplication::processEvents();
            QVERIFY(form.PainelLogin->isVisible());
            if (useEscape)
                QTest::keyClick(form.PainelLogin->EditNome, Qt::Key_Escape);
            else
                form.PainelLogin->BotCancSenha->click();
            waitClosed(form);
            QCOMPARE(op.texts(), QStringList());
            program.connections.SQLConnection1.close();
        }
    }
};

QTEST_MAIN(StartupTest)
#include "startup_qtest.moc"
