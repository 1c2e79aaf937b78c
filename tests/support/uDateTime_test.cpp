#include "support/uDateTime.h"

#include <gtest/gtest.h>

#include <cmath>

#include "DateTimeTestSettings.h"
#include "support/uExceptions.h"

namespace vantrel {
namespace {

// Serial days, computed independently of the code under test.
constexpr int k1Feb2003 = 37653;
constexpr int k1Jan2001 = 36892;
constexpr int k1Mar2003 = 37681;
constexpr int k29Feb2000 = 36585;
constexpr int k1Jan0001 = -693593;
constexpr int k31Dec9999 = 2958465;

double At(int serialDay, int hour = 0, int minute = 0, int second = 0, int ms = 0) {
    return serialDay + (((hour * 60 + minute) * 60 + second) * 1000 + ms) / 86400000.0;
}

// ---- Calendar ---------------------------------------------------------------------------------

TEST(DateTimeCalendar, EveryDayFromYear1To9999DecodesAndEncodesBack) {
    TDateTimeParts previous;
    ASSERT_TRUE(DecodeSerialDay(k1Jan0001, previous));
    EXPECT_EQ(previous.Year, 1);
    EXPECT_EQ(previous.Month, 1);
    EXPECT_EQ(previous.Day, 1);
    for (int64_t serial = k1Jan0001 + 1; serial <= k31Dec9999; ++serial) {
        TDateTimeParts parts;
        ASSERT_TRUE(DecodeSerialDay(serial, parts)) << serial;
        // Each day is the next day of the calendar: day + 1, or the first of the next month.
        const bool nextInMonth = parts.Year == previous.Year && parts.Month == previous.Month &&
                                 parts.Day == previous.Day + 1;
        const bool firstOfNext =
            parts.Day == 1 && ((parts.Year == previous.Year && parts.Month == previous.Month + 1) ||
                               (parts.Year == previous.Year + 1 && parts.Month == 1));
        ASSERT_TRUE(nextInMonth || firstOfNext) << serial;
        ASSERT_EQ(parts.DayOfWeek, previous.DayOfWeek % 7 + 1) << serial;
        double encoded = 0;
        ASSERT_TRUE(TryEncodeDate(parts.Year, parts.Month, parts.Day, encoded));
        ASSERT_EQ(encoded, static_cast<double>(serial));
        previous = parts;
    }
    EXPECT_EQ(previous.Year, 9999);
    EXPECT_EQ(previous.Month, 12);
    EXPECT_EQ(previous.Day, 31);
    TDateTimeParts outside;
    EXPECT_FALSE(DecodeSerialDay(k1Jan0001 - 1, outside));
    EXPECT_FALSE(DecodeSerialDay(k31Dec9999 + 1, outside));
}

TEST(DateTimeCalendar, EncodesKnownDatesAndRefusesImpossibleOnes) {
    double value = -7;
    ASSERT_TRUE(TryEncodeDate(2003, 2, 1, value));
    EXPECT_EQ(value, k1Feb2003);
    ASSERT_TRUE(TryEncodeDate(1899, 12, 30, value));
    EXPECT_EQ(value, 0);
    ASSERT_TRUE(TryEncodeDate(2000, 2, 29, value));
    EXPECT_EQ(value, k29Feb2000);
    for (const auto& [y, m, d] : {std::tuple{1900, 2, 29},
                                  {2001, 2, 29},
                                  {2003, 2, 31},
                                  {2003, 4, 31},
                                  {2003, 13, 1},
                                  {2003, 0, 1},
                                  {2003, 1, 0},
                                  {0, 1, 1},
                                  {10000, 1, 1}}) {
        value = -7;
        EXPECT_FALSE(TryEncodeDate(y, m, d, value)) << y << "-" << m << "-" << d;
        EXPECT_EQ(value, -7);
    }
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, value));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, value));
    EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, value));
    EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, value));
    ASSERT_TRUE(TryEncodeTime(23, 59, 59, 999, value));
    EXPECT_EQ(value, 86399999 / 86400000.0);
}

