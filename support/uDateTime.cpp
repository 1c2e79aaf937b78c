#include "support/uDateTime.h"

#include <cctype>
#include <cmath>
#include <ctime>
#include <utility>

#include "support/uExceptions.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

// ---- Calendar arithmetic ----------------------------------------------------------------------
// Days are counted in the proleptic Gregorian calendar with the era-based method: a 400-year era
// has exactly 146097 days, so years, months and days map to day numbers with integer
// arithmetic only, exact for every year.

// Days since 1 January 1970 of a civil date.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;  // 0..399
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// The civil date of a count of days since 1 January 1970.
void CivilFromDays(int64_t days, int64_t& year, int& month, int& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;  // 0..146096
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;  // 0..399
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // 0 = March .. 11 = February
    day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

// 30 December 1899, day 0 of the serial dates, counted from 1 January 1970.
const int64_t kSerialEpoch = DaysFromCivil(1899, 12, 30);

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int64_t FloorMod(int64_t a, int64_t b) {
    const int64_t r = a % b;
    return r < 0 ? r + b : r;
}

constexpr int64_t kPicosecondsPerMillisecond = 1000000000;

// ---- The current year -----------------------------------------------------------------------

int ClockYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

TCurrentYearSource& CurrentYearSource() {
    static TCurrentYearSource source;
    return source;
}

// ---- Pattern helpers ------------------------------------------------------------------------

// Locale formats may name each other ("c" inside a short date format); deeper nesting than this
// is a loop and makes the token invalid instead of recursing forever.
constexpr int kMaxExpansionDepth = 8;

bool IsSeparatorCode(int code) {
    return code == dtDateSeparator || code == dtTimeSeparator || code == dtAnyChar;
}

bool IsAmPmCode(int code) {
    return code >= dtAmPm && code <= dtLocaleAmPm;
}

// The locale format a format-naming token stands for; false for other tokens.
bool LocaleFormatOf(int code, const TFormatSettings& settings, std::string& format) {
    switch (code) {
        case dtDateTimeFormat:
            format = settings.ShortDateFormat + " " + settings.LongTimeFormat;
            return true;
        case dtShortDateFormat:
            format = settings.ShortDateFormat;
            return true;
        case dtLongDateFormat:
            format = settings.LongDateFormat;
            return true;
        case dtShortTimeFormat:
            format = settings.ShortTimeFormat;
            return true;
        case dtLongTimeFormat:
            format = settings.LongTimeFormat;
            return true;
        default:
            return false;
    }
}

// The tokens of a pattern with every locale-format token replaced by the tokens of its format.
void AppendExpandedTokens(const std::string& pattern, const TFormatSettings& settings, int depth,
                          std::vector<TStringToken>& tokens) {
    for (TStringToken& token : TokenizeDateTimePattern(pattern)) {
        std::string format;
        if (!LocaleFormatOf(token.Code, settings, format)) {
            tokens.push_back(std::move(token));
        } else if (depth >= kMaxExpansionDepth) {
            token.Code = dtInvalid;
            tokens.push_back(std::move(token));
        } else {
            AppendExpandedTokens(format, settings, depth + 1, tokens);
        }
    }
}

// An m or mm whose nearest preceding token other than / : ? is an hour token means minutes.
void RewriteMinutesAfterHours(std::vector<TStringToken>& tokens) {
    int previous = dtInvalid;
    for (TStringToken& token : tokens) {
        if ((token.Code == dtMonth || token.Code == dtMonth2) &&
            (previous == dtHour || previous == dtHour2)) {
            const bool twoLetters = token.Code == dtMonth2;
            token.Code = twoLetters ? dtMinute2 : dtMinute;
            token.Text = token.Value = twoLetters ? "NN" : "N";
        }
        if (!IsSeparatorCode(token.Code)) previous = token.Code;
    }
}

char UpperAscii(char ch) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
}

