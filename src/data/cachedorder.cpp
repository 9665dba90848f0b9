// Ordering and searching a cached dataset: the client sort of one column (raw keys, radix sort for
// numbers and dates), the text search that lands on the nearest row, and locate.
#include "cacheddataset.h"

#include "cachedrows.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <type_traits>

namespace data {

namespace {

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

// Stable least-significant-digit radix sort of entries by their 64-bit key, skipping digits all
// keys share; a short run goes to std::stable_sort.
template <typename E>
void radixByKey(E *first, size_t n, std::vector<E> &spare)
{
    if (n < 2)
        return;
    if (n < 256) {
        std::stable_sort(first, first + n, [](const E &a, const E &b) { return a.key < b.key; });
        return;
    }
    constexpr int kBits = 11;
    constexpr unsigned kBuckets = 1u << kBits;
    constexpr int kPasses = (64 + kBits - 1) / kBits;
    std::vector<uint32_t> hist(size_t(kPasses) * kBuckets, 0);
    for (size_t i = 0; i < n; ++i)
        for (int p = 0; p < kPasses; ++p)
            ++hist[size_t(p) * kBuckets + unsigned((first[i].key >> (p * kBits)) & (kBuckets - 1))];
    spare.resize(std::max(spare.size(), n));
    E *from = first;
    E *to = spare.data();
    for (int p = 0; p < kPasses; ++p) {
        uint32_t *h = hist.data() + size_t(p) * kBuckets;
        if (h[unsigned((from[0].key >> (p * kBits)) & (kBuckets - 1))] == n)
            continue;
        uint32_t sum = 0;
        for (unsigned b = 0; b < kBuckets; ++b) {
            const uint32_t c = h[b];
            h[b] = sum;
            sum += c;
        }
        for (size_t i = 0; i < n; ++i)
            to[h[unsigned((from[i].key >> (p * kBits)) & (kBuckets - 1))]++] = from[i];
        std::swap(from, to);
    }
    if (from != first)
        std::copy(from, from + n, first);
}

// A text's eight bytes from `from` on as one number that orders as the bytes do, blanks past
// its end: the server's blank-padded comparison, eight bytes at a time.
inline uint64_t textChunk(const char *p, uint32_t len, size_t from)
{
    unsigned char b[8];
    if (from + 8 <= len) {
        std::memcpy(b, p + from, 8);
    } else {
        for (size_t i = 0; i < 8; ++i)
            b[i] = from + i < len ? static_cast<unsigned char>(p[from + i]) : static_cast<unsigned char>(' ');
    }
    uint64_t k;
    std::memcpy(&k, b, 8);
    return __builtin_bswap64(k);
}

struct TextEntry {
    uint64_t key;    // the eight bytes the entries are ordered by at this depth
    uint32_t off;    // the text in the sort's own copy of the column
    uint32_t len;
    int id;
};

// Entries ordered by their first `depth` + 8 bytes: each run that ties there is ordered by its
// next eight bytes, until the texts differ or end.
void resolveTextTies(TextEntry *first, size_t n, size_t depth, const char *texts, std::vector<TextEntry> &spare)
{
    size_t i = 0;
    while (i < n) {
        size_t j = i + 1;
        while (j < n && first[j].key == first[i].key)
            ++j;
        if (j - i > 1) {
            const size_t next = depth + 8;
            // Nothing left to order when every text of the run is the first one (a product's many
            // lots): one pass tells, instead of eight bytes at a time to their ends.
            const auto sameAsFirst = [&](const TextEntry &e) {
                const TextEntry &f = first[i];
                if (e.len == f.len)
                    return std::memcmp(texts + e.off, texts + f.off, e.len) == 0;
                const TextEntry &shorter = e.len < f.len ? e : f;
                const TextEntry &longer = e.len < f.len ? f : e;
                if (std::memcmp(texts + e.off, texts + f.off, shorter.len) != 0)
                    return false;
                for (uint32_t b = shorter.len; b < longer.len; ++b)
                    if (texts[longer.off + b] != ' ')
                        return false;
                return true;
            };
            bool longer = false;
            for (size_t k = i; k < j && !longer; ++k)
                longer = first[k].len > next;
            if (longer && !std::all_of(first + i + 1, first + j, sameAsFirst)) {
                for (size_t k = i; k < j; ++k)
                    first[k].key = textChunk(texts + first[k].off, first[k].len, next);
                radixByKey(first + i, j - i, spare);
                resolveTextTies(first + i, j - i, next, texts, spare);
            }
        }
        i = j;
    }
}

} // namespace

// Stable sort of row ids by text keys as the server compares them (bytes unsigned, blank
// padded), rows without a value first in their present order. The texts are copied side by side
// once, so the sort reads its own compact copy instead of hundreds of bytes apart in the rows, and
// it orders eight-byte prefixes as numbers, reading further only where they tie. The entries and
// their texts are left in `sorted` for a caller that keeps them.
struct SortedTexts {
    std::vector<TextEntry> entries;
    QByteArray texts;
};

template <typename Get, typename RowOf>
static void textSortByKey(std::vector<int> &order, Get get, RowOf rowOf, SortedTexts *sorted = nullptr)
{
    SortedTexts local;
    SortedTexts &out = sorted ? *sorted : local;
    QByteArray &texts = out.texts;
    texts.reserve(qsizetype(order.size()) * 24);
    std::vector<TextEntry> &keyed = out.entries;
    keyed.reserve(order.size());
    size_t nulls = 0;
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < order.size(); ++i) {
        const int id = order[i];
        if (i + kAhead < order.size()) {
            if (const void *ahead = rowOf(order[i + kAhead]))
                __builtin_prefetch(ahead);
        }
        std::string_view t;
        if (!get(id, t)) {
            order[nulls++] = id;   // nulls <= i: only overwrites ids already read
            continue;
        }
        const auto off = uint32_t(texts.size());
        texts.append(t.data(), qsizetype(t.size()));
        keyed.push_back({textChunk(t.data(), uint32_t(t.size()), 0), off, uint32_t(t.size()), id});
    }
    std::vector<TextEntry> spare;
    radixByKey(keyed.data(), keyed.size(), spare);
    resolveTextTies(keyed.data(), keyed.size(), 0, texts.constData(), spare);
    for (const TextEntry &e : keyed)
        order[nulls++] = e.id;
}

