// The operator's keyboard in the logged-in main window and its forms: Tab never leaves a panel
// laid over the window, Esc closes what is on top, every button and menu item has an Alt letter
// of its own, boxes opened for retyping start selected or empty, the grid's menu, the navigator
// and the certificate's calendar answer the keyboard, and the common tasks are done with keys.
#include "common/accesscodes.h"
#include "browser/ui/adjustmentpanel.h"
#include "browser/ui/detailpanel.h"
#include "browser/ui/invoicepanel.h"
#include "browser/ui/lotgrid.h"
#include "browser/ui/maintenancepanel.h"
#include "data/ui/dbnavigator.h"
#include "exports/ui/deductionauditpanel.h"
#include "exports/ui/historyviewer.h"
#include "expiry/ui/expirypanel.h"
#include "lotedit/ui/painelespecificacoes.h"
#include "lotedit/ui/tform2.h"
#include "maintenance/ui/maintenancemenu.h"
#include "reports/ui/errorpanel.h"
#include "reports/ui/periodpanel.h"
#include "reports/ui/reportspanel.h"
#include "shell/program.h"
#include "shell/tform1.h"
#include "support/demoinstall.h"
#include "support/mainwindow.h"
#include "support/recordingoperator.h"
#include "trace/ui/lottracepanel.h"
#include "trace/ui/ordertracepanel.h"
#include "transfer/ui/tform3.h"
#include "users/ui/loginpanel.h"

#include <QAbstractButton>
#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

namespace {
const QDate kToday(2026, 3, 31);

bool inside(const QWidget *panel, const QWidget *w)
{
    return w && (w == panel || panel->isAncestorOf(w));
}

// Where a key goes: an open menu, else the focus of the modal form on top, else the focus.
QWidget *keyTarget()
{
    if (QWidget *popup = QApplication::activePopupWidget())
        return popup;
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal->focusWidget() ? modal->focusWidget() : modal;
    return QApplication::focusWidget();
}

// Tab, then Shift+Tab, `presses` times each from the focus inside panel: the first control
// reached outside it (null when none), and how many controls inside were reached.
QWidget *walkOut(QWidget *panel, int presses, int *reached = nullptr)
{
    QSet<QWidget *> seen;
    for (const auto key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(QApplication::focusWidget(), key);
            QWidget *now = QApplication::focusWidget();
            if (!inside(panel, now))
                return now ? now : panel->window();
            seen << now;
        }
    }
    if (reached)
        *reached = int(seen.size());
    return nullptr;
}

QChar mnemonicOf(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('&'))
            continue;
        if (text.at(i + 1) != QLatin1Char('&'))
            return text.at(i + 1).toUpper();
        ++i;
    }
    return {};
}

// What Alt letters the window answers now: a letter taken by two controls that can take it
// (shown and enabled), and a captioned button without a letter, each as a line. `twins` are
// controls that share a letter with another on purpose (one key, one target).
QStringList letterFaults(QWidget *window, const QList<QWidget *> &twins = {})
{
    QMap<QChar, QStringList> owners;
    QStringList faults;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisible() || !w->isEnabled() || w->window() != window || twins.contains(w))
            continue;
        QString text;
        if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            text = b->text();
            if (!text.trimmed().isEmpty() && mnemonicOf(text).isNull() && text.size() > 1
                && text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2}"))))
                faults << QStringLiteral("sem letra: ") + text;
        } else if (auto *l = qobject_cast<QLabel *>(w); l && l->buddy()) {
            text = l->text();
        } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
            text = g->title();
        }
        if (const QChar c = mnemonicOf(text); !c.isNull())
            owners[c] << text;
    }
    for (auto it = owners.cbegin(); it != owners.cend(); ++it)
        if (it.value().size() > 1)
            faults << QStringLiteral("Alt+") + it.key() + QStringLiteral(": ") + it.value().join(QStringLiteral(" | "));
    return faults;
}

QStringList menuFaults(const QMenu *menu)
{
    QMap<QChar, QStringList> owners;
    QStringList faults;
    for (const QAction *a : menu->actions()) {
        if (a->isSeparator())
            continue;
        const QChar c = mnemonicOf(a->text());
        if (c.isNull())
            faults << QStringLiteral("sem letra: ") + a->text();
        else
            owners[c] << a->text();
    }
    for (auto it = owners.cbegin(); it != owners.cend(); ++it)
        if (it.value().size() > 1)
            faults << QStringLiteral("Alt+") + it.key() + QStringLiteral(": ") + it.value().join(QStringLiteral(" | "));
    return faults;
}

