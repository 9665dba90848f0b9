// The rows of a cached dataset: fetched rows kept side by side as the engine's raw row buffers and
// decoded only when a value is read; edits, inserts and deletions kept apart until applied.
#include "cacheddataset.h"

#include "ordering.h"

#include "platform/cp1252.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <limits>
#include <type_traits>
#include <cstring>
#include <deque>
#include <numeric>
#include <string_view>

namespace data {

namespace {

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

KeyKind keyKindOf(const db::Column &c)
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

int64_t pow10(int n)
{
    int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// The server's comparison of charset NONE texts: bytes as unsigned, the shorter one padded with
// blanks, so trailing blanks never decide an order.
int padCompare(std::string_view a, std::string_view b)
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

bool rawNull(const unsigned char *row, const db::Column &c)
{
    int16_t n;
    std::memcpy(&n, row + c.nullOffset, 2);
    return n != 0;
}

std::string_view rawText(const unsigned char *row, const db::Column &c)
{
    const unsigned char *p = row + c.offset;
    if (c.sqlType == kVarying) {
        uint16_t len;
        std::memcpy(&len, p, 2);
        return {reinterpret_cast<const char *>(p + 2), len};
    }
    return {reinterpret_cast<const char *>(p), size_t(c.length)};
}

int64_t rawInteger(const unsigned char *row, const db::Column &c)
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
int64_t scaledInteger(const db::Value &v, int scale)
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

bool isEmptyValue(const db::Value &v)
{
    return v.isNull() || (v.kind() == db::Value::Kind::Text && v.toString().isEmpty());
}

// Stable sort of row ids by one key each: the keys are read once, rows without a value come
// first in their present order.
template <typename K, typename Get, typename Less>
void sortByKey(std::vector<int> &order, Get get, Less less)
{
    struct Entry {
        K key;
        int id;
    };
    std::vector<Entry> keyed;
    keyed.reserve(order.size());
    size_t nulls = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        const int id = order[i];
        K k;
        if (get(id, k))
            keyed.push_back({k, id});
        else
            order[nulls++] = id;   // nulls <= i: only overwrites ids already read
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&](const Entry &a, const Entry &b) { return less(a.key, b.key); });
    for (const Entry &e : keyed)
        order[nulls++] = e.id;
}

// Numeric keys as unsigned integers in the same order, so a radix sort can order them.
inline uint32_t orderedBits(int32_t v) { return uint32_t(v) ^ 0x80000000u; }
inline uint64_t orderedBits(int64_t v) { return uint64_t(v) ^ 0x8000000000000000ull; }
inline uint64_t orderedBits(double v)
{
    uint64_t b;
    std::memcpy(&b, &v, 8);
    return (b & 0x8000000000000000ull) ? ~b : b | 0x8000000000000000ull;
}

// Stable sort of row ids by unsigned keys: rows without a value first in their present order,
// then a least-significant-digit radix sort (stable, linear), skipping digits all keys share.
template <typename U, typename Get, typename RowOf = std::nullptr_t>
void radixSortByKey(std::vector<int> &order, Get get, RowOf rowOf = nullptr)
{
    struct Entry {
        U key;
        int id;
    };
    constexpr int kBits = 11;
    constexpr unsigned kBuckets = 1u << kBits;
    constexpr int kPasses = (int(sizeof(U)) * 8 + kBits - 1) / kBits;
    std::vector<Entry> keyed;
    keyed.reserve(order.size());
    std::vector<uint32_t> hist(size_t(kPasses) * kBuckets, 0);
    size_t nulls = 0;
    U lowest = std::numeric_limits<U>::max();
    U highest = 0;
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < order.size(); ++i) {
        const int id = order[i];
        // Rows are hundreds of bytes apart: ask for the ones a few steps ahead while this one is read.
        if constexpr (!std::is_same_v<RowOf, std::nullptr_t>) {
            if (i + kAhead < order.size())
                __builtin_prefetch(rowOf(order[i + kAhead]));
        }
        U k;
        if (!get(id, k)) {
            order[nulls++] = id;   // nulls <= i: only overwrites ids already read
            continue;
        }
        keyed.push_back({k, id});
        lowest = std::min(lowest, k);
        highest = std::max(highest, k);
    }
    if (keyed.empty())
        return;
    // Keys that span a short range (expiry dates, small counts) take one counting pass.
    const U span = highest - lowest;
    if (span < U(1u << 17)) {
        std::vector<uint32_t> count(size_t(span) + 2, 0);
        for (const Entry &e : keyed)
            ++count[size_t(e.key - lowest) + 1];
        for (size_t b = 1; b < count.size(); ++b)
            count[b] += count[b - 1];
        std::vector<int> sorted(keyed.size());
        for (const Entry &e : keyed)
            sorted[count[size_t(e.key - lowest)]++] = e.id;
        std::copy(sorted.begin(), sorted.end(), order.begin() + std::ptrdiff_t(nulls));
        return;
    }
    for (const Entry &e : keyed)
        for (int p = 0; p < kPasses; ++p)
            ++hist[size_t(p) * kBuckets + unsigned((e.key >> (p * kBits)) & (kBuckets - 1))];
    std::vector<Entry> spare(keyed.size());
    for (int p = 0; p < kPasses && !keyed.empty(); ++p) {
        uint32_t *h = hist.data() + size_t(p) * kBuckets;
        if (h[unsigned((keyed[0].key >> (p * kBits)) & (kBuckets - 1))] == keyed.size())
            continue;
        uint32_t sum = 0;
        for (unsigned b = 0; b < kBuckets; ++b) {
            const uint32_t c = h[b];
            h[b] = sum;
            sum += c;
        }
        for (const Entry &e : keyed)
            spare[h[unsigned((e.key >> (p * kBits)) & (kBuckets - 1))]++] = e;
        keyed.swap(spare);
    }
    for (const Entry &e : keyed)
        order[nulls++] = e.id;
}

