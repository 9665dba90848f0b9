// Attaching to a database (embedded or through a server), dropping a lost link so the next use
// attaches again, direct statements, and creating or dropping a database.
#include "connection.h"
#include "engine.h"
#include "serverwatch.h"
#include "waitcontrol.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace db {

using namespace engine;

namespace {

// The path handed to the engine. A local file is resolved first: a loop of symbolic links in it
// makes the engine overflow its stack, so the loop is reported here instead.
QByteArray attachPath(const Target &target)
{
    const QByteArray path = QFile::encodeName(target.location);
    if (!target.embedded)
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.constData(), resolved))
        return QByteArray(resolved);
    if (errno == ELOOP)
        throw DbError(QStringLiteral("I/O error during \"open\" operation for file \"%1\"\n"
                                     "-Too many levels of symbolic links")
                          .arg(target.location),
                      {isc_io_error});
    return path;   // missing: the engine says so in its own words
}

} // namespace

// ---- Connection

Connection::Connection() : m_use(std::make_unique<Use>()) {}

Connection::~Connection()
{
    try {
        close();
    } catch (const DbError &) {
        // Going anyway: the server drops an attachment whose link is gone.
    }
}

void Connection::configure(const Target &target)
{
    close();
    m_target = target;
}

void Connection::open()
{
    if (m_att)
        return;
    // A server may take the whole bound to answer: the window stays alive meanwhile.
    detail::offWindow(*this, false, [&] { attach(); });
}

namespace {

// An attach to a server made on a thread of its own, so the caller can stop waiting for it: at
// the bound, or when the operator cancels. An attach given up so is left to end on its own; what
// it then gets is detached at once and never used.
struct PendingAttach {
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    bool abandoned = false;
    IAttachment *att = nullptr;
    std::optional<DbError> error;
};

IAttachment *engineAttach(const QByteArray &path, const QByteArray &params)
{
    Status st;
    const Ref<IProvider> prov(master()->getDispatcher());
    IAttachment *att = prov->attachDatabase(&st, path.constData(), unsigned(params.size()),
                                            reinterpret_cast<const unsigned char *>(params.constData()));
    if (st.failed())
        att = nullptr;
    st.check();
    return att;
}

void dropUnused(IAttachment *att)
{
    endQuietly(att, [](IAttachment *a, Status &st) { a->detach(&st); });
}

IAttachment *attachWithin(const Target &target, const QByteArray &path, const QByteArray &params, int seconds)
{
    auto pending = std::make_shared<PendingAttach>();
    std::thread([pending, path, params] {
        IAttachment *att = nullptr;
        std::optional<DbError> error;
        try {
            att = engineAttach(path, params);
        } catch (const DbError &e) {
            error = e;
        }
        std::unique_lock lock(pending->mutex);
        if (pending->abandoned) {
            lock.unlock();
            if (att)
                dropUnused(att);
            return;
        }
        pending->att = att;
        pending->error = std::move(error);
        pending->finished = true;
        pending->ended.notify_all();
    }).detach();

    // The wait this attach runs for (on the host's worker), whose Cancelar ends it at once.
    detail::WaitControl *control = detail::currentWait();
    const auto due = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::unique_lock lock(pending->mutex);
    for (;;) {
        if (pending->finished) {
            if (pending->error)
                throw *pending->error;
            return pending->att;
        }
        const bool cancelled = control && control->cancelled();
        if (cancelled || std::chrono::steady_clock::now() >= due) {
            pending->abandoned = true;
            if (cancelled)
                throw DbError(QStringLiteral("Unable to complete network request to host \"%1\".\n"
                                             "-The attach was abandoned by the operator")
                                  .arg(target.location),
                              {isc_network_error}, DbError::Wait::ServerCancelled);
            throw DbError(QStringLiteral("Unable to complete network request to host \"%1\".\n"
                                         "-The server did not answer within %2 seconds")
                              .arg(target.location)
                              .arg(seconds),
                          {isc_network_error});
        }
        pending->ended.wait_for(lock, std::chrono::milliseconds(50));
    }
}

} // namespace

