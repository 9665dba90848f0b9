// Program entry: one running copy per user and display, then the main window until it closes.
#include "shell/errordisplay.h"
#include "shell/run.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/termination.h"

int main(int argc, char **argv)
{
    platform::endAtOnceOnTermination();
    shell::EstoqueApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ESTOQUE"));
    platform::SystemClock clock;
    platform::MessageBoxOperator op;
    return shell::RunProgram(app, QCoreApplication::applicationDirPath(), clock, op);
}
