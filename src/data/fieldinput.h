// Text typed into a data-bound box turned into a column's value, with the desktop's Brazilian
// conventions: a decimal comma, day-first dates, two-digit years read as the server reads them.
#pragma once
#include "columns.h"

#include "db/value.h"

#include <QString>
#include "platform/error.h"

#include <stdexcept>

namespace data {

// A typed text that is no value of its column; message() is what the operator is told.
class FieldInputError : public platform::Error {
public:
    using platform::Error::Error;
};

// A number as an operator types it in Brazil: blanks around it, an optional sign, digits and one
// decimal comma ("12,5", "-3", ",5", "7,"); no thousands separator and no exponent, which are
// no numbers an operator types ("1.5" is refused, not read as fifteen). Past `scale` decimals it
// is rounded half away from zero, as the server stores it; at most precision - scale digits go
// before the comma, rounding included (precision is at most 18). The value keeps the decimals
// typed, up to scale. The program's one reading of typed numbers: a box's column and the
// transfer's quantity both go through it.
struct TypedDecimal {
    enum class Status { Ok, NotANumber, TooLarge };
    Status status = Status::NotANumber;
    db::Decimal value;
};
TypedDecimal ParseTypedDecimal(const QString &text, int precision, int scale);

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
