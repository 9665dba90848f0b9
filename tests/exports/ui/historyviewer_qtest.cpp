// The activity history viewer driven from the keyboard over a mapped server share.
#include "core/siteconfig.h"
#include "exports/ui/historyviewer.h"
#include "platform/winpath.h"
#include "support/modulerig.h"
#include "support/recordingoperator.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using testsupport::MessageKind;
using testsupport::RecordedMessage;
using testsupport::RecordingOperator;

namespace {

const QByteArray kMarchLog =
    "--------------------------------\r\n"
    "  LOG criado em 01/03/24-08:00\r\n"
    "--------------------------------\r\n"
    "01/03/24-08:00 - JOS\xc9 - Entrou no m\xf3" "dulo de Posicao Atual do Estoque.\r\n"
    "01/03/24-08:01 - JOS\xc9 - Justificativa: a\xe7\xe3o\n"
    "01/03/24-08:02 - ANA - Saiu do m\xf3" "dulo de Posicao Atual do Estoque.\r\n";

struct Rig {
    QTemporaryDir dir;
    platform::WinPaths paths;
    core::SiteConfig config;
    RecordingOperator op;
    QWidget window;
    QFrame *pnl2;
    exports_ui::HistoryViewer *viewer;

    Rig()
    {
        QDir(dir.path()).mkpath(QStringLiteral("share/LOG"));
        paths = platform::WinPaths::parse(QStringLiteral("\\\\SRV\\Formulix = share\n"), dir.path());
        config.ServerAddress = QStringLiteral("SRV");
        config.LogEnabled = QStringLiteral("N");   // reading needs no log of this run
        QFile f(dir.filePath(QStringLiteral("share/LOG/LOGESTOQ_2024-03.TXT")));
        f.open(QIODevice::WriteOnly);
        f.write(kMarchLog);
        f.close();
        window.resize(800, 600);
        auto *layout = new QVBoxLayout(&window);
        pnl2 = new QFrame(&window);
        pnl2->setMinimumHeight(40);
        layout->addWidget(pnl2);
        layout->addStretch(1);
        viewer = new exports_ui::HistoryViewer(op, paths, config, &window);
        viewer->setTopPanel(pnl2);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qWarning("window not exposed");
    }

    void typeMonth(const QString &month, const QString &year)
    {
        viewer->BitBtn2Click();
        viewer->EditMes->clear();
        viewer->EditAno->clear();
        QTest::keyClicks(viewer->EditMes, month);
        QTest::keyClick(viewer->EditMes, Qt::Key_Return);
        QTest::keyClicks(viewer->EditAno, year);
    }
};

class HistoryViewerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controlsAndCaptions()
    {
        Rig rig;
        auto *v = rig.viewer;
        QCOMPARE(v->objectName(), QStringLiteral("PainelLOG"));
        QCOMPARE(v->Label7->text(), QStringLiteral("Histórico de atividades"));
        QCOMPARE(v->BitBtn9->text(), QStringLiteral("&Voltar"));
        QCOMPARE(v->Label8->text(), QStringLiteral("Selecione o mês desejado"));
        QCOMPARE(v->Label9->text(), QStringLiteral("Mês"));
        QCOMPARE(v->Label10->text(), QStringLiteral("Ano"));
        QCOMPARE(v->Label11->text(), QStringLiteral("/"));
        QCOMPARE(v->BitBtn10->text(), QStringLiteral("Ver &histórico"));
        QVERIFY(!v->isVisible());

        v->BitBtn2Click();
        QVERIFY(v->isVisible());
        QVERIFY(!rig.pnl2->isVisible());
        QCOMPARE(v->geometry(), rig.window.rect());
        QVERIFY(v->PainelSelecioneMes->isVisible());
        QVERIFY(!v->Memo1->isVisible());
        QVERIFY(v->EditMes->hasFocus());
        rig.window.resize(900, 700);
        QTest::qWait(20);
        QCOMPARE(v->geometry(), rig.window.rect());
    }

