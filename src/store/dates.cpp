// Sort key dates, template date fields and Japanese eras (see dates.h).
//
// SortKeyDate reads a Date value in these steps, each on what the previous one left:
//   1. trim; when longer than 5 characters with "," as the 4th, drop the weekday ("Sun, ");
//   2. day: the text before the next blank, 1-31, as two digits; else (or without a blank,
//      when nothing is dropped) "01";
//   3. month: the text before the next blank, lowercased, looked up in "jan feb ... dec";
//      not found, or without a blank, gives "01";
//   4. year: the text before the next blank; without a blank "1901" and nothing is dropped;
//      a number below 100 takes the current century; not a number fails the whole key;
//   5. hour and minute: the text before the next ":" (empty without one), second: the text
//      before the next blank (empty without one), zone: the rest.
// A one-digit hour, minute or second gets a leading "0" so that the fields stay at their
// positions in the key and "9:05:00" sorts before "12:00:00".
#include "store/dates.h"

#include "coding/cp932.h"
#include "store/strutil.h"

#include <array>
#include <chrono>
#include <cstdio>

namespace pelorin {
namespace {

constexpr std::string_view kFailedKey = "19000101000000";
constexpr std::string_view kMonths = "jan feb mar apr may jun jul aug sep oct nov dec";
constexpr std::string_view kMonthNames = "JanFebMarAprMayJunJulAugSepOctNovDec";
constexpr std::string_view kDayNames = "SunMonTueWedThuFriSat";

std::string TwoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

// Takes the text before the next `sep` from `rest` and drops it with the separator; false
// (and `rest` unchanged) when there is no separator.
bool TakeUntil(std::string_view& rest, char sep, std::string_view& field) {
    size_t p = rest.find(sep);
    if (p == std::string_view::npos)
        return false;
    field = Trim(rest.substr(0, p));
    rest = Trim(rest.substr(p + 1));
    return true;
}

bool AllDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// Hours, minutes and seconds are kept as written; a single digit gets its leading "0".
std::string TimePart(std::string_view s) {
    std::string out;
    if (s.size() == 1 && AllDigits(s))
        out.push_back('0');
    out.append(s);
    return out;
}

int DaysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[static_cast<size_t>(month - 1)];
}

bool ValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

// A field of the key read as a number; 0 when it is none.
int FieldValue(std::string_view s) {
    int32_t v = 0;
    return ParseInt32(Trim(s), v) ? v : 0;
}

struct Era {
    int year, month, day;   // first day, Gregorian
    std::string_view name;  // UTF-8; converted once
};

constexpr std::array<Era, 5> kEras = {{
    {2019, 5, 1, "令和"},
    {1989, 1, 8, "平成"},
    {1926, 12, 25, "昭和"},
    {1912, 7, 30, "大正"},
    {1868, 9, 8, "明治"},
}};

// Japanese words of the fields, converted to Shift_JIS once.
struct JaWords {
    std::array<std::string, 7> weekdays;
    std::array<std::string, 5> eras;  // in the order of kEras
    std::string am, pm, jst, gmt;
};

const JaWords& Words() {
    static const JaWords words = [] {
        JaWords w;
        static constexpr std::array<std::string_view, 7> kDays = {"日", "月", "火", "水",
                                                                  "木", "金", "土"};
        for (size_t i = 0; i < kDays.size(); ++i) w.weekdays[i] = Sjis(kDays[i]);
        for (size_t i = 0; i < kEras.size(); ++i) w.eras[i] = Sjis(kEras[i].name);
        w.am = Sjis("午前");
        w.pm = Sjis("午後");
        w.jst = Sjis("日本時間");
        w.gmt = Sjis("国際標準時");
        return w;
    }();
    return words;
}

}  // namespace

