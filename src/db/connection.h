// Firebird attachments, transactions, statements and result cursors, wrapped with RAII.
#pragma once
#include "dberror.h"
#include "value.h"

#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

namespace Firebird {
class IAttachment;
class ITransaction;
class IStatement;
class IResultSet;
class IMessageMetadata;
}

namespace db {

// Where to attach: an embedded file, or "host:/path" on a server.
struct Target {
    QString location;
    bool embedded = true;
    bool valid = true;   // false: refused before any attempt (e.g. an empty host name)
};

// Column of a result: its name and how it is laid out in a fetched row.
struct Column {
    QString name;        // alias when the statement gives one
    int sqlType = 0;     // SQL_VARYING, SQL_TEXT, SQL_SHORT, SQL_LONG, SQL_INT64, SQL_DOUBLE, ...
    int subType = 0;
    int scale = 0;       // negative for decimals, as the engine reports it
    unsigned length = 0; // bytes in the row buffer (for text: the declared width)
    unsigned offset = 0;
    unsigned nullOffset = 0;
    bool isText() const;
    bool isBlob() const;
};

// The layout of one fetched row; rows are kept as raw buffers and decoded on demand.
class RowLayout {
public:
    const std::vector<Column> &columns() const { return m_columns; }
    int columnCount() const { return int(m_columns.size()); }
    int indexOf(const QString &name) const;   // -1 when absent; names compared in upper case
    unsigned bufferSize() const { return m_size; }

    bool isNull(const unsigned char *row, int col) const;
    // Any column but blobs (their ids mean nothing outside the transaction): see Cursor::blob.
    Value value(const unsigned char *row, int col) const;
    // The raw Windows-1252 bytes of a text column (CHAR values keep their filling blanks).
    QByteArray textBytes(const unsigned char *row, int col) const;
    // The same bytes where they lie in the row, valid until the next row is fetched; empty for a
    // null or a column that is not text.
    std::string_view textView(const unsigned char *row, int col) const;
    // A text column decoded (what value() gives as text), without making a Value.
    QString text(const unsigned char *row, int col) const;

    void setColumns(std::vector<Column> cols, unsigned size) { m_columns = std::move(cols); m_size = size; }

private:
    std::vector<Column> m_columns;
    unsigned m_size = 0;
};

class Transaction;

// One statement's rows, read front to back.
class Cursor {
public:
    Cursor(Cursor &&) noexcept;
    Cursor &operator=(Cursor &&) noexcept;
    ~Cursor();

    const RowLayout &layout() const { return m_layout; }
    bool next();                               // false at the end
    const unsigned char *row() const { return m_buffer.data(); }
    Value value(int col) const;                // blobs are read whole
    Value value(const QString &name) const;
    // Straight from the fetched row, for long reads: whether the column is null, and a text
    // column's bytes (valid until the next row) or its decoded text.
    bool isNull(int col) const { return m_layout.isNull(row(), col); }
    std::string_view textView(int col) const { return m_layout.textView(row(), col); }
    QString text(int col) const { return m_layout.text(row(), col); }
    QByteArray blob(int col) const;
    void close();

private:
    friend class Transaction;
    // ownsStatement false: a statement the connection keeps prepared, left to it at close.
    Cursor(Transaction *tx, Firebird::IStatement *stmt, Firebird::IResultSet *rs, Firebird::IMessageMetadata *meta,
           bool ownsStatement = true);
    bool fetchOne(unsigned char *into);
    Transaction *m_tx = nullptr;
    Firebird::IStatement *m_stmt = nullptr;
    bool m_ownsStatement = true;
    Firebird::IResultSet *m_rs = nullptr;
    Firebird::IMessageMetadata *m_meta = nullptr;
    RowLayout m_layout;
    std::vector<unsigned char> m_buffer;
    // Rows fetched ahead in one go on a worker, when the window's thread reads from a server.
    std::vector<unsigned char> m_ahead;
    size_t m_aheadRows = 0;
    size_t m_aheadNext = 0;
    bool m_atEnd = false;
};

// Every row of a query, decoded.
struct Rows {
    std::vector<Column> columns;
    std::vector<std::vector<Value>> rows;
    int indexOf(const QString &name) const;
    bool isEmpty() const { return rows.empty(); }
    const Value &at(size_t row, const QString &name) const;
};

class Connection;

// Read committed, record versions, waiting on locks within the bounds of lockwait.h. Rolls back
// unless committed.
class Transaction {
public:
    explicit Transaction(Connection &conn);
    // The same, reserving the named tables (upper case) for protected write: a second
    // transaction reserving one of them waits until this one ends, so a key read as the largest
    // in use plus one cannot be taken twice.
    Transaction(Connection &conn, const QStringList &protectedTables);
    Transaction(Transaction &&) noexcept;
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // Runs a statement that returns no rows. A row another transaction held and then changed
    // (update conflict after the wait) is tried again, so concurrent updates wait, within the
    // bounds of lockwait.h.
    // Gives the number of rows the statement inserted, changed or deleted.
    uint64_t execute(const QString &sql, const std::vector<Value> &params = {});
    // A cursor's fetches wait on held rows with the engine's step only; read locking selects
    // whole with query(), which waits within the bounds of lockwait.h and throws an update conflict.
    Cursor open(const QString &sql, const std::vector<Value> &params = {});
    Rows query(const QString &sql, const std::vector<Value> &params = {});
    // The same two, with the statement prepared once per attachment and kept for every later
    // transaction on it (released when the attachment goes): for statements a workstation runs
    // again and again with other values, so each run costs its execution only.
    uint64_t executeKept(const QString &sql, const std::vector<Value> &params = {});
    // A kept statement changing at most one row and returning a value never null of it ("update
    // ... returning 1"): its rows changed, 0 or 1, told by what it returns, in the same exchange
    // with the server. A statement that would change more rows fails as the engine refuses it.
    uint64_t executeKeptOneRow(const QString &sql, const std::vector<Value> &params = {});
    Rows queryKept(const QString &sql, const std::vector<Value> &params = {});
    void commit();
    void rollback();
    bool isActive() const { return m_tx != nullptr; }

