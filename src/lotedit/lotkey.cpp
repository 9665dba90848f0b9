#include "lotkey.h"

#include "common/lotlock.h"
#include "data/lotlock.h"

namespace lotedit {

namespace {

const char *const kKeyColumns[] = {"CODIGO", "LOTE", "FORNECEDOR", "LABORATORIO"};

// Texts compared as the server compares them: trailing blanks do not count.
bool sameValue(const db::Value &a, const db::Value &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (a.kind() == db::Value::Kind::Text && b.kind() == db::Value::Kind::Text)
        return data::SameLocation(a.toString(), b.toString());
    return a == b;
}

} // namespace

QString ExistingLotMessage(const QString &descricao, const QString &lote, const QString &fornecedor,
                           const QString &codigo, const QString &laboratorio)
{
    return QStringLiteral("O lote %1 de %2 (código %3, fornecedor %4) já existe em %5. O registro não foi gravado.")
        .arg(lote, descricao, codigo, fornecedor, laboratorio);
}

std::optional<QString> RefuseSecondLotRow(data::CachedDataset &ds, db::Transaction &tx,
                                          const std::vector<db::Value> &before, const std::vector<db::Value> &after)
{
    std::vector<int> key;
    for (const char *name : kKeyColumns) {
        const int c = ds.fieldIndex(QString::fromLatin1(name));
        if (c < 0)
            return std::nullopt;
        key.push_back(c);
    }
    const auto keyOf = [&](const std::vector<db::Value> &row) {
        std::vector<db::Value> out;
        for (int c : key)
            out.push_back(row[size_t(c)]);
        return out;
    };
    const auto same = [](const std::vector<db::Value> &a, const std::vector<db::Value> &b) {
        for (size_t i = 0; i < a.size(); ++i)
            if (!sameValue(a[i], b[i]))
                return false;
        return true;
    };
    const std::vector<db::Value> wanted = keyOf(after);
    if (!before.empty() && same(keyOf(before), wanted))
        return std::nullopt;
    // The product's register rows first: a lot with no row yet has nothing else to queue on.
    const db::Rows rows = common::LockLotForNewRow(tx, wanted[0], wanted[1], wanted[2]);
    const int lab = rows.indexOf(QStringLiteral("LABORATORIO"));
    for (const auto &r : rows.rows) {
        if (!sameValue(r[size_t(lab)], wanted[3]))
            continue;
        // The row being re-keyed is no second row of itself.
        if (!before.empty()) {
            std::vector<db::Value> stored;
            for (const char *name : kKeyColumns)
                stored.push_back(r[size_t(rows.indexOf(QString::fromLatin1(name)))]);
            if (same(stored, keyOf(before)))
                continue;
        }
        const auto text = [&](const char *name) { return r[size_t(rows.indexOf(QString::fromLatin1(name)))].toString(); };
        return ExistingLotMessage(text("DESCRICAO"), text("LOTE"), text("FORNECEDOR"), text("CODIGO"), text("LABORATORIO"));
    }
    return std::nullopt;
}

} // namespace lotedit