const QString kSavepoint = QStringLiteral("APPLY_ROW");

} // namespace

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

std::unique_ptr<CachedDataset::Impl> CachedDataset::Impl::fetch(db::Connection &conn, const QString &sql)
{
    auto d = std::make_unique<Impl>();
    db::Transaction tx(conn);
    db::Cursor cur = tx.open(sql);
    d->layout = cur.layout();
    d->stride = d->layout.bufferSize();
    const int n = d->layout.columnCount();
    d->blobSlot.assign(size_t(n), -1);
    std::vector<int> blobColumns;
    for (int c = 0; c < n; ++c) {
        const db::Column &col = d->column(c);
        d->kinds.push_back(keyKindOf(col));
        d->scales.push_back(col.scale < 0 ? -col.scale : 0);
        const QString key = col.name.toUpper();
        if (!d->names.contains(key))
            d->names.insert(key, c);
        if (col.isBlob()) {
            d->blobSlot[size_t(c)] = int(blobColumns.size());
            blobColumns.push_back(c);
        }
    }
    d->blobCount = int(blobColumns.size());
    d->rows.reserve(size_t(d->stride) * 256);
    while (cur.next()) {
        const unsigned char *r = cur.row();
        d->rows.insert(d->rows.end(), r, r + d->stride);
        for (int c : blobColumns)
            d->blobs.push_back(cur.blob(c));
        ++d->fetched;
    }
    cur.close();
    tx.commit();
    // Doubling leaves up to half the block unused; a large result is worth one more copy.
    if (d->rows.capacity() - d->rows.size() > d->rows.size() / 8)
        d->rows.shrink_to_fit();
    d->natural.resize(size_t(d->fetched));
    std::iota(d->natural.begin(), d->natural.end(), 0);
    d->order = d->natural;
    d->search.assign(size_t(n), SearchIndex());
    return d;
}

