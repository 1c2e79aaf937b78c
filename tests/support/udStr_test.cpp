#include "support/udStr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/uExceptions.h"

namespace vantrel {
namespace {

TFormatSettings PointComma() {
    TFormatSettings s;
    s.DecimalSeparator = '.';
    s.ThousandSeparator = ',';
    return s;
}

TFormatSettings CommaPoint() {
    TFormatSettings s;
    s.DecimalSeparator = ',';
    s.ThousandSeparator = '.';
    return s;
}

TEST(Justification, PadsCutsAndChecks) {
    EXPECT_EQ(PadRight("uV", 8), "uV      ");
    EXPECT_EQ(PadRight("EEG Fpz-Cz plus more", 16), "EEG Fpz-Cz plus ");
    EXPECT_EQ(PadRight("x", 0), "");
    EXPECT_EQ(Spaces(3), "   ");
    EXPECT_EQ(Spaces(-1), "");
    EXPECT_TRUE(IsPrintableAscii(""));
    EXPECT_TRUE(IsPrintableAscii(" ~"));
    EXPECT_FALSE(IsPrintableAscii("Imp\xc3\xa9"));
    EXPECT_FALSE(IsPrintableAscii("a\tb"));
    EXPECT_FALSE(IsLeftAligned(" 1"));
    EXPECT_TRUE(IsLeftAligned("1 "));
    EXPECT_TRUE(IsLeftAligned(""));
    EXPECT_TRUE(IsLeftAligned("   "));
    EXPECT_FALSE(IsLeftAligned("\t1"));
}

TEST(IntegerTexts, RespectTheirRanges) {
    struct Case {
        const char* text;
        bool small, word, int32;
    };
    const Case cases[] = {
        {" -32768 ", true, false, true},
        {"32767", true, true, true},
        {"32768", false, true, true},
        {"+12", true, true, true},
        {"65535", false, true, true},
        {"65536", false, false, true},
        {"-1", true, false, true},
        {"2147483647", false, false, true},
        {"2147483648", false, false, false},
        {"-2147483648", false, false, true},
        {"99999999999999999999999", false, false, false},
        {"", false, false, false},
        {"1.0", false, false, false},
        {"1 2", false, false, false},
        {"-", false, false, false},
        {"+-1", false, false, false},
        {"$1F", false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSmallIntText(c.text), c.small) << '"' << c.text << '"';
        EXPECT_EQ(IsWordText(c.text), c.word) << '"' << c.text << '"';
        EXPECT_EQ(IsInt32Text(c.text), c.int32) << '"' << c.text << '"';
    }
    EXPECT_EQ(StrToInt32Or0(" -17 "), -17);
    EXPECT_EQ(StrToInt32Or0("x"), 0);
}

TEST(NextToken, CutsAtEachDelimiter) {
    std::string text = "X  M";
    EXPECT_EQ(NextToken(text, " ", true), "X");
    EXPECT_EQ(NextToken(text, " ", true), "");
    EXPECT_EQ(NextToken(text, " ", true), "M");
    EXPECT_EQ(text, "");

    std::string keep = "a,b;c";
    EXPECT_EQ(NextToken(keep, ";,", false), "a,");
    EXPECT_EQ(keep, "b;c");
    EXPECT_EQ(CountChar('x', "xaxbx"), 3);
}

TEST(HeaderTextToUtf8, KeepsValidUtf8AndReadsTheRestAsLatin1) {
    struct Case {
        const char* bytes;
        const char* shown;
        bool valid;
    };
    const Case cases[] = {
        {"EEG C3-A2", "EEG C3-A2", true},
        {"Imp\xC3\xA9", "Imp\xC3\xA9", true},                 // UTF-8 e-acute kept
        {"Andr\xE9", "Andr\xC3\xA9", false},                  // Latin-1 e-acute converted
        {"\xC3\xA9\xE9", "\xC3\x83\xC2\xA9\xC3\xA9", false},  // one bad byte: all Latin-1
        {"\xC0\xAF", "\xC3\x80\xC2\xAF", false},              // overlong form
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80", false},  // surrogate
        {"\xE2\x82", "\xC3\xA2\xC2\x82", false},              // cut sequence
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", true},       // four bytes
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
        EXPECT_EQ(HeaderTextToUtf8(c.bytes), c.shown) << c.bytes;
    }
}

TEST(GeneralFormat, WritesTheSystemNumberTexts) {
    struct Case {
        long double x;
        const char* text;
    };
    const Case cases[] = {
        {0, "0"},
        {1800, "1800"},
        {-3276.7L, "-3276.7"},
        {0.5, "0.5"},
        {0.0001L, "0.0001"},
        {0.00001L, "1E-5"},
        {1e15L, "1E15"},
        {123456789012345.0L, "123456789012345"},
        {1234567890123456.0L, "1.23456789012346E15"},
        {-0.000123L, "-0.000123"},
        {0.1, "0.1"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.5e-7L, "2.5E-7"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToStr(c.x), c.text);
    EXPECT_EQ(FormatFloatGeneral(0.5, 15, ','), "0,5");
}

TEST(FloatToEDF, FindsTheShortestTextThatFits) {
    struct Case {
        double x;
        int width;
        const char* text;
    };
    const Case cases[] = {
        {1800, 8, "1800"},           {-3276.7, 8, "-3276.7"},    {0.5, 8, "0.5"},
        {0.00001, 8, "1E-5"},        {123456789, 8, "1.2346E8"}, {1234567890, 8, "1.2346E9"},
        {0.0001, 8, "0.0001"},       {-0.00327, 8, "-0.00327"},  {1.0 / 3.0, 8, "0.333333"},
        {-1.0 / 3.0, 8, "-0.33333"}, {99999999, 8, "99999999"},  {-99999999, 8, "-1E8"},
        {9.59375, 8, "9.59375"},     {32767, 8, "32767"},        {-32768, 8, "-32768"},
        {1e-100, 8, "1E-100"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToEDF(c.x, c.width), c.text) << c.x;
    EXPECT_EQ(FloatToEDF(0.25, 8, ','), "0,25");
    EXPECT_THROW(FloatToEDF(-1.5e-300, 4), EConvertError);
    try {
        FloatToEDF(123456789, 3);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "String exceeds max string length");
    }
}

TEST(FloatToFixedWidth, FitsAndPads) {
    const TFormatSettings s = PointComma();
    EXPECT_EQ(FloatToFixedWidth(0.0001, 8, s), "0.0001  ");
    EXPECT_EQ(FloatToFixedWidth(0.001, 8, s), "0.001   ");
    EXPECT_EQ(FloatToFixedWidth(0, 8, s), "0       ");
    EXPECT_EQ(FloatToFixedWidth(0.5, -8, s), "     0.5");
    EXPECT_EQ(FloatToFixedWidth(2, 8, s), "2.0     ");
    EXPECT_EQ(FloatToFixedWidth(0.0001, 8, CommaPoint()), "0,0001  ");
    // Too long for fixed point: general format, then a cut scientific form.
    EXPECT_EQ(FloatToFixedWidth(1.0 / 3.0, 8, s), "3.333E-1");
    EXPECT_EQ(FloatToFixedWidth(123456789012.0, 8, s), "1.234E11");
    EXPECT_EQ(FloatToFixedWidth(-123456789012.0, 8, s).size(), 8u) << "negative values end too";
}

TEST(FloatToFixedWidth, RefusesNaNAndInfinities) {
    for (const double x : {std::nan(""), HUGE_VAL, -HUGE_VAL})
        EXPECT_THROW(FloatToFixedWidth(x, 8, PointComma()), EConvertError) << x;
}

TEST(TryStrToFloatSep, AcceptsExactlyTheGivenSeparators) {
    struct Case {
        const char* text;
        char dec, thou;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"0.5", '.', '\0', true, 0.5},
        {" -12.25 ", '.', '\0', true, -12.25},
        {"0,5", ',', '\0', true, 0.5},
        {"0,5", '.', '\0', false, 0},
        {"1,234,567.5", '.', ',', true, 1234567.5},
        {"1.234.567,5", ',', '.', true, 1234567.5},
        {"1,234", '.', '\0', false, 0},
        {"1e3", '.', '\0', true, 1000},
        {"1E-5", '.', '\0', true, 1e-5},
        {"+7", '.', '\0', true, 7},
        {".5", '.', '\0', true, 0.5},
        {"5.", '.', '\0', true, 5},
        {"", '.', '\0', false, 0},
        {".", '.', '\0', false, 0},
        {"1e", '.', '\0', false, 0},
        {"1.5x", '.', '\0', false, 0},
        {"1.5.2", '.', '\0', false, 0},
        {"NAN", '.', '\0', false, 0},
        {"INF", '.', '\0', false, 0},
        {"inf", '.', '\0', false, 0},
        {"1e999", '.', '\0', false, 0},
        {"1e-999", '.', '\0', true, 0},
        {"0x10", '.', '\0', false, 0},
        {"1,23", '.', ',', false, 0},
        {"1234,567", '.', ',', false, 0},
        {",234", '.', ',', false, 0},
        {"1,234,56.5", '.', ',', false, 0},
    };
    for (const Case& c : cases) {
        double value = -99;
        EXPECT_EQ(TryStrToFloatSep(c.text, c.dec, c.thou, value), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_DOUBLE_EQ(value, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(TryStrToFloatGuess, ReadsEitherConvention) {
    struct Case {
        const char* text;
        bool pointLocale;  // user settings '.'/',' when true, ','/'.' when false
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"0,5", true, true, 0.5},
        {"1,234,567.5", true, true, 1234567.5},
        {"0.5", true, true, 0.5},
        {"1,234", true, true, 1234},
        {"0.5", false, true, 0.5},
        {"0,5", false, true, 0.5},
        {"1.234.567,5", false, true, 1234567.5},
        {"12345,5", true, true, 12345.5},
        {"-3.25", true, true, -3.25},
        {"1e-5", true, true, 1e-5},
        {"abc", true, false, 0},
        {"", true, false, 0},
        {"1,2,3", true, false, 0},
    };
    for (const Case& c : cases) {
        const TFormatSettings user = c.pointLocale ? PointComma() : CommaPoint();
        double value = -99;
        EXPECT_EQ(TryStrToFloatGuess(c.text, true, value, user), c.ok)
            << '"' << c.text << "\" point locale " << c.pointLocale;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(value, c.value) << '"' << c.text << '"';
        }
    }
    double value = 0;
    EXPECT_FALSE(TryStrToFloatGuess("0,5", false, value, PointComma())) << "no guessing";
    EXPECT_TRUE(TryStrToFloatGuess("0,5", false, value, CommaPoint()));
}

TEST(StrToFloatGuess, NamesTheTextItCouldNotRead) {
    EXPECT_DOUBLE_EQ(StrToFloatGuess("2,5", true, PointComma()), 2.5);
    try {
        StrToFloatGuess("x1", true, PointComma());
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'x1' is not a valid floating point value");
    }
    EXPECT_TRUE(IsFloatText("1.5e300", PointComma()));
    EXPECT_FALSE(IsFloatText("1.75e308", PointComma()));
    EXPECT_FALSE(IsFloatText("x", PointComma()));
}

TEST(SeparatorGuessing, SeesWhatASeparatorCanBe) {
    EXPECT_TRUE(IsSurelyDecimal("1234,5", ','));
    EXPECT_TRUE(IsSurelyDecimal("1,23", ','));
    EXPECT_FALSE(IsSurelyDecimal("1,234", ','));
    EXPECT_FALSE(IsSurelyDecimal("1,234,567", ','));

    EXPECT_EQ(GuessDecimalSeparator("1,234", false, '\0'), '\0');
    EXPECT_EQ(GuessDecimalSeparator("1,234", true, '\0'), ',');
    EXPECT_EQ(GuessDecimalSeparator("1.234,5", false, '\0'), ',');
    EXPECT_EQ(GuessDecimalSeparator("1,234", false, ','), '\0');
    EXPECT_EQ(GuessDecimalSeparator("12", false, '\0'), '\0');

    bool lastGroupHas3 = false;
    EXPECT_TRUE(ValidThousandGrouping("1,234,567", ',', '\0', lastGroupHas3));
    EXPECT_TRUE(lastGroupHas3);
    EXPECT_FALSE(ValidThousandGrouping("1,234", ',', '\0', lastGroupHas3));
    EXPECT_TRUE(lastGroupHas3);
    EXPECT_TRUE(ValidThousandGrouping("1,234.5", ',', '.', lastGroupHas3));
    EXPECT_FALSE(ValidThousandGrouping("1234,567,890", ',', '\0', lastGroupHas3));
    EXPECT_FALSE(ValidThousandGrouping("1,23,456", ',', '\0', lastGroupHas3));
    EXPECT_TRUE(ValidThousandGrouping("-1,234,567", ',', '\0', lastGroupHas3));

    char d = 0;
    char t = 0;
    EXPECT_TRUE(GuessSeparators("1.234.567,89", d, t, PointComma()) == false);
    EXPECT_TRUE(GuessSeparators("1.234.567,89", d, t, CommaPoint()));
    EXPECT_EQ(d, ',');
    EXPECT_EQ(t, '.');
}

}  // namespace
}  // namespace vantrel
