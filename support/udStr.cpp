#include "support/udStr.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "support/uExceptions.h"

namespace vantrel {

namespace {

bool IsBlank(char ch) {
    return static_cast<unsigned char>(ch) <= 32;
}
bool IsDigit(char ch) {
    return ch >= '0' && ch <= '9';
}
bool IsAsciiLetter(char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

// Characters that the separator guessing skips: never a separator.
bool InSkipSet(char ch) {
    return ch == ' ' || ch == '+' || ch == '-' || IsDigit(ch) || IsAsciiLetter(ch);
}

// Parses an optionally signed run of decimal digits (the whole trimmed text) into 64 bits.
bool TryParseInt64(const std::string& text, int64_t& value) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (*first == '+') {
        ++first;  // from_chars takes '-' but not '+'
        if (first == last || !IsDigit(*first)) return false;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last;
}

bool IntTextInRange(const std::string& text, int64_t low, int64_t high) {
    int64_t value = 0;
    return TryParseInt64(text, value) && value >= low && value <= high;
}

// Number of digits directly before position p, and the run of digits directly after it.
int DigitsBefore(const std::string& t, size_t p) {
    int count = 0;
    while (p > 0 && IsDigit(t[p - 1]))
        --p, ++count;
    return count;
}

int DigitsAfter(const std::string& t, size_t p) {
    int count = 0;
    for (size_t i = p + 1; i < t.size() && IsDigit(t[i]); ++i)
        ++count;
    return count;
}

// Decimal digits and exponent of x rounded to `precision` significant digits: x = 0.DIGITS x 10^E.
struct DecimalDigits {
    bool negative = false;
    std::string digits;  // without trailing zeros, at least one digit
    int exponent = 0;    // E
};

DecimalDigits ToDecimalDigits(long double x, int precision) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*Le", precision - 1, x);
    DecimalDigits result;
    const char* p = buffer;
    if (*p == '-') result.negative = true, ++p;
    for (; *p && *p != 'e'; ++p)
        if (IsDigit(*p)) result.digits += *p;
    result.exponent = (*p == 'e' ? std::atoi(p + 1) : 0) + 1;
    while (result.digits.size() > 1 && result.digits.back() == '0')
        result.digits.pop_back();
    return result;
}

// Builds the plain "C" form of a number text under the given separators; false when the text
// is not a number in that form. Thousands separators must group the integer part by three.
bool NormaliseNumberText(const std::string& text, char dec, char thou, std::string& plain) {
    const std::string t = Trim(text);
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) plain += t[i++];
    int mantissaDigits = 0;
    int groupDigits = 0;  // digits of the integer part since its start or the last separator
    bool grouped = false;
    bool seenDecimal = false;
    for (; i < t.size(); ++i) {
        const char ch = t[i];
        if (IsDigit(ch)) {
            plain += ch;
            ++mantissaDigits;
            if (!seenDecimal) ++groupDigits;
        } else if (thou != '\0' && ch == thou && !seenDecimal) {
            const bool groupOk = grouped ? groupDigits == 3 : groupDigits >= 1 && groupDigits <= 3;
            if (!groupOk) return false;
            grouped = true;
            groupDigits = 0;
        } else if (ch == dec && !seenDecimal) {
            if (grouped && groupDigits != 3) return false;
            plain += '.';
            seenDecimal = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0 || (grouped && !seenDecimal && groupDigits != 3)) return false;
    if (i < t.size() && (t[i] == 'E' || t[i] == 'e')) {
        plain += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) plain += t[i++];
        int exponentDigits = 0;
        for (; i < t.size() && IsDigit(t[i]); ++i, ++exponentDigits)
            plain += t[i];
        if (exponentDigits == 0) return false;
    }
    return i == t.size();
}

}  // namespace

// ---- Trimming, checks and justification -------------------------------------------------------

std::string TrimLeft(const std::string& text) {
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first]))
        ++first;
    return text.substr(first);
}

std::string TrimRight(const std::string& text) {
    size_t last = text.size();
    while (last > 0 && IsBlank(text[last - 1]))
        --last;
    return text.substr(0, last);
}

std::string Trim(const std::string& text) {
    return TrimLeft(TrimRight(text));
}

