// Lays a report out over its data connections into pages.
#pragma once
#include "dataconnection.h"
#include "pagemodel.h"

#include <QDateTime>
#include <map>

namespace reports_engine {

using ConnectionMap = std::map<QString, DataConnection *>;   // by name, upper case

// The connection names a report reads (its detail and every {Connection.FIELD} of its bands), upper case.
QStringList ConnectionsUsed(const ReportDef &report);

// Plans the pages at once (their count, where each one's rows start) and leaves each page to be laid
// out when it is asked for, reading the connections then: the model is for the run that made it.
PageModel LayOut(const ReportDef &report, const ConnectionMap &connections, const QDateTime &now);

// A value as a layout prints it: numbers through their picture format, dates "dd/MM/yyyy" unless
// the format says "d:<pattern>", texts as they are.
QString FormatValue(const db::Value &value, const QString &format);

} // namespace reports_engine
