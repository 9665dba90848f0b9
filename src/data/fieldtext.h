// A field's value as the desktop shows it in grids and edit boxes (Brazilian settings).
#pragma once
#include "db/value.h"

#include <QString>

namespace data {

// Dates dd/MM/yyyy; timestamps with their time unless it is midnight; numbers with a comma as
// decimal separator, no thousands separator and no trailing zeros ("12,5", "-0,25", "3");
// a null shows as an empty text.
QString FieldText(const db::Value &value);

} // namespace data
