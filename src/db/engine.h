// The client library as this layer uses it: its master interface (with the lock folder the
// embedded engine needs), a failed status turned into a DbError, and the attach parameters.
// Private to the db folder.
#pragma once
#include "dberror.h"

#include "platform/cp1252.h"

#include <QByteArray>
#include <firebird/Interface.h>
#include <ibase.h>
#include <vector>

namespace db::engine {

using namespace Firebird;

extern const char *const kUser;
extern const char *const kPassword;

IMaster *master();

// Turns a failed status into a DbError with the engine's own text and codes.
class Status {
public:
    Status() : m_status(master()->getStatus()), m_wrap(m_status) {}
    ~Status() { m_status->dispose(); }
    CheckStatusWrapper *operator&() { return &m_wrap; }
    bool failed() const { return m_wrap.getState() & IStatus::STATE_ERRORS; }
    void check()
    {
        if (!(m_wrap.getState() & IStatus::STATE_ERRORS))
            return;
        char buf[2048];
        master()->getUtilInterface()->formatStatus(buf, sizeof buf, &m_wrap);
        std::vector<intptr_t> codes;
        int64_t concurrent = 0;
        const intptr_t *v = m_wrap.getErrors();
        while (v && v[0] != isc_arg_end) {
            if (v[0] == isc_arg_gds) {
                codes.push_back(v[1]);
                // The transaction holding the row: a number, or (64 bits) a text.
                if (v[1] == isc_concurrent_transaction && v[2] == isc_arg_number)
                    concurrent = int64_t(v[3]);
                else if (v[1] == isc_concurrent_transaction && v[2] == isc_arg_string)
                    concurrent = QByteArray(reinterpret_cast<const char *>(v[3])).toLongLong();
            }
            v += (v[0] == isc_arg_cstring) ? 3 : 2;
        }
        const QString text = platform::fromCp1252(QByteArray(buf));
        m_wrap.init();
        DbError e(text, std::move(codes));
        e.setConcurrentTransaction(concurrent);
        throw e;
    }

private:
    IStatus *m_status;
    CheckStatusWrapper m_wrap;
};

// One reference to an engine interface, released when its owner goes, whatever ends the scope.
// An interface handed on (to a cursor that releases it itself) is taken out first.
template <class I>
class Ref {
public:
    Ref() = default;
    explicit Ref(I *p) noexcept : m_p(p) {}
    Ref(Ref &&o) noexcept : m_p(o.take()) {}
    Ref &operator=(Ref &&o) noexcept
    {
        if (this != &o) {
            Ref gone(take());
            m_p = o.take();
        }
        return *this;
    }
    ~Ref()
    {
        if (m_p)
            m_p->release();
    }
    I *get() const { return m_p; }
    I *operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    I *take() noexcept
    {
        I *p = m_p;
        m_p = nullptr;
        return p;
    }
    // Ends the interface by a call that releases it when it works (close, detach, ...). When the
    // call fails the reference is still ours, released with the owner, and the failure thrown.
    template <class End>
    void end(End call)
    {
        Status st;
        call(m_p, st);
        if (!st.failed())
            m_p = nullptr;
        st.check();
    }

private:
    I *m_p = nullptr;
};

// The same end for an interface held apart from an owner (a member the class ends itself): the
// reference goes whether the call works or not, and a failure is not thrown.
template <class I, class End>
void endQuietly(I *&p, End call)
{
    if (!p)
        return;
    Status st;
    call(p, st);
    if (st.failed())
        p->release();
    p = nullptr;
}

// The database parameter block of an attach (create: of a new database of that page size). An
// embedded attach uses the embedded engine only; a server attach gives up connecting after
// connectTimeout seconds (0: the bound of serverwatch.h).
QByteArray dpb(bool create, int pageSize, bool embedded, int connectTimeout = 0);

} // namespace db::engine