void Connection::attach()
{
    if (m_att)
        return;
    if (!m_target.valid || m_target.location.isEmpty())
        throw DbError(QStringLiteral("Unable to complete network request to host \"\".\nFailed to locate host machine.\n%1")
                          .arg(m_target.location));
    const QByteArray path = attachPath(m_target);
    if (m_target.embedded) {
        m_att = engineAttach(path, dpb(false, 0, true));
        return;
    }
    // A server the watch has just found silent is given a short moment only: the click that
    // met it has had its bound already, and a server that came back answers at once.
    const int seconds = serverFoundSilent(*this) ? 1 : serverAnswerLimit();
    m_att = attachWithin(m_target, path, dpb(false, 0, false, seconds), seconds);
}

void Connection::close()
{
    if (!m_att)
        return;
    // Held while the watch may still cut the link: a detach that works releases the interface.
    detail::offWindow(*this, false, [&] {
        onServer(*this, [&] { releaseKept(); });
        IAttachment *att = m_att;
        att->addRef();
        const Ref<IAttachment> held(att);
        onServer(*this, [&] { endQuietly(att, [](IAttachment *a, Status &st) { a->detach(&st); }); });
        m_att = nullptr;
    });
}

void Connection::interrupt()
{
    if (IAttachment *att = m_att) {
        Status st;
        att->cancelOperation(&st, fb_cancel_raise);
    }
}

IAttachment *Connection::handle()
{
    open();
    return m_att;
}

void Connection::releaseKept()
{
    for (auto &[sql, stmt] : m_kept) {
        Status st;
        stmt->free(&st);   // on a link that is gone it fails; the interface goes either way
        if (st.failed())
            stmt->release();
    }
    m_kept.clear();
}

void Connection::noteError(const DbError &e)
{
    if (e.isConnectionLost() && m_att) {
        releaseKept();
        // Usually fails on a dead link; the interface goes either way.
        endQuietly(m_att, [](IAttachment *a, Status &st) { a->detach(&st); });
    }
}

void Connection::execute(const QString &sql, const std::vector<Value> &params)
{
    // A link lost since the last use is noticed when the transaction starts, which attaches again.
    Transaction tx(*this);
    tx.execute(sql, params);
    tx.commit();
}

Rows Connection::query(const QString &sql, const std::vector<Value> &params)
{
    // A read changes nothing: whenever the link that was up is found gone, it is read again once
    // on a new attachment. A server that cannot be reached at all fails at once.
    for (int attempt = 0;; ++attempt) {
        const bool wasOpen = isOpen();
        try {
            Transaction tx(*this);
            Rows r = tx.query(sql, params);
            tx.commit();
            return r;
        } catch (const DbError &e) {
            if (attempt == 0 && wasOpen && e.isConnectionLost() && e.wait() == DbError::Wait::None
                && !serverFoundSilent(*this))
                continue;
            throw;
        }
    }
}

void Connection::createDatabase(const Target &target, int pageSize)
{
    const QByteArray path = attachPath(target);
    Status st;
    const Ref<IProvider> prov(master()->getDispatcher());
    const QByteArray params = dpb(true, pageSize, target.embedded);
    Ref<IAttachment> att(prov->createDatabase(&st, path.constData(), unsigned(params.size()),
                                              reinterpret_cast<const unsigned char *>(params.constData())));
    if (st.failed())
        att.take();
    st.check();
    att.end([](IAttachment *a, Status &s) { a->detach(&s); });
}

void Connection::dropDatabase(const Target &target)
{
    Connection c;
    c.configure(target);
    c.open();
    Status st;
    c.m_att->dropDatabase(&st);
    st.check();
    c.m_att = nullptr;
}

} // namespace db
