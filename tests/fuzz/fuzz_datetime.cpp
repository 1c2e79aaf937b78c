// libFuzzer target: the date-time texts of headers and users. The input is a pattern and a
// text, separated by the first line feed (no line feed: the text alone, read by a few fixed
// patterns). A parse never raises; a parsed value is formatted back by the same pattern, by the
// standard and the high-precision converters alike, in both built-in locales.
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/uDateTime.h"
#include "support/uExceptions.h"
#include "support/uHPDateTime.h"
#include "support/uLocale.h"

namespace {

void ParseAndFormat(const std::string& pattern, const std::string& text, uint32_t locale) {
    vantrel::TDateTimeStringConvertor convertor(locale, pattern);
    if (convertor.Parse(text)) convertor.SetValue(convertor.Value());
    vantrel::THPDateTimeStringConvertor precise(locale, pattern);
    if (precise.Parse(text)) precise.SetHPValue(precise.HPValue());
    double value = 0;
    if (vantrel::TryStrToDateTimeFmt(text, pattern, value, locale))
        (void)vantrel::FormatDateTimeFmt(pattern, value, locale);
    try {
        (void)vantrel::StrToDateTimeFmt(text, pattern, locale);
    } catch (const vantrel::EConvertError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kPatterns[] = {
        "dd.mm.yy", "hh.nn.ss", "dd-mmm-yyyy", "", "yyyy-mm-dd hh:nn:ss.zzz", "ddddddd"};
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\n');
    for (const uint32_t locale : {vantrel::kLocaleEnglishUS, vantrel::kLocaleDutchNL}) {
        if (split != std::string::npos) {
            ParseAndFormat(input.substr(0, split), input.substr(split + 1), locale);
        } else {
            for (const char* pattern : kPatterns)
                ParseAndFormat(pattern, input, locale);
        }
    }
    return 0;
}