void CachedDataset::Impl::sortOrder(int col)
{
    const db::Column &c = column(col);
    const auto rowAhead = [&](int id) -> const void * { return id < fetched ? raw(id) + c.offset : nullptr; };
    switch (kinds[size_t(col)]) {
    case KeyKind::Text: {
        std::deque<QByteArray> owned;
        sortByKey<std::string_view>(
            order,
            [&](int id, std::string_view &k) {
                if (isRaw(id)) {
                    const unsigned char *r = raw(id);
                    if (rawNull(r, c))
                        return false;
                    k = rawText(r, c);
                    return true;
                }
                const db::Value v = rowValue(id, col);
                if (v.isNull())
                    return false;
                owned.push_back(platform::toCp1252(v.toString()));
                k = std::string_view(owned.back().constData(), size_t(owned.back().size()));
                return true;
            },
            [](std::string_view a, std::string_view b) { return padCompare(a, b) < 0; });
        break;
    }
    case KeyKind::Integer: {
        const int scale = scales[size_t(col)];
        radixSortByKey<uint64_t>(order, [&](int id, uint64_t &k) {
            if (isRaw(id)) {
                const unsigned char *r = raw(id);
                if (rawNull(r, c))
                    return false;
                k = orderedBits(rawInteger(r, c));
                return true;
            }
            const db::Value v = rowValue(id, col);
            if (v.isNull())
                return false;
            k = orderedBits(scaledInteger(v, scale));
            return true;
        }, rowAhead);
        break;
    }
    case KeyKind::Real:
        radixSortByKey<uint64_t>(order, [&](int id, uint64_t &k) {
            double x;
            if (isRaw(id)) {
                const unsigned char *r = raw(id);
                if (rawNull(r, c))
                    return false;
                if (c.sqlType == kFloat) {
                    float f;
                    std::memcpy(&f, r + c.offset, 4);
                    x = double(f);
                } else {
                    std::memcpy(&x, r + c.offset, 8);
                }
            } else {
                const db::Value v = rowValue(id, col);
                if (v.isNull())
                    return false;
                x = v.toDouble();
            }
            k = orderedBits(x + 0.0);   // -0 sorts with +0
            return true;
        }, rowAhead);
        break;
    case KeyKind::Date:
        radixSortByKey<uint32_t>(order, [&](int id, uint32_t &k) {
            int32_t day;
            if (isRaw(id)) {
                const unsigned char *r = raw(id);
                if (rawNull(r, c))
                    return false;
                std::memcpy(&day, r + c.offset, 4);
            } else {
                const QDate d = rowValue(id, col).toDate();
                if (!d.isValid())
                    return false;
                day = int32_t(d.toJulianDay() - kEngineDayZero);
            }
            k = orderedBits(day);
            return true;
        }, rowAhead);
        break;
    case KeyKind::Time:
    case KeyKind::Timestamp: {
        const bool stamp = kinds[size_t(col)] == KeyKind::Timestamp;
        radixSortByKey<uint64_t>(order, [&](int id, uint64_t &k) {
            int64_t t;
            if (isRaw(id)) {
                const unsigned char *r = raw(id);
                if (rawNull(r, c))
                    return false;
                uint32_t ticks;
                if (stamp) {
                    int32_t day;
                    std::memcpy(&day, r + c.offset, 4);
                    std::memcpy(&ticks, r + c.offset + 4, 4);
                    t = int64_t(day) * kTicksPerDay + ticks;
                } else {
                    std::memcpy(&ticks, r + c.offset, 4);
                    t = ticks;
                }
            } else {
                const db::Value v = rowValue(id, col);
                if (v.isNull())
                    return false;
                if (stamp) {
                    const QDateTime dt = v.toDateTime();
                    if (!dt.isValid())
                        return false;
                    t = (dt.date().toJulianDay() - kEngineDayZero) * kTicksPerDay
                        + int64_t(dt.time().msecsSinceStartOfDay()) * 10;
                } else {
                    t = int64_t(v.toTime().msecsSinceStartOfDay()) * 10;
                }
            }
            k = orderedBits(t);
            return true;
        }, rowAhead);
        break;
    }
    case KeyKind::Other: {
        std::deque<QByteArray> owned;
        sortByKey<std::string_view>(
            order,
            [&](int id, std::string_view &k) {
                const db::Value v = rowValue(id, col);
                if (v.isNull())
                    return false;
                owned.push_back(v.toBytes());
                k = std::string_view(owned.back().constData(), size_t(owned.back().size()));
                return true;
            },
            [](std::string_view a, std::string_view b) { return a < b; });
        break;
    }
    }
}

namespace {

// Finds rows whose columns hold given values; texts are compared on the raw bytes.
struct Matcher {
    struct Term {
        int col;
        db::Value value;
        QByteArray bytes;
        bool text;
    };
    std::vector<Term> terms;

    Matcher(const std::vector<std::pair<int, db::Value>> &wanted, const std::vector<KeyKind> &kinds)
    {
        for (const auto &[col, v] : wanted) {
            const bool text = kinds[size_t(col)] == KeyKind::Text && (v.isNull() || v.kind() == db::Value::Kind::Text);
            terms.push_back({col, v, text && !v.isNull() ? platform::toCp1252(v.toString()) : QByteArray(), text});
        }
    }
};

} // namespace

// ---- CachedDataset

CachedDataset::CachedDataset(QString name, db::Connection *connection, TableDef table)
    : d(std::make_unique<Impl>()), m_name(std::move(name)), m_conn(connection), m_table(std::move(table))
{
}

CachedDataset::~CachedDataset() = default;

void CachedDataset::checkOpen() const
{
    if (!isOpen())
        throw DatasetError(QStringLiteral("%1: operação não permitida com o conjunto de dados fechado").arg(m_name));
}

void CachedDataset::checkBrowseMode()
{
    if (m_state == State::Edit || m_state == State::Insert) {
        if (d->modified)
            post();
        else
            cancel();
    }
}

int CachedDataset::rowCount() const
{
    return int(d->order.size());
}