// `word` stands at `position` of `text`, compared without regard to case. An empty word always
// stands there.
bool MatchesAt(const std::string& text, size_t position, const std::string& word) {
    if (word.empty()) return true;
    if (position > text.size() || text.size() - position < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (UpperAscii(text[position + i]) != UpperAscii(word[i])) return false;
    return true;
}

// Reads `word` at `position` and advances past it.
bool ReadWord(const std::string& text, size_t& position, const std::string& word) {
    if (!MatchesAt(text, position, word)) return false;
    position += word.size();
    return true;
}

// Reads the first of the names found at `position`; index is its place, 1-based.
template <size_t N>
bool ReadName(const std::string& text, size_t& position, const std::array<std::string, N>& names,
              uint16_t& index) {
    for (size_t i = 0; i < N; ++i) {
        if (!names[i].empty() && ReadWord(text, position, names[i])) {
            index = static_cast<uint16_t>(i + 1);
            return true;
        }
    }
    return false;
}

std::string SeparatorText(char separator) {
    return separator == '\0' ? std::string() : std::string(1, separator);
}

// number with at least `width` digits, zeros in front.
std::string ZeroPadded(int64_t number, size_t width) {
    std::string digits = std::to_string(number);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

}  // namespace

// ---- The current year -----------------------------------------------------------------------

void SetCurrentYearSource(TCurrentYearSource source) {
    CurrentYearSource() = std::move(source);
}

int CurrentYear() {
    return CurrentYearSource() ? CurrentYearSource()() : ClockYear();
}

int ExpandTwoDigitYear(int twoDigits, int currentYear) {
    int year = currentYear / 100 * 100 + twoDigits;
    if (year < currentYear - 50) year += 100;
    return year;
}

// ---- Encoding and decoding ------------------------------------------------------------------

bool TryEncodeDate(int year, int month, int day, double& value) {
    if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
    if (day < 1 || day > DaysInMonth(year, month)) return false;
    value = static_cast<double>(DaysFromCivil(year, month, day) - kSerialEpoch);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, double& value) {
    if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60) return false;
    if (second < 0 || second >= 60 || millisecond < 0 || millisecond >= 1000) return false;
    const int32_t ms = ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
    value = static_cast<double>(ms) / kMSecsPerDay;
    return true;
}

double CombineDateTime(int64_t serialDay, double timeOfDay) {
    const double day = static_cast<double>(serialDay);
    return serialDay >= 0 ? day + timeOfDay : day - timeOfDay;
}

bool DecodeSerialDay(int64_t serialDay, TDateTimeParts& parts) {
    // Years 1..9999 keep the arithmetic far from overflow; check before converting.
    constexpr int64_t kFirstDay = -693593;  // 1 January 1
    constexpr int64_t kLastDay = 2958465;   // 31 December 9999
    if (serialDay < kFirstDay || serialDay > kLastDay) return false;
    int64_t year = 0;
    CivilFromDays(serialDay + kSerialEpoch, year, parts.Month, parts.Day);
    parts.SerialDay = serialDay;
    parts.Year = static_cast<int>(year);
    // Day 0 was a Saturday (7).
    parts.DayOfWeek = static_cast<int>(FloorMod(serialDay + 6, 7)) + 1;
    return true;
}

void DecodePicoseconds(int64_t picoseconds, TDateTimeParts& parts) {
    parts.Picoseconds = picoseconds;
    const int64_t ms = picoseconds / kPicosecondsPerMillisecond;
    parts.Millisecond = static_cast<int>(ms % 1000);
    parts.Second = static_cast<int>(ms / 1000 % 60);
    parts.Minute = static_cast<int>(ms / 60000 % 60);
    parts.Hour = static_cast<int>(ms / 3600000);
}

bool DecodeDateTime(double value, TDateTimeParts& parts) {
    if (!std::isfinite(value) || std::fabs(value) > 1e7) return false;
    const double whole = std::trunc(value);
    int64_t day = static_cast<int64_t>(whole);
    int64_t ms = std::llround(std::fabs(value - whole) * kMSecsPerDay);
    if (ms >= kMSecsPerDay) {  // rounds up to midnight: the next day
        ms -= kMSecsPerDay;
        ++day;
    }
    if (!DecodeSerialDay(day, parts)) return false;
    DecodePicoseconds(ms * kPicosecondsPerMillisecond, parts);
    return true;
}

