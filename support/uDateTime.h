// Date-time values and their conversion to and from text by a pattern.
//
// A date-time value is a double counting days since 30 December 1899: the whole part is the
// day, the fraction the time of day (0.25 = 06:00). For days before that date the value is
// negative, and the fraction still counts forward from midnight of the day given by its whole
// part truncated towards zero: -1.25 is 29 December 1899, 06:00. Dates are those of the
// proleptic Gregorian calendar, years 1 to 9999. NaN stands for "no date-time".
//
// Patterns are cut into tokens by TDateTimeFormatTokenizer (uTokenizer.h); letters are read
// without regard to case:
//   d dd          day (1-2 digits / exactly 2)        ddd dddd   short / long day name
//   m mm          month (1-2 digits / exactly 2)      mmm mmmm   short / long month name
//   yy yyyy       year (2 digits, see CurrentYear / 4 digits)
//   h hh, n nn, s ss   hour, minute, second (1-2 digits / exactly 2)
//   z zzz         millisecond (1-3 digits / exactly 3)
//   ddddddd       a count of days (1-5 digits), added to the date
//   am/pm a/p ampm     12-hour clock markers ("ampm" uses the locale's AM and PM texts)
//   /  :          the process-wide date and time separators (ProcessFormatSettings)
//   ?             any one character when parsing
//   c ddddd dddddd t tt   the locale's date/time, short date, long date, short and long time
//                         formats (an empty pattern means "c")
//   "text" 'text' other characters: themselves, compared without regard to case
// An m or mm directly after an h or hh (only / : ? in between) means minutes, so "hh:mm" reads
// a time. y, yyy, zz, too long a run and unknown "a" forms make the pattern invalid.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "support/uLocale.h"
#include "support/uTokenizer.h"

namespace vantrel {

inline constexpr double kNoDateTime = std::numeric_limits<double>::quiet_NaN();
inline constexpr int32_t kMSecsPerDay = 86400000;

// ---- The current year -----------------------------------------------------------------------

// Two-digit years are completed relative to the current year: the century of the current year,
// plus 100 when the result lies more than 50 years before it (in 2009 "60" is 2060 and "99"
// 2099; in 2060 "05" is 2105). The default source reads the local clock; tests install a fixed
// year. An empty function restores the default.
using TCurrentYearSource = std::function<int()>;
void SetCurrentYearSource(TCurrentYearSource source);
int CurrentYear();

// The four-digit year of two digits (0..99) for the given current year.
int ExpandTwoDigitYear(int twoDigits, int currentYear);

// ---- Encoding and decoding ------------------------------------------------------------------

// The value of a date (time 00:00). False for a date that does not exist or lies outside
// years 1 to 9999.
bool TryEncodeDate(int year, int month, int day, double& value);
// The fraction of a day of a time of day. False unless hour < 24, minute < 60, second < 60 and
// millisecond < 1000 (all >= 0).
bool TryEncodeTime(int hour, int minute, int second, int millisecond, double& value);
// The value of the day with serial number `serialDay` at time of day `timeOfDay` (0 <= t < 1),
// following the convention for days before 30 December 1899.
double CombineDateTime(int64_t serialDay, double timeOfDay);

// The calendar and clock parts of a date-time value.
struct TDateTimeParts {
    int64_t SerialDay = 0;    // days since 30 December 1899 (may be negative)
    int Year = 0;             // 1..9999
    int Month = 0;            // 1..12
    int Day = 0;              // 1..31
    int DayOfWeek = 0;        // 1 = Sunday .. 7 = Saturday
    int Hour = 0;             // 0..23
    int Minute = 0;           // 0..59
    int Second = 0;           // 0..59
    int Millisecond = 0;      // 0..999
    int64_t Picoseconds = 0;  // time of day in 10^-12 s, 0 <= value < 86400 * 10^12
};

// Fills the calendar parts (Year, Month, Day, DayOfWeek) from SerialDay. False when the day lies
// outside years 1 to 9999.
bool DecodeSerialDay(int64_t serialDay, TDateTimeParts& parts);
// Fills the clock parts (Hour .. Millisecond) from Picoseconds, truncating below a millisecond.
void DecodePicoseconds(int64_t picoseconds, TDateTimeParts& parts);
// Decodes a value, rounding its time of day to the nearest millisecond (a time that rounds up
// to midnight belongs to the next day). False for NaN, infinities and days outside years 1 to
// 9999.
bool DecodeDateTime(double value, TDateTimeParts& parts);

// ---- Conversion by a pattern ------------------------------------------------------------------

// The fields a parse fills in. All are reset to 0 at the start of every parse.
struct TDateTimeFields {
    uint16_t Year = 0;       // as read; two-digit years already completed
    uint16_t Month = 0;      // 1..12 when read
    uint16_t Day = 0;        // 1..31 when read
    uint16_t DayOfWeek = 0;  // 1 = Sunday .. 7, from a day name; not used for the value
    uint16_t Hour = 0;
    uint16_t Minute = 0;
    uint16_t Second = 0;
    uint16_t Millisecond = 0;
    int32_t SerialDays = 0;  // days read by ddddddd, added to the value
    bool Afternoon = false;  // a PM marker was read
};

// Converts between date-time values and texts by one pattern and one set of locale settings.
//
// Parse(text) reads the text by the pattern and, on success, sets Value(); SetValue(value)
// formats the value into Text(). Success() tells whether the last of these worked. Text after
// the last token of a parse is ignored. An invalid pattern makes every parse fail and every
// format give an empty text; a NaN value formats as "NAN" (Success() false).
class TDateTimeStringConvertor {
  public:
    // The user's default locale settings and the empty pattern (short date, long time).
    TDateTimeStringConvertor();
    // The settings of a locale identifier (0 = the user's default) and a pattern.
    TDateTimeStringConvertor(uint32_t localeId, const std::string& pattern);
    virtual ~TDateTimeStringConvertor() = default;