TEST(DateTimeCalendar, NegativeSerialsCountTheTimeForwardFromTheTruncatedDay) {
    TDateTimeParts parts;
    ASSERT_TRUE(DecodeDateTime(-1.25, parts));  // 29 December 1899, 06:00
    EXPECT_EQ(parts.SerialDay, -1);
    EXPECT_EQ(parts.Day, 29);
    EXPECT_EQ(parts.Hour, 6);
    EXPECT_EQ(CombineDateTime(-1, 0.25), -1.25);
    EXPECT_EQ(CombineDateTime(5, 0.25), 5.25);
    ASSERT_TRUE(DecodeDateTime(-0.5, parts));  // day 0, noon
    EXPECT_EQ(parts.SerialDay, 0);
    EXPECT_EQ(parts.Hour, 12);
}

TEST(DateTimeCalendar, TimeRoundingUpToMidnightMovesToTheNextDay) {
    TDateTimeParts parts;
    ASSERT_TRUE(DecodeDateTime(k1Feb2003 + 0.9999999999, parts));
    EXPECT_EQ(parts.SerialDay, k1Feb2003 + 1);
    EXPECT_EQ(parts.Day, 2);
    EXPECT_EQ(parts.Hour, 0);
    EXPECT_EQ(parts.Millisecond, 0);
    ASSERT_TRUE(DecodeDateTime(-1.9999999999, parts));  // 29 Dec 23:59:59.99999 -> 30 Dec 00:00
    EXPECT_EQ(parts.SerialDay, 0);
    EXPECT_EQ(parts.Hour, 0);
    EXPECT_FALSE(DecodeDateTime(std::nan(""), parts));
    EXPECT_FALSE(DecodeDateTime(INFINITY, parts));
}

TEST(DateTimeCalendar, TwoDigitYearsStayWithinFiftyYearsBeforeTheCurrentYear) {
    struct Case {
        int digits, currentYear, expected;
    };
    for (const Case& c : {Case{3, 2009, 2003},
                          {60, 2009, 2060},
                          {99, 2009, 2099},
                          {58, 2009, 2058},
                          {59, 2009, 2059},
                          {0, 2009, 2000},
                          {5, 2060, 2105},
                          {10, 2060, 2010},
                          {9, 2060, 2109},
                          {50, 2000, 2050},
                          {49, 2099, 2049},
                          {48, 2099, 2148}}) {
        EXPECT_EQ(ExpandTwoDigitYear(c.digits, c.currentYear), c.expected)
            << c.digits << " in " << c.currentYear;
    }
}

// ---- Parsing ----------------------------------------------------------------------------------

using DateTimeParse = DateTimeTestSettings;

struct ParseCase {
    const char* text;
    const char* pattern;
    uint32_t locale;
    bool ok;
    double expected;  // when ok
};

