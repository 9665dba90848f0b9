// Text typed into a data-bound box turned into a column's value, with the desktop's Brazilian
// conventions: a decimal comma, day-first dates, two-digit years read as the server reads them.
#pragma once
#include "columns.h"

#include "db/value.h"

#include <QString>
#include <stdexcept>

namespace data {

// A typed text that is no value of its column; message() is what the operator is told.
class FieldInputError : public std::runtime_error {
public:
    explicit FieldInputError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// Blank text is a null. Text columns are cut to their width; numbers take "12,5", "-3" (no
// exponent: that is no number an operator types) and must fit their column's digits; dates
// "dd/mm/yy" or "dd/mm/yyyy" ("/", "." or "-" between the parts). currentYear places two-digit
// years. Throws FieldInputError; a number's or a date's message starts with label, the field's
// name, when given.
db::Value ParseFieldText(const ColumnInfo &info, const QString &text, int currentYear, const QString &label = {});

// The text a box shows while it is being edited: numbers with a comma and no thousands
// separator, dates "dd/MM/yy" (twoDigitYear) or "dd/MM/yyyy".
QString FieldEditText(const db::Value &value, bool twoDigitYear);

// What a mask such as "!99/99/00;1;_" leaves of an empty box: its literals with blanks between.
QString EmptyMaskText(const QString &mask);

} // namespace data