    void twoDigitMonthFindsTheLog()
    {
        Rig rig;
        rig.typeMonth(QStringLiteral("03"), QStringLiteral("24"));
        QVERIFY(rig.viewer->EditAno->hasFocus());   // Enter in the month went to the year
        QTest::keyClick(rig.viewer->EditAno, Qt::Key_Return);
        QVERIFY(rig.viewer->BitBtn10->hasFocus());
        QTest::keyClick(rig.viewer->BitBtn10, Qt::Key_Space);
        QVERIFY(rig.op.messages().isEmpty());
        auto *memo = rig.viewer->Memo1;
        QVERIFY(memo->isVisible());
        QVERIFY(!rig.viewer->PainelSelecioneMes->isVisible());
        QAbstractItemModel *m = memo->model();
        QCOMPARE(m->rowCount(), 6);
        QCOMPARE(m->index(1, 0).data().toString(), QStringLiteral("  LOG criado em 01/03/24-08:00"));
        QCOMPARE(m->index(3, 0).data().toString(),
                 QStringLiteral("01/03/24-08:00 - JOSÉ - Entrou no módulo de Posicao Atual do Estoque."));
        QCOMPARE(m->index(4, 0).data().toString(), QStringLiteral("01/03/24-08:01 - JOSÉ - Justificativa: ação"));
        QVERIFY(!m->flags(m->index(0, 0)).testFlag(Qt::ItemIsEditable));

        // What assistive technology reads: the lines as the cells of a table.
        QAccessibleInterface *acc = QAccessible::queryAccessibleInterface(memo);
        QVERIFY(acc);
        QVERIFY(acc->tableInterface());
        QAccessibleInterface *cell = acc->tableInterface()->cellAt(4, 0);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("01/03/24-08:01 - JOSÉ - Justificativa: ação"));

        memo->selectRow(3);
        QCOMPARE(memo->selectedText(),
                 QStringLiteral("01/03/24-08:00 - JOSÉ - Entrou no módulo de Posicao Atual do Estoque."));