std::string StringOfChar(char ch, int n) {
    return n > 0 ? std::string(n, ch) : std::string();
}

std::string Spaces(int n) {
    return StringOfChar(' ', n);
}

std::string PadRight(const std::string& text, int width) {
    if (width <= 0) return {};
    std::string result = text + Spaces(width - static_cast<int>(text.size()));
    result.resize(static_cast<size_t>(width));
    return result;
}

bool IsPrintableAscii(const std::string& text) {
    for (const char ch : text) {
        const auto code = static_cast<unsigned char>(ch);
        if (code < 32 || code > 126) return false;
    }
    return true;
}

bool IsLeftAligned(const std::string& text) {
    return TrimRight(text) == Trim(text);
}

bool IsSmallIntText(const std::string& text) {
    return IntTextInRange(text, -32768, 32767);
}

bool IsWordText(const std::string& text) {
    return IntTextInRange(text, 0, 65535);
}

bool IsInt32Text(const std::string& text) {
    return IntTextInRange(text, -2147483648LL, 2147483647LL);
}

int32_t StrToInt32Or0(const std::string& text) {
    int64_t value = 0;
    return IsInt32Text(text) && TryParseInt64(text, value) ? static_cast<int32_t>(value) : 0;
}

std::string NextToken(std::string& text, const std::string& delimiters, bool dropDelimiter) {
    const size_t p = text.find_first_of(delimiters);
    if (p == std::string::npos || delimiters.empty()) {
        std::string token = Trim(text);
        text.clear();
        return token;
    }
    std::string token = text.substr(0, dropDelimiter ? p : p + 1);
    text.erase(0, p + 1);
    return Trim(token);
}

int CountChar(char ch, const std::string& text) {
    int count = 0;
    for (const char c : text)
        count += (c == ch);
    return count;
}

// ---- Header texts -----------------------------------------------------------------------------

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        int length = 0;
        uint32_t code = 0;
        uint32_t lowest = 0;  // the smallest code a sequence of this length may carry
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, code = lead & 0x1F, lowest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, code = lead & 0x0F, lowest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, code = lead & 0x07, lowest = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - i < static_cast<size_t>(length)) return false;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += static_cast<size_t>(length);
    }
    return true;
}

std::string HeaderTextToUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

// ---- Numbers to text --------------------------------------------------------------------------

std::string FormatFloatGeneral(long double x, int precision, char decimalSeparator) {
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x > 0 ? "INF" : "-INF";
    if (x == 0) return "0";
    if (decimalSeparator == '\0') decimalSeparator = '.';
    precision = std::clamp(precision, 1, 20);
    const DecimalDigits d = ToDecimalDigits(x, precision);
    const int digitCount = static_cast<int>(d.digits.size());
    std::string text = d.negative ? "-" : "";
    if (d.exponent >= -3 && d.exponent <= precision) {
        if (d.exponent <= 0) {
            text += "0";
            text += decimalSeparator;
            text += std::string(static_cast<size_t>(-d.exponent), '0') + d.digits;
        } else {
            text += d.digits.substr(0, static_cast<size_t>(std::min(d.exponent, digitCount)));
            text += StringOfChar('0', d.exponent - digitCount);
            if (digitCount > d.exponent) {
                text += decimalSeparator;
                text += d.digits.substr(static_cast<size_t>(d.exponent));
            }
        }
        return text;
    }
    text += d.digits[0];
    if (digitCount > 1) {
        text += decimalSeparator;
        text += d.digits.substr(1);
    }
    const int shown = d.exponent - 1;
    text += 'E';
    if (shown < 0) text += '-';
    text += std::to_string(std::abs(shown));
    return text;
}

std::string FloatToStr(long double x) {
    return FormatFloatGeneral(x, 15, '.');
}

std::string FloatToEDF(double x, int width, char decimalSeparator, char /*thousandSeparator*/) {
    for (int precision = width; precision >= 2; --precision) {
        std::string text = FormatFloatGeneral(x, precision, decimalSeparator);
        if (static_cast<int>(text.size()) <= width) return text;
    }
    throw EConvertError("String exceeds max string length");
}

