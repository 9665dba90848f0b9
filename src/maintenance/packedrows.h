// Rows of values held as bytes one after another, for the maintenance operations that read whole
// tables: a value costs its own bytes and one byte of kind instead of an object and a string of
// its own, so a register of a hundred thousand rows stays a few megabytes.
#pragma once
#include "db/value.h"

#include <memory>
#include <string>
#include <vector>

namespace db {
class Cursor;
}

namespace maintenance {

class PackedRows {
public:
    explicit PackedRows(int columns) : m_columns(columns) {}

    int size() const { return int(m_start.size()); }
    int columns() const { return m_columns; }

    // Adds a row of `columns()` values; returns its number.
    int append(const db::Value *values);
    // The cursor's current row, its columns taken in the order of `from` (column numbers of the cursor).
    int append(const db::Cursor &cursor, const std::vector<int> &from);
    // Gives row `row` new values; the old bytes are dropped when enough of them have gathered.
    void replace(int row, const db::Value *values);

    db::Value at(int row, int column) const;
    void read(int row, db::Value *into) const;   // the whole row

private:
    const char *skipTo(int row, int column) const;
    const char *store(const std::string &bytes);
    void compact();

    int m_columns;
    // Rows are packed into blocks allocated as they fill, so the bytes held stay close to the
    // bytes used (a single growing buffer would hold up to twice as much while it grows).
    std::vector<std::unique_ptr<char[]>> m_blocks;
    size_t m_blockFree = 0;
    char *m_next = nullptr;
    std::vector<const char *> m_start;
    size_t m_used = 0;
    size_t m_dropped = 0;
    std::string m_scratch;
};

} // namespace maintenance
