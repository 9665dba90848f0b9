// Lays a report out over its data connections into pages.
#pragma once
#include "dataconnection.h"
#include "pagemodel.h"

#include <QDateTime>
#include <functional>
#include <map>

namespace reports_engine {

using ConnectionMap = std::map<QString, DataConnection *>;   // by name, upper case

// The connection names a report reads (its detail and every {Connection.FIELD} of its bands), upper case.
QStringList ConnectionsUsed(const ReportDef &report);

// pageMade(n) is called as each page is finished (the status window's "Generating page n").
PageModel LayOut(const ReportDef &report, const ConnectionMap &connections, const QDateTime &now,
                 const std::function<void(int)> &pageMade = {});

// A value as a layout prints it: numbers through their picture format, dates "dd/MM/yyyy" unless
// the format says "d:<pattern>", texts as they are.
QString FormatValue(const db::Value &value, const QString &format);

} // namespace reports_engine
