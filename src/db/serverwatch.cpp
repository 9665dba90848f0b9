// The watch over calls to a database server: one thread that looks at the calls under way on a
// tick, asks the server for a new attach when the oldest has passed half the bound, and cuts the
// old link when it gets no answer. A call only puts itself on the list: waking the thread on
// every call would cost each call a switch to it and back, for nothing but rare frozen servers.
#include "serverwatch.h"
#include "connection.h"
#include "engine.h"
#include "waitcontrol.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <thread>

namespace db {

using namespace engine;
using Clock = std::chrono::steady_clock;

namespace {

int defaultLimit()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("ESTOQUE_CONNECT_TIMEOUT", &ok);
    return ok && seconds > 0 ? std::max(2, seconds) : 15;
}

std::atomic<int> g_limit{defaultLimit()};

} // namespace

struct ServerCall::Entry {
    uint64_t serial = 0;   // calls are told apart by it: a new call may reuse an ended one's memory
    IAttachment *att = nullptr;
    // Where the call's database is, read by the watch only when it probes: the connection
    // cannot change its target while one of its calls is under way.
    const Connection *conn = nullptr;
    Clock::time_point quietSince;
    bool probing = false;
    std::atomic<bool> abandoned{false};
    bool byOperator = false;
};

namespace {

// How often the watch looks: a frozen server is told at most this much after half the bound plus
// the probe's half, so well within a second of the bound.
const auto kTick = std::chrono::milliseconds(200);

// The watch's state lives as long as the process: its thread may still be waiting at exit.
struct Watch {
    std::mutex mutex;
    std::condition_variable wake;
    std::list<ServerCall::Entry *> calls;
    uint64_t nextSerial = 1;
    bool started = false;
    std::map<QByteArray, Clock::time_point> cuts;   // by database location: the last link cut
};

Watch &watch()
{
    static Watch *w = new Watch;
    return *w;
}

// A new attach to the server of `path`, given up after `seconds`: true when the server took it.
bool serverAnswers(const QByteArray &path, int seconds)
{
    try {
        Status st;
        const Ref<IProvider> prov(master()->getDispatcher());
        const QByteArray params = dpb(false, 0, false, seconds);
        IAttachment *att = prov->attachDatabase(&st, path.constData(), unsigned(params.size()),
                                                reinterpret_cast<const unsigned char *>(params.constData()));
        if (st.failed())
            return false;
        endQuietly(att, [](IAttachment *a, Status &s) { a->detach(&s); });
        return true;
    } catch (const DbError &) {
        return false;
    }
}

void run(Watch &w)
{
    std::unique_lock lock(w.mutex);
    for (;;) {
        const auto half = std::chrono::milliseconds(serverAnswerLimit() * 500);
        ServerCall::Entry *oldest = nullptr;
        for (ServerCall::Entry *e : w.calls)
            if (!e->probing && (!oldest || e->quietSince < oldest->quietSince))
                oldest = e;
        // Calls come and go without a word to this thread: it looks again on the next tick.
        if (!oldest || Clock::now() < oldest->quietSince + half) {
            w.wake.wait_for(lock, kTick);
            continue;
        }
        oldest->probing = true;
        const QByteArray path = QFile::encodeName(oldest->conn->target().location);
        const uint64_t serial = oldest->serial;
        lock.unlock();
        const bool alive = serverAnswers(path, std::max(1, serverAnswerLimit() / 2));
        lock.lock();
        // The call may have ended meanwhile and its entry gone; found again by its serial number,
        // never by its address, which a new call may have been given since.
        const auto again = std::find_if(w.calls.begin(), w.calls.end(),
                                        [serial](const ServerCall::Entry *e) { return e->serial == serial; });
        if (again == w.calls.end())
            continue;
        oldest = *again;
        if (alive) {
            oldest->probing = false;
            oldest->quietSince = Clock::now();
            continue;
        }
        // Cuts the link from this side: the waiting call returns with a network error, and the
        // attachment cannot be released meanwhile, as its call cannot end without this lock.
        oldest->abandoned = true;
        w.cuts[path] = Clock::now();
        Status st;
        oldest->att->cancelOperation(&st, fb_cancel_abort);
    }
}

} // namespace

void setServerAnswerLimit(int seconds)
{
    g_limit = std::max(2, seconds);
    watch().wake.notify_all();
}

int serverAnswerLimit()
{
    return g_limit;
}

ServerCall::ServerCall(Connection &conn)
{
    if (conn.target().embedded || !conn.isOpen())
        return;
    m_entry = new Entry;
    m_entry->att = conn.handle();
    m_entry->conn = &conn;
    m_entry->quietSince = Clock::now();
    Watch &w = watch();
    {
        std::lock_guard lock(w.mutex);
        if (!w.started) {
            std::thread([&w] { run(w); }).detach();
            w.started = true;
        }
        m_entry->serial = w.nextSerial++;
        w.calls.push_back(m_entry);
    }
    if (detail::WaitControl *c = detail::currentWait())
        m_outer = c->setServerCall(this);
}

ServerCall::~ServerCall()
{
    if (!m_entry)
        return;
    if (detail::WaitControl *c = detail::currentWait())
        c->setServerCall(m_outer);
    Watch &w = watch();
    {
        std::lock_guard lock(w.mutex);
        w.calls.remove(m_entry);
    }
    delete m_entry;
}

bool ServerCall::abandoned() const
{
    return m_entry && m_entry->abandoned;
}

void ServerCall::rethrow(const DbError &e) const
{
    if (!abandoned())
        throw;
    bool byOperator = false;
    {
        std::lock_guard lock(watch().mutex);
        byOperator = m_entry->byOperator;
    }
    if (!byOperator && e.isConnectionLost())
        throw;
    // Whatever the engine made of the cut, it is the link that is gone.
    std::vector<intptr_t> codes = e.codes();
    if (!e.isConnectionLost())
        codes.push_back(isc_network_error);
    throw DbError(e.message(), std::move(codes), byOperator ? DbError::Wait::ServerCancelled : DbError::Wait::None);
}

void ServerCall::cutByOperator()
{
    if (!m_entry)
        return;
    Watch &w = watch();
    std::lock_guard lock(w.mutex);
    if (m_entry->abandoned)
        return;
    m_entry->abandoned = true;
    m_entry->byOperator = true;
    Status st;
    m_entry->att->cancelOperation(&st, fb_cancel_abort);
}

bool serverFoundSilent(const Connection &conn)
{
    if (conn.target().embedded)
        return false;
    Watch &w = watch();
    std::lock_guard lock(w.mutex);
    const auto cut = w.cuts.find(QFile::encodeName(conn.target().location));
    return cut != w.cuts.end() && Clock::now() - cut->second < std::chrono::seconds(serverAnswerLimit());
}

} // namespace db