std::string FloatToFixedWidth(double x, int width, const TFormatSettings& settings) {
    if (!std::isfinite(x))
        throw EConvertError(std::string(std::isnan(x) ? "NaN"
                                        : x > 0       ? "INF"
                                                      : "-INF") +
                            " has no fixed-width text: only finite numbers can be written");
    const int w = std::abs(width);
    const char dec = settings.DecimalSeparator ? settings.DecimalSeparator : '.';
    std::string text;
    if (std::fabs(x) <= 1e-12) {
        text = "0";
    } else {
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, "%.18f", x);
        text = buffer;
        // The C library may write the point of another locale: replace whatever it wrote.
        if (const size_t point = text.find_first_not_of("-0123456789"); point != std::string::npos)
            text[point] = dec;
        while (text.size() >= 2 && text.back() == '0' && text[text.size() - 2] != dec)
            text.pop_back();
    }
    if (static_cast<int>(text.size()) > w) text = FormatFloatGeneral(x, 15, dec);
    if (static_cast<int>(text.size()) > w && std::isfinite(x)) {
        // Scientific form cut to fit: mantissa in [1, 10), then "E" and the exponent. The search
        // runs on the magnitude so that a negative value cannot make it endless.
        const long double magnitude = std::fabs(static_cast<long double>(x));
        int n = 0;
        while (magnitude / std::pow(10.0L, n) >= 10)
            ++n;
        while (magnitude / std::pow(10.0L, n) < 1)
            --n;
        const std::string exponent = std::to_string(n);
        const std::string mantissa = FormatFloatGeneral(x / std::pow(10.0L, n), 15, dec);
        const int keep = std::max(w - static_cast<int>(exponent.size()) - 1, 0);
        text = mantissa.substr(0, static_cast<size_t>(keep)) + "E" + exponent;
    }
    const std::string padding = Spaces(w - static_cast<int>(text.size()));
    return width >= 0 ? text + padding : padding + text;
}

// ---- Text to numbers --------------------------------------------------------------------------

bool TryStrToFloatSep(const std::string& text, char decimalSeparator, char thousandSeparator,
                      double& value) {
    std::string plain;
    if (!NormaliseNumberText(text, decimalSeparator ? decimalSeparator : '.', thousandSeparator,
                             plain))
        return false;
    const char* first = plain.data();
    const char* last = plain.data() + plain.size();
    if (*first == '+') ++first;
    double parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed);
    if (error == std::errc::result_out_of_range) {
        // Underflow reads as the nearest double (0 or subnormal); overflow is not a number.
        long double wide = 0;
        const auto [wideEnd, wideError] = std::from_chars(first, last, wide);
        if (wideError != std::errc() || wideEnd != last || std::fabs(wide) > DBL_MAX) return false;
        parsed = static_cast<double>(wide);
    } else if (error != std::errc() || end != last) {
        return false;
    }
    if (!std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

bool TryStrToFloatGuess(const std::string& text, bool guess, double& value,
                        const TFormatSettings& user) {
    char dec = user.DecimalSeparator;
    char thou = user.ThousandSeparator;
    if (guess) {
        char d = '\0';
        char t = '\0';
        if (GuessSeparators(text, d, t, user)) {
            dec = d;
            thou = t;
        } else if (!GuessSeparatorsWithDefaults(text, d, t, user)) {
            if (d == '\0' && t == '\0') return false;
            dec = d;
            thou = t;
        }
    }
    return TryStrToFloatSep(text, dec, thou, value);
}

bool TryStrToFloatGuess(const std::string& text, bool guess, double& value) {
    return TryStrToFloatGuess(text, guess, value, UserFormatSettings());
}

double StrToFloatGuess(const std::string& text, bool guess, const TFormatSettings& user) {
    double value = 0;
    if (!TryStrToFloatGuess(text, guess, value, user))
        throw EConvertError("'" + text + "' is not a valid floating point value");
    return value;
}

double StrToFloatGuess(const std::string& text, bool guess) {
    return StrToFloatGuess(text, guess, UserFormatSettings());
}

bool IsFloatText(const std::string& text, const TFormatSettings& user) {
    double value = 0;
    return TryStrToFloatGuess(text, true, value, user) && value >= -1.7e308 && value <= 1.7e308;
}

bool IsFloatText(const std::string& text) {
    return IsFloatText(text, UserFormatSettings());
}

// ---- Separator guessing -------------------------------------------------------------------

bool IsSurelyDecimal(const std::string& text, char ch) {
    if (CountChar(ch, text) != 1) return false;
    const size_t p = text.find(ch);
    return DigitsBefore(text, p) >= 4 || DigitsAfter(text, p) != 3;
}

char GuessDecimalSeparator(const std::string& text, bool acceptAmbiguous, char knownThousands) {
    const std::string t = Trim(text);
    size_t i = t.size();
    while (i > 0 && InSkipSet(t[i - 1]))
        --i;
    if (i == 0) return '\0';
    const char candidate = t[i - 1];
    if (candidate == knownThousands) return '\0';
    if (IsSurelyDecimal(t, candidate)) return candidate;
    if (knownThousands != '\0') return candidate;
    return acceptAmbiguous ? candidate : '\0';
}

bool ValidThousandGrouping(const std::string& text, char ch, char decimalSeparator,
                           bool& lastGroupHas3) {
    lastGroupHas3 = false;
    if (text.empty() || ch == '\0') return false;
    const size_t p = text.find(ch);
    if (p == std::string::npos) return false;
    const size_t start = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (p < start || p - start > 3) return false;
    for (size_t i = start; i < p; ++i)
        if (!IsDigit(text[i])) return false;

    int separators = 1;
    int groupDigits = 0;
    size_t i = p + 1;
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i])) {
            ++groupDigits;
        } else if (text[i] == ch) {
            if (groupDigits != 3) return false;
            ++separators;
            groupDigits = 0;
        } else {
            break;
        }
    }
    if (i < text.size() && decimalSeparator != '\0' && text[i] == decimalSeparator) ++separators;
    lastGroupHas3 = groupDigits == 3;
    return lastGroupHas3 && separators > 1;
}

