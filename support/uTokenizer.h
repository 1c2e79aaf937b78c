// Tokenizers that cut a text into tokens from left to right.
//
// TStringTokenizer is the general cursor over a text: it cuts words separated by delimiter
// characters and offers the reading helpers its descendants build on. TDateTimeFormatTokenizer
// cuts a date/time pattern such as "dd-mmm-yyyy hh:nn:ss" into the tokens of uDateTime's
// pattern language, each with its code from TDateTimeTokenCode.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vantrel {

// One token cut from a text.
struct TStringToken {
    // What the token stands for; the tokenizer decides the meaning. TStringTokenizer gives every
    // word code 0, TDateTimeFormatTokenizer gives a TDateTimeTokenCode.
    int Code = 0;
    // The characters of the token exactly as written, quotes included.
    std::string Text;
    // The text the token stands for: for a quoted text the characters between the quotes,
    // otherwise equal to Text.
    std::string Value;
    // Offset of the token's first character in the tokenized text (0-based).
    size_t Position = 0;
};

// Cuts a text into words separated by any of a set of delimiter characters (by default blanks
// and tabs). Runs of delimiters separate like one; delimiters never belong to a word.
// Descendants override ReadToken to cut other kinds of tokens and use the protected helpers.
class TStringTokenizer {
  public:
    explicit TStringTokenizer(std::string text = {}, std::string delimiters = " \t");
    virtual ~TStringTokenizer() = default;

    // Replaces the text and restarts at its first character.
    void SetText(std::string text);
    const std::string& Text() const { return text_; }

    // Offset of the next character to read; Text().size() at the end.
    size_t Position() const { return position_; }
    bool AtEnd() const { return position_ >= text_.size(); }

    // Cuts the next token; false (token unchanged) when the text holds no further token.
    bool Next(TStringToken& token);
    // Cuts every remaining token.
    std::vector<TStringToken> Remaining();

  protected:
    // Reads one token starting at Position() and advances past it. Returns false when no token
    // is left. The base skips delimiters and then takes everything up to the next delimiter.
    virtual bool ReadToken(TStringToken& token);

    // The character `offset` places ahead of the read position; '\0' beyond the end.
    char Peek(size_t offset = 0) const;
    // Number of consecutive characters from the read position equal to its character, compared
    // without regard to letter case. 0 at the end.
    size_t RunLength() const;
    // The text at the read position starts with `word`, compared without regard to letter case.
    bool StartsWithNoCase(const std::string& word) const;
    // Makes a token of the next `length` characters (cut at the end of the text) and advances.
    TStringToken Take(size_t length, int code);
    // Makes a token of a quoted text starting at the read position: from the opening quote up to
    // and including the next quote of the same kind, or to the end of the text when none follows.
    // Value holds the characters between the quotes.
    TStringToken TakeQuoted(int code);

  private:
    std::string text_;
    std::string delimiters_;
    size_t position_ = 0;
};

// The token codes of the date/time pattern language. The numbers are part of the pattern
// rules: a pattern is valid when its codes fall in the ranges the converter admits.
enum TDateTimeTokenCode : int {
    dtInvalid = 0,             // y, yyy, zz, cc, too long a run, an unknown "a" form
    dtDateTimeFormat = 1,      // c: short date format, a blank, long time format
    dtDay = 2,                 // d
    dtDay2 = 3,                // dd
    dtShortDayName = 4,        // ddd
    dtLongDayName = 5,         // dddd
    dtShortDateFormat = 6,     // ddddd
    dtLongDateFormat = 7,      // dddddd
    dtSerialDays = 8,          // ddddddd: a count of days since 30 December 1899
    dtMonth = 9,               // m
    dtMonth2 = 10,             // mm
    dtShortMonthName = 11,     // mmm
    dtLongMonthName = 12,      // mmmm
    dtYear2 = 13,              // yy
    dtYear4 = 14,              // yyyy
    dtHour = 15,               // h
    dtHour2 = 16,              // hh
    dtMinute = 17,             // n
    dtMinute2 = 18,            // nn
    dtSecond = 19,             // s
    dtSecond2 = 20,            // ss
    dtFractionalSecond = 21,   // sss: seconds of the minute with a fraction
    dtFractionalSecond2 = 22,  // ssss: as sss, at least 2 integer digits when written
    dtDaySeconds = 23,         // sssss: seconds of the day with a fraction
    dtMillisecond = 24,        // z
    dtMillisecond3 = 25,       // zzz
    dtShortTimeFormat = 26,    // t
    dtLongTimeFormat = 27,     // tt
    dtAmPm = 28,               // am/pm (letter case as written is kept when formatting)
    dtAP = 29,                 // a/p
    dtLocaleAmPm = 30,         // ampm: the locale's AM and PM texts
    dtDateSeparator = 31,      // /
    dtTimeSeparator = 32,      // :
    dtAnyChar = 33,            // ?
    dtLiteral = 34,            // a quoted text or any other character (letters: their run)
};

// Cuts a date/time pattern into tokens. Letters are recognised without regard to case, and a
// letter token takes the whole run of that letter ("Dd" is dd); a run longer than its letter
// allows is dtInvalid. The forms starting with "a" are tried in the order "am/pm", "a/p", "ampm".
// A quoted text (single or double quotes) is one dtLiteral token. Every other character is a
// dtLiteral of its own, every other letter a dtLiteral of its run.
class TDateTimeFormatTokenizer : public TStringTokenizer {
  public:
    explicit TDateTimeFormatTokenizer(std::string pattern = {});

  protected:
    bool ReadToken(TStringToken& token) override;

  private:
    TStringToken ReadLetterRun();
    TStringToken ReadAmPmForm();
};

// All tokens of a pattern, in order.
std::vector<TStringToken> TokenizeDateTimePattern(const std::string& pattern);

}  // namespace vantrel