// ---- TDateTimeStringConvertor ---------------------------------------------------------------

TDateTimeStringConvertor::TDateTimeStringConvertor() : settings_(UserFormatSettings()) {
    ExpandPattern();
}

TDateTimeStringConvertor::TDateTimeStringConvertor(uint32_t localeId, const std::string& pattern)
    : settings_(GetLocaleFormatSettings(localeId)), pattern_(pattern) {
    ExpandPattern();
}

void TDateTimeStringConvertor::SetLocale(uint32_t localeId) {
    SetFormatSettings(GetLocaleFormatSettings(localeId));
}

void TDateTimeStringConvertor::SetFormatSettings(const TFormatSettings& settings) {
    settings_ = settings;
    ExpandPattern();
    if (!std::isnan(value_)) FormatHeldValue();
}

void TDateTimeStringConvertor::SetPattern(const std::string& pattern) {
    pattern_ = pattern;
    ExpandPattern();
    if (!std::isnan(value_)) FormatHeldValue();
}

void TDateTimeStringConvertor::ExpandPattern() {
    tokens_.clear();
    AppendExpandedTokens(pattern_.empty() ? "c" : pattern_, settings_, 0, tokens_);
    RewriteMinutesAfterHours(tokens_);
    hasAmPm_ = false;
    for (const TStringToken& token : tokens_)
        if (IsAmPmCode(token.Code)) hasAmPm_ = true;
}

std::string TDateTimeStringConvertor::ExpandedPattern() const {
    std::string expanded;
    for (const TStringToken& token : tokens_)
        expanded += token.Text;
    return expanded;
}

bool TDateTimeStringConvertor::IsSupportedCode(int code) const {
    return (code >= dtDateTimeFormat && code <= dtSecond2) ||
           (code >= dtMillisecond && code <= dtLiteral);
}

bool TDateTimeStringConvertor::PatternValid() const {
    for (const TStringToken& token : tokens_)
        if (!IsSupportedCode(token.Code)) return false;
    return true;
}

// ---- Parsing --------------------------------------------------------------------------------

bool TDateTimeStringConvertor::Parse(const std::string& text) {
    text_ = text;
    ClearValue();
    fields_ = TDateTimeFields{};
    BeginParse();
    if (!PatternValid()) return false;
    size_t position = 0;
    for (const TStringToken& token : tokens_)
        if (!ParseToken(token, text, position)) return false;
    double value = 0;
    if (!EncodeFields(value) || !FinishParse(value)) return false;
    value_ = value;
    success_ = true;
    return true;
}

bool TDateTimeStringConvertor::ReadNumber(const std::string& text, size_t& position,
                                          size_t minDigits, size_t maxDigits, int& number) const {
    size_t count = 0;
    int read = 0;
    while (count < maxDigits && position + count < text.size() &&
           std::isdigit(static_cast<unsigned char>(text[position + count]))) {
        read = read * 10 + (text[position + count] - '0');
        ++count;
    }
    if (count < minDigits) return false;
    position += count;
    number = read;
    return true;
}

