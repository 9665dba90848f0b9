// One row per lot and location: the lot edit form's new lots and key changes are checked against
// the lot's stored rows, with the product and the lot locked as every creator of a lot locks them,
// inside the save's own transaction.
#pragma once
#include "data/cacheddataset.h"

#include <QString>
#include <optional>
#include <vector>

namespace lotedit {

// The operator's text when the lot already has a row at that location.
QString ExistingLotMessage(const QString &descricao, const QString &lote, const QString &fornecedor,
                           const QString &codigo, const QString &laboratorio);

// For the lot dataset's write hook: nothing for a write that keeps the row's key, or whose new key
// (CODIGO, LOTE, FORNECEDOR, LABORATORIO) no other stored row holds; the message naming the
// existing lot otherwise. before is empty for a new row.
std::optional<QString> RefuseSecondLotRow(data::CachedDataset &ds, db::Transaction &tx,
                                          const std::vector<db::Value> &before, const std::vector<db::Value> &after);

} // namespace lotedit
