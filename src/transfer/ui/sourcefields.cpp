#include "sourcefields.h"

#include "data/fieldtext.h"

#include <QLabel>
#include <QLineEdit>

namespace transfer_ui {

void SourceFields::bind(QLineEdit *edit, const QString &column)
{
    m_bindings.push_back({edit, nullptr, column.toUpper()});
}

void SourceFields::bind(QLabel *label, const QString &column)
{
    m_bindings.push_back({nullptr, label, column.toUpper()});
}

void SourceFields::show(const QMap<QString, db::Value> &values)
{
    m_values = values;
    for (const Binding &b : m_bindings) {
        const QString text = data::FieldText(m_values.value(b.column));
        if (b.edit) {
            b.edit->setText(text);
            b.edit->setCursorPosition(0);
        } else {
            b.label->setText(text);
        }
    }
}

} // namespace transfer_ui