bool TDateTimeStringConvertor::ParseToken(const TStringToken& token, const std::string& text,
                                          size_t& position) {
    // Reads a number of minDigits..maxDigits digits into a 16-bit field.
    auto field = [&](uint16_t& target, size_t minDigits, size_t maxDigits) {
        int number = 0;
        if (!ReadNumber(text, position, minDigits, maxDigits, number)) return false;
        target = static_cast<uint16_t>(number);
        return true;
    };
    switch (token.Code) {
        case dtDay:
            return field(fields_.Day, 1, 2);
        case dtDay2:
            return field(fields_.Day, 2, 2);
        case dtShortDayName:
            return ReadName(text, position, settings_.ShortDayNames, fields_.DayOfWeek);
        case dtLongDayName:
            return ReadName(text, position, settings_.LongDayNames, fields_.DayOfWeek);
        case dtSerialDays: {
            int days = 0;
            if (!ReadNumber(text, position, 1, 5, days)) return false;
            fields_.SerialDays = days;
            return true;
        }
        case dtMonth:
            return field(fields_.Month, 1, 2);
        case dtMonth2:
            return field(fields_.Month, 2, 2);
        case dtShortMonthName:
            return ReadName(text, position, settings_.ShortMonthNames, fields_.Month);
        case dtLongMonthName:
            return ReadName(text, position, settings_.LongMonthNames, fields_.Month);
        case dtYear2: {
            int twoDigits = 0;
            if (!ReadNumber(text, position, 2, 2, twoDigits)) return false;
            fields_.Year = static_cast<uint16_t>(ExpandTwoDigitYear(twoDigits, CurrentYear()));
            return true;
        }
        case dtYear4:
            return field(fields_.Year, 4, 4);
        case dtHour:
            return field(fields_.Hour, 1, 2);
        case dtHour2:
            return field(fields_.Hour, 2, 2);
        case dtMinute:
            return field(fields_.Minute, 1, 2);
        case dtMinute2:
            return field(fields_.Minute, 2, 2);
        case dtSecond:
            return field(fields_.Second, 1, 2);
        case dtSecond2:
            return field(fields_.Second, 2, 2);
        case dtMillisecond:
            return field(fields_.Millisecond, 1, 3);
        case dtMillisecond3:
            return field(fields_.Millisecond, 3, 3);
        case dtAmPm:
            return ReadAmPmMarker(text, position, "PM", "AM");
        case dtAP:
            return ReadAmPmMarker(text, position, "P", "A");
        case dtLocaleAmPm:
            return ReadAmPmMarker(text, position, settings_.TimePMString, settings_.TimeAMString);
        case dtDateSeparator:
            return ReadWord(text, position, SeparatorText(ProcessFormatSettings().DateSeparator));
        case dtTimeSeparator:
            return ReadWord(text, position, SeparatorText(ProcessFormatSettings().TimeSeparator));
        case dtAnyChar:
            ++position;  // even past the end: a later token then finds nothing to read
            return true;
        case dtLiteral:
            return ReadWord(text, position, token.Value);
        default:
            return false;
    }
}

bool TDateTimeStringConvertor::ReadAmPmMarker(const std::string& text, size_t& position,
                                              const std::string& pm, const std::string& am) {
    if (!pm.empty() && ReadWord(text, position, pm)) {
        fields_.Afternoon = true;
        return true;
    }
    return ReadWord(text, position, am);
}

bool TDateTimeStringConvertor::EncodeFields(double& value) const {
    int hour = fields_.Hour;
    if (hasAmPm_) {
        // 12-hour clock: 1 PM .. 11 PM are 13..23, and 12 AM is midnight.
        if (fields_.Afternoon && hour < 12) hour += 12;
        if (!fields_.Afternoon && hour == 12) hour = 0;
    }
    double time = 0;
    const bool timeValid =
        TryEncodeTime(hour, fields_.Minute, fields_.Second, fields_.Millisecond, time);
    if (!timeValid) return false;
    double date = 0;
    int64_t serialDay = 0;
    if (TryEncodeDate(fields_.Year, fields_.Month, fields_.Day, date)) {
        serialDay = static_cast<int64_t>(date);
    } else if (fields_.Year != 0 || fields_.Month != 0 || fields_.Day != 0) {
        return false;  // an impossible date; a pattern without date parts gives a time of day 0
    }
    value = CombineDateTime(serialDay + fields_.SerialDays, time);
    return true;
}

bool TDateTimeStringConvertor::FinishParse(double& /*value*/) {
    return true;
}

// ---- Formatting -----------------------------------------------------------------------------

void TDateTimeStringConvertor::SetValue(double value) {
    value_ = value;
    FormatHeldValue();
}

void TDateTimeStringConvertor::ClearValue() {
    value_ = kNoDateTime;
    success_ = false;
}

void TDateTimeStringConvertor::StoreValue(double value) {
    value_ = value;
}