        QTest::mouseClick(rig.viewer->BitBtn9, Qt::LeftButton);
        QVERIFY(!rig.viewer->isVisible());
        QVERIFY(!memo->isVisible());
        QVERIFY(rig.pnl2->isVisible());
    }

    // A month's file that is not text (NUL bytes with no line end, then one line of megabytes)
    // opens and paints at once, its lines cut with their mark.
    void fileOfNulBytesAndAVeryLongLineOpens()
    {
        Rig rig;
        QFile f(rig.dir.filePath(QStringLiteral("share/LOG/LOGESTOQ_2024-04.TXT")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4 * 1024 * 1024, '\0'));
        f.write("\r\n");
        f.write(QByteArray(4 * 1024 * 1024, 'z'));
        f.close();
        rig.typeMonth(QStringLiteral("04"), QStringLiteral("24"));
        QTest::keyClick(rig.viewer->EditAno, Qt::Key_Return);
        QTest::keyClick(rig.viewer->BitBtn10, Qt::Key_Space);
        QVERIFY(rig.op.messages().isEmpty());
        auto *memo = rig.viewer->Memo1;
        QVERIFY(memo->isVisible());
        memo->repaint();
        const QAbstractItemModel *m = memo->model();
        QCOMPARE(m->rowCount(), 2);
        const QString mark = QStringLiteral(" \u2026 [linha cortada: 4.194.304 caracteres]");
        QCOMPARE(m->index(0, 0).data().toString(), QString(exports::kShownLineLength, QChar(0x2400)) + mark);
        QCOMPARE(m->index(1, 0).data().toString(), QString(exports::kShownLineLength, QLatin1Char('z')) + mark);
        // The column is as wide as a cut line, not as the line in the file.
        const int glyph = memo->fontMetrics().horizontalAdvance(QLatin1Char('M'));
        QVERIFY(memo->columnWidth(0) < glyph * (exports::kShownLineLength + 100));
        memo->scrollToBottom();
        memo->horizontalScrollBar()->setValue(memo->horizontalScrollBar()->maximum());
        memo->repaint();
        QVERIFY(rig.viewer->file().memoryUsed() < size_t(256 * 1024));
    }

    void oneDigitMonthIsNotFound()
    {
        Rig rig;
        rig.typeMonth(QStringLiteral("3"), QStringLiteral("24"));
        QTest::mouseClick(rig.viewer->BitBtn10, Qt::LeftButton);
        QCOMPARE(rig.op.messages(),
                 (QList<RecordedMessage>{{MessageKind::Inform, QStringLiteral("Histórico não encontrado.")}}));
        QVERIFY(!rig.viewer->isVisible());
        QVERIFY(rig.pnl2->isVisible());

        // Four digits of the year look for 2020; no server share reachable at all is the same.
        rig.op.clear();
        rig.typeMonth(QStringLiteral("03"), QStringLiteral("2024"));
        QTest::mouseClick(rig.viewer->BitBtn10, Qt::LeftButton);
        rig.config.ServerAddress = QStringLiteral("OUTRO");
        rig.typeMonth(QStringLiteral("03"), QStringLiteral("24"));
        QTest::mouseClick(rig.viewer->BitBtn10, Qt::LeftButton);
        QCOMPARE(rig.op.texts(), (QStringList{QStringLiteral("Histórico não encontrado."),
                                              QStringLiteral("Histórico não encontrado.")}));
    }

    // The boxes take what is typed in place of the month shown before; each file opens at its
    // top and its long lines are read sideways by the arrows.
    void anotherMonthTypedOverTheLastOne()
    {
        Rig rig;
        QByteArray longLine(400, 'x');
        longLine.prepend("01/12/23-09:00 - ANA - ");
        for (const auto &[name, body] : {std::pair{"LOGESTOQ_2023-12.TXT", QByteArray(longLine + "\r\n")},
                                         std::pair{"LOGESTOQ_2023-11.TXT", QByteArray("01/11/23-09:00 - ANA - novembro\r\n")}}) {
            QFile f(rig.dir.filePath(QStringLiteral("share/LOG/")) + QLatin1String(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            QByteArray lines;
            for (int i = 0; i < 80; ++i)
                lines += body;
            f.write(lines);
        }
        rig.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.window));
        auto *v = rig.viewer;
        // Each caption sits over its own box.
        v->BitBtn2Click();
        for (const auto &[label, box] : {std::pair{v->Label9, v->EditMes}, std::pair{v->Label10, v->EditAno}}) {
            QVERIFY(label->geometry().bottom() < box->geometry().top());
            QVERIFY(label->geometry().left() >= box->geometry().left() - 2);
            QVERIFY(label->geometry().left() < box->geometry().right());
        }

        QTest::keyClicks(v->EditMes, QStringLiteral("12"));
        QTest::keyClick(v->EditMes, Qt::Key_Return);
        QTest::keyClicks(v->EditAno, QStringLiteral("23"));
        QTest::keyClick(v->EditAno, Qt::Key_Return);
        QTest::keyClick(v->BitBtn10, Qt::Key_Space);
        QCOMPARE(rig.op.texts(), QStringList());
        QCOMPARE(v->Memo1->model()->index(0, 0).data().toString().left(9), QStringLiteral("01/12/23-"));
        QScrollBar *sideways = v->Memo1->horizontalScrollBar();
        QCOMPARE(sideways->value(), 0);
        QTRY_VERIFY(sideways->maximum() > 0);   // the view lays itself out once the events run
        QTest::keyClick(v->Memo1, Qt::Key_Right);
        QTest::keyClick(v->Memo1, Qt::Key_Right);
        QVERIFY(sideways->value() > 0);
        const int right = sideways->value();
        QTest::keyClick(v->Memo1, Qt::Key_Left);
        QVERIFY(sideways->value() < right);
        QVERIFY(sideways->value() > 0);
        QTest::keyClick(v->Memo1, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(v->Memo1->verticalScrollBar()->value() > 0);
        QTest::keyClick(v->Memo1, Qt::Key_Right);
        QTest::mouseClick(v->BitBtn9, Qt::LeftButton);

        // "11" typed over "12" is November, and so is "23" over "23".
        v->BitBtn2Click();
        QTRY_COMPARE(v->EditMes->selectedText(), QStringLiteral("12"));
        QTest::keyClicks(v->EditMes, QStringLiteral("11"));
        QCOMPARE(v->EditMes->text(), QStringLiteral("11"));
        QTest::keyClick(v->EditMes, Qt::Key_Return);
        QTRY_COMPARE(v->EditAno->selectedText(), QStringLiteral("23"));
        QTest::keyClicks(v->EditAno, QStringLiteral("23"));
        QCOMPARE(v->EditAno->text(), QStringLiteral("23"));
        QTest::keyClick(v->EditAno, Qt::Key_Return);
        QTest::keyClick(v->BitBtn10, Qt::Key_Space);
        QCOMPARE(rig.op.texts(), QStringList());
        QCOMPARE(v->Memo1->model()->index(0, 0).data().toString(), QStringLiteral("01/11/23-09:00 - ANA - novembro"));
        QCOMPARE(v->Memo1->verticalScrollBar()->value(), 0);
        QCOMPARE(sideways->value(), 0);
    }

    void monthNotANumberKeepsTheChoiceOpen()
    {
        Rig rig;
        rig.typeMonth(QStringLiteral("mar"), QStringLiteral("24"));
        QTest::mouseClick(rig.viewer->BitBtn10, Qt::LeftButton);
        QCOMPARE(rig.op.messages(),
                 (QList<RecordedMessage>{{MessageKind::Inform,
                                          QStringLiteral("Erro na mês informado!\rFavor corrigir antes de continuar.")}}));
        QVERIFY(rig.viewer->isVisible());
        QVERIFY(rig.viewer->PainelSelecioneMes->isVisible());
        QVERIFY(rig.viewer->EditMes->hasFocus());
        QVERIFY(!rig.pnl2->isVisible());
    }

    // "Verificar integridade" over a log the program wrote with its chain and its central days:
    // untouched, cut at its end together with its chain, a line edited, and a site without the
    // central table.
    void integrityCheckNamesTheFirstChangeWithTheCentralDays()
    {
        testsupport::ModuleRig m;
        m.log.setAnchorDatabase(&m.connections.SQLConnection1);
        m.connections.SQLConnection1.open();
        QVERIFY(m.log.OpenActivityLog(QStringLiteral("SRV"), QStringLiteral("MARIA"), m.op));
        m.log.WriteActivityLine(QStringLiteral("MARIA"), QStringLiteral("Alterou o Saldo Atual de 12,5 para 10"));
        m.clock.set(QDateTime(QDate(2024, 3, 8), QTime(9, 30)));
        m.log.WriteActivityLine(QStringLiteral("JOSÉ"), QStringLiteral("Transferiu 2,5 G do lote Á1"));
        m.log.WriteActivityLine(QStringLiteral("JOSÉ"), QStringLiteral("Saiu do módulo"));
        const db::Rows days = m.tdb.conn().query(
            QStringLiteral("select DIA, LINHAS from LOGCADEIA where ARQUIVO = 'LOGESTOQ_2024-03.TXT' order by DIA"));
        QCOMPARE(int(days.rows.size()), 2);
        QCOMPARE(days.at(0, QStringLiteral("LINHAS")).toInt(), 6);
        QCOMPARE(days.at(1, QStringLiteral("DIA")).toDate(), QDate(2024, 3, 8));
        QCOMPARE(days.at(1, QStringLiteral("LINHAS")).toInt(), 8);

        QWidget window;
        window.resize(800, 600);
        auto *viewer = new exports_ui::HistoryViewer(m.op, m.paths, m.run.siteConfig, &window);
        viewer->setCentralDatabase(&m.connections.SQLConnection1);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto check = [&] {
            m.op.clear();
            viewer->BitBtn2Click();
            viewer->EditMes->setText(QStringLiteral("03"));
            viewer->EditAno->setText(QStringLiteral("24"));
            QTest::keyClick(viewer->BitBtn10, Qt::Key_Space);
            QVERIFY(viewer->btnVerificarIntegridade->isVisible());
            QTest::keyClick(viewer->btnVerificarIntegridade, Qt::Key_Space);
        };
        QCOMPARE(viewer->btnVerificarIntegridade->text(), QStringLiteral("Verificar &integridade"));
        QVERIFY(!viewer->btnVerificarIntegridade->isVisible());
        check();
        QCOMPARE(m.op.messages(),
                 (QList<RecordedMessage>{{MessageKind::Inform,
                                          QStringLiteral("Nenhuma alteração encontrada: as 8 linhas conferem com a "
                                                         "cadeia de verificação.\rO último registro de cada dia "
                                                         "confere com o banco central (2 dia(s)).")}}));

        const QString logPath = m.dir.filePath(QStringLiteral("share/LOG/LOGESTOQ_2024-03.TXT"));
        const QString chainPath = m.dir.filePath(QStringLiteral("share/LOG/LOGESTOQ_2024-03.HASH"));
        const QByteArray log = m.fileBytes(QStringLiteral("share/LOG/LOGESTOQ_2024-03.TXT"));
        const QByteArray chain = m.fileBytes(QStringLiteral("share/LOG/LOGESTOQ_2024-03.HASH"));
        const auto put = [](const QString &path, const QByteArray &bytes) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        };
        // The last line gone from both files: only the central day shows it.
        put(logPath, log.left(log.lastIndexOf("\r\n", log.size() - 3) + 2));
        put(chainPath, chain.left(chain.size() - 66));
        check();
        QCOMPARE(m.op.messages(),
                 (QList<RecordedMessage>{{MessageKind::Warn,
                                          QStringLiteral("O histórico termina na linha 7, mas o banco central "
                                                         "registra 8 linhas em 08/03/2024: o final do arquivo e da "
                                                         "cadeia foi cortado.")}}));

        // A figure edited: named, and its line made the current one.
        QByteArray edited = log;
        edited.replace("para 10", "para 90");
        put(logPath, edited);
        put(chainPath, chain);
        check();
        QCOMPARE(m.op.texts(), QStringList{QStringLiteral("A linha 6 foi alterada.")});
        QCOMPARE(viewer->Memo1->currentIndex().row(), 5);

        // A site without the central table: the log is still written and checked, and the
        // operator is told what could not be.
        m.connections.SQLConnection1.close();
        m.tdb.conn().execute(QStringLiteral("drop table LOGCADEIA"));
        put(logPath, log);
        m.connections.SQLConnection1.open();
        m.log.WriteActivityLine(QStringLiteral("ANA"), QStringLiteral("Entrou"));
        check();
        QCOMPARE(m.op.texts(),
                 QStringList{QStringLiteral("Nenhuma alteração encontrada: as 9 linhas conferem com a cadeia de "
                                            "verificação.\rO banco central não tem a tabela LOGCADEIA: não foi "
                                            "verificado se o final do histórico foi cortado junto com a cadeia.")});
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    HistoryViewerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "historyviewer_qtest.moc"