TEST_F(DateTimeParse, ReadsTextsByPattern) {
    constexpr uint32_t en = kLocaleEnglishUS;
    constexpr uint32_t nl = kLocaleDutchNL;
    const ParseCase cases[] = {
        {"01.02.03", "dd.mm.yy", en, true, k1Feb2003},
        {"1.02.03", "dd.mm.yy", en, false, 0},  // dd needs two digits
        {"01.02.03xyz", "dd.mm.yy", en, true, k1Feb2003},
        {"01.02.60", "dd.mm.yy", en, true, 58472},  // 1 February 2060
        {"31.02.03", "dd.mm.yy", en, false, 0},
        {"01-JAN-2001", "dd-mmm-yyyy", en, true, k1Jan2001},
        {"01-jan-2001", "DD-MMM-YYYY", en, true, k1Jan2001},
        {"01-JANUARY-2001", "dd-mmm-yyyy", en, false, 0},
        {"01-February-2003", "dd-mmmm-yyyy", en, true, k1Feb2003},
        {"Saturday 1 February 2003", "dddd d mmmm yyyy", en, true, k1Feb2003},
        {"sat, 01 FEB 2003", "ddd, dd mmm yyyy", en, true, k1Feb2003},
        {"1 maart 2003", "d mmmm yyyy", nl, true, k1Mar2003},
        {"1 march 2003", "d mmmm yyyy", nl, false, 0},
        {"12.30.45", "hh.nn.ss", en, true, At(0, 12, 30, 45)},
        {"12:30", "hh:mm", en, true, At(0, 12, 30)},  // m after h reads minutes
        {"24.00.00", "hh.nn.ss", en, false, 0},
        {"12.60.00", "hh.nn.ss", en, false, 0},
        {"01/02/2003", "dd?mm?yyyy", en, true, k1Feb2003},
        {"01x02y2003", "dd?mm?yyyy", en, true, k1Feb2003},
        {"03-02-01", "yyy-mm-dd", en, false, 0},  // invalid pattern
        {"1/2/2003", "d/m/yyyy", en, true, k1Feb2003},
        {"1.2.2003", "d.m.yyyy", en, true, k1Feb2003},
        {"123.2.2003", "d.m.yyyy", en, false, 0},
        {"29.02.2000", "dd.mm.yyyy", en, true, k29Feb2000},
        {"29.02.1900", "dd.mm.yyyy", en, false, 0},
        {"01.01.0001", "dd.mm.yyyy", en, true, k1Jan0001},
        {"31.12.9999", "dd.mm.yyyy", en, true, k31Dec9999},
        {"00.01.2000", "dd.mm.yyyy", en, false, 0},
        // z is a count of milliseconds, not a decimal fraction: ".5" is 5 ms
        {"01.02.2003 12:30:45.5", "dd.mm.yyyy hh:nn:ss.z", en, true, At(k1Feb2003, 12, 30, 45, 5)},
        {"12:30:45.045", "hh:nn:ss.zzz", en, true, At(0, 12, 30, 45, 45)},
        {"12:30:45.45", "hh:nn:ss.zzz", en, false, 0},
        {"1:05 pm", "h:nn am/pm", en, true, At(0, 13, 5)},
        {"12:30 PM", "h:nn am/pm", en, true, At(0, 12, 30)},
        {"12:30 am", "h:nn am/pm", en, true, At(0, 0, 30)},  // 12 AM is midnight
        {"11:59 AM", "h:nn am/pm", en, true, At(0, 11, 59)},
        {"1:05 xm", "h:nn am/pm", en, false, 0},
        {"1:05 p", "h:nn a/p", en, true, At(0, 13, 5)},
        {"1:05 PM", "h:nn ampm", en, true, At(0, 13, 5)},
        {"1:05 p.m.", "h:nn ampm", nl, true, At(0, 13, 5)},
        {"12345", "ddddddd", en, true, 12345},
        {"12345 06:00", "ddddddd hh:nn", en, true, 12345.25},
        {"01.02.2003 at 12", "dd.mm.yyyy 'AT' hh", en, true, At(k1Feb2003, 12)},
        {"01.02.2003 at 12", "dd.mm.yyyy \"at\" hh", en, true, At(k1Feb2003, 12)},
        {"12", "hh?", en, true, At(0, 12)},  // '?' skips even at the end of the text
        {"12", "hh?nn", en, false, 0},
    };
    for (const ParseCase& c : cases) {
        double value = -1;
        const bool ok = TryStrToDateTimeFmt(c.text, c.pattern, value, c.locale) &&
                        IsDateTimeText(c.text, c.pattern, c.locale);
        EXPECT_EQ(ok, c.ok) << c.text << " by " << c.pattern;
        if (c.ok && ok) {
            EXPECT_DOUBLE_EQ(value, c.expected) << c.text << " by " << c.pattern;
        } else if (!c.ok) {
            EXPECT_EQ(value, -1) << "a failed parse leaves the value alone: " << c.text;
        }
    }
}

