// Handing calls that may wait to the host, the cancel of such a wait, and one thread at a time
// on a connection.
#include "waitcontrol.h"
#include "engine.h"
#include "serverwatch.h"

#include <chrono>

namespace db {

using namespace engine;

namespace {
thread_local detail::WaitControl *t_current = nullptr;

struct CurrentScope {
    detail::WaitControl *previous;
    explicit CurrentScope(detail::WaitControl *c) : previous(t_current) { t_current = c; }
    ~CurrentScope() { t_current = previous; }
};
} // namespace

// ---- ConnectionUse

ConnectionUse::ConnectionUse(Connection &conn, detail::WaitControl *control) : m_conn(conn)
{
    Connection::Use &u = *conn.m_use;
    std::unique_lock lock(u.mutex);
    const std::thread::id me = std::this_thread::get_id();
    while (u.depth > 0 && u.user != me) {
        if (control && control->cancelled())
            throw DbError(QStringLiteral("operation was cancelled while the connection was in use"), {isc_cancelled},
                          DbError::Wait::Cancelled);
        u.freed.wait_for(lock, std::chrono::milliseconds(100));
    }
    u.user = me;
    ++u.depth;
}

ConnectionUse::~ConnectionUse()
{
    Connection::Use &u = *m_conn.m_use;
    std::lock_guard lock(u.mutex);
    if (--u.depth == 0) {
        u.user = std::thread::id();
        u.freed.notify_all();
    }
}

bool ConnectionUse::heldHere(const Connection &conn, bool *elsewhere)
{
    std::lock_guard lock(conn.m_use->mutex);
    const bool here = conn.m_use->depth > 0 && conn.m_use->user == std::this_thread::get_id();
    *elsewhere = conn.m_use->depth > 0 && !here;
    return here;
}

void ConnectionUse::wakeWaiters(Connection &conn)
{
    std::lock_guard lock(conn.m_use->mutex);
    conn.m_use->freed.notify_all();
}

bool Connection::inUseElsewhere() const
{
    std::lock_guard lock(m_use->mutex);
    return m_use->depth > 0 && m_use->user != std::this_thread::get_id();
}

namespace detail {

// ---- WaitControl

struct WaitControl::State {
    mutable std::mutex mutex;
    bool onRow = false;
    bool cancelled = false;
    bool inCall = false;
    bool cancelSent = false;
    IAttachment *att = nullptr;   // held (addRef) from the first call on
    ServerCall *serverCall = nullptr;
};

WaitControl::WaitControl(Connection &conn) : m_conn(conn), d(new State) {}

WaitControl::~WaitControl()
{
    if (d->att) {
        if (d->cancelSent) {
            // A cancel that reached the engine after the call had ended would stay pending and
            // stop the next statement of this attachment (the rollback's among them): turning
            // delivery off and on again drops it.
            Status st;
            d->att->cancelOperation(&st, fb_cancel_disable);
            d->att->cancelOperation(&st, fb_cancel_enable);
        }
        d->att->release();
    }
    delete d;
}

QString WaitControl::text() const
{
    return onRow() ? kLockWaitPanelText : kServerWaitPanelText;
}

void WaitControl::waitingOnRow()
{
    std::lock_guard lock(d->mutex);
    d->onRow = true;
}

bool WaitControl::onRow() const
{
    std::lock_guard lock(d->mutex);
    return d->onRow;
}

bool WaitControl::cancelled() const
{
    std::lock_guard lock(d->mutex);
    return d->cancelled;
}

void WaitControl::cancel()
{
    {
        std::lock_guard lock(d->mutex);
        if (d->cancelled)
            return;
        d->cancelled = true;
        // Before the engine has said the row is held, nothing tells a busy server from a silent
        // one: the link is cut, as the watch would cut it. On a held row the statement is
        // interrupted.
        if (d->serverCall && !d->onRow)
            d->serverCall->cutByOperator();
        else if (d->inCall && d->att) {
            Status st;
            d->att->cancelOperation(&st, fb_cancel_raise);
            d->cancelSent = true;
        }
    }
    // Not under the lock above: a thread waiting for the connection asks cancelled() under its own.
    ConnectionUse::wakeWaiters(m_conn);
}

void WaitControl::enterCall(IAttachment *att)
{
    std::lock_guard lock(d->mutex);
    if (!d->att && att) {
        d->att = att;
        att->addRef();   // held for the cancel: a link found lost meanwhile is dropped by the connection
    }
    d->inCall = true;
}

bool WaitControl::leaveCall()
{
    std::lock_guard lock(d->mutex);
    d->inCall = false;
    return d->cancelled;
}

ServerCall *WaitControl::setServerCall(ServerCall *call)
{
    std::lock_guard lock(d->mutex);
    ServerCall *previous = d->serverCall;
    d->serverCall = call;
    return previous;
}

WaitControl *currentWait()
{
    return t_current;
}

bool handsOff(const Connection &conn, bool mayWaitOnRows)
{
    LockWaitHost *host = lockWaitHost();
    if (!host || t_current)
        return false;
    bool elsewhere = false;
    // Inside a call this thread is making on conn: the rest of it stays here (a worker would only
    // wait for this thread to let the connection go).
    if (ConnectionUse::heldHere(conn, &elsewhere))
        return false;
    if (!mayWaitOnRows && conn.target().embedded && !elsewhere)
        return false;
    return host->keepsThreadAlive();
}

void runOffWindow(Connection &conn, bool mayWaitOnRows, const std::function<void()> &body)
{
    if (!handsOff(conn, mayWaitOnRows)) {
        ConnectionUse use(conn, t_current);
        body();
        return;
    }
    WaitControl control(conn);
    lockWaitHost()->wait([&] { return control.text(); },
                         [&] {
                             CurrentScope scope(&control);
                             ConnectionUse use(conn, &control);
                             body();
                         },
                         [&] { control.cancel(); });
}

} // namespace detail

} // namespace db
