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

// The database parameter block of an attach (create: of a new database of that page size). An
// embedded attach uses the embedded engine only; a server attach gives up connecting after
// connectTimeout seconds (0: the bound of serverwatch.h).
QByteArray dpb(bool create, int pageSize, bool embedded, int connectTimeout = 0);

} // namespace db::engine
