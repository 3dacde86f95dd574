// Dates of messages: the sort key built from a Date header value, the fields a template reads
// from it, and the Japanese era of a date.
//
// The sort key is year (4 digits), month (2), day (2), hour, minute, second and zone written
// together without separators, so that keys of well-formed dates sort chronologically:
// "Sun, 6 Dec 1998 12:34:56 +0900" gives "19981206123456+0900". A two-digit year takes the
// century of the current year ("98" read in 2026 is 2098). Hours, minutes and seconds are
// taken as written, except that a single digit gets a leading "0" (see SortKeyDate).
//
// Bad input never fails: a part that cannot be read falls back to "01" (day, month) or
// "1901" (year without a blank after it), and a year that is not a number gives the key
// "19000101000000".
//
// Eras: a small built-in table from Meiji on, the same wherever the program runs (no locale):
//
//   明治  1868-09-08     大正  1912-07-30     昭和  1926-12-25
//   平成  1989-01-08     令和  2019-05-01
//
// Meiji starts on the day its name was proclaimed (8 September 1868 in the Gregorian
// calendar), as the common calendar libraries reckon it. Dates before that have no era.
#pragma once

#include <string>
#include <string_view>

namespace pelorin {

// The sort key of a Date value; `currentYear` supplies the century of two-digit years.
std::string SortKeyDate(std::string_view date, int currentYear);
// The same with the current year of the clock.
std::string SortKeyDate(std::string_view date);

// One template date field of a sort key. Letters:
//   Y year (4)   y year (2)   m month (2)   b "Jan".."Dec"   d day (2)
//   w "Sun".."Sat"   W 日..土   H hour   h hour on a 12-hour clock   M minute   S second
//   p AM/PM   P 午前/午後   z zone ("JST" for +0900)   Z 日本時間/国際標準時/zone
//   G era name   e year within the era (2 digits)
// Hours up to 12 count as morning. Fields that need a valid date (w, W, G, e) are empty when
// the key's year, month and day are no real date; an unknown letter gives "".
std::string DateField(std::string_view sortKey, char letter);

// Day of the week of a Gregorian date, 0 = Sunday; -1 when the date is not valid.
int Weekday(int year, int month, int day);

// The Japanese era of a Gregorian date: its name (Shift_JIS) and the year within it, counting
// from 1. False (and nothing set) for invalid dates and dates before Meiji.
bool JapaneseEra(int year, int month, int day, std::string& name, int& eraYear);

}  // namespace pelorin
