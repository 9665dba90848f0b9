// The program's main window on an installation, as the widget tests drive it: a fixed clock, the
// recording operator, the program and TForm1, then shown, logged in as the demo's operator and
// with the day's access code given, as each test needs.
#pragma once
#include "common/accesscodes.h"
#include "browser/ui/adjustmentpanel.h"
#include "browser/ui/lotgrid.h"
#include "platform/clock.h"
#include "shell/program.h"
#include "shell/tform1.h"
#include "support/recordingoperator.h"
#include "users/ui/loginpanel.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>

namespace testsupport {

struct MainWindowSession {
    platform::FixedClock clock;
    RecordingOperator op;
    shell::Program program;
    shell::TForm1 form;

    MainWindowSession(const QString &programFolder, const QDate &today, const QTime &time = QTime(10, 0))
        : clock(today, time), program(programFolder, clock, op), form(program)
    {
    }

    // Shown and on screen.
    bool show()
    {
        form.show();
        return QTest::qWaitForWindowExposed(&form);
    }

    // Shown, and the login panel answered with user and password; true when the grid took over.
    bool logIn(const QString &user = QStringLiteral("maria"), const QString &password = QStringLiteral("1234"))
    {
        if (!show())
            return false;
        form.PainelLogin->EditNome->setText(user);
        form.PainelLogin->EditSenhaU->setText(password);
        QTest::keyClick(form.PainelLogin->EditSenhaU, Qt::Key_Return);
        return form.DBGrid1->isEnabled();
    }

    // "Habilitar ajuste manual" with the day's access code typed and confirmed.
    void enableAdjustment()
    {
        form.DBGrid1->AjustedeEstoque1->trigger();
        QTest::keyClicks(form.PainelSenha->MaskEdit1, browser::AdjustmentCode(clock.today(), program.run.siteConfig.StockKey));
        QTest::keyClick(form.PainelSenha->MaskEdit1, Qt::Key_Return);
    }
};

} // namespace testsupport
