// The rows of a cached dataset: fetched rows kept side by side as the engine's raw row buffers and
// decoded only when a value is read; edits, inserts and deletions kept apart until applied.
// Private to the cached dataset's own files.
#pragma once
#include "cacheddataset.h"

#include "platform/cp1252.h"

#include <QHash>
#include <algorithm>
#include <cstring>
#include <deque>
#include <string_view>

namespace data {

namespace cached {

// Engine type codes, as db::Column::sqlType reports them.
constexpr int kVarying = 448;
constexpr int kChar = 452;
constexpr int kDouble = 480;
constexpr int kFloat = 482;
constexpr int kLong = 496;
constexpr int kShort = 500;
constexpr int kTimestamp = 510;
constexpr int kDFloat = 530;
constexpr int kTime = 560;
constexpr int kDate = 570;
constexpr int kInt64 = 580;
constexpr int kBoolean = 32764;

// How a column's values are ordered by a client sort.
enum class KeyKind { Text, Integer, Real, Date, Time, Timestamp, Other };

inline KeyKind keyKindOf(const db::Column &c)
{
    switch (c.sqlType) {
    case kVarying:
    case kChar: return KeyKind::Text;
    case kShort:
    case kLong:
    case kInt64:
    case kBoolean: return KeyKind::Integer;
    case kFloat:
    case kDouble:
    case kDFloat: return KeyKind::Real;
    case kDate: return KeyKind::Date;
    case kTime: return KeyKind::Time;
    case kTimestamp: return KeyKind::Timestamp;
    default: return KeyKind::Other;
    }
}

constexpr int64_t kEngineDayZero = 2400001;      // Julian day of 17 Nov 1858, the engine's day 0
constexpr int64_t kTicksPerDay = 864000000;      // engine time unit: 1/10000 s

inline int64_t pow10(int n)
{
    int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// The server's comparison of charset NONE texts: bytes as unsigned, the shorter one padded with
// blanks, so trailing blanks never decide an order.
inline int padCompare(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    if (n) {
        const int r = std::memcmp(a.data(), b.data(), n);
        if (r)
            return r;
    }
    for (size_t i = n; i < a.size(); ++i) {
        const auto c = static_cast<unsigned char>(a[i]);
        if (c != ' ')
            return c < ' ' ? -1 : 1;
    }
    for (size_t i = n; i < b.size(); ++i) {
        const auto c = static_cast<unsigned char>(b[i]);
        if (c != ' ')
            return c < ' ' ? 1 : -1;
    }
    return 0;
}

inline bool rawNull(const unsigned char *row, const db::Column &c)
{
    int16_t n;
    std::memcpy(&n, row + c.nullOffset, 2);
    return n != 0;
}

inline std::string_view rawText(const unsigned char *row, const db::Column &c)
{
    const unsigned char *p = row + c.offset;
    if (c.sqlType == kVarying) {
        uint16_t len;
        std::memcpy(&len, p, 2);
        return {reinterpret_cast<const char *>(p + 2), len};
    }
    return {reinterpret_cast<const char *>(p), size_t(c.length)};
}

inline int64_t rawInteger(const unsigned char *row, const db::Column &c)
{
    const unsigned char *p = row + c.offset;
    switch (c.sqlType) {
    case kShort: { int16_t v; std::memcpy(&v, p, 2); return v; }
    case kLong: { int32_t v; std::memcpy(&v, p, 4); return v; }
    case kBoolean: return *p ? 1 : 0;
    default: { int64_t v; std::memcpy(&v, p, 8); return v; }
    }
}

// A value brought to the column's own scale, so edited rows sort among fetched ones.
inline int64_t scaledInteger(const db::Value &v, int scale)
{
    const db::Decimal d = v.kind() == db::Value::Kind::Double ? db::Decimal::fromDouble(v.toDouble(), scale)
                                                              : v.toDecimal();
    if (d.scale == scale)
        return d.mantissa;
    if (d.scale < scale)
        return d.mantissa * pow10(scale - d.scale);
    const int64_t p = pow10(d.scale - scale);
    return (d.mantissa + (d.mantissa < 0 ? -p / 2 : p / 2)) / p;
}

inline bool isEmptyValue(const db::Value &v)
{
    return v.isNull() || (v.kind() == db::Value::Kind::Text && v.toString().isEmpty());
}

inline QString fieldNotFound(const QString &dataset, const QString &field)
{
    return QStringLiteral("%1: campo '%2' não encontrado").arg(dataset, field);
}

} // namespace cached

using namespace cached;

struct CachedDataset::Impl {
    struct Change {
        enum Kind { Insert, Update, Delete } kind;
        std::vector<db::Value> values;   // the row as it is to be written (unused for Delete)
        uint64_t seq;                    // changes are sent in the order they were first made
    };
    // The rows of one column ordered by their text, for the text search when the current order
    // does not already follow that column.
    struct SearchIndex {
        bool built = false;
        bool orderIsSorted = false;
        std::vector<std::pair<std::string_view, int>> entries;   // key, position in the order
        std::deque<QByteArray> owned;
    };

