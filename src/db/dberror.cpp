#include "dberror.h"
#include "lockwait.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <ibase.h>

namespace db {

DbError::DbError(const QString &message, std::vector<intptr_t> codes, Wait wait)
    : platform::Error(message), m_codes(std::move(codes)), m_wait(wait)
{
}

QString DbError::operatorText() const
{
    return db::operatorText(*this);
}

bool DbError::hasCode(intptr_t code) const
{
    return std::find(m_codes.begin(), m_codes.end(), code) != m_codes.end();
}

bool DbError::isUpdateConflict() const
{
    return hasCode(isc_update_conflict);
}

bool DbError::isConnectionLost() const
{
    // A server that went down or restarted shows as a failed read or write on the old link; one
    // that cannot be reached, as any of the client library's network failures.
    static const intptr_t lost[] = {
        isc_network_error,      isc_net_read_err,          isc_net_write_err,
        isc_net_connect_err,    isc_net_connect_listen_err, isc_net_lookup_err,
        isc_net_init_error,     isc_net_event_connect_err, isc_net_event_listen_err,
        isc_net_event_connect_timeout, isc_net_server_shutdown, isc_lost_db_connection,
        isc_conn_lost,          isc_att_shutdown,          isc_shutdown,
        isc_connect_reject,
    };
    return std::any_of(std::begin(lost), std::end(lost), [this](intptr_t code) { return hasCode(code); });
}

bool DbError::isLockTimeout() const
{
    return hasCode(isc_lock_timeout);
}

bool DbError::isConflict() const
{
    return hasCode(isc_update_conflict) || hasCode(isc_deadlock) || hasCode(isc_lock_conflict) || hasCode(isc_lock_timeout);
}

DbError DbError::endedAs(Wait wait) const
{
    DbError e(message(), m_codes, wait);
    e.m_concurrentTransaction = m_concurrentTransaction;
    return e;
}

void logDiagnostic(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString operatorText(const DbError &e)
{
    const QString gap = QStringLiteral("\n\n");
    switch (e.wait()) {
    case DbError::Wait::Cancelled: return kLockWaitCancelledMessage + gap + kCancelledReason;
    case DbError::Wait::TimedOut: return kLockWaitTimeoutMessage.arg(lockWaitLimit()) + gap + kHeldRowReason;
    case DbError::Wait::Deadlock: return kDeadlockMessage + gap + kDeadlockReason;
    case DbError::Wait::ServerCancelled: return kServerWaitCancelledMessage + gap + kServerCancelledReason;
    case DbError::Wait::None: break;
    }
    const QString *leadIn = &kDatabaseRefusedMessage;
    if (e.isConnectionLost())
        leadIn = &kConnectionLostMessage;
    else if (e.hasCode(isc_dsql_relation_err) || e.hasCode(isc_dsql_field_err))
        leadIn = &kStructureMismatchMessage;
    return *leadIn + QStringLiteral("\n\n") + e.message();
}

} // namespace db