// Keys pressed one by one where the operator's keys go, counted; a key that opens a modal form
// returns when the form closes, so the keys meant for the form are queued before it.
struct KeyCounter {
    int count = 0;
    void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        ++count;
        QTest::keyClick(keyTarget(), Qt::Key(key), mods);
    }
    void type(const QString &text)
    {
        for (const QChar c : text) {
            ++count;
            QTest::keyClick(keyTarget(), c.toLatin1() ? c.toLatin1() : char(' '));
        }
    }
};

// A job that goes through modal forms, as keys: each step waits until what it needs is on screen
// (a form opened by the step before, say), then presses its keys; a step whose key opens a modal
// form returns when that form closes, and the steps after it run meanwhile.
struct KeyScript {
    struct Step {
        std::function<bool()> ready;
        std::function<void()> act;
    };
    QList<Step> steps;

    bool run(int timeoutMs)
    {
        qsizetype next = 0;
        QTimer timer;
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (next < steps.size() && steps[next].ready()) {
                const qsizetype i = next++;
                steps[i].act();
            }
        });
        timer.start();
        return QTest::qWaitFor([&] { return next == steps.size(); }, timeoutMs);
    }
};

using Opener = std::function<QWidget *(shell::TForm1 &)>;
} // namespace

Q_DECLARE_METATYPE(Opener)

class OperatorKeysTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString folder() const { return testsupport::demoProgramFolder(m_dir.path()); }

    // The lot edit form opened by "Editar tabela" on the grid's current lot, as the operator
    // opens it (modal, after the day's code); body runs while it is shown, and it is closed after.
    static bool inLotForm(testsupport::MainWindowSession &s, const std::function<void(lotedit_ui::TForm2 &)> &body)
    {
        s.form.activateWindow();
        if (!QTest::qWaitForWindowActive(&s.form))
            return false;
        s.enableAdjustment();
        bool ran = false;
        QTimer::singleShot(0, &s.form, [&] {
            auto *edit = qobject_cast<lotedit_ui::TForm2 *>(QApplication::activeModalWidget());
            if (!edit)
                return;
            QTest::qWaitFor([&] { return QApplication::activeWindow() == edit; });
            ran = true;
            body(*edit);
            if (edit->isVisible())
                edit->close();
        });
        s.form.BitBtn3->click();
        return ran;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(testsupport::makeDemoInstallation(m_dir.path(), 150, kToday), QString());
    }

    // Each panel laid over the main window, opened as the operator opens it: its Alt letters are
    // its own among what the window answers, Tab and Shift+Tab go round it 60 times without
    // leaving it, and Esc closes it alone (the panel behind stays, the window stays).
    void everyPanelKeepsTheKeyboard_data()
    {
        QTest::addColumn<Opener>("open");
        QTest::addColumn<bool>("overReports");
        const auto reports = [](shell::TForm1 &f) {
            QTest::keyClick(f.DBGrid1, Qt::Key_T, Qt::AltModifier);   // "Rela&tórios"
            QTest::qWaitFor([&] { return f.pnlRelatorios->isVisible(); });   // a button's Alt key clicks a moment later
            return f.pnlRelatorios;
        };
        QTest::newRow("código de acesso") << Opener([](shell::TForm1 &f) {
            f.DBGrid1->AjustedeEstoque1->trigger();
            return static_cast<QWidget *>(f.PainelSenha);
        }) << false;
        QTest::newRow("senha de manutenção") << Opener([](shell::TForm1 &f) {
            f.Panel1->open(2);
            return static_cast<QWidget *>(f.Panel1);
        }) << false;
        QTest::newRow("detalhes do lote") << Opener([](shell::TForm1 &f) {
            f.pnlDetalha->showOverGrid();
            return static_cast<QWidget *>(f.pnlDetalha);
        }) << false;
        QTest::newRow("nota fiscal") << Opener([](shell::TForm1 &f) {
            f.PainelNF->NotaFiscal1Click();
            return static_cast<QWidget *>(f.PainelNF);
        }) << false;
        QTest::newRow("rastreio do lote") << Opener([](shell::TForm1 &f) {
            f.DBGrid1->RastrearLote1->trigger();
            return static_cast<QWidget *>(f.PainelRastreio);
        }) << false;
        QTest::newRow("relatórios") << Opener([=](shell::TForm1 &f) { return static_cast<QWidget *>(reports(f)); })
                                    << false;
        QTest::newRow("período") << Opener([=](shell::TForm1 &f) {
            QTest::keyClick(reports(f)->btn3, Qt::Key_V, Qt::AltModifier);   // "CP&V"
            return static_cast<QWidget *>(f.pnlRelatorios->PainelPeriodo);
        }) << true;
        QTest::newRow("conferência de baixas") << Opener([=](shell::TForm1 &f) {
            reports(f);
            f.Auditoria->ShowProductChoice(kToday.addDays(-30), kToday);
            return static_cast<QWidget *>(f.Auditoria->Panel5);
        }) << true;
        QTest::newRow("lista de erros") << Opener([=](shell::TForm1 &f) {
            reports(f)->PainelDeErros->showErrors({QStringLiteral("Erro de conversão de unidades")});
            return static_cast<QWidget *>(f.pnlRelatorios->PainelDeErros);
        }) << true;
        QTest::newRow("histórico") << Opener([=](shell::TForm1 &f) {
            QTest::keyClick(reports(f)->btn3, Qt::Key_H, Qt::AltModifier);
            return static_cast<QWidget *>(f.PainelLOG);
        }) << true;
        QTest::newRow("vencimentos") << Opener([=](shell::TForm1 &f) {
            QTest::keyClick(reports(f)->btn3, Qt::Key_N, Qt::AltModifier);
            return static_cast<QWidget *>(f.PainelVencimentos);
        }) << true;
        QTest::newRow("rastreio de pedido") << Opener([=](shell::TForm1 &f) {
            QTest::keyClick(reports(f)->btn3, Qt::Key_O, Qt::AltModifier);
            return static_cast<QWidget *>(f.PainelRastreioPedido);
        }) << true;
    }

    void everyPanelKeepsTheKeyboard()
    {
        QFETCH(Opener, open);
        QFETCH(bool, overReports);
        testsupport::MainWindowSession s(folder(), kToday);
        QVERIFY(s.logIn());
        shell::TForm1 &form = s.form;
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.DBGrid1->setFocus();
        data::CachedDataset &lots = s.program.dm.ESTLOTE;
        lots.moveTo(4);
        const QString lot = lots.text(QStringLiteral("LOTE"));

        QVERIFY(letterFaults(&form, {form.Button1}).isEmpty());
        QWidget *panel = open(form);
        QTRY_VERIFY(panel->isVisible());
        QVERIFY2(letterFaults(&form, {form.Button1}).isEmpty(),
                 qPrintable(letterFaults(&form, {form.Button1}).join(QLatin1Char('\n'))));

        // The walk starts from the control the panel gave the focus to. The lot's details leave
        // it in the grid, whose arrows they follow.
        if (panel != form.pnlDetalha) {
            QVERIFY2(inside(panel, QApplication::focusWidget()), qPrintable(QApplication::focusWidget()->objectName()));
            int reached = 0;
            QWidget *out = walkOut(panel, 60, &reached);
            QVERIFY2(!out, qPrintable(out ? out->objectName() : QString()));
            QVERIFY(reached >= 1);
        }

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!panel->isVisible());
        QVERIFY(form.isVisible());
        QCOMPARE(form.pnlRelatorios->isVisible(), overReports);
        if (overReports) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QVERIFY(!form.pnlRelatorios->isVisible());
            QVERIFY(form.isVisible());
        }
        QCOMPARE(lots.text(QStringLiteral("LOTE")), lot);
        QCOMPARE(s.op.texts(), QStringList());
        // On the bare window Esc keeps its rule: it ends the program, as "Sair" does.
        form.DBGrid1->setFocus();
        QTest::keyClick(form.DBGrid1, Qt::Key_Escape);
        QTRY_VERIFY(!form.isVisible());
    }

    // The lot edit form's certificate panel lies over the lot's boxes: Tab goes round its own
    // controls in their order (the calendar too while open), and what is typed never reaches
    // the lot. The calendar answers the arrows, Enter and Esc.
    void theCertificatePanelKeepsTheKeyboard()
    {
        testsupport::MainWindowSession s(folder(), kToday);
        QVERIFY(s.logIn());
        data::CachedDataset &lots = s.program.dm.ESTLOTE;
        lots.moveTo(2);
        const QString lot = lots.text(QStringLiteral("LOTE"));
        QVERIFY(inLotForm(s, [&](lotedit_ui::TForm2 &edit) {
        QVERIFY2(letterFaults(&edit).isEmpty(), qPrintable(letterFaults(&edit).join(QLatin1Char('\n'))));
        QVERIFY(menuFaults(edit.PopupMenu2).isEmpty());

        QTest::keyClick(keyTarget(), Qt::Key_L, Qt::AltModifier);   // "CQ - &Laudo de Análise"
        lotedit_ui::PainelEspecificacoes *cq = edit.PainelEspecificacoes;
        QTRY_VERIFY(cq->isVisible());
        QCOMPARE(QApplication::focusWidget(), cq->DBEdit3);
        QVERIFY2(letterFaults(&edit).isEmpty(), qPrintable(letterFaults(&edit).join(QLatin1Char('\n'))));
        QVERIFY(menuFaults(cq->PopupMenu1).isEmpty());

        const QList<QWidget *> order{cq->DBEdit3,  cq->DBEdit5, cq->DBComboBox4, cq->DBEdit11,
                                     cq->DBEdit14, cq->DBMemo2, cq->BitBtn4,     cq->BitBtn7};
        for (int i = 1; i <= 2 * order.size(); ++i) {
            QTest::keyClick(keyTarget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), order.at(i % order.size()));
        }
        for (int i = 2 * order.size() - 1; i >= 0; --i) {
            QTest::keyClick(keyTarget(), Qt::Key_Backtab);
            QCOMPARE(QApplication::focusWidget(), order.at(i % order.size()));
        }
        QWidget *out = walkOut(cq, 60);
        QVERIFY2(!out, qPrintable(out ? out->objectName() : QString()));

        // The calendar, opened from the date box's menu: the arrows move the day, Enter picks it.
        cq->DBEdit3->setFocus();
        cq->Calendrio1->trigger();
        QVERIFY(cq->MonthCalendar1->isVisible());
        const QDate from = cq->MonthCalendar1->selectedDate();
        QTest::keyClick(keyTarget(), Qt::Key_Right);
        QTest::keyClick(keyTarget(), Qt::Key_Down);
        QCOMPARE(cq->MonthCalendar1->selectedDate(), from.addDays(8));
        out = walkOut(cq, 60);   // Tab from the open calendar stays in the panel too
        QVERIFY2(!out, qPrintable(out ? out->objectName() : QString()));
        cq->MonthCalendar1->setFocus();
        QTest::keyClick(keyTarget(), Qt::Key_Return);
        QVERIFY(!cq->MonthCalendar1->isVisible());
        QCOMPARE(QApplication::focusWidget(), cq->DBEdit3);
        QCOMPARE(cq->DBEdit3->text(), from.addDays(8).toString(QStringLiteral("dd/MM/yy")));
        // Esc closes the calendar alone and gives the date box the focus back.
        cq->Calendrio1->trigger();
        QTest::keyClick(keyTarget(), Qt::Key_Escape);
        QVERIFY(!cq->MonthCalendar1->isVisible());
        QVERIFY(cq->isVisible());
        QCOMPARE(QApplication::focusWidget(), cq->DBEdit3);

        // Typed after the last control, "X" lands in the panel, never in the lot's number.
        cq->BitBtn4->setFocus();
        QTest::keyClick(keyTarget(), Qt::Key_Tab);
        QTest::keyClicks(keyTarget(), QStringLiteral("X"));
        QTest::keyClick(keyTarget(), Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(!cq->isVisible());
        QCOMPARE(lots.text(QStringLiteral("LOTE")), lot);
        QCOMPARE(edit.DBEdit2->text(), lot);
        }));
    }

    // Menus, the lot edit form's deletion code and the transfer form: letters of their own.
    void menusAndFormsHaveLettersOfTheirOwn()
    {
        testsupport::MainWindowSession s(folder(), kToday);
        QVERIFY(s.logIn());
        for (QMenu *menu : {s.form.DBGrid1->PopupMenu2, s.form.Maintenance->PopupMenu1, s.form.PainelSenha->PopupMenu3})
            QVERIFY2(menuFaults(menu).isEmpty(), qPrintable(menuFaults(menu).join(QLatin1Char('\n'))));
        for (const QAction *a : {s.form.Auditoria->Versomenteasbaixasincorretas1, s.form.Auditoria->Vertodos1})
            QVERIFY(!mnemonicOf(a->text()).isNull());

        s.program.dm.ESTLOTE.moveTo(3);
        bool checked = false;
        QTimer::singleShot(0, &s.form, [&] {
            auto *transfer = qobject_cast<transfer_ui::TForm3 *>(QApplication::activeModalWidget());
            QVERIFY(transfer);
            QVERIFY2(letterFaults(transfer).isEmpty(), qPrintable(letterFaults(transfer).join(QLatin1Char('\n'))));
            // Alt+T transfers; it types no "t" into the quantity.
            QTRY_COMPARE(QApplication::focusWidget(), transfer->Edit1);
            QTest::keyClick(transfer->Edit1, Qt::Key_T, Qt::AltModifier);
            QCOMPARE(transfer->Edit1->text(), QString());
            checked = true;
            transfer->reject();
        });
        s.form.DBGrid1->ransferirestoqueparaoutraunidade1->trigger();
        QVERIFY(checked);
    }

    // Boxes opened for retyping: the access code box keeps its code, selected, so a code typed
    // replaces a refused one; the search box
    // entered by Alt+P or Tab keeps its text, selected, and the transfer's quantity is selected.
    void boxesForRetypingStartSelectedOrEmpty()
    {
        testsupport::MainWindowSession s(folder(), kToday);
        QVERIFY(s.logIn());
        shell::TForm1 &form = s.form;
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.DBGrid1->setFocus();
        form.DBGrid1->AjustedeEstoque1->trigger();
        QTest::keyClicks(form.PainelSenha->MaskEdit1, QStringLiteral("####"));
        QTest::keyClick(form.PainelSenha->MaskEdit1, Qt::Key_Return);
        QCOMPARE(s.op.texts(), QStringList{browser::kAccessDeniedMessage});
        form.DBGrid1->AjustedeEstoque1->trigger();
        QCOMPARE(form.PainelSenha->MaskEdit1->selectedText(), QStringLiteral("####"));
        QTest::keyClicks(form.PainelSenha->MaskEdit1,
                         browser::AdjustmentCode(kToday, s.program.run.siteConfig.StockKey));
        QTest::keyClick(form.PainelSenha->MaskEdit1, Qt::Key_Return);
        QCOMPARE(s.op.texts(), QStringList{browser::kAccessDeniedMessage});
        QVERIFY(form.BitBtn3->isEnabled());

        // The search: typed, left with Enter; Alt+P comes back to it whole and selected, and
        // Tab through it leaves it as it was.
        form.Edit1->setFocus();
        QTest::keyClicks(form.Edit1, QStringLiteral("ac"));
        QTest::keyClick(form.Edit1, Qt::Key_Return);
        const QString searched = form.Edit1->text();
        const int row = s.program.dm.ESTLOTE.currentRow();
        QCOMPARE(QApplication::focusWidget(), form.DBGrid1);
        QTest::keyClick(form.DBGrid1, Qt::Key_P, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), form.Edit1);
        QCOMPARE(form.Edit1->selectedText(), searched);
        QTest::keyClick(form.Edit1, Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), form.Edit1);
        QCOMPARE(form.Edit1->text(), searched);
        QCOMPARE(s.program.dm.ESTLOTE.currentRow(), row);
        QTest::keyClick(form.Edit1, Qt::Key_Tab);
        QCOMPARE(form.Edit1->text(), searched);
    }

    // Shift+F10 and the Menu key open the lot menu on the current row, from the grid and from a
    // control of the top bar alike, wherever the mouse pointer is.
    void theLotMenuOpensFromTheKeyboard()
    {
        testsupport::MainWindowSession s(folder(), kToday);
        QVERIFY(s.logIn());
        shell::TForm1 &form = s.form;
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        s.program.dm.ESTLOTE.moveTo(6);
        QMenu *lotMenu = form.DBGrid1->PopupMenu2;
        QMenu *maintenance = form.Maintenance->PopupMenu1;
        form.DBGrid1->setFocus();
        QTest::keyClick(form.DBGrid1, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(lotMenu->isVisible());
        const QRect row = form.DBGrid1->visualRect(form.DBGrid1->currentIndex());
        QVERIFY(qAbs(lotMenu->pos().y() - form.DBGrid1->viewport()->mapToGlobal(row.bottomLeft()).y()) <= 2);
        lotMenu->hide();
        QTest::keyClick(form.DBGrid1, Qt::Key_Menu);
        QTRY_VERIFY(lotMenu->isVisible());
        lotMenu->hide();
        // The Menu key as the system delivers it: a context menu event at the mouse pointer,
        // here over the window's background, sent to the control that has the focus.
        for (QWidget *focus : std::initializer_list<QWidget *>{form.DBGrid1, form.btn1}) {
            focus->setFocus();
            QContextMenuEvent byKey(QContextMenuEvent::Keyboard, QPoint(2, 2), focus->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(focus, &byKey);
            QTRY_VERIFY(lotMenu->isVisible());
            QVERIFY(!maintenance->isVisible());
            lotMenu->hide();
        }
        form.btn1->setFocus();
        QTest::keyClick(form.btn1, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(lotMenu->isVisible());
        lotMenu->hide();
        QCOMPARE(s.program.dm.ESTLOTE.currentRow(), 6);
    }

    // The lot edit form's navigator from the keyboard, with its keys in the buttons' hints.
    void theNavigatorAnswersTheKeyboard()
    {
        testsupport::MainWindowSession s(folder(), kToday);
        QVERIFY(s.logIn());
        data::CachedDataset &lots = s.program.dm.ESTLOTE;
        lots.moveTo(3);
        QVERIFY(inLotForm(s, [&](lotedit_ui::TForm2 &edit) {
        using N = data_ui::DBNavigator;
        const struct {
            N::Button button;
            int key;
            QString hint;
        } cases[] = {
            {N::Next, Qt::Key_PageDown, QStringLiteral("Próximo (Ctrl+PgDown)")},
            {N::Last, Qt::Key_End, QStringLiteral("Último (Ctrl+End)")},
            {N::Prior, Qt::Key_PageUp, QStringLiteral("Anterior (Ctrl+PgUp)")},
            {N::First, Qt::Key_Home, QStringLiteral("Primeiro (Ctrl+Home)")},
        };
        const int last = lots.rowCount() - 1;
        const int expected[] = {4, last, last - 1, 0};
        edit.DBEdit12->setFocus();
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(edit.DBNavigator1->button(cases[i].button)->toolTip(), cases[i].hint);
            QTest::keyClick(keyTarget(), Qt::Key(cases[i].key), Qt::ControlModifier);
            QCOMPARE(lots.currentRow(), expected[i]);
            QCOMPARE(edit.DBEdit1->text(), lots.text(QStringLiteral("DESCRICAO")));
        }
        QCOMPARE(s.op.texts(), QStringList());
        }));
    }

    // The day's common jobs from the grid with the keyboard alone, each with fewer keys than
    // before: a lot found and its balance changed with a justification, 10 g of a lot moved to
    // another store. Every key is pressed where the focus is.
    void theCommonJobsTakeFewKeys()
    {
        testsupport::MainWindowSession s(folder(), kToday);
        QVERIFY(s.logIn());
        shell::TForm1 &form = s.form;
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        data::CachedDataset &lots = s.program.dm.ESTLOTE;

        // Lot X: a lot counted in grams, away from the first row, found by the first letters of
        // its name typed without accents.
        int x = -1;
        QString typed;
        for (int row = lots.rowCount() / 3; row < lots.rowCount() && x < 0; ++row) {
            const QString name = lots.valueAt(row, lots.fieldIndex(QStringLiteral("DESCRICAO"))).toString();
            if (lots.valueAt(row, lots.fieldIndex(QStringLiteral("UNIDADE"))).toString().toUpper() != QLatin1String("G")
                || lots.valueAt(row, lots.fieldIndex(QStringLiteral("SALDOCORRENTE"))).toDouble() < 20)
                continue;
            // The shortest start of the name that lands on this row.
            for (int n = 3; n <= name.size() && n <= 12; ++n) {
                const QString start = name.left(n).toLower();
                bool plain = true;
                for (const QChar c : start)
                    plain = plain && c.unicode() < 128;
                if (plain && browser::SearchRow(lots, browser::SearchText(start), kToday) == row) {
                    x = row;
                    typed = start;
                    break;
                }
            }
        }
        QVERIFY2(x > 0, "no lot in grams found by its name");
        const QString lotX = lots.valueAt(x, lots.fieldIndex(QStringLiteral("LOTE"))).toString();
        const QString code = browser::AdjustmentCode(kToday, s.program.run.siteConfig.StockKey);
        s.program.run.siteConfig.LogEnabled = QStringLiteral("S");   // balance changes are justified

        // 1. Find lot X and change its balance, with a justification.
        KeyCounter keys;
        form.DBGrid1->setFocus();
        keys.press(Qt::Key_P, Qt::AltModifier);
        keys.type(typed);
        keys.press(Qt::Key_Return);
        QCOMPARE(lots.currentRow(), x);
        keys.press(Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(form.DBGrid1->PopupMenu2->isVisible());
        keys.press(Qt::Key_A);   // "Habilitar &ajuste manual"
        QTRY_VERIFY(form.PainelSenha->isVisible());
        keys.type(code);
        keys.press(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), form.BitBtn3);
        bool saved = false;
        int formKeys = 0;
        QTimer::singleShot(0, &form, [&] {
            auto *edit = qobject_cast<lotedit_ui::TForm2 *>(QApplication::activeModalWidget());
            QVERIFY(edit);
            // the form reads its lists before it takes the keys: wait until its first box has them
            QTRY_VERIFY(edit->isActiveWindow() && QApplication::focusWidget()
                        && edit->isAncestorOf(QApplication::focusWidget()));
            KeyCounter inForm;
            // To the balance box, whatever box the form starts on.
            for (int guard = 0; QApplication::focusWidget() != edit->DBEdit6 && guard < 20; ++guard)
                inForm.press(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), edit->DBEdit6);
            inForm.type(QStringLiteral("50"));
            inForm.press(Qt::Key_Return);
            QTRY_COMPARE(QApplication::focusWidget(), edit->Memo1);
            inForm.type(QStringLiteral("contagem"));
            inForm.press(Qt::Key_Return);
            inForm.press(Qt::Key_S, Qt::AltModifier);
            formKeys = inForm.count;
            saved = QTest::qWaitFor([&] { return !edit->isVisible(); });
            if (!saved)
                edit->close();
        });
        keys.press(Qt::Key_Return);
        QVERIFY(saved);
        keys.count += formKeys;
        QCOMPARE(lots.text(QStringLiteral("LOTE")), lotX);
        const db::Rows stored = s.program.dm.SQLConnection1.query(
            QStringLiteral("select SALDOCORRENTE from ESTLOTE where LOTE = ? and CODIGO = ? and FORNECEDOR = ? and "
                           "LABORATORIO = ?"),
            {lots.value(QStringLiteral("LOTE")), lots.value(QStringLiteral("CODIGO")),
             lots.value(QStringLiteral("FORNECEDOR")), lots.value(QStringLiteral("LABORATORIO"))});
        QCOMPARE(stored.rows.at(0).at(0).toDouble(), 50.0);
        qInfo("balance changed with a justification: %d keys (41 before)", keys.count);
        QVERIFY(keys.count < 41);

        // 2. Transfer 10 g of lot X to another store (the list's first that is not its own).
        lots.moveTo(0);
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        KeyCounter moves;
        form.DBGrid1->setFocus();
        moves.press(Qt::Key_P, Qt::AltModifier);
        moves.type(typed);
        moves.press(Qt::Key_Return);
        QCOMPARE(lots.currentRow(), x);
        const QString source = lots.text(QStringLiteral("LABORATORIO"));
        QString destination;
        int dialogKeys = 0;
        bool moved = false;
        QTimer::singleShot(0, &form, [&] {
            auto *transfer = qobject_cast<transfer_ui::TForm3 *>(QApplication::activeModalWidget());
            QVERIFY(transfer);
            QTRY_COMPARE(QApplication::focusWidget(), transfer->Edit1);
            KeyCounter inForm;
            inForm.type(QStringLiteral("10"));
            inForm.press(Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), transfer->ComboBox1);
            for (int guard = 0; guard < 10 && (transfer->ComboBox1->currentText().isEmpty()
                                               || transfer->ComboBox1->currentText() == source); ++guard)
                inForm.press(Qt::Key_Down);
            destination = transfer->ComboBox1->currentText();
            inForm.press(Qt::Key_T, Qt::AltModifier);
            dialogKeys = inForm.count;
            moved = QTest::qWaitFor([&] { return !transfer->isVisible(); });
            if (!moved)
                transfer->reject();
        });
        moves.press(Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(form.DBGrid1->PopupMenu2->isVisible());
        moves.press(Qt::Key_T);   // "&Transferir estoque para outra unidade"
        QVERIFY(moved);
        moves.count += dialogKeys;
        QVERIFY(!destination.isEmpty());
        QCOMPARE(s.op.texts(), QStringList());
        // Back on lot X at its own store, the search kept.
        QCOMPARE(lots.text(QStringLiteral("LOTE")), lotX);
        QCOMPARE(lots.text(QStringLiteral("LABORATORIO")), source);
        QCOMPARE(lots.value(QStringLiteral("SALDOCORRENTE")).toDouble(), 40.0);
        QCOMPARE(form.Edit1->text(), browser::SearchText(typed));
        qInfo("10 g moved to %s: %d keys (22 before)", qPrintable(destination), moves.count);
        QVERIFY(moves.count < 22);
    }

    // The manufacturing report made, written as PDF from its preview, and back to the grid.
    void theManufacturingReportGoesToPdfByKeys()
    {
        QTemporaryDir out;
        QVERIFY(out.isValid());
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(out.path()));   // and never here
        testsupport::MainWindowSession s(folder(), kToday);
        QVERIFY(s.logIn());
        shell::TForm1 &form = s.form;
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.DBGrid1->setFocus();
        const int row = s.program.dm.ESTLOTE.currentRow();

        KeyCounter keys;
        // A window that comes back on top is made active, as the desktop does on closing the one over it.
        const auto active = [](QWidget *w) {
            if (QApplication::activeWindow() != w)
                w->activateWindow();
            return QApplication::activeWindow() == w && w->focusWidget();
        };
        const auto modal = [=](const char *name) {
            return [=] {
                QWidget *w = QApplication::activeModalWidget();
                return w && w->objectName() == QLatin1String(name) && active(w);
            };
        };
        KeyScript job;
        job.steps = {
            {[] { return true; }, [&] { keys.press(Qt::Key_T, Qt::AltModifier); }},   // "Rela&tórios"
            {[&] { return form.pnlRelatorios->isVisible(); },
             [&] { keys.press(Qt::Key_M, Qt::AltModifier); }},   // "Estoq. Físico/Financ. &Manipulação"
            {modal("PreviewDialog"), [&] { keys.press(Qt::Key_S, Qt::AltModifier); }},   // "&Salvar"
            {modal("OutputOptionsDialog"),
             [&] {
                 const QComboBox *options = QApplication::activeModalWidget()->findChild<QComboBox *>();
                 for (int guard = 0; guard < 5 && !options->currentText().contains(QLatin1String("PDF")); ++guard)
                     keys.press(Qt::Key_Down);
                 keys.press(Qt::Key_Tab);
                 keys.type(QStringLiteral("fab"));
                 keys.press(Qt::Key_Return);
             }},
            {modal("PreviewDialog"), [&] { keys.press(Qt::Key_F, Qt::AltModifier); }},   // "&Fechar"
            {[&] { return !QApplication::activeModalWidget() && active(&form); },
             [&] {
                 // The list of the build's conversion errors, when it came, closes first.
                 if (form.pnlRelatorios->PainelDeErros->isVisible())
                     keys.press(Qt::Key_Escape);
                 QVERIFY(!form.pnlRelatorios->PainelDeErros->isVisible());
                 QVERIFY(form.pnlRelatorios->isVisible());
                 keys.press(Qt::Key_Escape);
             }},
        };
        QVERIFY(job.run(120000));
        QVERIFY(!form.pnlRelatorios->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), form.DBGrid1);
        QCOMPARE(s.program.dm.ESTLOTE.currentRow(), row);
        // a bare name is written in the program's folder, C:\FORMULIX
        QFile pdf(QDir(folder()).filePath(QStringLiteral("fab.pdf")));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("fab.pdf"))));
        QDir::setCurrent(before);
        qInfo("manufacturing report to PDF and back to the grid: %d keys (19 + 3 before)", keys.count);
        QVERIFY(keys.count < 19 + 3);
    }
};

QTEST_MAIN(OperatorKeysTest)
#include "operatorkeys_qtest.moc"
