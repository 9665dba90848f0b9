#include "dberror.h"

#include <algorithm>
#include <ibase.h>

namespace db {

DbError::DbError(const QString &message, std::vector<intptr_t> codes)
    : std::runtime_error(message.toStdString()), m_message(message), m_codes(std::move(codes))
{
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
    // A server that went down or restarted shows as a failed read or write on the old link.
    return hasCode(isc_network_error) || hasCode(isc_net_read_err) || hasCode(isc_net_write_err)
        || hasCode(isc_net_connect_err) || hasCode(isc_lost_db_connection) || hasCode(isc_conn_lost)
        || hasCode(isc_att_shutdown) || hasCode(isc_shutdown);
}

QString operatorText(const DbError &e)
{
    const QString *leadIn = &kDatabaseRefusedMessage;
    if (e.isConnectionLost())
        leadIn = &kConnectionLostMessage;
    else if (e.hasCode(isc_dsql_relation_err) || e.hasCode(isc_dsql_field_err))
        leadIn = &kStructureMismatchMessage;
    return *leadIn + QStringLiteral("\n\n") + e.message();
}

} // namespace db
