// The stocktake panel over a real central database, used from the keyboard: a blind count started
// from the list, lots typed (odd input refused, a lot typed twice asked about, a lot found where
// the snapshot has none), the conference, a reason, the controlled product's approval, the
// posting with a lot never counted, the report and the way back by Esc.
#include "stocktake/ui/stocktakepanel.h"

#include "common/usercheck.h"
#include "reports/reportrig.h"
#include "support/modulerig.h"
#include "platform/cp1252.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

using testsupport::MessageKind;

struct Fixture : testsupport::ModuleRig {
    QWidget window;
    stocktake_ui::StocktakePanel *panel;
    reportstest::RecordingView view;

    Fixture()
    {
        window.resize(1024, 768);
        QDir(dir.path()).mkpath(QStringLiteral("c/FORMULIX/rpt"));
        QFile::copy(QStringLiteral(ESTOQUE_SOURCE_DIR "/rpt/rel_Inventario.rav"),
                    dir.filePath(QStringLiteral("c/FORMULIX/rpt/rel_Inventario.rav")));
        run.UserName = QStringLiteral("MARIA");
        run.StoreCnpj = QStringLiteral("12345678000190");
        run.WorkstationCode = QStringLiteral("01");
        run.StoreLaboratories = {QStringLiteral("LAB1"), QStringLiteral("Lab2")};
        run.siteConfig.LogEnabled = QStringLiteral("S");
        auto lot = [this](const char *code, const char *name, const char *lote, const char *place, const char *balance,
                          const char *unit, const char *controlled) {
            tdb.conn().execute(
                QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, SALDOCORRENTE, "
                               "SALDOPREVISTO, UNIDADE, CONTROLADA) values (?, ?, ?, 'Química Ávila', ?, ?, ?, ?, ?)"),
                {db::Value::text(QString::fromUtf8(code)), db::Value::text(QString::fromUtf8(name)),
                 db::Value::text(QString::fromUtf8(lote)), db::Value::text(QString::fromUtf8(place)),
                 db::Value::text(QString::fromUtf8(balance)), db::Value::text(QString::fromUtf8(balance)),
                 db::Value::text(QString::fromUtf8(unit)), db::Value::text(QString::fromUtf8(controlled))});
        };
        lot("100", "DIPIRONA SÓDICA", "A1", "LAB1", "10", "g", "Não");
        lot("200", "FLUOXETINA", "F-01", "LAB1", "2", "g", "Sim");
        lot("400", "ÓLEO DE AMÊNDOAS", "N1", "LAB1", "3", "ml", "Não");
        exec(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE, GRUPO, UNID, CUSTOUNITR, DIVISORUNID) values "
                            "('100', 'DIPIRONA SÓDICA', 'MP', 'g', 2.5, 1)"));
        exec(QStringLiteral("insert into DADOSGER (FARMACIA, CNPJ) values ('Farmácia Central', '12345678000190')"));
        tdb.conn().execute(QStringLiteral("insert into USUARIOS (USUARIO, SENHA, ACESSO) values (?, ?, '1234567S')"),
                           {db::Value::text(common::ScrambleText(QStringLiteral("JOÃO"))),
                            db::Value::text(common::ScrambleText(QStringLiteral("S3NHA")))});
        log.OpenActivityLog(QStringLiteral("SRV"), QStringLiteral("MARIA"), op);
        panel = new stocktake_ui::StocktakePanel(connections.SQLConnection1, run, log, clock, paths, op, &window);
        panel->setReportView(&view);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    // The lot and quantity typed as an operator types them, Enter after each.
    void type(const QString &lote, const QString &quantity)
    {
        QTest::keyClicks(panel->edLote, lote);
        QTest::keyClick(panel->edLote, Qt::Key_Return);
        QTest::keyClicks(panel->edQuantidade, quantity);
        QTest::keyClick(panel->edQuantidade, Qt::Key_Return);
    }

    QString counted(const char *lote, const char *place)
    {
        const db::Rows r = tdb.conn().query(
            QStringLiteral("select CONTADO from INVENTARIOITEM where LOTE = ? and LABORATORIO = ?"),
            {db::Value::text(QString::fromUtf8(lote)), db::Value::text(QString::fromUtf8(place))});
        return r.rows.empty() ? QStringLiteral("no line") : r.rows[0][0].isNull() ? QString() : r.rows[0][0].toString();
    }

    QStringList lastTexts(int n) const
    {
        const QStringList all = op.texts();
        return all.mid(std::max<qsizetype>(0, all.size() - n));
    }

    int rowOf(const QString &lote, const QString &place) const
    {
        const QAbstractItemModel *m = panel->ListaLinhas->model();
        for (int r = 0; r < m->rowCount(); ++r)
            if (m->index(r, 2).data().toString() == lote && m->index(r, 0).data().toString() == place)
                return r;
        return -1;
    }
};

} // namespace

class StocktakePanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aBlindCountFromStartToPostedByKeyboard()
    {
        Fixture f;
        f.panel->open();
        QCOMPARE(f.panel->geometry(), f.window.rect());
        QVERIFY(f.panel->ListaInventarios->isVisible());
        QVERIFY(!f.panel->AvisoTabelas->isVisible());
        QCOMPARE(f.panel->ListaInventarios->rowCount(), 0);
        QCOMPARE(QApplication::focusWidget(), f.panel->btnNovo);

        // A new count: blind, by the keyboard in the dialog.
        f.panel->beforeDialog = [](QDialog *d) {
            QTimer::singleShot(0, d, [d] {
                auto *dialog = static_cast<stocktake_ui::NewCountDialog *>(d);
                QCOMPARE(dialog->ListaLocais->count(), 2);
                dialog->chkCega->setFocus();
                QTest::keyClick(dialog->chkCega, Qt::Key_Space);
                QTest::keyClick(dialog->edLoteAte, Qt::Key_Return);   // the default button
            });
        };
        QTest::keyClick(f.panel->btnNovo, Qt::Key_Space);
        QCOMPARE(f.panel->Paginas->currentIndex(), 1);
        QCOMPARE(f.panel->currentCount(), 1);
        QCOMPARE(f.panel->lines().size(), size_t(3));
        QTRY_COMPARE(QApplication::focusWidget(), f.panel->edLote);   // once the window is active again
        QVERIFY(f.panel->ListaLinhas->isColumnHidden(5));   // the system's quantity
        QVERIFY(f.panel->ListaLinhas->isColumnHidden(7));   // the difference

        // The sheets: printed without the system's quantity, and as a file.
        QTest::keyClick(f.panel->btnFolhas, Qt::Key_Space);
        QCOMPARE(f.view.presented, 1);
        QStringList sheet = f.view.texts();
        QVERIFY(sheet.contains(QStringLiteral("Inventário - folha de contagem (contagem cega) - inventário nº 1")));
        QVERIFY(sheet.contains(QStringLiteral("ÓLEO DE AMÊNDOAS")));
        QVERIFY(!sheet.contains(QStringLiteral("No sistema")));
        QVERIFY(!sheet.contains(QStringLiteral("10,000")));
        QTest::keyClick(f.panel->btnFolhasCsv, Qt::Key_Space);
        QCOMPARE(f.op.texts().last(),
                 QStringLiteral("Arquivo \"C:\\FORMULIX\\INVENTARIO1_FOLHAS.CSV\" gerado com sucesso. \rAbra-o no Excel."));
        QCOMPARE(f.fileBytes(QStringLiteral("c/FORMULIX/INVENTARIO1_FOLHAS.CSV")),
                 platform::toCp1252(QStringLiteral("LOCAL;PRODUTO;CÓDIGO;LOTE;FORNECEDOR;UNID.;QUANTIDADE CONTADA\r\n"
                                                   "LAB1;DIPIRONA SÓDICA;100;A1;Química Ávila;g;\r\n"
                                                   "LAB1;FLUOXETINA;200;F-01;Química Ávila;g;\r\n"
                                                   "LAB1;ÓLEO DE AMÊNDOAS;400;N1;Química Ávila;ml;\r\n")));
        f.panel->edLote->setFocus();

        // Odd input: nothing stored, the box to correct takes the focus.
        QTest::keyClicks(f.panel->edLote, QStringLiteral("a1"));
        QTest::keyClick(f.panel->edLote, Qt::Key_Return);
        QCOMPARE(f.panel->lblUnidade->text(), QStringLiteral("g"));
        QCOMPARE(QApplication::focusWidget(), f.panel->edQuantidade);
        QTest::keyClicks(f.panel->edQuantidade, QStringLiteral("1e3"));
        QTest::keyClick(f.panel->edQuantidade, Qt::Key_Return);
        QCOMPARE(f.op.messages().last().kind, MessageKind::Warn);
        QVERIFY(f.op.messages().last().text.startsWith(QStringLiteral("Quantidade contada")));
        QCOMPARE(QApplication::focusWidget(), f.panel->edQuantidade);
        QCOMPARE(f.counted("A1", "LAB1"), QString());
        f.panel->edQuantidade->clear();
        QTest::keyClick(f.panel->edQuantidade, Qt::Key_Return);
        QCOMPARE(f.op.texts().last(), QStringLiteral("Informe a quantidade contada."));
        QTest::keyClicks(f.panel->edQuantidade, QStringLiteral("9,5"));
        QTest::keyClick(f.panel->edQuantidade, Qt::Key_Return);
        QCOMPARE(f.counted("A1", "LAB1"), QStringLiteral("9.5"));
        QCOMPARE(f.panel->lblUltima->text(), QStringLiteral("Gravado: lote A1 de DIPIRONA SÓDICA em LAB1 = 9,5 g"));
        QCOMPARE(f.panel->edLote->text(), QString());
        QCOMPARE(QApplication::focusWidget(), f.panel->edLote);

        // Counted twice: asked, and added.
        f.op.answer(platform::Answer::Yes);
        f.type(QStringLiteral("A1"), QStringLiteral("0,5"));
        QCOMPARE(f.op.texts(MessageKind::Ask).last(),
                 QStringLiteral("O lote A1 de DIPIRONA SÓDICA já foi contado em LAB1: 9,5 g.\r\rSomar 0,5 g ao que "
                                "foi contado? (Não: substituir por 0,5 g)"));
        QCOMPARE(f.counted("A1", "LAB1"), QStringLiteral("10"));

        // A lot no location of the store holds, typed with quotes and a very long text.
        const qsizetype before = f.op.messages().size();
        f.type(QStringLiteral("X'; DELETE FROM ESTLOTE; --") + QString(60, QLatin1Char('9')), QStringLiteral("1"));
        QCOMPARE(f.op.messages().size(), before + 1);
        QCOMPARE(f.op.texts().last(),
                 QStringLiteral("O lote \"X'; DELETE FROM ESTLOTE; --999\" não foi encontrado em nenhum local desta loja."));
        QCOMPARE(f.tdb.conn().query(QStringLiteral("select count(*) from ESTLOTE")).rows[0][0].toInt(), 3);
        f.panel->edLote->clear();

        // N1 found at Lab2, where the snapshot has no row: a new line, marked.
        f.panel->cbLocal->setFocus();
        QTest::keyClick(f.panel->cbLocal, Qt::Key_Down);
        QCOMPARE(f.panel->cbLocal->currentText(), QStringLiteral("Lab2"));
        QTest::keyClick(f.panel->cbLocal, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.panel->edLote);
        f.type(QStringLiteral("n1"), QStringLiteral("1"));
        QCOMPARE(f.panel->lblUltima->text(),
                 QStringLiteral("Gravado: lote N1 de ÓLEO DE AMÊNDOAS em Lab2 = 1 ml (novo: não estava na foto)"));
        QCOMPARE(f.panel->lines().size(), size_t(4));
        const int added = f.rowOf(QStringLiteral("N1"), QStringLiteral("Lab2"));
        QVERIFY(added >= 0);
        QCOMPARE(f.panel->ListaLinhas->model()->index(added, 10).data().toString(), QStringLiteral("fora da foto"));

        // F-01 counted 1 of 2: a controlled difference. N1 at LAB1 is never counted.
        f.panel->cbLocal->setCurrentIndex(0);
        f.type(QStringLiteral("F-01"), QStringLiteral("1"));

        // The conference shows what the blind count hid, once asked.
        f.op.answer(platform::Answer::Yes);
        QTest::keyClick(f.panel->btnConferir, Qt::Key_Space);
        QVERIFY(!f.panel->ListaLinhas->isColumnHidden(5));
        QVERIFY(!f.panel->ListaLinhas->isColumnHidden(7));

        // Posting refused until every difference has its reason and the controlled one its approval.
        QTest::keyClick(f.panel->btnPostar, Qt::Key_Space);
        QVERIFY(f.op.texts().last().startsWith(QStringLiteral("O inventário não foi postado: 2 diferença(s) sem motivo")));
        f.panel->ListaLinhas->selectAll();
        f.panel->beforeDialog = [](QDialog *d) {
            QTimer::singleShot(0, d, [d] {
                auto *dialog = static_cast<stocktake_ui::ReasonDialog *>(d);
                dialog->cbMotivo->setCurrentIndex(1);   // Quebra
                dialog->edTexto->insert(QStringLiteral("caiu da\r\nprateleira"));   // pasted on two lines
                QTest::keyClick(dialog->edTexto, Qt::Key_Return);
            });
        };
        QTest::keyClick(f.panel->btnMotivo, Qt::Key_Space);
        QCOMPARE(f.panel->ListaLinhas->model()->index(f.rowOf(QStringLiteral("F-01"), QStringLiteral("LAB1")), 8)
                     .data()
                     .toString(),
                 QStringLiteral("Quebra: caiu da prateleira"));
        QTest::keyClick(f.panel->btnPostar, Qt::Key_Space);
        QCOMPARE(f.op.texts().last(), QStringLiteral("O inventário não foi postado: 1 diferença(s) de produto controlado "
                                                     "sem a aprovação de um segundo usuário:\r  FLUOXETINA lote F-01 "
                                                     "(Química Ávila) em LAB1"));
        auto approveAs = [&f](const QString &user, const QString &password) {
            f.panel->beforeDialog = [user, password](QDialog *d) {
                QTimer::singleShot(0, d, [d, user, password] {
                    auto *dialog = static_cast<stocktake_ui::ApprovalDialog *>(d);
                    dialog->edUsuario->insert(user);   // typed through the input method: accents
                    QTest::keyClick(dialog->edUsuario, Qt::Key_Tab);
                    QTest::keyClicks(dialog->edSenha, password);
                    QTest::keyClick(dialog->edSenha, Qt::Key_Return);
                });
            };
            QTest::keyClick(f.panel->btnAprovar, Qt::Key_Space);
        };
        approveAs(QStringLiteral("maria"), QStringLiteral("1234"));
        QCOMPARE(f.op.texts().last(), QStringLiteral("Usuário não encontrado: a diferença não foi aprovada."));
        approveAs(QStringLiteral("joão"), QStringLiteral("s3nha"));   // lower case: ASCII case only
        QCOMPARE(f.op.texts().last(), QStringLiteral("Usuário não encontrado: a diferença não foi aprovada."));
        approveAs(QStringLiteral("JOÃO"), QStringLiteral("errada"));
        QCOMPARE(f.op.texts().last(), QStringLiteral("Senha incorreta: a diferença não foi aprovada."));
        approveAs(QStringLiteral("JOÃO"), QStringLiteral("s3nha"));
        QCOMPARE(f.op.texts().last(), QStringLiteral("Diferenças de produtos controlados aprovadas por JOÃO: 1."));

        // The lot never counted: asked, left as it is.
        f.op.answer(platform::Answer::Yes);
        QTest::keyClick(f.panel->btnPostar, Qt::Key_Space);
        QCOMPARE(f.lastTexts(2),
                 (QStringList{QStringLiteral("1 lote(s) do inventário não foram contados:\r  ÓLEO DE AMÊNDOAS lote N1 "
                                             "(Química Ávila) em LAB1\r\rPostar deixando-os como estão? (Para contá-los "
                                             "como zero, use \"Zerar não contados\" e dê o motivo.)"),
                              QStringLiteral("Inventário nº 1 postado: 2 lote(s) com diferença, 1 igual(is) ao sistema, "
                                             "1 não contado(s) deixado(s) como estavam.")}));
        QVERIFY(!f.panel->edLote->isEnabled());
        QVERIFY(!f.panel->btnPostar->isEnabled());
        QCOMPARE(f.tdb.conn().query(QStringLiteral("select LABORATORIO, SALDOCORRENTE from ESTLOTE order by LOTE, "
                                                   "LABORATORIO"))
                     .rows.size(),
                 size_t(4));
        QCOMPARE(QString::fromLatin1(f.fileBytes(QStringLiteral("share/LOG/LOGESTOQ_2024-03.TXT"))).count(
                     QStringLiteral("Alterou o Saldo Atual")),
                 2);

        // The report: the count's head and its lines, values at cost.
        QTest::keyClick(f.panel->btnRelatorio, Qt::Key_Space);
        QCOMPARE(f.view.presented, 2);
        const QStringList texts = f.view.texts();
        QVERIFY(texts.contains(QStringLiteral("Inventário nº 1 - Postado em 07/03/2024 14:05 por MARIA")));
        QVERIFY(texts.contains(QStringLiteral("Aberto em 07/03/2024 14:05 por MARIA. Contado por: MARIA. Aprovado por: "
                                              "JOÃO")));
        QVERIFY(texts.contains(QStringLiteral("Total de LAB1")));
        QVERIFY(texts.contains(QStringLiteral("Farmácia Central")));
        QVERIFY(texts.contains(QStringLiteral("Quebra: caiu da prateleira (fora da foto)")));
        QVERIFY(texts.contains(QStringLiteral("0,00")));   // A1 counted 10 of 10: no difference, no value

        if (const QByteArray shots = qgetenv("ESTOQUE_SHOT_DIR"); !shots.isEmpty())
            f.window.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/inventario.png"));

        // Esc: back to the list (the count posted), then out.
        QTest::keyClick(f.panel->ListaLinhas, Qt::Key_Escape);
        QCOMPARE(f.panel->Paginas->currentIndex(), 0);
        QCOMPARE(f.panel->ListaInventarios->item(0, 1)->text(), QStringLiteral("Postado"));
        QTest::keyClick(f.panel->ListaInventarios, Qt::Key_Escape);
        QVERIFY(!f.panel->isVisible());
    }

    void withoutTheTablesThePanelSaysWhatToRun()
    {
        Fixture f;
        {
            std::unique_ptr<db::Connection> technician = f.tdb.another();
            technician->runScript(QStringLiteral("DROP TABLE INVENTARIOITEM;\nDROP TABLE INVENTARIO;\n"));
        }
        f.panel->open();
        QVERIFY(f.panel->AvisoTabelas->isVisible());
        QCOMPARE(f.panel->AvisoTabelas->text(), stocktake::kTablesMissingText);
        QVERIFY(f.panel->ScriptTabelas->toPlainText().startsWith(QStringLiteral("CREATE TABLE INVENTARIO (")));
        QVERIFY(!f.panel->btnNovo->isEnabled());
        QVERIFY(f.op.messages().isEmpty());
        QCOMPARE(QApplication::focusWidget(), f.panel->btnSair);
        QTest::keyClick(f.panel->btnSair, Qt::Key_Space);
        QVERIFY(!f.panel->isVisible());
    }
};

QTEST_MAIN(StocktakePanelTest)
#include "stocktakepanel_qtest.moc"