TEST_F(DateTimeParse, TwoDigitYearsFollowTheCurrentYear) {
    EXPECT_DOUBLE_EQ(StrToDateTimeFmt("01.01.99", "dd.mm.yy"), 72686);  // 1 January 2099
    SetCurrentYear(2060);
    EXPECT_DOUBLE_EQ(StrToDateTimeFmt("01.01.05", "dd.mm.yy"), 74877);  // 1 January 2105
    EXPECT_DOUBLE_EQ(StrToDateTimeFmt("02.01.60", "dd.mm.yy"), 58442);  // 2 January 2060
}

TEST_F(DateTimeParse, StrToDateTimeFmtTrimsAndRaisesOnFailure) {
    EXPECT_FALSE(IsDateTimeText(" 01.02.03", "dd.mm.yy"));  // the text is used as given
    EXPECT_DOUBLE_EQ(StrToDateTimeFmt("  01.02.03  ", "dd.mm.yy"), k1Feb2003);
    double value = 0;
    EXPECT_TRUE(TryStrToDateTimeFmt(" 01.02.03", "dd.mm.yy", value));
    try {
        StrToDateTimeFmt("31.02.03", "dd.mm.yy");
        FAIL() << "an impossible date must raise";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Invalid date/time string format");
    }
    EXPECT_THROW(StrToDateTimeFmt("01.02.03", "yyy"), EConvertError);
}

TEST_F(DateTimeParse, SeparatorTokensUseTheProcessWideSeparators) {
    ChangeProcessSettings([](TFormatSettings& s) {
        s.DateSeparator = '-';
        s.TimeSeparator = '.';
    });
    EXPECT_TRUE(IsDateTimeText("01-02-2003 12.30", "dd/mm/yyyy hh:nn"));
    EXPECT_FALSE(IsDateTimeText("01/02/2003 12.30", "dd/mm/yyyy hh:nn"));
    EXPECT_FALSE(IsDateTimeText("01-02-2003 12:30", "dd/mm/yyyy hh:nn"));
    EXPECT_EQ(FormatDateTimeFmt("dd/mm/yyyy hh:nn", At(k1Feb2003, 12, 30)), "01-02-2003 12.30");
}

TEST_F(DateTimeParse, ConvertorKeepsTheFieldsAndReportsFailure) {
    TDateTimeStringConvertor convertor(kLocaleEnglishUS, "dddd dd.mm.yyyy");
    ASSERT_TRUE(convertor.Parse("monday 01.02.2003"));  // the day name is read, not checked
    EXPECT_TRUE(convertor.Success());
    EXPECT_EQ(convertor.Fields().DayOfWeek, 2);
    EXPECT_EQ(convertor.Fields().Year, 2003);
    EXPECT_DOUBLE_EQ(convertor.Value(), k1Feb2003);

    EXPECT_FALSE(convertor.Parse("monday 31.02.2003"));
    EXPECT_FALSE(convertor.Success());
    EXPECT_TRUE(std::isnan(convertor.Value()));
    EXPECT_EQ(convertor.Text(), "monday 31.02.2003");
}

TEST_F(DateTimeParse, InvalidPatternsFailEveryParseAndFormat) {
    // The run limits themselves are covered by the tokenizer's tests.
    for (const char* pattern : {"yyy-mm-dd", "dd.zz", "dd ax", "sss"}) {
        TDateTimeStringConvertor convertor(kLocaleEnglishUS, pattern);
        EXPECT_FALSE(convertor.PatternValid()) << pattern;
        EXPECT_FALSE(convertor.Parse("01-02-03")) << pattern;
        convertor.SetValue(k1Feb2003);
        EXPECT_EQ(convertor.Text(), "") << pattern;
        EXPECT_FALSE(convertor.Success()) << pattern;
    }
}

