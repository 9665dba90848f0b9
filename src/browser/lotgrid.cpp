// Rules of the main lot grid: row colours, the search text and the row a search lands on.
#include "lotgrid.h"

#include "common/textfold.h"
#include "data/cacheddataset.h"
#include "data/ordering.h"
#include "platform/cp1252.h"

#include <QLocale>
#include <QStringList>
#include <functional>

namespace browser {

RowColours colourFor(const QString &situacao, const QDate &validade, const QDate &today, int filterIndex)
{
    if (situacao == kExpiredSituation)
        return {CellBackground::White, CellText::Silver};
    // A lot without a date counts as dated long ago, so it is always highlighted.
    const bool nearExpiry = !validade.isValid() || today.addDays(kExpiryWarningDays) >= validade;
    if (!nearExpiry)
        return {CellBackground::Info, CellText::Black};
    return {filterIndex == kNearestExpiriesView ? CellBackground::InactiveCaption : CellBackground::Yellow,
            CellText::Black};
}

QString SearchText(const QString &typed)
{
    if (typed.isEmpty())
        return {};
    return platform::asciiUpper(typed.left(1)) + platform::asciiLower(typed.mid(1));
}


QString LeadingOrderColumn(const QString &statement, const QString &indexFieldNames)
{
    if (!indexFieldNames.isEmpty())
        return indexFieldNames.section(QLatin1Char(';'), 0, 0).trimmed();
    return data::StatementOrderColumn(statement);
}

std::optional<QDate> SearchDate(const QString &typed, const QDate &today)
{
    QString text = typed.trimmed();
    text.replace(QLatin1Char('-'), QLatin1Char('/')).replace(QLatin1Char('.'), QLatin1Char('/'));
    const QStringList parts = text.split(QLatin1Char('/'));
    if (text.isEmpty() || parts.size() > 3)
        return std::nullopt;
    for (const QString &p : parts)
        for (QChar c : p)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;

    const QString dayText = parts.at(0);
    if (dayText.isEmpty() || dayText.size() > 2)
        return std::nullopt;
    const int day = dayText.toInt();
    if (day < 1 || day > 31)
        return std::nullopt;

    // A part still being typed ("0" of "05", "202" of "2025") counts as not typed yet.
    int month = 0;
    if (parts.size() > 1) {
        const QString m = parts.at(1);
        if (m.size() > 2)
            return std::nullopt;
        if (!m.isEmpty() && m != QLatin1String("0")) {
            month = m.toInt();
            if (month < 1 || month > 12)
                return std::nullopt;
        }
    }
    int year = 0;
    if (parts.size() > 2 && month != 0) {
        const QString y = parts.at(2);
        if (y.size() > 4)
            return std::nullopt;
        if (y.size() == 2)
            year = 2000 + y.toInt();
        else if (y.size() == 4)
            year = y.toInt();
    }

    if (year != 0) {
        const QDate d(year, month, day);
        return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
    }
    if (month != 0) {
        // 29 February waits for the next leap year.
        for (int y = today.year(); y <= today.year() + 8; ++y) {
            const QDate d(y, month, day);
            if (d.isValid() && d >= today)
                return d;
        }
        return std::nullopt;
    }
    QDate monthStart(today.year(), today.month(), 1);
    for (int i = 0; i <= 12; ++i, monthStart = monthStart.addMonths(1)) {
        const QDate d(monthStart.year(), monthStart.month(), day);
        if (d.isValid() && d >= today)
            return d;
    }
    return std::nullopt;
}

namespace {

enum class KeyKind { Text, Date, Number };

KeyKind kindOf(db::Value::Kind k)
{
    switch (k) {
    case db::Value::Kind::Date:
    case db::Value::Kind::Timestamp:
        return KeyKind::Date;
    case db::Value::Kind::Integer:
    case db::Value::Kind::Decimal:
    case db::Value::Kind::Double:
        return KeyKind::Number;
    default:
        return KeyKind::Text;
    }
}

// The kind of a column's values, from its first non-null value (nulls sort together at one end).
KeyKind columnKind(const data::CachedDataset &ds, int column)
{
    const int n = ds.rowCount();
    for (int row : {0, n - 1}) {
        const db::Value v = ds.valueAt(row, column);
        if (!v.isNull())
            return kindOf(v.kind());
    }
    for (int row = 1; row < n - 1; ++row) {
        const db::Value v = ds.valueAt(row, column);
        if (!v.isNull())
            return kindOf(v.kind());
    }
    return KeyKind::Text;
}

// First row in [lo, hi) for which pred is false, pred being true on a prefix of the range.
int partitionPoint(int lo, int hi, const std::function<bool(int)> &pred)
{
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (pred(mid))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// The first row whose non-null value is not less than the key, the rows being in ascending
// order of the column with their nulls together at the start or at the end; else the last row.
int nearestOrdered(const data::CachedDataset &ds, int column, const std::function<bool(const db::Value &)> &less)
{
    const int n = ds.rowCount();
    auto isNull = [&](int row) { return ds.valueAt(row, column).isNull(); };
    int lo = 0;
    int hi = n;
    if (isNull(0))
        lo = partitionPoint(0, n, isNull);
    else if (isNull(n - 1))
        hi = partitionPoint(0, n, [&](int row) { return !isNull(row); });
    const int at = partitionPoint(lo, hi, [&](int row) { return less(ds.valueAt(row, column)); });
    return at < hi ? at : n - 1;
}

} // namespace

int SearchRow(const data::CachedDataset &dataset, const QString &searchText, const QDate &today)
{
    if (!dataset.isOpen() || dataset.isEmpty())
        return -1;
    const QString columnName = LeadingOrderColumn(dataset.commandText(), dataset.indexFieldNames());
    const int column = columnName.isEmpty() ? -1 : dataset.fieldIndex(columnName);
    if (column < 0)
        return -1;
    if (searchText.isEmpty())
        return 0;

    switch (columnKind(dataset, column)) {
    case KeyKind::Text: {
        const int nearest = dataset.nearestRow(columnName, searchText);
        const QString folded = common::FoldText(searchText);
        // Most names are told apart by their first letter, folded cheaply; only those that share
        // it with the text are folded whole.
        const auto firstFolded = [](const QString &text) {
            for (const QChar c : text) {
                if (c.isSpace())
                    continue;
                if (c.unicode() < 128)
                    return c.toUpper();
                const QString f = common::FoldText(QString(c));
                return f.isEmpty() ? c : f.at(0);
            }
            return QChar();
        };
        const auto begins = [&](int row) {
            const db::Value v = dataset.valueAt(row, column);
            if (v.isNull())
                return false;
            const QString text = v.toString();
            return firstFolded(text) == folded.at(0) && common::FoldText(text).startsWith(folded);
        };
        if (folded.isEmpty() || (nearest >= 0 && begins(nearest)))
            return nearest;
        // Pharmacies spell a name with and without its accents, in any case: the byte order
        // puts "Ácido" after "Zinco", where no typed "acido" would reach it.
        for (int row = 0, n = dataset.rowCount(); row < n; ++row)
            if (begins(row))
                return row;
        return nearest;
    }
    case KeyKind::Date: {
        const std::optional<QDate> key = SearchDate(searchText, today);
        if (!key)
            return -1;
        return nearestOrdered(dataset, column, [&](const db::Value &v) { return v.toDate() < *key; });
    }
    case KeyKind::Number: {
        // A search key only places the grid, nothing is stored: a point or a comma and any size
        // are taken, so not the typed-number reading of the boxes (data::ParseTypedDecimal).
        QString t = searchText.trimmed();
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        bool ok = false;
        const double key = QLocale::c().toDouble(t, &ok);
        if (!ok)
            return -1;
        return nearestOrdered(dataset, column, [&](const db::Value &v) { return v.toDouble() < key; });
    }
    }
    return -1;
}

int LotRow(const data::CachedDataset &dataset, const QMap<QString, db::Value> &key)
{
    if (!dataset.isOpen() || key.isEmpty())
        return -1;
    std::vector<std::pair<int, db::Value>> columns;
    for (auto it = key.cbegin(); it != key.cend(); ++it) {
        const int c = dataset.fieldIndex(it.key());
        if (c < 0)
            return -1;
        columns.emplace_back(c, it.value());
    }
    for (int row = 0, n = dataset.rowCount(); row < n; ++row) {
        bool same = true;
        for (const auto &[c, v] : columns)
            same = same && dataset.valueAt(row, c) == v;
        if (same)
            return row;
    }
    return -1;
}

} // namespace browser
