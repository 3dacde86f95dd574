// Sort key dates, the template date fields and the era table.
#include "store/dates.h"

#include "support/testing.h"

#include <gtest/gtest.h>

namespace pelorin {
namespace {

using testing::S;

TEST(SortKeyDate, ReadsWellFormedDates) {
    EXPECT_EQ(SortKeyDate("Sun, 6 Dec 1998 12:34:56 +0900", 2026), "19981206123456+0900");
    EXPECT_EQ(SortKeyDate("  Tue, 31 Mar 2026 23:59:01 GMT  ", 2026), "20260331235901GMT");
    EXPECT_EQ(SortKeyDate("01 JAN 2000 00:00:00 -0500 (EST)", 2026), "20000101000000-0500 (EST)");
}

TEST(SortKeyDate, TwoDigitYearsTakeTheCurrentCentury) {
    EXPECT_EQ(SortKeyDate("6 Dec 98 01:02:03 GMT", 2026), "20981206010203GMT");
    EXPECT_EQ(SortKeyDate("6 Dec 5 01:02:03 GMT", 2026), "20051206010203GMT");
    EXPECT_EQ(SortKeyDate("6 Dec 98 01:02:03 GMT", 1999), "19981206010203GMT");
    // The clock's own year by default.
    EXPECT_EQ(SortKeyDate("6 Dec 98 01:02:03 GMT").substr(2), "981206010203GMT");
}

TEST(SortKeyDate, SingleDigitTimesGetALeadingZero) {
    // Keeps every field at its position: "9:05" must sort before "12:00" and read as 09.
    EXPECT_EQ(SortKeyDate("Sun, 6 Dec 1998 9:05:00 JST", 2026), "19981206090500JST");
    EXPECT_LT(SortKeyDate("6 Dec 1998 9:05:00 JST", 2026),
              SortKeyDate("6 Dec 1998 12:00:00 JST", 2026));
}

TEST(SortKeyDate, FallsBackOnBadParts) {
    EXPECT_EQ(SortKeyDate("", 2026), "19010101");
    EXPECT_EQ(SortKeyDate("Sun, 6 Dec abc 1:2:3 GMT", 2026), "19000101000000");
    EXPECT_EQ(SortKeyDate("45 Foo 1998 10:00:00 GMT", 2026), "19980101100000GMT");
    EXPECT_EQ(SortKeyDate("x Dec 1998 10:00:00 GMT", 2026), "19981201100000GMT");
    // No blank after the year: 1901, and the rest is read from the unchanged text.
    EXPECT_EQ(SortKeyDate("6 Dec 1998", 2026), "190112061998");
    // No zone.
    EXPECT_EQ(SortKeyDate("6 Dec 1998 12:34:56", 2026), "19981206123456");
}

TEST(DateField, ReadsEachLetterFromTheKey) {
    const std::string key = "19981206153456+0900";
    EXPECT_EQ(DateField(key, 'Y'), "1998");
    EXPECT_EQ(DateField(key, 'y'), "98");
    EXPECT_EQ(DateField(key, 'm'), "12");
    EXPECT_EQ(DateField(key, 'b'), "Dec");
    EXPECT_EQ(DateField(key, 'd'), "06");
    EXPECT_EQ(DateField(key, 'w'), "Sun");
    EXPECT_EQ(DateField(key, 'W'), S("日"));
    EXPECT_EQ(DateField(key, 'H'), "15");
    EXPECT_EQ(DateField(key, 'h'), "03");
    EXPECT_EQ(DateField(key, 'M'), "34");
    EXPECT_EQ(DateField(key, 'S'), "56");
    EXPECT_EQ(DateField(key, 'p'), "PM");
    EXPECT_EQ(DateField(key, 'P'), S("午後"));
    EXPECT_EQ(DateField(key, 'z'), "JST");
    EXPECT_EQ(DateField(key, 'Z'), S("日本時間"));
    EXPECT_EQ(DateField(key, 'G'), S("平成"));
    EXPECT_EQ(DateField(key, 'e'), "10");
    EXPECT_EQ(DateField(key, 'q'), "");
}

TEST(DateField, MorningZonesAndInvalidDates) {
    EXPECT_EQ(DateField("20000101120000GMT", 'p'), "AM");  // hours up to 12 count as morning
    EXPECT_EQ(DateField("20000101120000GMT", 'h'), "12");
    EXPECT_EQ(DateField("20000101120000GMT", 'Z'), S("国際標準時"));
    EXPECT_EQ(DateField("20000101120000JST", 'Z'), S("日本時間"));
    EXPECT_EQ(DateField("20000101120000JST", 'z'), "JST");
    EXPECT_EQ(DateField("20000101120000-0500", 'Z'), "-0500");
    EXPECT_EQ(DateField("20000101120000  +0100 ", 'z'), "+0100");
    // Leap days count; February 30th is no date: no weekday and no era.
    EXPECT_EQ(DateField("20000229120000GMT", 'w'), "Tue");
    EXPECT_EQ(DateField("19000229120000GMT", 'w'), "");
    EXPECT_EQ(DateField("20000230120000GMT", 'w'), "");
    EXPECT_EQ(DateField("20000230120000GMT", 'W'), "");
    EXPECT_EQ(DateField("20000230120000GMT", 'G'), "");
    // A short key gives empty fields, never a read past its end.
    EXPECT_EQ(DateField("19010101", 'H'), "");
    EXPECT_EQ(DateField("19010101", 'w'), "Tue");
    EXPECT_EQ(DateField("", 'Y'), "");
    EXPECT_EQ(DateField("", 'b'), "");
}

TEST(JapaneseEra, FollowsTheTableAtEachBoundary) {
    struct Case {
        int y, m, d;
        const char* era;
        int year;
    } cases[] = {
        {1868, 9, 8, "明治", 1},    {1912, 7, 29, "明治", 45}, {1912, 7, 30, "大正", 1},
        {1926, 12, 24, "大正", 15}, {1926, 12, 25, "昭和", 1}, {1989, 1, 7, "昭和", 64},
        {1989, 1, 8, "平成", 1},    {2019, 4, 30, "平成", 31}, {2019, 5, 1, "令和", 1},
        {2026, 1, 1, "令和", 8},
    };
    for (const Case& c : cases) {
        std::string name;
        int year = 0;
        ASSERT_TRUE(JapaneseEra(c.y, c.m, c.d, name, year)) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(testing::U(name), c.era) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(year, c.year) << c.y << "-" << c.m << "-" << c.d;
    }
    std::string name;
    int year = 0;
    EXPECT_FALSE(JapaneseEra(1868, 9, 7, name, year));
    EXPECT_FALSE(JapaneseEra(2000, 13, 1, name, year));
}

}  // namespace
}  // namespace pelorin
