// The program's run once its application object exists: the single running copy, the main window
// until it closes, and the system's requests to end (TERM, INT, HUP) honoured in every state.
#pragma once
#include <QObject>
#include <QTimer>
#include <functional>

class QWidget;

namespace platform {
class Clock;
class MessageBoxOperator;
}

namespace shell {

class EstoqueApplication;
class TForm1;

// A request to end, in whatever state the window is: the modal dialogs open over it (a report
// preview, a message, the lot form) are closed as Escape closes them, work under way (a report
// build, an export) goes on to its end, and then the window closes as "Sair" closes it: only from
// the outermost event loop, never under a handler still running. Tried again every tenth of a
// second until the window is closed, then the event loops are left.
class EndOnRequest : public QObject {
    Q_OBJECT
public:
    EndOnRequest(EstoqueApplication &app, QWidget *window, QObject *parent = nullptr);
    void request();

private:
    void tryToEnd();

    EstoqueApplication &m_app;
    QWidget *m_window;
    QTimer m_retry;
};

// What main does after making the application: returns the exit code. `shown` is called once the
// window is up and the end requests are taken over (a driver of the window gets its turn there).
int RunProgram(EstoqueApplication &app, const QString &programFolder, platform::Clock &clock,
               platform::MessageBoxOperator &op, const std::function<void(TForm1 &)> &shown = {});

} // namespace shell