void CachedDataset::Impl::sortOrder(int col)
{
    const db::Column &c = column(col);
    const auto rowAhead = [&](int id) -> const void * { return id < fetched ? raw(id) + c.offset : nullptr; };
    // The keys of the column's fetched rows, read out of the row buffers once (see sortKeys).
    const auto fetchedKeys = [&](auto rawKey) -> const ColumnKeys & {
        if (sortKeys.size() != size_t(columnCount()))
            sortKeys.resize(size_t(columnCount()));
        ColumnKeys &ck = sortKeys[size_t(col)];
        if (ck.null.size() == size_t(fetched))
            return ck;
        ck.keys.assign(size_t(fetched), 0);
        ck.null.assign(size_t(fetched), 0);
        for (int id = 0; id < fetched; ++id) {
            if (id + 8 < fetched)
                __builtin_prefetch(raw(id + 8) + c.offset);
            const unsigned char *r = raw(id);
            if (rawNull(r, c))
                ck.null[size_t(id)] = 1;
            else
                ck.keys[size_t(id)] = rawKey(r);
        }
        return ck;
    };
    // A radix sort by the cached keys of fetched rows and the decoded value of the others.
    const auto sortNumeric = [&](auto unsignedZero, auto rawKey, auto decodedKey) {
        using U = decltype(unsignedZero);
        const ColumnKeys &ck = fetchedKeys(rawKey);
        radixSortByKey<U>(order, [&](int id, U &k) {
            if (isRaw(id)) {
                if (ck.null[size_t(id)])
                    return false;
                k = U(ck.keys[size_t(id)]);
                return true;
            }
            return decodedKey(id, k);
        });
    };
    switch (kinds[size_t(col)]) {
    case KeyKind::Text: {
        std::deque<QByteArray> owned;
        textSortByKey(
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
            rowAhead);
        break;
    }
    case KeyKind::Integer: {
        const int scale = scales[size_t(col)];
        sortNumeric(
            uint64_t(0), [&](const unsigned char *r) { return orderedBits(rawInteger(r, c)); },
            [&](int id, uint64_t &k) {
                const db::Value v = rowValue(id, col);
                if (v.isNull())
                    return false;
                k = orderedBits(scaledInteger(v, scale));
                return true;
            });
        break;
    }
    case KeyKind::Real:
        sortNumeric(
            uint64_t(0),
            [&](const unsigned char *r) {
                double x;
                if (c.sqlType == kFloat) {
                    float f;
                    std::memcpy(&f, r + c.offset, 4);
                    x = double(f);
                } else {
                    std::memcpy(&x, r + c.offset, 8);
                }
                return orderedBits(x + 0.0);   // -0 sorts with +0
            },
            [&](int id, uint64_t &k) {
                const db::Value v = rowValue(id, col);
                if (v.isNull())
                    return false;
                k = orderedBits(v.toDouble() + 0.0);
                return true;
            });
        break;
    case KeyKind::Date:
        sortNumeric(
            uint32_t(0),
            [&](const unsigned char *r) {
                int32_t day;
                std::memcpy(&day, r + c.offset, 4);
                return uint64_t(orderedBits(day));
            },
            [&](int id, uint32_t &k) {
                const QDate d = rowValue(id, col).toDate();
                if (!d.isValid())
                    return false;
                k = orderedBits(int32_t(d.toJulianDay() - kEngineDayZero));
                return true;
            });
        break;
    case KeyKind::Time:
    case KeyKind::Timestamp: {
        const bool stamp = kinds[size_t(col)] == KeyKind::Timestamp;
        sortNumeric(
            uint64_t(0),
            [&](const unsigned char *r) {
                uint32_t ticks;
                int64_t t;
                if (stamp) {
                    int32_t day;
                    std::memcpy(&day, r + c.offset, 4);
                    std::memcpy(&ticks, r + c.offset + 4, 4);
                    t = int64_t(day) * kTicksPerDay + ticks;
                } else {
                    std::memcpy(&ticks, r + c.offset, 4);
                    t = ticks;
                }
                return orderedBits(t);
            },
            [&](int id, uint64_t &k) {
                const db::Value v = rowValue(id, col);
                if (v.isNull())
                    return false;
                int64_t t;
                if (stamp) {
                    const QDateTime dt = v.toDateTime();
                    if (!dt.isValid())
                        return false;
                    t = (dt.date().toJulianDay() - kEngineDayZero) * kTicksPerDay
                        + int64_t(dt.time().msecsSinceStartOfDay()) * 10;
                } else {
                    t = int64_t(v.toTime().msecsSinceStartOfDay()) * 10;
                }
                k = orderedBits(t);
                return true;
            });
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
            // Positions in the order sorted by their text (a null as empty), as the column's sort
            // orders rows; the entries point into the sort's compact copy of the texts.
            std::vector<int> positions(static_cast<size_t>(n));
            for (int p = 0; p < n; ++p)
                positions[size_t(p)] = p;
            std::deque<QByteArray> scratch;
            const db::Column &c = d->column(col);
            const bool text = d->kinds[size_t(col)] == KeyKind::Text;
            SortedTexts sortedTexts;
            textSortByKey(
                positions,
                [&](int p, std::string_view &k) {
                    k = d->searchKey(d->order[size_t(p)], col, scratch);
                    return true;
                },
                [&](int p) -> const void * {
                    const int id = d->order[size_t(p)];
                    return text && id < d->fetched ? d->raw(id) + c.offset : nullptr;
                },
                &sortedTexts);
            const char *texts = sortedTexts.texts.constData();
            idx.entries.reserve(size_t(n));
            for (const TextEntry &e : sortedTexts.entries)
                idx.entries.push_back({std::string_view(texts + e.off, e.len), e.id});
            idx.owned.push_back(std::move(sortedTexts.texts));
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
