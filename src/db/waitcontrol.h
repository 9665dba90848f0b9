// The calls of one wait handed to the host: what it waits for now, the operator's cancel reaching
// the engine call under way, and the rule that one thread at a time uses a connection.
// Private to the db folder.
#pragma once
#include "connection.h"
#include "lockwait.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace db {

struct Connection::Use {
    mutable std::mutex mutex;
    std::condition_variable freed;
    std::thread::id user;   // none when free
    int depth = 0;
};

class ServerCall;

// Holds conn's attachment for the current thread (again and again on one thread); another thread
// waits until it is let go. A wait of `control` (when given) that is cancelled stops waiting.
namespace detail {
class WaitControl;
}
class ConnectionUse {
public:
    ConnectionUse(Connection &conn, detail::WaitControl *control);
    ~ConnectionUse();
    ConnectionUse(const ConnectionUse &) = delete;
    ConnectionUse &operator=(const ConnectionUse &) = delete;
    // Wakes the threads waiting for conn (one of them may have been cancelled).
    static void wakeWaiters(Connection &conn);
    // This thread uses conn now; `elsewhere` tells whether another one does.
    static bool heldHere(const Connection &conn, bool *elsewhere);

private:
    Connection &m_conn;
};

namespace detail {

class WaitControl {
public:
    explicit WaitControl(Connection &conn);
    ~WaitControl();
    WaitControl(const WaitControl &) = delete;
    WaitControl &operator=(const WaitControl &) = delete;

    QString text() const;    // what the panel says now
    void waitingOnRow();     // the engine said another transaction holds the row
    bool onRow() const;
    void cancel();           // the operator's Cancelar, from the host's thread
    bool cancelled() const;
    // A statement that may wait on a row is on its way on att (a cancel interrupts it); leaving
    // tells whether the operator cancelled meanwhile.
    void enterCall(Firebird::IAttachment *att);
    bool leaveCall();
    // The watched server call under way (a cancel before the row is known held cuts its link).
    ServerCall *setServerCall(ServerCall *call);

private:
    Connection &m_conn;
    struct State;
    State *d;
};

// The wait the current thread runs for a host, if any.
WaitControl *currentWait();

// True when a call on conn made here now is handed to the host.
bool handsOff(const Connection &conn, bool mayWaitOnRows);

void runOffWindow(Connection &conn, bool mayWaitOnRows, const std::function<void()> &body);

// Runs `body` for conn: on the window's thread, handed to the host when it may wait (a server, or
// a statement on rows others may hold, or conn used by another thread); here otherwise. Either
// way no other thread uses conn meanwhile.
template <class F>
auto offWindow(Connection &conn, bool mayWaitOnRows, F &&body) -> decltype(body())
{
    using R = decltype(body());
    if constexpr (std::is_void_v<R>) {
        runOffWindow(conn, mayWaitOnRows, [&] { body(); });
    } else {
        std::optional<R> out;
        runOffWindow(conn, mayWaitOnRows, [&] { out.emplace(body()); });
        return std::move(*out);
    }
}

} // namespace detail

} // namespace db