int CachedDataset::fieldCount() const
{
    return d->columnCount();
}

QStringList CachedDataset::fieldNames() const
{
    QStringList out;
    for (const db::Column &c : d->layout.columns())
        out << c.name;
    return out;
}

int CachedDataset::fieldIndex(const QString &name) const
{
    return d->names.value(name.toUpper(), -1);
}

namespace {
QString fieldNotFound(const QString &dataset, const QString &field)
{
    return QStringLiteral("%1: campo '%2' não encontrado").arg(dataset, field);
}
} // namespace

db::Value CachedDataset::value(const QString &column) const
{
    const int i = fieldIndex(column);
    if (i < 0)
        throw DatasetError(fieldNotFound(m_name, column));
    return value(i);
}

db::Value CachedDataset::value(int column) const
{
    if (column < 0 || column >= fieldCount())
        throw DatasetError(fieldNotFound(m_name, QString::number(column)));
    if (m_state == State::Edit || m_state == State::Insert)
        return d->buffer[size_t(column)];
    if (m_current < 0 || m_current >= rowCount())
        return db::Value();
    return d->rowValue(d->order[size_t(m_current)], column);
}

db::Value CachedDataset::valueAt(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= fieldCount())
        return db::Value();
    if (row == m_current && (m_state == State::Edit || m_state == State::Insert))
        return d->buffer[size_t(column)];
    return d->rowValue(d->order[size_t(row)], column);
}

void CachedDataset::setValue(const QString &column, const db::Value &value)
{
    if (m_state != State::Edit && m_state != State::Insert)
        throw DatasetError(QStringLiteral("%1: o conjunto de dados não está em modo de edição ou inclusão").arg(m_name));
    const int i = fieldIndex(column);
    if (i < 0)
        throw DatasetError(fieldNotFound(m_name, column));
    // A cleared text box leaves the field null, as the data-aware controls have always stored it.
    d->buffer[size_t(i)] = (value.kind() == db::Value::Kind::Text && value.toString().isEmpty()) ? db::Value() : value;
    d->modified = true;
    d->invalidateSearch();
    Q_EMIT rowChanged(m_current);
}

// ---- open, close, refresh

void CachedDataset::load()
{
    std::unique_ptr<Impl> fresh = Impl::fetch(*m_conn, m_commandText);
    d = std::move(fresh);
    const int sortCol = m_indexField.isEmpty() ? -1 : fieldIndex(m_indexField);
    if (sortCol >= 0)
        d->sortOrder(sortCol);
}

void CachedDataset::open()
{
    if (isOpen())
        close();
    load();
    m_state = State::Browse;
    // The search walks the statement's own order: checking that order now, while the rows are
    // fresh, keeps every keystroke a binary search.
    const int ordered = fieldIndex(StatementOrderColumn(m_commandText));
    if (ordered >= 0 && rowCount() > 0 && m_indexField.isEmpty() && d->kinds[size_t(ordered)] == KeyKind::Text)
        prepareSearch(ordered);
    m_current = rowCount() > 0 ? 0 : -1;
    m_bof = true;
    m_eof = rowCount() == 0;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
    if (afterOpen)
        afterOpen(*this);
    if (m_current >= 0 && afterScroll)
        afterScroll(*this);
}

void CachedDataset::close()
{
    if (!isOpen())
        return;
    d = std::make_unique<Impl>();
    m_state = State::Inactive;
    m_current = -1;
    m_bof = m_eof = true;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(-1);
}

void CachedDataset::refresh()
{
    checkOpen();
    checkBrowseMode();
    if (hasPendingChanges())
        throw DatasetError(
            QStringLiteral("%1: há alterações não aplicadas; aplique-as antes de recarregar os dados").arg(m_name));
    // Stay on the same record: by its key values when the table has a key, else by position.
    std::vector<std::pair<int, db::Value>> where;
    const int oldRow = m_current;
    if (oldRow >= 0) {
        const int id = d->order[size_t(oldRow)];
        for (const QString &k : m_table.keyColumns) {
            const int c = fieldIndex(k);
            if (c >= 0)
                where.push_back({c, d->rowValue(id, c)});
        }
    }
    load();
    int found = -1;
    if (!where.empty()) {
        const Matcher m(where, d->kinds);
        const auto matches = [&](int row) {
            const int id = d->order[size_t(row)];
            for (const auto &t : m.terms) {
                if (t.text && d->isRaw(id)) {
                    const unsigned char *r = d->raw(id);
                    const bool isNull = rawNull(r, d->column(t.col));
                    if (isNull != t.value.isNull())
                        return false;
                    if (!isNull && rawText(r, d->column(t.col)) != std::string_view(t.bytes.constData(), size_t(t.bytes.size())))
                        return false;
                } else if (d->rowValue(id, t.col) != t.value) {
                    return false;
                }
            }
            return true;
        };
        if (oldRow < rowCount() && matches(oldRow))
            found = oldRow;
        for (int r = 0; found < 0 && r < rowCount(); ++r)
            if (matches(r))
                found = r;
    }
    const int n = rowCount();
    m_current = n == 0 ? -1 : (found >= 0 ? found : std::clamp(oldRow, 0, n - 1));
    m_bof = m_eof = n == 0;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
    if (found < 0 && m_current >= 0 && afterScroll)
        afterScroll(*this);
}

