// A query's whole result held in memory: moves, field access by name, edits sent back to the
// server as single-row statements found by the table's key columns.
#pragma once
#include "db/connection.h"
#include "db/value.h"
#include "platform/error.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace data {

// The table a cache writes to and the columns that find a row (their values before the change).
struct TableDef {
    QString name;
    QStringList keyColumns;
    QStringList requiredColumns;
    // The dataset's columns that belong to the table (a join carries others); empty: all of them.
    QStringList writableColumns;
};

// A request the cache itself refuses (closed dataset, unknown field, empty required field...).
class DatasetError : public platform::Error {
public:
    using platform::Error::Error;
};

// An update or delete whose row the server no longer holds under its old key.
inline const QString kRowVanishedMessage =
    QStringLiteral("O registro não foi encontrado: foi alterado ou excluído por outro usuário.");

// A column another workstation changed between this one's read of the row and its save.
struct FieldConflict {
    QString column;
    db::Value stored;     // what the database holds now
    db::Value original;   // what this workstation read, and its edit started from
    db::Value wanted;     // what it meant to write
};

// What the server said when it refused a change during an apply. With conflicts, the row was
// changed elsewhere in the columns this change writes, and nothing of it was written.
struct ApplyError {
    QString message;
    QString statement;
    std::vector<FieldConflict> conflicts;
    bool isConflict() const { return !conflicts.empty(); }
};

// The operator's text for a save refused because the row changed elsewhere: each field with its
// stored value and the value the edit started from.
QString ConflictMessage(const QString &table, const std::vector<FieldConflict> &conflicts);

class CachedDataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    // How an apply treats a change the server refuses.
    enum class OnRefusal { Stop, Skip };

    CachedDataset(QString name, db::Connection *connection, TableDef table = {});
    ~CachedDataset() override;

    const QString &name() const { return m_name; }
    const TableDef &table() const { return m_table; }
    db::Connection *connection() const { return m_conn; }

    // The query's statement; takes effect at the next open.
    void setCommandText(const QString &sql) { m_commandText = sql; }
    const QString &commandText() const { return m_commandText; }

    void open();       // runs the statement, loads every row; after scroll fires when a row is current
    void close();      // drops the rows and any change not applied
    void refresh();    // runs the statement again; fails while changes are pending
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    // Rows in the current order (the statement's, or the sort of setIndexFieldNames).
    int rowCount() const;
    int currentRow() const { return m_current; }   // -1 when there is none
    bool isEmpty() const { return rowCount() == 0; }
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int row);
    // Exact match of one column; moves there and returns true when found.
    bool locate(const QString &column, const db::Value &value);

    int fieldCount() const;
    QStringList fieldNames() const;
    int fieldIndex(const QString &name) const;   // -1 when absent; names compared case-insensitively
    // Values of the current row (the edit buffer while editing or inserting).
    db::Value value(const QString &column) const;
    // The current row's value as the cache holds it apart from the edit buffer.
    db::Value valueBeforeEdit(const QString &column) const;
    db::Value value(int column) const;
    QString text(const QString &column) const { return value(column).toString(); }
    // Value at a row of the current order.
    db::Value valueAt(int row, int column) const;
    // Sets a value of the current row; only in Edit or Insert state.
    void setValue(const QString &column, const db::Value &value);

    void insert();      // a new empty row before the current one; Insert state
    void edit();        // Edit state on the current row
    void post();        // keeps the buffer as the row's new values (fails on an empty required column)
    void cancel();      // drops the buffer
    void remove();      // deletes the current row from the cache (a pending change)

    bool hasPendingChanges() const;
    // The current row's pending insert or update: its values as stored (empty for a new row) and
    // as they are to be written.
    struct PendingRow {
        std::vector<db::Value> before, after;
    };
    std::optional<PendingRow> currentPendingChange() const;
    // Sends pending changes, one statement per row: insert of all columns, update of the changed
    // columns, delete; rows found by the key columns' old values. An update writes only when the
    // changed columns still hold the values it started from, and exactly one row must change;
    // otherwise it is refused with the conflicting columns. Stop: the first refusal rolls back
    // the whole apply; Skip: every accepted change is written. Refused changes stay pending.
    std::vector<ApplyError> applyUpdates(OnRefusal mode);
    // Drops every pending change and shows the original rows again.
    void cancelUpdates();

    // Client-side sort: a column name (empty for the statement's order); kept across reopens.
    void setIndexFieldNames(const QString &column);
    const QString &indexFieldNames() const { return m_indexField; }
    // The row a text search lands on: the first row, in the current order, whose value of the
    // leading order column is >= text (Windows-1252 byte comparison), or the last row.
    int nearestRow(const QString &column, const QString &text) const;

    // Called inside an apply's transaction before an insert or an update is sent, with the row's
    // values before the change (empty for an insert) and after; a text returned refuses the change
    // (the operator's whole message), as a refusal of the server would.
    std::function<std::optional<QString>(CachedDataset &, db::Transaction &, const std::vector<db::Value> &before,
                                         const std::vector<db::Value> &after)>
        beforeWrite;

    // Hooks the data module installs.
    std::function<void(CachedDataset &)> beforeInsert, afterInsert, afterPost, afterCancel, beforeDelete,
        afterDelete, afterScroll, afterOpen;

Q_SIGNALS:
    void rowsReset();                 // opened, closed, reloaded, sorted
    void rowChanged(int row);         // a row's values changed in the cache
    void currentChanged(int row);     // the current row moved

private:
    void prepareSearch(int column) const;
    // Why an update changed no row, or more than one: the row gone, or the columns another
    // workstation changed meanwhile.
    ApplyError explainUnwritten(db::Transaction &tx, int id, const std::vector<int> &changed, uint64_t written,
                                const QString &sql) const;   // how nearestRow walks that column, built once per load
    struct Impl;
    void load();                        // runs the statement into fresh rows
    void checkOpen() const;
    void checkBrowseMode();             // posts (or drops an untouched) edit before a move
    void setCurrent(int row, bool scrolled);   // after scroll when it moved and `scrolled`

    std::unique_ptr<Impl> d;
    QString m_name;
    db::Connection *m_conn;
    TableDef m_table;
    QString m_commandText;
    QString m_indexField;
    State m_state = State::Inactive;
    int m_current = -1;
    bool m_bof = true;
    bool m_eof = true;
};

} // namespace data
