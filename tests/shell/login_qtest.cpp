// The login on a demo installation, end to end: the grid after login, the activity log lines,
// the refusals, a user without a workstation and a store without laboratories.
#include "core/activitylog.h"
#include "shell/program.h"
#include "shell/tform1.h"
#include "platform/cp1252.h"
#include "support/demoinstall.h"
#include "support/mainwindow.h"
#include "support/recordingoperator.h"
#include "users/ui/loginpanel.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using testsupport::RecordingOperator;

namespace {
const QDate kToday(2026, 3, 31);

// The program as it runs after start-up: the main window shown with its login panel.
struct Session : testsupport::MainWindowSession {
    Session(const QString &programFolder, const QTime &time = QTime(10, 0))
        : MainWindowSession(programFolder, kToday, time)
    {
        form.show();
        QCoreApplication::processEvents();
    }

    void login(const QString &name, const QString &password)
    {
        form.PainelLogin->EditNome->setText(name);
        form.PainelLogin->EditSenhaU->setText(password);
        QTest::keyClick(form.PainelLogin->EditSenhaU, Qt::Key_Return);
    }
};
} // namespace

class LoginTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString programFolder() const { return testsupport::demoProgramFolder(m_dir.path()); }

    // A fresh demo installation for each case: logins change the log and the start the lots.
    void makeDemo() { QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 60, kToday), QString()); }

    QByteArray readLog(const QString &month) const
    {
        QFile f(programFolder() + QStringLiteral("/LOG/LOGESTOQ_") + month + QStringLiteral(".TXT"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void mariaLogsInAndSeesHerStore()
    {
        makeDemo();
        {
            Session s(programFolder(), QTime(23, 50));
            auto &[clock, op, program, form] = s;
            s.login(QStringLiteral("maria"), QStringLiteral("1234"));

            QCOMPARE(op.texts(), QStringList());
            QVERIFY(!form.PainelLogin->isVisible());
            QCOMPARE(form.windowTitle(),
                     QStringLiteral("  POSIÇÃO ATUAL DO ESTOQUE  -  Usuário: \"MARIA\"   Estação: 01"));
            QCOMPARE(form.ComboBox1->currentIndex(), 6);
            QCOMPARE(form.ComboBox2->currentIndex(), 0);
            QCOMPARE(program.run.UserName, QStringLiteral("MARIA"));
            QVERIFY(!program.run.LabScopeClause.isEmpty());

            // The first view: own and shared locations, positive balance, not yet expired.
            data::CachedDataset &lots = program.dm.ESTLOTE;
            QVERIFY(lots.isOpen());
            QVERIFY(lots.rowCount() > 0);
            for (int r = 0; r < lots.rowCount(); ++r) {
                QVERIFY(lots.valueAt(r, lots.fieldIndex(QStringLiteral("SALDOCORRENTE"))).toDouble() > 0);
                QVERIFY(lots.valueAt(r, lots.fieldIndex(QStringLiteral("VALIDADE"))).toDate() > kToday);
            }
            QVERIFY(form.DBGrid1->model() == nullptr || form.DBGrid1->model()->rowCount() == lots.rowCount());

            // Another view, from the filter box.
            form.ComboBox2->setCurrentIndex(1);
            QCOMPARE(op.texts(), QStringList());
            QVERIFY(lots.isOpen());

            // The run crosses midnight into April: the exit line still goes to March's file.
            clock.set(QDateTime(kToday.addDays(1), QTime(0, 10)));
            form.close();
        }
        const QByteArray log = readLog(QStringLiteral("2026-03"));
        QCOMPARE(log, platform::toCp1252(QStringLiteral("--------------------------------\r\n"
                                                        "  LOG criado em 31/03/26-23:50\r\n"
                                                        "--------------------------------\r\n"
                                                        "31/03/26-23:50 - MARIA - ---------------------------------------------\r\n"
                                                        "31/03/26-23:50 - MARIA - Entrou no módulo de Posicao Atual do Estoque.\r\n"
                                                        "01/04/26-00:10 - MARIA - Saiu do módulo de Posicao Atual do Estoque.\r\n")));
        QVERIFY(readLog(QStringLiteral("2026-04")).isEmpty());
    }

    void refusalsKeepThePanel()
    {
        makeDemo();
        Session s(programFolder());
        auto &[clock, op, program, form] = s;

        s.login(QStringLiteral("MARIA"), QStringLiteral("errada"));
        QCOMPARE(op.texts(), QStringList({QStringLiteral("Senha incorreta. Tente novamente.")}));
        QVERIFY(form.PainelLogin->isVisible());
        QCOMPARE(form.PainelLogin->EditSenhaU->text(), QStringLiteral("errada"));
        QCOMPARE(QApplication::focusWidget(), form.PainelLogin->EditSenhaU);

        op.clear();
        s.login(QStringLiteral("CARLOS"), QStringLiteral("3333"));
        QCOMPARE(op.texts(), QStringList({QStringLiteral("Usuário CARLOS não autorizado")}));

        op.clear();
        form.PainelLogin->EditNome->clear();
        form.PainelLogin->BotOkSenha->click();
        QCOMPARE(op.texts(), QStringList({QStringLiteral("Não foi informado o Nome do Usuário.")}));
        QVERIFY(form.PainelLogin->isVisible());
        QVERIFY(form.isVisible());
        form.close();
        QVERIFY(readLog(kToday.toString(QStringLiteral("yyyy-MM"))).isEmpty());
    }

    void aUserWithoutWorkstationEndsTheProgram()
    {
        makeDemo();
        Session s(programFolder());
        auto &[clock, op, program, form] = s;
        s.login(QStringLiteral("pedro"), QStringLiteral("1111"));
        QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 5000);
        const QStringList texts = op.texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts[0].startsWith(QStringLiteral(
            "Não foi possível selecionar uma área de trabalho para o usuário \"PEDRO\". \r\r")));
        QCOMPARE(texts[1], QStringLiteral("Não foi identificada uma área de trabalho para o usuáro PEDRO"));
        QVERIFY(readLog(kToday.toString(QStringLiteral("yyyy-MM"))).isEmpty());
    }

    void aStoreWithoutLaboratoriesStillShowsTheSharedLocations()
    {
        makeDemo();
        Session s(programFolder());
        auto &[clock, op, program, form] = s;
        s.login(QStringLiteral("ANA"), QStringLiteral("2222"));
        QCOMPARE(op.texts(),
                 QStringList({QStringLiteral("Erro. Confira os CNPJs na Tabela de Estações"),
                              QStringLiteral("Erro. Verifique os CNPJs na Tabela de Estações e o conteúdo da Tabela de Laboratórios.")}));
        QFile diag(programFolder() + QStringLiteral("/ErroEstoque.txt"));
        QVERIFY(diag.open(QIODevice::ReadOnly));
        const QByteArray content = diag.readAll();
        QVERIFY(content.startsWith("select DESCRICAO, LOTE, FORNECEDOR"));
        QVERIFY(content.endsWith("order by DESCRICAO, VALIDADE\r\n"));
        QVERIFY(content.contains("where ( or UPPER(LABORATORIO) = 'CONTROLE QUALIDADE'"));

        data::CachedDataset &lots = program.dm.ESTLOTE;
        QVERIFY(lots.isOpen());
        for (int r = 0; r < lots.rowCount(); ++r) {
            const QString lab = lots.valueAt(r, lots.fieldIndex(QStringLiteral("LABORATORIO"))).toString().toUpper();
            QVERIFY2(lab == QStringLiteral("CONTROLE QUALIDADE") || lab == QStringLiteral("EMTRANSITO"), qPrintable(lab));
        }
        form.close();
    }
};

QTEST_MAIN(LoginTest)
#include "login_qtest.moc"
