// The lot edit form at the size of what it shows: no empty band once the justification group
// hides, the certificate panel with all of a lot's seven tests in sight, and the product options
// list inside the form.
#include "lotedit/ui/painelespecificacoes.h"
#include "lotedit/ui/tform2.h"

#include "platform/clipboard.h"
#include "support/modulerig.h"

#include <QAccessible>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using lotedit_ui::TForm2;

namespace {

struct Rig : testsupport::ModuleRig {
    platform::SystemClipboard clipboard;

    Rig()
    {
        run.UserName = QStringLiteral("ANA");
        run.Laboratory = QStringLiteral("Manipulação");
        run.siteConfig.LogEnabled = QStringLiteral("S");
        log.OpenActivityLog(QStringLiteral("SRV"), run.UserName, op);
        exec(QStringLiteral("insert into ESTLOTE (DESCRICAO, LOTE, FORNECEDOR, CODIGO, LABORATORIO, SALDOCORRENTE, VALIDADE, "
                            "SITUACAO) values ('Cafeína', 'C1', 'Pharma', '001', 'Manipulação', 12.5, '2027-03-01', 'Estoque')"));
        exec(QStringLiteral("insert into TABLAB (LABORATORIO, LOJA) values ('Manipulação', '1')"));
        for (int entry = 1; entry <= 7; ++entry) {
            exec(QStringLiteral("insert into ESPECIFICACOES values (%1, 'Ensaio %1', 'Especificação %1')").arg(entry));
            exec(QStringLiteral("insert into ENSAIOS values ('001', %1)").arg(entry));
        }
        for (int i = 1; i <= 40; ++i)
            exec(QStringLiteral("insert into COMPONEN (CODIGO, COMPONENTE) values ('%1', 'OLEO %1')").arg(500 + i));
        dm.ESTLOTE.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE"));
        dm.ESTLOTE.open();
        op.clear();
    }
};

void settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// The shown buttons of w that a screen reader could not name.
QStringList nameless(const QWidget *w)
{
    QStringList found;
    for (QAbstractButton *b : w->findChildren<QAbstractButton *>())
        if (b->isVisible() && QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name).trimmed().isEmpty())
            found << b->objectName() + QLatin1Char('/') + QString::fromLatin1(b->metaObject()->className());
    return found;
}

// Whether w lies wholly inside the form.
bool insideForm(const QWidget *w, const QWidget *form)
{
    return form->rect().contains(QRect(w->mapTo(form, QPoint(0, 0)), w->size()));
}

} // namespace

class TForm2FitTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theJustificationLeavesNoEmptyBand()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op, nullptr, &rig.paths, &rig.clipboard);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        settle();
        const int height = form.height();
        const int buttonsGap = height - form.BitBtn1->geometry().bottom();

        form.DBEdit6->setFocus(Qt::TabFocusReason);
        settle();
        form.DBEdit6->selectAll();
        QTest::keyClicks(form.DBEdit6, QStringLiteral("10"));
        QTest::keyClick(form.DBEdit6, Qt::Key_Tab);
        settle();
        QVERIFY(form.justificationShown());
        QVERIFY(insideForm(form.Memo1, &form));
        QTRY_VERIFY(form.height() > height);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(form.Memo1));
        QTest::keyClicks(form.Memo1, QStringLiteral("contagem"));
        QTest::keyClick(form.Memo1, Qt::Key_Return);
        settle();
        QVERIFY(!form.justificationShown());
        QTRY_COMPARE(form.height(), height);
        QCOMPARE(form.height() - form.BitBtn1->geometry().bottom(), buttonsGap);
        form.BitBtn2->click();
    }

    void theCertificateShowsAllSevenTests()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op, nullptr, &rig.paths, &rig.clipboard);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        settle();
        const QSize size = form.size();
        QCOMPARE(nameless(&form).join(QLatin1Char('|')), QString());

        form.BitBtn3->click();
        settle();
        lotedit_ui::PainelEspecificacoes *panel = form.PainelEspecificacoes;
        QVERIFY(panel->isVisible());
        QCOMPARE(rig.op.texts(), QStringList());
        QCOMPARE(panel->geometry(), form.rect());
        QTableView *tests = panel->DBGrid1;
        QCOMPARE(tests->model()->rowCount(), 7);
        QVERIFY2(tests->rowViewportPosition(6) + tests->rowHeight(6) <= tests->viewport()->height(),
                 qPrintable(QStringLiteral("%1 of %2").arg(tests->rowAt(tests->viewport()->height() - 1)).arg(7)));
        for (QWidget *w : {static_cast<QWidget *>(panel->BitBtn7), static_cast<QWidget *>(panel->BitBtn4),
                           static_cast<QWidget *>(panel->DBMemo2), static_cast<QWidget *>(tests)})
            QVERIFY2(insideForm(w, &form), qPrintable(w->objectName()));
        QCOMPARE(nameless(panel).join(QLatin1Char('|')), QString());

        QTest::mouseClick(panel->BitBtn7, Qt::LeftButton);
        settle();
        QVERIFY(panel->isHidden());
        QCOMPARE(form.size(), size);
        form.BitBtn2->click();
    }

    void theOptionsListLiesInsideTheForm()
    {
        Rig rig;
        TForm2 form(rig.dm, rig.clock, rig.op, nullptr, &rig.paths, &rig.clipboard);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        settle();
        form.DBNavigator1->button(data_ui::DBNavigator::Insert)->click();
        settle();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(form.DBEdit1));
        QTest::keyClicks(form.DBEdit1, QStringLiteral("OLEO"));
        QTest::keyClick(form.DBEdit1, Qt::Key_Return);
        settle();
        QVERIFY(form.PainelOpcoesDeComponentes->isVisible());
        QVERIFY(insideForm(form.PainelOpcoesDeComponentes, &form));
        QVERIFY(insideForm(form.GradeOpComponentes, &form));
        QTest::keyClick(form.GradeOpComponentes, Qt::Key_Escape);
        settle();
        form.BitBtn2->click();
    }
};

QTEST_MAIN(TForm2FitTest)
#include "tform2fit_qtest.moc"
