// Text and number utilities for fixed-width EDF header fields and for numbers typed by a user.
//
// Texts are byte strings; characters of code <= 32 count as blanks when trimming. A separator
// argument of '\0' means "none". Number texts that parse to NaN or infinity, or that carry
// anything after the number, are not numbers.
#pragma once

#include <string>
#include <string_view>

#include "support/uLocale.h"

namespace vantrel {

// ---- Trimming, checks and justification -------------------------------------------------------

std::string Trim(const std::string& text);       // both ends
std::string TrimLeft(const std::string& text);   // leading characters of code <= 32
std::string TrimRight(const std::string& text);  // trailing characters of code <= 32

// text followed by spaces up to width characters, then cut to width characters.
std::string PadRight(const std::string& text, int width);
// n copies of ch; empty for n <= 0.
std::string StringOfChar(char ch, int n);
// n spaces; empty for n <= 0.
std::string Spaces(int n);

// Every character is printable ASCII (32..126); true for the empty text.
bool IsPrintableAscii(const std::string& text);
// The text has no leading blank or control character; true for an empty or all-blank text.
bool IsLeftAligned(const std::string& text);
// The trimmed text is a decimal integer (optional sign, digits only) within the given range.
bool IsSmallIntText(const std::string& text);  // -32768 .. 32767
bool IsWordText(const std::string& text);      // 0 .. 65535
bool IsInt32Text(const std::string& text);     // -2147483648 .. 2147483647
// The value of a text for which IsInt32Text holds; 0 otherwise.
int32_t StrToInt32Or0(const std::string& text);

// Cuts the next token from text: everything before the first of the delimiters (with that
// delimiter when dropDelimiter is false). The cut part and the delimiter leave text; the token
// is returned trimmed. Without a delimiter the whole text is the token and text becomes empty.
std::string NextToken(std::string& text, const std::string& delimiters, bool dropDelimiter);

// Number of occurrences of ch in text.
int CountChar(char ch, const std::string& text);

// ---- Header texts -----------------------------------------------------------------------------

// The bytes are well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);
// A header text for display: the bytes themselves when they are valid UTF-8 (several recorders
// write UTF-8 labels), otherwise each byte read as a Latin-1 character and written as UTF-8.
std::string HeaderTextToUtf8(std::string_view bytes);

// ---- Numbers to text --------------------------------------------------------------------------

// The general number format with `precision` significant digits: fixed-point while the
// decimal exponent allows it, otherwise scientific like "1E-5" or "1.2346E8"; trailing zeros
// dropped; zero is "0"; NaN and infinities are "NAN", "INF" and "-INF".
std::string FormatFloatGeneral(long double x, int precision, char decimalSeparator = '.');

// The system's general format for texts: 15 significant digits, '.' as decimal separator.
std::string FloatToStr(long double x);
// The shortest text that reads back as the same double ("0.1", "1e-05", "-3276.7"), with "."
// whatever the locale; "nan", "inf" and "-inf" for the values that have no number. For tables
// that other programs read back exactly.
std::string FloatToShortestStr(double x);

// The shortest general-format text of x that fits width characters, trying 'width' down to 2
// significant digits. Raises EConvertError "String exceeds max string length" when nothing fits.
// Every real-valued EDF header field is written with it.
std::string FloatToEDF(double x, int width, char decimalSeparator = '.',
                       char thousandSeparator = '\0');

// A fixed-point text of x >= 0 that fits |width| characters, padded to exactly |width|: on the
// right for width >= 0, on the left for width < 0. Falls back to the general format and then to
// a shortened scientific form when the fixed-point text is too long. NaN and the infinities
// raise EConvertError.
std::string FloatToFixedWidth(double x, int width, const TFormatSettings& settings);

// ---- Text to numbers --------------------------------------------------------------------------

// The text (blanks around it allowed) is a real number under exactly these separators: an
// optional sign, digits with optional thousands separators between them, an optional decimal
// separator with digits, an optional exponent. thousandSeparator '\0' = none.
bool TryStrToFloatSep(const std::string& text, char decimalSeparator, char thousandSeparator,
                      double& value);

// Parses with the given user settings, or, when guess is true, with separators guessed from the
// text. The overloads without settings use UserFormatSettings().
bool TryStrToFloatGuess(const std::string& text, bool guess, double& value,
                        const TFormatSettings& user);
bool TryStrToFloatGuess(const std::string& text, bool guess, double& value);
// As above; failure raises EConvertError "'<text>' is not a valid floating point value".
double StrToFloatGuess(const std::string& text, bool guess, const TFormatSettings& user);
double StrToFloatGuess(const std::string& text, bool guess);
// TryStrToFloatGuess(text, true) succeeds with a value within -1.7e308 .. 1.7e308.
bool IsFloatText(const std::string& text, const TFormatSettings& user);
bool IsFloatText(const std::string& text);

// ---- Separator guessing -------------------------------------------------------------------
// Characters that are never separators: space, '+', '-', digits, letters.

// ch occurs once in text and cannot be a thousands separator: at least 4 digits stand directly
// before it, or the run of digits after it is not exactly 3 long.
bool IsSurelyDecimal(const std::string& text, char ch);

// The last separator candidate of the text, when it can be the decimal separator; '\0' if not.
// knownThousands ('\0' = not known) rules itself out and makes an ambiguous candidate certain.
char GuessDecimalSeparator(const std::string& text, bool acceptAmbiguous, char knownThousands);

// Whether ch separates the integer part of text into groups of 3 digits (at least two separators,
// counting a following decimal separator d). lastGroupHas3 tells whether the last group had 3.
bool ValidThousandGrouping(const std::string& text, char ch, char decimalSeparator,
                           bool& lastGroupHas3);

// The first separator candidate of the text, when it groups thousands; '\0' if not. A candidate
// equal to the user's decimal separator is never a thousands separator.
char GuessThousandSeparator(const std::string& text, bool acceptSingleGroup, char decimalSeparator,
                            const TFormatSettings& user);

// Guesses both separators; true when both were found.
bool GuessSeparators(const std::string& text, char& decimalSeparator, char& thousandSeparator,
                     const TFormatSettings& user);

// GuessSeparators, completing a missing separator from the settings where that cannot clash.
bool GuessSeparatorsWithDefaults(const std::string& text, char& decimalSeparator,
                                 char& thousandSeparator, const TFormatSettings& settings);

}  // namespace vantrel