TEST_F(DateTimeParse, LocaleFormatsThatNameEachOtherDoNotRecurseForever) {
    TFormatSettings looping = GetLocaleFormatSettings(kLocaleEnglishUS);
    looping.ShortDateFormat = "dd.mm c";
    TDateTimeStringConvertor convertor(kLocaleEnglishUS, "ddddd");
    convertor.SetFormatSettings(looping);
    EXPECT_FALSE(convertor.PatternValid());
}

// ---- Pattern expansion ------------------------------------------------------------------------

using DateTimePattern = DateTimeTestSettings;

TEST_F(DateTimePattern, ExpandsLocaleFormatsAndReadsMinutesAfterHours) {
    struct Case {
        const char* pattern;
        uint32_t locale;
        const char* expanded;
    };
    for (const Case& c : {
             Case{"", kLocaleEnglishUS, "M/d/yyyy h:NN:ss AMPM"},
             {"c", kLocaleEnglishUS, "M/d/yyyy h:NN:ss AMPM"},
             {"ddddd", kLocaleDutchNL, "d-M-yyyy"},
             {"dddddd", kLocaleEnglishUS, "dddd, MMMM d, yyyy"},
             {"t", kLocaleDutchNL, "H:NN"},
             {"hh:mm", kLocaleEnglishUS, "hh:NN"},
             {"hh?m", kLocaleEnglishUS, "hh?N"},
             {"hh:mmm", kLocaleEnglishUS, "hh:mmm"},  // a month name stays
             {"hh.mm", kLocaleEnglishUS, "hh.mm"},    // only / : ? may stand between
             {"mm:hh", kLocaleEnglishUS, "mm:hh"},
         }) {
        TDateTimeStringConvertor convertor(c.locale, c.pattern);
        EXPECT_EQ(convertor.ExpandedPattern(), c.expanded) << c.pattern;
        EXPECT_TRUE(convertor.PatternValid()) << c.pattern;
    }
}

TEST_F(DateTimePattern, NewPatternOrLocaleFormatsTheHeldValueAgain) {
    TDateTimeStringConvertor convertor(kLocaleEnglishUS, "d mmmm yyyy");
    convertor.SetValue(k1Mar2003);
    EXPECT_EQ(convertor.Text(), "1 March 2003");
    convertor.SetLocale(kLocaleDutchNL);
    EXPECT_EQ(convertor.Text(), "1 maart 2003");
    convertor.SetPattern("dd.mm.yy");
    EXPECT_EQ(convertor.Text(), "01.03.03");
    EXPECT_TRUE(convertor.Success());
}

// ---- Formatting -------------------------------------------------------------------------------

using DateTimeFormat = DateTimeTestSettings;