// ---- moves

void CachedDataset::setCurrent(int row, bool scrolled)
{
    if (row == m_current)
        return;
    m_current = row;
    Q_EMIT currentChanged(row);
    if (scrolled && row >= 0 && afterScroll)
        afterScroll(*this);
}

void CachedDataset::first()
{
    checkOpen();
    checkBrowseMode();
    m_bof = true;
    m_eof = rowCount() == 0;
    if (rowCount() > 0)
        setCurrent(0, true);
}

void CachedDataset::last()
{
    checkOpen();
    checkBrowseMode();
    m_eof = true;
    m_bof = rowCount() == 0;
    if (rowCount() > 0)
        setCurrent(rowCount() - 1, true);
}

void CachedDataset::next()
{
    checkOpen();
    checkBrowseMode();
    if (m_current + 1 >= rowCount()) {
        m_eof = true;
        return;
    }
    m_bof = m_eof = false;
    setCurrent(m_current + 1, true);
}

void CachedDataset::prior()
{
    checkOpen();
    checkBrowseMode();
    if (m_current <= 0) {
        m_bof = true;
        return;
    }
    m_bof = m_eof = false;
    setCurrent(m_current - 1, true);
}

void CachedDataset::moveTo(int row)
{
    checkOpen();
    checkBrowseMode();
    if (rowCount() == 0)
        return;
    m_bof = m_eof = false;
    setCurrent(std::clamp(row, 0, rowCount() - 1), true);
}

bool CachedDataset::locate(const QString &column, const db::Value &value)
{
    checkOpen();
    const int col = fieldIndex(column);
    if (col < 0)
        throw DatasetError(fieldNotFound(m_name, column));
    checkBrowseMode();
    const bool text = d->kinds[size_t(col)] == KeyKind::Text && value.kind() == db::Value::Kind::Text;
    const QByteArray bytes = text ? platform::toCp1252(value.toString()) : QByteArray();
    const std::string_view wanted(bytes.constData(), size_t(bytes.size()));
    for (int row = 0; row < rowCount(); ++row) {
        const int id = d->order[size_t(row)];
        bool hit;
        if (text && d->isRaw(id)) {
            const unsigned char *r = d->raw(id);
            hit = !rawNull(r, d->column(col)) && rawText(r, d->column(col)) == wanted;
        } else {
            hit = d->rowValue(id, col) == value;
        }
        if (hit) {
            m_bof = m_eof = false;
            setCurrent(row, true);
            return true;
        }
    }
    return false;
}

// ---- editing

void CachedDataset::insert()
{
    checkOpen();
    checkBrowseMode();
    if (beforeInsert)
        beforeInsert(*this);
    const int id = d->fetched + int(d->extra.size());
    d->extra.emplace_back(size_t(fieldCount()));
    const int pos = m_current >= 0 ? m_current : 0;
    if (pos < rowCount()) {
        const int before = d->order[size_t(pos)];
        d->natural.insert(std::find(d->natural.begin(), d->natural.end(), before), id);
    } else {
        d->natural.push_back(id);
    }
    d->order.insert(d->order.begin() + pos, id);
    d->buffer.assign(size_t(fieldCount()), db::Value());
    d->bufferId = id;
    d->modified = false;
    d->invalidateSearch();
    m_state = State::Insert;
    m_current = pos;
    m_bof = m_eof = false;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
    if (afterInsert)
        afterInsert(*this);
    if (afterScroll)
        afterScroll(*this);
}

void CachedDataset::edit()
{
    checkOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    // Typing into an empty dataset adds its first row.
    if (rowCount() == 0) {
        insert();
        return;
    }
    const int id = d->order[size_t(m_current)];
    d->buffer = d->rowValues(id);
    d->bufferId = id;
    d->modified = false;
    m_state = State::Edit;
}

