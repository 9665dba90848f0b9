#include "registerlists.h"

#include "lotrules.h"

namespace lotedit {

namespace {

QStringList firstColumn(const db::Rows &rows, int width)
{
    QStringList names;
    names.reserve(qsizetype(rows.rows.size()));
    for (const auto &row : rows.rows) {
        const QString name = row.front().isNull() ? QString() : row.front().toString();
        names << (width > 0 ? name.left(width) : name);
    }
    return names;
}

} // namespace

QStringList SupplierNames(db::Connection &central)
{
    return firstColumn(central.query(kSupplierListStatement), kSupplierNameWidth);
}

QStringList MakerNames(db::Connection &central)
{
    return firstColumn(central.query(kMakerListStatement), 0);
}

} // namespace lotedit
