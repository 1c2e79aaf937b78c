#include "support/uHPDateTime.h"

#include <gtest/gtest.h>

#include <cmath>

#include "DateTimeTestSettings.h"
#include "support/uExceptions.h"

namespace vantrel {
namespace {

constexpr int k1Feb2003 = 37653;
constexpr int64_t kPsPerHour = 3600 * kPicosecondsPerSecond;

// A value at day `day`, time of day given in picoseconds.
THPDateTime HP(int day, int64_t picoseconds) {
    THPDateTime value(day);
    value.AddPicoseconds(picoseconds);
    return value;
}

// ---- THPDateTime ------------------------------------------------------------------------------

TEST(HPDateTime, TakesSerialValuesApartAndBackTogether) {
    const THPDateTime noon(k1Feb2003 + 0.5);
    EXPECT_EQ(noon.Day(), k1Feb2003);
    EXPECT_EQ(noon.Picoseconds(), 12 * kPsPerHour);
    EXPECT_EQ(noon.Seconds(), 43200);
    EXPECT_EQ(noon.DateTime(), k1Feb2003 + 0.5);

    const THPDateTime before1900(-1.25);  // 29 December 1899, 06:00
    EXPECT_EQ(before1900.Day(), -1);
    EXPECT_EQ(before1900.Picoseconds(), 6 * kPsPerHour);
    EXPECT_EQ(before1900.DateTime(), -1.25);

    const THPDateTime almostMidnight(k1Feb2003 + 0.9999999999);  // rounds to the next day
    EXPECT_EQ(almostMidnight.Day(), k1Feb2003 + 1);
    EXPECT_EQ(almostMidnight.Picoseconds(), 0);

    EXPECT_TRUE(std::isnan(THPDateTime(kNoDateTime).DateTime()));
}

TEST(HPDateTime, AddingCarriesAndBorrowsWholeDays) {
    THPDateTime value(k1Feb2003);
    value.SetTime(23, 59, 59.5);
    value.AddSeconds(1);
    EXPECT_EQ(value.Day(), k1Feb2003 + 1);
    EXPECT_EQ(value.Picoseconds(), kPicosecondsPerSecond / 2);

    value = THPDateTime(k1Feb2003);
    value.AddSeconds(-0.25);
    EXPECT_EQ(value.Day(), k1Feb2003 - 1);
    EXPECT_EQ(value.Picoseconds(), kPicosecondsPerDay - kPicosecondsPerSecond / 4);

    value = THPDateTime(k1Feb2003);
    value.AddSeconds(1e6);  // 11 days and 49600 s
    EXPECT_EQ(value.Day(), k1Feb2003 + 11);
    EXPECT_EQ(value.Picoseconds(), 49600 * kPicosecondsPerSecond);

    value = THPDateTime(k1Feb2003);
    value.AddDHMS(1, 2, 3, 4.5);
    EXPECT_EQ(value.Day(), k1Feb2003 + 1);
    EXPECT_EQ(value.Seconds(), 2 * 3600 + 3 * 60 + 4.5);

    value = THPDateTime(k1Feb2003);
    value.AddDHMS(0, 0, 0, -3 * 86400 - 1);
    EXPECT_EQ(value.Day(), k1Feb2003 - 4);
    EXPECT_EQ(value.Seconds(), 86399);

    value.SetTime(25, 0, 0);  // beyond the day: carried
    EXPECT_EQ(value.Day(), k1Feb2003 - 3);
    EXPECT_EQ(value.Seconds(), 3600);
}

TEST(HPDateTime, CrossingDayZeroKeepsTheSerialConvention) {
    THPDateTime value(0.0);
    value.AddHMS(-1, 0, 0);  // 29 December 1899, 23:00
    EXPECT_EQ(value.Day(), -1);
    EXPECT_EQ(value.Picoseconds(), 23 * kPsPerHour);
    EXPECT_DOUBLE_EQ(value.DateTime(), -1 - 23.0 / 24);
    EXPECT_EQ(THPDateTime(value.DateTime()), value);
}

TEST(HPDateTime, ManySmallStepsDoNotDrift) {
    THPDateTime value(k1Feb2003);
    for (int i = 0; i < 36000; ++i)
        value.AddSeconds(0.1);
    EXPECT_EQ(value.Day(), k1Feb2003);
    EXPECT_EQ(value.Picoseconds(), kPsPerHour);
}

TEST(HPDateTime, DifferenceIsThisMinusOtherInSeconds) {
    const THPDateTime later = HP(k1Feb2003 + 1, 250000000000);  // next day 00:00:00.25
    const THPDateTime earlier = HP(k1Feb2003, kPicosecondsPerDay - kPicosecondsPerSecond);
    EXPECT_DOUBLE_EQ(later.DifferenceInSeconds(earlier), 1.25);
    EXPECT_DOUBLE_EQ(earlier.DifferenceInSeconds(later), -1.25);
}

TEST(HPDateTime, ComparesByDayThenTimeOfDay) {
    const THPDateTime a = HP(k1Feb2003, 5 * kPsPerHour);
    const THPDateTime b = HP(k1Feb2003, 5 * kPsPerHour + 1);  // one picosecond later
    const THPDateTime c = HP(k1Feb2003 + 1, 0);
    struct Case {
        const THPDateTime& left;
        const THPDateTime& right;
        bool eq, ne, lt, le, gt, ge;
    };
    for (const Case& k : {Case{a, a, true, false, false, true, false, true},
                          {a, b, false, true, true, true, false, false},
                          {b, a, false, true, false, false, true, true},
                          {b, c, false, true, true, true, false, false}}) {
        EXPECT_EQ(k.left == k.right, k.eq);
        EXPECT_EQ(k.left != k.right, k.ne);
        EXPECT_EQ(k.left < k.right, k.lt);
        EXPECT_EQ(k.left <= k.right, k.le);
        EXPECT_EQ(k.left > k.right, k.gt);
        EXPECT_EQ(k.left >= k.right, k.ge);
    }
    const THPDateTime none(kNoDateTime);
    EXPECT_FALSE(none == none);
    EXPECT_TRUE(none != a);
    EXPECT_FALSE(none <= a);

    try {
        a.Compare(b, static_cast<THPCompare>(42));
        FAIL() << "an unknown comparison must raise";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Operation not supported");
    }
}

TEST(HPDateTime, AssignsFromItsOwnKindOnly) {
    THPDateTime source = HP(k1Feb2003, 123);
    source.SetPattern("yyyy");
    THPDateTime target;
    target.Assign(&source);
    EXPECT_EQ(target, source);
    EXPECT_EQ(target.Pattern(), "yyyy");

    try {
        target.Assign(nullptr);
        FAIL() << "assigning from nothing must raise";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a nil to a THPDateTime");
    }
    TErrorMessage other;
    try {
        target.Assign(&other);
        FAIL() << "assigning another kind must raise";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TErrorMessage to a THPDateTime");
    }
    EXPECT_EQ(target, source);
}

// ---- Formatting and parsing with fractional seconds -------------------------------------------

using HPDateTimeText = DateTimeTestSettings;

TEST_F(HPDateTimeText, FormatsWithTheDefaultPattern) {
    const THPDateTime value = HP(k1Feb2003, 45005250000000000);  // 12:30:05.25
    EXPECT_EQ(value.Pattern(), "dd.mmm.yyyy hh:nn:ssss");
    EXPECT_EQ(value.FormatText(), "01.Feb.2003 12:30:05.25");
    EXPECT_EQ(value.FormatText("hh:nn:ssss", kLocaleDutchNL), "12:30:05,25");
    EXPECT_EQ(THPDateTime(kNoDateTime).FormatText(), "NAN");
}

TEST_F(HPDateTimeText, WritesFractionalSecondsRoundedToTheDecimalsShown) {
    const THPDateTime value = HP(k1Feb2003, 45005123456789012);  // 12:30:05.123456789012
    struct Case {
        const char* pattern;
        int decimals;
        const char* expected;
    };
    for (const Case& c : {Case{"hh:nn:sss", -1, "12:30:5.123456789"},
                          {"hh:nn:ssss", -1, "12:30:05.123456789"},
                          {"sssss", -1, "45005.123456789"},
                          {"hh:nn:sss", 3, "12:30:5.123"},
                          {"hh:nn:sss", 0, "12:30:5"},
                          {"hh:nn:sss", 12, "12:30:5.123456789012"},
                          {"hh:nn:sss", 20, "12:30:5.123456789012"},
                          {"hh:nn:ss.zzz", -1, "12:30:05.123"}}) {
        THPDateTimeStringConvertor convertor(kLocaleEnglishUS, c.pattern);
        convertor.SetDecimals(c.decimals);
        convertor.SetHPValue(value);
        EXPECT_EQ(convertor.Text(), c.expected) << c.pattern << " with " << c.decimals;
    }
    EXPECT_EQ(HP(0, 5 * kPicosecondsPerSecond).FormatText("sss"), "5");
    EXPECT_EQ(HP(0, 5250000000000).FormatText("sss"), "5.25");

    // A time that rounds up to a full minute carries into minute, hour and day.
    const THPDateTime lastMoment = HP(k1Feb2003, kPicosecondsPerDay - 400);
    EXPECT_EQ(lastMoment.FormatText("dd.mm.yyyy hh:nn:ssss"), "02.02.2003 00:00:00");
    THPDateTimeStringConvertor twelve(kLocaleEnglishUS, "hh:nn:ssss");
    twelve.SetDecimals(12);
    twelve.SetHPValue(lastMoment);
    EXPECT_EQ(twelve.Text(), "23:59:59.999999999600");
}

TEST_F(HPDateTimeText, ReadsFractionalSecondsToThePicosecond) {
    THPDateTimeStringConvertor convertor(kLocaleEnglishUS, "dd.mm.yyyy hh:nn:sss");
    ASSERT_TRUE(convertor.Parse("01.02.2003 12:30:05.123456789012"));
    EXPECT_EQ(convertor.HPValue(), HP(k1Feb2003, 45005123456789012));
    EXPECT_DOUBLE_EQ(convertor.Value(), convertor.HPValue().DateTime());

    struct Case {
        const char* text;
        const char* pattern;
        uint32_t locale;
        bool ok;
        int64_t picoseconds;  // time of day on day 0, when ok
    };
    for (const Case& c : {
             Case{"45005.5", "sssss", kLocaleEnglishUS, true, 45005500000000000},
             {"86399.999", "sssss", kLocaleEnglishUS, true, 86399999000000000},
             {"86400", "sssss", kLocaleEnglishUS, false, 0},
             {"12:30:59.999", "hh:nn:sss", kLocaleEnglishUS, true, 45059999000000000},
             {"12:30:60", "hh:nn:sss", kLocaleEnglishUS, false, 0},
             {"12:30:59.99999999999951", "hh:nn:sss", kLocaleEnglishUS, false, 0},  // = 60
             {"12:30:.5", "hh:nn:sss", kLocaleEnglishUS, true, 45000500000000000},
             {"12:30:7.", "hh:nn:sss", kLocaleEnglishUS, true, 45007000000000000},
             {"12:30:.", "hh:nn:sss", kLocaleEnglishUS, false, 0},
             {"12:30:", "hh:nn:sss", kLocaleEnglishUS, false, 0},
             {"12:30:05,25", "hh:nn:ssss", kLocaleDutchNL, true, 45005250000000000},
             {"12:30:05.125", "hh:nn:ss.zzz", kLocaleEnglishUS, true, 45005125000000000},
             {"12:30:99999999999999999999", "hh:nn:sss", kLocaleEnglishUS, false, 0},
         }) {
        THPDateTimeStringConvertor hp(c.locale, c.pattern);
        EXPECT_EQ(hp.Parse(c.text), c.ok) << c.text << " by " << c.pattern;
        if (c.ok) {
            EXPECT_EQ(hp.HPValue(), HP(0, c.picoseconds)) << c.text;
        } else {
            EXPECT_TRUE(std::isnan(hp.HPValue().Day())) << c.text;
        }
    }
    // Only the high-precision converter knows the fractional-second tokens.
    EXPECT_FALSE(IsDateTimeText("12:30:05.25", "hh:nn:sss"));
}

TEST_F(HPDateTimeText, TwelveDecimalsParseBackToTheSamePicosecond) {
    THPDateTimeStringConvertor convertor(kLocaleEnglishUS, "ddddddd sssss");
    convertor.SetDecimals(12);
    for (int64_t step = 0; step < 1000; ++step) {
        const THPDateTime value = HP(static_cast<int>(step * 97), step * 86399987654321LL);
        convertor.SetHPValue(value);
        const std::string text = convertor.Text();
        ASSERT_TRUE(convertor.Parse(text)) << text;
        ASSERT_EQ(convertor.HPValue(), value) << text;
    }
}

}  // namespace
}  // namespace vantrel