    db::RowLayout layout;
    std::vector<KeyKind> kinds;
    std::vector<int> scales;
    QHash<QString, int> names;           // upper-case name -> first column of that name
    unsigned stride = 0;
    std::vector<unsigned char> rows;     // fetched rows, stride bytes each, in fetch order
    int fetched = 0;
    std::vector<int> blobSlot;           // per column: its place among the blob columns, or -1
    int blobCount = 0;
    std::vector<QByteArray> blobs;       // fetched * blobCount, read whole at fetch
    std::vector<std::vector<db::Value>> extra;               // rows added in the cache: id = fetched + i
    std::unordered_map<int, std::vector<db::Value>> stored;  // fetched rows whose applied change the buffer lacks
    std::unordered_map<int, Change> pending;
    uint64_t nextSeq = 0;
    std::vector<int> natural;            // statement order plus inserted rows (pending deletions included)
    std::vector<int> order;              // visible rows in the current order
    std::vector<db::Value> buffer;       // edit buffer
    int bufferId = -1;
    bool modified = false;
    mutable std::vector<SearchIndex> search;
    mutable bool anySearch = false;
    // Per column, the sort keys of the fetched rows, read out of the row buffers at the column's
    // first sort: the buffers of fetched rows never change, so the keys hold until the next load
    // (a row whose value is held decoded is asked for its value instead).
    struct ColumnKeys {
        std::vector<uint64_t> keys;
        std::vector<unsigned char> null;
    };
    std::vector<ColumnKeys> sortKeys;

    static std::unique_ptr<Impl> fetch(db::Connection &conn, const QString &sql);

    int columnCount() const { return layout.columnCount(); }
    const db::Column &column(int col) const { return layout.columns()[size_t(col)]; }
    const unsigned char *raw(int id) const { return rows.data() + size_t(id) * stride; }
    bool isRaw(int id) const
    {
        return id < fetched && (pending.empty() || pending.find(id) == pending.end())
            && (stored.empty() || stored.find(id) == stored.end());
    }
    bool visible(int id) const
    {
        if (pending.empty())
            return true;
        const auto it = pending.find(id);
        return it == pending.end() || it->second.kind != Change::Delete;
    }

    db::Value baseValue(int id, int col) const
    {
        if (!stored.empty()) {
            const auto it = stored.find(id);
            if (it != stored.end())
                return it->second[size_t(col)];
        }
        if (id < fetched) {
            const int slot = blobSlot[size_t(col)];
            if (slot >= 0) {
                if (rawNull(raw(id), column(col)))
                    return db::Value();
                return db::Value::blob(blobs[size_t(id) * size_t(blobCount) + size_t(slot)]);
            }
            return layout.value(raw(id), col);
        }
        return extra[size_t(id - fetched)][size_t(col)];
    }
    db::Value rowValue(int id, int col) const
    {
        if (!pending.empty()) {
            const auto it = pending.find(id);
            if (it != pending.end() && it->second.kind != Change::Delete)
                return it->second.values[size_t(col)];
        }
        return baseValue(id, col);
    }
    std::vector<db::Value> baseRow(int id) const
    {
        std::vector<db::Value> out(static_cast<size_t>(columnCount()));
        for (int c = 0; c < columnCount(); ++c)
            out[size_t(c)] = baseValue(id, c);
        return out;
    }
    std::vector<db::Value> rowValues(int id) const
    {
        if (!pending.empty()) {
            const auto it = pending.find(id);
            if (it != pending.end() && it->second.kind != Change::Delete)
                return it->second.values;
        }
        return baseRow(id);
    }

    // The Windows-1252 bytes the text search compares; a null reads as empty.
    std::string_view searchKey(int id, int col, std::deque<QByteArray> &owned) const
    {
        if (kinds[size_t(col)] == KeyKind::Text && isRaw(id)) {
            const unsigned char *r = raw(id);
            return rawNull(r, column(col)) ? std::string_view() : rawText(r, column(col));
        }
        const db::Value v = rowValue(id, col);
        if (v.isNull())
            return {};
        owned.push_back(v.kind() == db::Value::Kind::Blob ? v.toBytes() : platform::toCp1252(v.toString()));
        return {owned.back().constData(), size_t(owned.back().size())};
    }

    void sortOrder(int col);
    void rebuildOrder(int sortCol)
    {
        if (pending.empty()) {
            order = natural;
        } else {
            order.clear();
            order.reserve(natural.size());
            for (int id : natural)
                if (visible(id))
                    order.push_back(id);
        }
        if (sortCol >= 0)
            sortOrder(sortCol);
    }
    void invalidateSearch() const
    {
        if (anySearch)
            search.assign(size_t(columnCount()), SearchIndex());
        anySearch = false;
    }
    int positionOf(int id) const
    {
        const auto it = std::find(order.begin(), order.end(), id);
        return it == order.end() ? -1 : int(it - order.begin());
    }
};

} // namespace data
