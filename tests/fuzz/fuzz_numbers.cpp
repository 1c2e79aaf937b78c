// libFuzzer target: the number readers and separator guessing of header fields and typed
// numbers. The first two bytes choose a decimal and a thousands separator, the rest is the text.
// Whatever the text reads as is written back in the general format and as an 8-character EDF
// field (the only documented raise there is EConvertError for a value that does not fit).
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/uExceptions.h"
#include "support/uLocale.h"
#include "support/udStr.h"

namespace {

void WriteBack(double value, char decimal, char thousands) {
    (void)vantrel::FormatFloatGeneral(value, 15, decimal);
    try {
        (void)vantrel::FloatToEDF(value, 8, decimal, thousands);
    } catch (const vantrel::EConvertError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const char decimal = char(data[0]);
    const char thousands = char(data[1]);
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    vantrel::TFormatSettings user = vantrel::GetLocaleFormatSettings(vantrel::kLocaleDutchNL);
    user.DecimalSeparator = decimal;
    user.ThousandSeparator = thousands;

    double value = 0;
    if (vantrel::TryStrToFloatSep(text, decimal, thousands, value))
        WriteBack(value, decimal, thousands);
    for (const bool guess : {false, true})
        if (vantrel::TryStrToFloatGuess(text, guess, value, user)) WriteBack(value, '.', '\0');
    (void)vantrel::IsFloatText(text, user);

    char guessedDecimal = '\0';
    char guessedThousands = '\0';
    (void)vantrel::GuessSeparators(text, guessedDecimal, guessedThousands, user);
    (void)vantrel::GuessSeparatorsWithDefaults(text, guessedDecimal, guessedThousands, user);
    (void)vantrel::GuessDecimalSeparator(text, true, thousands);
    (void)vantrel::IsSurelyDecimal(text, decimal);

    (void)vantrel::IsSmallIntText(text);
    (void)vantrel::IsWordText(text);
    (void)vantrel::StrToInt32Or0(text);
    std::string rest = text;
    while (!rest.empty())
        (void)vantrel::NextToken(rest, std::string(1, decimal) + thousands, true);
    return 0;
}
