// The names the lot form's lists offer from the central registers: suppliers and makers.
#pragma once
#include "db/connection.h"

#include <QStringList>

namespace lotedit {

inline const QString kSupplierListStatement = QStringLiteral("select NOMEFANTASIA from FORNECED order by NOME");
inline const QString kMakerListStatement = QStringLiteral("Select NOMEFANTASIA from FABRIC order by NOMEFANTASIA");

// The suppliers' trade names in the order of their company names, each cut to the width of the
// lot's FORNECEDOR, so a name picked is stored as it is shown. A supplier without a trade name
// gives an empty item.
QStringList SupplierNames(db::Connection &central);
// The makers' trade names in their own order.
QStringList MakerNames(db::Connection &central);

} // namespace lotedit
