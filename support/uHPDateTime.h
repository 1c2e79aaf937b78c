// A date-time to the picosecond, and the converter that reads and writes it with fractional
// seconds.
//
// THPDateTime keeps the day and the time of day apart: the day as a whole serial day (days
// since 30 December 1899, as in uDateTime) and the time of day as a 64-bit count of
// picoseconds, so that adding small steps many times over a night never drifts. It is a plain
// value: copy it freely.
//
// THPDateTimeStringConvertor admits three more pattern tokens than TDateTimeStringConvertor:
//   sss     seconds of the minute with a fraction, e.g. "7.25" (0 <= value < 60)
//   ssss    as sss; at least two integer digits when written ("07.25")
//   sssss   seconds of the day with a fraction (0 <= value < 86400); hour and minute follow
// The fraction uses the locale's decimal separator.
#pragma once

#include <cstdint>
#include <string>

#include "support/uDateTime.h"
#include "support/udRoot.h"

namespace vantrel {

inline constexpr int64_t kPicosecondsPerSecond = 1000000000000;
inline constexpr int64_t kPicosecondsPerDay = 86400 * kPicosecondsPerSecond;

// The display pattern a THPDateTime starts with.
inline constexpr const char* kDefaultHPDateTimePattern = "dd.mmm.yyyy hh:nn:ssss";

// The comparisons THPDateTime::Compare performs.
enum class THPCompare { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };

// A date-time to the picosecond. A NaN day stands for "no date-time": it formats as "NAN",
// converts to NaN and compares unequal to everything.
class THPDateTime : public TPersistent {
  public:
    // 30 December 1899, 00:00.
    THPDateTime() = default;
    // The date-time of a serial value (see SetDateTime).
    explicit THPDateTime(double dateTime);

    const char* ClassName() const override { return "THPDateTime"; }
    // From another THPDateTime: copies day, time of day and pattern. From anything else, or from
    // nothing (nullptr), raises EConvertError "Cannot assign a <source> to a THPDateTime".
    void Assign(const TPersistent* source) override;

    // Day = the whole part of the value (truncated towards zero); the fraction is the time of day,
    // taken to the millisecond (rounded; a time that rounds to midnight moves to the next day).
    // NaN and infinities give a day of that value and time 00:00.
    void SetDateTime(double dateTime);
    // The serial value: day + seconds / 86400, or day - seconds / 86400 for days before
    // 30 December 1899, so that SetDateTime(DateTime()) gives the same day back.
    double DateTime() const;

    // Whole serial day (days since 30 December 1899).
    double Day() const { return day_; }
    // Time of day in 10^-12 s, 0 <= value < kPicosecondsPerDay.
    int64_t Picoseconds() const { return picoseconds_; }
    // Time of day in seconds (picoseconds / 10^12).
    double Seconds() const;

    // Sets the time of day; values beyond a day (25:00, or negative seconds) carry into the day.
    void SetTime(int hours, int minutes, double seconds);
    // Moves the value by a signed amount; whole days carry into the day so that the time of day
    // stays within a day. Adding NaN or an infinity makes the day that value.
    void AddSeconds(double seconds);
    void AddPicoseconds(int64_t picoseconds);
    void AddHMS(int hours, int minutes, double seconds);
    void AddDHMS(int days, int hours, int minutes, double seconds);

    // This value minus other, in seconds.
    double DifferenceInSeconds(const THPDateTime& other) const;

    // Compares by day first, then by time of day. An operation outside THPCompare raises
    // EInvalidOperation "Operation not supported".
    bool Compare(const THPDateTime& other, THPCompare operation) const;
    bool operator==(const THPDateTime& other) const { return Compare(other, THPCompare::Equal); }
    bool operator!=(const THPDateTime& other) const { return Compare(other, THPCompare::NotEqual); }
    bool operator<(const THPDateTime& other) const { return Compare(other, THPCompare::Less); }
    bool operator<=(const THPDateTime& other) const {
        return Compare(other, THPCompare::LessOrEqual);
    }
    bool operator>(const THPDateTime& other) const { return Compare(other, THPCompare::Greater); }
    bool operator>=(const THPDateTime& other) const {
        return Compare(other, THPCompare::GreaterOrEqual);
    }

    // The display pattern used by FormatText(); kDefaultHPDateTimePattern initially.
    const std::string& Pattern() const { return pattern_; }
    void SetPattern(const std::string& pattern) { pattern_ = pattern; }

    // The value written by Pattern() with the user's default locale settings.
    std::string FormatText() const;
    // The value written by a pattern with the settings of a locale identifier (0 = the user's).
    // Empty for an invalid pattern.
    std::string FormatText(const std::string& pattern, uint32_t localeId = 0) const;

  private:
    void AddWholeSeconds(int64_t seconds);
    // Moves whole days out of (or, when negative, into) the time of day.
    void Normalise();

    double day_ = 0;
    int64_t picoseconds_ = 0;
    std::string pattern_ = kDefaultHPDateTimePattern;
};

// The converter for THPDateTime values. Parse() sets HPValue() to the picosecond; SetHPValue()
// formats one. Fractional seconds are written with up to 9 decimals and trailing zeros dropped,
// unless SetDecimals fixed their number; the whole value is rounded to the last decimal written
// (to the millisecond when the pattern has no fractional-second token) before it is taken apart,
// so that 59.9999999999 s never shows as "60".
class THPDateTimeStringConvertor : public TDateTimeStringConvertor {
  public:
    THPDateTimeStringConvertor() = default;
    THPDateTimeStringConvertor(uint32_t localeId, const std::string& pattern);

    // Holds the date-time of a serial value (to the millisecond) and formats it.
    void SetValue(double value) override;
    // Holds a value and formats it.
    void SetHPValue(const THPDateTime& value);
    // The value parsed or set; its day is NaN when there is none.
    const THPDateTime& HPValue() const { return hpValue_; }

    // Number of decimals written for fractional seconds: -1 (default) = up to 9 with trailing
    // zeros dropped; 0..12 = exactly that many (larger values count as 12). Formats again.
    void SetDecimals(int decimals);
    int Decimals() const { return decimals_; }

  protected:
    bool IsSupportedCode(int code) const override;
    bool ParseToken(const TStringToken& token, const std::string& text, size_t& position) override;
    void BeginParse() override;
    bool FinishParse(double& value) override;
    bool DecodeForFormat(TDateTimeParts& parts) const override;
    std::string FormatToken(const TStringToken& token, const TDateTimeParts& parts) const override;

  private:
    bool HasFractionalSecondToken() const;
    std::string FormatSeconds(int64_t picoseconds, size_t minIntegerDigits) const;

    // The seconds read by sss/ssss, or what remains below the minute of sssss, in picoseconds.
    int64_t fractionPicoseconds_ = 0;
    THPDateTime hpValue_{kNoDateTime};
    int decimals_ = -1;
};

}  // namespace vantrel
