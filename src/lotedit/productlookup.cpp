#include "productlookup.h"

#include "data/columns.h"
#include "db/sqltext.h"

namespace lotedit {

namespace {

struct Copied {
    const char *lot;
    const char *product;
};
const Copied kCopied[] = {
    {"CODIGO", "CODIGO"},       {"CODIGOEAN", "CODIGO"},     {"DESCRICAO", "COMPONENTE"},
    {"LOTE", "LOTE"},           {"FORNECEDOR", "FORNECEDOR"}, {"UNIDADE", "UNID"},
    {"FABRICANTE", "FABRICANTE"}, {"VALIDADE", "VALIDADE"},   {"DENSIDADE", "DENSIDADE"},
    {"FATORCORRECAO", "FATORCORRECAO"},
};

bool lookUp(data::TDM &dm, const QString &sql, const QString &column, const QString &wanted)
{
    data::CachedDataset &product = dm.Componen;
    product.close();
    product.setCommandText(sql);
    product.open();
    const bool found = !product.isEmpty() && product.text(column) == wanted;
    if (found)
        CopyProductIntoLot(product, dm.ESTLOTE);
    product.close();
    return found;
}

} // namespace

QString CodeLookupStatement(const QString &code)
{
    return QStringLiteral("Select ") + kProductLookupColumns + QStringLiteral(" from COMPONEN where CODIGO = '")
           + db::escapeQuotes(code) + QStringLiteral("'");
}

QString NameLookupStatement(const QString &name)
{
    return QStringLiteral("Select ") + kProductLookupColumns + QStringLiteral(" from COMPONEN where COMPONENTE = '")
           + db::escapeQuotes(name) + QStringLiteral("'");
}

void CopyProductIntoLot(const data::CachedDataset &product, data::CachedDataset &lot)
{
    const QString table = lot.table().name;
    for (const Copied &c : kCopied) {
        const QString lotColumn = QString::fromLatin1(c.lot);
        db::Value v = product.value(QString::fromLatin1(c.product));
        if (v.kind() == db::Value::Kind::Text)
            v = db::Value::text(data::CutToColumn(table, lotColumn, v.toString()));
        else if (v.kind() == db::Value::Kind::Timestamp)
            v = db::Value::date(v.toDate());
        lot.setValue(lotColumn, v);
    }
}

bool LookUpProductByCode(data::TDM &dm, const QString &code)
{
    return lookUp(dm, CodeLookupStatement(code), QStringLiteral("CODIGO"), code);
}

bool LookUpProductByName(data::TDM &dm, const QString &name)
{
    return lookUp(dm, NameLookupStatement(name), QStringLiteral("COMPONENTE"), name);
}

void OpenProductOptions(data::TDM &dm, const QString &name)
{
    data::CachedDataset &names = dm.CompNomes;
    names.close();
    names.setCommandText(kProductOptionsStatement);
    names.open();
    if (!names.isEmpty())
        names.moveTo(names.nearestRow(QStringLiteral("COMPONENTE"), name));
}

void ChooseProductOption(data::TDM &dm)
{
    if (dm.CompNomes.isOpen() && !dm.CompNomes.isEmpty())
        dm.ESTLOTE.setValue(QStringLiteral("DESCRICAO"), dm.CompNomes.value(QStringLiteral("COMPONENTE")));
}

} // namespace lotedit