void TDateTimeStringConvertor::FormatHeldValue() {
    success_ = false;
    text_.clear();
    if (!PatternValid()) return;
    if (std::isnan(value_)) {
        text_ = "NAN";
        return;
    }
    TDateTimeParts parts;
    if (!DecodeForFormat(parts)) return;
    for (const TStringToken& token : tokens_)
        text_ += FormatToken(token, parts);
    success_ = true;
}

bool TDateTimeStringConvertor::DecodeForFormat(TDateTimeParts& parts) const {
    return DecodeDateTime(value_, parts);
}

std::string TDateTimeStringConvertor::FormatToken(const TStringToken& token,
                                                  const TDateTimeParts& parts) const {
    // With a 12-hour marker 13..23 are written as 1..11; 0 and 12 stay.
    const int hour = hasAmPm_ && parts.Hour > 12 ? parts.Hour - 12 : parts.Hour;
    const bool beforeNoon = parts.Hour < 12;
    switch (token.Code) {
        case dtDay:
            return std::to_string(parts.Day);
        case dtDay2:
            return ZeroPadded(parts.Day, 2);
        case dtShortDayName:
            return settings_.ShortDayNames[parts.DayOfWeek - 1];
        case dtLongDayName:
            return settings_.LongDayNames[parts.DayOfWeek - 1];
        case dtSerialDays:
            return std::to_string(parts.SerialDay);
        case dtMonth:
            return std::to_string(parts.Month);
        case dtMonth2:
            return ZeroPadded(parts.Month, 2);
        case dtShortMonthName:
            return settings_.ShortMonthNames[parts.Month - 1];
        case dtLongMonthName:
            return settings_.LongMonthNames[parts.Month - 1];
        case dtYear2:
            return ZeroPadded(parts.Year % 100, 2);
        case dtYear4:
            return ZeroPadded(parts.Year, 4);
        case dtHour:
            return std::to_string(hour);
        case dtHour2:
            return ZeroPadded(hour, 2);
        case dtMinute:
            return std::to_string(parts.Minute);
        case dtMinute2:
            return ZeroPadded(parts.Minute, 2);
        case dtSecond:
            return std::to_string(parts.Second);
        case dtSecond2:
            return ZeroPadded(parts.Second, 2);
        case dtMillisecond:
            return std::to_string(parts.Millisecond);
        case dtMillisecond3:
            return ZeroPadded(parts.Millisecond, 3);
        case dtAmPm:  // "am/pm" as written: "am" before noon, "pm" from noon
            return token.Text.substr(beforeNoon ? 0 : 3, 2);
        case dtAP:
            return token.Text.substr(beforeNoon ? 0 : 2, 1);
        case dtLocaleAmPm:
            return beforeNoon ? settings_.TimeAMString : settings_.TimePMString;
        case dtDateSeparator:
            return SeparatorText(ProcessFormatSettings().DateSeparator);
        case dtTimeSeparator:
            return SeparatorText(ProcessFormatSettings().TimeSeparator);
        case dtAnyChar:
            return "?";
        case dtLiteral:
            return token.Value;
        default:
            return {};
    }
}

// ---- One-call conversions -------------------------------------------------------------------

bool IsDateTimeText(const std::string& text, const std::string& pattern, uint32_t localeId) {
    TDateTimeStringConvertor convertor(localeId, pattern);
    return convertor.Parse(text);
}

double StrToDateTimeFmt(const std::string& text, const std::string& pattern, uint32_t localeId) {
    double value = kNoDateTime;
    if (!TryStrToDateTimeFmt(text, pattern, value, localeId))
        throw EConvertError("Invalid date/time string format");
    return value;
}

bool TryStrToDateTimeFmt(const std::string& text, const std::string& pattern, double& value,
                         uint32_t localeId) {
    TDateTimeStringConvertor convertor(localeId, pattern);
    if (!convertor.Parse(Trim(text))) return false;
    value = convertor.Value();
    return true;
}

std::string FormatDateTimeFmt(const std::string& pattern, double value, uint32_t localeId) {
    TDateTimeStringConvertor convertor(localeId, pattern);
    convertor.SetValue(value);
    return convertor.Text();
}

}  // namespace vantrel
