// The century of a two-digit year, read the way the database server reads it, so a date typed
// in a box and a date written into a statement land on the same day.
#pragma once
#include <QDate>

namespace platform {

// Years 0 to 99 are placed in the hundred-year window [currentYear - 50, currentYear + 49]
// (in 2026: 76 is 1976, 75 is 2075). Other years are returned unchanged.
int ExpandTwoDigitYear(int year, int currentYear);

// A day/month/two-digit-year date; an invalid QDate when the parts make no date.
QDate DateFromTwoDigitYear(int day, int month, int twoDigitYear, int currentYear);

} // namespace platform
