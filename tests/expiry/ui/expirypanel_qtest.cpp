// The expiry panel over a real data module: the summary table and the line under it, the lots
// of a chosen horizon, Enter and double-click moving the grid's lot dataset, both printed
// reports through the report engine.
#include "expiry/ui/expirychart.h"
#include "expiry/ui/expirypanel.h"

#include "../expiryrig.h"
#include "reports/reportrig.h"

#include <QComboBox>
#include <QLabel>
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
        window.show();
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
            out << m->index(r, 1).data().toString();
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
        f.panel->open();
        QVERIFY(f.panel->isVisible());
        QCOMPARE(f.panel->geometry(), f.window.rect());
        // Two header rows, Lab 1, Lab 2, the total, quality control apart.
        QCOMPARE(f.panel->TabelaResumo->rowCount(), 6);
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
        QCOMPARE(f.cell(4, 0), QStringLiteral("Total sem quarentena"));
        const QStringList total{f.cell(4, 1), f.cell(4, 2), f.cell(4, 3), f.cell(4, 4), f.cell(4, 5), f.cell(4, 6)};
        QCOMPARE(total, (QStringList{"2", "29,40", "264,60", "2", "12,80", "95,70"}));
        QCOMPARE(f.cell(5, 0), QStringLiteral("Controle Qualidade (quarentena)"));
        QCOMPARE(f.panel->LinhaFora->text(),
                 QStringLiteral("Fora da tabela: 1 lote(s) sem saldo, 1 sem validade, 1 com vencimento após 180 dias, "
                                "1 de produtos fora do estoque físico/financeiro de manipulação.\n"
                                "O componente Alantoína está com o DIVISOR DE UNIDADE = 0."));
        // Expired lots come first.
        QCOMPARE(f.panel->cbHorizonte->currentIndex(), 0);
        QCOMPARE(f.listed(), (QStringList{"LV", "LH0"}));
        f.panel->cbHorizonte->setCurrentIndex(1);
        QCOMPARE(f.listed(), (QStringList{"LQ", "L12A", "L30"}));
        // The chart paints over the same summary without complaint.
        QVERIFY(!f.panel->Grafico->grab().isNull());
    }

    void enterAndDoubleClickMoveTheGrid()
    {
        Fixture f;
        f.openGrid(QStringLiteral("order by DESCRICAO, VALIDADE"));
        f.panel->open();
        QSignalSpy shown(f.panel, &expiry_ui::ExpiryPanel::lotShown);
        f.panel->cbHorizonte->setCurrentIndex(2);   // L31, L12B
        f.panel->ListaLotes->setFocus();
        f.panel->ListaLotes->selectRow(1);
        QTest::keyClick(f.panel->ListaLotes, Qt::Key_Return);
        QCOMPARE(shown.count(), 1);
        QVERIFY(!f.panel->isVisible());
        QCOMPARE(f.dm.ESTLOTE.text(QStringLiteral("LOTE")), QStringLiteral("L12B"));

        f.panel->open();
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
        f.panel->open();   // expired lots, which the grid hides
        QSignalSpy shown(f.panel, &expiry_ui::ExpiryPanel::lotShown);
        f.panel->ListaLotes->setFocus();
        QTest::keyClick(f.panel->ListaLotes, Qt::Key_Enter);
        QCOMPARE(shown.count(), 0);
        QVERIFY(f.panel->isVisible());
        QCOMPARE(f.op.texts(), QStringList{expiry::kLotNotListedMessage});
        QCOMPARE(f.dm.ESTLOTE.text(QStringLiteral("LOTE")), before);
    }

    void bothReportsPrint()
    {
        Fixture f;
        f.panel->open();
        QTest::mouseClick(f.panel->btnImprimir, Qt::LeftButton);
        QCOMPARE(f.view.presented, 1);
        QStringList texts = f.view.texts();
        QVERIFY2(texts.contains(QStringLiteral("Vencimentos e valor em risco")), qPrintable(texts.join('|')));
        // Lab 1 expired, ..., the total's rows, quality control's row.
        const qsizetype total = texts.indexOf(QStringLiteral("TOTAL"));
        QVERIFY(total > 0);
        QCOMPARE(texts.mid(total, 5), (QStringList{"TOTAL", "Vencidos", "2", "29,40", "264,60"}));
        QVERIFY(texts.contains(QStringLiteral("Controle Qualidade")));

        f.panel->cbHorizonte->setCurrentIndex(1);
        QTest::mouseClick(f.panel->btnImprimirLotes, Qt::LeftButton);
        QCOMPARE(f.view.presented, 2);
        texts = f.view.texts();
        QVERIFY2(texts.contains(QStringLiteral("Vencimentos e valor em risco - lotes: Até 30 dias")),
                 qPrintable(texts.join('|')));
        QVERIFY(texts.contains(QStringLiteral("Lotes listados: 3")));
        QVERIFY(texts.contains(QStringLiteral("22,60")));   // 9,80 + 3,00 + 9,80
    }
};

QTEST_MAIN(ExpiryPanelTest)
#include "expirypanel_qtest.moc"