std::string SortKeyDate(std::string_view date, int currentYear) {
    std::string_view s = Trim(date);
    if (s.size() > 5 && s[3] == ',')
        s = Trim(s.substr(5));

    std::string_view field;
    std::string day = "01";
    if (TakeUntil(s, ' ', field)) {
        int32_t v = 0;
        if (AllDigits(field) && ParseInt32(field, v) && v >= 1 && v <= 31)
            day = TwoDigits(v);
    }

    std::string month = "01";
    if (TakeUntil(s, ' ', field)) {
        std::string lower = SjisLower(field);
        size_t pos = kMonths.find(lower);
        if (pos != std::string_view::npos && !lower.empty())
            month = TwoDigits(static_cast<int>(pos / 4 + 1));
    }

    std::string year = "1901";
    if (TakeUntil(s, ' ', field)) {
        int32_t v = 0;
        if (!AllDigits(field) || !ParseInt32(field, v))
            return std::string(kFailedKey);
        if (v < 100) {
            year = TwoDigits((currentYear / 100) % 100) + TwoDigits(v);
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%04d", v);
            year = buf;
        }
    }

    std::string_view hour, minute, second;
    TakeUntil(s, ':', hour);
    TakeUntil(s, ':', minute);
    TakeUntil(s, ' ', second);
    std::string_view zone = Trim(s);

    return year + month + day + TimePart(hour) + TimePart(minute) + TimePart(second) +
           std::string(zone);
}

std::string SortKeyDate(std::string_view date) {
    const auto now = std::chrono::system_clock::now();
    const std::chrono::year_month_day ymd{std::chrono::floor<std::chrono::days>(now)};
    return SortKeyDate(date, static_cast<int>(ymd.year()));
}

int Weekday(int year, int month, int day) {
    if (!ValidDate(year, month, day))
        return -1;
    // Sakamoto's method for the proleptic Gregorian calendar.
    static constexpr std::array<int, 12> kOffsets = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    int y = month < 3 ? year - 1 : year;
    return (y + y / 4 - y / 100 + y / 400 + kOffsets[static_cast<size_t>(month - 1)] + day) % 7;
}

bool JapaneseEra(int year, int month, int day, std::string& name, int& eraYear) {
    if (!ValidDate(year, month, day))
        return false;
    const int key = year * 10000 + month * 100 + day;
    for (size_t i = 0; i < kEras.size(); ++i) {
        const Era& era = kEras[i];
        if (key >= era.year * 10000 + era.month * 100 + era.day) {
            name = Words().eras[i];
            eraYear = year - era.year + 1;
            return true;
        }
    }
    return false;
}

std::string DateField(std::string_view key, char letter) {
    auto part = [key](size_t pos, size_t n) {
        return pos < key.size() ? Trim(key.substr(pos, n)) : std::string_view();
    };
    const std::string_view year = part(0, 4);
    const std::string_view month = part(4, 2);
    const std::string_view day = part(6, 2);
    const std::string_view hour = part(8, 2);
    const std::string_view minute = part(10, 2);
    const std::string_view second = part(12, 2);
    const std::string_view zone = part(14, std::string_view::npos);
    const int y = AllDigits(year) ? FieldValue(year) : 0;
    const int m = AllDigits(month) ? FieldValue(month) : 0;
    const int d = AllDigits(day) ? FieldValue(day) : 0;
    const int h = FieldValue(hour);

    switch (letter) {
        case 'Y':
            return std::string(year);
        case 'y':
            return std::string(Trim(year.substr(year.size() >= 2 ? year.size() - 2 : 0)));
        case 'm':
            return std::string(month);
        case 'b':
            return m >= 1 && m <= 12 ? std::string(kMonthNames.substr((m - 1) * 3u, 3)) : "";
        case 'd':
            return std::string(day);
        case 'w':
        case 'W': {
            int wd = Weekday(y, m, d);
            if (wd < 0)
                return "";
            if (letter == 'w')
                return std::string(kDayNames.substr(static_cast<size_t>(wd) * 3, 3));
            return Words().weekdays[static_cast<size_t>(wd)];
        }
        case 'H':
            return std::string(hour);
        case 'h':
            return h < 13 ? std::string(hour) : TwoDigits(h - 12);
        case 'M':
            return std::string(minute);
        case 'S':
            return std::string(second);
        case 'p':
            return h < 13 ? "AM" : "PM";
        case 'P':
            return h < 13 ? Words().am : Words().pm;
        case 'z':
            return zone == "+0900" ? "JST" : std::string(zone);
        case 'Z':
            if (zone == "+0900" || zone == "JST")
                return Words().jst;
            if (zone == "GMT")
                return Words().gmt;
            return std::string(zone);
        case 'G':
        case 'e': {
            std::string name;
            int eraYear = 0;
            if (!JapaneseEra(y, m, d, name, eraYear))
                return "";
            return letter == 'G' ? name : TwoDigits(eraYear);
        }
        default:
            return "";
    }
}

}  // namespace pelorin
