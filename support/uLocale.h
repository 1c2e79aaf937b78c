// Locale format settings: number separators, date and time formats and the names of months and
// days. English (United States) and Dutch (Netherlands) are built in, because Linux machines
// often lack locale data; identifier 0 stands for the user's default.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vantrel {

// Locale identifiers.
inline constexpr uint32_t kLocaleUserDefault = 0;
inline constexpr uint32_t kLocaleEnglishUS = 0x0409;  // EDF+ dates "dd-mmm-yyyy" use its names
inline constexpr uint32_t kLocaleDutchNL = 0x0413;

// The format settings of one locale. Separators are single bytes; '\0' means "none".
// Date and time formats use the pattern language of uDateTime.
struct TFormatSettings {
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "M/d/yyyy";
    std::string LongDateFormat = "dddd, MMMM d, yyyy";
    std::string ShortTimeFormat = "h:mm AMPM";
    std::string LongTimeFormat = "h:mm:ss AMPM";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::array<std::string, 12> ShortMonthNames;  // January first
    std::array<std::string, 12> LongMonthNames;
    std::array<std::string, 7> ShortDayNames;  // Sunday first
    std::array<std::string, 7> LongDayNames;
};

// The settings of a locale identifier. Unknown identifiers give English (United States);
// kLocaleUserDefault gives UserFormatSettings().
TFormatSettings GetLocaleFormatSettings(uint32_t localeId);

// The user's settings. Names and formats are Dutch when the environment's time locale (LC_ALL,
// LC_TIME or LANG) is Dutch, English (United States) otherwise; the number separators come from
// the environment's numeric locale (LC_NUMERIC) when the machine has its data. Read once, on
// first use; SetUserFormatSettings replaces them (tests use it to run either convention).
const TFormatSettings& UserFormatSettings();
void SetUserFormatSettings(const TFormatSettings& settings);

// The process-wide settings used for all formatting and plain parsing: the user's settings with
// '.' as decimal separator and ',' as thousands separator, fixed at start-up. Their date and
// time separators are the "process-wide" separators of the date-time patterns.
const TFormatSettings& ProcessFormatSettings();
void SetProcessFormatSettings(const TFormatSettings& settings);

}  // namespace vantrel
