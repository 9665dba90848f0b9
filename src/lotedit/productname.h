// How a typed product name is written before it is looked up in the product register.
#pragma once
#include <QString>

namespace lotedit {

// Lower case, the first letter raised, and for a name starting "vitamina" the letter after the
// blank (the tenth character) raised too. Only ASCII letters change; accented letters stay.
QString NormaliseProductName(const QString &text);

} // namespace lotedit
