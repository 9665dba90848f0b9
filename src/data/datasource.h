// What data-bound controls see of a cached dataset: its current row, its state, and the one road
// by which a control's typed text becomes a field's value. Forms bind every control to one of these.
#pragma once
#include "cacheddataset.h"
#include "columns.h"

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

namespace platform {
class Operator;
}

namespace data {

// A control that may hold typed text not yet written to its field.
class FieldEditor {
public:
    virtual ~FieldEditor() = default;
    // Writes pending text to the field; false (after the operator was told why) when it cannot.
    virtual bool commitPending() = 0;
};

// Told when a typed text does not fit its column (label: the field as the form names it); the
// text stays in the box to be shortened.
QString TextTooLongMessage(const QString &label, int typed, int width);

class DataSource : public QObject {
    Q_OBJECT
public:
    // op tells the operator why an edit, post, cancel or move failed.
    DataSource(CachedDataset &dataset, platform::Operator &op, QObject *parent = nullptr);

    CachedDataset &dataset() const { return m_dataset; }
    platform::Operator &op() const { return m_op; }

    // Typing into a bound control puts the row in edit state (on by default).
    bool autoEdit = true;
    // Today's year, for two-digit years; tests fix it.
    std::function<int()> currentYear;
    // Whether the dataset's after-post hook found the posted row refused by the server (the cache
    // then shows the server's rows again); post() then puts the typed row back in edit.
    std::function<bool()> postRefused;
    // The form's last word before an edited row is posted or left (post, a move, an insert, a
    // refresh), after every control's text was written: false keeps the row in edit, unposted
    // and in place (the form told the operator why, or asks for what it still needs).
    std::function<bool()> beforePostOrMove;

    bool isEditing() const;
    bool canModify() const { return m_dataset.isOpen(); }

    // The column a field is written to (type and width): the table's definition, or a text
    // column without width when the table lists no such column.
    ColumnInfo columnInfo(const QString &field) const;
    void setColumnInfo(const QString &field, const ColumnInfo &info);

    // Starts the edit when the dataset browses (autoEdit); false when the row cannot be edited.
    bool beginEdit();
    // The one road from a control to its field: the text converted to the column's value, the
    // edit started when needed. A text longer than its column is refused, never cut. False after
    // telling the operator why not.
    bool setFieldText(const QString &field, const QString &text);
    // A value that needs no conversion (a pick from a list).
    bool setFieldValue(const QString &field, const db::Value &value);

    // Every control's pending text written to its field; false when one of them refused.
    bool updateRecord();

    // Dataset operations for buttons and keys: each writes pending text first, reports a failure
    // to the operator and returns false, leaving the row as it was (edit state and values kept).
    bool post();
    bool cancel();
    bool insert();
    bool edit();
    bool remove();
    bool refresh();
    bool first();
    bool prior();
    bool next();
    bool last();

    void addEditor(FieldEditor *editor);
    void removeEditor(FieldEditor *editor);

Q_SIGNALS:
    void recordChanged();   // the current row, its values or the whole result changed
    void stateChanged();    // browse, edit, insert or closed

private:
    bool run(const std::function<void()> &step, bool writePending);
    // Pending text written and the form's check passed: the row may be posted or left.
    bool readyToLeave();
    struct Snapshot {
        CachedDataset::State state;
        QStringList fields;
        std::vector<db::Value> values;   // the edited row as typed
        std::vector<db::Value> stored;   // the row as it was before the edit
    };
    Snapshot snapshot() const;
    void restore(const Snapshot &snap);
    void noteState();

    CachedDataset &m_dataset;
    platform::Operator &m_op;
    std::vector<FieldEditor *> m_editors;
    std::vector<std::pair<QString, ColumnInfo>> m_infos;
    CachedDataset::State m_lastState;
    std::vector<db::Value> m_storedRow;   // the current row as stored, when this source started its edit
    void noteStoredRow();
};

} // namespace data