char GuessThousandSeparator(const std::string& text, bool acceptSingleGroup, char decimalSeparator,
                            const TFormatSettings& user) {
    const std::string t = Trim(text);
    size_t i = 0;
    while (i < t.size() && InSkipSet(t[i]))
        ++i;
    if (i == t.size()) return '\0';
    const char candidate = t[i];
    if (candidate == user.DecimalSeparator) return '\0';
    bool lastGroupHas3 = false;
    if (ValidThousandGrouping(t, candidate, decimalSeparator, lastGroupHas3)) return candidate;
    return acceptSingleGroup && lastGroupHas3 ? candidate : '\0';
}

bool GuessSeparators(const std::string& text, char& decimalSeparator, char& thousandSeparator,
                     const TFormatSettings& user) {
    char d = GuessDecimalSeparator(text, false, '\0');
    char t = GuessThousandSeparator(text, false, d, user);
    if (d == '\0' && t != '\0') d = GuessDecimalSeparator(text, false, t);
    if (d == '\0' && t == '\0') {
        const char single = GuessThousandSeparator(text, true, '\0', user);
        if (single != '\0') {
            d = GuessDecimalSeparator(text, false, single);
            t = GuessThousandSeparator(text, false, d, user);
        }
    }
    decimalSeparator = d;
    thousandSeparator = t;
    return d != '\0' && t != '\0';
}

bool GuessSeparatorsWithDefaults(const std::string& text, char& decimalSeparator,
                                 char& thousandSeparator, const TFormatSettings& settings) {
    if (GuessSeparators(text, decimalSeparator, thousandSeparator, settings)) return true;
    if (decimalSeparator == '\0' && thousandSeparator != settings.DecimalSeparator)
        decimalSeparator = settings.DecimalSeparator;
    if (thousandSeparator == '\0' && decimalSeparator != settings.ThousandSeparator)
        thousandSeparator = settings.ThousandSeparator;
    return decimalSeparator != '\0' && thousandSeparator != '\0';
}

std::string FloatToShortestStr(double x) {
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, x);
    return error == std::errc() ? std::string(text, end) : std::string();
}

}  // namespace vantrel
