#include "twodigityear.h"

namespace platform {

int ExpandTwoDigitYear(int year, int currentYear)
{
    if (year < 0 || year > 99)
        return year;
    int full = (currentYear / 100) * 100 + year;
    if (full - currentYear >= 50)
        full -= 100;
    else if (currentYear - full > 50)
        full += 100;
    return full;
}

QDate DateFromTwoDigitYear(int day, int month, int twoDigitYear, int currentYear)
{
    return QDate(ExpandTwoDigitYear(twoDigitYear, currentYear), month, day);
}

} // namespace platform