void CachedDataset::post()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    for (const QString &name : m_table.requiredColumns) {
        const int c = fieldIndex(name);
        if (c >= 0 && isEmptyValue(d->buffer[size_t(c)]))
            throw DatasetError(QStringLiteral("O campo '%1' deve ter um valor").arg(d->column(c).name));
    }
    const int id = d->bufferId;
    auto it = d->pending.find(id);
    if (m_state == State::Insert) {
        d->pending[id] = Impl::Change{Impl::Change::Insert, std::move(d->buffer), d->nextSeq++};
    } else if (it != d->pending.end()) {
        it->second.values = std::move(d->buffer);
        if (it->second.kind == Impl::Change::Update && it->second.values == d->baseRow(id))
            d->pending.erase(it);
    } else if (d->buffer != d->baseRow(id)) {
        d->pending[id] = Impl::Change{Impl::Change::Update, std::move(d->buffer), d->nextSeq++};
    }
    d->buffer.clear();
    d->bufferId = -1;
    d->modified = false;
    m_state = State::Browse;
    d->invalidateSearch();
    const int sortCol = m_indexField.isEmpty() ? -1 : fieldIndex(m_indexField);
    if (sortCol >= 0) {
        d->rebuildOrder(sortCol);
        m_current = d->positionOf(id);
        Q_EMIT rowsReset();
        Q_EMIT currentChanged(m_current);
    } else {
        Q_EMIT rowChanged(m_current);
    }
    if (afterPost)
        afterPost(*this);
}

void CachedDataset::cancel()
{
    if (m_state == State::Edit) {
        d->buffer.clear();
        d->bufferId = -1;
        d->modified = false;
        m_state = State::Browse;
        d->invalidateSearch();
        Q_EMIT rowChanged(m_current);
        if (afterCancel)
            afterCancel(*this);
        return;
    }
    if (m_state != State::Insert)
        return;
    const int id = d->bufferId;
    d->order.erase(d->order.begin() + m_current);
    d->natural.erase(std::find(d->natural.begin(), d->natural.end(), id));
    if (id == d->fetched + int(d->extra.size()) - 1)
        d->extra.pop_back();
    d->buffer.clear();
    d->bufferId = -1;
    d->modified = false;
    d->invalidateSearch();
    m_state = State::Browse;
    const int n = rowCount();
    m_current = n == 0 ? -1 : std::min(m_current, n - 1);
    m_bof = m_eof = n == 0;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
    if (afterCancel)
        afterCancel(*this);
    if (m_current >= 0 && afterScroll)
        afterScroll(*this);
}

void CachedDataset::remove()
{
    checkOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (rowCount() == 0)
        throw DatasetError(QStringLiteral("%1: operação não permitida com o conjunto de dados vazio").arg(m_name));
    if (beforeDelete)
        beforeDelete(*this);
    if (m_state == State::Edit) {
        // The deletion is of the row as stored, not of the edit in progress.
        d->buffer.clear();
        d->bufferId = -1;
        d->modified = false;
        m_state = State::Browse;
    }
    const int id = d->order[size_t(m_current)];
    const auto it = d->pending.find(id);
    if (it != d->pending.end() && it->second.kind == Impl::Change::Insert) {
        // Never sent: it just goes away.
        d->pending.erase(it);
        d->natural.erase(std::find(d->natural.begin(), d->natural.end(), id));
        d->extra[size_t(id - d->fetched)].clear();
    } else {
        d->pending[id] = Impl::Change{Impl::Change::Delete, {}, d->nextSeq++};
    }
    d->order.erase(d->order.begin() + m_current);
    d->invalidateSearch();
    const int n = rowCount();
    m_current = n == 0 ? -1 : std::min(m_current, n - 1);
    m_bof = m_eof = n == 0;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
    if (afterDelete)
        afterDelete(*this);
    if (m_current >= 0 && afterScroll)
        afterScroll(*this);
}

bool CachedDataset::hasPendingChanges() const
{
    return !d->pending.empty();
}

// ---- sending changes

