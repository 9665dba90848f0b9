// Rules of the main lot grid: the colours of a lot's row, the search text, and where a search lands.
#pragma once
#include "db/value.h"

#include <QDate>
#include <QMap>
#include <QString>
#include <optional>

namespace data {
class CachedDataset;
}

namespace browser {

// ComboBox1's "Mostrar somente os vencimentos mais próximos": every row of it is near its expiry,
// so the highlight there is the quieter inactive-caption colour.
inline constexpr int kNearestExpiriesView = 8;
// Lots whose expiry falls within this many days from today are highlighted.
inline constexpr int kExpiryWarningDays = 60;

inline const QString kExpiredSituation = QStringLiteral("Vencido");

enum class CellBackground { White, Info, Yellow, InactiveCaption };
enum class CellText { Silver, Black };

struct RowColours {
    CellBackground background;
    CellText text;
    bool operator==(const RowColours &) const = default;
};

// The colours of every cell of a lot's row. validade: invalid when the lot has no expiry date.
RowColours colourFor(const QString &situacao, const QDate &validade, const QDate &today, int filterIndex);

// What a typed search becomes: the first character upper case, the rest lower case (ASCII letters only).
QString SearchText(const QString &typed);

// The column the grid is ordered by: the sorted column after a title click, otherwise the first
// field of the statement's order clause without its table alias. Empty when the rows have no order.
QString LeadingOrderColumn(const QString &statement, const QString &indexFieldNames);

// A typed search on a date column, read day first as a prefix of "dd/mm/yyyy" ("-" and "." also
// separate). What was not typed is completed to the first such date on or after today, so "15"
// finds the next 15th and "15/03" the next 15 March; a two-digit year is 20yy. Nothing when the
// text is not such a prefix or names no real date.
std::optional<QDate> SearchDate(const QString &typed, const QDate &today);

// The row a search for searchText lands on in the dataset's current order, or -1 when the search
// cannot move (dataset closed or empty, rows in no order, a text that is no value of the column).
// Text columns: the first row whose key is >= the text (Windows-1252 bytes), else the last row;
// when that row's key does not begin with the text once accents and case are folded away, the
// first row in the grid's order whose folded key does ("acido" reaches "Ácido ascórbico").
// Date and number columns: the same with the text read as a date (SearchDate) or a number
// ("," or "." as decimal point). An empty text lands on the first row.
int SearchRow(const data::CachedDataset &dataset, const QString &searchText, const QDate &today);

// The row of the lot with these values (upper-case column names: CODIGO, LOTE, FORNECEDOR,
// LABORATORIO) in the dataset's current order, or -1: the operator's lot found again after the
// rows were read anew.
int LotRow(const data::CachedDataset &dataset, const QMap<QString, db::Value> &key);

} // namespace browser