    // Replace the locale settings (names, formats, AM/PM texts, decimal separator). The pattern
    // is expanded again with the new formats and a held value is formatted again.
    void SetLocale(uint32_t localeId);
    void SetFormatSettings(const TFormatSettings& settings);
    const TFormatSettings& FormatSettings() const { return settings_; }

    // Sets and expands the pattern; a held value (not NaN) is formatted again.
    void SetPattern(const std::string& pattern);
    // The pattern as set.
    const std::string& Pattern() const { return pattern_; }
    // The pattern after expansion, with minute m's written as N: e.g. "hh:mm" gives "hh:NN".
    std::string ExpandedPattern() const;
    const std::vector<TStringToken>& Tokens() const { return tokens_; }
    // Every token of the expanded pattern is one this converter reads and writes.
    bool PatternValid() const;
    // The expanded pattern holds an AM/PM token (am/pm, a/p or ampm).
    bool HasAmPm() const { return hasAmPm_; }

    // Reads text by the pattern. On success Value() is the date-time read; on failure it is NaN.
    // Never raises. Returns Success().
    bool Parse(const std::string& text);
    // Holds the value and formats it into Text().
    virtual void SetValue(double value);

    double Value() const { return value_; }  // NaN when none
    const std::string& Text() const { return text_; }
    bool Success() const { return success_; }
    const TDateTimeFields& Fields() const { return fields_; }

  protected:
    // The codes this converter admits in a pattern.
    virtual bool IsSupportedCode(int code) const;
    // Reads one token of `text` at `position` and advances it; false when the text does not fit.
    virtual bool ParseToken(const TStringToken& token, const std::string& text, size_t& position);
    // Called at the start of every parse, after the fields were reset.
    virtual void BeginParse() {}
    // Called with the encoded value after a successful encoding; may refine or reject it.
    virtual bool FinishParse(double& value);
    // The parts of the held value to format; false when the value cannot be formatted.
    virtual bool DecodeForFormat(TDateTimeParts& parts) const;
    // The text of one token for the given parts.
    virtual std::string FormatToken(const TStringToken& token, const TDateTimeParts& parts) const;

    // Formats the held value into the text and sets the success flag.
    void FormatHeldValue();
    // Forgets a parsed or formatted value: NaN value, failure.
    void ClearValue();
    // Holds a value without formatting it.
    void StoreValue(double value);

    TDateTimeFields fields_;

  private:
    void ExpandPattern();
    bool ReadNumber(const std::string& text, size_t& position, size_t minDigits, size_t maxDigits,
                    int& number) const;
    // Reads the afternoon marker pm (sets Afternoon) or else the morning marker am.
    bool ReadAmPmMarker(const std::string& text, size_t& position, const std::string& pm,
                        const std::string& am);
    bool EncodeFields(double& value) const;

    TFormatSettings settings_;
    std::string pattern_;
    std::vector<TStringToken> tokens_;
    bool hasAmPm_ = false;
    std::string text_;
    double value_ = kNoDateTime;
    bool success_ = false;
};

// Each call below creates a converter with the settings of the locale identifier (0 = the
// user's default) and the pattern.

// The text parses by the pattern (the text is used as given).
bool IsDateTimeText(const std::string& text, const std::string& pattern, uint32_t localeId = 0);
// The value of the trimmed text; raises EConvertError "Invalid date/time string format" when it
// does not parse.
double StrToDateTimeFmt(const std::string& text, const std::string& pattern, uint32_t localeId = 0);
// As StrToDateTimeFmt without raising: on success stores the value and returns true; on failure
// leaves value unchanged.
bool TryStrToDateTimeFmt(const std::string& text, const std::string& pattern, double& value,
                         uint32_t localeId = 0);
// The text of value by the pattern: "NAN" for NaN, empty for an invalid pattern or a value
// outside years 1 to 9999.
std::string FormatDateTimeFmt(const std::string& pattern, double value, uint32_t localeId = 0);

}  // namespace vantrel
