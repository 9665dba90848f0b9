// Program entry: one running copy per user and display, then the main window until it closes.
#include "shell/errordisplay.h"
#include "shell/portuguese.h"
#include "shell/program.h"
#include "shell/tform1.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/singleinstance.h"
#include "platform/termination.h"

int main(int argc, char **argv)
{
    platform::endAtOnceOnTermination();
    shell::EstoqueApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ESTOQUE"));
    shell::installPortuguese(app);

    platform::SingleInstance single(QStringLiteral("ESTOQUE"));
    if (!single.claim())
        return 0;   // the running copy has been asked to come back

    platform::SystemClock clock;
    platform::MessageBoxOperator op;
    app.setOperator(&op);

    shell::Program program(QCoreApplication::applicationDirPath(), clock, op);
    shell::TForm1 form(program);
    if (!form.created())
        return 1;
    op.setParent(&form);
    QObject::connect(&single, &platform::SingleInstance::restoreRequested, &form, [&form] {
        form.setWindowState((form.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        form.show();
        form.raise();
        form.activateWindow();
    });
    form.show();
    // Ending the session or a kill asks the window to close, as "Sair" does, so the exit line is
    // written and the databases are left properly. Taken over once the start has attached the
    // database, whose engine otherwise keeps these signals for itself.
    platform::TerminationRequests termination;
    QObject::connect(&termination, &platform::TerminationRequests::requested, &form, &QWidget::close);
    return app.exec();
}
