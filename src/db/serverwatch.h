// A bound on how long any call waits for a database server to answer.
//
// An attach gives up after the bound (the engine's connect timeout). A call on an open attachment
// (start, prepare, execute, fetch, commit...) is watched by one thread of the process: when it has
// had no answer for half the bound, the watch tries a new attach to the same server, itself
// bounded by the other half. A server that takes it is alive and only busy, so the call goes on
// waiting; a server that does not (stopped, frozen, unreachable) has its old link cut from this
// side, and the call fails at once as a lost link. Embedded attachments run in this process and
// are not watched.
#pragma once
#include "dberror.h"

#include <QByteArray>
#include <cstdint>

namespace Firebird {
class IAttachment;
}

namespace db {

class Connection;

// The bound in seconds (default: ESTOQUE_CONNECT_TIMEOUT when set, else 15; at least 2).
void setServerAnswerLimit(int seconds);
int serverAnswerLimit();

// One call to a server attachment, watched from construction to destruction. A no-op for an
// embedded attachment.
class ServerCall {
public:
    explicit ServerCall(Connection &conn);
    ~ServerCall();
    ServerCall(const ServerCall &) = delete;
    ServerCall &operator=(const ServerCall &) = delete;

    // The watch cut the link because the server stopped answering (or the operator gave up).
    bool abandoned() const;
    // Rethrows `e` (the exception being handled), as a lost link when the link was cut.
    [[noreturn]] void rethrow(const DbError &e) const;
    // The operator gave up waiting: the link is cut now, as the watch would cut it.
    void cutByOperator();

    struct Entry;   // what the watch knows of the call

private:
    Entry *m_entry = nullptr;
    ServerCall *m_outer = nullptr;   // the call of the same wait this one is inside of
};

// The watch cut a link to conn's database within the last bound: the server was just found
// silent, and a new attach would only wait for it again.
bool serverFoundSilent(const Connection &conn);

// Runs `call` (engine calls on conn's attachment, attached already) under the watch; the failure
// of a call the watch gave up always counts as a lost link.
template <class Call>
auto onServer(Connection &conn, Call call)
{
    ServerCall watched(conn);
    try {
        return call();
    } catch (const DbError &e) {
        watched.rethrow(e);
    }
}

} // namespace db
