// Loading a cached dataset's rows: the statement's result copied as raw row buffers, blobs read whole.
#include "cachedrows.h"

#include <numeric>

namespace data {

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

} // namespace data