TEST_F(DateTimeFormat, WritesEachTokenAsDocumented) {
    const double afternoon = At(k1Feb2003, 13, 5, 9, 7);  // Saturday
    const double noon = At(k1Feb2003, 12, 30, 45, 7);
    struct Case {
        double value;
        const char* pattern;
        uint32_t locale;
        const char* expected;
    };
    for (const Case& c : {
             Case{At(0, 13, 5), "h:nn am/pm", kLocaleEnglishUS, "1:05 pm"},
             {At(0, 13, 5), "hh:nn", kLocaleEnglishUS, "13:05"},
             {At(0, 13, 5), "hh:nn AM/PM", kLocaleEnglishUS, "01:05 PM"},
             {At(0, 13, 5), "h:nn A/P", kLocaleEnglishUS, "1:05 P"},
             {At(0, 9, 5), "h:nn a/p", kLocaleEnglishUS, "9:05 a"},
             {At(0, 0, 30), "h:nn am/pm", kLocaleEnglishUS, "0:30 am"},
             {At(0, 12, 0), "h:nn am/pm", kLocaleEnglishUS, "12:00 pm"},
             {At(0, 13, 5), "h:nn ampm", kLocaleDutchNL, "1:05 p.m."},
             {afternoon, "dddd d mmmm yyyy", kLocaleEnglishUS, "Saturday 1 February 2003"},
             {afternoon, "ddd dd mmm yy", kLocaleEnglishUS, "Sat 01 Feb 03"},
             {afternoon, "dddd d mmmm", kLocaleDutchNL, "zaterdag 1 februari"},
             {afternoon, "d/m/yyyy", kLocaleEnglishUS, "1/2/2003"},
             {afternoon, "h:n:s.z", kLocaleEnglishUS, "13:5:9.7"},
             {afternoon, "hh:nn:ss.zzz", kLocaleEnglishUS, "13:05:09.007"},
             {afternoon, "ddddddd", kLocaleEnglishUS, "37653"},
             {afternoon, "dd?mm", kLocaleEnglishUS, "01?02"},
             {afternoon, "\"at\" hh", kLocaleEnglishUS, "at 13"},
             {afternoon, "'at' hh", kLocaleEnglishUS, "at 13"},
             {afternoon, "'unclosed", kLocaleEnglishUS, "unclosed"},
             {noon, "c", kLocaleEnglishUS, "2/1/2003 12:30:45 PM"},
             {noon, "", kLocaleEnglishUS, "2/1/2003 12:30:45 PM"},
             {noon, "t", kLocaleEnglishUS, "12:30 PM"},
             {noon, "c", kLocaleDutchNL, "1-2-2003 12:30:45"},
             {k1Jan0001, "dd.mm.yyyy", kLocaleEnglishUS, "01.01.0001"},
             {-1.25, "dd.mm.yyyy hh:nn", kLocaleEnglishUS, "29.12.1899 06:00"},
             {k1Feb2003 + 0.99999999999, "dd.mm.yyyy hh:nn:ss", kLocaleEnglishUS,
              "02.02.2003 00:00:00"},
             {std::nan(""), "dd.mm.yyyy", kLocaleEnglishUS, "NAN"},
             {3e6, "dd.mm.yyyy", kLocaleEnglishUS, ""},
             {INFINITY, "dd.mm.yyyy", kLocaleEnglishUS, ""},
         }) {
        EXPECT_EQ(FormatDateTimeFmt(c.pattern, c.value, c.locale), c.expected)
            << c.pattern << " of " << c.value;
    }
}

TEST_F(DateTimeFormat, FormattedTextsParseBackToTheSameValue) {
    struct Case {
        const char* pattern;
        int64_t firstDay, lastDay;
    };
    for (const Case& c : {
             Case{"dd.mm.yyyy hh:nn:ss.zzz", k1Jan0001, k31Dec9999},
             {"dddd d mmmm yyyy h:nn:ss.zzz am/pm", k1Jan0001, k31Dec9999},
             {"ddd dd-mmm-yyyy hh:nn:ss.zzz A/P", k1Jan0001, k31Dec9999},
             {"ddddddd hh:nn:ss.zzz", 0, 99999},  // the day count has at most 5 digits
         }) {
        const char* pattern = c.pattern;
        for (int64_t day = c.firstDay; day <= c.lastDay; day += 997) {
            const int ms = static_cast<int>((day * 7919) % 86400000 + 86400000) % 86400000;
            const double value = CombineDateTime(day, ms / 86400000.0);
            const std::string text = FormatDateTimeFmt(pattern, value, kLocaleEnglishUS);
            double back = 0;
            ASSERT_TRUE(TryStrToDateTimeFmt(text, pattern, back, kLocaleEnglishUS))
                << text << " by " << pattern;
            ASSERT_DOUBLE_EQ(back, value) << text << " by " << pattern;
        }
    }
}

}  // namespace
}  // namespace vantrel
