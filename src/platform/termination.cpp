#include "termination.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {
int g_pipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop does the rest.
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[0], &byte, 1);
}
void endNow(int sig)
{
    ::_exit(128 + sig);
}
} // namespace

void endAtOnceOnTermination()
{
    struct sigaction sa = {};
    sa.sa_handler = endNow;
    sigemptyset(&sa.sa_mask);
    // HUP keeps its default action, which ends the program as well.
    for (int sig : {SIGTERM, SIGINT})
        ::sigaction(sig, &sa, nullptr);
}

TerminationRequests::TerminationRequests(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0)
        return;
    for (int fd : g_pipe)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(g_pipe[1], buf, sizeof buf) > 0) {
        }
        Q_EMIT requested();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

TerminationRequests::~TerminationRequests()
{
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    for (int &fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace platform
