#include "report/uIsoTime.h"

#include <cstdio>

namespace vantrel {

namespace chr = std::chrono;

std::string IsoText(TClockTime time) {
    const chr::sys_days day = chr::floor<chr::days>(time);
    const chr::year_month_day date{day};
    const chr::hh_mm_ss clock{time - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()));
    std::string result = text;
    if (const auto millis = clock.subseconds().count(); millis != 0) {
        std::snprintf(text, sizeof text, ".%03d", int(millis));
        result += text;
    }
    return result;
}

std::string IsoUtcText(chr::system_clock::time_point time) {
    return IsoText(chr::floor<chr::seconds>(time)) + "Z";
}

std::optional<TClockTime> ParseIsoText(const std::string& text) {
    int year = 0, hour = 0, minute = 0, second = 0, used = 0;
    unsigned month = 0, day = 0;
    if (std::sscanf(text.c_str(), "%4d-%2u-%2uT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute,
                    &second, &used) != 6 ||
        used != 19)
        return std::nullopt;
    const chr::year_month_day date{chr::year{year}, chr::month{month}, chr::day{day}};
    if (!date.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
    int64_t millis = 0;
    std::size_t at = 19;
    if (at < text.size() && text[at] == '.') {
        int64_t scale = 100;
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
            millis += (text[at] - '0') * scale;
    }
    if (at < text.size() && text[at] == 'Z') ++at;
    if (at != text.size()) return std::nullopt;
    return TClockTime{chr::sys_days{date} + chr::hours{hour} + chr::minutes{minute} +
                      chr::seconds{second} + chr::milliseconds{millis}};
}

TClockTime ClockTimeOfSerialDay(int64_t serialDay, int64_t picosecondsOfDay) {
    constexpr chr::sys_days kSerialDayZero = chr::sys_days{chr::year{1899} / 12 / 30};
    return TClockTime{kSerialDayZero + chr::days{serialDay} +
                      chr::milliseconds{picosecondsOfDay / 1000000000}};
}

}  // namespace vantrel
