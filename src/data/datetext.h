#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

#include <optional>

// Dates as the daily record window shows and reads them: day first, then the
// month, then the year ("dd/MM/yy"), and as the diary stores them (yyyy-MM-dd).
// Pure functions, so that any text can be thrown at them.
namespace diary {

// The full year for a two-digit year: the one of the hundred years ending
// twenty years after `currentYear` (in 2026: 1947 to 2046).
int fullYearForTwoDigits(int twoDigitYear, int currentYear);

// Reads a typed date, day before month: one or two digits for the day and the
// month, a two- or four-digit year, separated by '/', '-', '.' or blanks;
// blanks around the whole are ignored. A four-digit year first is also read
// (yyyy-MM-dd, as the diary stores it). Nothing for any other text and for
// days that are not on the calendar (31/02/26).
std::optional<QDate> readDayFirstDate(const QString &text, int currentYear);
std::optional<QDate> readDayFirstDate(const QString &text); // the current year of the clock

// "dd/MM/yy".
QString showDate(const QDate &date);

// The text a stored DATE value shows as: "dd/MM/yy" for a stored date, empty
// for NULL, and anything else as it stands, so that nothing is hidden.
QString showStoredDate(const QVariant &stored);

// yyyy-MM-dd, the stored form.
QString storeDate(const QDate &date);

} // namespace diary
