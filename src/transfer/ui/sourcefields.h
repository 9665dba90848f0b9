// The transfer form's read-only controls, each showing one column of the lot the form was
// opened on: the lot stays the source whatever the lot dataset holds meanwhile.
#pragma once
#include "db/value.h"

#include <QMap>
#include <QString>
#include <vector>

class QLabel;
class QLineEdit;
class QWidget;

namespace transfer_ui {

class SourceFields {
public:
    void bind(QLineEdit *edit, const QString &column);
    void bind(QLabel *label, const QString &column);

    // Takes the values (column name in upper case -> value) and shows them in every bound control.
    void show(const QMap<QString, db::Value> &values);
    const QMap<QString, db::Value> &values() const { return m_values; }
    db::Value value(const QString &column) const { return m_values.value(column.toUpper()); }

private:
    struct Binding {
        QLineEdit *edit = nullptr;
        QLabel *label = nullptr;
        QString column;
    };
    std::vector<Binding> m_bindings;
    QMap<QString, db::Value> m_values;
};

} // namespace transfer_ui
