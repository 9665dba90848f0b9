#include "run.h"

#include "errordisplay.h"
#include "program.h"
#include "tform1.h"

#include "platform/clock.h"
#include "platform/operator.h"
#include "platform/singleinstance.h"
#include "platform/termination.h"

#include <QApplication>
#include <QDialog>

namespace shell {

EndOnRequest::EndOnRequest(EstoqueApplication &app, QWidget *window, QObject *parent)
    : QObject(parent), m_app(app), m_window(window)
{
    m_retry.setInterval(100);
    connect(&m_retry, &QTimer::timeout, this, &EndOnRequest::tryToEnd);
}

void EndOnRequest::request()
{
    m_retry.start();
    tryToEnd();
}

void EndOnRequest::tryToEnd()
{
    // A dialog's own loop runs inside a handler of the window: it is left first, and the
    // handler runs to its end before the window is asked again.
    if (QWidget *popup = QApplication::activePopupWidget()) {
        popup->close();
        return;
    }
    if (QWidget *modal = QApplication::activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    // A handler below this one (a build letting the window repaint) ends first.
    if (m_app.handlingDepth() > 1)
        return;
    // Refused while an export is still writing; asked again on the next round.
    if (m_window->isVisible() && !m_window->close())
        return;
    m_retry.stop();
    QCoreApplication::exit(0);
}

int RunProgram(EstoqueApplication &app, const QString &programFolder, platform::Clock &clock,
               platform::MessageBoxOperator &op, const std::function<void(TForm1 &)> &shown)
{
    platform::SingleInstance single(QStringLiteral("ESTOQUE"));
    if (!single.claim())
        return 0;   // the running copy has been asked to come back

    app.setOperator(&op);
    Program program(programFolder, clock, op);
    TForm1 form(program);
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
    // Ending the session or a kill ends the program as "Sair" does, so the exit line is written
    // and the databases are left properly. Taken over once the start has attached the database,
    // whose engine otherwise keeps these signals for itself.
    platform::TerminationRequests termination;
    EndOnRequest ending(app, &form);
    QObject::connect(&termination, &platform::TerminationRequests::requested, &ending, &EndOnRequest::request);
    if (shown)
        shown(form);
    return app.exec();
}

} // namespace shell
