// The expiry panel over a real data module: the summary table and the line under it, the lots
// of a chosen horizon, Enter and double-click moving the grid's lot dataset, both printed
// reports through the report engine.
#include "expiry/ui/expirychart.h"
#include "expiry/ui/expirypanel.h"

#include "../expiryrig.h"
#include "reports/reportrig.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QVBoxLayout>

namespace {

struct Fixture : expirytest::ExpiryRig {
    QWidget window;
    expiry_ui::ExpiryPanel *panel;
    reportstest::RecordingView view;

    Fixture()
    {
        window.resize(1024, 768);
        QDir(dir.path()).mkpath(QStringLiteral("c/FORMULIX/rpt"));
        QFile::copy(QStringLiteral(ESTOQUE_SOURCE_DIR "/rpt/rel_Vencimentos.rav"),
                    dir.filePath(QStringLiteral("c/FORMULIX/rpt/rel_Vencimentos.rav")));
        panel = new expiry_ui::ExpiryPanel(dm, run, clock, paths, op, &window);
        panel->setReportView(&view);
        fixture();
        run.UserName = QStringLiteral("MARIA");
        run.siteConfig.QuarantineSituations = QStringList{QStringLiteral("quarentena")};
        exec(QStringLiteral("insert into DADOSGER (FARMACIA, CNPJ) values ('Farmácia Central', '%1')").arg(expirytest::kStoreA));
        window.show();
    }

    // The panel open with its projection shown.
    bool open()
    {
        panel->open();
        return QTest::qWaitFor([this] { return !panel->projecting(); }, 10000);
    }
    // The grid's lot dataset on its first row.
    void openGrid(const QString &rest)
    {
        dm.ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE ") + rest);
        dm.ESTLOTE.open();
        dm.ESTLOTE.first();
    }
    QString cell(int row, int column) const
    {
        const QTableWidgetItem *item = panel->TabelaResumo->item(row, column);
        return item ? item->text() : QString();
    }
    QStringList listed() const
    {
        QStringList out;
        const QAbstractItemModel *m = panel->ListaLotes->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, 2).data().toString();
        return out;
    }
};

} // namespace

class ExpiryPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void summaryTableAndLeftOutLine()
    {
        Fixture f;
        // The table comes first; the projected leftovers follow from a worker, the panel usable
        // meanwhile.
        QSignalSpy projected(f.panel, &expiry_ui::ExpiryPanel::projectionShown);
        f.panel->open();
        QVERIFY(f.panel->isVisible());
        QVERIFY(f.panel->projecting());
        QVERIFY(f.panel->BarraProjecao->isVisible());
        QCOMPARE(f.panel->lblProjecao->text(),
                 QStringLiteral("Calculando a sobra prevista no vencimento (uso dos últimos 90 dias)..."));
        QCOMPARE(f.panel->TabelaResumo->rowCount(), 10);
        QCOMPARE(f.panel->ListaLotes->model()->index(0, 11).data().toString(), QString());
        QVERIFY(projected.wait(10000));
        QVERIFY(!f.panel->projecting());
        QVERIFY(!f.panel->BarraProjecao->isVisible());
        QCOMPARE(f.panel->geometry(), f.window.rect());
        // Two header rows, Lab 1, Lab 2, usable stock, quarantine, the store's total, the shared
        // locations, the grand total and the projected leftovers.
        QCOMPARE(f.panel->TabelaResumo->rowCount(), 11);
        QCOMPARE(f.cell(0, 1), QStringLiteral("Vencidos"));
        QCOMPARE(f.cell(0, 13), QStringLiteral("91 a 180 dias"));
        // What a screen reader says of a column: its horizon and its measure.
        const QAbstractItemModel *summary = f.panel->TabelaResumo->model();
        QStringList headers;
        for (int c = 0; c < summary->columnCount(); ++c)
            headers << summary->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers.size(), 16);
        QCOMPARE(headers.mid(0, 4), (QStringList{"Local", "Vencidos - Lotes", "Vencidos - Custo", "Vencidos - Venda"}));
        QCOMPARE(headers.last(), QStringLiteral("91 a 180 dias - Venda"));
        QCOMPARE(f.cell(2, 0), QStringLiteral("Lab 1"));
        QStringList names;
        for (int r = 2; r < 11; ++r)
            names << f.cell(r, 0);
        QCOMPARE(names, (QStringList{"Lab 1", "Lab 2", "Estoque utilizável da loja", "Em quarentena", "Total da loja",
                                     "Controle Qualidade (compartilhado)", "EMTRANSITO (compartilhado)", "Total geral",
                                     "Sobra prevista no vencimento"}));
        const QStringList total{f.cell(9, 1), f.cell(9, 2), f.cell(9, 3), f.cell(9, 4), f.cell(9, 5), f.cell(9, 6)};
        QCOMPARE(total, (QStringList{"2", "29,40", "264,60", "8", "91,60", "442,10"}));
        QCOMPARE(f.cell(10, 5), QStringLiteral("68,50"));
        QCOMPARE(f.panel->LinhaFora->text(),
                 QStringLiteral("Fora da tabela: 1 lote(s) sem saldo, 1 sem validade, 1 com vencimento após 180 dias, "
                                "1 em unidade não convertida, 1 de produto sem cadastro. Listados e valorizados fora dos "
                                "relatórios de estoque físico/financeiro: 1 lote(s).\n"
                                "O componente Alantoína está com o DIVISOR DE UNIDADE = 0.\n"
                                "Sobra prevista no vencimento: o uso dos últimos 90 dias nos pedidos da loja, tirado dos "
                                "lotes utilizáveis da loja na ordem dos vencimentos; lotes em quarentena e dos locais "
                                "compartilhados ficam fora da projeção."));
        // Expired lots come first.
        QCOMPARE(f.panel->cbHorizonte->currentIndex(), 0);
        QCOMPARE(f.listed(), (QStringList{"LV", "LH0"}));
        f.panel->cbHorizonte->setCurrentIndex(1);
        QCOMPARE(f.listed(), (QStringList{"LQ", "LCX", "LM", "LMC", "LS", "L3", "LNR", "L12A", "LW", "L30"}));
        // The unconvertible lot shows why it carries no value; the largest leftover first.
        QCOMPARE(f.panel->ListaLotes->model()->index(1, 9).data().toString(), QStringLiteral("unidade não convertida"));
        f.panel->cbOrdem->setCurrentIndex(1);
        QCOMPARE(f.listed().mid(0, 3), (QStringList{"LS", "L3", "LM"}));
        // The chart paints over the same summary without complaint.
        QVERIFY(!f.panel->Grafico->grab().isNull());
    }

    // Closing the panel while the use is read drops the projection: nothing arrives afterwards,
    // and the next opening projects again.
    void closingStopsTheProjection()
    {
        Fixture f;
        QSignalSpy projected(f.panel, &expiry_ui::ExpiryPanel::projectionShown);
        f.panel->open();
        QTest::keyClick(f.panel->ListaLotes, Qt::Key_Escape);
        QVERIFY(!f.panel->isVisible());
        QVERIFY(!f.panel->projecting());
        QTest::qWait(300);
        QCOMPARE(projected.count(), 0);
        QVERIFY(f.open());
        QCOMPARE(projected.count(), 1);
        QVERIFY(f.panel->summary().projectionReady);
    }

    void enterAndDoubleClickMoveTheGrid()
    {
        Fixture f;
        f.openGrid(QStringLiteral("order by DESCRICAO, VALIDADE"));
        QVERIFY(f.open());
        QSignalSpy shown(f.panel, &expiry_ui::ExpiryPanel::lotShown);
        f.panel->cbHorizonte->setCurrentIndex(2);   // L31, LT, L12B, LQT, LA
        f.panel->ListaLotes->setFocus();
        f.panel->ListaLotes->selectRow(2);
        QTest::keyClick(f.panel->ListaLotes, Qt::Key_Return);
        QCOMPARE(shown.count(), 1);
        QVERIFY(!f.panel->isVisible());
        QCOMPARE(f.dm.ESTLOTE.text(QStringLiteral("LOTE")), QStringLiteral("L12B"));

        QVERIFY(f.open());
        f.panel->cbHorizonte->setCurrentIndex(4);
        const QModelIndex first = f.panel->ListaLotes->model()->index(0, 0);
        const QPoint at = f.panel->ListaLotes->visualRect(first).center();
        QTest::mouseClick(f.panel->ListaLotes->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(f.panel->ListaLotes->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(shown.count(), 2);
        QCOMPARE(f.dm.ESTLOTE.text(QStringLiteral("LOTE")), QStringLiteral("L180"));
    }

    void aLotTheGridDoesNotListIsTold()
    {
        Fixture f;
        f.openGrid(QStringLiteral("where VALIDADE > '2024-03-07'"));
        const QString before = f.dm.ESTLOTE.text(QStringLiteral("LOTE"));
        QVERIFY(f.open());   // expired lots, which the grid hides
        QSignalSpy shown(f.panel, &expiry_ui::ExpiryPanel::lotShown);
        f.panel->ListaLotes->setFocus();
        QTest::keyClick(f.panel->ListaLotes, Qt::Key_Enter);
        QCOMPARE(shown.count(), 0);
        QVERIFY(f.panel->isVisible());
        QCOMPARE(f.op.texts(), QStringList{expiry::kLotNotListedMessage});
        QCOMPARE(f.dm.ESTLOTE.text(QStringLiteral("LOTE")), before);
    }

    // With the main window's hooks: the grid is switched to a list that holds the lot, and the
    // status line says so; a lot the grid already lists moves it without a switch.
    void enterSwitchesTheGridToAListHoldingTheLot()
    {
        Fixture f;
        f.openGrid(QStringLiteral("where VALIDADE > '2024-03-07' order by DESCRICAO"));
        int switches = 0;
        QStringList status;
        f.panel->showEveryLot = [&] {
            ++switches;
            f.openGrid(QStringLiteral("order by DESCRICAO, VALIDADE"));
        };
        f.panel->tellStatus = [&](const QString &text) { status << text; };
        QVERIFY(f.open());   // on the expired lots
        QSignalSpy shown(f.panel, &expiry_ui::ExpiryPanel::lotShown);
        f.panel->ListaLotes->setFocus();
        f.panel->ListaLotes->selectRow(1);   // LH0, expiring today
        QTest::keyClick(f.panel->ListaLotes, Qt::Key_Return);
        QCOMPARE(shown.count(), 1);
        QCOMPARE(switches, 1);
        QCOMPARE(f.dm.ESTLOTE.text(QStringLiteral("LOTE")), QStringLiteral("LH0"));
        QCOMPARE(status, QStringList{expiry::kViewSwitchedStatus});
        QVERIFY(f.op.texts().isEmpty());

        QVERIFY(f.open());
        f.panel->cbHorizonte->setCurrentIndex(3);   // L90, listed already
        f.panel->ListaLotes->setFocus();
        QTest::keyClick(f.panel->ListaLotes, Qt::Key_Return);
        QCOMPARE(shown.count(), 2);
        QCOMPARE(switches, 1);
        QCOMPARE(f.dm.ESTLOTE.text(QStringLiteral("LOTE")), QStringLiteral("L90"));
    }

    // Esc closes the panel, from the list or from a drop-down, and nothing above it.
    void escapeClosesThePanelOnly()
    {
        Fixture f;
        bool windowSawEscape = false;
        struct Watch : QObject {
            bool *seen;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == Qt::Key_Escape)
                    *seen = true;
                return false;
            }
        } watch;
        watch.seen = &windowSawEscape;
        f.window.installEventFilter(&watch);
        for (QWidget *from : std::initializer_list<QWidget *>{f.panel->ListaLotes, f.panel->cbHorizonte}) {
            QVERIFY(f.open());
            QSignalSpy closed(f.panel, &expiry_ui::ExpiryPanel::closed);
            from->setFocus();
            QTest::keyClick(from, Qt::Key_Escape);
            QCOMPARE(closed.count(), 1);
            QVERIFY(!f.panel->isVisible());
            QVERIFY(f.window.isVisible());
            QVERIFY(!windowSawEscape);
        }
    }

    void bothReportsPrint()
    {
        Fixture f;
        QVERIFY(f.open());
        QTest::mouseClick(f.panel->btnImprimir, Qt::LeftButton);
        QCOMPARE(f.view.presented, 1);
        QStringList texts = f.view.texts();
        QVERIFY2(texts.contains(QStringLiteral("Vencimentos e valor em risco")), qPrintable(texts.join('|')));
        // Lab 1 expired, ..., the total's rows, quality control's row.
        const qsizetype total = texts.indexOf(QStringLiteral("Total geral"));
        QVERIFY(total > 0);
        QCOMPARE(texts.mid(total, 5), (QStringList{"Total geral", "Vencidos", "2", "29,40", "264,60"}));
        QVERIFY(texts.contains(QStringLiteral("Controle Qualidade (compartilhado)")));
        QVERIFY(texts.contains(QStringLiteral("Sobra prevista no vencimento")));
        // The pharmacy, the operator and the line of what was left out.
        QVERIFY2(texts.contains(QStringLiteral("Farmácia Central")), qPrintable(texts.join('|')));
        QVERIFY(texts.contains(QStringLiteral("Operador: MARIA")));
        QVERIFY(texts.contains(expiry::LeftOutCounts(f.panel->summary())));

        f.panel->cbHorizonte->setCurrentIndex(1);
        QTest::mouseClick(f.panel->btnImprimirLotes, Qt::LeftButton);
        QCOMPARE(f.view.presented, 2);
        texts = f.view.texts();
        QVERIFY2(texts.contains(QStringLiteral("Vencimentos e valor em risco - lotes: Até 30 dias")),
                 qPrintable(texts.join('|')));
        QVERIFY(texts.contains(QStringLiteral("Lotes listados: 10")));
        // 9,80 + 2,50 + 1,00 + 48,00 + 15,50 + 3,00 + 2,00 + 9,80, the unvalued lots apart
        QVERIFY(texts.contains(QStringLiteral("91,60")));
        QVERIFY(texts.contains(QStringLiteral("unidade não convertida")));
    }
};

QTEST_MAIN(ExpiryPanelTest)
#include "expirypanel_qtest.moc"