    Firebird::ITransaction *handle() const { return m_tx; }
    Connection &connection() const { return *m_conn; }

private:
    uint64_t executeStatement(const QString &sql, const std::vector<Value> &params, bool kept);
    Cursor openStatement(const QString &sql, const std::vector<Value> &params, bool kept);
    Rows queryStatement(const QString &sql, const std::vector<Value> &params, bool kept);
    // The statement kept prepared on the attachment for this text, prepared now the first time.
    Firebird::IStatement *keptStatement(const QString &sql);
    Connection *m_conn;
    Firebird::ITransaction *m_tx = nullptr;
};

// A repeated statement with parameters (bulk inserts of the tools and tests).
class Prepared {
public:
    Prepared(Transaction &tx, const QString &sql);
    ~Prepared();
    Prepared(const Prepared &) = delete;
    // The rows written; an update conflict after a wait is tried again, as Transaction::execute does.
    uint64_t execute(const std::vector<Value> &params);

private:
    Transaction *m_tx;
    Firebird::IStatement *m_stmt = nullptr;
};

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Sets where the next open attaches; closes an open attachment first. Connects nothing.
    void configure(const Target &target);
    const Target &target() const { return m_target; }
    bool isOpen() const { return m_att != nullptr; }
    void open();      // attaches when not attached
    void close();

    // Direct execution: one statement, committed on its own.
    void execute(const QString &sql, const std::vector<Value> &params = {});
    // A query read whole in its own transaction.
    Rows query(const QString &sql, const std::vector<Value> &params = {});

    Firebird::IAttachment *handle();   // opens when needed
    // From another thread, while the thread using this connection keeps it open: the statement
    // it runs now ends with an error at once. Nothing when it is not attached.
    void interrupt();
    // A connection-lost error drops the attachment, so the next use attaches again.
    void noteError(const DbError &e);

    // One thread at a time uses the attachment. A call from the window's thread on a connection
    // another thread is using (a timer or a queued call run while the window waits) waits for it
    // with the window alive, as every wait does (lockwait.h); any other thread simply waits.
    bool inUseElsewhere() const;
    struct Use;   // who uses it now (see waitcontrol.h)

    static void createDatabase(const Target &target, int pageSize = 8192);
    static void dropDatabase(const Target &target);
    // Runs a script of statements separated by ";" at line ends (comments "--" skipped), each committed.
    void runScript(const QString &scriptText);

private:
    void attach();
    // Releases the statements kept on the attachment (before it is detached or found gone).
    void releaseKept();
    Target m_target;
    Firebird::IAttachment *m_att = nullptr;
    std::unique_ptr<Use> m_use;
    // Statements prepared once on the attachment, by their text (Transaction::executeKept, queryKept).
    std::map<QString, Firebird::IStatement *> m_kept;
    friend class ConnectionUse;
    friend class Transaction;
};

// Windows-1252 bytes as the database's text values are decoded.
QString decodeCp1252(const char *data, int size);

// Statements this process has sent to be executed or opened (a conflict tried again counts again);
// the benchmarks print it beside their times.
uint64_t statementsIssued();

// Splits a script into statements (";" ends a statement outside quotes; "--" comments dropped).
QStringList splitScript(const QString &text);

} // namespace db
