#include "support/uHPDateTime.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "support/uExceptions.h"

namespace vantrel {

namespace {

constexpr int64_t kPicosecondsPerMillisecond = 1000000000;
constexpr int64_t kSecondsPerDay = 86400;
// Fraction digits kept when reading seconds: a picosecond is the 12th decimal.
constexpr size_t kFractionDigits = 12;
// Integer digits of seconds beyond this cannot be a time of day; refusing them keeps the
// picosecond count far from overflow.
constexpr int64_t kMaxWholeSeconds = 999999;

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int64_t PowerOfTen(int exponent) {
    int64_t result = 1;
    for (int i = 0; i < exponent; ++i)
        result *= 10;
    return result;
}

std::string ZeroPadded(int64_t number, size_t width) {
    std::string digits = std::to_string(number);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

bool IsDigitAt(const std::string& text, size_t position) {
    return position < text.size() && std::isdigit(static_cast<unsigned char>(text[position]));
}

// Reads seconds with an optional fraction ("59", "59.25", ".5", "7.") at position: at least one
// digit, the fraction after the decimal separator rounded to the picosecond.
bool ReadDecimalSeconds(const std::string& text, size_t& position, char decimalSeparator,
                        int64_t& picoseconds) {
    size_t at = position;
    size_t digits = 0;
    int64_t whole = 0;
    for (; IsDigitAt(text, at); ++at, ++digits) {
        whole = whole * 10 + (text[at] - '0');
        if (whole > kMaxWholeSeconds) return false;
    }
    int64_t fraction = 0;
    size_t fractionDigits = 0;
    bool roundUp = false;
    if (decimalSeparator != '\0' && at < text.size() && text[at] == decimalSeparator) {
        for (++at; IsDigitAt(text, at); ++at, ++digits) {
            const int digit = text[at] - '0';
            if (fractionDigits < kFractionDigits) {
                fraction = fraction * 10 + digit;
                ++fractionDigits;
            } else if (fractionDigits++ == kFractionDigits) {
                roundUp = digit >= 5;
            }
        }
    }
    if (digits == 0) return false;
    while (fractionDigits < kFractionDigits) {
        fraction *= 10;
        ++fractionDigits;
    }
    picoseconds = whole * kPicosecondsPerSecond + fraction + (roundUp ? 1 : 0);
    position = at;
    return true;
}

bool IsFractionalSecondCode(int code) {
    return code == dtFractionalSecond || code == dtFractionalSecond2 || code == dtDaySeconds;
}

}  // namespace

// ---- THPDateTime ------------------------------------------------------------------------------

THPDateTime::THPDateTime(double dateTime) {
    SetDateTime(dateTime);
}

void THPDateTime::Assign(const TPersistent* source) {
    if (const auto* other = dynamic_cast<const THPDateTime*>(source)) {
        *this = *other;
        return;
    }
    TPersistent::Assign(source);
}

void THPDateTime::SetDateTime(double dateTime) {
    picoseconds_ = 0;
    if (!std::isfinite(dateTime)) {
        day_ = dateTime;
        return;
    }
    const double whole = std::trunc(dateTime);
    const int64_t ms = std::llround(std::fabs(dateTime - whole) * kMSecsPerDay);
    day_ = whole + 0.0;  // no negative zero
    picoseconds_ = ms * kPicosecondsPerMillisecond;
    Normalise();
}

double THPDateTime::DateTime() const {
    const long double fraction =
        static_cast<long double>(picoseconds_) / static_cast<long double>(kPicosecondsPerDay);
    return static_cast<double>(day_ < 0 ? day_ - fraction : day_ + fraction);
}

double THPDateTime::Seconds() const {
    const int64_t whole = picoseconds_ / kPicosecondsPerSecond;
    const int64_t rest = picoseconds_ % kPicosecondsPerSecond;
    return static_cast<double>(static_cast<long double>(whole) +
                               static_cast<long double>(rest) / kPicosecondsPerSecond);
}

void THPDateTime::SetTime(int hours, int minutes, double seconds) {
    picoseconds_ = 0;
    AddHMS(hours, minutes, seconds);
}

void THPDateTime::AddSeconds(double seconds) {
    if (!std::isfinite(seconds)) {
        day_ += seconds;
        return;
    }
    // Split exactly into whole seconds and a fraction in [0, 1) so that only the fraction is
    // rounded to the picosecond.
    const double whole = std::floor(seconds);
    const int64_t fraction = std::llround(static_cast<long double>(seconds - whole) *
                                          static_cast<long double>(kPicosecondsPerSecond));
    double secondsOfDay = std::fmod(whole, static_cast<double>(kSecondsPerDay));  // exact
    if (secondsOfDay < 0) secondsOfDay += kSecondsPerDay;
    day_ += (whole - secondsOfDay) / kSecondsPerDay;
    AddWholeSeconds(static_cast<int64_t>(secondsOfDay));
    AddPicoseconds(fraction);
}

void THPDateTime::AddPicoseconds(int64_t picoseconds) {
    // Step through whole days first: the sum could otherwise leave the 64-bit range.
    day_ += static_cast<double>(FloorDiv(picoseconds, kPicosecondsPerDay));
    picoseconds_ += picoseconds - FloorDiv(picoseconds, kPicosecondsPerDay) * kPicosecondsPerDay;
    Normalise();
}

void THPDateTime::AddWholeSeconds(int64_t seconds) {
    day_ += static_cast<double>(FloorDiv(seconds, kSecondsPerDay));
    picoseconds_ +=
        (seconds - FloorDiv(seconds, kSecondsPerDay) * kSecondsPerDay) * kPicosecondsPerSecond;
    Normalise();
}

void THPDateTime::AddHMS(int hours, int minutes, double seconds) {
    AddDHMS(0, hours, minutes, seconds);
}

void THPDateTime::AddDHMS(int days, int hours, int minutes, double seconds) {
    day_ += days;
    AddWholeSeconds(int64_t{hours} * 3600 + int64_t{minutes} * 60);
    AddSeconds(seconds);
}

void THPDateTime::Normalise() {
    if (picoseconds_ >= 0 && picoseconds_ < kPicosecondsPerDay) return;
    const int64_t days = FloorDiv(picoseconds_, kPicosecondsPerDay);
    picoseconds_ -= days * kPicosecondsPerDay;
    day_ += static_cast<double>(days);
}

double THPDateTime::DifferenceInSeconds(const THPDateTime& other) const {
    const long double days = static_cast<long double>(day_) - other.day_;
    const int64_t picoseconds = picoseconds_ - other.picoseconds_;  // |difference| < one day
    return static_cast<double>(days * kSecondsPerDay +
                               static_cast<long double>(picoseconds) / kPicosecondsPerSecond);
}

bool THPDateTime::Compare(const THPDateTime& other, THPCompare operation) const {
    const bool unordered = std::isnan(day_) || std::isnan(other.day_);
    int order = 0;
    if (day_ != other.day_)
        order = day_ < other.day_ ? -1 : 1;
    else if (picoseconds_ != other.picoseconds_)
        order = picoseconds_ < other.picoseconds_ ? -1 : 1;
    switch (operation) {
        case THPCompare::Equal:
            return !unordered && order == 0;
        case THPCompare::NotEqual:
            return unordered || order != 0;
        case THPCompare::Less:
            return !unordered && order < 0;
        case THPCompare::LessOrEqual:
            return !unordered && order <= 0;
        case THPCompare::Greater:
            return !unordered && order > 0;
        case THPCompare::GreaterOrEqual:
            return !unordered && order >= 0;
    }
    throw EInvalidOperation("Operation not supported");
}

std::string THPDateTime::FormatText() const {
    return FormatText(pattern_);
}

std::string THPDateTime::FormatText(const std::string& pattern, uint32_t localeId) const {
    THPDateTimeStringConvertor convertor(localeId, pattern);
    convertor.SetHPValue(*this);
    return convertor.Text();
}

// ---- THPDateTimeStringConvertor ---------------------------------------------------------------

THPDateTimeStringConvertor::THPDateTimeStringConvertor(uint32_t localeId,
                                                       const std::string& pattern)
    : TDateTimeStringConvertor(localeId, pattern) {}

void THPDateTimeStringConvertor::SetValue(double value) {
    hpValue_.SetDateTime(value);
    StoreValue(value);
    FormatHeldValue();
}

void THPDateTimeStringConvertor::SetHPValue(const THPDateTime& value) {
    hpValue_ = value;
    StoreValue(value.DateTime());
    FormatHeldValue();
}

void THPDateTimeStringConvertor::SetDecimals(int decimals) {
    decimals_ = decimals < 0 ? -1 : std::min(decimals, static_cast<int>(kFractionDigits));
    if (!std::isnan(Value())) FormatHeldValue();
}

bool THPDateTimeStringConvertor::IsSupportedCode(int code) const {
    return IsFractionalSecondCode(code) || TDateTimeStringConvertor::IsSupportedCode(code);
}

bool THPDateTimeStringConvertor::HasFractionalSecondToken() const {
    for (const TStringToken& token : Tokens())
        if (IsFractionalSecondCode(token.Code)) return true;
    return false;
}

// ---- Parsing --------------------------------------------------------------------------------

void THPDateTimeStringConvertor::BeginParse() {
    fractionPicoseconds_ = 0;
    hpValue_.SetDateTime(kNoDateTime);
}

bool THPDateTimeStringConvertor::ParseToken(const TStringToken& token, const std::string& text,
                                            size_t& position) {
    if (!IsFractionalSecondCode(token.Code))
        return TDateTimeStringConvertor::ParseToken(token, text, position);
    int64_t picoseconds = 0;
    if (!ReadDecimalSeconds(text, position, FormatSettings().DecimalSeparator, picoseconds))
        return false;
    fields_.Second = 0;
    fields_.Millisecond = 0;
    if (token.Code == dtDaySeconds) {
        const int64_t wholeSeconds = picoseconds / kPicosecondsPerSecond;
        const int64_t hours = wholeSeconds / 3600;
        const int64_t minutes = wholeSeconds % 3600 / 60;
        fields_.Hour = static_cast<uint16_t>(hours);  // at most 277: encoding refuses >= 24
        fields_.Minute = static_cast<uint16_t>(minutes);
        picoseconds -= (hours * 3600 + minutes * 60) * kPicosecondsPerSecond;
    }
    fractionPicoseconds_ = picoseconds;
    return true;
}

bool THPDateTimeStringConvertor::FinishParse(double& value) {
    if (fractionPicoseconds_ < 0 || fractionPicoseconds_ >= 60 * kPicosecondsPerSecond)
        return false;
    hpValue_.SetDateTime(value);
    hpValue_.AddPicoseconds(fractionPicoseconds_);
    value = hpValue_.DateTime();
    return true;
}

// ---- Formatting -----------------------------------------------------------------------------

bool THPDateTimeStringConvertor::DecodeForFormat(TDateTimeParts& parts) const {
    const double day = hpValue_.Day();
    if (!std::isfinite(day) || std::fabs(day) > 1e7) return false;
    const int decimals = decimals_ < 0 ? 9 : decimals_;
    const int64_t step = HasFractionalSecondToken()
                             ? PowerOfTen(static_cast<int>(kFractionDigits) - decimals)
                             : kPicosecondsPerMillisecond;
    int64_t serialDay = static_cast<int64_t>(day);
    int64_t picoseconds = (hpValue_.Picoseconds() + step / 2) / step * step;
    if (picoseconds >= kPicosecondsPerDay) {
        picoseconds -= kPicosecondsPerDay;
        ++serialDay;
    }
    if (!DecodeSerialDay(serialDay, parts)) return false;
    DecodePicoseconds(picoseconds, parts);
    return true;
}

std::string THPDateTimeStringConvertor::FormatToken(const TStringToken& token,
                                                    const TDateTimeParts& parts) const {
    switch (token.Code) {
        case dtFractionalSecond:
            return FormatSeconds(parts.Picoseconds % (60 * kPicosecondsPerSecond), 1);
        case dtFractionalSecond2:
            return FormatSeconds(parts.Picoseconds % (60 * kPicosecondsPerSecond), 2);
        case dtDaySeconds:
            return FormatSeconds(parts.Picoseconds, 1);
        default:
            return TDateTimeStringConvertor::FormatToken(token, parts);
    }
}

std::string THPDateTimeStringConvertor::FormatSeconds(int64_t picoseconds,
                                                      size_t minIntegerDigits) const {
    std::string text = ZeroPadded(picoseconds / kPicosecondsPerSecond, minIntegerDigits);
    const size_t decimals = decimals_ < 0 ? 9 : static_cast<size_t>(decimals_);
    std::string fraction =
        ZeroPadded(picoseconds % kPicosecondsPerSecond, kFractionDigits).substr(0, decimals);
    if (decimals_ < 0) {
        const size_t last = fraction.find_last_not_of('0');
        fraction.resize(last == std::string::npos ? 0 : last + 1);
    }
    if (!fraction.empty()) {
        const char separator = FormatSettings().DecimalSeparator;
        text += separator == '\0' ? '.' : separator;
        text += fraction;
    }
    return text;
}

}  // namespace vantrel
