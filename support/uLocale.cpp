#include "support/uLocale.h"

#include <cstdlib>
#include <locale>
#include <optional>

namespace vantrel {

namespace {

TFormatSettings EnglishUS() {
    TFormatSettings s;
    s.ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    s.LongMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                        "July",    "August",   "September", "October", "November", "December"};
    s.ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    s.LongDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    return s;
}

TFormatSettings DutchNL() {
    TFormatSettings s;
    s.DecimalSeparator = ',';
    s.ThousandSeparator = '.';
    s.DateSeparator = '-';
    s.TimeSeparator = ':';
    s.ShortDateFormat = "d-M-yyyy";
    s.LongDateFormat = "dddd d MMMM yyyy";
    s.ShortTimeFormat = "H:mm";
    s.LongTimeFormat = "H:mm:ss";
    s.TimeAMString = "a.m.";
    s.TimePMString = "p.m.";
    s.ShortMonthNames = {"jan", "feb", "mrt", "apr", "mei", "jun",
                         "jul", "aug", "sep", "okt", "nov", "dec"};
    s.LongMonthNames = {"januari", "februari", "maart",     "april",   "mei",      "juni",
                        "juli",    "augustus", "september", "oktober", "november", "december"};
    s.ShortDayNames = {"zo", "ma", "di", "wo", "do", "vr", "za"};
    s.LongDayNames = {"zondag",    "maandag", "dinsdag", "woensdag",
                      "donderdag", "vrijdag", "zaterdag"};
    return s;
}

// The first of the environment variables that is set and not empty.
std::string FirstEnv(std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (const char* value = std::getenv(name); value && *value) return value;
    return {};
}

bool IsDutchLocaleName(const std::string& name) {
    return name.rfind("nl", 0) == 0;
}

// The numeric separators of the environment's LC_NUMERIC, when the machine knows that locale.
void ApplyEnvironmentNumberSeparators(TFormatSettings& settings) {
    const std::string name = FirstEnv({"LC_ALL", "LC_NUMERIC", "LANG"});
    if (name.empty() || name == "C" || name == "POSIX") return;
    try {
        const std::locale locale(name);
        const auto& punct = std::use_facet<std::numpunct<char>>(locale);
        settings.DecimalSeparator = punct.decimal_point();
        const std::string grouping = punct.grouping();
        settings.ThousandSeparator = grouping.empty() ? '\0' : punct.thousands_sep();
    } catch (const std::exception&) {
        // No locale data on this machine: the settings of the chosen names stay.
    }
}

TFormatSettings ReadUserSettings() {
    TFormatSettings settings =
        IsDutchLocaleName(FirstEnv({"LC_ALL", "LC_TIME", "LANG"})) ? DutchNL() : EnglishUS();
    ApplyEnvironmentNumberSeparators(settings);
    return settings;
}

std::optional<TFormatSettings>& UserSettingsSlot() {
    static std::optional<TFormatSettings> slot;
    return slot;
}

std::optional<TFormatSettings>& ProcessSettingsSlot() {
    static std::optional<TFormatSettings> slot;
    return slot;
}

}  // namespace

TFormatSettings GetLocaleFormatSettings(uint32_t localeId) {
    switch (localeId) {
        case kLocaleUserDefault:
            return UserFormatSettings();
        case kLocaleDutchNL:
            return DutchNL();
        default:
            return EnglishUS();
    }
}

const TFormatSettings& UserFormatSettings() {
    auto& slot = UserSettingsSlot();
    if (!slot) slot = ReadUserSettings();
    return *slot;
}

void SetUserFormatSettings(const TFormatSettings& settings) {
    UserSettingsSlot() = settings;
}

const TFormatSettings& ProcessFormatSettings() {
    auto& slot = ProcessSettingsSlot();
    if (!slot) {
        TFormatSettings settings = UserFormatSettings();
        settings.DecimalSeparator = '.';
        settings.ThousandSeparator = ',';
        slot = settings;
    }
    return *slot;
}

void SetProcessFormatSettings(const TFormatSettings& settings) {
    ProcessSettingsSlot() = settings;
}

}  // namespace vantrel