std::vector<ApplyError> CachedDataset::applyUpdates(OnRefusal mode)
{
    checkOpen();
    checkBrowseMode();
    if (d->pending.empty())
        return {};
    if (m_table.name.isEmpty())
        throw DatasetError(QStringLiteral("%1: não há tabela para gravar as alterações").arg(m_name));

    // Columns written: those of the table (first of each name), never a repeated join column.
    std::vector<int> writable;
    if (m_table.writableColumns.isEmpty()) {
        QSet<QString> seen;
        for (int c = 0; c < fieldCount(); ++c) {
            const QString key = d->column(c).name.toUpper();
            if (!seen.contains(key)) {
                seen.insert(key);
                writable.push_back(c);
            }
        }
    } else {
        for (const QString &name : m_table.writableColumns) {
            const int c = fieldIndex(name);
            if (c < 0)
                throw DatasetError(fieldNotFound(m_name, name));
            writable.push_back(c);
        }
    }
    // Columns that find the row: the key, or every plain column of a table that has none.
    std::vector<int> locator;
    for (const QString &name : m_table.keyColumns) {
        const int c = fieldIndex(name);
        if (c < 0)
            throw DatasetError(fieldNotFound(m_name, name));
        locator.push_back(c);
    }
    if (m_table.keyColumns.isEmpty())
        for (int c : writable)
            if (!d->column(c).isBlob())
                locator.push_back(c);

    std::vector<std::pair<uint64_t, int>> sequence;
    for (const auto &[id, change] : d->pending)
        sequence.push_back({change.seq, id});
    std::sort(sequence.begin(), sequence.end());

    const auto whereClause = [&](const std::vector<db::Value> &old, std::vector<db::Value> &params) {
        QStringList terms;
        for (int c : locator) {
            const db::Value &v = old[size_t(c)];
            if (v.isNull()) {
                terms << d->column(c).name + QStringLiteral(" is null");
            } else {
                terms << d->column(c).name + QStringLiteral(" = ?");
                params.push_back(v);
            }
        }
        return terms.join(QStringLiteral(" and "));
    };

    db::Transaction tx(*m_conn);
    std::vector<ApplyError> errors;
    std::vector<int> accepted;
    for (const auto &[seq, id] : sequence) {
        const Impl::Change &change = d->pending.at(id);
        QString sql;
        std::vector<db::Value> params;
        if (change.kind == Impl::Change::Insert) {
            QStringList cols, marks;
            for (int c : writable) {
                cols << d->column(c).name;
                marks << QStringLiteral("?");
                params.push_back(change.values[size_t(c)]);
            }
            sql = QStringLiteral("insert into %1 (%2) values (%3)")
                      .arg(m_table.name, cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
        } else {
            const std::vector<db::Value> old = d->baseRow(id);
            if (change.kind == Impl::Change::Update) {
                QStringList sets;
                for (int c : writable) {
                    if (change.values[size_t(c)] != old[size_t(c)]) {
                        sets << d->column(c).name + QStringLiteral(" = ?");
                        params.push_back(change.values[size_t(c)]);
                    }
                }
                if (!sets.isEmpty()) {
                    const QString where = whereClause(old, params);
                    sql = QStringLiteral("update %1 set %2").arg(m_table.name, sets.join(QStringLiteral(", ")));
                    if (!where.isEmpty())
                        sql += QStringLiteral(" where ") + where;
                }
            } else {
                const QString where = whereClause(old, params);
                sql = QStringLiteral("delete from %1").arg(m_table.name);
                if (!where.isEmpty())
                    sql += QStringLiteral(" where ") + where;
            }
        }
        if (sql.isEmpty()) {   // an update that changes no column of the table
            accepted.push_back(id);
            continue;
        }
        if (mode == OnRefusal::Skip)
            tx.execute(QStringLiteral("savepoint ") + kSavepoint);
        try {
            // A row that another workstation removed or re-keyed meanwhile is not there to change.
            if (tx.execute(sql, params) == 0 && change.kind != Impl::Change::Insert)
                throw db::DbError(kRowVanishedMessage);
        } catch (const db::DbError &e) {
            if (e.isConnectionLost())
                throw;
            errors.push_back({e.message(), sql});
            if (mode == OnRefusal::Stop) {
                tx.rollback();
                return errors;
            }
            tx.execute(QStringLiteral("rollback to savepoint ") + kSavepoint);
            continue;
        }
        if (mode == OnRefusal::Skip)
            tx.execute(QStringLiteral("release savepoint ") + kSavepoint + QStringLiteral(" only"));
        accepted.push_back(id);
    }
    tx.commit();

    // What the server took is now what the cache holds as stored.
    for (int id : accepted) {
        auto it = d->pending.find(id);
        Impl::Change &change = it->second;
        switch (change.kind) {
        case Impl::Change::Insert:
        case Impl::Change::Update:
            if (id < d->fetched)
                d->stored[id] = std::move(change.values);
            else
                d->extra[size_t(id - d->fetched)] = std::move(change.values);
            break;
        case Impl::Change::Delete:
            d->natural.erase(std::find(d->natural.begin(), d->natural.end(), id));
            if (id >= d->fetched)
                d->extra[size_t(id - d->fetched)].clear();
            break;
        }
        d->pending.erase(it);
    }
    return errors;
}

void CachedDataset::cancelUpdates()
{
    checkOpen();
    if (m_state == State::Edit || m_state == State::Insert) {
        if (m_state == State::Insert) {
            d->order.erase(d->order.begin() + m_current);
            d->natural.erase(std::find(d->natural.begin(), d->natural.end(), d->bufferId));
        }
        d->buffer.clear();
        d->bufferId = -1;
        d->modified = false;
        m_state = State::Browse;
    }
    const int oldId = m_current >= 0 && m_current < rowCount() ? d->order[size_t(m_current)] : -1;
    for (const auto &[id, change] : d->pending) {
        if (change.kind == Impl::Change::Insert) {
            d->natural.erase(std::find(d->natural.begin(), d->natural.end(), id));
            d->extra[size_t(id - d->fetched)].clear();
        }
    }
    d->pending.clear();
    d->invalidateSearch();
    d->rebuildOrder(m_indexField.isEmpty() ? -1 : fieldIndex(m_indexField));
    const int n = rowCount();
    const int pos = oldId >= 0 ? d->positionOf(oldId) : -1;
    m_current = n == 0 ? -1 : (pos >= 0 ? pos : std::clamp(m_current, 0, n - 1));
    m_bof = m_eof = n == 0;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
    if (pos < 0 && m_current >= 0 && afterScroll)
        afterScroll(*this);
}

// ---- client order and text search

void CachedDataset::setIndexFieldNames(const QString &column)
{
    if (!isOpen()) {
        m_indexField = column;
        return;
    }
    const int col = column.isEmpty() ? -1 : fieldIndex(column);
    if (!column.isEmpty() && col < 0)
        throw DatasetError(fieldNotFound(m_name, column));
    checkBrowseMode();
    m_indexField = column;
    const int id = m_current >= 0 ? d->order[size_t(m_current)] : -1;
    d->rebuildOrder(col);
    d->invalidateSearch();
    m_current = id >= 0 ? d->positionOf(id) : m_current;
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(m_current);
}

void CachedDataset::prepareSearch(int col) const
{
    const int n = rowCount();
    if (d->search.size() != size_t(fieldCount()))
        d->search.assign(size_t(fieldCount()), Impl::SearchIndex());
    Impl::SearchIndex &idx = d->search[size_t(col)];
    if (!idx.built) {
        idx.built = true;
        d->anySearch = true;
        // A client sort on a text column orders exactly as the search compares.
        const bool sortedHere = d->kinds[size_t(col)] == KeyKind::Text && fieldIndex(m_indexField) == col
                             && !m_indexField.isEmpty();
        bool sorted = sortedHere;
        if (!sorted) {
            // The statement's own order usually follows the searched column: one pass tells.
            sorted = true;
            std::deque<QByteArray> scratch;
            std::string_view prev = d->searchKey(d->order[0], col, scratch);
            for (int p = 1; p < n && sorted; ++p) {
                const std::string_view cur = d->searchKey(d->order[size_t(p)], col, scratch);
                sorted = padCompare(prev, cur) <= 0;
                prev = cur;
                if (scratch.size() > 2)
                    scratch.pop_front();
            }
        }
        idx.orderIsSorted = sorted;
        if (!sorted) {
            idx.entries.reserve(size_t(n));
            for (int p = 0; p < n; ++p)
                idx.entries.push_back({d->searchKey(d->order[size_t(p)], col, idx.owned), p});
            std::stable_sort(idx.entries.begin(), idx.entries.end(),
                             [](const auto &a, const auto &b) { return padCompare(a.first, b.first) < 0; });
        }
    }
}

int CachedDataset::nearestRow(const QString &column, const QString &text) const
{
    if (!isOpen() || rowCount() == 0)
        return -1;
    const int col = fieldIndex(column);
    if (col < 0)
        throw DatasetError(fieldNotFound(m_name, column));
    const QByteArray wantedBytes = platform::toCp1252(text);
    const std::string_view wanted(wantedBytes.constData(), size_t(wantedBytes.size()));
    const int n = rowCount();
    prepareSearch(col);
    const Impl::SearchIndex &idx = d->search[size_t(col)];

    if (idx.orderIsSorted) {
        int lo = 0, hi = n;
        std::deque<QByteArray> scratch;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            scratch.clear();
            if (padCompare(d->searchKey(d->order[size_t(mid)], col, scratch), wanted) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo < n ? lo : n - 1;
    }
    const auto it = std::lower_bound(idx.entries.begin(), idx.entries.end(), wanted,
                                     [](const auto &e, std::string_view w) { return padCompare(e.first, w) < 0; });
    return it == idx.entries.end() ? n - 1 : it->second;
}

} // namespace data
