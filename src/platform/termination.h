// A request from the system to end the program (TERM, INT, HUP), delivered on the event loop.
#pragma once
#include <QObject>

class QSocketNotifier;

namespace platform {

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
