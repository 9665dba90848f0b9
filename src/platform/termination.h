// A request from the system to end the program (TERM, INT, HUP), delivered on the event loop.
#pragma once
#include <QObject>

class QSocketNotifier;

namespace platform {

// Until the main window is up, a request to end the program ends it at once: nothing is written
// yet that could be lost, and a start blocked on a database or a file must not ignore it.
// TerminationRequests takes the signals over afterwards.
void endAtOnceOnTermination();

class TerminationRequests : public QObject {
    Q_OBJECT
public:
    // Takes the signals over for the rest of the run; one instance per process.
    explicit TerminationRequests(QObject *parent = nullptr);
    ~TerminationRequests() override;

Q_SIGNALS:
    void requested();

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace platform
